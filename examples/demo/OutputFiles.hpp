#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pelto::demo {

/// One file to write: where, and its whole content.
struct OutputFile {
    std::filesystem::path path;
    std::string content;
};

/// Writes every file next to its destination under a temporary name, and only when all of them
/// are complete renames them into place, so that a failure leaves no half-written file behind
/// (the temporary ones are removed). Creates the destination folders. Throws DemoError naming
/// the file that could not be written.
void writeOutputFiles(const std::vector<OutputFile>& files);

} // namespace pelto::demo
