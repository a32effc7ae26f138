// The package against the native library, bit for bit: every figure compared exactly with what
// pelto-web-reference (PELTO_WEB_REFERENCE) writes for the same recording.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import * as pelto from '../pelto.mjs';
import { measurementFromJson } from '../result.mjs';
import { gaze, native } from './recordings.mjs';

const helper = process.env.PELTO_WEB_REFERENCE;
const skip = helper ? false : 'PELTO_WEB_REFERENCE (the native helper) is not set';

const cases = [
    { name: 'two channels with dropouts, a gap and a repeated timestamp, whole milliseconds',
        recording: gaze(), minCutOff: 1, beta: 0.007, timestampPrecision: 'WHOLE_MILLISECONDS' },
    { name: 'three channels, a lag budget of 40 ms', recording: gaze({ channels: 3, seed: 7 }),
        minCutOff: 0.3, beta: 0.05, maxLagMs: 40 },
    { name: 'one channel without faults', recording: gaze({ channels: 1, seed: 3, faults: false }),
        minCutOff: 2.5, beta: 0 },
    { name: 'whole milliseconds, rates of change against the smoothed values',
        recording: gaze({ seed: 9 }), minCutOff: 1, beta: 0.007,
        timestampPrecision: 'WHOLE_MILLISECONDS', derivative: 'FILTERED' },
    { name: 'rates of change against the smoothed values', recording: gaze({ channels: 3, seed: 4 }),
        minCutOff: 0.5, beta: 0.02, derivative: 'FILTERED' },
    { name: 'a constant signal, which cannot be tuned', recording: {
        timestamps: Float64Array.from({ length: 50 }, (_, i) => i * 16.5),
        values: new Float64Array(100).fill(3), channels: 2 }, minCutOff: 1, beta: 0.007 },
];

for (const c of cases) {
    test(`native results: ${c.name}`, { skip }, () => {
        const { timestamps, values, channels } = c.recording;
        const expected = native(helper, c.recording, c);
        // Given choices go to the bank, measure() and tune(); the others are left to the defaults
        // (the bank's are set: EXACT, as measure()'s and tune()'s).
        const choices = Object.fromEntries(Object.entries(
            { timestampPrecision: c.timestampPrecision, derivative: c.derivative })
            .filter(([, v]) => v !== undefined));
        const options = { channels, minCutOff: c.minCutOff, beta: c.beta, ...choices };

        const bank = new pelto.OneEuroFilterManager(
            { timestampPrecision: 'EXACT', ...options, count: channels });
        assert.equal(bank.derivative, c.derivative ?? 'RAW');
        const block = bank.filterSamples(timestamps, values);
        assert.deepEqual(Array.from(block.smoothed), expected.smoothed);
        assert.deepEqual(Array.from(block.accepted), expected.accepted);
        assert.equal(block.acceptedRows, expected.accepted.filter((a) => a === 1).length);

        assert.deepEqual(pelto.measure(timestamps, values, options),
            measurementFromJson(expected.measure.defaults));
        assert.deepEqual(pelto.profile(timestamps, values, { channels }), expected.profile.profile);
        const result = pelto.tune(timestamps, values,
            { channels, maxLagMs: c.maxLagMs ?? null, ...choices });
        const json = JSON.parse(JSON.stringify(result), (k, v) => (v === null ? NaN : v));
        assert.deepEqual(json, expected.tune);
        assert.equal(result.ok, expected.tune.status === 'OK');
        assert.deepEqual(result.recommendation,
            expected.tune.recommendationFigures
                ? { ...measurementFromJson(expected.tune.recommendationFigures),
                    ...expected.tune.recommendation } : null);
        assert.deepEqual(Array.from(result.frontMeanLagMs), expected.tune.front.map((m) => m.meanLagMs));
    });
}

