#pragma once

#include <stdexcept>
#include <string>

namespace tb {

/// A file that cannot be opened, read, written or parsed. The message names the
/// file and, where it helps, the line or record.
class FileError : public std::runtime_error {
public:
    FileError(std::string path, const std::string& message)
        : std::runtime_error(message), path_(std::move(path))
    {
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace tb
