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

/** The tuning result's JSON form, with the setting chosen on the page. */
export function tuningJson(result, chosen) {
    const json = result.toJSON();
    if (chosen) {
        json.chosen = { minCutOff: chosen.minCutOff, beta: chosen.beta, measurement: chosen.measurement };
    }
    return `${JSON.stringify(json, null, 2)}\n`;
}
