#include "core/testbuilder/exam_model.h"

#include "core/testbuilder/command_guard.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"

#include <algorithm>

namespace tb {

ExamModel::ExamModel(AppState& state, Prompts& prompts, ExamView& view)
    : state_(state)
    , prompts_(prompts)
    , view_(view)
    , drafter_(state, prompts, view)
    , targets_(state, prompts, workingFile_, header_)
{
    header_.TestTitle = "untitled";
    header_.MenuListed = state_.lastMenuListed;
    recordBuffer_ = QuestionRecord {};
    guarded([&] {
        workingLock_ = targets_.lockTest(targets_.workingPath());
        startWorkingFile();
    });
    view_.setTitleLabel(stripBlanks(header_.TestTitle));
    refresh();
}

void ExamModel::guarded(const std::function<void()>& command)
{
    runGuarded(prompts_, command);
}

// ---- the editing buffer ----

void ExamModel::setField(int field, const std::string& text)
{
    if (field < 0 || field > 2)
        return;
    fields_[static_cast<std::size_t>(field)] = text;
    refresh();
}

const std::string& ExamModel::field(int field) const
{
    return fields_[static_cast<std::size_t>(std::clamp(field, 0, 2))];
}

void ExamModel::keyTyped()
{
    unsaved_ = true;
}

// ---- storing and showing the current question ----

namespace {

// A field as putfile stores it: outer blanks removed, then cut or blank-padded to its width.
void appendStoredField(std::string& out, std::string_view text, std::size_t width)
{
    const std::size_t end = lengthWithoutTrailingBlanks(text);
    const std::size_t first = end == 0 ? 0 : text.find_first_not_of(' ');
    const std::string_view kept = text.substr(first, end - first);
    const std::string_view cut = kept.substr(0, width);
    out.append(cut);
    out.append(width - cut.size(), ' ');
}

bool blankText(std::string_view text)
{
    return lengthWithoutTrailingBlanks(text) == 0;
}

} // namespace

std::string ExamModel::packShownFields() const
{
    std::string out;
    out.reserve(TestRecordLength);
    appendStoredField(out, fields_[0], QuestionWidth);
    appendStoredField(out, fields_[1], SolutionWidth);
    appendStoredField(out, fields_[2], AnswerWidth);
    return out;
}

void ExamModel::putfile(bool durable)
{
    const std::string packed = packShownFields();
    recordBuffer_ = QuestionRecord::unpack(packed);
    RecordFile file(targets_.workingPath(), TestRecordLength, RecordFile::Mode::ReadWrite, targets_.faultHook());
    // Every record before this one holds what a command wrote: a question never stored is
    // written as the blank question it is, never left as a gap of zero bytes.
    const QuestionRecord blank;
    for (long long r = std::max(2LL, file.recordCount() + 1); r <= currentQuestion_; ++r)
        file.write(r, blank.pack());
    file.write(currentQuestion_ + 1, packed);
    if (durable)
        file.sync();
    file.close();
}

void ExamModel::getfile()
{
    if (currentQuestion_ <= 0)
        return;
    RecordFile file(targets_.workingPath(), TestRecordLength, RecordFile::Mode::Read);
    std::string bytes;
    // A question past the end of the file (the only question of a test after its delete)
    // shows as a blank one; a short last record reads with zero bytes after it.
    if (file.read(currentQuestion_ + 1, bytes))
        recordBuffer_ = QuestionRecord::unpack(bytes);
    else
        recordBuffer_ = QuestionRecord {};
}

void ExamModel::showquestion1()
{
    auto trimEnd
        = [](std::string& field, const std::string& text) { field.assign(text, 0, lengthWithoutTrailingBlanks(text)); };
    trimEnd(fields_[0], recordBuffer_.questionText);
    trimEnd(fields_[1], recordBuffer_.solutionText);
    trimEnd(fields_[2], recordBuffer_.answerText);
    view_.showFields(fields_[0], fields_[1], fields_[2]);
    refresh();
}

void ExamModel::keepShownEdits()
{
    if (sameNameIgnoringCase(workingFile_, NewTestFileName) || currentQuestion_ < 1)
        return;
    if (packShownFields() != recordBuffer_.pack())
        putfile();
}

// ---- the state display ----

ButtonStatus ExamModel::buttonstatus()
{
    ButtonStatus status;
    status.fileLabel = "File : " + workingFile_;
    status.positionLabel = formatInt(currentQuestion_) + " / " + formatInt(questionCount_);
    status.complete = !blankText(fields_[0]) && !blankText(fields_[2]);
    status.saveAsVisible = status.complete || questionCount_ > 1;
    // A test whose only question is still incomplete holds nothing worth a prompt.
    if (!status.saveAsVisible)
        unsaved_ = false;
    return status;
}

void ExamModel::refresh()
{
    view_.applyStatus(buttonstatus());
}

// ---- Create Question ----

void ExamModel::createQuestions(const std::string& countText)
{
    guarded([&] {
        int count = QuestionDrafter::wantedCount(countText);
        const std::vector<int> choices = drafter_.categoryChoices();
        if (choices.empty())
            return;

        // An untouched new test: its blank question is replaced by the first new one.
        if (currentQuestion_ == 1 && questionCount_ == 1 && stripBlanks(fields_[0]).empty()
            && stripBlanks(fields_[2]).empty())
            questionCount_ = 0;
        else
            putfile(); // the shown question is left for the new ones: it is stored first

        count = drafter_.holdToLimit(count, MaxQuestions - questionCount_);

        try {
            for (int k = 1; k <= count; ++k) {
                unsaved_ = true;
                if (!drafter_.draftOne(choices, recordBuffer_))
                    break;
                showquestion1();
                ++questionCount_;
                currentQuestion_ = questionCount_;
                putfile();
                refresh();
            }
        } catch (...) {
            if (questionCount_ == 0)
                questionCount_ = 1;
            refresh();
            throw;
        }
        if (questionCount_ == 0)
            questionCount_ = 1;
        refresh();
    });
}

// ---- stepping and deleting ----

void ExamModel::back()
{
    guarded([&] {
        putfile();
        --currentQuestion_;
        if (currentQuestion_ < 1)
            currentQuestion_ = questionCount_;
        getfile();
        showquestion1();
        refresh();
    });
}

void ExamModel::forward()
{
    guarded([&] {
        putfile();
        ++currentQuestion_;
        if (currentQuestion_ <= questionCount_) {
            getfile();
            showquestion1();
        } else {
            fields_ = {};
            view_.showFields("", "", "");
            questionCount_ = currentQuestion_;
            putfile();
        }
        refresh();
    });
}

// The jump buttons show the question they arrive at, and so refresh the position display, every
// time, even when the jump cannot move (back ten from question 1).
void ExamModel::backTen()
{
    guarded([&] {
        putfile();
        currentQuestion_ = std::max(1, currentQuestion_ - 10);
        getfile();
        showquestion1();
    });
}

void ExamModel::forwardTen()
{
    guarded([&] {
        putfile();
        currentQuestion_ = std::max(1, std::min(questionCount_, currentQuestion_ + 10));
        getfile();
        showquestion1();
    });
}

void ExamModel::deleteQuestion()
{
    guarded([&] {
        putfile();
        // The shortened test is built whole in "MXtmp.TMP" beside the working file and
        // renamed over it only when complete: the working file is never shifted in place.
        const auto path = targets_.workingPath();
        RecordFile in(path, TestRecordLength, RecordFile::Mode::Read);
        ScratchFile out(path, targets_.faultHook(), path.parent_path() / QuestionScratchFileName);
        std::string bytes;
        for (long long r = 1; r <= questionCount_ + 1; ++r) {
            if (r == currentQuestion_ + 1)
                continue;
            if (in.read(r, bytes))
                out.append(bytes);
            else
                out.append(r == 1 ? header_.pack() : QuestionRecord {}.pack());
        }
        in.close();
        out.commit();

        if (questionCount_ == 1)
            questionCount_ = 2;
        --questionCount_;
        if (currentQuestion_ > questionCount_)
            currentQuestion_ = questionCount_;
        getfile();
        showquestion1();
        unsaved_ = true;
        refresh();
    });
}

} // namespace tb
