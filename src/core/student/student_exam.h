#pragma once

#include "core/export/answer_rule.h"
#include "core/export/diagnosis.h"
#include "core/export/marking.h"
#include "core/foundation/exam_record.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

/// A test as Dosarion reads it: the header and the questions, as they stand on disk.
struct StudentExam {
    std::filesystem::path file;
    TestHeader header; // stripped fields, as Tutor Bench's openfile reads them
    std::vector<QuestionRecord> questions; // fields keep their padding
};

/// Reads a test file read-only: no lock, no lock file, no write and no rename, so a teacher
/// editing it and thirty students reading it never meet. The read is bounded by the largest
/// test a file can hold. Throws FileError naming the file when it is no regular file, is too
/// large, is shorter than its header record or holds more records than a test can have.
/// A partial last record is no question (Tutor Bench's reading).
StudentExam readStudentExam(const std::filesystem::path& file);

/// One question as Dosarion asks and marks it. Texts are Windows-1252 with "\r\n" line breaks,
/// trailing blanks removed; the solution keeps its columns.
struct StudentQuestion {
    int number = 0; // 1-based position in the test
    std::string text;
    std::string solution;
    std::string answerText; // the stored answer, stripped
    bool hasAnswer = false; // the stored answer reads as a number; otherwise nothing is right
    QuestionKind kind = QuestionKind::Unrecognised;
    AnswerRule rule;
    std::string unit; // askedUnit(): stands after the answer box, may be empty
};

/// The question at `number` (1-based) of a stored record.
StudentQuestion studentQuestion(const QuestionRecord& record, int number);
/// Every question of a test, in order.
std::vector<StudentQuestion> studentQuestions(const StudentExam& exam);

/// "Give your answer to 2 decimal places." when the rule states decimals, else empty: shown
/// under the question as the exports show it.
std::string decimalsSentence(const StudentQuestion& question);

/// The right answer with its unit, as the feedback shows it: "2.5 ml", "3 tablets", "0.005 g".
std::string correctAnswerText(const StudentQuestion& question);

/// One marked answer.
struct MarkedAnswer {
    std::string typed; // as the student typed it
    bool refused = false; // not read as an answer: does not count as a try
    bool right = false;
    double value = 0;
    std::string note; // the typed form's note ("No trailing zero: 2.5"), may be empty
    std::string message; // why it was refused
    Diagnosis diagnosis; // for a wrong answer, where one fits
};

/// Marks `typed` against the question: the one marking rule the exports write.
MarkedAnswer markAnswer(const StudentQuestion& question, std::string_view typed);

/// The feedback lines of a marked answer, Dosarion's own wording: "Right." or "Wrong.", then
/// "Your answer: ...", "The correct answer: 2.5 ml", the note and the diagnosis where there
/// are. A refused answer gives its message alone. The solution is shown apart (fixed pitch).
/// Without `withCorrectAnswer` (tries left while practising) the correct answer is left out.
std::vector<std::string> feedbackLines(
    const StudentQuestion& question, const MarkedAnswer& marked, bool withCorrectAnswer = true);

} // namespace tb
