#include "core/launcher/data_folder.h"

#include "core/drugdb/drug_file.h"
#include "core/drugdb/index_files.h"
#include "core/foundation/file_error.h"
#include "core/foundation/record_file.h"

#include <array>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace tb {

namespace {

// The choice is one path; anything longer is not a file this launcher wrote.
constexpr std::size_t MaxChoiceBytes = 4096;
// The largest drug data file holds 32767 records of 240 bytes; the sample is far smaller.
constexpr std::uintmax_t MaxSampleFileBytes = 16u << 20;

// The data file comes last, so that a seeding cut short is completed at the next start.
constexpr std::array<const char*, 4> SampleFiles { TabletIndexFileName, FluidIndexFileName, CategoryFileName,
    DrugDataFileName };

std::string quoted(const fs::path& path)
{
    return "\"" + path.string() + "\"";
}

// An XDG variable counts only when it holds an absolute path; otherwise the default under HOME.
fs::path xdgFolder(const std::string& value, const std::string& home, const char* fallback)
{
    if (!value.empty() && fs::path(value).is_absolute())
        return value;
    if (home.empty())
        throw FileError(
            "", "The home folder is not known (HOME is not set), so Tutor Bench cannot find its data folder.");
    return fs::path(home) / fallback;
}

} // namespace

fs::path chosenFolderFile(const LauncherEnvironment& env)
{
    return xdgFolder(env.xdgConfigHome, env.home, ".config") / "tutorbench" / "data-folder";
}

fs::path defaultDataFolder(const LauncherEnvironment& env)
{
    return xdgFolder(env.xdgDataHome, env.home, ".local/share") / "tutorbench";
}

std::optional<fs::path> readChosenFolder(const fs::path& file)
{
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found)
        return std::nullopt;
    if (ec || status.type() != fs::file_type::regular)
        throw FileError(
            file.string(), "The file " + quoted(file) + " that names your data folder is not a readable file.");
    std::ifstream in(file, std::ios::binary);
    std::string text(MaxChoiceBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        throw FileError(file.string(), "The file " + quoted(file) + " that names your data folder cannot be read.");
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > MaxChoiceBytes)
        throw FileError(file.string(), "The file " + quoted(file) + " is too long to name a folder.");
    // One line; a line end, and blanks around it, do not belong to the name.
    text = text.substr(0, text.find_first_of("\r\n"));
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (!fs::path(text).is_absolute())
        throw FileError(file.string(),
            "The file " + quoted(file) + " names the data folder \"" + text
                + "\", which is not a full path. Choose the folder again.");
    return fs::path(text);
}

void writeChosenFolder(const fs::path& file, const fs::path& folder)
{
    if (!folder.is_absolute() || folder.string().size() > MaxChoiceBytes
        || folder.string().find_first_of("\r\n") != std::string::npos)
        throw FileError(folder.string(), "The folder " + quoted(folder) + " cannot be recorded as the data folder.");
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec)
        throw FileError(file.parent_path().string(),
            "The folder " + quoted(file.parent_path()) + " cannot be created: " + ec.message() + ".");
    writeFileAtomically(file, folder.string() + "\n");
}

bool holdsDrugDatabase(const fs::path& folder)
{
    std::error_code ec;
    return fs::exists(findFile(folder, DrugDataFileName), ec);
}

bool seedFolder(const fs::path& folder, const fs::path& sample)
{
    if (holdsDrugDatabase(folder))
        return false;
    for (const char* name : SampleFiles) {
        std::error_code ec;
        if (fs::exists(findFile(folder, name), ec))
            continue;
        const fs::path from = sample / name;
        const std::uintmax_t size = fs::file_size(from, ec);
        if (ec || size > MaxSampleFileBytes)
            throw FileError(from.string(), "The sample drug database file " + quoted(from) + " cannot be read.");
        writeFileAtomically(folder / name, readWholeFile(from));
    }
    return true;
}

namespace {

// The chosen folder, which must be there; nothing when none was chosen.
std::optional<fs::path> reachableChoice(const LauncherEnvironment& env, const char* program)
{
    const auto chosen = readChosenFolder(chosenFolderFile(env));
    std::error_code ec;
    if (chosen && !fs::is_directory(*chosen, ec))
        throw FileError(chosen->string(),
            "The data folder " + quoted(*chosen)
                + " cannot be reached. Connect the drive that holds it, or choose another folder with "
                  "\"Choose Data Folder\" in the "
                + program + " entry of the applications menu.");
    return chosen;
}

fs::path createdDefaultFolder(const LauncherEnvironment& env)
{
    const fs::path folder = defaultDataFolder(env);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw FileError(
            folder.string(), "The data folder " + quoted(folder) + " cannot be created: " + ec.message() + ".");
    return folder;
}

} // namespace

fs::path prepareDataFolder(const LauncherEnvironment& env, const fs::path& sample)
{
    if (auto chosen = reachableChoice(env, "Tutor Bench"))
        return *chosen;
    const fs::path folder = createdDefaultFolder(env);
    seedFolder(folder, sample);
    return folder;
}

fs::path studentDataFolder(const LauncherEnvironment& env)
{
    if (auto chosen = reachableChoice(env, "Dosarion"))
        return *chosen;
    return createdDefaultFolder(env);
}

} // namespace tb
