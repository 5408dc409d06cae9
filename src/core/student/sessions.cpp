#include "core/student/sessions.h"

#include "core/drugdb/index_files.h"
#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/file_error.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"
#include "core/questions/drop_rate_question.h"
#include "core/questions/drug_questions.h"
#include "core/questions/infusion_questions.h"
#include "core/questions/metric_question.h"
#include "core/questions/units_questions.h"
#include "core/questions/weight_dose_questions.h"
#include "core/startup/startup_loader.h"

#include <algorithm>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

// How often a repeat is drawn again before it is taken.
constexpr int MaxRedraws = 100;

ResultRow resultRow(const QuestionState& state)
{
    ResultRow row;
    row.number = state.question.number;
    row.kind = kindName(state.question.kind);
    row.correctAnswer = correctAnswerText(state.question);
    row.answerGiven = state.answers.empty() ? std::string() : stripBlanks(state.answers.back().typed);
    row.right = state.right();
    row.tries = state.tries();
    if (!state.answers.empty() && !state.right())
        row.diagnosis = state.answers.back().diagnosis.text;
    return row;
}

ResultsRecord practiceRecord(const std::vector<QuestionState>& questions, const std::string& student,
    std::chrono::system_clock::time_point start, std::chrono::system_clock::time_point end)
{
    ResultsRecord record;
    record.student = student;
    record.start = start;
    record.end = end;
    for (const QuestionState& state : questions) {
        record.rows.push_back(resultRow(state));
        record.score += state.right() ? 1 : 0;
    }
    record.total = static_cast<int>(questions.size());
    return record;
}

// Marks an answer to a question of a practice, with `tries` in all.
MarkedAnswer practiseAnswer(QuestionState& state, int tries, std::string_view typed)
{
    if (state.done) {
        MarkedAnswer marked;
        marked.typed = std::string(typed);
        marked.refused = true;
        marked.message = "This question is finished: go on to the next one.";
        return marked;
    }
    MarkedAnswer marked = markAnswer(state.question, typed);
    if (marked.refused)
        return marked;
    state.answers.push_back(marked);
    if (marked.right || state.tries() >= tries) {
        state.done = true;
        state.solutionShown = true;
    }
    return marked;
}

} // namespace

std::string kindName(QuestionKind kind)
{
    switch (kind) {
    case QuestionKind::DropRate:
        return "IV drop rate";
    case QuestionKind::TabletCount:
        return "Tablets";
    case QuestionKind::LiquidVolume:
        return "Liquid volume";
    case QuestionKind::MetricConversion:
        return "Metric conversion";
    case QuestionKind::PumpRate:
        return "Pump rate";
    case QuestionKind::InfusionTime:
        return "Infusion time";
    case QuestionKind::UnitsPumpRate:
        return "Pump rate for units";
    case QuestionKind::UnitsPerHour:
        return "Units per hour";
    case QuestionKind::InsulinUnits:
        return "Insulin units";
    case QuestionKind::WeightDose:
        return "Weight-based dose";
    case QuestionKind::DoseVolume:
        return "Dose volume";
    case QuestionKind::Unrecognised:
        break;
    }
    return "Other";
}

std::vector<LoadedForm> loadForms(const ListedExam& exam)
{
    std::vector<LoadedForm> forms;
    for (const ExamForm& form : exam.forms) {
        const StudentExam read = readStudentExam(form.file);
        forms.push_back({ form, read.header.TestTitle, studentQuestions(read) });
    }
    return forms;
}

std::optional<StartupProblem> loadStudentFiles(AppState& state)
{
    // Dosarion only reads: a missing MX.INI means every option off, and is not created.
    std::error_code ec;
    if (fs::exists(findFile(state.dataFolder, SettingsFileName), ec))
        return loadStartupFiles(state);
    try {
        const fs::path tablets = findFile(state.dataFolder, TabletIndexFileName);
        const fs::path fluids = findFile(state.dataFolder, FluidIndexFileName);
        const fs::path categories = findFile(state.dataFolder, CategoryFileName);
        state.settings = Settings {};
        state.TabletIndex = parseIndexFile(readWholeFile(tablets, MaxIndexFileBytes), TabletIndexFileName);
        state.FluidIndex = parseIndexFile(readWholeFile(fluids, MaxIndexFileBytes), FluidIndexFileName);
        state.categories = parseCategoryFile(readWholeFile(categories, MaxCategoryFileBytes), CategoryFileName);
    } catch (const FileError& error) {
        return StartupProblem { fs::path(error.path()).filename().string(), error.line(),
            std::string(error.what()) + " Free practice needs the drug database files; ask your teacher." };
    }
    sizeCandidateRecords(state);
    return std::nullopt;
}

