#include "OutputFiles.hpp"

#include "DemoError.hpp"

#include <fstream>
#include <memory>
#include <system_error>
#include <utility>

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

void createFolderOf(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    if (folder.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::error_code notADirectory;
    if (error || !std::filesystem::is_directory(folder, notADirectory)) {
        throw DemoError(folder.string() + ": cannot create the output folder" +
                        (error ? " (" + error.message() + ")" : std::string()));
    }
}

void writeWhole(const std::filesystem::path& path, const OutputFile& file) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        file.write(out);
        out.close();
    }
    if (!out) {
        throw DemoError(path.string() + ": cannot be written");
    }
}

// Renaming a file over a folder fails; over anything else it replaces it.
void checkReplaceable(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::directory) {
        throw DemoError(path.string() +
                        ": cannot be written (a folder of that name is in the way)");
    }
}

} // namespace

OutputFile textFile(std::filesystem::path path, std::string text) {
    auto shared = std::make_shared<const std::string>(std::move(text));
    return {std::move(path), [shared](std::ostream& out) {
                out.write(shared->data(), static_cast<std::streamsize>(shared->size()));
            }};
}

void writeOutputFiles(const std::vector<OutputFile>& files) {
    try {
        for (const OutputFile& file : files) {
            createFolderOf(file.path);
            writeWhole(temporaryPath(file.path), file);
        }
        for (const OutputFile& file : files) {
            checkReplaceable(file.path);
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
