#include "core/drugdb/weight_doses.h"

#include "core/drugdb/drug_file.h"
#include "core/foundation/file_error.h"
#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tb {
namespace {

namespace fs = std::filesystem;

struct LineRow {
    const char* name;
    std::string line;
    std::optional<WeightDose> dose; // empty: the line is refused
};

class WeightDoseLine : public ::testing::TestWithParam<LineRow> { };

TEST_P(WeightDoseLine, ParsesOrSaysWhy)
{
    const LineRow& row = GetParam();
    std::string why;
    const std::optional<WeightDose> dose = parseWeightDoseLine(row.line, why);
    EXPECT_EQ(dose, row.dose) << why;
    EXPECT_EQ(why.empty(), row.dose.has_value());
    if (dose) {
        EXPECT_EQ(parseWeightDoseLine(formatWeightDose(*dose), why), dose);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, WeightDoseLine,
    ::testing::Values(LineRow { "PerDose", "paracetamol; 10-15 mg/kg; per dose; WHO Model Formulary for Children 2010",
                          WeightDose { "paracetamol", 10, 15, 0, "WHO Model Formulary for Children 2010" } },
        LineRow { "PerDayWithBlanksAndCase", "  sodium valproate ;0.5 \x96 1.5 MG/KG ; Per Day In 3 Doses; BNFC; 2024 ",
            WeightDose { "sodium valproate", 0.5, 1.5, 3, "BNFC; 2024" } },
        LineRow { "SingleValue", "ibuprofen; 10 mg/kg; per dose; x", WeightDose { "ibuprofen", 10, 10, 0, "x" } },
        LineRow { "NoSource", "ibuprofen; 10 mg/kg; per dose;", std::nullopt },
        LineRow { "ThreeParts", "ibuprofen; 10 mg/kg; per dose", std::nullopt },
        LineRow { "NotPerKg", "ibuprofen; 10 mg; per dose; x", std::nullopt },
        LineRow { "LowAboveHigh", "ibuprofen; 15-10 mg/kg; per dose; x", std::nullopt },
        LineRow { "Zero", "ibuprofen; 0 mg/kg; per dose; x", std::nullopt },
        LineRow { "NotANumber", "ibuprofen; ten mg/kg; per dose; x", std::nullopt },
        LineRow { "ThreeDecimals", "ondansetron; 0.015 mg/kg; per dose; x",
            WeightDose { "ondansetron", 0.015, 0.015, 0, "x" } },
        LineRow { "MoreDecimalsThanAChartWrites", "ondansetron; 0.3333333333333333 mg/kg; per dose; x", std::nullopt },
        LineRow { "Exponent", "ibuprofen; 1e1 mg/kg; per dose; x", std::nullopt },
        LineRow { "OneDoseADay", "ibuprofen; 10 mg/kg; per day in 1 doses; x", std::nullopt },
        LineRow { "SevenDosesADay", "ibuprofen; 10 mg/kg; per day in 7 doses; x", std::nullopt },
        LineRow { "NameTooLong", std::string(31, 'a') + "; 10 mg/kg; per dose; x", std::nullopt },
        LineRow { "LineTooLong", "ibuprofen; 10 mg/kg; per dose; " + std::string(300, 'x'), std::nullopt },
        // Within the line's bound only without blanks; written back it would not be.
        LineRow { "SourceTooLong", "ibuprofen;10 mg/kg;per dose;" + std::string(201, 'x'), std::nullopt }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WeightDoseFile, BadAndRepeatedLinesAreNamedAndSkipped)
{
    const WeightDoseTable table = parseWeightDoses("# doses per kg\r\n\r\nparacetamol; 15 mg/kg; per dose; a\r\n"
                                                   "ibuprofen; 10 mg/kg; each dose; b\n"
                                                   "Paracetamol; 10 mg/kg; per dose; c",
        "\"mxweight.txt\"");
    ASSERT_EQ(table.doses.size(), 1U);
    EXPECT_EQ(table.doses[0].source, "a");
    ASSERT_EQ(table.problems.size(), 2U);
    EXPECT_TRUE(table.problems[0].starts_with("\"mxweight.txt\", line 4: \"each dose\" is neither"))
        << table.problems[0];
    EXPECT_EQ(
        table.problems[1], "\"mxweight.txt\", line 5: Paracetamol has a line above already; the line is skipped.");
}

TEST(WeightDoseFile, ReplacingALineKeepsEveryOtherByteAndRoundTrips)
{
    const std::string text = "# mine\r\nibuprofen; 5-10 mg/kg; per dose; a\r\nnot a line\r\nparacetamol; 15 mg/kg; "
                             "per dose; b\r\n";
    const WeightDose dose { "Ibuprofen", 20, 30, 3, "BNF for Children 2024-25" };
    EXPECT_EQ(replaceWeightDose(text, "IBUPROFEN", dose),
        "# mine\r\nIbuprofen; 20-30 mg/kg; per day in 3 doses; BNF for Children 2024-25\r\nnot a line\r\n"
        "paracetamol; 15 mg/kg; per dose; b\r\n");
    EXPECT_EQ(replaceWeightDose(text, "paracetamol", std::nullopt),
        "# mine\r\nibuprofen; 5-10 mg/kg; per dose; a\r\nnot a line\r\n");
    EXPECT_EQ(replaceWeightDose("", "ibuprofen", dose),
        "Ibuprofen; 20-30 mg/kg; per day in 3 doses; BNF for Children 2024-25\r\n");
}

TEST(WeightDoseFile, StoredThroughAScratchFileFoundInAnySpellingAndNeverOverAnUnreadableOne)
{
    const headless::TempFolder dir;
    EXPECT_FALSE(readWeightDoses(dir.path()).present);
    const WeightDose dose { "paracetamol", 15, 15, 0, "x" };
    storeWeightDose(dir.path(), "paracetamol", dose);
    EXPECT_TRUE(fs::exists(dir.path() / "mxweight.txt"));
    fs::rename(dir.path() / "mxweight.txt", dir.path() / "MXWEIGHT.TXT");
    storeWeightDose(dir.path(), "ibuprofen", WeightDose { "ibuprofen", 5, 10, 0, "y" });
    EXPECT_FALSE(fs::exists(dir.path() / "mxweight.txt"));
    const WeightDoseTable table = readWeightDoses(dir.path());
    ASSERT_EQ(table.doses.size(), 2U);
    EXPECT_EQ(table.doses[0], dose);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Too large to read: reported, and not replaced.
    const std::string large(MaxWeightDoseFileBytes + 1, '#');
    std::ofstream(dir.path() / "MXWEIGHT.TXT", std::ios::binary) << large;
    const WeightDoseTable unread = readWeightDoses(dir.path());
    ASSERT_EQ(unread.problems.size(), 1U);
    EXPECT_NE(unread.problems[0].find("MXWEIGHT.TXT"), std::string::npos) << unread.problems[0];
    EXPECT_THROW(storeWeightDose(dir.path(), "paracetamol", dose), FileError);
    EXPECT_EQ(fs::file_size(dir.path() / "MXWEIGHT.TXT"), large.size());
}

TEST(WeightDoseFile, MatchedByGenericNameAMissingDrugIsReportedNotFatal)
{
    const headless::TempFolder dir;
    MatchedWeightDoses none = matchWeightDoses(dir.path());
    EXPECT_NE(weightDosesUnavailable(none).find("There is no file of doses per kg (mxweight.txt)"), std::string::npos);

    DrugRecord drug;
    drug.GenericName = "Paracetamol";
    drug.DoseRangeHigh = 1;
    drug.DoseRangeHighUnit = G;
    {
        DrugFile file(dir.path());
        file.write(1, DrugRecord {});
        file.write(2, drug);
    }
    std::ofstream(dir.path() / "mxweight.txt", std::ios::binary)
        << "paracetamol; 15 mg/kg; per dose; a\r\nzopiclone; 1 mg/kg; per dose; b\r\n";
    const MatchedWeightDoses matched = matchWeightDoses(dir.path());
    ASSERT_EQ(matched.drugs.size(), 1U);
    EXPECT_EQ(matched.drugs[0].record, 2);
    EXPECT_EQ(highestDoseInMg(matched.drugs[0].drug), 1000.0);
    ASSERT_EQ(matched.problems.size(), 1U);
    EXPECT_NE(matched.problems[0].find("the drug database has no drug zopiclone"), std::string::npos);
    EXPECT_EQ(weightDosesUnavailable(matched), "");
}

} // namespace
} // namespace tb
