#include "drugdb/drug_editor.h"

#include "drugdb/drug_file.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tb {
namespace {

using Message = std::pair<std::string, std::string>; // text, title
const Message TitleMissing { "A drug title must be entered!", "" };
const Message RangeMissing { "Dose range and increment values must be included!", "Drug Database" };
const Message VolumeMissing { "All fluid doses must include a volume 'in' value!", "Drug Database" };
const Message IncrementMissing { "An 'increment value' must be included when using fluid preparations",
    "Drug Databas" };
const Message DoseMissing { "At least one dose must be included!", "Drug Database" };

// Two categories with a gap in their codes, so a new one gets code 2.
const std::string Categories = "2\r\n\"Analgesic           \",1\r\n\"Antibiotic          \",3\r\n";

class DrugEditorTest : public ::testing::Test {
protected:
    void writeDatabase(int records)
    {
        DrugRecord r; // tablets, in categories 1 and 3 by turns
        r.DoseRangeLow = 50;
        r.DoseRangeHigh = 200;
        r.FormCode[0] = Tablet;
        r.Strength[0] = 100;
        std::string bytes;
        for (int n = 1; n <= records; ++n) {
            r.GenericName = "Drug " + std::to_string(n);
            r.DrugCategory = static_cast<std::int16_t>(n % 2 == 0 ? 3 : 1);
            bytes += r.pack();
        }
        folder.write("MXDBASE.FIL", bytes);
        folder.write("mxcat.idx", Categories);
    }

    void open(int records)
    {
        writeDatabase(records);
        ASSERT_TRUE(editor.Form_Load());
    }

    std::vector<Message> messages() const
    {
        std::vector<Message> all;
        for (const auto& m : prompts.messages)
            all.emplace_back(m.text, m.title);
        return all;
    }

    std::string data() const { return folder.read("MXDBASE.FIL"); }

    testing::TempFolder folder;
    testing::FakePrompts prompts;
    AppState state { std::make_unique<ScriptedRandom>(), folder.path() };
    DrugEditor editor { state, prompts };
};

TEST_F(DrugEditorTest, OpensOnTheLastRecordWrapsBackAndOffersABlankRecordPastTheEnd)
{
    open(12);
    EXPECT_EQ(editor.screen.Recordno, "12 / 12");
    EXPECT_EQ(editor.screen.Text1, "Drug 12");
    EXPECT_EQ(editor.screen.categoryItems, (std::vector<std::string> { "Analgesic", "Antibiotic" }));
    editor.Command1_Click(2);
    EXPECT_EQ(editor.screen.Recordno, "1 / 12");
    editor.next_Click(0);
    EXPECT_EQ(editor.screen.Recordno, "12 / 12");

    const std::string before = data();
    editor.next_Click(1);
    const EditorScreen& s = editor.screen;
    EXPECT_EQ(s.Recordno, "13 / 13");
    EXPECT_EQ(s.Text1, "");
    EXPECT_EQ(s.Dose[0], "0");
    EXPECT_EQ(s.doseunit[0], 6);
    EXPECT_EQ(s.Cbcategory, "");
    EXPECT_TRUE(prompts.messages.empty());

    editor.next_Click(1); // untouched: reported, and the editor stays on it
    EXPECT_EQ(messages(), (std::vector<Message> { TitleMissing, RangeMissing, DoseMissing }));
    EXPECT_EQ(s.Recordno, "13 / 13");
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, OnlyAChangedRecordIsOfferedForSavingAndDeleteAsksNothing)
{
    open(5);
    const std::string before = data();
    editor.Command1_Click(2);
    editor.next_Click(0);
    EXPECT_TRUE(prompts.questions.empty());

    editor.screen.Text1 = "   ";
    editor.screen.Text2[1] = "Other name";
    prompts.yesNoAnswers = { true, false };
    editor.next_Click(0); // Yes, but without a name: stays on the edits
    EXPECT_EQ(messages(), std::vector<Message> { TitleMissing });
    EXPECT_EQ(editor.screen.Recordno, "5 / 5");
    EXPECT_EQ(editor.screen.Text2[1], "Other name");

    editor.screen.Text2[1] = "Another name";
    editor.next_Click(0); // No: moves on
    EXPECT_EQ(prompts.questions, std::vector<std::string>(2, "This record has changed. Would you like to save it?"));
    EXPECT_EQ(editor.screen.Recordno, "4 / 5");
    EXPECT_EQ(data(), before);

    editor.Command1_Click(3);
    editor.screen.Text1 = "edit that is lost";
    editor.Delete_Click(); // the last of five, without a question
    EXPECT_EQ(prompts.questions.size(), 2u);
    EXPECT_EQ(editor.screen.Recordno, "4 / 4");
    EXPECT_EQ(editor.screen.Text1, "Drug 4");
    EXPECT_EQ(data(), before.substr(0, 4 * 240));
}

TEST_F(DrugEditorTest, CheckRecordReportsEveryFailedCheckInOrder)
{
    // Edits of the loaded tablet record; the listed rows become solution rows of that dose and volume.
    struct Case {
        const char *name, *title, *low, *high, *dose0, *volume0;
        std::vector<std::pair<int, const char*>> fluidRows;
        const char *fluidDose, *increment;
        std::vector<Message> expected;
    };
    const Case cases[] = {
        { "valid tablet", "Drug 1", "50", "200", "100", "", {}, "", "0", {} },
        { "blank", "", "", "", "", "", {}, "", "0", { TitleMissing, RangeMissing, DoseMissing } },
        { "fluid rows without volume", "Drug 1", "50", "200", "100", "", { { 1, "" }, { 3, "0" } }, "10", "1",
            { VolumeMissing, VolumeMissing } },
        { "fluid without increment", "Drug 1", "50", "200", "100", "", { { 2, "5" } }, "10", "0",
            { IncrementMissing } },
        { "fluid complete", "Drug 1", "50", "200", "100", "", { { 2, "5" } }, "10", "2.5", {} },
        { "solid row keeps a stale volume", "Drug 1", "50", "200", "100", "5", {}, "", "0", {} },
        { "no dose but a fluid volume", "Drug 1", "50", "200", "0", "", { { 4, "10" } }, "0", "0",
            { IncrementMissing, DoseMissing } },
    };
    open(1);
    const EditorScreen loaded = editor.screen;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.messages.clear();
        EditorScreen& s = editor.screen = loaded;
        std::tie(s.Text1, s.Text3[0], s.Text3[1], s.Dose[0], s.noof[0], s.Increment)
            = std::tie(c.title, c.low, c.high, c.dose0, c.volume0, c.increment);
        for (const auto& [row, volume] : c.fluidRows)
            std::tie(s.Type[row], s.Dose[row], s.noof[row]) = std::tuple(Solution, c.fluidDose, volume);
        editor.checkrecord();
        EXPECT_EQ(messages(), c.expected);
        EXPECT_EQ(editor.recordrejected, !c.expected.empty());
    }
}

