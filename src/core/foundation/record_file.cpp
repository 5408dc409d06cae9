#include "core/foundation/record_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tb {

namespace fs = std::filesystem;

namespace {

std::string describeErrno()
{
    return std::strerror(errno);
}

std::string quoted(const fs::path& p)
{
    return "\"" + p.filename().string() + "\"";
}

void syncFile(std::FILE* f)
{
    if (std::fflush(f) != 0)
        throw std::system_error(errno, std::generic_category());
    if (::fsync(::fileno(f)) != 0 && errno != EINVAL)
        throw std::system_error(errno, std::generic_category());
}

[[noreturn]] void notRegular(const fs::path& path)
{
    throw FileError(path.string(),
        "The file " + quoted(path)
            + " cannot be used: it is not an ordinary file (a folder, a device, a pipe or a link to one). "
              "Move it out of the folder.");
}

// Opens `path` without blocking on a pipe, and keeps it only when it is a regular file.
// `create` makes a missing file, never through a symbolic link.
int openRegular(const fs::path& path, int access, bool create, struct stat& info)
{
    int fd = ::open(path.c_str(), access | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && create)
        fd = ::open(path.c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        // A link to nowhere fails as "no such file" or, when the file would be created,
        // as "file exists": both hide the real problem, which is named instead.
        const int error = errno;
        if (const std::string broken = brokenLinkMessage(path); !broken.empty())
            throw FileError(path.string(), broken, 0, error);
        errno = error;
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        notRegular(path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool sameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::string fittedName(std::string_view name, std::string_view suffix)
{
    constexpr std::size_t MaxName = 255;
    if (name.size() + suffix.size() <= MaxName)
        return std::string(name) + std::string(suffix);
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    char hex[17] = {};
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return ".tutorbench-" + std::string(hex) + std::string(suffix);
}

std::string brokenLinkMessage(const fs::path& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return {};
    std::error_code ec;
    (void)fs::canonical(path, ec);
    if (!ec)
        return {};
    const fs::path target = fs::read_symlink(path, ec);
    if (ec || ::stat(path.c_str(), &info) == 0 || errno == ELOOP)
        return "The file " + quoted(path)
            + " is a link that leads round in a circle and never reaches a file. Delete the link, or "
              "replace it with the file itself.";
    return "The file " + quoted(path) + " is a link to a file that does not exist: " + target.string()
        + ". Make that file reachable again (connect its drive), or delete the link.";
}

void syncFolderOf(const fs::path& file)
{
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // a folder that cannot be opened cannot be synced either; the rename stands
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0 && error != EINVAL && error != EROFS)
        throw FileError(file.string(),
            "The file " + quoted(file) + " was replaced, but the folder could not be flushed to the disk ("
                + std::strerror(error) + ").");
}

RecordFile::RecordFile(fs::path path, std::size_t recordLength, Mode mode, FaultHook* hook)
    : path_(std::move(path))
    , recordLength_(recordLength)
    , hook_(hook)
{
    if (recordLength_ == 0)
        throw FileError(path_.string(), "Record length 0 for " + quoted(path_));
    struct stat info { };
    const bool write = mode == Mode::ReadWrite;
    const int fd = openRegular(path_, write ? O_RDWR : O_RDONLY, write, info);
    if (fd < 0)
        fail("cannot be opened");
    file_ = ::fdopen(fd, write ? "r+b" : "rb");
    if (!file_) {
        ::close(fd);
        fail("cannot be opened");
    }
}

RecordFile::~RecordFile()
{
    if (file_)
        std::fclose(file_);
}

void RecordFile::fail(const std::string& what) const
{
    const int code = errno;
    throw FileError(path_.string(), "The file " + quoted(path_) + " " + what + ": " + describeErrno() + ".", 0, code);
}

std::uint64_t RecordFile::byteSize() const
{
    std::error_code ec;
    if (file_)
        std::fflush(file_);
    const auto size = fs::file_size(path_, ec);
    return ec ? 0 : size;
}

long long RecordFile::recordCount() const
{
    const auto size = byteSize();
    return static_cast<long long>((size + recordLength_ - 1) / recordLength_);
}

void RecordFile::seek(long long n)
{
    // Record numbers whose offset would not fit a file position are refused like record 0.
    if (n < 1 || n - 1 > std::numeric_limits<off_t>::max() / static_cast<long long>(recordLength_))
        throw FileError(path_.string(), "Bad record number " + std::to_string(n) + " in " + quoted(path_) + ".");
    if (fseeko(file_, static_cast<off_t>(recordLength_) * (n - 1), SEEK_SET) != 0)
        fail("cannot be positioned");
}

bool RecordFile::read(long long n, std::string& out)
{
    if (!file_)
        fail("is closed");
    seek(n);
    out.resize(recordLength_);
    const std::size_t got = std::fread(out.data(), 1, out.size(), file_);
    if (got < out.size()) {
        const bool failed = std::ferror(file_) != 0;
        std::clearerr(file_);
        if (failed)
            fail("cannot be read");
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), '\0');
    }
    return got > 0;
}

void RecordFile::write(long long n, std::string_view bytes, char pad)
{
    if (!file_)
        fail("is closed");
    std::string record(bytes.substr(0, recordLength_));
    record.resize(recordLength_, pad);
    seek(n);
    // A record that lengthens the file and fails part way (a full disk) is cut off again,
    // so that no half record is left behind to be read as a whole one later.
    struct stat before { };
    const bool lengthens = ::fstat(::fileno(file_), &before) == 0
        && static_cast<long long>(recordLength_) * n > static_cast<long long>(before.st_size);
    const auto put = [&](std::size_t from, std::size_t count) {
        if (std::fwrite(record.data() + from, 1, count, file_) != count || std::fflush(file_) != 0)
            fail("cannot be written");
    };
    // With a hook the record goes to the disk in two halves, so that a test can stop
    // the write between them.
    const std::size_t first = hook_ ? record.size() / 2 : record.size();
    try {
        put(0, first);
        if (hook_) {
            hook_->at(RewriteStep::RecordWritten, path_);
            put(first, record.size() - first);
        }
    } catch (...) {
        if (lengthens) {
            __fpurge(file_);
            // Best effort: should the cut fail too, the report still names the file.
            [[maybe_unused]] const int cut = ::ftruncate(::fileno(file_), before.st_size);
        }
        throw;
    }
}

void RecordFile::sync()
{
    if (!file_)
        return;
    try {
        syncFile(file_);
    } catch (const std::system_error&) {
        fail("cannot be written");
    }
    if (hook_)
        hook_->at(RewriteStep::RecordSynced, path_);
}

void RecordFile::close()
{
    if (!file_)
        return;
    const int rc = std::fclose(file_);
    file_ = nullptr;
    if (rc != 0)
        fail("cannot be closed");
}

std::string readWholeFile(const fs::path& path, std::uint64_t maxBytes)
{
    struct stat info { };
    const int fd = openRegular(path, O_RDONLY, false, info);
    if (fd < 0)
        throw FileError(path.string(), "The file " + quoted(path) + " cannot be opened: " + describeErrno() + ".");
    const auto tooLarge = [&] {
        ::close(fd);
        throw FileError(path.string(),
            "The file " + quoted(path) + " is too large to be one of this program's files (more than "
                + std::to_string(maxBytes) + " bytes). Replace it with a good copy.");
    };
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        tooLarge();
    std::string data;
    try {
        // Read straight into a string of the file's size; go on in case the file grew meanwhile,
        // but never past the bound.
        data.resize(static_cast<std::size_t>(info.st_size) + 1);
        std::size_t have = 0;
        for (;;) {
            if (have == data.size()) {
                if (have > maxBytes)
                    tooLarge();
                data.resize(std::min<std::uint64_t>(have + 65536, maxBytes + 1));
            }
            const ssize_t got = ::read(fd, data.data() + have, data.size() - have);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                ::close(fd);
                throw FileError(path.string(), "The file " + quoted(path) + " cannot be read.");
            }
            if (got == 0)
                break;
            have += static_cast<std::size_t>(got);
        }
        if (have > maxBytes)
            tooLarge();
        data.resize(have);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        throw FileError(
            path.string(), "The file " + quoted(path) + " cannot be read: there is not enough memory to hold it.");
    }
    ::close(fd);
    return data;
}

