#pragma once

#include "core/export/print_layout.h"
#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/foundation/folder_lock.h"
#include "core/foundation/generated_question.h"
#include "core/foundation/prompts.h"
#include "core/foundation/record_file.h"
#include "core/testbuilder/target_file.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

/// What the test window shows of the state: buttonstatus's result.
struct ButtonStatus {
    std::string fileLabel; // Label7: "File : " + WorkingFile
    std::string positionLabel; // Label1: "3 / 5"
    bool complete = false; // question and answer non-blank: navigation shown, Label6 hidden
    bool saveAsVisible = false;
};

/// "1 question", "19 questions": a count as the status line reports it.
std::string questionsText(int count);

/// The test window's side of the model: the model calls it when something is to be shown.
/// Texts are Windows-1252.
class ExamView {
public:
    virtual ~ExamView() = default;
    /// showquestion1: the three editing fields get these texts (trailing blanks removed).
    virtual void showFields(const std::string& question, const std::string& solution, const std::string& answer) = 0;
    /// The count box `Text1` gets a new text (the limit rule writes the reduced count).
    virtual void setCountText(const std::string& text) = 0;
    /// The title label `Label5` gets the stripped title.
    virtual void setTitleLabel(const std::string& title) = 0;
    /// buttonstatus ran: apply its result.
    virtual void applyStatus(const ButtonStatus& status) = 0;
    /// "&Save Test" becomes visible (after the first Open Test or Save As).
    virtual void showSaveTest() = 0;
    /// A command that needs no answer reports what it did in the window's status line.
    virtual void showStatus(const std::string& text) { (void)text; }
};

/// The test being built and every command on it: Create Question, stepping, delete,
/// the test files, the header, the text export. The window owns one and binds its
/// controls to it; nothing here uses Qt. No exception leaves a command: file errors
/// become messages through `Prompts`.
class ExamModel final {
public:
    /// Sets up a new test "untitled" in "test.tmp" of state.dataFolder and writes its header.
    ExamModel(AppState& state, Prompts& prompts, ExamView& view);

    // ---- the editing buffer: the three fields the window shows ----
    /// The window reports each change of a field's text (0 question, 1 solution, 2 answer);
    /// runs buttonstatus.
    void setField(int field, const std::string& text);
    const std::string& field(int field) const;
    /// A key was typed into one of the three fields: sets Unsaved.
    void keyTyped();

    // ---- choices of the window ----
    /// Category box i (0..5) ticked or not; unticking the last ticks the first four again.
    void setCategoryTicked(int box, bool ticked);
    bool categoryTicked(int box) const;
    /// Which entries of Lstcategory are selected: entry i - 1 is category i.
    void setSelectedCategories(std::vector<bool> selected);
    const std::vector<bool>& selectedCategories() const { return selectedCategories_; }

    // ---- commands ----
    /// Cmdgenerate_Click with the count box's text.
    void createQuestions(const std::string& countText);
    /// One question of `category` into the record buffer; false (GenerationOk cleared)
    /// when no tablet or fluid question could be built.
    bool generateQuestion(int category);
    void back(); // cmdforward 0
    void forward(); // cmdforward 1
    void deleteQuestion(); // cmdforward 2
    void backTen(); // Command2 0
    void forwardTen(); // Command2 1

    void newTest(); // "&New Test"
    void openTest(); // "&Open Test": the open dialog, then openfile
    void openListedTest(int entry); // mnuop(entry), 1-based
    void saveAs(); // "Save  &As Test"
    void save(); // "&Save Test"
    /// The closing steps: savetruefalse, then "test.tmp" deleted.
    void closeTest();

    /// Writes the header as record 1 of the working file; a failure becomes a message.
    void puttitle();
    /// The fields edited by Frmtitle; the caller runs puttitle after the dialog.
    TestHeader& header() { return header_; }
    const TestHeader& header() const { return header_; }
    /// Frmtitle's OK: takes the dialog's texts into the header fields (cut to width).
    void acceptDescription(
        const std::string& title, const std::string& description, const std::string& instructions, int menuListed);

    // ---- export options ----
    void numbquest_Click(int index);
    void tfop_Click(int index);
    int numberingStyle() const { return numbering_; }
    bool includeOption(int index) const { return includes_[static_cast<std::size_t>(index)]; }
    /// Writes the text export of the test to `file`; throws FileError on failure.
    void saveastextfile(const std::filesystem::path& file);
    /// "E&xport for Learning Platform...": asks for a file and writes the test as stored in
    /// the working file as Moodle XML, GIFT or a QTI 2.1 package.
    void exportForPlatform();

    // ---- printing: the same options as the text export, and working space (tfop_Click(5)) ----
    /// The printed form of the test as the working file holds it; throws FileError.
    PrintDocument printDocument() const;
    /// "&Print Test...": the system's print dialog, then the printer.
    void printTest(DocumentPrinter& printer);
    /// "Export as PD&F...": asks for a file name (".pdf" added when it has no extension),
    /// runs the writers' check, asks before replacing a file, writes the PDF and reports it
    /// in the status line.
    void exportPdf(DocumentPrinter& printer);

