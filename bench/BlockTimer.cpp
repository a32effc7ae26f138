// pelto-block-timer: times OneEuroFilterManager::filterSamples on a recording given as raw
// float64 files, for comparison with the Python package (bench/python_smooth.py writes the files
// and runs this program).
//
//   pelto-block-timer <timestamps.f64> <values.f64> <channels> [repeats]
//
// Prints "best <seconds> accepted <rows>": the fastest of `repeats` runs, each with a fresh bank
// with the default parameters.

#include <pelto/filters/OneEuroFilterManager.hpp>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace {

std::vector<double> readDoubles(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::vector<double> numbers(bytes.size() / sizeof(double));
    std::copy_n(bytes.begin(), numbers.size() * sizeof(double),
                static_cast<char*>(static_cast<void*>(numbers.data())));
    return numbers;
}

} // namespace

int main(int argc, char** argv) {
    const std::span<char*> args(argv, static_cast<std::size_t>(argc));
    if (args.size() < 4) {
        std::fputs("usage: pelto-block-timer <timestamps.f64> <values.f64> <channels> [repeats]\n",
                   stderr);
        return 2;
    }
    const std::vector<double> timestamps = readDoubles(args[1]);
    const std::vector<double> values = readDoubles(args[2]);
    const std::int64_t channels = std::stoll(args[3]);
    const int repeats = args.size() > 4 ? std::stoi(args[4]) : 5;
    if (channels <= 0 || values.size() != timestamps.size() * static_cast<std::size_t>(channels)) {
        std::fputs("the values file does not hold one row of <channels> values per timestamp\n",
                   stderr);
        return 2;
    }
    std::vector<double> smoothed(values.size());
    std::vector<std::uint8_t> accepted(timestamps.size());
    double best = 1e300;
    std::size_t acceptedRows = 0;
    using pelto::OneEuroFilterManager;
    for (int run = 0; run < repeats; ++run) {
        const auto start = std::chrono::steady_clock::now();
        OneEuroFilterManager bank(channels, OneEuroFilterManager::DEFAULT_FREQUENCY,
                                  OneEuroFilterManager::DEFAULT_MIN_CUT_OFF,
                                  OneEuroFilterManager::DEFAULT_BETA,
                                  OneEuroFilterManager::DEFAULT_D_CUT_OFF);
        acceptedRows = bank.filterSamples(timestamps, values, smoothed, accepted);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    std::printf("best %.9f accepted %zu\n", best, acceptedRows);
    return 0;
}
