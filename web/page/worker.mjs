// The tuning page's worker: every computation on the recording runs here, so the page never
// freezes. Messages: {type: 'load', recording}, {type: 'tune', options}, {type: 'apply', minCutOff,
// beta}; answers carry the same type, or {type: 'error', message}.
import { measure, profile, smooth, tune } from '../pelto.mjs';

let recording = null;

function apply(minCutOff, beta, freq, dCutOff) {
    const { timestamps, values, channels } = recording;
    const options = { channels, minCutOff, beta, freq, dCutOff };
    return {
        type: 'apply', minCutOff, beta,
        smoothed: smooth(timestamps, values, options),
        measurement: measure(timestamps, values, options),
    };
}

self.onmessage = ({ data }) => {
    try {
        if (data.type === 'load') {
            recording = data.recording;
            const { timestamps, values, channels } = recording;
            self.postMessage({ type: 'load', profile: profile(timestamps, values, { channels }) });
        } else if (data.type === 'tune') {
            self.postMessage({ type: 'progress', phase: 'sweeping' });
            const { timestamps, values, channels } = recording;
            const result = tune(timestamps, values, { ...data.options, channels });
            self.postMessage({ type: 'tune', json: result.text });
        } else if (data.type === 'apply') {
            self.postMessage(apply(data.minCutOff, data.beta, data.freq, data.dCutOff));
        }
    } catch (error) {
        self.postMessage({ type: 'error', message: String(error.message ?? error) });
    }
};
self.postMessage({ type: 'ready' });
