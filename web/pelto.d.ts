// Types of the pelto package (pelto.mjs).

export type Numbers = Float64Array | ArrayLike<number>;
/** N × channels values, row-major, or N rows of channels. */
export type Values = Numbers | number[][];

export interface Enumeration<Cases extends Record<string, number>> {
    readonly [name: string]: unknown;
    /** The case's name for a raw value, or undefined when it is no case. */
    nameOf(raw: number): keyof Cases | undefined;
    /** The case's text ("" for a value that is no case; the name when the case has no text). */
    description(raw: number): string;
}
type Enum<Cases extends Record<string, number>> = Readonly<Cases> & Enumeration<Cases>;

export declare const StatusError: Enum<{ ERROR_NONE: 0; ERROR_CAMERA_START: 1; ERROR_CAMERA_INTERRUPT: 2 }>;
export declare const InitializationError: Enum<Record<
    'ERROR_NONE' | 'ERROR_INIT' | 'ERROR_CAMERA_PERMISSION' | 'ERROR_CAMERA_UNAVAILABLE' |
    'ERROR_CAMERA_CONFIGURATION' | 'ERROR_CAMERA_IN_USE' | 'ERROR_MODEL_MISSING' |
    'ERROR_MODEL_CORRUPTED' | 'ERROR_MODEL_INCOMPATIBLE' | 'ERROR_OUT_OF_MEMORY' |
    'ERROR_UNSUPPORTED_DEVICE' | 'ERROR_NO_GAZE_ENGINE' | 'ERROR_ENGINE_START' |
    'ERROR_ALREADY_INITIALIZING' | 'ERROR_INVALID_OPTION' | 'ERROR_RESOURCE_MISSING' |
    'ERROR_UNSUPPORTED_OS_VERSION' | 'ERROR_INTERNAL', number>>;
export declare const TrackingState: Enum<{ SUCCESS: 0; LOW_CONFIDENCE: 1; UNSUPPORTED: 2; FACE_MISSING: 3 }>;
export declare const EyeMovementState: Enum<{ FIXATION: 0; SACCADE: 2; UNKNOWN: 3 }>;
export declare const ScreenState: Enum<{ INSIDE_OF_SCREEN: 0; OUTSIDE_OF_SCREEN: 1; UNKNOWN: 2 }>;
export declare const CalibrationMode: Enum<{ DEFAULT: 0; ONE_POINT: 1; FIVE_POINT: 5; SIX_POINT: 6 }>;
export declare const AccuracyCriteria: Enum<{ CRITERIA_0: 0; CRITERIA_1: 1; CRITERIA_2: 2 }>;
export declare const TuningStatus: Enum<{
    OK: 0; TOO_FEW_SAMPLES: 1; ALL_REFUSED: 2; NO_MOTION: 3; NO_MOVEMENTS: 4;
    NO_STILL_PERIODS: 5; NO_SETTING_WITHIN_BUDGET: 6;
}>;

/** The library's version text, e.g. "1.0.0-simulator". */
export declare const version: string;

/** How a bank reads timestamps: truncated to whole milliseconds, or exactly as given. */
export type TimestampPrecisionName = 'WHOLE_MILLISECONDS' | 'EXACT';
export declare const TimestampPrecision: {
    readonly WHOLE_MILLISECONDS: 'WHOLE_MILLISECONDS'; readonly EXACT: 'EXACT' };
/** What a bank takes rates of change against: the previous input, or the previous smoothed value. */
export type DerivativeSourceName = 'RAW' | 'FILTERED';
export declare const DerivativeSource: { readonly RAW: 'RAW'; readonly FILTERED: 'FILTERED' };

/** A filter bank's construction options; unset ones take the class defaults. */
export interface BankOptions {
    count?: number;     // channels; 0 or less: 2
    freq?: number;      // Hz; 0 or less: 30
    minCutOff?: number; // Hz; 0 or less: 1
    beta?: number;      // taken as given: 0.007
    dCutOff?: number;   // Hz; 0 or less: 1
    timestampPrecision?: TimestampPrecisionName; // WHOLE_MILLISECONDS (smooth(): EXACT)
    derivative?: DerivativeSourceName;            // RAW
}
export declare const DEFAULTS: Readonly<Required<BankOptions>>;

/** A bank of one-euro filters, one per channel: the native OneEuroFilterManager, bit for bit. */
export declare class OneEuroFilterManager {
    constructor(options?: BankOptions);
    readonly count: number;
    readonly options: Readonly<Required<BankOptions>>;
    readonly timestampPrecision: TimestampPrecisionName;
    readonly derivative: DerivativeSourceName;
    /** Smooths one sample (timestamp in ms); false when the bank refused it. */
    filterValues(timestamp: number, values: Numbers): boolean;
    /** A copy of the latest smoothed values. */
    getFilteredValues(): Float64Array;
    /** Smooths N rows in one call, as N filterValues() calls would; RangeError for wrong sizes. */
    filterSamples(timestamps: Numbers, values: Numbers, smoothed?: Float64Array,
                  accepted?: Uint8Array): { acceptedRows: number; smoothed: Float64Array; accepted: Uint8Array };
    clone(): OneEuroFilterManager;
    /** Frees the bank's memory now; it is unusable afterwards. */
    dispose(): void;
    static readonly instructionSet: string;
}

