#include "bounded_file.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

BoundedFileResult ReadBoundedFile(const std::string& path, std::size_t limit, std::string& contents,
                                  std::string& fault) {
    try {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(path, error);
        if (status.type() == std::filesystem::file_type::not_found) {
            return BoundedFileResult::Missing;
        }
        if (error) {
            fault = "cannot be examined: " + error.message();
            return BoundedFileResult::Refused;
        }
        if (status.type() != std::filesystem::file_type::regular) {
            fault = "is not a regular file";
            return BoundedFileResult::Refused;
        }
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            fault = "cannot be opened";
            return BoundedFileResult::Refused;
        }
        // Read one byte past the limit rather than trust the size: the file may grow meanwhile.
        contents.assign(limit + 1, '\0');
        file.read(&contents[0], static_cast<std::streamsize>(limit + 1));
        if (file.bad()) {
            fault = "cannot be read";
            return BoundedFileResult::Refused;
        }
        contents.resize(static_cast<std::size_t>(file.gcount()));
        if (contents.size() > limit) {
            fault = "is larger than " + std::to_string(limit) + " bytes";
            return BoundedFileResult::Refused;
        }
        return BoundedFileResult::Read;
    } catch (const std::exception& error) {
        fault = std::string("cannot be read: ") + error.what();
        return BoundedFileResult::Refused;
    }
}
