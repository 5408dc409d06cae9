#include "core/testbuilder/exam_model.h"

#include "core/drugdb/drug_file.h"
#include "core/drugdb/index_files.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"
#include "core/testbuilder/target_file.h"

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

bool endsWithTxt(const std::string& name)
{
    return name.size() >= 4 && upperAscii(name.substr(name.size() - 4)) == ".TXT";
}

// What went wrong, naming the file: the details a message box shows on request.
std::string reasonOf(const std::exception& error)
{
    return toCp1252(error.what());
}

// The message of a save that failed: N is the system's error number where there is one, M the
// line where known.
std::string errorOnLine(int number, int line)
{
    return "An error " + formatInt(number) + " on line " + formatInt(line) + " was detected.";
}

} // namespace

std::string questionsText(int count)
{
    return formatInt(count) + (count == 1 ? " question" : " questions");
}

std::string listCaption(int n, const std::string& name)
{
    return (n < 10 ? "&" : "") + formatInt(n) + " " + name;
}

std::vector<QuestionRecord> ExamModel::storedQuestions() const
{
    // The questions come from the working file as last stored, not from the fields.
    std::vector<QuestionRecord> records;
    RecordFile in(targets_.workingPath(), TestRecordLength, RecordFile::Mode::Read);
    std::string bytes;
    for (long long r = 2; r <= questionCount_ + 1; ++r)
        records.push_back(in.read(r, bytes) ? QuestionRecord::unpack(bytes) : QuestionRecord::unpack({}));
    in.close();
    return records;
}

void ExamModel::saveastextfile(const fs::path& file)
{
    targets_.writeWhole(file, textFileContents(header_, storedQuestions(), options_));
}

// ---- the header ----

void ExamModel::puttitle()
{
    guarded([&] { writeHeader(); });
}

void ExamModel::writeHeader()
{
    RecordFile file(targets_.workingPath(), TestRecordLength);
    file.write(1, header_.pack());
    file.close();
}

void ExamModel::startWorkingFile()
{
    // A new test starts from its header alone, so no question of an earlier test left in
    // "test.tmp" can come back.
    targets_.writeWhole(targets_.workingPath(), header_.pack());
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
        const std::string name = nameFromDialog(prompts_.openFileName("", OpenDialogFilter, 1));
        if (stripBlanks(name).empty()) {
            prompts_.message(IllegalOpenName, "");
            return;
        }
        lastDialogName_ = name;
        std::error_code ec;
        if (!fs::is_regular_file(targets_.resolve(name), ec)) {
            prompts_.message(IllegalOpenName, "");
            return;
        }
        try {
            openfile(name);
        } catch (const TestInUse& error) {
            prompts_.message(reasonOf(error), "");
            return;
        } catch (const std::exception& error) {
            prompts_.message(IllegalOpenName, "", reasonOf(error));
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
        } catch (const TestInUse& error) {
            prompts_.message(reasonOf(error), "");
            return;
        } catch (const std::exception& error) {
            prompts_.message(IllegalOpenName, "", reasonOf(error));
        }
    });
}

void ExamModel::openfile(const std::string& name)
{
    keepShownEdits();
    savetruefalse();

    // The file is measured and its header read before anything of the shown test is
    // replaced, so a file that is no test leaves the window as it was.
    const fs::path path = targets_.resolve(name);
    const bool reopened = targets_.designatesWorkingFile(name);
    LockFile lock = reopened ? LockFile {} : targets_.lockTest(path);
    // Measured first, so that a huge file is refused before it is read.
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (!ec && size >= TestRecordLength
        && size / TestRecordLength - 1 > static_cast<std::uintmax_t>(MaxStoredQuestions))
        throw FileError(
            path.string(), "The file \"" + path.filename().string() + "\" holds more records than a test can have.");
    // The size was checked above, so reading the whole file to check its records is bounded.
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
    if (!reopened)
        workingLock_ = std::move(lock);
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
    const std::string chosen = nameFromDialog(prompts_.saveFileName(SaveDialogTitle, SaveDialogFilter, 1));
    unsaved_ = false;
    std::string name = stripBlanks(chosen);
    if (name.empty()) {
        prompts_.message(IllegalSaveName, "");
        return;
    }
    // A name typed without any extension is a test file: it gets ".dsq", so that it shows in the
    // test list and the open dialog, and the student program finds it. Any extension stays.
    if (fs::path(fromCp1252(name)).extension().empty())
        name += ".dsq";
    lastDialogName_ = name;
    const fs::path target = targets_.resolve(name);
    TargetCheck check = targets_.check(target);
    switch (check.refusal) {
    case TargetRefusal::None:
        break;
    case TargetRefusal::WorkingFile:
        return; // saving under its own name does nothing
    case TargetRefusal::Held:
        prompts_.message(check.reason, "");
        return;
    case TargetRefusal::NotAName:
    case TargetRefusal::Reserved:
        prompts_.message(IllegalSaveName, "");
        return;
    }
    LockFile targetLock = std::move(check.lock);
    // The old file is not deleted here: the new contents replace it by a rename once they are
    // completely written, so a failed save leaves it as it was.
    if (!targets_.mayReplace(target, name))
        return;

    if (endsWithTxt(name)) {
        try {
            saveastextfile(target);
        } catch (const std::exception& error) {
            prompts_.message(IllegalSaveName, "", reasonOf(error));
        }
        return;
    }

    saveTarget_ = name;
    refresh();
    try {
        savefile();
        workingLock_ = std::move(targetLock);
    } catch (const FileError& error) {
        prompts_.message(errorOnLine(error.code(), error.line()), "", reasonOf(error));
    } catch (const std::system_error& error) {
        prompts_.message(errorOnLine(error.code().value(), 0), "", reasonOf(error));
    } catch (const std::exception& error) {
        prompts_.message(errorOnLine(0, 0), "", reasonOf(error));
    }
}

void ExamModel::savefile()
{
    putfile();
    std::string contents;
    {
        RecordFile in(targets_.workingPath(), TestRecordLength, RecordFile::Mode::Read);
        std::string bytes;
        for (long long r = 1; r <= questionCount_ + 1; ++r) {
            if (in.read(r, bytes))
                contents += bytes;
            else
                contents += r == 1 ? header_.pack() : QuestionRecord {}.pack();
        }
        in.close();
    }
    targets_.writeWhole(targets_.resolve(saveTarget_), contents);
    workingFile_ = saveTarget_;
    currentQuestion_ = questionCount_;
    getfile();
    showquestion1();
}

void ExamModel::save()
{
    // "&Save Test" stores the shown question in place: it is on the disk when the command ends.
    guarded([&] { putfile(true); });
}

void ExamModel::newTest()
{
    guarded([&] {
        keepShownEdits();
        savetruefalse();
        if (workingFile_ != NewTestFileName)
            workingLock_ = targets_.lockTest(targets_.resolve(NewTestFileName));
        recordBuffer_ = QuestionRecord {};
        workingFile_ = saveTarget_ = NewTestFileName;
        questionCount_ = currentQuestion_ = 1;
        fields_ = {};
        view_.showFields("", "", "");
        header_ = TestHeader {};
        header_.TestTitle = "untitled";
        startWorkingFile();
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
        if (workingFile_ != NewTestFileName)
            workingLock_ = targets_.lockTest(scratch);
        std::error_code ec;
        if (fs::exists(scratch, ec) && !fs::remove(scratch, ec) && ec)
            throw FileError(scratch.string(),
                "The file \"" + std::string(NewTestFileName) + "\" could not be deleted: " + ec.message() + ".");
    });
    workingLock_.release();
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

} // namespace tb
