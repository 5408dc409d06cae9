#pragma once

#include "startup/field_codec.h"
#include "startup/file_error.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tb {

/// A file of fixed-length records addressed by record number from 1, as the data
/// files, the settings file and the test files are. Opening for writing creates a
/// missing file; a record read past the end, or the missing tail of a short last
/// record, comes back as zero bytes.
class RecordFile {
public:
    enum class Mode { Read, ReadWrite };

    RecordFile(std::filesystem::path path, std::size_t recordLength, Mode mode = Mode::ReadWrite);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::size_t recordLength() const { return recordLength_; }
    /// The file's length in bytes.
    std::uint64_t byteSize() const;
    /// Whole records plus a partial last one, if any.
    long long recordCount() const;

    /// Reads record n (n >= 1). Returns false when the record lies wholly past the
    /// end; `out` then holds zero bytes.
    bool read(long long n, std::string& out);
    /// Writes record n, padding a short text with `pad` to the record length.
    void write(long long n, std::string_view bytes, char pad = ' ');
    /// Flushes to the operating system and to the disk.
    void sync();
    void close();

private:
    void seek(long long n);
    [[noreturn]] void fail(const std::string& what) const;

    std::filesystem::path path_;
    std::size_t recordLength_;
    std::FILE* file_ = nullptr;
};

/// Reads a whole file into memory; throws FileError when it cannot be read.
std::string readWholeFile(const std::filesystem::path& path);

/// A step of a whole-file rewrite, reported to a FaultHook so that tests can make
/// a write fail or the process "die" at exactly that point.
enum class RewriteStep { ScratchOpened, ScratchWritten, ScratchSynced, BeforeRename, Renamed };

/// Tests install a hook that throws at a chosen step; production passes none.
class FaultHook {
public:
    virtual ~FaultHook() = default;
    virtual void at(RewriteStep step, const std::filesystem::path& target) = 0;
};

/// A scratch file beside `target` that replaces it only when complete: write the
/// contents, then commit() flushes it to disk and renames it over the target.
/// Until then the target is untouched; a scratch file not committed is removed.
class ScratchFile {
public:
    explicit ScratchFile(std::filesystem::path target, FaultHook* hook = nullptr, std::filesystem::path scratch = {});
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& scratchPath() const { return scratch_; }
    void append(std::string_view bytes);
    void commit();

private:
    [[noreturn]] void fail(const std::string& what);

    std::filesystem::path target_;
    std::filesystem::path scratch_;
    FaultHook* hook_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

/// Replaces `target` with `contents` through a scratch file and a rename.
void writeFileAtomically(const std::filesystem::path& target, std::string_view contents, FaultHook* hook = nullptr);

/// The path of `name` in `folder`, matching an existing file regardless of letter
/// case; when none exists, the name as given (the documented spelling).
std::filesystem::path findFile(const std::filesystem::path& folder, std::string_view name);

} // namespace tb
