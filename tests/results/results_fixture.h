#pragma once

// A class's results of one test and its two versions, made by Dosarion's own results writer.

#include "core/foundation/exam_record.h"
#include "core/student/results_file.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tb::results_fixture {

namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

inline const QuestionRecord Tablets { "\r\nA client is ordered 500 mgs of Paracetamol. 250 mg tablets are "
                                      "available.\r\nHow many tablets will you give?",
    "500 mg / 250 mg = 2 tablets", "2" };
inline const QuestionRecord Fluid { "\r\nA client is ordered 250 mg's of Amoxil orally. 125 mg's in 5 ml's of "
                                    "mixture is available.\r\nHow many ml's will you administer?",
    "250 mg / 125 mg X 5 ml", "10" };
inline const QuestionRecord Conversion { "\r\nConvert 5 mgs to gs.", "5 mg X 0.001 = 0.005 g", "0.005" };

inline void writeTest(const fs::path& file, const std::string& title, const std::string& description,
    const std::vector<QuestionRecord>& questions)
{
    fs::create_directories(file.parent_path());
    TestHeader header;
    header.TestTitle = title;
    header.TestDescription = description;
    header.MenuListed = 1;
    std::string bytes = header.pack();
    for (const QuestionRecord& question : questions)
        bytes += question.pack();
    std::ofstream(file, std::ios::binary) << bytes;
}

inline const Clock::time_point Monday = Clock::from_time_t(1796634000); // 2026-12-07

inline ResultRow row(int number, const char* kind, const char* correct, const char* given, bool right, int tries,
    const char* diagnosis = "")
{
    return { number, kind, correct, given, right, tries, diagnosis };
}

inline const char* const TenTimes = "Your answer is 10 times too large: check the unit conversion.";

/// One attempt written by the results writer; `minutes` after Monday, taking `seconds`.
inline fs::path attempt(const fs::path& folder, const std::string& student, const std::string& way,
    const std::string& title, const std::string& form, int minutes, int seconds, std::vector<ResultRow> rows)
{
    ResultsRecord record;
    record.student = student;
    record.way = way;
    record.testTitle = title;
    record.testFile = form;
    record.start = Monday + std::chrono::minutes(minutes);
    record.end = record.start + std::chrono::seconds(seconds);
    record.passPercent = 50;
    record.total = static_cast<int>(rows.size());
    for (const ResultRow& r : rows)
        record.score += r.right ? 1 : 0;
    record.rows = std::move(rows);
    return writeResults(folder, record);
}

/// "week5.dsq" (Tablets, Fluid) with its set in "week5 versions": version 1 asks Tablets then
/// Fluid, version 2 Conversion then Fluid, so position 1 differs between the versions. Ann sits
/// version 1 twice, Bob practises version 2, Cy sat "Week 5" from a file since renamed; a result
/// of another test, a free practice and a damaged file lie beside them.
inline void makeClass(const fs::path& folder)
{
    writeTest(folder / "week5.dsq", "Week 5", "Doses", { Tablets, Fluid });
    writeTest(folder / "week5 versions" / "week5-01.dsq", "Week 5", "Doses Version K7F3-01", { Tablets, Fluid });
    writeTest(folder / "week5 versions" / "week5-02.dsq", "Week 5", "Doses Version K7F3-02", { Conversion, Fluid });
    attempt(folder, "Ann Lee", "sit", "Week 5", "week5-01.dsq", 0, 600,
        { row(1, "Tablets", "2 tablets", "20", false, 1, TenTimes), row(2, "Liquid volume", "10 ml", "10", true, 1) });
    attempt(folder, "ann lee ", "sit", "Week 5", "week5-01.dsq", 60, 480,
        { row(1, "Tablets", "2 tablets", "2", true, 1), row(2, "Liquid volume", "10 ml", "10", true, 1) });
    attempt(folder, "Bob", "practise", "Week 5", "week5-02.dsq", 5, 1325,
        { row(1, "Conversion", "0.005 g", "0.005", true, 2),
            row(2, "Liquid volume", "10 ml", "100", false, 2,
                "Your answer is 10 times too large: check the unit "
                "conversion.") });
    attempt(folder, "Cy", "sit", "Week 5", "old-week5.dsq", 10, 59,
        { row(1, "Tablets", "2 tablets", "", false, 0, "No answer.") });
    attempt(folder, "Ann Lee", "sit", "Week 6", "week6.dsq", 20, 100, { row(1, "Tablets", "2 tablets", "2", true, 1) });
    attempt(
        folder, "Ann Lee", "free practice", "Week 5", "", 30, 100, { row(1, "Tablets", "2 tablets", "2", true, 1) });
    std::ofstream(folder / "results" / "broken.csv", std::ios::binary) << "field,value\r\nstudent,\"Dee\r\n";
}

} // namespace tb::results_fixture
