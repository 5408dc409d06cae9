#include "startup/record_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
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

} // namespace

RecordFile::RecordFile(fs::path path, std::size_t recordLength, Mode mode)
    : path_(std::move(path))
    , recordLength_(recordLength)
{
    if (recordLength_ == 0)
        throw FileError(path_.string(), "Record length 0 for " + quoted(path_));
    if (mode == Mode::Read) {
        file_ = std::fopen(path_.c_str(), "rb");
    } else {
        file_ = std::fopen(path_.c_str(), "r+b");
        if (!file_ && errno == ENOENT)
            file_ = std::fopen(path_.c_str(), "w+b");
    }
    if (!file_)
        fail("cannot be opened");
}

RecordFile::~RecordFile()
{
    if (file_)
        std::fclose(file_);
}

void RecordFile::fail(const std::string& what) const
{
    throw FileError(path_.string(), "The file " + quoted(path_) + " " + what + ": " + describeErrno() + ".");
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

std::string readWholeFile(const fs::path& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        throw FileError(path.string(), "The file " + quoted(path) + " cannot be opened: " + describeErrno() + ".");
    // Read straight into a string of the file's size; go on in case the file grew meanwhile.
    std::setvbuf(f, nullptr, _IONBF, 0);
    struct stat info { };
    std::string data;
    if (::fstat(::fileno(f), &info) == 0 && info.st_size > 0)
        data.resize(static_cast<std::size_t>(info.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == data.size())
            data.resize(have + 65536);
        const std::size_t got = std::fread(data.data() + have, 1, data.size() - have, f);
        have += got;
        if (got == 0)
            break;
    }
    data.resize(have);
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad)
        throw FileError(path.string(), "The file " + quoted(path) + " cannot be read.");
    return data;
}

ScratchFile::ScratchFile(fs::path target, FaultHook* hook, fs::path scratch)
    : target_(std::move(target))
    , hook_(hook)
{
    scratch_ = scratch.empty() ? fs::path(target_.string() + ".new") : std::move(scratch);
    // A scratch file left by an interrupted run is never taken for a whole one:
    // "w" truncates it before anything is written.
    file_ = std::fopen(scratch_.c_str(), "wb");
    if (!file_)
        throw FileError(target_.string(),
            "The file " + quoted(target_) + " cannot be rewritten: the scratch file " + quoted(scratch_)
                + " cannot be created (" + describeErrno() + ").");
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
    const std::string reason = describeErrno();
    throw FileError(
        target_.string(), "The file " + quoted(target_) + " was not changed: " + what + " (" + reason + ").");
}

void ScratchFile::append(std::string_view bytes)
{
    if (!file_)
        throw FileError(target_.string(), "The scratch file for " + quoted(target_) + " is closed.");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail("the scratch file " + quoted(scratch_) + " could not be written");
}

void ScratchFile::commit()
{
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
    if (hook_) {
        hook_->at(RewriteStep::ScratchSynced, target_);
        hook_->at(RewriteStep::BeforeRename, target_);
    }
    if (std::rename(scratch_.c_str(), target_.c_str()) != 0)
        fail("the scratch file " + quoted(scratch_) + " could not be renamed");
    committed_ = true;
    if (hook_)
        hook_->at(RewriteStep::Renamed, target_);
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
