#include "OutputFiles.hpp"

#include "DemoError.hpp"

#include <fstream>
#include <system_error>

namespace pelto::demo {
namespace {

std::filesystem::path temporaryPath(const std::filesystem::path& path) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    return temporary;
}

void removeTemporaries(const std::vector<OutputFile>& files) {
    for (const OutputFile& file : files) {
        std::error_code ignored;
        std::filesystem::remove(temporaryPath(file.path), ignored);
    }
}

void writeWhole(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
    }
    if (!out) {
        throw DemoError(path.string() + ": cannot be written");
    }
}

} // namespace

void writeOutputFiles(const std::vector<OutputFile>& files) {
    try {
        for (const OutputFile& file : files) {
            const std::filesystem::path folder = file.path.parent_path();
            std::error_code error;
            if (!folder.empty()) {
                std::filesystem::create_directories(folder, error);
                std::error_code notADirectory;
                if (error || !std::filesystem::is_directory(folder, notADirectory)) {
                    throw DemoError(folder.string() + ": cannot create the output folder" +
                                    (error ? " (" + error.message() + ")" : std::string()));
                }
            }
            writeWhole(temporaryPath(file.path), file.content);
        }
        for (const OutputFile& file : files) {
            std::error_code error;
            std::filesystem::rename(temporaryPath(file.path), file.path, error);
            if (error) {
                throw DemoError(file.path.string() + ": cannot be written (" + error.message() +
                                ")");
            }
        }
    } catch (...) {
        removeTemporaries(files);
        throw;
    }
}

} // namespace pelto::demo
