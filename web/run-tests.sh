#!/usr/bin/env bash
# Builds the WebAssembly module (preset `wasm`) and the tuning page, then runs the package's tests
# in Node.js and the page's test in headless Chromium, against the native helper given.
#
#   bash web/run-tests.sh PATH/TO/pelto-web-reference
#
# Exits 77, with one line saying why, when Emscripten, Chromium or the npm packages are missing.
set -euo pipefail
helper=$(realpath "$1")
cd "$(dirname "${BASH_SOURCE[0]}")"

missing=()
command -v emcmake >/dev/null || missing+=("Emscripten (apt-get install emscripten)")
command -v chromium >/dev/null || missing+=("Chromium (apt-get install chromium)")
[[ -d node_modules/puppeteer-core ]] || missing+=("the npm packages (npm ci in web/)")
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "web tests skipped: missing $(IFS=,; echo "${missing[*]}" | sed 's/,/, /g')"
    exit 77
fi

(cd .. && cmake --preset wasm >/dev/null && cmake --build --preset wasm)
node build.mjs ../build/wasm
PELTO_WEB_REFERENCE=$helper node --test test/*.test.mjs
