// The tuning page: reads a CSV, shows raw and smoothed traces, the sweep's Pareto front and the
// figures of the chosen setting, and exports the setting. The computing runs in a worker.
import uPlot from 'uplot';
import { parseCsv } from './csv.mjs';
import { tuningResultFromJson, TUNING_DEFAULTS } from '../result.mjs';
import { snippets, tuningJson } from './export.mjs';

const $ = (id) => document.getElementById(id);
const state = { recording: null, name: '', result: null, chosen: null, plots: [], front: null };
let worker = null;
let busy = false;
let pending = null;

function message(text, kind = 'info') {
    const box = $('message');
    box.textContent = text;
    box.className = kind;
}

function setState(name) {
    document.body.dataset.state = name;
}

function startWorker() {
    const url = URL.createObjectURL(new Blob([WORKER_SOURCE], { type: 'text/javascript' }));
    worker = new Worker(url);
    worker.onmessage = ({ data }) => handlers[data.type]?.(data);
    worker.onerror = (event) => fail(`the worker stopped: ${event.message}`);
}

function fail(text) {
    busy = false;
    $('progress').hidden = true;
    message(text, 'error');
    setState('error');
}

const handlers = {
    ready() { setState('ready'); },
    error(data) { fail(data.message); },
    progress() { $('progress').hidden = false; $('progress').removeAttribute('value'); },
    load(data) {
        const p = data.profile;
        state.movements = p.movements;
        message(`${state.name}: ${p.samples} samples, ${state.recording.channels} channels, ` +
            `period ${p.samplePeriodMs} ms, ${p.movements.length} movements. Sweeping…`);
        runTune();
    },
    tune(data) {
        busy = false;
        const seconds = ((performance.now() - state.sweepStart) / 1000).toFixed(1);
        $('progress').value = 1;
        $('progress').hidden = true;
        state.result = tuningResultFromJson(data.json);
        const r = state.result;
        $('tuning-message').textContent = r.message;
        message(`${state.name}: ${r.profile.samples} samples, ${state.recording.channels} channels, ` +
            `period ${r.profile.samplePeriodMs} ms, ${r.movements.length} movements; ` +
            `swept in ${seconds} s, ${r.front.length} settings on the front.`);
        $('budget').value = String(r.lagBudgetMs);
        drawFront();
        const pick = r.recommendation ?? r.defaults;
        choose(pick.minCutOff, pick.beta);
        setState('tuned');
    },
    apply(data) {
        busy = false;
        state.chosen = data;
        showFigures(data.measurement);
        drawTraces(data.smoothed);
        drawFrontChoice();
        $('export').textContent = snippets(state.recording.channels, data.minCutOff, data.beta, freqOf(), dCutOffOf());
        if (pending) {
            const next = pending;
            pending = null;
            choose(next.minCutOff, next.beta);
        } else {
            setState('tuned');
        }
    },
};

const freqOf = () => TUNING_DEFAULTS.freq;
const dCutOffOf = () => TUNING_DEFAULTS.dCutOff;

function runTune() {
    busy = true;
    setState('sweeping');
    $('progress').hidden = false;
    state.sweepStart = performance.now();
    const budget = Number($('budget').value);
    const options = $('budget').value.trim() === '' || !Number.isFinite(budget)
        ? {} : { maxLagMs: budget };
    worker.postMessage({ type: 'tune', options });
}

/** Applies a setting: smooths and measures in the worker, then redraws. */
function choose(minCutOff, beta) {
    setSliders(minCutOff, beta);
    if (busy) {
        pending = { minCutOff, beta };
        return;
    }
    busy = true;
    setState('applying');
    worker.postMessage({ type: 'apply', minCutOff, beta, freq: freqOf(), dCutOff: dCutOffOf() });
}

// ---- Sliders: logarithmic ------------------------------------------------------------------

