// The tuning page in headless Chromium, opened from disk: a recording's sweep, the recommended
// point clicked and its figures read off the page, compared exactly with the native tuner; a
// malformed file's message. Leaves a screenshot next to the page (dist/pelto-tuning.png).
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { measurementFromJson } from '../result.mjs';
import { gaze, native, toCsv } from './recordings.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const page = resolve(here, '../dist/pelto-tuning.html');
const helper = process.env.PELTO_WEB_REFERENCE;
const browserPath = process.env.CHROMIUM ?? '/usr/bin/chromium';
const skip = !helper ? 'PELTO_WEB_REFERENCE (the native helper) is not set'
    : !existsSync(page) ? 'the page is not built (node build.mjs)'
        : !existsSync(browserPath) ? `no browser at ${browserPath}` : false;

async function browser() {
    const { default: puppeteer } = await import('puppeteer-core');
    return puppeteer.launch({
        executablePath: browserPath, headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
}

async function load(tab, file) {
    await tab.goto(pathToFileURL(page).href);
    await tab.waitForFunction(() => document.body.dataset.state === 'ready');
    const input = await tab.$('#file');
    await input.uploadFile(file);
}

const text = (tab, id) => tab.$eval(`#${id}`, (node) => node.textContent);

test('the page tunes a recording as the native tuner does', { skip, timeout: 120000 }, async () => {
    const recording = gaze({ rows: 4000, seed: 5 });
    const dir = mkdtempSync(join(tmpdir(), 'pelto-page-'));
    const file = join(dir, 'gaze.csv');
    writeFileSync(file, toCsv(recording));
    const expected = native(helper, recording, { minCutOff: 1, beta: 0.007 }).tune;
    assert.equal(expected.status, 'OK');

    const chromium = await browser();
    try {
        const tab = await chromium.newPage();
        await tab.setViewport({ width: 1200, height: 1500 });
        const errors = [];
        tab.on('pageerror', (error) => errors.push(error.message));
        await load(tab, file);
        await tab.waitForFunction(() => document.body.dataset.state === 'tuned', { timeout: 60000 });
        // Apply the defaults first, so that the click below visibly changes the figures.
        const defaults = await tab.evaluate(() => window.peltoPage.pointPosition('defaults'));
        await tab.mouse.click(defaults.x, defaults.y);
        await tab.waitForFunction((beta) => document.getElementById('figure-beta').textContent === beta,
            {}, String(expected.defaults.parameters.beta));
        const point = await tab.evaluate(() => window.peltoPage.pointPosition('recommendation'));
        await tab.mouse.click(point.x, point.y);
        const best = measurementFromJson(expected.recommendationFigures);
        await tab.waitForFunction((beta) => document.getElementById('figure-beta').textContent === beta,
            {}, String(best.beta));
        assert.equal(Number(await text(tab, 'figure-min-cut-off')), best.minCutOff);
        assert.equal(Number(await text(tab, 'figure-jitter')), best.smoothedJitter);
        assert.equal(Number(await text(tab, 'figure-lag')), best.meanLagMs);
        assert.equal(await text(tab, 'tuning-message'), expected.message);
        assert.match(await text(tab, 'export'), new RegExp(`minCutOff: ${best.minCutOff}, beta: ${best.beta}`));
        assert.deepEqual(await tab.evaluate(() => window.peltoPage.state.movements),
            expected.profile.movements);
        assert.deepEqual(errors, []);
        await tab.screenshot({ path: resolve(here, '../dist/pelto-tuning.png'), fullPage: true });

        const bad = join(dir, 'bad.csv');
        writeFileSync(bad, 't,x,y\n0,1,2\n16,1,"2\n33,1,2\n');
        await load(tab, bad);
        await tab.waitForFunction(() => document.body.dataset.state === 'error');
        assert.equal(await text(tab, 'message'), 'bad.csv: line 3: a quote is not closed');
    } finally {
        await chromium.close();
    }
});
