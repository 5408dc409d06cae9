#pragma once

#include "core/foundation/field_codec.h"
#include "core/foundation/file_error.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tb {

class FaultHook;

/// A file of fixed-length records addressed by record number from 1, as the data
/// files, the settings file and the test files are. Opening for writing creates a
/// missing file; a record read past the end, or the missing tail of a short last
/// record, comes back as zero bytes.
class RecordFile {
public:
    enum class Mode { Read, ReadWrite };

    /// Opens a regular file only (a pipe, device or folder is refused without blocking);
    /// `hook` hears of each sync().
    RecordFile(
        std::filesystem::path path, std::size_t recordLength, Mode mode = Mode::ReadWrite, FaultHook* hook = nullptr);
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
    FaultHook* hook_;
    std::FILE* file_ = nullptr;
};

/// The largest test file read whole: 99 questions and the header take 201,200 bytes.
inline constexpr std::uint64_t MaxTestFileBytes = 1 << 20;

/// Reads a whole regular file of at most `maxBytes` into memory; throws FileError naming
/// the file when it cannot be read, is not a regular file, is larger or does not fit in memory.
std::string readWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes = MaxTestFileBytes);

/// Flushes the folder holding `file` to the disk, so that a rename in it survives a power cut.
void syncFolderOf(const std::filesystem::path& file);

/// A step of a whole-file rewrite, reported to a FaultHook so that tests can make
/// a write fail or the process "die" at exactly that point.
enum class RewriteStep {
    ScratchOpened,
    ScratchWritten,
    ScratchSynced,
    BeforeRename,
    Renamed,
    FolderSynced,
    RecordSynced, // an in-place write flushed to the disk (not part of a rewrite)
    RecordWritten // half of an in-place record written: a failure here leaves a partial record
};

/// Tests install a hook that throws at a chosen step; production passes none.
class FaultHook {
public:
    virtual ~FaultHook() = default;
    virtual void at(RewriteStep step, const std::filesystem::path& target) = 0;
    /// A step of a whole-file rewrite, with the scratch file it writes (so that a test can
    /// tamper with it); by default the same as at().
    virtual void atScratch(RewriteStep step, const std::filesystem::path& target, const std::filesystem::path& scratch)
    {
        (void)scratch;
        at(step, target);
    }
};

/// `name` followed by `suffix` when that fits a file name (255 bytes); for a longer name a
/// short one of fixed length, ".tutorbench-" and 16 hex digits of the name's hash, then `suffix`.
std::string fittedName(std::string_view name, std::string_view suffix);

/// When `path` is a symbolic link that leads to no file (its target is missing, or the links
/// go round in a circle), the teacher's message saying so; otherwise empty.
std::string brokenLinkMessage(const std::filesystem::path& path);

/// A scratch file beside `target` that replaces it only when complete: write the
/// contents, then commit() flushes it to disk, renames it over the target and flushes
/// the folder. Until then the target is untouched; a scratch file not committed is removed.
/// The scratch file is always created fresh: whatever stands at its name is removed first.
/// A target that is a symbolic link is rewritten where the link leads (the scratch file
/// then lies in that file's folder), so the link stays a link. The scratch file stays open,
/// and holds a lock that tells start-up's clean-up it is in use, until it has been renamed.
class ScratchFile {
public:
    /// `scratch` replaces the default scratch name, `fittedName(<target's name>, ".new")`.
    explicit ScratchFile(std::filesystem::path target, FaultHook* hook = nullptr, std::filesystem::path scratch = {});
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& scratchPath() const { return scratch_; }
    void append(std::string_view bytes);
    /// Flushes the contents to the disk (commit() does it too); lets several files be
    /// complete before the first of them replaces its target.
    void finish();
    /// Renames the scratch file over the target, but only when the file at the scratch name
    /// is still the one written here (compared with the open descriptor, so a file removed
    /// and created again at the name is told apart even when it reuses the inode number).
    void commit();

private:
    [[noreturn]] void fail(const std::string& what);
    void step(RewriteStep step);
    bool isOwn(const std::filesystem::path& name) const;

    std::filesystem::path target_; // as the caller named it: the messages use this name
    std::filesystem::path real_; // the file replaced: the target, or where its link leads
    std::filesystem::path scratch_;
    FaultHook* hook_;
    std::FILE* file_ = nullptr;
    bool finished_ = false;
    bool committed_ = false;
};

/// Replaces `target` with `contents` through a scratch file and a rename.
void writeFileAtomically(const std::filesystem::path& target, std::string_view contents, FaultHook* hook = nullptr);

/// The path of `name` in `folder`, matching an existing file regardless of letter
/// case; when none exists, the name as given (the documented spelling).
std::filesystem::path findFile(const std::filesystem::path& folder, std::string_view name);

} // namespace tb