const STEPS = 1000;
function range(which) {
    const r = state.result;
    if (which === 'minCutOff') {
        // The sweep's range: up to a quarter of the sampling rate.
        const quarterRate = 250 / (r?.profile.samplePeriodMs ?? NaN);
        return [TUNING_DEFAULTS.minCutOffLow,
            Math.min(TUNING_DEFAULTS.minCutOffHigh, Number.isFinite(quarterRate) ? quarterRate : 10)];
    }
    const betas = r?.front.map((m) => m.beta).filter((b) => b > 0) ?? [];
    return betas.length > 0 ? [Math.min(...betas) / 10, Math.max(...betas) * 10] : [1e-4, 10];
}
function toSlider(which, value) {
    const [low, high] = range(which);
    const share = (Math.log(value) - Math.log(low)) / (Math.log(high) - Math.log(low));
    return Math.round(Math.min(Math.max(share, 0), 1) * STEPS);
}
function fromSlider(which, position) {
    const [low, high] = range(which);
    return Math.exp(Math.log(low) + (position / STEPS) * (Math.log(high) - Math.log(low)));
}
function setSliders(minCutOff, beta) {
    $('min-cut-off').value = String(toSlider('minCutOff', minCutOff));
    $('beta').value = String(toSlider('beta', beta));
    $('min-cut-off-value').textContent = String(minCutOff);
    $('beta-value').textContent = String(beta);
}
function onSlider() {
    const minCutOff = fromSlider('minCutOff', Number($('min-cut-off').value));
    const beta = fromSlider('beta', Number($('beta').value));
    choose(minCutOff, beta);
}

// ---- Figures ---------------------------------------------------------------------------------

function showFigures(m) {
    const figures = {
        'figure-min-cut-off': m.minCutOff, 'figure-beta': m.beta,
        'figure-jitter': m.smoothedJitter, 'figure-raw-jitter': m.rawJitter,
        'figure-lag': m.meanLagMs, 'figure-max-lag': m.maxLagMs, 'figure-refused': m.refused,
    };
    for (const [id, value] of Object.entries(figures)) {
        $(id).textContent = String(value);
    }
    const d = state.result?.defaults;
    $('figure-defaults').textContent = d
        ? `defaults (minCutOff ${d.minCutOff}, beta ${d.beta}): jitter ${d.smoothedJitter}, lag ${d.meanLagMs} ms`
        : '';
}

// ---- Charts ----------------------------------------------------------------------------------

function destroyPlots() {
    state.plots.forEach((plot) => plot.destroy());
    state.plots = [];
    $('traces').replaceChildren();
}

const width = () => Math.max(320, $('traces').clientWidth || 900);

function drawTraces(smoothed) {
    const { timestamps, values, channels, names } = state.recording;
    destroyPlots();
    const rows = timestamps.length;
    const t = Float64Array.from(timestamps, (ms) => ms / 1000);
    const sync = uPlot.sync('traces');
    for (let c = 0; c < channels; c++) {
        const raw = new Float64Array(rows);
        const smooth = new Array(rows);
        const refused = new Array(rows);
        for (let i = 0; i < rows; i++) {
            raw[i] = values[i * channels + c];
            const s = smoothed[i * channels + c];
            smooth[i] = Number.isNaN(s) ? null : s;
            refused[i] = Number.isNaN(s) ? (Number.isFinite(raw[i]) ? raw[i] : 0) : null;
        }
        const host = document.createElement('div');
        $('traces').append(host);
        const plot = new uPlot({
            title: names[c + 1] ?? `channel ${c + 1}`, width: width(), height: 220,
            cursor: { sync: { key: sync.key }, drag: { x: true, y: false } },
            scales: { x: { time: false } },
            axes: [{ label: 's' }, {}],
            hooks: { drawClear: [shadeMovements] },
            series: [{ label: 't (s)' },
                { label: 'raw', stroke: '#9aa5b1', width: 1, spanGaps: false },
                { label: 'smoothed', stroke: '#d9480f', width: 1.5 },
                { label: 'refused', stroke: '#c92a2a', paths: () => null,
                    points: { show: true, size: 7, fill: '#c92a2a' } }],
        }, [t, Array.from(raw, (v) => (Number.isFinite(v) ? v : null)), smooth, refused], host);
        state.plots.push(plot);
    }
    drawPath(smoothed);
}