ScratchFile::ScratchFile(fs::path target, FaultHook* hook, fs::path scratch)
    : target_(std::move(target))
    , real_(target_)
    , hook_(hook)
{
    // A link is followed to the file it names, and that file is replaced in its own folder:
    // replacing the link itself would leave a local copy that later edits never share.
    struct stat link { };
    if (::lstat(target_.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (const std::string broken = brokenLinkMessage(target_); !broken.empty())
            throw FileError(target_.string(), broken);
        std::error_code ec;
        real_ = fs::canonical(target_, ec);
        if (ec)
            throw FileError(target_.string(),
                "The file " + quoted(target_) + " cannot be rewritten: the file its link leads to cannot be found ("
                    + ec.message() + ").");
        if (!scratch.empty())
            scratch = real_.parent_path() / scratch.filename();
    }
    scratch_
        = scratch.empty() ? real_.parent_path() / fittedName(real_.filename().string(), ".new") : std::move(scratch);
    // A scratch file left by an interrupted run, or anything planted at its name (a link
    // above all), is removed rather than reused or followed; the new one is created fresh.
    struct stat old { };
    if (::lstat(scratch_.c_str(), &old) == 0 && !S_ISDIR(old.st_mode))
        ::unlink(scratch_.c_str());
    const int fd = ::open(scratch_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0)
        file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw FileError(target_.string(),
            "The file " + quoted(target_) + " cannot be rewritten: the scratch file " + quoted(scratch_)
                + " cannot be created (" + std::strerror(error) + ").",
            0, error);
    }
    // The lock (the byte the lock files use, far beyond the text) says a writer is alive;
    // a drive without locks simply does without it.
    struct flock request { };
    request.l_type = F_WRLCK;
    request.l_whence = SEEK_SET;
    request.l_start = off_t { 1 } << 30;
    request.l_len = 1;
    (void)::fcntl(fd, F_OFD_SETLK, &request);
    if (hook_) {
        // The destructor does not run when the constructor throws, so a failure
        // right after opening must close and remove the scratch file here.
        try {
            step(RewriteStep::ScratchOpened);
        } catch (...) {
            if (isOwn(scratch_))
                ::unlink(scratch_.c_str());
            std::fclose(file_);
            file_ = nullptr;
            throw;
        }
    }
}

