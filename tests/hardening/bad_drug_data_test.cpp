// Bad drug data reaching question generation: index entries that name no record, and
// records with NaN, infinite, zero or negative numbers and unknown codes. Each gives a
// question whose answer is a real positive number, or a reason naming the drug; the
// index rebuild lists such records by the rules and never fails on them.

#include "drugdb/drug_file.h"
#include "hardening_support.h"
#include "questions/drug_questions.h"
#include "startup/startup_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace tb::testing {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

struct BadDrug {
    const char* label;
    std::function<DrugRecord()> make;
    bool tablet; // which generator it goes to
    const char* words; // part of the reason given; "" when a question is expected
};

std::ostream& operator<<(std::ostream& out, const BadDrug& c)
{
    return out << c.label;
}

DrugRecord tabletDrug()
{
    return drug("aspirin", Tablet, 300, 0, 1, 300, 900);
}
DrugRecord fluidDrug()
{
    return drug("codeine", Solution, 25, 5, 1, 10, 60, 5);
}

template <class Change> std::function<DrugRecord()> tabletWith(Change change)
{
    return [change] {
        DrugRecord r = tabletDrug();
        change(r);
        return r;
    };
}
template <class Change> std::function<DrugRecord()> fluidWith(Change change)
{
    return [change] {
        DrugRecord r = fluidDrug();
        change(r);
        return r;
    };
}

class BadDrugRecord : public ::testing::TestWithParam<BadDrug> { };

TEST_P(BadDrugRecord, GivesAUsableQuestionOrNamesTheDrug)
{
    const BadDrug& c = GetParam();
    TempFolder folder;
    const DrugRecord record = c.make();
    folder.write("MXDBASE.FIL", dataFile({ record }));
    AppState state(
        std::make_unique<ScriptedRandom>(std::vector<double> { 0.1, 0.6, 0.35, 0.9, 0.0, 0.75 }), folder.path());
    state.CandidateRecords = { 0, 1 };
    state.CandidateCount = 1;

    const DrugQuestionResult result = c.tablet ? makeTabletQuestion(state) : makeFluidQuestion(state);
    if (std::string(c.words).empty()) {
        ASSERT_TRUE(result.question.has_value()) << result.problem;
    }
    if (result.question) {
        EXPECT_TRUE(std::isfinite(result.question->answer)) << result.question->question;
        EXPECT_GT(result.question->answer, 0.0) << result.question->question;
        EXPECT_EQ(result.question->question.find("nan"), std::string::npos) << result.question->question;
        EXPECT_EQ(result.question->question.find("inf"), std::string::npos) << result.question->question;
        EXPECT_TRUE(result.problem.empty());
    } else {
        EXPECT_EQ(result.record, 1);
        EXPECT_NE(result.problem.find(c.words), std::string::npos) << result.problem;
        EXPECT_NE(result.problem.find("record 1"), std::string::npos) << result.problem;
    }

    // The rebuild reads the record without failing, and what it writes loads again.
    CategoryTables categories;
    categories.CategoryCount = 1;
    categories.CategoryName[1] = fitCategoryName("Analgesics");
    categories.CategoryCode[1] = 1;
    ASSERT_NO_THROW(rebuildIndexes(folder.path(), categories));
    AppState reloaded(std::make_unique<ScriptedRandom>(), folder.path());
    EXPECT_FALSE(loadStartupFiles(reloaded).has_value());
}