/** 1 to 65,536 channels (more throw a RangeError, as do the measuring options out of range). */
export interface RecordingOptions { channels?: number }
export interface MeasuringOptions {
    fastFactor?: number;  // fast: above mean + fastFactor × deviation of the noise speeds; finite, >= 0
    stillFactor?: number; // still: at most mean + stillFactor × deviation; finite, >= 0
    settleMs?: number;    // still steps this soon after a movement are left out
    lagProgress?: number; // share of a movement at which the lag is timed, in (0, 1]
}
/** The choices of the banks measure() and tune() run: EXACT and RAW unless set. */
export interface BankChoices {
    timestampPrecision?: TimestampPrecisionName;
    derivative?: DerivativeSourceName;
}
export interface TuningOptions extends MeasuringOptions, RecordingOptions, BankChoices {
    maxLagMs?: number | null; // null: one nominal sample period
    freq?: number;
    dCutOff?: number;
    minCutOffSteps?: number;
    minCutOffLow?: number;
    minCutOffHigh?: number;
    betaSteps?: number;
    boostLow?: number;
    boostHigh?: number;
}
export declare const MEASURING_DEFAULTS: Readonly<Required<MeasuringOptions>>;
export declare const TUNING_DEFAULTS: Readonly<Required<Omit<TuningOptions, 'channels'>>>;

/** What one parameter set does to a recording; NaN where there was nothing to measure. */
export interface Measurement {
    freq: number; minCutOff: number; beta: number; dCutOff: number;
    samples: number; refused: number; stillSteps: number; movements: number;
    lagsMeasured: number; lagsCensored: number;
    rawJitter: number; smoothedJitter: number; jitterRatio: number;
    meanLagMs: number; medianLagMs: number; maxLagMs: number;
}
/** The classification of a recording; speeds in channel units per second. */
export interface SignalProfile {
    samples: number; steps: number; samplePeriodMs: number; medianSpeed: number;
    fastSpeed: number; stillSpeed: number; movementSpeed: number; stillSteps: number;
    movements: DetectedMovement[];
}
/** A movement the classification found: its first and last timestamps, ms. */
export interface DetectedMovement {
    startMs: number; endMs: number; amplitude: number; peakSpeed: number;
}
export interface TuningResult {
    status: number;   // a TuningStatus value
    ok: boolean;
    message: string;  // "tuned: ..." or "cannot tune: ..."
    profile: SignalProfile;
    movements: DetectedMovement[];   // the profile's
    /** Present whenever the sweep ran, over budget too; with its banks' choices. */
    recommendation: (Measurement & { timestampPrecision: TimestampPrecisionName;
        derivative: DerivativeSourceName }) | null;
    defaults: Measurement;
    lagBudgetMs: number;
    budgetGiven: boolean;            // the options' maxLagMs, not the default budget
    lagBasis: 'recorded' | 'synthesised';
    clockPrecisionMs: number;
    overBudget: boolean;
    atSearchEdge: boolean;
    timestampPrecision: TimestampPrecisionName; // how the sweep's banks read the recording
    derivative: DerivativeSourceName;
    front: Measurement[];            // by mean lag ascending
    frontMinCutOff: Float64Array;
    frontBeta: Float64Array;
    frontSmoothedJitter: Float64Array;
    frontMeanLagMs: Float64Array;
    /** The library's JSON text of the report (the demo's tuning.json). */
    text: string;
    /** That JSON form, parsed (NaN as null). */
    toJSON(): object;
}

/** Smooths a recording with a fresh bank: N × channels values, NaN in refused rows. */
export declare function smooth(timestamps: Numbers, values: Values,
                               options?: BankOptions & RecordingOptions): Float64Array;
export declare function profile(timestamps: Numbers, values: Values,
                                options?: MeasuringOptions & RecordingOptions): SignalProfile;
export declare function measure(timestamps: Numbers, values: Values,
                                options?: MeasuringOptions & RecordingOptions & BankChoices &
                                    Pick<BankOptions, 'freq' | 'minCutOff' | 'beta' | 'dCutOff'>): Measurement;
export declare function tune(timestamps: Numbers, values: Values, options?: TuningOptions): TuningResult;
/** A TuningResult from its JSON form. */
export declare function tuningResultFromJson(json: string | object): TuningResult;
