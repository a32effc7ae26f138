// The tuning result as JavaScript: shared by the package and the tuning page's main thread, which
// has no WebAssembly of its own.

// The option lists in the order the module reads them; the C++ defaults.
export const MEASURING_DEFAULTS = Object.freeze({
    fastFactor: 6, stillFactor: 3, settleMs: 150, lagProgress: 0.9,
});
export const TUNING_DEFAULTS = Object.freeze({
    ...MEASURING_DEFAULTS, maxLagMs: null, freq: 30, dCutOff: 1, minCutOffSteps: 13,
    minCutOffLow: 0.01, minCutOffHigh: Infinity, betaSteps: 13, boostLow: 0.01, boostHigh: 100000,
});
// The figures are the native library's JSON: null stands for NaN.
export const fromNull = (key, value) => (value === null ? NaN : value);

/** A Measurement from the library's JSON form: the parameters beside the figures. */
export const measurementFromJson = ({ parameters, ...figures }) => ({ ...parameters, ...figures });

const column = (measurements, key) => Float64Array.from(measurements, (m) => m[key]);

/**
 * A TuningResult from the library's JSON form of a tuning report (what tune() gives, and
 * toJSON() gives back): the one place where the native result becomes the JavaScript one, in
 * this module and in the tuning page.
 */
export function tuningResultFromJson(text) {
    const source = typeof text === 'string' ? text : JSON.stringify(text);
    const json = JSON.parse(source, fromNull);
    const front = json.front.map(measurementFromJson);
    const recommended = json.recommendationFigures;
    return {
        status: json.statusCode,
        ok: json.status === 'OK',
        message: json.message,
        profile: json.profile,
        movements: json.profile.movements,
        // The recommendation's figures, with its bank's choices: all a bank needs.
        recommendation: recommended && recommended.parameters
            ? { ...measurementFromJson(recommended), ...json.recommendation } : null,
        defaults: measurementFromJson(json.defaults),
        lagBudgetMs: json.budget.maxLagMs,
        budgetGiven: json.budget.basis === 'given',
        lagBasis: json.lagBasis,
        clockPrecisionMs: json.clockPrecisionMs,
        overBudget: json.overBudget,
        atSearchEdge: json.atSearchEdge,
        timestampPrecision: json.timestampPrecision,
        derivative: json.derivative,
        front,
        frontMinCutOff: column(front, 'minCutOff'),
        frontBeta: column(front, 'beta'),
        frontSmoothedJitter: column(front, 'smoothedJitter'),
        frontMeanLagMs: column(front, 'meanLagMs'),
        /** The library's JSON text, as toJson() wrote it: the demo's tuning.json. */
        text: source,
        toJSON: () => JSON.parse(source),
    };
}
