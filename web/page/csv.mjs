// Reads a recording in the demo's CSV format: timestamps in ms, then one column per channel; an
// optional header line; quoted fields; an empty field or "nan" is a missing value. Throws
// CsvError naming the line and the reason.

export class CsvError extends Error {
    constructor(line, reason) {
        super(line > 0 ? `line ${line}: ${reason}` : reason);
        this.line = line;
    }
}

function split(text, line) {
    const fields = [];
    let i = 0;
    for (;;) {
        while (text[i] === ' ' || text[i] === '\t') i++;
        if (text[i] === '"') {
            let value = '';
            i++;
            for (;;) {
                const close = text.indexOf('"', i);
                if (close < 0) throw new CsvError(line, 'a quote is not closed');
                value += text.slice(i, close);
                i = close + 1;
                if (text[i] !== '"') break;
                value += '"';
                i++;
            }
            while (text[i] === ' ' || text[i] === '\t') i++;
            if (i < text.length && text[i] !== ',') {
                throw new CsvError(line, 'text after a closing quote');
            }
            fields.push({ text: value, quoted: true });
        } else {
            const comma = text.indexOf(',', i);
            const end = comma < 0 ? text.length : comma;
            fields.push({ text: text.slice(i, end).trim(), quoted: false });
            i = end;
        }
        if (i >= text.length) return fields;
        i++; // the comma
    }
}

function number(field) {
    const text = field.text.trim();
    if (text === '' || /^[+-]?nan$/i.test(text)) return NaN;
    if (!/^[+-]?(\d+\.?\d*|\.\d+)(e[+-]?\d+)?$/i.test(text) && !/^[+-]?inf(inity)?$/i.test(text)) {
        return undefined;
    }
    return /inf/i.test(text) ? (text.startsWith('-') ? -Infinity : Infinity) : Number(text);
}

/** { names, timestamps: Float64Array, values: Float64Array (row-major), channels }. */
export function parseCsv(text) {
    const lines = text.replace(/^\uFEFF/, '').split(/\r?\n/);
    let names = null;
    let channels = 0;
    const times = [];
    const values = [];
    lines.forEach((raw, index) => {
        const line = index + 1;
        if (raw.trim() === '') return;
        const fields = split(raw, line);
        const numbers = fields.map(number);
        if (names === null && times.length === 0 && numbers.some((n) => n === undefined)) {
            names = fields.map((f) => f.text);
            if (fields.length < 2) throw new CsvError(line, 'a timestamp and at least one channel are needed');
            channels = fields.length - 1;
            return;
        }
        if (channels === 0) {
            if (fields.length < 2) throw new CsvError(line, 'a timestamp and at least one channel are needed');
            channels = fields.length - 1;
        }
        if (fields.length !== channels + 1) {
            throw new CsvError(line, `${fields.length} fields where ${channels + 1} were expected`);
        }
        const bad = numbers.findIndex((n) => n === undefined);
        if (bad >= 0) {
            throw new CsvError(line, `field ${bad + 1} ("${fields[bad].text}") is not a number`);
        }
        times.push(numbers[0]);
        for (let c = 1; c <= channels; c++) values.push(numbers[c]);
    });
    if (times.length === 0) throw new CsvError(0, 'the file holds no samples');
    names ??= ['t_ms', ...Array.from({ length: channels }, (_, c) => `channel ${c + 1}`)];
    return { names, timestamps: Float64Array.from(times), values: Float64Array.from(values), channels };
}
