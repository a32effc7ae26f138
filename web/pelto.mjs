// Pelto for JavaScript: the library compiled to WebAssembly, with the same results bit for bit as
// the native library. Every call is synchronous once this module has loaded.

import createPeltoModule from './dist/pelto-wasm.mjs';
import {
    fromNull, MEASURING_DEFAULTS, measurementFromJson, TUNING_DEFAULTS, tuningResultFromJson,
} from './result.mjs';

export { MEASURING_DEFAULTS, TUNING_DEFAULTS, tuningResultFromJson };

const wasm = await createPeltoModule();

// ---- Memory ------------------------------------------------------------------------------------

// Runs `work` with each array copied into the module's memory (a pointer per array, in order),
// then frees them. A number instead of an array is a byte count: room for an output.
function withHeap(arrays, work) {
    const pointers = [];
    try {
        for (const array of arrays) {
            const bytes = Math.max(typeof array === 'number' ? array : array.byteLength, 8);
            const pointer = wasm._malloc(bytes);
            if (pointer === 0) {
                throw new RangeError(`out of memory for ${bytes} bytes`);
            }
            pointers.push(pointer);
            if (array instanceof Uint8Array) {
                wasm.HEAPU8.set(array, pointer);
            } else if (typeof array !== 'number') {
                wasm.HEAPF64.set(array, pointer / 8);
            }
        }
        return work(...pointers);
    } finally {
        pointers.forEach((pointer) => wasm._free(pointer));
    }
}

function float64(name, data) {
    if (data instanceof Float64Array) {
        return data;
    }
    if (ArrayBuffer.isView(data) || Array.isArray(data)) {
        return Float64Array.from(data, Number);
    }
    throw new TypeError(`${name} must be a Float64Array or an array of numbers`);
}

// A recording: timestamps (N) and values (N × channels, row-major, or N arrays of channels).
function recording(timestamps, values, channels) {
    const t = float64('timestamps', timestamps);
    let v;
    if (Array.isArray(values) && values.length > 0 && Array.isArray(values[0])) {
        channels ??= values[0].length;
        v = Float64Array.from(values.flat(), Number);
    } else {
        v = float64('values', values);
    }
    channels ??= t.length > 0 ? v.length / t.length : 1;
    if (!Number.isInteger(channels) || channels < 1 || v.length !== t.length * channels) {
        throw new RangeError(
            `values hold ${v.length} numbers: not ${t.length} rows of ${channels} channels`);
    }
    return { t, v, channels };
}

// ---- Enumerations ------------------------------------------------------------------------------

function enumeration(name, cases, describe) {
    const byValue = new Map(Object.entries(cases).map(([key, value]) => [value, key]));
    return Object.freeze({
        ...cases,
        /** The case's name for a raw value, or undefined. */
        nameOf: (raw) => byValue.get(raw),
        /** The case's text ("" for a value that is no case); the name when it has no text. */
        description: (raw) => {
            if (!byValue.has(raw)) {
                return '';
            }
            return describe ? wasm.UTF8ToString(describe(BigInt(raw))) : byValue.get(raw);
        },
        toString: () => name,
    });
}

const described = (symbol) => (raw) => wasm[symbol](raw);

export const StatusError = enumeration(
    'StatusError', { ERROR_NONE: 0, ERROR_CAMERA_START: 1, ERROR_CAMERA_INTERRUPT: 2 },
    described('_pelto_status_error_description'));
export const InitializationError = enumeration('InitializationError', {
    ERROR_NONE: 0, ERROR_INIT: 1, ERROR_CAMERA_PERMISSION: 2, ERROR_CAMERA_UNAVAILABLE: 3,
    ERROR_CAMERA_CONFIGURATION: 4, ERROR_CAMERA_IN_USE: 5, ERROR_MODEL_MISSING: 6,
    ERROR_MODEL_CORRUPTED: 7, ERROR_MODEL_INCOMPATIBLE: 8, ERROR_OUT_OF_MEMORY: 9,
    ERROR_UNSUPPORTED_DEVICE: 10, ERROR_NO_GAZE_ENGINE: 11, ERROR_ENGINE_START: 12,
    ERROR_ALREADY_INITIALIZING: 13, ERROR_INVALID_OPTION: 14, ERROR_RESOURCE_MISSING: 15,
    ERROR_UNSUPPORTED_OS_VERSION: 16, ERROR_INTERNAL: 17,
}, described('_pelto_initialization_error_description'));
export const TrackingState = enumeration(
    'TrackingState', { SUCCESS: 0, LOW_CONFIDENCE: 1, UNSUPPORTED: 2, FACE_MISSING: 3 },
    described('_pelto_tracking_state_description'));
