#include "core/testbuilder/target_file.h"

#include "core/drugdb/drug_file.h"
#include "core/drugdb/index_files.h"
#include "core/drugdb/weight_doses.h"
#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/exam_record.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/prompts.h"
#include "core/foundation/record_file.h"
#include "core/foundation/settings.h"

#include <array>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

struct OwnFile {
    const char* name;
    const char* role;
};

// The program's files of fixed name in a data folder.
constexpr std::array<OwnFile, 10> OwnFiles { {
    { NewTestFileName, "the working file of a new test" },
    { QuestionScratchFileName, "the scratch file of a question being deleted" },
    { DrugDataFileName, "the drug database" },
    { DrugScratchFileName, "the scratch copy of the drug database" },
    { TabletIndexFileName, "the index of the tablet drugs" },
    { FluidIndexFileName, "the index of the fluid drugs" },
    { CategoryFileName, "the list of drug categories" },
    { WeightDoseFileName, "the list of doses per kg" },
    { SettingsFileName, "the settings" },
    { FolderLockFileName, "the lock of the data folder" },
} };

bool endsWithIgnoringCase(std::string_view name, std::string_view ending)
{
    return name.size() >= ending.size() && sameNameIgnoringCase(name.substr(name.size() - ending.size()), ending);
}

fs::path canonicalOrAbsolute(const fs::path& path)
{
    std::error_code ec;
    fs::path result = fs::weakly_canonical(path, ec);
    if (ec) {
        result = fs::absolute(path, ec);
        if (ec)
            result = path;
    }
    return result.lexically_normal();
}

bool equivalentFiles(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

std::string quoted(const fs::path& name)
{
    return "\"" + toCp1252(name.string()) + "\"";
}

} // namespace

const char* reservedRole(std::string_view fileName)
{
    const std::string name = stripBlanks(fileName);
    for (const OwnFile& own : OwnFiles)
        if (sameNameIgnoringCase(name, own.name))
            return own.role;
    if (isLockFileName(name))
        return "a lock file";
    if (endsWithIgnoringCase(name, ".new"))
        return "a scratch file";
    return nullptr;
}

bool sameFileAs(const fs::path& a, const fs::path& b)
{
    if (equivalentFiles(a, b))
        return true;
    const fs::path ca = canonicalOrAbsolute(a);
    const fs::path cb = canonicalOrAbsolute(b);
    if (ca == cb)
        return true;
    // Names differing only in letter case count as one file in one folder: the program finds
    // its files without regard to case, and a teacher's share may not tell them apart.
    return sameNameIgnoringCase(ca.filename().string(), cb.filename().string())
        && (ca.parent_path() == cb.parent_path() || equivalentFiles(ca.parent_path(), cb.parent_path()));
}

TargetCheck checkTarget(const fs::path& target, const TargetContext& context)
{
    TargetCheck check;
    auto refuse = [&check](TargetRefusal refusal, std::string reason) {
        check.refusal = refusal;
        check.reason = std::move(reason);
        check.lock.release();
        return std::move(check);
    };
    const fs::path name = target.filename();
    const std::string shown = quoted(name);
    if (name.empty() || name == "." || name == "..")
        return refuse(TargetRefusal::NotAName, "No file name was given. Choose a file name.");
    // A "?" stands for a letter Windows-1252 lacks in a name taken from the program's text;
    // neither it nor "*" belongs in a file name.
    if (target.string().find_first_of("?*") != std::string::npos)
        return refuse(TargetRefusal::NotAName, shown + " is not a name a file can have. Choose another name.");
    if (const char* role = reservedRole(name.string()))
        return refuse(TargetRefusal::Reserved,
            shown + " is the name of " + role + ", one of Tutor Bench's own files. Choose another name.");
    if (!context.workingFile.empty() && sameFileAs(target, context.workingFile))
        return refuse(TargetRefusal::WorkingFile, shown + " is the test being edited. Choose another name.");

    std::error_code ec;
    if (fs::is_directory(target, ec))
        return refuse(TargetRefusal::NotAName, shown + " is a folder. Choose a file name.");
    if (!fs::is_directory(canonicalOrAbsolute(target).parent_path(), ec))
        return refuse(TargetRefusal::NotAName,
            "There is no folder " + quoted(target.parent_path()) + " to write " + shown
                + " in. Choose another folder.");

    // Another name for one of those files: a symbolic link, a hard link or another spelling.
    auto alias = [&shown](const fs::path& own, const char* role) {
        return shown + " is another name of " + quoted(own.filename()) + ", " + role
            + ", one of Tutor Bench's own files. Choose another name.";
    };
    const fs::path real = canonicalOrAbsolute(target);
    if (const char* role = reservedRole(real.filename().string()))
        return refuse(TargetRefusal::Reserved, alias(real, role));
    for (const OwnFile& own : OwnFiles) {
        const fs::path file = findFile(context.dataFolder, own.name);
        if (equivalentFiles(target, file))
            return refuse(TargetRefusal::Reserved, alias(file, own.role));
    }
    if (!context.workingFile.empty()) {
        const fs::path lock = testLockPath(canonicalOrAbsolute(context.workingFile));
        if (equivalentFiles(target, lock))
            return refuse(TargetRefusal::Reserved, alias(lock, "a lock file"));
    }

    check.exists = fs::symlink_status(target, ec).type() != fs::file_type::not_found;
    // One lock file per test, whatever link or spelling of its folder led to it. Where no lock
    // can be taken at all (a read-only folder, a drive without locks) the file is written
    // without one.
    if (context.lockTests && check.lock.acquire(testLockPath(real), currentHolder()) == LockFile::Outcome::Held)
        return refuse(TargetRefusal::Held, testInUseMessage(target, check.lock.holder()));
    return check;
}

