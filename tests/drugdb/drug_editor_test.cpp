#include "drugdb/drug_editor.h"

#include "drugdb/drug_file.h"
#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tb {
namespace {

using tb::testing::FakePrompts;
using tb::testing::TempFolder;

const char* const TitleMissing = "A drug title must be entered!";
const char* const RangeMissing = "Dose range and increment values must be included!";
const char* const VolumeMissing = "All fluid doses must include a volume 'in' value!";
const char* const IncrementMissing = "An 'increment value' must be included when using fluid preparations";
const char* const DoseMissing = "At least one dose must be included!";

DrugRecord tabletDrug(const std::string& name, std::int16_t category = 1)
{
    DrugRecord r;
    r.GenericName = name;
    r.TradeName = { name + " Trade", "" };
    r.DoseRangeLow = 50;
    r.DoseRangeLowUnit = Mg;
    r.DoseRangeHigh = 200;
    r.DoseRangeHighUnit = Mg;
    r.FormCode[0] = Tablet;
    r.Strength[0] = 100;
    r.StrengthUnit[0] = Mg;
    r.HalfTablet[0] = 1;
    r.VolumeUnit.fill(6);
    r.DrugCategory = category;
    return r;
}

// Two categories with a gap in their codes, so a new one gets code 2.
const std::string Categories = "2\r\n\"Analgesic           \",1\r\n\"Antibiotic          \",3\r\n";

class DrugEditorTest : public ::testing::Test {
protected:
    void writeDatabase(int records)
    {
        folder.write("MXDBASE.FIL", "");
        DrugFile file(folder.path());
        for (int n = 1; n <= records; ++n)
            file.write(n, tabletDrug("Drug " + std::to_string(n), n % 2 == 0 ? 3 : 1));
        file.close();
        folder.write("mxcat.idx", Categories);
        folder.write("mxdbs1.idx", "");
        folder.write("mxdbs2.idx", "");
    }

    DrugEditor& open(int records)
    {
        writeDatabase(records);
        EXPECT_TRUE(editor.Form_Load());
        return editor;
    }

    std::vector<std::string> messageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& m : prompts.messages)
            texts.push_back(m.text);
        return texts;
    }

    std::string data() const { return folder.read("MXDBASE.FIL"); }

    TempFolder folder;
    FakePrompts prompts;
    AppState state { std::make_unique<ScriptedRandom>(), folder.path() };
    DrugEditor editor { state, prompts };
};

