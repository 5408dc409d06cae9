#include "testbuilder/exam_model.h"

#include "drugdb/drug_file.h"
#include "drugdb/index_files.h"
#include "startup/cp1252.h"
#include "startup/number_format.h"
#include "startup/record_file.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

const char* const NotSavedQuestion = "This test has not been saved. Would you like to save it now?";
const char* const IllegalSaveName = "The file name that you entered was illegal. The file was not saved.";
const char* const IllegalOpenName = "Illegal file name";
const char* const SaveDialogTitle = "Save Drug Test";
const char* const SaveDialogFilter = "Dosarion Test (dsq)|*.dsq|Text File (txt)|*.txt|";
const char* const OpenDialogFilter = "Dosarion Files (*.dsq)|*.dsq|";

// The most questions a test file can hold: the count is a 16-bit number.
constexpr long long MaxStoredQuestions = std::numeric_limits<std::int16_t>::max();

// The program's scratch files and the drug database's files, which a test must never be
// saved over: the next rewrite of either would destroy the test or the data.
bool isReservedName(const std::string& name)
{
    const std::string base = fs::path(name).filename().string();
    for (const char* reserved : { QuestionScratchFileName, NewTestFileName, DrugScratchFileName, DrugDataFileName,
             TabletIndexFileName, FluidIndexFileName, CategoryFileName })
        if (sameNameIgnoringCase(base, reserved))
            return true;
    return false;
}

bool endsWithTxt(const std::string& name)
{
    return name.size() >= 4 && upperAscii(name.substr(name.size() - 4)) == ".TXT";
}

// True when the text is well-formed UTF-8 holding at least one character beyond ASCII.
bool isUtf8BeyondAscii(std::string_view text)
{
    bool beyond = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4;
        else
            return false;
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        beyond = true;
        i += length;
    }
    return beyond;
}

// The model keeps file names as Windows-1252 program text. A dialog may hand a name back
// as the file system spells it (UTF-8); such a name is turned into program text here, and
// a letter Windows-1252 lacks becomes "?", which Save As then refuses.
std::string programName(const std::string& dialogName)
{
    return isUtf8BeyondAscii(dialogName) ? toCp1252(dialogName) : dialogName;
}

