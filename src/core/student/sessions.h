#pragma once

#include "core/startup/startup_loader.h"
#include "core/student/exam_list.h"
#include "core/student/results_file.h"
#include "core/student/student_exam.h"
#include "core/student/student_settings.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tb {

/// Loads what free practice needs into `state` (settings, indexes, categories) without writing
/// anything: a missing MX.INI means every option off and is not created. Returns the problem
/// when a drug database file is missing or does not parse.
std::optional<StartupProblem> loadStudentFiles(AppState& state);

/// One form of a test, read and ready to be asked.
struct LoadedForm {
    ExamForm form;
    std::string title;
    std::vector<StudentQuestion> questions;
};

/// Reads every form of a listed test; throws FileError naming the first that cannot be read.
std::vector<LoadedForm> loadForms(const ListedExam& exam);

/// Where one question of a session stands.
struct QuestionState {
    StudentQuestion question;
    std::string formFile; // the form it was taken from
    std::vector<MarkedAnswer> answers; // every answer read (refused ones are not kept)
    bool done = false; // right, or out of tries
    bool solutionShown = false;

    bool right() const { return !answers.empty() && answers.back().right; }
    int tries() const { return static_cast<int>(answers.size()); }
};

/// Practising a test: one question at a time, marked at once, up to `tries` tries, then the
/// worked solution. "Another like this" puts the same position of another form in its place.
class PractiseSession final {
public:
    PractiseSession(std::vector<LoadedForm> forms, const StudentSettings& settings, std::string student,
        std::chrono::system_clock::time_point start);

    int count() const { return static_cast<int>(questions_.size()); }
    int position() const { return position_; } // 1-based
    const QuestionState& current() const { return questions_[static_cast<std::size_t>(position_ - 1)]; }
    int triesLeft() const;
    /// Marks an answer to the current question; a refused answer uses no try. After the last
    /// try, or a right answer, the question is done and its solution shown.
    MarkedAnswer answer(std::string_view typed);
    /// Gives up the question: the solution is shown and it counts as wrong.
    void showSolution();
    bool goTo(int position); // false when out of range
    bool next() { return goTo(position_ + 1); }
    bool previous() { return goTo(position_ - 1); }
    /// Whether another form has this position; anotherLikeThis() takes the next one in turn
    /// and the question starts afresh. False when there is none.
    bool hasAnotherLikeThis() const { return forms_.size() > 1; }
    bool anotherLikeThis();

    /// The results of the practice so far, ended at `end`.
    ResultsRecord results(std::chrono::system_clock::time_point end) const;

private:
    std::vector<LoadedForm> forms_;
    std::vector<std::size_t> formOf_; // per position, the form asked
    std::vector<QuestionState> questions_;
    StudentSettings settings_;
    std::string student_;
    std::chrono::system_clock::time_point start_;
    int position_ = 1;
};

/// Sitting a test: answers kept until submitted, no solutions before; attempts limited; a time
/// limit; a pass mark. Each attempt takes a form the student has not had, where there is one.
class SitSession final {
public:
    /// Whether `student` may sit again, and the form to take: the first form not named in the
    /// results of their earlier sittings (else the one had longest ago). `reason` says why not.
    struct Start {
        bool allowed = false;
        std::string reason;
        std::size_t form = 0;
        int attemptsHad = 0;
    };
    static Start plan(const std::vector<LoadedForm>& forms, const StudentSettings& settings,
        const std::vector<ResultsRecord>& earlier);

    SitSession(LoadedForm form, const StudentSettings& settings, std::string student,
        std::chrono::system_clock::time_point start);

    int count() const { return static_cast<int>(questions_.size()); }
    const StudentQuestion& question(int position) const;
    /// Keeps the typed text of a question (1-based); nothing is marked yet.
    void setAnswer(int position, std::string_view typed);
    const std::string& answer(int position) const;
    /// Minutes allowed, 0 for none; the deadline when there is one.
    int minutes() const { return minutes_; }
    std::optional<std::chrono::system_clock::time_point> deadline() const;
    bool timeUp(std::chrono::system_clock::time_point now) const;
    /// Marks every answer (empty or refused ones are wrong); afterwards solutions may be shown.
    void submit(std::chrono::system_clock::time_point end);
    bool submitted() const { return submitted_; }
    /// After submit(): the marked answer of a question.
    const MarkedAnswer& marked(int position) const;
    ResultsRecord results() const;

private:
    LoadedForm form_;
    std::vector<StudentQuestion> questions_;
    std::vector<std::string> typed_;
    std::vector<MarkedAnswer> marked_;
    StudentSettings settings_;
    std::string student_;
    std::chrono::system_clock::time_point start_;
    std::chrono::system_clock::time_point end_;
    int minutes_ = 0;
    bool submitted_ = false;
};

/// Free practice: fresh questions of the ticked categories from the generators, with the
/// folder's drug database read only, marked and explained at once, as long as the student likes.
class FreePractice final {
public:
    /// `state` has been loaded with loadStartupFiles (read only); `categories` are category codes
    /// 1..6; `drugCategories` the drug-category codes that tablet and fluid questions draw from
    /// (empty: every drug).
    FreePractice(AppState& state, std::vector<int> categories, std::vector<int> drugCategories, std::string student,
        std::chrono::system_clock::time_point start, int tries = 3);

    /// A fresh question; false (and `problem` set) when none could be made.
    bool nextQuestion();
    const std::string& problem() const { return problem_; }
    bool hasQuestion() const { return !questions_.empty(); }
    const QuestionState& current() const { return questions_.back(); }
    int triesLeft() const;
    MarkedAnswer answer(std::string_view typed);
    void showSolution();
    ResultsRecord results(std::chrono::system_clock::time_point end) const;

private:
    AppState& state_;
    std::vector<int> categories_;
    std::vector<int> drugCategories_;
    std::string student_;
    std::chrono::system_clock::time_point start_;
    int tries_;
    std::vector<QuestionState> questions_;
    std::string problem_;
};

/// The name of a question kind as results files and feedback give it ("Tablets", "Liquid volume").
std::string kindName(QuestionKind kind);

} // namespace tb