// ---- practising a test ----

PractiseSession::PractiseSession(std::vector<LoadedForm> forms, const StudentSettings& settings, std::string student,
    std::chrono::system_clock::time_point start)
    : forms_(std::move(forms))
    , settings_(settings)
    , student_(std::move(student))
    , start_(start)
{
    if (forms_.empty() || forms_.front().questions.empty())
        throw std::invalid_argument("a practice needs a test with questions");
    for (const StudentQuestion& question : forms_.front().questions) {
        formOf_.push_back(0);
        questions_.push_back({ question, forms_.front().form.file.filename().string(), {}, false, false });
    }
}

int PractiseSession::triesLeft() const
{
    return current().done ? 0 : std::max(0, settings_.tries - current().tries());
}

MarkedAnswer PractiseSession::answer(std::string_view typed)
{
    return practiseAnswer(questions_[static_cast<std::size_t>(position_ - 1)], settings_.tries, typed);
}

void PractiseSession::showSolution()
{
    QuestionState& state = questions_[static_cast<std::size_t>(position_ - 1)];
    state.done = true;
    state.solutionShown = true;
}

bool PractiseSession::goTo(int position)
{
    if (position < 1 || position > count())
        return false;
    position_ = position;
    return true;
}

bool PractiseSession::anotherLikeThis()
{
    const auto at = static_cast<std::size_t>(position_ - 1);
    // The next form in turn that has a question at this position.
    for (std::size_t step = 1; step < forms_.size(); ++step) {
        const std::size_t form = (formOf_[at] + step) % forms_.size();
        if (at < forms_[form].questions.size()) {
            formOf_[at] = form;
            questions_[at]
                = { forms_[form].questions[at], forms_[form].form.file.filename().string(), {}, false, false };
            return true;
        }
    }
    return false;
}

ResultsRecord PractiseSession::results(std::chrono::system_clock::time_point end) const
{
    ResultsRecord record = practiceRecord(questions_, student_, start_, end);
    record.way = "practise";
    record.testTitle = forms_.front().title;
    record.testFile = forms_.front().form.file.filename().string();
    record.versionCode = forms_.front().form.versionCode;
    record.passPercent = settings_.passPercent;
    return record;
}

// ---- sitting a test ----

SitSession::Start SitSession::plan(
    const std::vector<LoadedForm>& forms, const StudentSettings& settings, const std::vector<ResultsRecord>& earlier)
{
    Start start;
    start.attemptsHad = static_cast<int>(earlier.size());
    if (forms.empty()) {
        start.reason = "This test has no questions to sit.";
        return start;
    }
    if (start.attemptsHad >= settings.attempts) {
        start.reason = "You have had all " + std::to_string(settings.attempts) + " attempts at this test.";
        return start;
    }
    start.allowed = true;
    // The first form not had; when every form was had, the one had longest ago.
    auto lastHad = [&](const LoadedForm& form) {
        std::optional<std::chrono::system_clock::time_point> last;
        for (const ResultsRecord& record : earlier)
            if (record.testFile == form.form.file.filename().string() && (!last || record.start > *last))
                last = record.start;
        return last;
    };
    std::optional<std::chrono::system_clock::time_point> oldest;
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const auto had = lastHad(forms[i]);
        if (!had) {
            start.form = i;
            return start;
        }
        if (!oldest || *had < *oldest) {
            oldest = had;
            start.form = i;
        }
    }
    return start;
}

SitSession::SitSession(
    LoadedForm form, const StudentSettings& settings, std::string student, std::chrono::system_clock::time_point start)
    : form_(std::move(form))
    , questions_(form_.questions)
    , typed_(questions_.size())
    , settings_(settings)
    , student_(std::move(student))
    , start_(start)
    , end_(start)
    , minutes_(sittingMinutes(settings, static_cast<int>(questions_.size()), student_))
{
}

const StudentQuestion& SitSession::question(int position) const
{
    return questions_.at(static_cast<std::size_t>(position - 1));
}

