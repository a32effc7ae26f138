// Smooths a CSV of the demo's format (timestamps in ms, then channels) with the one-euro filter
// bank and prints the smoothed CSV; refused rows keep empty fields.
//
//   node examples/smooth-csv.mjs gaze.csv [minCutOff [beta]] > smoothed.csv
import { readFileSync } from 'node:fs';
import { smooth } from 'pelto';

const [file, minCutOff = '1', beta = '0.007'] = process.argv.slice(2);
if (!file) {
    console.error('usage: node smooth-csv.mjs FILE.csv [minCutOff [beta]]');
    process.exit(2);
}
const lines = readFileSync(file, 'utf8').split(/\r?\n/).filter((line) => line.trim() !== '');
const header = /^[\s"]*[-+.\d]/.test(lines[0]) ? null : lines.shift();
const rows = lines.map((line) => line.split(',').map((field) => {
    const text = field.trim().replace(/^"|"$/g, '');
    return text === '' ? NaN : Number(text);
}));
const channels = rows[0].length - 1;
const timestamps = Float64Array.from(rows, (row) => row[0]);
const values = Float64Array.from(rows.flatMap((row) => row.slice(1)));
const smoothed = smooth(timestamps, values, {
    channels, minCutOff: Number(minCutOff), beta: Number(beta),
});
if (header) console.log(header);
for (let i = 0; i < rows.length; i++) {
    const row = Array.from(smoothed.subarray(i * channels, (i + 1) * channels),
        (v) => (Number.isNaN(v) ? '' : String(v)));
    console.log([timestamps[i], ...row].join(','));
}