TEST(DrugEditorKeys, TestKeyDropsEverythingButDigitsPointAndControlCharacters)
{
    std::string keys = "aZ-/,+:e\x7F"
                       "09.\b\r \x16\x80";
    for (char& k : keys) {
        int code = static_cast<unsigned char>(k);
        DrugEditor::testkey(code);
        k = static_cast<char>(code);
    }
    EXPECT_EQ(keys, std::string(9, '\0') + "09.\b\r \x16\x80");
}

TEST_F(DrugEditorTest, ATypedCategoryIsCreatedEvenWhenTheRecordIsNotSaved)
{
    open(2);
    const std::string before = data();
    editor.screen.Cbcategory = "   "; // an empty box creates nothing
    editor.readscreen();
    EXPECT_EQ(state.categories.CategoryCount, 2);
    EXPECT_EQ(editor.working.DrugCategory, 3);

    editor.screen.Cbcategory = "Antiviral  ";
    prompts.yesNoAnswers = { false };
    editor.next_Click(0);
    EXPECT_EQ(
        messages(), (std::vector<Message> { { "You have created a new category for this drug", "Drug Database" } }));
    ASSERT_EQ(state.categories.CategoryCount, 3);
    EXPECT_EQ(state.categories.CategoryName[3], "Antiviral           ");
    EXPECT_EQ(state.categories.CategoryCode[3], 2);
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, ClosingRebuildsTheFilesTheNextStartUpReads)
{
    open(3);
    editor.Command1_Click(2); // record 1 becomes a fluid-only drug in a new category, saved on closing
    EditorScreen& s = editor.screen;
    s.Type[0] = Suspension;
    editor.Type_Click(0);
    s.noof[0] = "5";
    s.Increment = "10";
    s.Cbcategory = "Antiviral";
    prompts.yesNoAnswers = { true };
    ASSERT_TRUE(editor.Form_Unload());
    AppState next { std::make_unique<ScriptedRandom>(), folder.path() };
    ASSERT_FALSE(loadStartupFiles(next).has_value());
    EXPECT_EQ(next.TabletIndex.count, 2);
    EXPECT_EQ(next.FluidIndex.category[1], 2);
    EXPECT_EQ(trimmedRight(next.categories.CategoryName[3]), "Antiviral");
}

// Each file made unusable in turn (a folder with something in it stands in its place): the data
// and category files are reported on opening, an index file on closing.
class DrugEditorFileError : public DrugEditorTest, public ::testing::WithParamInterface<const char*> { };

TEST_P(DrugEditorFileError, IsReportedNamingTheFile)
{
    const std::string name = GetParam();
    writeDatabase(2);
    std::filesystem::remove(folder / name);
    std::filesystem::create_directories(folder / name / "inside");
    const bool opened = editor.Form_Load();
    EXPECT_EQ(opened, name == "mxdbs1.idx");
    EXPECT_TRUE(!opened || editor.Form_Unload());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find(name), std::string::npos) << prompts.messages[0].text;
}

INSTANTIATE_TEST_SUITE_P(Files, DrugEditorFileError, ::testing::Values("MXDBASE.FIL", "mxcat.idx", "mxdbs1.idx"));

} // namespace
} // namespace tb
