#include "core/testbuilder/exam_model.h"

#include "core/foundation/cp1252.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"
#include "core/foundation/unit_tables.h"
#include "core/questions/drop_rate_question.h"
#include "core/questions/drug_questions.h"
#include "core/questions/infusion_questions.h"
#include "core/questions/metric_question.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tb {

namespace {

// The answer field is 12 characters wide. Cutting a longer general form there is harmless
// for a long fraction (0.0333333333), but would drop the exponent of a very small answer
// (3.33333333333333E-05 would read 3.3333333333) or the last digits of a very large one
// (35184372135424 would read 351843721354): such an answer is rounded to as many digits
// as fit beside an exponent instead.
std::string storedAnswer(double answer)
{
    const std::string general = formatNumber(answer);
    const std::string cut = general.substr(0, AnswerWidth);
    if (general.size() <= AnswerWidth || !std::isfinite(answer)
        || std::fabs(readNumber(cut) - answer) <= 1e-6 * std::fabs(answer))
        return fitWidth(cut, AnswerWidth);
    for (int decimals = 13; decimals >= 0; --decimals) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*E", decimals, answer);
        const std::string text = buffer;
        const auto e = text.find('E');
        std::string mantissa = text.substr(0, e);
        if (mantissa.find('.') != std::string::npos) {
            mantissa.erase(mantissa.find_last_not_of('0') + 1);
            if (mantissa.back() == '.')
                mantissa.pop_back();
        }
        const std::string shorter = mantissa + text.substr(e);
        if (shorter.size() <= AnswerWidth)
            return fitWidth(shorter, AnswerWidth);
    }
    return fitWidth(general, AnswerWidth);
}

// Metric, drop-rate and infusion questions are drawn again until they are not a repeat; after
// this many draws the last one is taken, so a small pool can never hang the command.
constexpr int MaxRedraws = 10000;

const char* const LimitWarning
    = "A limit of 99 questions has been set for each test. This is to protect students from unscrupulous tutors "
      "who would subject them to the horrors of such a long test and also to minimise the chances of users "
      "running out of hard disk space and memory.";

const char* const NoTabletMessage
    = "Sorry no tablet dosage questions could be constructed using the question categories selected from the "
      "menu bar.";
const char* const NoFluidMessage
    = "Sorry no fluid dosage questions could be constructed using the question categories selected from the "
      "menu bar.";

} // namespace

ExamModel::ExamModel(AppState& state, Prompts& prompts, ExamView& view)
    : state_(state)
    , prompts_(prompts)
    , view_(view)
{
    header_.TestTitle = "untitled";
    header_.MenuListed = state_.lastMenuListed;
    selectedCategories_.assign(static_cast<std::size_t>(std::max(0, state_.categories.CategoryCount)), true);
    recordBuffer_ = QuestionRecord {};
    guarded([&] {
        workingLock_ = lockTest(workingPath());
        startWorkingFile();
    });
    view_.setTitleLabel(stripBlanks(header_.TestTitle));
    refresh();
}

void ExamModel::guarded(const std::function<void()>& command)
{
    // Every command ends here: a file that cannot be read or written becomes a message
    // naming it, and the window goes on with the test as it stands.
    try {
        command();
    } catch (const std::exception& error) {
        prompts_.message(toCp1252(error.what()), "");
    } catch (...) {
        prompts_.message("An unexpected error stopped the command.", "");
    }
}

std::filesystem::path ExamModel::resolve(const std::string& name) const
{
    // Names are the program's Windows-1252 text; the file system spells them in UTF-8.
    const std::filesystem::path path(fromCp1252(name));
    if (path.is_absolute())
        return path;
    return state_.dataFolder / path;
}