// A message that keeps the program's own text first and names the file and the cause below it.
std::string withReason(const std::string& text, const std::exception& error)
{
    return text + "\r\n\r\n" + toCp1252(error.what());
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

bool sameFolder(const fs::path& a, const fs::path& b)
{
    std::error_code ec;
    if (a == b)
        return true;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

} // namespace

// Save As and Open compare the chosen name with the working file as files, not as texts:
// "TEST.DSQ", "./test.dsq", "sub/../test.dsq" or an absolute path all designate it.
bool ExamModel::designatesWorkingFile(const std::string& name) const
{
    if (stripBlanks(name) == workingFile_)
        return true;
    const fs::path chosen = resolve(name);
    const fs::path working = workingPath();
    std::error_code ec;
    if (fs::exists(chosen, ec) && fs::exists(working, ec) && fs::equivalent(chosen, working, ec))
        return true;
    const fs::path a = canonicalOrAbsolute(chosen);
    const fs::path b = canonicalOrAbsolute(working);
    if (a == b)
        return true;
    return sameNameIgnoringCase(a.filename().string(), b.filename().string())
        && sameFolder(a.parent_path(), b.parent_path());
}

// ---- the header ----

void ExamModel::puttitle()
{
    guarded([&] { writeHeader(); });
}

void ExamModel::writeHeader()
{
    dropMirror();
    RecordFile file(workingPath(), TestRecordLength);
    file.write(1, header_.pack());
    file.close();
}

void ExamModel::acceptDescription(
    const std::string& title, const std::string& description, const std::string& instructions, int menuListed)
{
    auto store
        = [](const std::string& text, std::size_t width) { return stripBlanks(stripBlanks(text).substr(0, width)); };
    header_.TestTitle = store(title, TitleWidth);
    header_.TestDescription = store(description, DescriptionWidth);
    header_.TestInstructions = store(instructions, InstructionsWidth);
    header_.MenuListed = menuListed;
    view_.setTitleLabel(header_.TestTitle);
}

// ---- opening ----

void ExamModel::openTest()
{
    guarded([&] {
        const std::string name = programName(prompts_.openFileName("", OpenDialogFilter, 1));
        if (stripBlanks(name).empty()) {
            prompts_.message(IllegalOpenName, "");
            return;
        }
        lastDialogName_ = name;
        std::error_code ec;
        if (!fs::is_regular_file(resolve(name), ec)) {
            prompts_.message(IllegalOpenName, "");
            return;
        }
        try {
            openfile(name);
        } catch (const std::exception& error) {
            prompts_.message(withReason(IllegalOpenName, error), "");
            return;
        }
        view_.showSaveTest();
    });
}

void ExamModel::openListedTest(int entry)
{
    guarded([&] {
        if (entry < 1 || entry > static_cast<int>(fileList_.size()))
            return;
        try {
            openfile(fileList_[static_cast<std::size_t>(entry - 1)]);
        } catch (const std::exception& error) {
            prompts_.message(withReason(IllegalOpenName, error), "");
            return;
        }
        view_.showSaveTest();
    });
}

void ExamModel::openfile(const std::string& name)
{
    keepShownEdits();
    savetruefalse();

    // The file is measured and its header read before anything of the shown test is
    // replaced, so a file that is no test leaves the window as it was.
    const fs::path path = resolve(name);
    dropMirror();
    // Measured first, so that a huge file is refused before it is read.
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (!ec && size >= TestRecordLength
        && size / TestRecordLength - 1 > static_cast<std::uintmax_t>(MaxStoredQuestions))
        throw FileError(
            path.string(), "The file \"" + path.filename().string() + "\" holds more records than a test can have.");
    // The whole file is read once: its header now, its questions as the teacher steps to them.
    std::string bytes = readWholeFile(path);
    const long long wholeRecords = static_cast<long long>(bytes.size() / TestRecordLength);
    if (wholeRecords < 1)
        throw FileError(path.string(),
            "The file \"" + path.filename().string() + "\" holds no test: it is shorter than one record of "
                + formatInt(static_cast<long long>(TestRecordLength)) + " bytes.");
    if (wholeRecords - 1 > MaxStoredQuestions)
        throw FileError(
            path.string(), "The file \"" + path.filename().string() + "\" holds more records than a test can have.");

    header_ = TestHeader::unpack(std::string_view(bytes).substr(0, TestRecordLength));
    workingFile_ = name;
    mirrorBytes_ = std::move(bytes);
    mirrorName_ = workingFile_;
    mirrorValid_ = true;
    view_.setTitleLabel(header_.TestTitle);
    // A trailing partial record is no question; a file with only its header opens as
    // one blank question.
    questionCount_ = currentQuestion_ = static_cast<int>(std::max(1LL, wholeRecords - 1));
    getfile();
    showquestion1();
    refresh();
}

// ---- saving ----

void ExamModel::savetruefalse()
{
    if (workingFile_ != NewTestFileName || !unsaved_)
        return;
    state_.saveanswer = prompts_.askYesNo(NotSavedQuestion, state_.saveanswer);
    if (state_.saveanswer)
        saveAsRoutine();
}

void ExamModel::saveAs()
{
    guarded([&] { saveAsRoutine(); });
}

void ExamModel::saveAsRoutine()
{
    // Whatever the routine ends in, "&Save Test" is offered from then on.
    struct OfferSave {
        ExamView& view;
        ~OfferSave() { view.showSaveTest(); }
    } offerSave { view_ };
    const std::string chosen = programName(prompts_.saveFileName(SaveDialogTitle, SaveDialogFilter, 1));
    unsaved_ = false;
    const std::string name = stripBlanks(chosen);
    // A "?" stands for a letter Windows-1252 lacks (the dialog's name arrives as that text);
    // neither it nor "*" belongs in a file name, and saving under it would make another file.
    if (name.empty() || name.find_first_of("?*") != std::string::npos || isReservedName(name)) {
        prompts_.message(IllegalSaveName, "");
        return;
    }
    lastDialogName_ = name;
    if (designatesWorkingFile(name))
        return;

    const fs::path target = resolve(name);
    std::error_code ec;
    if (fs::is_directory(target, ec) || target.filename().empty() || !fs::is_directory(target.parent_path(), ec)) {
        prompts_.message(IllegalSaveName, "");
        return;
    }
    if (fs::exists(target, ec)) {
        state_.saveanswer = prompts_.askYesNo(
            "The file " + name + " already exists. Would you like to use this file", state_.saveanswer);
        if (!state_.saveanswer)
            return;
        // The old file is not deleted here: the new contents replace it by a rename
        // once they are completely written, so a failed save leaves it as it was.
    }

    if (endsWithTxt(name)) {
        try {
            saveastextfile(target);
        } catch (const std::exception& error) {
            prompts_.message(withReason(IllegalSaveName, error), "");
        }
        return;
    }

    saveTarget_ = name;
    refresh();
    try {
        savefile();
    } catch (const FileError& error) {
        prompts_.message(withReason("An error 0 on line " + formatInt(error.line()) + " was detected.", error), "");
    } catch (const std::system_error& error) {
        prompts_.message(
            withReason("An error " + formatInt(error.code().value()) + " on line 0 was detected.", error), "");
    } catch (const std::exception& error) {
        prompts_.message(withReason("An error 0 on line 0 was detected.", error), "");
    }
}

void ExamModel::savefile()
{
    putfile();
    std::string contents;
    {
        RecordFile in(workingPath(), TestRecordLength, RecordFile::Mode::Read);
        std::string bytes;
        for (long long r = 1; r <= questionCount_ + 1; ++r) {
            if (in.read(r, bytes))
                contents += bytes;
            else
                contents += r == 1 ? header_.pack() : QuestionRecord {}.pack();
        }
        in.close();
    }
    dropMirror();
    writeFileAtomically(resolve(saveTarget_), contents, faultHook_);
    workingFile_ = saveTarget_;
    currentQuestion_ = questionCount_;
    getfile();
    showquestion1();
}

void ExamModel::save()
{
    guarded([&] { putfile(); });
}

void ExamModel::newTest()
{
    guarded([&] {
        keepShownEdits();
        savetruefalse();
        recordBuffer_ = QuestionRecord {};
        workingFile_ = saveTarget_ = NewTestFileName;
        questionCount_ = currentQuestion_ = 1;
        fields_ = {};
        cleanQuestion_ = 0;
        view_.showFields("", "", "");
        header_ = TestHeader {};
        header_.TestTitle = "untitled";
        puttitle();
        unsaved_ = false;
        view_.setTitleLabel(header_.TestTitle);
        refresh();
    });
}

void ExamModel::closeTest()
{
    state_.lastMenuListed = header_.MenuListed;
    guarded([&] { keepShownEdits(); });
    guarded([&] { savetruefalse(); });
    guarded([&] {
        const fs::path scratch = state_.dataFolder / NewTestFileName;
        std::error_code ec;
        if (fs::exists(scratch, ec) && !fs::remove(scratch, ec) && ec)
            throw FileError(scratch.string(),
                "The file \"" + std::string(NewTestFileName) + "\" could not be deleted: " + ec.message() + ".");
    });
}

// ---- the test-file list ----

const std::vector<std::string>& ExamModel::updatefilelist()
{
    fileList_.clear();
    std::error_code ec;
    for (fs::directory_iterator it(state_.dataFolder, ec), end; !ec && it != end; it.increment(ec)) {
        // The list shows names as the program's Windows-1252 text; a name that text cannot
        // spell would show wrongly and open nothing, so it is left out.
        const std::string native = it->path().filename().string();
        const std::string name = toCp1252(native);
        if (fromCp1252(name) != native)
            continue;
        std::error_code typeError;
        if (name.size() > 4 && upperAscii(name.substr(name.size() - 4)) == ".DSQ" && it->is_regular_file(typeError))
            fileList_.push_back(name);
    }
    std::sort(fileList_.begin(), fileList_.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = upperAscii(a);
        const std::string ub = upperAscii(b);
        return ua != ub ? ua < ub : a < b;
    });
    return fileList_;
}

std::string ExamModel::listCaption(int n, const std::string& name)
{
    return (n < 10 ? "&" : "") + formatInt(n) + " " + name;
}

} // namespace tb
