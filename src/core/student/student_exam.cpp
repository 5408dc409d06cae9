#include "core/student/student_exam.h"

#include "core/export/platform_export.h"
#include "core/foundation/file_error.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"

#include <limits>
#include <system_error>

namespace tb {

namespace fs = std::filesystem;

namespace {

// The most questions a test file can hold: the count is a 16-bit number.
constexpr std::uint64_t MaxStoredQuestions = std::numeric_limits<std::int16_t>::max();

// A stored text with each line's trailing blanks and the blank lines around it removed;
// columns inside lines stay.
std::string tidyText(std::string_view stored)
{
    std::string text;
    std::size_t start = 0;
    while (start <= stored.size()) {
        std::size_t end = stored.find('\n', start);
        if (end == std::string_view::npos)
            end = stored.size();
        std::string_view line = stored.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\0'))
            line.remove_suffix(1);
        if (!text.empty() || !line.empty())
            text += std::string(line) + "\r\n";
        start = end + 1;
    }
    while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0)
        text.resize(text.size() - 2);
    return text;
}

double storedValueOf(const StudentQuestion& question)
{
    double value = question.rule.centre;
    storedAnswerValue(question.answerText, value);
    return value;
}

} // namespace

StudentExam readStudentExam(const fs::path& file)
{
    const std::string name = file.filename().string();
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (!ec && size / TestRecordLength > MaxStoredQuestions + 1)
        throw FileError(file.string(), "The file \"" + name + "\" holds more records than a test can have.");
    // Measured first, then read within the bound of the largest test: no lock, no write.
    const std::string bytes = readWholeFile(file, MaxTestFileBytes);
    const std::size_t records = bytes.size() / TestRecordLength;
    if (records < 1)
        throw FileError(file.string(),
            "The file \"" + name + "\" holds no test: it is shorter than one record of "
                + formatInt(static_cast<long long>(TestRecordLength)) + " bytes.");
    if (records - 1 > MaxStoredQuestions)
        throw FileError(file.string(), "The file \"" + name + "\" holds more records than a test can have.");
    StudentExam exam;
    exam.file = file;
    const std::string_view all(bytes);
    exam.header = TestHeader::unpack(all.substr(0, TestRecordLength));
    for (std::size_t r = 1; r < records; ++r) {
        QuestionRecord record = QuestionRecord::unpack(all.substr(r * TestRecordLength, TestRecordLength));
        // A record left blank (a test saved with an empty last question) is no question.
        if (stripBlanks(record.questionText).empty() && stripBlanks(record.answerText).empty())
            continue;
        exam.questions.push_back(std::move(record));
    }
    return exam;
}

StudentQuestion studentQuestion(const QuestionRecord& record, int number)
{
    StudentQuestion question;
    question.number = number;
    question.text = tidyText(record.questionText);
    question.solution = tidyText(record.solutionText);
    question.answerText = stripBlanks(record.answerText);
    question.kind = questionKind(record.questionText);
    double value = 0;
    question.hasAnswer = storedAnswerValue(record.answerText, value);
    if (question.hasAnswer)
        question.rule = answerRule(toleranceStyle(question.kind), value);
    question.unit = askedUnit(question.kind, question.text);
    return question;
}

std::vector<StudentQuestion> studentQuestions(const StudentExam& exam)
{
    std::vector<StudentQuestion> questions;
    for (std::size_t i = 0; i < exam.questions.size(); ++i)
        questions.push_back(studentQuestion(exam.questions[i], static_cast<int>(i + 1)));
    return questions;
}

std::string decimalsSentence(const StudentQuestion& question)
{
    return question.rule.statesDecimals ? TwoDecimalsSentence : "";
}

std::string correctAnswerText(const StudentQuestion& question)
{
    if (!question.hasAnswer)
        return question.answerText;
    const std::string number = platformNumber(question.rule.centre);
    return question.unit.empty() ? number : number + " " + question.unit;
}

MarkedAnswer markAnswer(const StudentQuestion& question, std::string_view typed)
{
    MarkedAnswer marked;
    marked.typed = std::string(typed);
    const TypedAnswer read = readTypedAnswer(typed, question.unit);
    if (!read.accepted) {
        marked.refused = true;
        marked.message = read.message;
        return marked;
    }
    marked.value = read.value;
    marked.note = read.note;
    marked.right = question.hasAnswer && accepts(question.rule, read.value);
    if (!marked.right && question.hasAnswer)
        marked.diagnosis = diagnose(question.text, question.rule, read.value, storedValueOf(question));
    return marked;
}

std::vector<std::string> feedbackLines(
    const StudentQuestion& question, const MarkedAnswer& marked, bool withCorrectAnswer)
{
    if (marked.refused)
        return { marked.message };
    std::vector<std::string> lines;
    lines.push_back(marked.right ? "Right." : "Wrong.");
    const std::string given = platformNumber(marked.value);
    lines.push_back("Your answer: " + (question.unit.empty() ? given : given + " " + question.unit));
    if (withCorrectAnswer)
        lines.push_back("The correct answer: " + correctAnswerText(question));
    if (!marked.note.empty())
        lines.push_back(marked.note);
    if (marked.diagnosis.found())
        lines.push_back(marked.diagnosis.text);
    return lines;
}

} // namespace tb