void SitSession::setAnswer(int position, std::string_view typed)
{
    if (!submitted_ && position >= 1 && position <= count())
        typed_[static_cast<std::size_t>(position - 1)] = std::string(typed);
}

const std::string& SitSession::answer(int position) const
{
    return typed_.at(static_cast<std::size_t>(position - 1));
}

std::optional<std::chrono::system_clock::time_point> SitSession::deadline() const
{
    if (minutes_ <= 0)
        return std::nullopt;
    return start_ + std::chrono::minutes(minutes_);
}

bool SitSession::timeUp(std::chrono::system_clock::time_point now) const
{
    const auto limit = deadline();
    return limit && now >= *limit;
}

void SitSession::submit(std::chrono::system_clock::time_point end)
{
    if (submitted_)
        return;
    marked_.clear();
    for (std::size_t i = 0; i < questions_.size(); ++i)
        marked_.push_back(markAnswer(questions_[i], typed_[i]));
    end_ = end;
    submitted_ = true;
}

const MarkedAnswer& SitSession::marked(int position) const
{
    return marked_.at(static_cast<std::size_t>(position - 1));
}

ResultsRecord SitSession::results() const
{
    ResultsRecord record;
    record.student = student_;
    record.way = "sit";
    record.testTitle = form_.title;
    record.testFile = form_.form.file.filename().string();
    record.versionCode = form_.form.versionCode;
    record.start = start_;
    record.end = end_;
    record.passPercent = settings_.passPercent;
    record.total = count();
    for (std::size_t i = 0; i < questions_.size(); ++i) {
        QuestionState state { questions_[i], record.testFile, {}, true, submitted_ };
        if (submitted_ && !marked_[i].refused)
            state.answers.push_back(marked_[i]);
        ResultRow row = resultRow(state);
        row.answerGiven = stripBlanks(typed_[i]);
        if (submitted_ && marked_[i].refused)
            row.diagnosis = marked_[i].typed.empty() ? "No answer." : marked_[i].message;
        row.tries = stripBlanks(typed_[i]).empty() ? 0 : 1;
        record.score += row.right ? 1 : 0;
        record.rows.push_back(std::move(row));
    }
    return record;
}

// ---- free practice ----

FreePractice::FreePractice(AppState& state, std::vector<int> categories, std::vector<int> drugCategories,
    std::string student, std::chrono::system_clock::time_point start, int tries)
    : state_(state)
    , categories_(std::move(categories))
    , drugCategories_(std::move(drugCategories))
    , student_(std::move(student))
    , start_(start)
    , tries_(std::clamp(tries, 1, 9))
{
    std::erase_if(categories_, [](int code) { return code < 1 || code > CategoryBoxCount; });
}

