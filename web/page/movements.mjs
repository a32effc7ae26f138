// The movements of a recording, as [first row, last row] pairs, found as the tuning component
// finds them: runs of consecutive fast steps (speed above the profile's fastSpeed) between usable
// samples. The page draws them; the profile's movement count checks them.

export function movements({ timestamps, values, channels }, fastSpeed) {
    const usable = (row) => Number.isFinite(timestamps[row]) &&
        values.subarray(row * channels, (row + 1) * channels).every(Number.isFinite);
    const spans = [];
    let open = null;
    for (let row = 1; row < timestamps.length; row++) {
        let fast = false;
        if (usable(row - 1) && usable(row) && timestamps[row] > timestamps[row - 1]) {
            let squares = 0;
            for (let c = 0; c < channels; c++) {
                const d = values[row * channels + c] - values[(row - 1) * channels + c];
                squares += d * d;
            }
            fast = Math.sqrt(squares) / ((timestamps[row] - timestamps[row - 1]) / 1000) > fastSpeed;
        }
        if (fast) {
            open ??= [row - 1, row];
            open[1] = row;
        } else if (open) {
            spans.push(open);
            open = null;
        }
    }
    if (open) spans.push(open);
    return spans;
}