test('per-sample calls, split blocks and clones give the block call\'s bits', () => {
    const { timestamps, values, channels } = gaze({ rows: 800, seed: 11 });
    const whole = new pelto.OneEuroFilterManager({ count: channels }).filterSamples(timestamps, values);
    const single = new pelto.OneEuroFilterManager({ count: channels });
    const split = new pelto.OneEuroFilterManager({ count: channels });
    let copy = null;
    for (let i = 0; i < timestamps.length; i++) {
        const row = values.subarray(i * channels, (i + 1) * channels);
        assert.equal(single.filterValues(timestamps[i], row), whole.accepted[i] === 1, `row ${i}`);
        assert.deepEqual(Array.from(single.getFilteredValues()),
            Array.from(whole.smoothed.subarray(i * channels, (i + 1) * channels)), `row ${i}`);
        if (i === 400) copy = single.clone();
    }
    const first = split.filterSamples(timestamps.subarray(0, 333), values.subarray(0, 666));
    const rest = split.filterSamples(timestamps.subarray(333), values.subarray(666));
    assert.deepEqual([...first.smoothed, ...rest.smoothed], Array.from(whole.smoothed));
    const after = copy.filterSamples(timestamps.subarray(401), values.subarray(802));
    assert.deepEqual(Array.from(after.smoothed), Array.from(whole.smoothed.subarray(802)));
});

test('smooth() marks refused rows with NaN', () => {
    const { timestamps, values } = gaze({ rows: 800 });
    const bank = new pelto.OneEuroFilterManager({ timestampPrecision: 'EXACT' })
        .filterSamples(timestamps, values);
    const smoothed = pelto.smooth(timestamps, values);
    bank.accepted.forEach((flag, row) => {
        const expected = flag ? Array.from(bank.smoothed.subarray(2 * row, 2 * row + 2)) : [NaN, NaN];
        assert.deepEqual(Array.from(smoothed.subarray(2 * row, 2 * row + 2)), expected);
    });
});

test('refusals and errors', () => {
    const bank = new pelto.OneEuroFilterManager({ count: 0 });
    assert.equal(bank.count, 2);
    assert.equal(bank.filterValues(1, [1]), false);
    assert.equal(bank.filterValues(Infinity, [1, 2]), false);
    assert.throws(() => bank.filterSamples([1, 2], [1, 2, 3]), /2 timestamps with 2 channels/);
    assert.throws(() => new pelto.OneEuroFilterManager({ count: 2 ** 40 }), RangeError);
    assert.throws(() => new pelto.OneEuroFilterManager({ derivative: 'SMOOTHED' }), RangeError);
    const { timestamps, values } = gaze({ rows: 100 });
    assert.throws(() => pelto.tune(timestamps, values, { lagProgress: 2 }), RangeError);
    assert.throws(() => pelto.tune(timestamps, values, { minCutOffSteps: 1.5 }), /whole number/);
    assert.throws(() => pelto.measure(timestamps, values, { channels: 3 }), /not 100 rows of 3/);
});

test('enumerations, their texts and the version', () => {
    assert.equal(pelto.EyeMovementState.SACCADE, 2);
    assert.equal(pelto.EyeMovementState.nameOf(1), undefined);
    assert.equal(pelto.EyeMovementState.description(1), '');
    assert.equal(pelto.InitializationError.nameOf(11), 'ERROR_NO_GAZE_ENGINE');
    assert.equal(pelto.AccuracyCriteria.description(2), 'CRITERIA_2');
    assert.match(pelto.TuningStatus.description(pelto.TuningStatus.NO_MOTION), /^cannot tune: /);
    for (const e of [pelto.StatusError, pelto.TrackingState, pelto.ScreenState, pelto.CalibrationMode]) {
        for (const [name, raw] of Object.entries(e).filter(([, v]) => typeof v === 'number')) {
            assert.notEqual(e.description(raw), '', `${e}.${name}`);
        }
    }
    assert.match(pelto.version, /^\d+\.\d+\.\d+/);
    assert.equal(pelto.OneEuroFilterManager.instructionSet, 'baseline');
});
