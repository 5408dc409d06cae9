#pragma once

#include "core/foundation/folder_lock.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tb {

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

} // namespace tb
