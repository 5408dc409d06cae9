#include "startup/record_file.h"

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
    if (fd < 0)
        return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        notRegular(path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

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
    if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() || std::fflush(file_) != 0) {
        const int error = errno;
        if (lengthens) {
            __fpurge(file_);
            // Best effort: should the cut fail too, the report below still names the file.
            [[maybe_unused]] const int cut = ::ftruncate(::fileno(file_), before.st_size);
        }
        errno = error;
        fail("cannot be written");
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
    , hook_(hook)
{
    scratch_ = scratch.empty() ? fs::path(target_.string() + ".new") : std::move(scratch);
    // A scratch file left by an interrupted run, or anything planted at its name (a link
    // above all), is removed rather than reused or followed; the new one is created fresh.
    struct stat old { };
    if (::lstat(scratch_.c_str(), &old) == 0 && !S_ISDIR(old.st_mode))
        ::unlink(scratch_.c_str());
    const int fd = ::open(scratch_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    struct stat info { };
    if (fd >= 0 && ::fstat(fd, &info) == 0) {
        device_ = info.st_dev;
        inode_ = info.st_ino;
        file_ = ::fdopen(fd, "wb");
    }
    if (!file_) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw FileError(target_.string(),
            "The file " + quoted(target_) + " cannot be rewritten: the scratch file " + quoted(scratch_)
                + " cannot be created (" + std::strerror(error) + ").");
    }
    if (hook_) {
        // The destructor does not run when the constructor throws, so a failure
        // right after opening must close and remove the scratch file here.
        try {
            hook_->at(RewriteStep::ScratchOpened, target_);
        } catch (...) {
            std::fclose(file_);
            file_ = nullptr;
            std::error_code ec;
            fs::remove(scratch_, ec);
            throw;
        }
    }
}

ScratchFile::~ScratchFile()
{
    if (file_)
        std::fclose(file_);
    if (!committed_) {
        std::error_code ec;
        fs::remove(scratch_, ec);
    }
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
    if (!file_)
        throw FileError(target_.string(), "The scratch file for " + quoted(target_) + " is closed.");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail("the scratch file " + quoted(scratch_) + " could not be written");
}

void ScratchFile::finish()
{
    if (finished_)
        return;
    if (hook_)
        hook_->at(RewriteStep::ScratchWritten, target_);
    try {
        syncFile(file_);
    } catch (const std::system_error&) {
        fail("the scratch file " + quoted(scratch_) + " could not be written");
    }
    const int rc = std::fclose(file_);
    file_ = nullptr;
    if (rc != 0)
        fail("the scratch file " + quoted(scratch_) + " could not be closed");
    finished_ = true;
    if (hook_)
        hook_->at(RewriteStep::ScratchSynced, target_);
}

void ScratchFile::commit()
{
    finish();
    if (hook_)
        hook_->at(RewriteStep::BeforeRename, target_);
    // Only the file written here replaces the data: not one put in its place meanwhile.
    struct stat now { };
    if (::lstat(scratch_.c_str(), &now) != 0 || !S_ISREG(now.st_mode) || now.st_dev != device_
        || now.st_ino != inode_) {
        errno = EEXIST;
        fail("the scratch file " + quoted(scratch_) + " was replaced by another file");
    }
    if (std::rename(scratch_.c_str(), target_.c_str()) != 0)
        fail("the scratch file " + quoted(scratch_) + " could not be renamed");
    committed_ = true;
    if (hook_)
        hook_->at(RewriteStep::Renamed, target_);
    syncFolderOf(target_);
    if (hook_)
        hook_->at(RewriteStep::FolderSynced, target_);
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
