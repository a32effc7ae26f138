// Speed of the WebAssembly build: the block call on 2 channels beside the native baseline
// (pelto-block-timer, PELTO_ISA=baseline), and the default sweep of a 100,000-sample two-channel
// recording in Node.js and, with --browser, in the tuning page in headless Chromium.
//
//   node bench/speed.mjs [--native PATH/TO/pelto-block-timer] [--browser]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { OneEuroFilterManager, tune } from '../pelto.mjs';
import { gaze, toCsv } from '../test/recordings.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const args = process.argv.slice(2);
const best = (runs, work) => Math.min(...Array.from({ length: runs }, () => {
    const start = performance.now();
    work();
    return performance.now() - start;
}));

const rows = 1_000_000;
const block = gaze({ rows, seed: 2, faults: false });
const smoothed = new Float64Array(rows * 2);
const accepted = new Uint8Array(rows);
const ms = best(7, () => new OneEuroFilterManager().filterSamples(block.timestamps, block.values, smoothed, accepted));
console.log(`block call, WebAssembly: ${(ms * 1e6 / (rows * 2)).toFixed(2)} ns per channel-sample`);
const nativeIndex = args.indexOf('--native');
if (nativeIndex >= 0) {
    const dir = mkdtempSync(join(tmpdir(), 'pelto-bench-'));
    writeFileSync(join(dir, 't.f64'), new Uint8Array(block.timestamps.buffer));
    writeFileSync(join(dir, 'v.f64'), new Uint8Array(block.values.buffer));
    const out = execFileSync(args[nativeIndex + 1], [join(dir, 't.f64'), join(dir, 'v.f64'), '2', '7'],
        { env: { ...process.env, PELTO_ISA: 'baseline' } }).toString();
    const seconds = Number(/best (\S+)/.exec(out)[1]);
    console.log(`block call, native baseline: ${(seconds * 1e9 / (rows * 2)).toFixed(2)} ns per channel-sample`);
}

const recording = gaze({ rows: 100_000, seed: 4 });
const sweep = best(1, () => tune(recording.timestamps, recording.values));
console.log(`default sweep of 100,000 two-channel samples, Node.js: ${(sweep / 1000).toFixed(2)} s`);

if (args.includes('--browser')) {
    const { default: puppeteer } = await import('puppeteer-core');
    const file = join(mkdtempSync(join(tmpdir(), 'pelto-bench-')), 'gaze.csv');
    writeFileSync(file, toCsv(recording));
    const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run'] });
    const tab = await browser.newPage();
    await tab.goto(pathToFileURL(resolve(here, '../dist/pelto-tuning.html')).href);
    await tab.waitForFunction(() => document.body.dataset.state === 'ready');
    await (await tab.$('#file')).uploadFile(file);
    await tab.waitForFunction(() => document.body.dataset.state !== 'ready', { timeout: 120000 });
    const start = Date.now();
    await tab.waitForFunction(() => ['tuned', 'error'].includes(document.body.dataset.state),
        { timeout: 120000 });
    const seconds = (Date.now() - start) / 1000;
    console.log(`in the page, headless Chromium: ${await tab.$eval('#message', (n) => n.textContent)}`);
    console.log(`  from the file's upload to the tuned page: ${seconds.toFixed(2)} s`);
    await browser.close();
}