    // ---- class versions: new tests made with the window's choices, beside this one ----
    /// The number of questions Create Question makes in a new, untouched test for the count
    /// box's text: at least 1; above the limit the count box gets the reduced number and the
    /// limit warning is shown.
    int countForNewTest(const std::string& countText);
    /// Makes `count` questions with the ticked categories and selected drug categories as
    /// Create Question does, appending them to `out`; the test and the window are untouched.
    /// False when no tablet or fluid question could be built (its message was shown).
    bool draftQuestions(int count, std::vector<QuestionRecord>& out);
    /// One question of `category` made as Create Question makes it, into `out`; the test and
    /// the window are untouched. False when no tablet or fluid question could be built.
    bool draftQuestion(int category, QuestionRecord& out);
    /// Questions 1..QuestionCount as the working file holds them; throws FileError.
    std::vector<QuestionRecord> storedQuestions() const;
    /// True when `name` designates the working file, in any spelling.
    bool designatesWorkingFile(const std::string& name) const;
    /// The check every writer of a chosen file runs first: the program's own files, the
    /// working test and tests another copy holds are refused; the target's lock is held in
    /// the result while it is written.
    TargetCheck checkTarget(const std::filesystem::path& target) const;
    /// The name the export dialogs propose: the test's file name with `extension` instead of
    /// its own (a new test is named after its title), as the file system spells it.
    std::string proposedFileName(const std::string& extension) const;
    /// The lock of a test about to be written; throws FileError naming the file and its
    /// holder when another copy of the program has it as its working file.
    LockFile lockTest(const std::filesystem::path& file) const;

    // ---- the test-file list ----
    /// updatefilelist: the *.dsq files of the data folder, bare names, sorted by name.
    const std::vector<std::string>& updatefilelist();
    const std::vector<std::string>& fileList() const { return fileList_; }
    /// The caption of listed entry n: "&n name" below 10, "n name" from 10.
    static std::string listCaption(int n, const std::string& name);

    // ---- state ----
    ButtonStatus buttonstatus();
    int QuestionCount() const { return questionCount_; }
    int CurrentQuestion() const { return currentQuestion_; }
    const std::string& WorkingFile() const { return workingFile_; }
    const std::string& SaveTarget() const { return saveTarget_; }
    bool Unsaved() const { return unsaved_; }
    bool GenerationOk() const { return generationOk_; }
    const QuestionRecord& RecordBuffer() const { return recordBuffer_; }
    /// The working file's path in the data folder.
    std::filesystem::path workingPath() const;
    /// A file name (Windows-1252 program text) as a path: absolute names stay, others are
    /// in the data folder.
    std::filesystem::path resolve(const std::string& name) const;
    /// The question, answer and solution the last generateQuestion left for its caller.
    const GeneratedQuestion& lastGenerated() const { return lastGenerated_; }
    /// Tests make whole-file rewrites (delete, Save As, export) fail at a chosen step.
    void setFaultHook(FaultHook* hook) { faultHook_ = hook; }

private:
    /// Stores the shown question; `durable` also flushes it to the disk, for a command that
    /// reports it saved.
    void putfile(bool durable = false);
    void getfile();
    void showquestion1();
    void openfile(const std::string& name);
    void savefile();
    void savetruefalse();
    void refresh();

    void saveAsRoutine();
    /// True when `path` does not exist yet or the teacher answers "&Yes" to replacing `name`
    /// (the question Save As asks; every command that writes a chosen file asks it).
    bool mayReplace(const std::filesystem::path& path, const std::string& name);
    /// puttitle's write; throws FileError.
    void writeHeader();
    void fillCandidates(const DrugIndex& index);
    bool generateDrugQuestion(int category);
    /// Writes the shown question into a saved test before the test is left, when it was
    /// edited since it was last stored or read.
    void keepShownEdits();
    /// The record bytes putfile stores for the three fields as they stand.
    std::string packShownFields() const;
    /// Writes the header of a new test as the whole working file.
    void startWorkingFile();
    /// The codes of the ticked category boxes, in box order.
    std::vector<int> categoryChoices() const;
    /// One pass of Create Question: a category drawn from `choices`, its question generated
    /// and cut to the record's widths. False when no tablet or fluid question could be built.
    bool draftOne(const std::vector<int>& choices, QuestionRecord& out);
    /// Runs one command; whatever it throws becomes a message to the teacher.
    void guarded(const std::function<void()>& command);

    AppState& state_;
    Prompts& prompts_;
    ExamView& view_;

    TestHeader header_;
    int questionCount_ = 1;
    int currentQuestion_ = 1;
    std::string workingFile_ = NewTestFileName;
    std::string saveTarget_ = NewTestFileName;
    bool unsaved_ = false;
    bool generationOk_ = true;
    QuestionRecord recordBuffer_;
    std::array<std::string, 3> fields_;
    std::array<bool, CategoryBoxCount> categoryTicked_ { true, true, true, true, false, false };
    std::vector<bool> selectedCategories_;
    int numbering_ = 1;
    // Title, description, instructions, answer key, solutions; working space on the printed paper.
    std::array<bool, 6> includes_ { true, true, true, true, true, false };
    std::vector<std::string> fileList_;
    std::string lastDialogName_;
    GeneratedQuestion lastGenerated_;
    FaultHook* faultHook_ = nullptr;
    LockFile workingLock_; // held while WorkingFile is this model's
};

} // namespace tb