INSTANTIATE_TEST_SUITE_P(Records, BadDrugRecord,
    ::testing::Values(BadDrug { "tablet_ok", tabletWith([](DrugRecord&) {}), true, "" },
        BadDrug { "fluid_ok", fluidWith([](DrugRecord&) {}), false, "" },
        BadDrug { "tablet_nan_high", tabletWith([](DrugRecord& r) { r.DoseRangeHigh = NaN; }), true, "highest" },
        BadDrug { "tablet_inf_high", tabletWith([](DrugRecord& r) { r.DoseRangeHigh = Inf; }), true, "highest" },
        BadDrug { "tablet_nan_low", tabletWith([](DrugRecord& r) { r.DoseRangeLow = NaN; }), true, "lowest" },
        BadDrug { "tablet_negative_low", tabletWith([](DrugRecord& r) { r.DoseRangeLow = -5; }), true, "lowest" },
        BadDrug { "tablet_zero_high", tabletWith([](DrugRecord& r) { r.DoseRangeHigh = 0; }), true, "is 0" },
        BadDrug { "tablet_nan_strength", tabletWith([](DrugRecord& r) { r.Strength[0] = NaN; }), true, "strength" },
        BadDrug { "tablet_inf_strength", tabletWith([](DrugRecord& r) { r.Strength[0] = Inf; }), true, "strength" },
        BadDrug {
            "tablet_negative_strength", tabletWith([](DrugRecord& r) { r.Strength[0] = -300; }), true, "strength" },
        BadDrug {
            "tablet_unknown_strength_unit", tabletWith([](DrugRecord& r) { r.StrengthUnit[0] = 99; }), true, "unit" },
        BadDrug {
            "tablet_unknown_dose_unit", tabletWith([](DrugRecord& r) { r.DoseRangeHighUnit = -1; }), true, "unknown" },
        BadDrug { "tablet_unknown_form", tabletWith([](DrugRecord& r) { r.FormCode[0] = 11; }), true, "tablet" },
        BadDrug { "tablet_tiny_strength", tabletWith([](DrugRecord& r) { r.Strength[0] = 1e-300; }), true, "fits" },
        BadDrug { "tablet_huge_range", tabletWith([](DrugRecord& r) {
                     r.DoseRangeHigh = 1e300;
                     r.DoseRangeHighUnit = Kg;
                 }),
            true, "" },
        BadDrug { "tablet_denormal_strength",
            tabletWith([](DrugRecord& r) { r.Strength[0] = std::numeric_limits<double>::denorm_min(); }), true,
            "fits" },
        BadDrug { "fluid_zero_volume", fluidWith([](DrugRecord& r) { r.Volume[0] = 0; }), false, "volume" },
        BadDrug { "fluid_nan_volume", fluidWith([](DrugRecord& r) { r.Volume[0] = NaN; }), false, "volume" },
        BadDrug { "fluid_inf_volume", fluidWith([](DrugRecord& r) { r.Volume[0] = Inf; }), false, "volume" },
        BadDrug { "fluid_zero_increment", fluidWith([](DrugRecord& r) { r.FluidIncrement = 0; }), false, "step is 0" },
        BadDrug { "fluid_nan_increment", fluidWith([](DrugRecord& r) { r.FluidIncrement = NaN; }), false, "step" },
        BadDrug { "fluid_inf_increment", fluidWith([](DrugRecord& r) { r.FluidIncrement = Inf; }), false, "step" },
        BadDrug { "fluid_negative_increment", fluidWith([](DrugRecord& r) { r.FluidIncrement = -5; }), false, "step" },
        BadDrug { "fluid_increment_above_range", fluidWith([](DrugRecord& r) { r.FluidIncrement = 1000; }), false,
            "above its highest" },
        BadDrug { "fluid_nan_strength", fluidWith([](DrugRecord& r) { r.Strength[0] = NaN; }), false, "strength" },
        BadDrug { "fluid_nan_high", fluidWith([](DrugRecord& r) { r.DoseRangeHigh = NaN; }), false, "highest" },
        BadDrug { "fluid_tiny_increment", fluidWith([](DrugRecord& r) { r.FluidIncrement = 1e-300; }), false, "" },
        BadDrug { "blank_name", tabletWith([](DrugRecord& r) { r.GenericName = ""; }), true, "blank" }),
    [](const ::testing::TestParamInfo<BadDrug>& info) { return std::string(info.param.label); });

// Index entries that name no usable record reach the generators through the loaded index.
struct BadEntry {
    const char* label;
    const char* index;
    const char* words;
};

std::ostream& operator<<(std::ostream& out, const BadEntry& c)
{
    return out << c.label;
}

class BadIndexEntry : public ::testing::TestWithParam<BadEntry> { };

