#pragma once

#include <stdexcept>
#include <string>

namespace tb {

/// A file that cannot be opened, read, written or parsed. The message names the
/// file and, where it helps, the line or record; line() is that line (0 when none), code() the
/// system's error number (0 when the failure has none).
class FileError : public std::runtime_error {
public:
    FileError(std::string path, const std::string& message, int line = 0, int code = 0)
        : std::runtime_error(message)
        , path_(std::move(path))
        , line_(line)
        , code_(code)
    {
    }
    const std::string& path() const { return path_; }
    int line() const { return line_; }
    int code() const { return code_; }

private:
    std::string path_;
    int line_;
    int code_;
};

} // namespace tb
