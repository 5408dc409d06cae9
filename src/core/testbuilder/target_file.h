#pragma once

#include "core/foundation/file_error.h"
#include "core/foundation/folder_lock.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tb {

struct AppState;
struct TestHeader;
class FaultHook;
class Prompts;

/// Why a file chosen for writing may not be written.
enum class TargetRefusal {
    None, // may be written (after the "already exists" question when it exists)
    NotAName, // no name, "?" or "*" in it, a folder, or a folder that does not exist
    Reserved, // one of the program's own files or scratch names, in any spelling or through a link
    WorkingFile, // the test being edited, in any spelling or through a link
    Held, // a test another copy of the program has as its working file
};

/// Where the test window's writers work.
struct TargetContext {
    std::filesystem::path dataFolder;
    std::filesystem::path workingFile; // the open test's file
    bool lockTests = true; // false: copies of the program do not lock their tests here
};

/// The outcome of the check.
struct TargetCheck {
    TargetRefusal refusal = TargetRefusal::None;
    /// Why it is refused, naming the file (Windows-1252); empty when it is not.
    std::string reason;
    /// A file stands at the name now: the writer asks before replacing it.
    bool exists = false;
    /// The target's test lock, held while the writer writes, so that no other copy opens
    /// the file half written. Not held where no lock can be taken at all.
    LockFile lock;

    bool refused() const { return refusal != TargetRefusal::None; }
};

/// The one check every writer of a chosen file runs before it asks "already exists" and
/// writes: Save As and its text export, Export as PDF, the learning-platform export and the
/// class versions. Refused, in this order: a name that names no file; a name the program keeps
/// for its own files ("test.tmp", "MXtmp.TMP", the drug database and its index files,
/// "MX.INI", the folder's lock, any "*.lock" or "*.new"), in any letter case; the working
/// test; any other spelling of one of those files, a symbolic link or a hard link to it; a
/// test another copy holds, naming the holder. Never throws for a file-system problem.
TargetCheck checkTarget(const std::filesystem::path& target, const TargetContext& context);

/// What a name the program keeps for itself is used for ("the drug database"), or nullptr
/// for a name free for the teacher's files. Letter case does not count.
const char* reservedRole(std::string_view fileName);

/// True when `a` and `b` designate one file: the same path in another spelling (relative,
/// "..", another letter case of the name in the same folder), a link to it or a hard link.
bool sameFileAs(const std::filesystem::path& a, const std::filesystem::path& b);

/// A test that another copy of the program holds: not an illegal name, so the teacher is told
/// who holds it in the message itself.
class TestInUse final : public FileError {
public:
    using FileError::FileError;
};

/// Choosing and checking a file to write, for the test model and every tool that writes beside
/// it: names are resolved in the data folder, checked against the working test and the
/// program's own files, locked, and replaced only when the teacher agrees. It reads the
/// working file's name and the header from the model that owns it.
class TargetFiles final {
public:
    TargetFiles(AppState& state, Prompts& prompts, const std::string& workingFile, const TestHeader& header);

    /// A file name (Windows-1252 program text) as a path: absolute names stay, others are
    /// in the data folder.
    std::filesystem::path resolve(const std::string& name) const;
    /// The working file's path in the data folder.
    std::filesystem::path workingPath() const;
    /// The folder relative names are in.
    const std::filesystem::path& dataFolder() const;
    /// True when `name` designates the working file, in any spelling.
    bool designatesWorkingFile(const std::string& name) const;
    /// The check every writer of a chosen file runs first (tb::checkTarget for this test).
    TargetCheck check(const std::filesystem::path& target) const;
    /// The name the export dialogs propose: the test's file name with `extension` instead of
    /// its own (a new test is named after its title), as the file system spells it.
    std::string proposedFileName(const std::string& extension) const;
    /// The lock of a test about to be written; throws TestInUse naming the file and its
    /// holder when another copy of the program has it as its working file.
    LockFile lockTest(const std::filesystem::path& file) const;
    /// True when `path` does not exist yet or the teacher answers "&Yes" to replacing `name`
    /// (the question Save As asks; every command that writes a chosen file asks it).
    bool mayReplace(const std::filesystem::path& path, const std::string& name) const;
    /// Writes `bytes` as the whole of `path` through a scratch file and a rename.
    void writeWhole(const std::filesystem::path& path, const std::string& bytes) const;

    /// Tests make whole-file rewrites fail at a chosen step.
    void setFaultHook(FaultHook* hook) { faultHook_ = hook; }
    FaultHook* faultHook() const { return faultHook_; }

private:
    AppState& state_;
    Prompts& prompts_;
    const std::string& workingFile_;
    const TestHeader& header_;
    FaultHook* faultHook_ = nullptr;
};

} // namespace tb