TEST_F(DrugEditorTest, OpensOnTheLastRecord)
{
    open(12);
    EXPECT_EQ(editor.CurrentRecord, 12);
    EXPECT_EQ(editor.screen.Recordno, "12 / 12");
    EXPECT_EQ(editor.screen.Text1, "Drug 12");
    EXPECT_EQ(editor.screen.Text2[0], "Drug 12 Trade");
    EXPECT_EQ(editor.screen.Text3[0], "50");
    EXPECT_EQ(editor.screen.Dose[0], "100");
    EXPECT_EQ(editor.screen.Check1[0], 1);
    EXPECT_EQ(editor.screen.Cbcategory, "Antibiotic          ");
    EXPECT_EQ(editor.screen.categoryItems, (std::vector<std::string> { "Analgesic", "Antibiotic" }));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DrugEditorTest, FirstLastAndPreviousWrapAround)
{
    open(12);
    editor.Command1_Click(2);
    EXPECT_EQ(editor.screen.Recordno, "1 / 12");
    EXPECT_EQ(editor.screen.Text1, "Drug 1");
    editor.next_Click(0);
    EXPECT_EQ(editor.screen.Recordno, "12 / 12");
    editor.next_Click(0);
    EXPECT_EQ(editor.screen.Recordno, "11 / 12");
    editor.Command1_Click(3);
    EXPECT_EQ(editor.screen.Recordno, "12 / 12");
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(DrugEditorTest, NextFromAValidLastRecordGivesABlankNewRecord)
{
    open(12);
    const std::string before = data();
    editor.next_Click(1);
    const EditorScreen& s = editor.screen;
    EXPECT_EQ(s.Recordno, "13 / 13");
    EXPECT_EQ(s.Text1, "");
    EXPECT_EQ(s.List1, (std::array<int, 2> { 6, 6 }));
    EXPECT_EQ(s.Text3, (std::array<std::string, 2> { "0", "0" }));
    EXPECT_EQ(s.Increment, "0");
    for (int i = 0; i < EditorScreen::Rows; ++i) {
        EXPECT_EQ(s.Type[i], 0) << i;
        EXPECT_EQ(s.doseunit[i], 6) << i;
        EXPECT_EQ(s.Dose[i], "0") << i;
        EXPECT_FALSE(s.fluidRow[i]) << i;
    }
    EXPECT_EQ(s.Cbcategory, "");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(data(), before); // the new record exists only on the screen
}

TEST_F(DrugEditorTest, NextOnTheUntouchedBlankRecordReportsChecksOneTwoFiveAndStays)
{
    open(12);
    editor.next_Click(1);
    editor.next_Click(1);
    ASSERT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(prompts.messages[0].text, TitleMissing);
    EXPECT_EQ(prompts.messages[0].title, "");
    EXPECT_EQ(prompts.messages[1].text, RangeMissing);
    EXPECT_EQ(prompts.messages[1].title, "Drug Database");
    EXPECT_EQ(prompts.messages[2].text, DoseMissing);
    EXPECT_EQ(prompts.messages[2].title, "Drug Database");
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(editor.screen.Recordno, "13 / 13");
    EXPECT_EQ(editor.screen.Text1, "");
    EXPECT_FALSE(editor.recordrejected);
}

TEST_F(DrugEditorTest, MovingWithoutChangesAsksAndWritesNothing)
{
    open(5);
    const std::string before = data();
    editor.Command1_Click(2);
    editor.next_Click(1);
    editor.next_Click(0);
    editor.Command1_Click(3);
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, AnsweringNoMovesOnAndLeavesTheFileUntouched)
{
    open(5);
    const std::string before = data();
    editor.screen.Text2[1] = "Other name";
    prompts.yesNoAnswers = { false };
    editor.next_Click(0);
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0], "This record has changed. Would you like to save it?");
    EXPECT_FALSE(state.saveanswer);
    EXPECT_EQ(editor.screen.Recordno, "4 / 5");
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, AnsweringYesWithABlankGenericNameStaysOnTheEdits)
{
    open(5);
    const std::string before = data();
    editor.screen.Text1 = "   ";
    editor.screen.Text2[1] = "Other name";
    prompts.yesNoAnswers = { true };
    editor.next_Click(0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, TitleMissing);
    EXPECT_EQ(prompts.messages[0].title, "");
    EXPECT_EQ(editor.screen.Recordno, "5 / 5");
    EXPECT_EQ(editor.screen.Text2[1], "Other name");
    EXPECT_FALSE(editor.recordrejected);
    EXPECT_EQ(data(), before);

    // The rejected edits are now the reference: leaving again asks nothing and discards them.
    editor.next_Click(0);
    EXPECT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(editor.screen.Recordno, "4 / 5");
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, AnsweringYesWritesAValidChangeInPlace)
{
    open(5);
    editor.Command1_Click(2);
    editor.screen.Text2[1] = "Second";
    editor.screen.Dose[1] = "12.5";
    editor.screen.doseunit[1] = Mcg;
    prompts.yesNoAnswers = { true };
    editor.next_Click(1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(editor.screen.Recordno, "2 / 5");
    EXPECT_EQ(data().size(), 5u * 240);

    const DrugRecord saved = readDrugRecord(folder.path(), 1);
    EXPECT_EQ(trimmedRight(saved.TradeName[1]), "Second");
    EXPECT_EQ(saved.Strength[1], 12.5);
    EXPECT_EQ(saved.StrengthUnit[1], Mcg);
    EXPECT_EQ(saved.VolumeUnit[1], 6);
    EXPECT_EQ(saved.DrugCategory, 1);
    EXPECT_EQ(trimmedRight(readDrugRecord(folder.path(), 2).GenericName), "Drug 2");
}

TEST_F(DrugEditorTest, ANewRecordIsWrittenWhenSavedAndNotBefore)
{
    open(3);
    editor.next_Click(1);
    EditorScreen& s = editor.screen;
    s.Text1 = "Newdrug";
    s.Text3 = { "1", "2" };
    s.List1 = { G, G };
    s.Type[0] = Syrup;
    editor.Type_Click(0);
    s.Dose[0] = "250";
    s.noof[0] = "5";
    s.Increment = "0.25";
    prompts.yesNoAnswers = { true };
    editor.Command1_Click(2);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(editor.screen.Recordno, "1 / 4");
    const DrugRecord saved = readDrugRecord(folder.path(), 4);
    EXPECT_EQ(trimmedRight(saved.GenericName), "Newdrug");
    EXPECT_EQ(saved.FormCode[0], Syrup);
    EXPECT_EQ(saved.Volume[0], 5);
    EXPECT_EQ(saved.FluidIncrement, 0.25);
    EXPECT_EQ(saved.DoseRangeLowUnit, G);
    EXPECT_EQ(saved.StrengthUnit[1], Mg);
}

TEST_F(DrugEditorTest, ASecondNewRecordIsStoredRightAfterTheFileNotBehindAGap)
{
    open(3);
    editor.next_Click(1); // 4 / 4, blank
    EditorScreen& s = editor.screen;
    s.Text1 = "Gapless";
    s.Text3 = { "1", "2" };
    s.Dose[0] = "1";
    prompts.yesNoAnswers = { false, true };
    editor.next_Click(1); // not saved, but it passes its checks: 5 / 5
    EXPECT_EQ(editor.screen.Recordno, "5 / 5");
    s.Text1 = "Gapless";
    s.Text3 = { "1", "2" };
    s.Dose[0] = "1";
    editor.Command1_Click(2);
    EXPECT_EQ(data().size(), 4u * 240);
    EXPECT_EQ(trimmedRight(readDrugRecord(folder.path(), 4).GenericName), "Gapless");
}

struct CheckCase {
    const char* name;
    std::function<void(EditorScreen&)> edit;
    std::vector<std::string> messages;
};

class CheckRecordTest : public DrugEditorTest, public ::testing::WithParamInterface<CheckCase> { };

TEST_P(CheckRecordTest, ReportsEveryFailedCheckInOrder)
{
    open(1);
    GetParam().edit(editor.screen);
    editor.checkrecord();
    EXPECT_EQ(messageTexts(), GetParam().messages);
    EXPECT_EQ(editor.recordrejected, !GetParam().messages.empty());
    for (const auto& m : prompts.messages)
        EXPECT_EQ(m.title, m.text == TitleMissing ? "" : m.text == IncrementMissing ? "Drug Databas" : "Drug Database");
}

void fluidRow(EditorScreen& s, int row, const char* volume)
{
    s.Type[row] = Solution;
    s.Dose[row] = "10";
    s.noof[row] = volume;
}

INSTANTIATE_TEST_SUITE_P(Checks, CheckRecordTest,
    ::testing::Values(CheckCase { "ValidTablet", [](EditorScreen&) {}, {} },
        CheckCase { "Blank",
            [](EditorScreen& s) {
                s.Text1 = "";
                s.Text3 = { "", "" };
                s.Dose = { "", "0", "", "", "" };
            },
            { TitleMissing, RangeMissing, DoseMissing } },
        CheckCase { "HighBoundZero", [](EditorScreen& s) { s.Text3[1] = "0"; }, { RangeMissing } },
        CheckCase { "TwoFluidRowsWithoutVolume",
            [](EditorScreen& s) {
                fluidRow(s, 1, "");
                fluidRow(s, 3, "0");
                s.Increment = "1";
            },
            { VolumeMissing, VolumeMissing } },
        CheckCase { "FluidWithoutIncrement",
            [](EditorScreen& s) {
                fluidRow(s, 2, "5");
                s.Increment = "0";
            },
            { IncrementMissing } },
        CheckCase { "FluidComplete",
            [](EditorScreen& s) {
                fluidRow(s, 2, "5");
                s.Increment = "2.5";
            },
            {} },
        CheckCase { "SolidRowKeepsAStaleVolume",
            [](EditorScreen& s) {
                s.noof[0] = "5";
                s.Increment = "0";
            },
            {} },
        CheckCase { "NoDoseButAFluidVolume",
            [](EditorScreen& s) {
                s.Dose[0] = "0";
                s.Type[4] = IVInjection;
                s.noof[4] = "10";
            },
            { IncrementMissing, DoseMissing } }),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST_F(DrugEditorTest, ChoosingAFluidFormShowsTheVolumeBoxWithoutClearingValues)
{
    open(1);
    editor.screen.Type[2] = Syrup;
    editor.screen.Check1[2] = 1;
    editor.Type_Click(2);
    EXPECT_TRUE(editor.screen.fluidRow[2]);
    EXPECT_EQ(editor.screen.Check1[2], 1);
    editor.screen.Type[2] = Capsule;
    editor.Type_Click(2);
    EXPECT_FALSE(editor.screen.fluidRow[2]);
}

TEST_F(DrugEditorTest, ShowingAFluidRowClearsItsHalfTabletAndASolidRowEmptiesItsVolume)
{
    writeDatabase(1);
    {
        DrugFile file(folder.path());
        DrugRecord r = tabletDrug("Mixed");
        r.FormCode[1] = Elixir;
        r.HalfTablet[1] = 1;
        r.Strength[1] = 5;
        r.Volume[1] = 2.5;
        r.Volume[0] = 9; // left over on a solid slot
        r.FluidIncrement = 0.5;
        file.write(1, r);
    }
    ASSERT_TRUE(editor.Form_Load());
    EXPECT_TRUE(editor.screen.fluidRow[1]);
    EXPECT_EQ(editor.screen.Check1[1], 0);
    EXPECT_EQ(editor.screen.noof[1], "2.5");
    EXPECT_FALSE(editor.screen.fluidRow[0]);
    EXPECT_EQ(editor.screen.noof[0], "");
    EXPECT_EQ(editor.screen.Increment, "0.5");
}

struct KeyCase {
    int typed;
    int passed;
};

class TestKeyTest : public ::testing::TestWithParam<KeyCase> { };

TEST_P(TestKeyTest, DropsEverythingButDigitsPointAndControlCharacters)
{
    int k = GetParam().typed;
    DrugEditor::testkey(k);
    EXPECT_EQ(k, GetParam().passed);
}

INSTANTIATE_TEST_SUITE_P(Keys, TestKeyTest,
    ::testing::Values(KeyCase { 'a', 0 }, KeyCase { 'Z', 0 }, KeyCase { '-', 0 }, KeyCase { '/', 0 },
        KeyCase { ',', 0 }, KeyCase { '!', 0 }, KeyCase { '+', 0 }, KeyCase { ':', 0 }, KeyCase { 'e', 0 },
        KeyCase { 127, 0 }, KeyCase { '0', '0' }, KeyCase { '9', '9' }, KeyCase { '.', '.' }, KeyCase { 8, 8 },
        KeyCase { 13, 13 }, KeyCase { ' ', ' ' }, KeyCase { 22, 22 }, KeyCase { 128, 128 }, KeyCase { 233, 233 }));

TEST_F(DrugEditorTest, ATypedCategoryIsCreatedEvenWhenTheRecordIsNotSaved)
{
    open(2);
    const std::string before = data();
    editor.screen.Cbcategory = "Antiviral  ";
    prompts.yesNoAnswers = { false };
    editor.next_Click(0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "You have created a new category for this drug");
    EXPECT_EQ(prompts.messages[0].title, "Drug Database");
    EXPECT_EQ(prompts.questions.size(), 1u);
    ASSERT_EQ(state.categories.CategoryCount, 3);
    EXPECT_EQ(state.categories.CategoryName[3], "Antiviral           ");
    EXPECT_EQ(state.categories.CategoryCode[3], 2);
    EXPECT_EQ(editor.screen.categoryItems.back(), "Antiviral");
    EXPECT_EQ(data(), before);

    // Choosing it again, with other letter case, is another new category; the same text is not.
    editor.screen.Cbcategory = "Antiviral";
    editor.readscreen();
    editor.screen.Cbcategory = "antiviral";
    editor.readscreen();
    EXPECT_EQ(state.categories.CategoryCount, 4);
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(DrugEditorTest, AnEmptyCategoryBoxCreatesNothingAndKeepsTheCategory)
{
    open(2);
    editor.screen.Cbcategory = "   ";
    editor.readscreen();
    EXPECT_EQ(state.categories.CategoryCount, 2);
    EXPECT_EQ(editor.working.DrugCategory, 3);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DrugEditorTest, ASavedRecordTakesItsNewCategory)
{
    open(2);
    editor.screen.Cbcategory = "Antiviral";
    prompts.yesNoAnswers = { true };
    editor.Command1_Click(2);
    EXPECT_EQ(readDrugRecord(folder.path(), 2).DrugCategory, 2);
}

TEST_F(DrugEditorTest, AFiftyFirstCategoryIsRefusedWithAPlainMessage)
{
    std::string categories = "50\r\n";
    for (int c = 1; c <= 50; ++c)
        categories += "\"Group " + std::to_string(c) + "\"," + std::to_string(c) + "\r\n";
    writeDatabase(1);
    folder.write("mxcat.idx", categories);
    ASSERT_TRUE(editor.Form_Load());
    editor.screen.Cbcategory = "One too many";
    prompts.yesNoAnswers = { true };
    editor.Command1_Click(2);
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_NE(prompts.messages[0].text.find("at most 50 categories"), std::string::npos);
    EXPECT_NE(prompts.messages[0].text.find("\"One too many\" was not added"), std::string::npos);
    EXPECT_EQ(state.categories.CategoryCount, 50);
    EXPECT_EQ(editor.screen.categoryItems.size(), 50u);
    EXPECT_EQ(readDrugRecord(folder.path(), 1).DrugCategory, 1); // saved, keeping its category
}

TEST_F(DrugEditorTest, DeletingTheLastOfFiveShowsFourOfFour)
{
    open(5);
    editor.screen.Text1 = "edit that is lost";
    editor.Delete_Click();
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(editor.screen.Recordno, "4 / 4");
    EXPECT_EQ(editor.screen.Text1, "Drug 4");
    EXPECT_EQ(data().size(), 4u * 240);
}

TEST_F(DrugEditorTest, DeletingAMiddleRecordMovesTheLaterOnesDown)
{
    open(5);
    editor.Command1_Click(2);
    editor.next_Click(1);
    editor.next_Click(1);
    editor.Delete_Click();
    EXPECT_EQ(editor.screen.Recordno, "3 / 4");
    EXPECT_EQ(editor.screen.Text1, "Drug 4");
}

TEST_F(DrugEditorTest, DeletingTheOnlyRecordLeavesOneBlankRecordReadyToFill)
{
    open(1);
    editor.Delete_Click();
    EXPECT_EQ(editor.screen.Recordno, "1 / 1");
    EXPECT_EQ(editor.screen.Text1, "");
    EXPECT_EQ(editor.screen.doseunit[0], 6);
    EXPECT_EQ(data().size(), 0u);

    editor.Delete_Click(); // nothing left to delete: still 1 / 1
    EXPECT_EQ(editor.screen.Recordno, "1 / 1");
    EXPECT_TRUE(prompts.messages.empty());

    editor.screen.Text1 = "Refilled";
    editor.screen.Text3 = { "1", "2" };
    editor.screen.Dose[0] = "1";
    prompts.yesNoAnswers = { true };
    editor.next_Click(1);
    EXPECT_EQ(editor.screen.Recordno, "2 / 2");
    EXPECT_EQ(data().size(), 240u);
    EXPECT_EQ(trimmedRight(readDrugRecord(folder.path(), 1).GenericName), "Refilled");
}

TEST_F(DrugEditorTest, DeletingAnUnsavedNewRecordDropsIt)
{
    open(3);
    const std::string before = data();
    editor.next_Click(1);
    editor.Delete_Click();
    EXPECT_EQ(editor.screen.Recordno, "3 / 3");
    EXPECT_EQ(editor.screen.Text1, "Drug 3");
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, ClosingRebuildsTheFilesTheNextStartUpReads)
{
    open(3);
    editor.Command1_Click(2);
    // Record 1 becomes a fluid-only drug in a new category.
    EditorScreen& s = editor.screen;
    s.Type[0] = Suspension;
    editor.Type_Click(0);
    s.noof[0] = "5";
    s.Increment = "10";
    s.Cbcategory = "Antiviral";
    prompts.yesNoAnswers = { true, true };
    editor.next_Click(1);
    // Record 2 is changed on the screen and saved by the closing.
    s.Dose[1] = "25";
    ASSERT_TRUE(editor.Form_Unload());
    EXPECT_FALSE(editor.isOpen());
    EXPECT_EQ(prompts.questions.size(), 2u);
    EXPECT_EQ(readDrugRecord(folder.path(), 2).Strength[1], 25);

    AppState next { std::make_unique<ScriptedRandom>(), folder.path() };
    ASSERT_FALSE(loadStartupFiles(next).has_value());
    ASSERT_EQ(next.TabletIndex.count, 2);
    EXPECT_EQ(next.TabletIndex.record[1], 2);
    EXPECT_EQ(next.TabletIndex.category[1], 3);
    EXPECT_EQ(next.TabletIndex.record[2], 3);
    ASSERT_EQ(next.FluidIndex.count, 1);
    EXPECT_EQ(next.FluidIndex.record[1], 1);
    EXPECT_EQ(next.FluidIndex.category[1], 2);
    ASSERT_EQ(next.categories.CategoryCount, 3);
    EXPECT_EQ(trimmedRight(next.categories.CategoryName[3]), "Antiviral");
    EXPECT_EQ(next.categories.CategoryCode[3], 2);

    EXPECT_TRUE(editor.Form_Unload()); // a second close does nothing
    EXPECT_EQ(prompts.questions.size(), 2u);
}

TEST_F(DrugEditorTest, ClosingWithARecordThatFailsItsChecksClosesWithoutSavingIt)
{
    open(2);
    const std::string before = data();
    editor.screen.Text3[0] = "0";
    prompts.yesNoAnswers = { true };
    EXPECT_TRUE(editor.Form_Unload());
    EXPECT_EQ(messageTexts(), std::vector<std::string> { RangeMissing });
    EXPECT_EQ(data(), before);
    EXPECT_FALSE(editor.isOpen());
}

// A full database refuses record 32768: the teacher is told, and the edits stay on the
// screen and stay "changed" until the teacher discards them.
TEST_F(DrugEditorTest, ARecordTheFileRefusesIsKeptOnTheScreen)
{
    writeDatabase(0);
    std::filesystem::resize_file(folder / "MXDBASE.FIL", std::uintmax_t { MaxDrugRecords - 1 } * 240);
    {
        DrugFile file(folder.path());
        file.write(MaxDrugRecords, tabletDrug("Last"));
    }
    ASSERT_TRUE(editor.Form_Load());
    EXPECT_EQ(editor.screen.Recordno, "32767 / 32767");
    editor.next_Click(1);
    EXPECT_EQ(editor.screen.Recordno, "32768 / 32768");
    EditorScreen& s = editor.screen;
    s.Text1 = "One too many";
    s.Text3 = { "1", "2" };
    s.Dose[0] = "5";
    const auto size = std::filesystem::file_size(folder / "MXDBASE.FIL");

    prompts.yesNoAnswers = { true, true, false };
    editor.next_Click(0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("MXDBASE.FIL"), std::string::npos);
    EXPECT_NE(prompts.messages[0].text.find("32767"), std::string::npos);
    EXPECT_EQ(editor.screen.Recordno, "32768 / 32768");
    EXPECT_EQ(editor.screen.Text1, "One too many");

    // Closing asks again and, refused again, keeps the window open.
    EXPECT_FALSE(editor.Form_Unload());
    EXPECT_TRUE(editor.isOpen());
    EXPECT_EQ(prompts.questions.size(), 2u);
    EXPECT_EQ(editor.screen.Text1, "One too many");

    // Answering No closes without it.
    EXPECT_TRUE(editor.Form_Unload());
    EXPECT_EQ(prompts.questions.size(), 3u);
    EXPECT_FALSE(editor.isOpen());
    EXPECT_EQ(std::filesystem::file_size(folder / "MXDBASE.FIL"), size);
}

TEST_F(DrugEditorTest, ADataFileThatCannotBeOpenedIsNamedAndNothingIsRebuilt)
{
    folder.write("mxcat.idx", Categories);
    folder.write("mxdbs1.idx", "1\r\n1,1\r\n");
    std::filesystem::create_directory(folder / "MXDBASE.FIL");
    EXPECT_FALSE(editor.Form_Load());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("MXDBASE.FIL"), std::string::npos);
    EXPECT_FALSE(editor.isOpen());
    editor.next_Click(1);
    editor.Delete_Click();
    EXPECT_TRUE(editor.Form_Unload());
    EXPECT_EQ(folder.read("mxdbs1.idx"), "1\r\n1,1\r\n");
}

TEST_F(DrugEditorTest, AMissingCategoryFileIsNamed)
{
    writeDatabase(2);
    std::filesystem::remove(folder / "mxcat.idx");
    EXPECT_FALSE(editor.Form_Load());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("mxcat.idx"), std::string::npos);
}

TEST_F(DrugEditorTest, AnIndexFileThatCannotBeReplacedIsReportedAndTheRecordsStaySaved)
{
    open(2);
    std::filesystem::remove(folder / "mxdbs1.idx");
    std::filesystem::create_directory(folder / "mxdbs1.idx");
    std::filesystem::create_directory(folder / "mxdbs1.idx" / "inside");
    editor.screen.Text2[1] = "Kept";
    prompts.yesNoAnswers = { true };
    EXPECT_TRUE(editor.Form_Unload());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("mxdbs1.idx"), std::string::npos);
    EXPECT_EQ(trimmedRight(readDrugRecord(folder.path(), 2).TradeName[1]), "Kept");
}

} // namespace
} // namespace tb
