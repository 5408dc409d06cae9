// Makes a sample results file: a student sits a test as Dosarion's sitting does, with answers of
// every kind a teacher meets (right, right with the unit typed, ten-fold, a thousand-fold, blank),
// and the record is written by the results writer. The times are fixed, so the same test makes
// the same file on every run and in every time zone.
//
// Usage: sample_results_maker --test <file.dsq> --out <results.csv> [--student NAME]

#include "core/foundation/cp1252.h"
#include "core/foundation/record_file.h"
#include "core/student/sessions.h"

#include <chrono>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace tb;

namespace {

// 7 December 2026 at the given local time.
std::chrono::system_clock::time_point localTime(int hour, int minute)
{
    std::tm when {};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 7;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&when));
}

// A number as a student types it: plain decimals, never the E form.
std::string typed(double value)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(9) << value;
    std::string text = out.str();
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

// What the sample student types for question `position`.
std::string typedAnswer(const StudentQuestion& question, int position)
{
    if (!question.hasAnswer)
        return question.answerText;
    const double value = question.rule.centre;
    switch (position % 6) {
    case 1:
        return question.unit.empty() ? question.answerText : question.answerText + " " + question.unit;
    case 2:
        return typed(value * 10);
    case 4:
        return typed(value / 1000);
    case 5:
        return {};
    default:
        return question.answerText;
    }
}

} // namespace

int main(int argc, char** argv)
{
    fs::path test;
    fs::path out;
    std::string student = "Sam Patel";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--test")
            test = argv[i + 1];
        else if (flag == "--out")
            out = argv[i + 1];
        else if (flag == "--student")
            student = argv[i + 1];
        else {
            std::cerr << "unknown option " << flag << "\n";
            return 2;
        }
    }
    if (test.empty() || out.empty()) {
        std::cerr << "Usage: sample_results_maker --test <file.dsq> --out <results.csv> [--student NAME]\n";
        return 2;
    }
    try {
        ListedExam exam;
        exam.forms.push_back({ test, {} });
        std::vector<LoadedForm> forms = loadForms(exam);
        StudentSettings settings;
        settings.mode = StudentMode::Sit;
        settings.minutesPerQuestion = 3;
        SitSession sitting(std::move(forms.front()), settings, toCp1252(student), localTime(9, 30));
        for (int position = 1; position <= sitting.count(); ++position)
            sitting.setAnswer(position, typedAnswer(sitting.question(position), position));
        sitting.submit(localTime(9, 52));
        writeFileAtomically(out, resultsCsv(sitting.results()));
        std::cout << "wrote " << out.string() << "\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << fromCp1252(error.what()) << "\n";
        return 1;
    }
}
