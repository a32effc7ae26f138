#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace pelto::demo {

/// One file to write: where, and what writes its content to a stream. The content is streamed,
/// so a large file never has to sit in memory as a whole.
struct OutputFile {
    std::filesystem::path path;
    std::function<void(std::ostream&)> write;
};

/// An OutputFile whose content is `text`.
[[nodiscard]] OutputFile textFile(std::filesystem::path path, std::string text);

/// All or nothing: writes every file next to its destination under a temporary name, then checks
/// that every destination can be replaced (a folder in the way cannot), and only then renames the
/// files into place. A failure before the renames leaves every existing file as it was and no
/// temporary file behind. Creates the destination folders. Throws DemoError naming the file that
/// could not be written.
void writeOutputFiles(const std::vector<OutputFile>& files);

} // namespace pelto::demo