std::filesystem::path ExamModel::workingPath() const
{
    return resolve(workingFile_);
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

void ExamModel::setCategoryTicked(int box, bool ticked)
{
    if (box < 0 || box >= CategoryBoxCount)
        return;
    categoryTicked_[static_cast<std::size_t>(box)] = ticked;
    if (std::none_of(categoryTicked_.begin(), categoryTicked_.end(), [](bool t) { return t; }))
        std::fill_n(categoryTicked_.begin(), 4, true);
}

bool ExamModel::categoryTicked(int box) const
{
    return box >= 0 && box < CategoryBoxCount && categoryTicked_[static_cast<std::size_t>(box)];
}

void ExamModel::setSelectedCategories(std::vector<bool> selected)
{
    selectedCategories_ = std::move(selected);
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
    RecordFile file(workingPath(), TestRecordLength, RecordFile::Mode::ReadWrite, faultHook_);
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
    RecordFile file(workingPath(), TestRecordLength, RecordFile::Mode::Read);
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
        // The whole part of the count box's leading number; a huge pasted number is
        // held to a size the limit below then cuts to what fits.
        const double wanted = std::trunc(readNumber(countText));
        int count = wanted < 1.0 ? 1 : static_cast<int>(std::min(wanted, 1.0e6));

        const std::vector<int> choices = categoryChoices();
        if (choices.empty())
            return;

        // An untouched new test: its blank question is replaced by the first new one.
        if (currentQuestion_ == 1 && questionCount_ == 1 && stripBlanks(fields_[0]).empty()
            && stripBlanks(fields_[2]).empty())
            questionCount_ = 0;
        else
            putfile(); // the shown question is left for the new ones: it is stored first

        if (questionCount_ + count > MaxQuestions) {
            count = MaxQuestions - questionCount_;
            view_.setCountText(formatInt(count));
            prompts_.message(LimitWarning, "Warning!");
        }

        try {
            for (int k = 1; k <= count; ++k) {
                unsaved_ = true;
                if (!draftOne(choices, recordBuffer_))
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

std::vector<int> ExamModel::categoryChoices() const
{
    std::vector<int> choices;
    for (int box = 0; box < CategoryBoxCount; ++box)
        if (categoryTicked_[static_cast<std::size_t>(box)])
            choices.push_back(box + 1);
    return choices;
}

bool ExamModel::draftOne(const std::vector<int>& choices, QuestionRecord& out)
{
    state_.rng().reseed();
    const int category
        = choices[static_cast<std::size_t>(randomWhole(state_.rng(), static_cast<int>(choices.size())) - 1)];
    if (!generateQuestion(category))
        return false;
    out.questionText = fitWidth(lastGenerated_.question, QuestionWidth);
    out.solutionText = fitWidth(lastGenerated_.solution, SolutionWidth);
    out.answerText = storedAnswer(lastGenerated_.answer);
    return true;
}

bool ExamModel::draftQuestion(int category, QuestionRecord& out)
{
    state_.rng().reseed();
    if (!generateQuestion(category))
        return false;
    out.questionText = fitWidth(lastGenerated_.question, QuestionWidth);
    out.solutionText = fitWidth(lastGenerated_.solution, SolutionWidth);
    out.answerText = storedAnswer(lastGenerated_.answer);
    return true;
}

int ExamModel::countForNewTest(const std::string& countText)
{
    const double wanted = std::trunc(readNumber(countText));
    const int count = wanted < 1.0 ? 1 : static_cast<int>(std::min(wanted, 1.0e6));
    if (count <= MaxQuestions)
        return count;
    view_.setCountText(formatInt(MaxQuestions));
    prompts_.message(LimitWarning, "Warning!");
    return MaxQuestions;
}

bool ExamModel::draftQuestions(int count, std::vector<QuestionRecord>& out)
{
    const std::vector<int> choices = categoryChoices();
    if (choices.empty())
        return false;
    for (int k = 1; k <= count; ++k) {
        QuestionRecord record;
        if (!draftOne(choices, record))
            return false;
        out.push_back(std::move(record));
    }
    return true;
}

bool ExamModel::generateQuestion(int category)
{
    generationOk_ = true;
    // Metric and infusion questions are drawn again until they are not a repeat; after
    // MaxRedraws draws the last one is taken. Infusion questions start on a new line.
    const auto drawUnrepeated = [&](GeneratedQuestion (*make)(AppState&), bool lineFirst) {
        for (int attempt = 1; attempt <= MaxRedraws; ++attempt) {
            lastGenerated_ = make(state_);
            if (!isRepeat(state_.repeatHistory, lastGenerated_.duplicateKeys))
                break;
        }
        if (lineFirst)
            lastGenerated_.question = LineBreak + lastGenerated_.question;
    };
    switch (category) {
    case MetricConversions:
        drawUnrepeated(makeMetricQuestion, false);
        break;
    case IVDropRates:
        drawUnrepeated(makeDropRateQuestion, true);
        break;
    case InfusionPumpRates:
        drawUnrepeated(makePumpRateQuestion, true);
        break;
    case InfusionTimes:
        drawUnrepeated(makeInfusionTimeQuestion, true);
        break;
    case TabletDosages:
    case FluidDosages:
        generationOk_ = generateDrugQuestion(category);
        break;
    default:
        break;
    }
    return generationOk_;
}

void ExamModel::fillCandidates(const DrugIndex& index)
{
    state_.CandidateCount = 0;
    const auto& categories = state_.categories;
    const int categoryCount = std::clamp(categories.CategoryCount, 0, MaxCategories);
    const int entries
        = std::min<int>(index.count, static_cast<int>(std::min(index.record.size(), index.category.size())) - 1);
    for (int i = 1; i <= categoryCount; ++i) {
        const auto entry = static_cast<std::size_t>(i - 1);
        if (entry >= selectedCategories_.size() || !selectedCategories_[entry])
            continue;
        for (int j = 1; j <= entries; ++j) {
            if (index.category[static_cast<std::size_t>(j)] != categories.CategoryCode[static_cast<std::size_t>(i)])
                continue;
            ++state_.CandidateCount;
            if (state_.CandidateRecords.size() <= static_cast<std::size_t>(state_.CandidateCount))
                state_.CandidateRecords.resize(static_cast<std::size_t>(state_.CandidateCount) + 1, 0);
            state_.CandidateRecords[static_cast<std::size_t>(state_.CandidateCount)]
                = index.record[static_cast<std::size_t>(j)];
        }
    }
}

bool ExamModel::generateDrugQuestion(int category)
{
    const bool tablet = category == TabletDosages;
    fillCandidates(tablet ? state_.TabletIndex : state_.FluidIndex);
    if (state_.CandidateCount == 0) {
        prompts_.message(tablet ? NoTabletMessage : NoFluidMessage, "");
        return false;
    }

    // Up to CandidateCount + 1 questions are drawn; the last is kept even if it repeats.
    // A drug that cannot give a question leaves the list, so this loop ends after at
    // most twice the number of candidates.
    const int attemptLimit = state_.CandidateCount + 1;
    int attempts = 0;
    while (attempts < attemptLimit) {
        DrugQuestionResult result = tablet ? makeTabletQuestion(state_) : makeFluidQuestion(state_);
        if (!result.question) {
            auto first = state_.CandidateRecords.begin() + 1;
            auto last = first + state_.CandidateCount;
            auto kept = std::remove(first, last, static_cast<std::int16_t>(result.record));
            const auto removed = static_cast<int>(last - kept);
            state_.CandidateCount -= removed;
            // Not one drug's fault (an unreadable data file), or no drug left: say why and stop.
            if (removed == 0 || state_.CandidateCount == 0) {
                prompts_.message(result.problem, "");
                return false;
            }
            continue;
        }
        ++attempts;
        lastGenerated_ = std::move(*result.question);
        if (!isRepeat(state_.repeatHistory, lastGenerated_.duplicateKeys))
            break;
    }
    return true;
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
        const auto path = workingPath();
        RecordFile in(path, TestRecordLength, RecordFile::Mode::Read);
        ScratchFile out(path, faultHook_, path.parent_path() / QuestionScratchFileName);
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