// ---- the writers' files ----

TargetFiles::TargetFiles(AppState& state, Prompts& prompts, const std::string& workingFile, const TestHeader& header)
    : state_(state)
    , prompts_(prompts)
    , workingFile_(workingFile)
    , header_(header)
{
}

fs::path TargetFiles::resolve(const std::string& name) const
{
    // Names are the program's Windows-1252 text; the file system spells them in UTF-8.
    const fs::path path(fromCp1252(name));
    if (path.is_absolute())
        return path;
    return state_.dataFolder / path;
}

const fs::path& TargetFiles::dataFolder() const
{
    return state_.dataFolder;
}

fs::path TargetFiles::workingPath() const
{
    return resolve(workingFile_);
}

// Save As and Open compare the chosen name with the working file as files, not as texts:
// "TEST.DSQ", "./test.dsq", "sub/../test.dsq", an absolute path or a link all designate it.
bool TargetFiles::designatesWorkingFile(const std::string& name) const
{
    return stripBlanks(name) == workingFile_ || sameFileAs(resolve(name), workingPath());
}

TargetCheck TargetFiles::check(const fs::path& target) const
{
    return checkTarget(target, { state_.dataFolder, workingPath(), state_.lockWorkingFiles });
}

std::string TargetFiles::proposedFileName(const std::string& extension) const
{
    if (workingFile_ != NewTestFileName)
        return workingPath().filename().replace_extension(fromCp1252(extension)).string();
    // A new test has no name of its own yet: its title, without what a file name cannot hold.
    std::string title = stripBlanks(header_.TestTitle);
    for (char& c : title)
        if (c == '/' || c == '\\' || c == ':' || c == '?' || c == '*' || static_cast<unsigned char>(c) < 32)
            c = ' ';
    title = stripBlanks(title.substr(
        title.find_first_not_of(". ") == std::string::npos ? title.size() : title.find_first_not_of(". ")));
    return fromCp1252((title.empty() ? std::string("untitled") : title) + extension);
}

// Another copy of the program may have the test as its working file: it is then neither
// opened nor written here. Where no lock can be taken at all (a read-only folder, a drive
// without locks) the test is used without one.
LockFile TargetFiles::lockTest(const fs::path& file) const
{
    LockFile lock;
    if (!state_.lockWorkingFiles)
        return lock;
    // One lock file per test, whatever link or spelling of its folder led to it.
    std::error_code ec;
    fs::path real = fs::weakly_canonical(file, ec);
    if (ec)
        real = file;
    if (lock.acquire(testLockPath(real), currentHolder()) == LockFile::Outcome::Held)
        throw TestInUse(file.string(), testInUseMessage(file, lock.holder()));
    return lock;
}

bool TargetFiles::mayReplace(const fs::path& path, const std::string& name) const
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return true;
    state_.saveanswer
        = prompts_.askYesNo("The file " + name + " already exists. Would you like to use this file", state_.saveanswer);
    return state_.saveanswer;
}

void TargetFiles::writeWhole(const fs::path& path, const std::string& bytes) const
{
    writeFileAtomically(path, bytes, faultHook_);
}

} // namespace tb