namespace {

// The drugs of the chosen drug categories (all when none is chosen) as the drug generators'
// candidates.
int fillCandidates(AppState& state, const DrugIndex& index, const std::vector<int>& drugCategories)
{
    state.CandidateCount = 0;
    const int entries
        = std::min<int>(index.count, static_cast<int>(std::min(index.record.size(), index.category.size())) - 1);
    for (int j = 1; j <= entries; ++j) {
        const auto at = static_cast<std::size_t>(j);
        if (!drugCategories.empty()
            && std::find(drugCategories.begin(), drugCategories.end(), index.category[at]) == drugCategories.end())
            continue;
        ++state.CandidateCount;
        if (state.CandidateRecords.size() <= static_cast<std::size_t>(state.CandidateCount))
            state.CandidateRecords.resize(static_cast<std::size_t>(state.CandidateCount) + 1, 0);
        state.CandidateRecords[static_cast<std::size_t>(state.CandidateCount)] = index.record[at];
    }
    return state.CandidateCount;
}

// One question of a drug category, or the reason there is none.
std::optional<GeneratedQuestion> drugQuestion(
    AppState& state, bool tablet, const std::vector<int>& drugCategories, std::string& problem)
{
    if (fillCandidates(state, tablet ? state.TabletIndex : state.FluidIndex, drugCategories) == 0) {
        problem = tablet ? "No tablet question can be made from the drug categories ticked."
                         : "No fluid question can be made from the drug categories ticked.";
        return std::nullopt;
    }
    // A drug that cannot give a question leaves the list, so this ends within twice the count.
    const int limit = state.CandidateCount + 1;
    std::optional<GeneratedQuestion> kept;
    for (int drawn = 0; drawn < limit;) {
        DrugQuestionResult result = tablet ? makeTabletQuestion(state) : makeFluidQuestion(state);
        if (!result.question) {
            auto first = state.CandidateRecords.begin() + 1;
            auto last = first + state.CandidateCount;
            const auto removed
                = static_cast<int>(last - std::remove(first, last, static_cast<std::int16_t>(result.record)));
            state.CandidateCount -= removed;
            if (removed == 0 || state.CandidateCount == 0) {
                problem = result.problem;
                return kept;
            }
            continue;
        }
        ++drawn;
        kept = std::move(*result.question);
        if (!isRepeat(state.repeatHistory, kept->duplicateKeys))
            break;
    }
    return kept;
}

// A weight-based dose question from the folder's file of doses per kg, read only; empty with
// the reason in `problem` when none can be made.
std::optional<GeneratedQuestion> weightDoseQuestion(AppState& state, std::string& problem)
{
    const MatchedWeightDoses matched = matchWeightDoses(state.dataFolder);
    problem = weightDosesUnavailable(matched);
    if (!problem.empty())
        return std::nullopt;
    std::optional<GeneratedQuestion> kept;
    for (int draw = 1; draw <= MaxRedraws; ++draw) {
        DrugQuestionResult result = makeWeightDoseQuestion(state, matched.drugs);
        if (!result.question) {
            problem = result.problem;
            return std::nullopt;
        }
        kept = std::move(*result.question);
        if (!isRepeat(state.repeatHistory, kept->duplicateKeys))
            break;
    }
    return kept;
}

} // namespace

bool FreePractice::nextQuestion()
{
    problem_.clear();
    if (categories_.empty()) {
        problem_ = "Tick at least one kind of question.";
        return false;
    }
    const int category
        = categories_[static_cast<std::size_t>(randomWhole(state_.rng(), static_cast<int>(categories_.size())) - 1)];
    std::optional<GeneratedQuestion> made;
    auto unrepeated = [&](GeneratedQuestion (*make)(AppState&)) {
        for (int draw = 1; draw <= MaxRedraws; ++draw) {
            made = make(state_);
            if (!isRepeat(state_.repeatHistory, made->duplicateKeys))
                break;
        }
    };
    try {
        switch (category) {
        case MetricConversions:
            unrepeated(makeMetricQuestion);
            break;
        case IVDropRates:
            unrepeated(makeDropRateQuestion);
            break;
        case InfusionPumpRates:
            unrepeated(makePumpRateQuestion);
            break;
        case InfusionTimes:
            unrepeated(makeInfusionTimeQuestion);
            break;
        case HeparinInsulinUnits:
            unrepeated(makeUnitsQuestion);
            break;
        case WeightBasedDoses:
            made = weightDoseQuestion(state_, problem_);
            break;
        default:
            made = drugQuestion(state_, category == TabletDosages, drugCategories_, problem_);
            break;
        }
    } catch (const std::exception& error) {
        problem_ = toCp1252(error.what());
        made.reset();
    }
    if (!made)
        return false;
    // Stored as a test would store it, so it is marked by the same rule.
    QuestionRecord record;
    record.questionText = made->question;
    record.solutionText = made->solution;
    record.answerText = formatNumber(made->answer);
    questions_.push_back({ studentQuestion(record, static_cast<int>(questions_.size()) + 1), {}, {}, false, false });
    return true;
}

int FreePractice::triesLeft() const
{
    return !hasQuestion() || current().done ? 0 : std::max(0, tries_ - current().tries());
}

MarkedAnswer FreePractice::answer(std::string_view typed)
{
    if (!hasQuestion()) {
        MarkedAnswer marked;
        marked.refused = true;
        marked.message = "There is no question yet.";
        return marked;
    }
    return practiseAnswer(questions_.back(), tries_, typed);
}

void FreePractice::showSolution()
{
    if (hasQuestion())
        questions_.back().done = questions_.back().solutionShown = true;
}

ResultsRecord FreePractice::results(std::chrono::system_clock::time_point end) const
{
    ResultsRecord record = practiceRecord(questions_, student_, start_, end);
    record.way = "free practice";
    record.testTitle = "Free practice";
    return record;
}

} // namespace tb