ScratchFile::~ScratchFile()
{
    // Removed while still open, so that only the file written here is removed.
    if (file_ && !committed_ && isOwn(scratch_))
        ::unlink(scratch_.c_str());
    if (file_)
        std::fclose(file_);
}

void ScratchFile::step(RewriteStep step)
{
    if (hook_)
        hook_->atScratch(step, target_, scratch_);
}

bool ScratchFile::isOwn(const fs::path& name) const
{
    struct stat own { };
    struct stat named { };
    return file_ && ::fstat(::fileno(file_), &own) == 0 && ::lstat(name.c_str(), &named) == 0 && S_ISREG(named.st_mode)
        && sameInode(own, named);
}

void ScratchFile::fail(const std::string& what)
{
    const int code = errno;
    const std::string reason = describeErrno();
    throw FileError(
        target_.string(), "The file " + quoted(target_) + " was not changed: " + what + " (" + reason + ").", 0, code);
}

void ScratchFile::append(std::string_view bytes)
{
    if (!file_ || finished_)
        throw FileError(target_.string(), "The scratch file for " + quoted(target_) + " is closed.");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail("the scratch file " + quoted(scratch_) + " could not be written");
}

void ScratchFile::finish()
{
    if (finished_)
        return;
    if (!file_)
        throw FileError(target_.string(), "The scratch file for " + quoted(target_) + " is closed.");
    step(RewriteStep::ScratchWritten);
    try {
        syncFile(file_);
    } catch (const std::system_error&) {
        fail("the scratch file " + quoted(scratch_) + " could not be written");
    }
    finished_ = true;
    step(RewriteStep::ScratchSynced);
}

void ScratchFile::commit()
{
    finish();
    step(RewriteStep::BeforeRename);
    // Only the file written here replaces the data: not one put in its place meanwhile.
    if (!isOwn(scratch_)) {
        errno = EEXIST;
        fail("the scratch file " + quoted(scratch_) + " was replaced by another file");
    }
    if (std::rename(scratch_.c_str(), real_.c_str()) != 0)
        fail("the scratch file " + quoted(scratch_) + " could not be renamed");
    committed_ = true;
    const bool own = isOwn(real_);
    std::fclose(file_);
    file_ = nullptr;
    if (!own) // replaced in the instant between the check and the rename
        throw FileError(target_.string(),
            "The file " + quoted(target_)
                + " was replaced by another program while it was being saved. "
                  "Check its contents, and save it again.");
    step(RewriteStep::Renamed);
    syncFolderOf(real_);
    step(RewriteStep::FolderSynced);
}

void writeFileAtomically(const fs::path& target, std::string_view contents, FaultHook* hook)
{
    ScratchFile scratch(target, hook);
    scratch.append(contents);
    scratch.commit();
}

fs::path findFile(const fs::path& folder, std::string_view name)
{
    const fs::path exact = folder / std::string(name);
    std::error_code ec;
    if (fs::exists(exact, ec))
        return exact;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (sameNameIgnoringCase(candidate, name))
            return folder / candidate;
    }
    return exact;
}

} // namespace tb
