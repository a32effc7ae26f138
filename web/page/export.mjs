// The chosen setting as code to paste, and the tuning result as a file.

export function snippets(channels, minCutOff, beta, freq, dCutOff) {
    const m = String(minCutOff);
    const b = String(beta);
    return [
        '// C++',
        `pelto::OneEuroFilterManager bank(${channels}, ${freq}, ${m}, ${b}, ${dCutOff});`,
        '',
        '/* C */',
        `pelto_one_euro_filter_manager* bank = pelto_one_euro_filter_manager_create(${channels}, ${freq}, ${m}, ${b}, ${dCutOff});`,
        '',
        '# Python',
        `bank = pelto.OneEuroFilterManager(${channels}, ${freq}, ${m}, ${b}, ${dCutOff})`,
        '',
        '// JavaScript',
        `const bank = new OneEuroFilterManager({ count: ${channels}, freq: ${freq}, minCutOff: ${m}, beta: ${b}, dCutOff: ${dCutOff} });`,
    ].join('\n');
}

/** The tuning result as the library writes it (the demo's tuning.json). */
export function tuningJson(result) {
    return `${result.text}\n`;
}
