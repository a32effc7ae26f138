// The tuning result as JavaScript: shared by the package and the tuning page's main thread, which
// has no WebAssembly of its own.

// The option lists in the order the module reads them.
export const MEASURING_DEFAULTS = Object.freeze({
    fastFactor: 5, stillFactor: 5, settleMs: 200, lagProgress: 0.9,
});
export const TUNING_DEFAULTS = Object.freeze({
    ...MEASURING_DEFAULTS, maxLagMs: null, freq: 30, dCutOff: 1, minCutOffSteps: 25,
    minCutOffLow: 0.01, minCutOffHigh: 10, betaSteps: 25, boostLow: 0.01, boostHigh: 1000,
});
// The figures are the native library's JSON: null stands for NaN.
export const fromNull = (key, value) => (value === null ? NaN : value);


const column = (measurements, key) => Float64Array.from(measurements, (m) => m[key]);

/**
 * A TuningResult from its JSON form (what tune() and toJSON() give): the one place where the
 * native result becomes the JavaScript one, in this module and in the tuning page.
 */
export function tuningResultFromJson(text) {
    const json = typeof text === 'string' ? JSON.parse(text, fromNull) : text;
    const recommendation =
        json.recommendation && 'minCutOff' in json.recommendation ? json.recommendation : null;
    const swept = json.grid.length > 0;
    return {
        status: json.status,
        ok: json.status === 0 /* TuningStatus.OK */,
        message: json.message,
        profile: json.profile,
        recommendation,
        defaults: json.defaults,
        lagBudgetMs: json.lagBudgetMs,
        minCutOffGrid: Float64Array.from(swept ? json.minCutOffs : []),
        betaGrid: Float64Array.from(swept ? json.betas : []),
        grid: json.grid,
        gridSmoothedJitter: column(json.grid, 'smoothedJitter'),
        gridMeanLagMs: column(json.grid, 'meanLagMs'),
        front: json.front,
        frontMinCutOff: column(json.front, 'minCutOff'),
        frontBeta: column(json.front, 'beta'),
        frontSmoothedJitter: column(json.front, 'smoothedJitter'),
        frontMeanLagMs: column(json.front, 'meanLagMs'),
        toJSON: () => JSON.parse(typeof text === 'string' ? text : JSON.stringify(text)),
    };
}
