#pragma once

#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/foundation/folder_lock.h"
#include "core/foundation/generated_question.h"
#include "core/foundation/prompts.h"
#include "core/foundation/record_file.h"
#include "core/testbuilder/exam_view.h"
#include "core/testbuilder/question_drafter.h"
#include "core/testbuilder/target_file.h"
#include "core/testbuilder/text_export.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

/// The caption of listed test n at the end of the File menu: "&n name" below 10, "n name"
/// from 10.
std::string listCaption(int n, const std::string& name);

/// The test being built and every command on it: Create Question, stepping, delete,
/// the test files, the header, the text export Save As makes. Every other feature (printing,
/// the learning-platform export, class versions) is a tool of its own that reads the test
/// through storedQuestions(). The window owns one and binds its controls to it; nothing here
/// uses Qt. No exception leaves a command: file errors become messages through `Prompts`.
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

    // ---- what the model holds for the window and its tools ----
    /// The window's choices of category: Create Question drafts its questions here.
    QuestionDrafter& drafter() { return drafter_; }
    const QuestionDrafter& drafter() const { return drafter_; }
    /// "Text File Options": followed by the text export, printing and class versions.
    TextFileOptions& options() { return options_; }
    const TextFileOptions& options() const { return options_; }
    /// Choosing, checking and writing a file beside this test.
    const TargetFiles& targets() const { return targets_; }

    // ---- commands ----
    /// Cmdgenerate_Click with the count box's text.
    void createQuestions(const std::string& countText);
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

    /// Questions 1..QuestionCount as the working file holds them: the one reader every tool
    /// reads the test through. Throws FileError.
    std::vector<QuestionRecord> storedQuestions() const;

    // ---- the test-file list ----
    /// updatefilelist: the *.dsq files of the data folder, bare names, sorted by name.
    const std::vector<std::string>& updatefilelist();
    const std::vector<std::string>& fileList() const { return fileList_; }

    // ---- state ----
    ButtonStatus buttonstatus();
    int QuestionCount() const { return questionCount_; }
    int CurrentQuestion() const { return currentQuestion_; }
    const std::string& WorkingFile() const { return workingFile_; }
    bool Unsaved() const { return unsaved_; }
    const QuestionRecord& RecordBuffer() const { return recordBuffer_; }
    /// Tests make whole-file rewrites (delete, Save As, export) fail at a chosen step.
    void setFaultHook(FaultHook* hook) { targets_.setFaultHook(hook); }

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
    /// Writes the text export of the test to `file`; throws FileError on failure.
    void saveastextfile(const std::filesystem::path& file);
    /// puttitle's write; throws FileError.
    void writeHeader();
    /// Writes the shown question into a saved test before the test is left, when it was
    /// edited since it was last stored or read.
    void keepShownEdits();
    /// The record bytes putfile stores for the three fields as they stand.
    std::string packShownFields() const;
    /// Writes the header of a new test as the whole working file.
    void startWorkingFile();
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
    QuestionRecord recordBuffer_;
    std::array<std::string, 3> fields_;
    std::vector<std::string> fileList_;
    std::string lastDialogName_;
    QuestionDrafter drafter_;
    TextFileOptions options_;
    TargetFiles targets_; // reads workingFile_ and header_
    LockFile workingLock_; // held while WorkingFile is this model's
};

} // namespace tb
