// The chosen setting as code to paste, and the tuning result as a file.

/**
 * The setting as code for each language. `timestampPrecision` and `derivative` appear where they
 * are not the bank's defaults (WHOLE_MILLISECONDS, RAW); the page smooths with EXACT timestamps.
 */
export function snippets(channels, minCutOff, beta, freq, dCutOff,
    { timestampPrecision = 'EXACT', derivative = 'RAW' } = {}) {
    const m = String(minCutOff);
    const b = String(beta);
    const args = `${channels}, ${freq}, ${m}, ${b}, ${dCutOff}`;
    const exact = timestampPrecision !== 'WHOLE_MILLISECONDS';
    const filtered = derivative !== 'RAW';
    const chosen = exact || filtered;
    const cpp = chosen ? `, pelto::TimestampPrecision::${timestampPrecision}` +
        (filtered ? `, pelto::DerivativeSource::${derivative}` : '') : '';
    const python = (exact ? `, precision=pelto.TimestampPrecision.${timestampPrecision}` : '') +
        (filtered ? `, derivative=pelto.DerivativeSource.${derivative}` : '');
    const js = (exact ? `, timestampPrecision: '${timestampPrecision}'` : '') +
        (filtered ? `, derivative: '${derivative}'` : '');
    const c = chosen ? [
        'pelto_filter_options options;',
        'pelto_filter_options_init(&options);',
        ...(exact ? [`options.timestamp_precision = PELTO_TIMESTAMP_PRECISION_${timestampPrecision};`] : []),
        ...(filtered ? [`options.derivative_source = PELTO_DERIVATIVE_SOURCE_${derivative};`] : []),
        `pelto_one_euro_filter_manager* bank = pelto_one_euro_filter_manager_create_with_options(${args}, &options);`,
    ] : [`pelto_one_euro_filter_manager* bank = pelto_one_euro_filter_manager_create(${args});`];
    return [
        '// C++',
        `pelto::OneEuroFilterManager bank(${args}${cpp});`,
        '',
        '/* C */',
        ...c,
        '',
        '# Python',
        `bank = pelto.OneEuroFilterManager(${args}${python})`,
        '',
        '// JavaScript',
        `const bank = new OneEuroFilterManager({ count: ${channels}, freq: ${freq}, minCutOff: ${m}, beta: ${b}, dCutOff: ${dCutOff}${js} });`,
    ].join('\n');
}

/** The tuning result as the library writes it (the demo's tuning.json). */
export function tuningJson(result) {
    return `${result.text}\n`;
}
