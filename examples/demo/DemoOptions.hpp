#pragma once

#include "SmoothedTrace.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelto::demo {

/// Where pelto-demo writes its files unless told otherwise, relative to the current directory.
inline constexpr std::string_view DEFAULT_OUTPUT_FOLDER = "pelto-demo-out";

/// Seed of the synthetic trace unless told otherwise.
inline constexpr std::uint64_t DEFAULT_SEED = 1;

/// The command line of pelto-demo.
struct DemoOptions {
    bool help = false;
    std::optional<std::filesystem::path> input; ///< none: the synthetic trace
    std::filesystem::path outputFolder{DEFAULT_OUTPUT_FOLDER};
    BankParameters bank = BankParameters::defaults();
    std::uint64_t seed = DEFAULT_SEED;
    bool tune = false;              ///< sweep minCutOff and beta over the recording
    std::optional<double> maxLagMs; ///< the sweep's lag budget; none: the tuner's default
};

/// Parses the arguments after the program name. Options take their value as the next argument
/// or after '=' (`--beta 0.01`, `--beta=0.01`). Throws UsageError for an unknown option or
/// argument, a missing or malformed value, a frequency, cutoff or lag budget that is not a finite
/// positive number and a beta that is not finite. `--max-lag` implies `--tune`.
[[nodiscard]] DemoOptions parseDemoOptions(std::span<const std::string_view> arguments);

/// The --help text.
[[nodiscard]] std::string demoUsage();

} // namespace pelto::demo
