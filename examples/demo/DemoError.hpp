#pragma once

#include <stdexcept>
#include <string>

namespace pelto::demo {

/// A failure the demo reports to its user and then stops on: unreadable or malformed input, an
/// output file that cannot be written. The message is complete ("trace.csv:4: ...").
class DemoError : public std::runtime_error {
  public:
    explicit DemoError(const std::string& message)
        : std::runtime_error(message) {}
};

/// A command line the demo cannot run with; the message says what is wrong with it.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& message)
        : std::runtime_error(message) {}
};

} // namespace pelto::demo