// The detected movements, shaded behind the traces.
function shadeMovements(u) {
    u.ctx.save();
    u.ctx.fillStyle = 'rgba(255, 212, 59, 0.35)';
    for (const { startMs, endMs } of state.movements ?? []) {
        const x0 = u.valToPos(startMs / 1000, 'x', true);
        const x1 = u.valToPos(endMs / 1000, 'x', true);
        u.ctx.fillRect(x0, u.bbox.top, Math.max(x1 - x0, 1), u.bbox.height);
    }
    u.ctx.restore();
}

// The 2-D path of the first two channels: uPlot draws functions of x, not paths, so the path is
// drawn on a canvas of its own.
function drawPath(smoothed) {
    const canvas = $('path');
    const { values, channels } = state.recording;
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    if (channels < 2) return;
    let [x0, x1, y0, y1] = [Infinity, -Infinity, Infinity, -Infinity];
    for (let i = 0; i < values.length; i += channels) {
        if (Number.isFinite(values[i]) && Number.isFinite(values[i + 1])) {
            x0 = Math.min(x0, values[i]); x1 = Math.max(x1, values[i]);
            y0 = Math.min(y0, values[i + 1]); y1 = Math.max(y1, values[i + 1]);
        }
    }
    const scale = Math.min((canvas.width - 20) / (x1 - x0 || 1), (canvas.height - 20) / (y1 - y0 || 1));
    const line = (data, color) => {
        context.strokeStyle = color;
        context.beginPath();
        let pen = false;
        for (let i = 0; i < data.length; i += channels) {
            if (!Number.isFinite(data[i]) || !Number.isFinite(data[i + 1])) { pen = false; continue; }
            const x = 10 + (data[i] - x0) * scale;
            const y = 10 + (data[i + 1] - y0) * scale;
            if (pen) context.lineTo(x, y); else context.moveTo(x, y);
            pen = true;
        }
        context.stroke();
    };
    line(values, '#9aa5b1');
    line(smoothed, '#d9480f');
}

// The Pareto front: mean lag (x) against smoothed jitter; the recommendation, the defaults and
// the chosen setting marked. A click applies the nearest of them.
function drawFront() {
    state.front?.destroy();
    const r = state.result;
    const host = $('front');
    host.replaceChildren();
    if (r.front.length === 0) {
        host.textContent = r.message;
        state.front = null;
        return;
    }
    const points = [...r.front.map((m) => ({ m, kind: 'front' })),
        { m: r.defaults, kind: 'defaults' }].filter((p) => Number.isFinite(p.m.meanLagMs));
    points.sort((a, b) => a.m.meanLagMs - b.m.meanLagMs);
    const xs = points.map((p) => p.m.meanLagMs);
    const pick = (test) => points.map((p) => (test(p) ? p.m.smoothedJitter : null));
    const rec = r.recommendation;
    const budget = r.lagBudgetMs;
    state.frontPoints = points;
    state.front = new uPlot({
        title: 'Pareto front: smoothed jitter against mean lag', width: width(), height: 300,
        // A margin, so that the marks at the ends lie inside the plot, where a click reaches them.
        scales: { x: { time: false, range: (u, min, max) => [min - (max - min) / 20, max + (max - min) / 20] } },
        axes: [{ label: 'mean lag (ms)' }, { label: 'smoothed jitter' }],
        cursor: { drag: { x: false, y: false } },
        series: [{ label: 'lag (ms)' },
            { label: 'front', stroke: '#1971c2', spanGaps: true, points: { show: true, size: 6 } },
            { label: 'recommended', stroke: '#2f9e44', paths: () => null,
                points: { show: true, size: 14, fill: '#2f9e44' } },
            { label: 'defaults', stroke: '#7048e8', paths: () => null,
                points: { show: true, size: 12, fill: '#7048e8' } },
            { label: 'chosen', stroke: '#d9480f', paths: () => null,
                points: { show: true, size: 10, fill: '#d9480f' } }],
        hooks: {
            draw: [(u) => {
                if (!Number.isFinite(budget)) return;
                const x = u.valToPos(budget, 'x', true);
                u.ctx.save();
                u.ctx.strokeStyle = '#e03131';
                u.ctx.setLineDash([6, 4]);
                u.ctx.beginPath();
                u.ctx.moveTo(x, u.bbox.top);
                u.ctx.lineTo(x, u.bbox.top + u.bbox.height);
                u.ctx.stroke();
                u.ctx.restore();
            }],
        },
    }, [xs, pick((p) => p.kind === 'front'), pick((p) => rec && p.kind === 'front' && p.m === r.front.find(
        (f) => f.minCutOff === rec.minCutOff && f.beta === rec.beta)),
    pick((p) => p.kind === 'defaults'), xs.map(() => null)], host);
    // The point nearest the click on screen: the front is dense, so nearest in lag alone would
    // miss the marks that lie off it.
    state.front.over.addEventListener('click', (event) => {
        const u = state.front;
        const box = u.over.getBoundingClientRect();
        // The recommendation's and the defaults' marks are larger: a click on one picks it.
        const marked = (p) => p.kind === 'defaults' || (rec && p.m.minCutOff === rec.minCutOff &&
            p.m.beta === rec.beta);
        const apart = (p) => Math.hypot(u.valToPos(p.m.meanLagMs, 'x') - (event.clientX - box.left),
            u.valToPos(p.m.smoothedJitter, 'y') - (event.clientY - box.top)) - (marked(p) ? 6 : 0);
        const nearest = points.reduce((best, p) => (apart(p) < apart(best) ? p : best), points[0]);
        choose(nearest.m.minCutOff, nearest.m.beta);
    });
}

