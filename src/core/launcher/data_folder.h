#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tb {

/// The parts of the environment that decide where the teacher's data lives. Empty
/// means unset.
struct LauncherEnvironment {
    std::string home;
    std::string xdgDataHome;
    std::string xdgConfigHome;
};

/// The one-line file that names the folder the teacher chose:
/// $XDG_CONFIG_HOME/tutorbench/data-folder (by default under ~/.config).
std::filesystem::path chosenFolderFile(const LauncherEnvironment& env);

/// The data folder when the teacher chose none: $XDG_DATA_HOME/tutorbench (by default
/// ~/.local/share/tutorbench).
std::filesystem::path defaultDataFolder(const LauncherEnvironment& env);

/// The folder named in `file`, or nothing when the file does not exist or names no
/// folder. Throws FileError, saying what is wrong, when the file cannot be read, is damaged
/// or does not hold an absolute path.
std::optional<std::filesystem::path> readChosenFolder(const std::filesystem::path& file);

/// Throws FileError, saying why, when `folder` cannot be recorded as the teacher's choice:
/// not a full path, too long, or holding a line break or outer blanks that one line cannot keep.
void checkRecordable(const std::filesystem::path& folder);

/// Records `folder` (an absolute path) as the teacher's choice, through a scratch file
/// and a rename.
void writeChosenFolder(const std::filesystem::path& file, const std::filesystem::path& folder);

/// True when the folder holds the drug data file or one of the index files, in any letter case.
bool holdsDrugDatabase(const std::filesystem::path& folder);

/// Copies the sample drug database from `sample` into `folder` when the folder holds none
/// of it, under the folder's lock. Returns true when it copied. An existing file is never
/// overwritten. Throws FileError when the folder cannot be written or a file cannot be copied.
bool seedFolder(const std::filesystem::path& folder, const std::filesystem::path& sample);

/// The folder the program starts in: the chosen one, which must exist, or else the
/// default one, created and seeded with the sample drug database on first use. Throws
/// FileError with a message for the teacher when neither can be used.
std::filesystem::path prepareDataFolder(const LauncherEnvironment& env, const std::filesystem::path& sample);

/// The folder Dosarion starts in: the one the teacher's launcher chose, which must exist, or
/// else the default one, created when missing but never seeded (students' PCs only read the
/// teachers' files). Throws FileError with a message for the student when neither can be used.
std::filesystem::path studentDataFolder(const LauncherEnvironment& env);

} // namespace tb
