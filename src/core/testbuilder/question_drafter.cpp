#include "core/testbuilder/question_drafter.h"

#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"
#include "core/foundation/unit_tables.h"
#include "core/questions/drop_rate_question.h"
#include "core/questions/drug_questions.h"
#include "core/questions/infusion_questions.h"
#include "core/questions/metric_question.h"
#include "core/questions/units_questions.h"
#include "core/questions/weight_dose_questions.h"

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

QuestionDrafter::QuestionDrafter(AppState& state, Prompts& prompts, ExamView& view)
    : state_(state)
    , prompts_(prompts)
    , view_(view)
{
    selectedCategories_.assign(static_cast<std::size_t>(std::max(0, state_.categories.CategoryCount)), true);
}

void QuestionDrafter::setCategoryTicked(int box, bool ticked)
{
    if (box < 0 || box >= CategoryBoxCount)
        return;
    categoryTicked_[static_cast<std::size_t>(box)] = ticked;
    if (std::none_of(categoryTicked_.begin(), categoryTicked_.end(), [](bool t) { return t; }))
        std::fill_n(categoryTicked_.begin(), 4, true);
}

bool QuestionDrafter::categoryTicked(int box) const
{
    return box >= 0 && box < CategoryBoxCount && categoryTicked_[static_cast<std::size_t>(box)];
}

void QuestionDrafter::setSelectedCategories(std::vector<bool> selected)
{
    selectedCategories_ = std::move(selected);
}

std::vector<int> QuestionDrafter::categoryChoices() const
{
    std::vector<int> choices;
    for (int box = 0; box < CategoryBoxCount; ++box)
        if (categoryTicked_[static_cast<std::size_t>(box)])
            choices.push_back(box + 1);
    return choices;
}

int QuestionDrafter::wantedCount(const std::string& countText)
{
    // The whole part of the count box's leading number; a huge pasted number is held to a
    // size the limit then cuts to what fits.
    const double wanted = std::trunc(readNumber(countText));
    return wanted < 1.0 ? 1 : static_cast<int>(std::min(wanted, 1.0e6));
}

int QuestionDrafter::holdToLimit(int count, int room)
{
    if (count <= room)
        return count;
    view_.setCountText(formatInt(room));
    prompts_.message(LimitWarning, "Warning!");
    return room;
}

int QuestionDrafter::countForNewTest(const std::string& countText)
{
    return holdToLimit(wantedCount(countText), MaxQuestions);
}

void QuestionDrafter::storeGenerated(QuestionRecord& out) const
{
    out.questionText = fitWidth(lastGenerated_.question, QuestionWidth);
    out.solutionText = fitWidth(lastGenerated_.solution, SolutionWidth);
    out.answerText = storedAnswer(lastGenerated_.answer);
}

bool QuestionDrafter::draftOne(const std::vector<int>& choices, QuestionRecord& out)
{
    state_.rng().reseed();
    const int category
        = choices[static_cast<std::size_t>(randomWhole(state_.rng(), static_cast<int>(choices.size())) - 1)];
    if (!generateQuestion(category))
        return false;
    storeGenerated(out);
    return true;
}

bool QuestionDrafter::draftQuestion(int category, QuestionRecord& out)
{
    state_.rng().reseed();
    if (!generateQuestion(category))
        return false;
    storeGenerated(out);
    return true;
}

bool QuestionDrafter::draftQuestions(int count, std::vector<QuestionRecord>& out)
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

bool QuestionDrafter::generateQuestion(int category)
{
    generationOk_ = true;
    // Metric, infusion and units questions are drawn again until they are not a repeat; after
    // MaxRedraws draws the last one is taken. Infusion and units questions start on a new line.
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
    case HeparinInsulinUnits:
        drawUnrepeated(makeUnitsQuestion, true);
        break;
    case TabletDosages:
    case FluidDosages:
        generationOk_ = generateDrugQuestion(category);
        break;
    case WeightBasedDoses:
        generationOk_ = generateWeightDoseQuestion();
        break;
    default:
        break;
    }
    return generationOk_;
}

void QuestionDrafter::fillCandidates(const DrugIndex& index)
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

bool QuestionDrafter::generateDrugQuestion(int category)
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

const MatchedWeightDoses& QuestionDrafter::weightDoses()
{
    // Matching reads the whole drug data file (5 ms at 32767 records): Create Question and class
    // versions match once and reuse it for as long as neither file changes.
    std::string stamp = weightDoseFilesStamp(state_.dataFolder);
    if (stamp != weightDosesStamp_ || stamp.empty()) {
        weightDoses_ = matchWeightDoses(state_.dataFolder);
        weightDosesStamp_ = std::move(stamp);
    }
    return weightDoses_;
}

bool QuestionDrafter::generateWeightDoseQuestion()
{
    const MatchedWeightDoses& matched = weightDoses();
    std::string problem = weightDosesUnavailable(matched);
    if (!problem.empty()) {
        prompts_.message("No weight-based dose question can be made. " + problem, "");
        return false;
    }
    for (int attempt = 1; attempt <= MaxRedraws; ++attempt) {
        DrugQuestionResult result = makeWeightDoseQuestion(state_, matched.drugs);
        if (!result.question) {
            prompts_.message(result.problem, "");
            return false;
        }
        lastGenerated_ = std::move(*result.question);
        if (!isRepeat(state_.repeatHistory, lastGenerated_.duplicateKeys))
            break;
    }
    lastGenerated_.question = LineBreak + lastGenerated_.question;
    return true;
}

} // namespace tb