export const EyeMovementState = enumeration(
    'EyeMovementState', { FIXATION: 0, SACCADE: 2, UNKNOWN: 3 },
    described('_pelto_eye_movement_state_description'));
export const ScreenState = enumeration(
    'ScreenState', { INSIDE_OF_SCREEN: 0, OUTSIDE_OF_SCREEN: 1, UNKNOWN: 2 },
    described('_pelto_screen_state_description'));
export const CalibrationMode = enumeration(
    'CalibrationMode', { DEFAULT: 0, ONE_POINT: 1, FIVE_POINT: 5, SIX_POINT: 6 },
    described('_pelto_calibration_mode_description'));
export const AccuracyCriteria = enumeration(
    'AccuracyCriteria', { CRITERIA_0: 0, CRITERIA_1: 1, CRITERIA_2: 2 }, null);
export const TuningStatus = enumeration('TuningStatus', {
    OK: 0, TOO_FEW_SAMPLES: 1, ALL_REFUSED: 2, NO_MOTION: 3, NO_MOVEMENTS: 4,
    NO_STILL_PERIODS: 5, NO_SETTING_WITHIN_BUDGET: 6,
}, described('_pelto_tuning_status_text'));

/** The library's version text, e.g. "1.0.0-simulator". */
export const version = wasm.UTF8ToString(wasm._pelto_version_string());

// ---- Filter bank -------------------------------------------------------------------------------

/** How a bank reads timestamps (see the C++ TimestampPrecision). */
export const TimestampPrecision = Object.freeze({
    WHOLE_MILLISECONDS: 'WHOLE_MILLISECONDS', EXACT: 'EXACT',
});
/** What a bank takes each channel's rate of change against (see the C++ DerivativeSource). */
export const DerivativeSource = Object.freeze({ RAW: 'RAW', FILTERED: 'FILTERED' });

export const DEFAULTS = Object.freeze({
    count: 2, freq: 30, minCutOff: 1, beta: 0.007, dCutOff: 1,
    timestampPrecision: TimestampPrecision.WHOLE_MILLISECONDS, derivative: DerivativeSource.RAW,
});

// A choice's number in the C interface: its place in the list of its cases.
function choiceOf(cases, name, value) {
    const index = Object.values(cases).indexOf(value);
    if (index < 0) {
        throw new RangeError(`unknown ${name} ${value}`);
    }
    return index;
}

// The banks' choices of measure() and tune(), as the module reads them: exact timestamps unless
// the options say otherwise.
const bankChoices = (o) => Float64Array.of(
    choiceOf(TimestampPrecision, 'timestamp precision', o.timestampPrecision ?? 'EXACT'),
    choiceOf(DerivativeSource, 'derivative source', o.derivative ?? 'RAW'));

const ADOPT = Symbol('adopt');
const banks = new FinalizationRegistry((pointer) => {
    wasm._pelto_one_euro_filter_manager_destroy(pointer);
});

export class OneEuroFilterManager {
    #pointer;
    #channels;
    #sample; // room for one sample in the module's memory
    #options;

