// Seeded synthetic gaze recordings for the tests and the benchmark, and their exchange with the
// native reference helper.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

function random(seed) {
    let a = seed >>> 0;
    return () => {
        a = (a + 0x6d2b79f5) >>> 0;
        let t = Math.imul(a ^ (a >>> 15), 1 | a);
        t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
}

/**
 * Fixations and saccades at a jittery ~60 Hz, with dropouts (NaN), a repeated timestamp and a
 * gap: { timestamps, values, channels }.
 */
export function gaze({ rows = 3000, channels = 2, seed = 1, faults = true } = {}) {
    const next = random(seed);
    const timestamps = new Float64Array(rows);
    const values = new Float64Array(rows * channels);
    const target = Array.from({ length: channels }, () => next() * 1000);
    const from = target.slice();
    let t = 1000 * next();
    let moveStart = -1;
    for (let i = 0; i < rows; i++) {
        t += 16.6 + (next() - 0.5) * 3;
        if (faults && i % 997 === 500) t += 400; // a tracking gap
        timestamps[i] = faults && i % 1499 === 700 ? timestamps[i - 1] : t;
        if (next() < 0.012) { // a saccade to a new target over ~50 ms
            from.splice(0, channels, ...target.map((v, c) => values[(i - 1) * channels + c] || v));
            for (let c = 0; c < channels; c++) target[c] = next() * 1000;
            moveStart = t;
        }
        const progress = moveStart < 0 ? 1 : Math.min((t - moveStart) / 50, 1);
        for (let c = 0; c < channels; c++) {
            const clean = from[c] + (target[c] - from[c]) * progress;
            values[i * channels + c] = clean + (next() - 0.5) * 6;
        }
        if (faults && i % 613 === 300) values[i * channels] = NaN; // a dropout
    }
    return { timestamps, values, channels };
}

/**
 * What the native library makes of a recording (pelto-web-reference's JSON, null as NaN), with
 * the bank's and the tuner's choices (default: EXACT, RAW).
 */
export function native(helper, recording, { minCutOff, beta, maxLagMs,
    timestampPrecision = 'EXACT', derivative = 'RAW' }) {
    const dir = mkdtempSync(join(tmpdir(), 'pelto-web-'));
    const file = join(dir, 'recording.bin');
    const { timestamps, values, channels } = recording;
    const data = new Float64Array(2 + timestamps.length + values.length);
    data.set([timestamps.length, channels]);
    data.set(timestamps, 2);
    data.set(values, 2 + timestamps.length);
    writeFileSync(file, new Uint8Array(data.buffer));
    const args = [file, String(minCutOff), String(beta), timestampPrecision, derivative];
    if (maxLagMs !== undefined) args.push(String(maxLagMs));
    const text = execFileSync(helper, args, { maxBuffer: 1 << 28 }).toString();
    return JSON.parse(text, (key, value) => (value === null ? NaN : value));
}

/** The recording as the demo's CSV. */
export function toCsv({ timestamps, values, channels }) {
    const lines = ['t_ms,' + Array.from({ length: channels }, (_, c) => `ch${c}`).join(',')];
    for (let i = 0; i < timestamps.length; i++) {
        const row = Array.from(values.subarray(i * channels, (i + 1) * channels),
            (v) => (Number.isNaN(v) ? '' : String(v)));
        lines.push(`${timestamps[i]},${row.join(',')}`);
    }
    return lines.join('\n') + '\n';
}
