#include "core/student/exam_list.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/student/student_exam.h"

#include <algorithm>
#include <map>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view VersionWord = " Version ";
constexpr std::string_view VersionsFolderEnding = " VERSIONS";

bool endsWithUpper(const std::string& name, std::string_view ending)
{
    return name.size() > ending.size() && upperAscii(name.substr(name.size() - ending.size())) == ending;
}

// The *.dsq files of one folder, bounded by MaxListedFiles.
void collectTests(const fs::path& folder, std::vector<fs::path>& files, std::vector<fs::path>* subfolders)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && files.size() < MaxListedFiles;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (endsWithUpper(name, ".DSQ") && it->is_regular_file(typeError))
            files.push_back(it->path());
        else if (subfolders && endsWithUpper(name, VersionsFolderEnding) && it->is_directory(typeError))
            subfolders->push_back(it->path());
    }
}

// "<base>-NN" of a file name "<base>-NN.dsq": the base and the number, or an empty base.
std::pair<std::string, int> versionFileParts(const fs::path& file)
{
    const std::string stem = file.stem().string();
    const std::size_t dash = stem.rfind('-');
    if (dash == std::string::npos || dash == 0 || stem.size() - dash != 3)
        return { {}, 0 };
    const char a = stem[dash + 1];
    const char b = stem[dash + 2];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return { {}, 0 };
    return { upperAscii(stem.substr(0, dash)), (a - '0') * 10 + (b - '0') };
}

} // namespace

std::string descriptionVersionCode(const std::string& description)
{
    const std::string text = stripBlanks(description);
    const std::size_t at = text.rfind(VersionWord);
    if (at == std::string::npos)
        return {};
    const std::string code = text.substr(at + VersionWord.size());
    // "K7F3-02": four code characters, a hyphen and two digits.
    if (code.size() != 7 || code[4] != '-' || code[5] < '0' || code[5] > '9' || code[6] < '0' || code[6] > '9')
        return {};
    for (std::size_t i = 0; i < 4; ++i)
        if (!((code[i] >= 'A' && code[i] <= 'Z') || (code[i] >= '0' && code[i] <= '9')))
            return {};
    return code;
}

std::vector<ListedExam> listStudentTests(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::vector<fs::path> subfolders;
    collectTests(folder, files, &subfolders);
    std::sort(subfolders.begin(), subfolders.end());
    for (const fs::path& subfolder : subfolders)
        collectTests(subfolder, files, nullptr);

    std::vector<ListedExam> listed;
    // The versions of a set, keyed by folder, base name and set code.
    std::map<std::string, std::vector<std::pair<int, ListedExam>>> sets;
    for (const fs::path& file : files) {
        ListedExam entry;
        try {
            const StudentExam exam = readStudentExam(file);
            if (exam.header.MenuListed != 1)
                continue;
            entry.title = exam.header.TestTitle;
            entry.description = exam.header.TestDescription;
            entry.instructions = exam.header.TestInstructions;
            entry.questionCount = static_cast<int>(exam.questions.size());
            const std::string code = descriptionVersionCode(entry.description);
            entry.forms.push_back({ file, code });
            const auto [base, number] = versionFileParts(file);
            if (!code.empty() && !base.empty() && std::stoi(code.substr(5)) == number) {
                entry.description = stripBlanks(entry.description.substr(0, entry.description.rfind(VersionWord)));
                sets[file.parent_path().string() + '\n' + base + '\n' + code.substr(0, 4)].push_back(
                    { number, std::move(entry) });
                continue;
            }
        } catch (const std::exception& error) {
            entry = {};
            entry.title = toCp1252(file.filename().string());
            entry.forms.push_back({ file, {} });
            entry.damaged = true;
            entry.reason = toCp1252(error.what());
        }
        listed.push_back(std::move(entry));
    }
    for (auto& [key, versions] : sets) {
        std::sort(versions.begin(), versions.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        ListedExam entry = std::move(versions.front().second);
        for (std::size_t i = 1; i < versions.size(); ++i)
            entry.forms.push_back(versions[i].second.forms.front());
        listed.push_back(std::move(entry));
    }
    std::sort(listed.begin(), listed.end(), [](const ListedExam& a, const ListedExam& b) {
        const std::string ta = upperAscii(a.title);
        const std::string tb = upperAscii(b.title);
        return ta != tb ? ta < tb : a.file() < b.file();
    });
    return listed;
}

} // namespace tb