    constructor(options = {}) {
        if (options[ADOPT]) { // clone()
            this.#adopt(options.pointer, options.options);
            return;
        }
        const o = { ...DEFAULTS, ...options };
        for (const key of ['count', 'freq', 'minCutOff', 'beta', 'dCutOff']) {
            if (typeof o[key] !== 'number') {
                throw new TypeError(`${key} must be a number`);
            }
        }
        const precision = choiceOf(TimestampPrecision, 'timestamp precision', o.timestampPrecision);
        const derivative = choiceOf(DerivativeSource, 'derivative source', o.derivative);
        const count = Number.isFinite(o.count) ? Math.trunc(o.count) : 0;
        if (count > 2 ** 26) {
            throw new RangeError(`${count} channels cannot be allocated`);
        }
        // pelto_filter_options on wasm32: a 4-byte size, then the two int64 choices at 8 and 16.
        const pointer = withHeap([24], (choices) => {
            wasm._pelto_filter_options_init(choices);
            const view = new DataView(wasm.HEAPU8.buffer, choices, 24);
            view.setBigInt64(8, BigInt(precision), true);
            view.setBigInt64(16, BigInt(derivative), true);
            return wasm._pelto_one_euro_filter_manager_create_with_options(
                BigInt(count), o.freq, o.minCutOff, o.beta, o.dCutOff, choices);
        });
        this.#adopt(pointer, o);
    }