function drawFrontChoice() {
    if (!state.front || !state.chosen) return;
    const { minCutOff, beta } = state.chosen;
    const data = state.front.data.slice();
    data[4] = state.frontPoints.map((p) =>
        (p.m.minCutOff === minCutOff && p.m.beta === beta ? p.m.smoothedJitter : null));
    state.front.setData(data, false);
}

/** Where a marked point lies on the page, for tests and for keyboard users: {x, y} or null. */
function pointPosition(kind) {
    const r = state.result;
    const target = kind === 'defaults' ? r.defaults : r.recommendation;
    const index = state.frontPoints?.findIndex((p) => p.m === target ||
        (p.kind === 'front' && p.m.minCutOff === target?.minCutOff && p.m.beta === target?.beta));
    if (index === undefined || index < 0) return null;
    const u = state.front;
    const box = u.over.getBoundingClientRect();
    return { x: box.left + u.valToPos(state.frontPoints[index].m.meanLagMs, 'x'),
        y: box.top + u.valToPos(state.frontPoints[index].m.smoothedJitter, 'y') };
}

// ---- Files -----------------------------------------------------------------------------------

async function open(file) {
    state.name = file.name;
    let text;
    try {
        text = await file.text();
    } catch (error) {
        fail(`${file.name}: cannot be read (${error.message})`);
        return;
    }
    try {
        state.recording = parseCsv(text);
    } catch (error) {
        fail(`${file.name}: ${error.message}`);
        return;
    }
    state.result = null;
    busy = true;
    setState('loading');
    message(`${file.name}: read; profiling…`);
    const { timestamps, values, channels } = state.recording;
    worker.postMessage({ type: 'load', recording: { timestamps, values, channels } });
}

function download(name, text, type) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([text], { type }));
    link.download = name;
    link.click();
}

function init() {
    startWorker();
    $('file').addEventListener('change', (event) => event.target.files[0] && open(event.target.files[0]));
    document.addEventListener('dragover', (event) => event.preventDefault());
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        const file = event.dataTransfer?.files[0];
        if (file) open(file);
    });
    $('min-cut-off').addEventListener('input', onSlider);
    $('beta').addEventListener('input', onSlider);
    $('retune').addEventListener('click', () => state.recording && !busy && runTune());
    $('download-json').addEventListener('click', () => state.result &&
        download('tuning.json', tuningJson(state.result), 'application/json'));
    $('copy').addEventListener('click', () => navigator.clipboard?.writeText($('export').textContent));
    window.peltoPage = { pointPosition, state };
}

init();
