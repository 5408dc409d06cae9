// Test files (*.dsq): any bytes as a saved test, opened and then stepped through,
// edited, deleted from, saved under another name and exported as text. No exception
// leaves a command, the position stays within the test, the file opened is changed
// only by the commands that write it, and what is saved reopens as the same test.

#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/testbuilder/exam_model.h"
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

using namespace tb;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

void checkPosition(const ExamModel& model)
{
    check(model.QuestionCount() >= 1, "at least one question");
    check(model.CurrentQuestion() >= 1 && model.CurrentQuestion() <= model.QuestionCount(),
        "the current question lies within the test");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 8 * TestRecordLength + 64)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The last byte picks which commands run, so that they meet the file in varied orders.
    const unsigned commands = size ? static_cast<unsigned char>(bytes.back()) : 0u;

    const auto folder = fuzz::privateFolder().fresh("tests");
    fuzz::writeBytes(folder / "given.dsq", bytes);

    headless::ScriptedPrompts prompts;
    headless::QuietView view;
    AppState state(std::make_unique<fuzz::InputRandom>(bytes), folder);
    ExamModel model(state, prompts, view);

    prompts.fileNames.push_back("given.dsq");
    model.openTest();
    const long long wholeRecords = static_cast<long long>(size / TestRecordLength);
    if (wholeRecords < 1) {
        check(!prompts.messages.empty(), "a file shorter than a record is reported");
        check(model.WorkingFile() == NewTestFileName, "a refused file does not become the working file");
        check(fuzz::readBytes(folder / "given.dsq") == bytes, "a refused file is left alone");
        return 0;
    }
    check(prompts.messages.empty(), "a file of whole records opens");
    check(model.QuestionCount() == std::max(1LL, wholeRecords - 1), "the question count is the record count");
    check(model.CurrentQuestion() == model.QuestionCount(), "the last question is shown");
    check(model.header().TestTitle.size() <= TitleWidth, "the title is kept to 40 characters");
    // Opening writes nothing.
    check(fuzz::readBytes(folder / "given.dsq") == bytes, "opening leaves the file as it was");

    if (commands & 1u) {
        model.back();
        model.forwardTen();
        model.backTen();
        checkPosition(model);
    }
    if (commands & 2u) {
        model.setField(0, "edited question");
        model.setField(2, "42");
        model.keyTyped();
        model.forward();
        checkPosition(model);
    }
    if (commands & 4u) {
        const int before = model.QuestionCount();
        model.deleteQuestion();
        check(model.QuestionCount() == std::max(1, before - 1), "a delete removes one question");
        checkPosition(model);
        const auto length = fuzz::readBytes(folder / "given.dsq").size();
        check(length % TestRecordLength == 0, "a delete leaves whole records");
    }
    if (commands & 8u) {
        model.options().numbquest_Click(static_cast<int>(commands >> 4) % 6);
        model.options().tfop_Click(static_cast<int>(commands >> 5) % 5);
        prompts.fileNames.push_back("given.TXT");
        model.saveAs();
        check(std::filesystem::exists(folder / "given.TXT"), "the export is written");
        check(model.WorkingFile() == "given.dsq", "an export does not change the working file");
    }

    // Save As under a new name; the copy reopens as the same test.
    const int count = model.QuestionCount();
    prompts.fileNames.push_back("copy.dsq");
    model.saveAs();
    for (const auto& m : prompts.messages)
        check(m.text.find("illegal") == std::string::npos && m.text.find("error") == std::string::npos,
            "saving a good test under a free name works");
    const std::string saved = fuzz::readBytes(folder / "copy.dsq");
    check(saved.size() == static_cast<std::size_t>(count + 1) * TestRecordLength, "the copy holds the whole test");
    check(model.WorkingFile() == "copy.dsq", "the copy becomes the working file");

    headless::ScriptedPrompts again;
    headless::QuietView otherView;
    AppState otherState(std::make_unique<fuzz::InputRandom>(bytes), folder);
    ExamModel reopened(otherState, again, otherView);
    again.fileNames.push_back("copy.dsq");
    reopened.openTest();
    check(again.messages.empty(), "the copy opens");
    check(reopened.QuestionCount() == count, "the copy reopens with every question");
    check(reopened.header().TestTitle == model.header().TestTitle, "the copy keeps the title");

    // Save As failing at one step (chosen by the input) leaves no part of a test behind.
    fuzz::FailingHook hook(1 + (commands >> 6) % 6);
    reopened.setFaultHook(&hook);
    again.fileNames.push_back("fault.dsq");
    reopened.saveAs();
    reopened.setFaultHook(nullptr);
    check(!std::filesystem::exists(folder / "fault.dsq") || fuzz::readBytes(folder / "fault.dsq") == saved,
        "a failed Save As leaves no partial test");
    check(fuzz::readBytes(folder / "copy.dsq") == saved, "a failed Save As keeps the working file");

    // The test window's commands that write (a question stored, a question deleted, the
    // header), one step of them failing or its scratch file replaced: the working file keeps
    // whole records and reopens with its questions, less at most the one deleted.
    fuzz::FailingHook commandHook(1 + (commands >> 3) % 24, (commands & 16u) != 0);
    reopened.setFaultHook(&commandHook);
    reopened.setField(0, "stored under a fault");
    reopened.keyTyped();
    reopened.back();
    reopened.deleteQuestion();
    reopened.puttitle();
    reopened.setFaultHook(nullptr);
    reopened.closeTest();
    const std::string left = fuzz::readBytes(folder / "copy.dsq");
    check(left.size() % TestRecordLength == 0, "a failed command leaves whole records");
    check(left.find(commandHook.planted()) == std::string::npos, "a replaced scratch file never becomes the test");
    headless::ScriptedPrompts third;
    headless::QuietView thirdView;
    AppState thirdState(std::make_unique<fuzz::InputRandom>(bytes), folder);
    ExamModel last(thirdState, third, thirdView);
    third.fileNames.push_back("copy.dsq");
    last.openTest();
    check(third.messages.empty(), "the test opens after a failed command");
    check(last.QuestionCount() == count || last.QuestionCount() == std::max(1, count - 1),
        "a failed command loses no question");
    last.closeTest();

    model.newTest();
    model.closeTest();
    return 0;
}
