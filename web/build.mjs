// Builds the npm package's module and the one-file tuning page.
//
//   node build.mjs [WASM_BUILD_DIR]   (default: ../build/wasm)
//
// Copies the Emscripten module (pelto-wasm.mjs, WebAssembly embedded) to dist/, then bundles the
// page's worker and script (with uPlot) into dist/pelto-tuning.html, which works offline from disk.
import { build } from 'esbuild';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const wasmDir = resolve(process.argv[2] ?? resolve(here, '../build/wasm'));
mkdirSync(resolve(here, 'dist'), { recursive: true });
copyFileSync(resolve(wasmDir, 'web/pelto-wasm.mjs'), resolve(here, 'dist/pelto-wasm.mjs'));

const common = {
    bundle: true, write: false, format: 'esm', platform: 'browser', target: 'es2022',
    minify: true, legalComments: 'none',
    // Emscripten's Node.js branch is never taken in a browser.
    external: ['module', 'fs', 'path', 'crypto', 'url', 'worker_threads'],
};
// A page opened from disk may start classic workers from blob: URLs, not module workers: the
// worker's bundle (which waits for the WebAssembly at its top level) runs in an async function.
const worker = await build({
    ...common, entryPoints: [resolve(here, 'page/worker.mjs')],
    define: { 'import.meta.url': 'self.location.href' },
});
const workerSource = `(async () => {\n${worker.outputFiles[0].text}\n})();\n`;
const app = await build({
    ...common, entryPoints: [resolve(here, 'page/app.mjs')],
    define: { WORKER_SOURCE: JSON.stringify(workerSource) },
});
const css = readFileSync(resolve(here, 'node_modules/uplot/dist/uPlot.min.css'), 'utf8');
const html = readFileSync(resolve(here, 'page/tuning.html'), 'utf8')
    .replace('/*UPLOT_CSS*/', () => css)
    .replace('/*APP_SCRIPT*/', () => app.outputFiles[0].text.replaceAll('</script', '<\\/script'));
const out = resolve(here, 'dist/pelto-tuning.html');
writeFileSync(out, html);
console.log(`${out} (${Math.round(html.length / 1024)} KiB)`);