TEST_P(BadIndexEntry, NamesTheRecordInsteadOfAQuestion)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ tabletDrug(), DrugRecord {} }) + tabletDrug().pack().substr(0, 100));
    folder.write("mxdbs1.idx", GetParam().index);
    folder.write("mxdbs2.idx", "\r\n");
    folder.write("mxcat.idx", "1\r\n\"Analgesics          \",1\r\n");
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    ASSERT_FALSE(loadStartupFiles(state).has_value());
    state.CandidateRecords[1] = state.TabletIndex.record[1];
    state.CandidateCount = 1;
    const DrugQuestionResult result = makeTabletQuestion(state);
    EXPECT_FALSE(result.question.has_value());
    EXPECT_NE(result.problem.find(GetParam().words), std::string::npos) << result.problem;
}

INSTANTIATE_TEST_SUITE_P(Entries, BadIndexEntry,
    ::testing::Values(BadEntry { "past_the_end", "1\r\n9,1\r\n", "past the end" },
        BadEntry { "largest_record_number", "1\r\n32767,1\r\n", "past the end" },
        BadEntry { "blank_record", "1\r\n2,1\r\n", "blank" },
        // 100 bytes of a third record: a name and no doses.
        BadEntry { "partial_record", "1\r\n3,1\r\n", "record 3" }),
    [](const ::testing::TestParamInfo<BadEntry>& info) { return std::string(info.param.label); });

TEST(BadCandidateList, NegativeOrZeroRecordNumbersAndAShortListAreReported)
{
    TempFolder folder;
    folder.write("MXDBASE.FIL", dataFile({ tabletDrug() }));
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    for (std::int16_t bad : { std::int16_t { 0 }, std::int16_t { -7 }, std::int16_t { -32768 } }) {
        state.CandidateRecords = { 0, bad };
        state.CandidateCount = 1;
        const auto tablet = makeTabletQuestion(state);
        EXPECT_FALSE(tablet.question.has_value()) << bad;
        EXPECT_NE(tablet.problem.find("below 1"), std::string::npos) << tablet.problem;
    }
    // A count larger than the list never reads past it.
    state.CandidateRecords = { 0, 1 };
    state.CandidateCount = 5;
    EXPECT_FALSE(makeFluidQuestion(state).problem.empty());
    state.CandidateCount = -1;
    EXPECT_FALSE(makeTabletQuestion(state).problem.empty());
}

TEST(BadCandidateList, MissingDataFileIsNamed)
{
    TempFolder folder;
    AppState state(std::make_unique<ScriptedRandom>(), folder.path());
    state.CandidateRecords = { 0, 1 };
    state.CandidateCount = 1;
    const auto result = makeFluidQuestion(state);
    EXPECT_FALSE(result.question.has_value());
    EXPECT_NE(result.problem.find("MXDBASE.FIL"), std::string::npos) << result.problem;
}

TEST(BadDrugRebuild, NanAndNegativeStrengthsAreListedNowhereYetTheirCategoryCounts)
{
    TempFolder folder;
    DrugRecord nan = drug("nan", Tablet, NaN, 0, 2);
    DrugRecord negative = drug("negative", Solution, -1, 5, 2);
    DrugRecord infinite = drug("infinite", Solution, Inf, 5, 1);
    folder.write("MXDBASE.FIL", dataFile({ nan, negative, infinite }));
    CategoryTables categories;
    categories.CategoryCount = 2;
    categories.CategoryName[1] = fitCategoryName("One");
    categories.CategoryCode[1] = 1;
    categories.CategoryName[2] = fitCategoryName("Two");
    categories.CategoryCode[2] = 2;
    rebuildIndexes(folder.path(), categories);
    EXPECT_EQ(folder.read("mxdbs1.idx"), "\r\n");
    EXPECT_EQ(folder.read("mxdbs2.idx"), "1\r\n3,1\r\n");
    EXPECT_EQ(folder.read("mxcat.idx"), "2\r\n\"One                 \",1\r\n\"Two                 \",2\r\n");
}

} // namespace
} // namespace tb::testing