    #adopt(pointer, options) {
        if (pointer === 0) {
            throw new RangeError('the filter bank cannot be allocated');
        }
        this.#pointer = pointer;
        this.#channels = wasm._pelto_one_euro_filter_manager_get_filtered_values(pointer, 0, 0);
        this.#sample = wasm._malloc(Math.max(this.#channels, 1) * 8);
        this.#options = Object.freeze({ ...options, count: this.#channels });
        banks.register(this, pointer, this);
    }

    /** The number of channels. */
    get count() { return this.#channels; }
    /** The parameters the bank was built with (defaults filled in). */
    get options() { return this.#options; }
    /** How the bank reads timestamps. */
    get timestampPrecision() { return this.#options.timestampPrecision; }
    /** What the bank takes rates of change against. */
    get derivative() { return this.#options.derivative; }

    /** Smooths one sample (timestamp in ms); false when refused (see the C++ filterValues). */
    filterValues(timestamp, values) {
        if (values.length !== this.#channels) {
            return false;
        }
        wasm.HEAPF64.set(values, this.#sample / 8);
        return wasm._pelto_one_euro_filter_manager_filter_values(
            this.#pointer, timestamp, this.#sample, values.length) !== 0;
    }

    /** A copy of the latest smoothed value of every channel. */
    getFilteredValues() {
        wasm._pelto_one_euro_filter_manager_get_filtered_values(
            this.#pointer, this.#sample, this.#channels);
        return wasm.HEAPF64.slice(this.#sample / 8, this.#sample / 8 + this.#channels);
    }

    /**
     * Smooths a block: `timestamps` (N) and `values` (N × count, row-major). Writes `smoothed`
     * (N × count) and `accepted` (N flags) when given, else new arrays; returns
     * { acceptedRows, smoothed, accepted }. Throws RangeError for sizes that do not match.
     */
    filterSamples(timestamps, values, smoothed, accepted) {
        const rows = timestamps.length;
        const cells = rows * this.#channels;
        smoothed ??= new Float64Array(cells);
        accepted ??= new Uint8Array(rows);
        if (values.length !== cells || smoothed.length !== cells || accepted.length !== rows) {
            throw new RangeError(
                `${rows} timestamps with ${this.#channels} channels need ${cells} values, ` +
                `${cells} smoothed and ${rows} flags; got ${values.length}, ${smoothed.length} ` +
                `and ${accepted.length}`);
        }
        const acceptedRows = withHeap(
            [float64('timestamps', timestamps), float64('values', values),
                cells * 8, rows],
            (t, v, s, a) => {
                const n = wasm._pelto_one_euro_filter_manager_filter_samples(
                    this.#pointer, t, rows, v, this.#channels, s, a);
                smoothed.set(wasm.HEAPF64.subarray(s / 8, s / 8 + cells));
                accepted.set(wasm.HEAPU8.subarray(a, a + rows));
                return n >>> 0;
            });
        return { acceptedRows, smoothed, accepted };
    }

    /** An independent copy that continues exactly as this bank would. */
    clone() {
        return new OneEuroFilterManager({ [ADOPT]: true, options: this.#options,
            pointer: wasm._pelto_one_euro_filter_manager_clone(this.#pointer) });
    }

    /** Frees the bank now rather than when it is collected; the bank is unusable afterwards. */
    dispose() {
        if (this.#pointer) {
            banks.unregister(this);
            wasm._pelto_one_euro_filter_manager_destroy(this.#pointer);
            wasm._free(this.#sample);
            this.#pointer = 0;
        }
    }

    /** The instruction set of the filter work ("baseline": WebAssembly's 128-bit SIMD). */
    static get instructionSet() {
        return wasm.UTF8ToString(wasm._pelto_filter_instruction_set());
    }
}

/**
 * Smooths a recording with a fresh bank of one channel per column: N × channels values, NaN in
 * the rows the bank refused. Timestamps are read EXACT unless the options say otherwise.
 */
export function smooth(timestamps, values, options = {}) {
    const r = recording(timestamps, values, options.channels);
    const bank = new OneEuroFilterManager({
        timestampPrecision: TimestampPrecision.EXACT, ...options, count: r.channels });
    try {
        const { smoothed, accepted } = bank.filterSamples(r.t, r.v);
        accepted.forEach((flag, row) => {
            if (!flag) {
                smoothed.fill(NaN, row * r.channels, (row + 1) * r.channels);
            }
        });
        return smoothed;
    } finally {
        bank.dispose();
    }
}

// ---- Tuning ------------------------------------------------------------------------------------

const MEASURING_OPTIONS = ['fastFactor', 'stillFactor', 'settleMs', 'lagProgress'];
const PARAMETERS = ['freq', 'minCutOff', 'beta', 'dCutOff'];
const TUNING_OPTIONS = [...MEASURING_OPTIONS, 'hasMaxLag', 'maxLagMs', 'freq', 'dCutOff',
    'minCutOffSteps', 'minCutOffLow', 'minCutOffHigh', 'betaSteps', 'boostLow', 'boostHigh'];

function optionArray(names, options) {
    return Float64Array.from(names, (name) => {
        const value = options[name];
        if (typeof value !== 'number') {
            throw new TypeError(`${name} must be a number`);
        }
        return value;
    });
}

function call(symbol, r, ...optionArrays) {
    const text = withHeap([r.t, r.v, ...optionArrays], (t, v, ...o) =>
        wasm.UTF8ToString(wasm[symbol](t, r.t.length, v, r.channels, ...o)));
    const answer = JSON.parse(text, fromNull);
    if (typeof answer.error === 'string') {
        throw new RangeError(answer.error);
    }
    return { answer, text };
}

/** The classification of a recording: SignalProfile, with its movements. */
export function profile(timestamps, values, options = {}) {
    const r = recording(timestamps, values, options.channels);
    const o = { ...MEASURING_DEFAULTS, ...options };
    return call('_pelto_web_profile', r, optionArray(MEASURING_OPTIONS, o)).answer.profile;
}

/**
 * What one parameter set does to a recording: Measurement. Its bank reads timestamps EXACT
 * unless the options say otherwise.
 */
export function measure(timestamps, values, options = {}) {
    const r = recording(timestamps, values, options.channels);
    const o = { ...MEASURING_DEFAULTS, ...DEFAULTS, ...options };
    return measurementFromJson(call('_pelto_web_measure', r, optionArray(PARAMETERS, o),
        optionArray(MEASURING_OPTIONS, o), bankChoices(options)).answer.defaults);
}

/**
 * Sweeps minCutOff and beta over a recording and recommends a setting: TuningResult. Its banks
 * read timestamps EXACT unless the options say otherwise.
 */
export function tune(timestamps, values, options = {}) {
    const r = recording(timestamps, values, options.channels);
    const o = { ...TUNING_DEFAULTS, ...options };
    o.hasMaxLag = o.maxLagMs === null || o.maxLagMs === undefined ? 0 : 1;
    o.maxLagMs = o.hasMaxLag ? o.maxLagMs : 0;
    const { text } = call('_pelto_web_tune', r, optionArray(TUNING_OPTIONS, o), bankChoices(o));
    return tuningResultFromJson(text);
}

