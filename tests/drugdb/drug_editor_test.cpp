#include "core/drugdb/drug_editor.h"

#include "core/drugdb/drug_file.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tb {
namespace {

using Message = std::pair<std::string, std::string>; // text, title
const Message VolumeMissing { "All fluid doses must include a volume 'in' value!", "Drug Database" };
const Message IncrementMissing { "An 'increment value' must be included when using fluid preparations",
    "Drug Databas" };

class DrugEditorTest : public ::testing::Test {
protected:
    void writeDatabase(int records)
    {
        DrugRecord r; // tablets named "Drug 1" to "Drug n" in one category
        std::tie(r.DoseRangeLow, r.DoseRangeHigh, r.FormCode[0], r.Strength[0], r.DrugCategory)
            = std::tuple(50.0, 200.0, Tablet, 100.0, 1);
        std::string bytes;
        for (int n = 1; n <= records; ++n) {
            r.GenericName = "Drug " + std::to_string(n);
            bytes += r.pack();
        }
        folder.write("MXDBASE.FIL", bytes);
        folder.write("mxcat.idx", "1\r\n\"Analgesic\",1\r\n");
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

    headless::TempFolder folder;
    headless::ScriptedPrompts prompts;
    AppState state { std::make_unique<ScriptedRandom>(), folder.path() };
    DrugEditor editor { state, prompts };
};

TEST_F(DrugEditorTest, DeletingTheLastRecordAsksNothingAndDropsItsEdits)
{
    open(5);
    const std::string before = data();
    editor.screen.Text1 = "edit that is lost";
    editor.Delete_Click();
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(editor.screen.Recordno, "4 / 4");
    EXPECT_EQ(editor.screen.Text1, "Drug 4");
    EXPECT_EQ(data(), before.substr(0, 4 * 240));
}

TEST_F(DrugEditorTest, WrapsBackAndOffersABlankRecordPastTheEndThatIsChecked)
{
    open(12);
    EXPECT_EQ(editor.screen.Recordno, "12 / 12");
    editor.Command1_Click(2);
    editor.next_Click(0);
    EXPECT_EQ(editor.screen.Recordno, "12 / 12");
    const std::string before = data();
    editor.next_Click(1);
    EXPECT_EQ(editor.screen.Recordno, "13 / 13");
    EXPECT_EQ(editor.screen.Text1, "");
    editor.next_Click(1); // untouched: reported, and the editor stays on it
    EXPECT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(editor.screen.Recordno, "13 / 13");
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, OnlyAChangedRecordIsOfferedForSavingAndATypedCategoryIsCreatedAnyway)
{
    open(5);
    const std::string before = data();
    editor.next_Click(0);
    EXPECT_TRUE(prompts.questions.empty());
    editor.screen.Cbcategory = "Antiviral  ";
    prompts.yesNoAnswers = { false };
    editor.next_Click(0);
    EXPECT_EQ(prompts.questions, std::vector<std::string> { "This record has changed. Would you like to save it?" });
    EXPECT_EQ(
        messages(), (std::vector<Message> { { "You have created a new category for this drug", "Drug Database" } }));
    EXPECT_EQ(editor.screen.Recordno, "3 / 5");
    ASSERT_EQ(state.categories.CategoryCount, 2);
    EXPECT_EQ(state.categories.CategoryName[2], "Antiviral           ");
    EXPECT_EQ(state.categories.CategoryCode[2], 2);
    EXPECT_EQ(data(), before);
}

TEST_F(DrugEditorTest, CheckRecordReportsEveryFailedCheckInOrder)
{
    open(1);
    // Fluid rows: one without a volume, one with a volume but no increment for the whole record.
    EditorScreen& s = editor.screen;
    std::tie(s.Type[1], s.Dose[1], s.noof[1]) = std::tuple(Solution, "10", "");
    std::tie(s.Type[3], s.Dose[3], s.noof[3]) = std::tuple(Solution, "10", "5");
    s.Increment = "0";
    editor.checkrecord();
    EXPECT_EQ(messages(), (std::vector<Message> { VolumeMissing, IncrementMissing }));
    EXPECT_TRUE(editor.recordrejected);
}

// Each file made unusable in turn (a folder with something in it stands in its place): the data
// and category files are reported on opening, an index file on closing.
// The dose per kg follows the generic name on the screen; a file that cannot be read is named, not replaced.
TEST_F(DrugEditorTest, WeightDoseIsKeptUnderTheShownGenericName)
{
    open(2); // on the last record
    EXPECT_EQ(editor.weightDoseName(), "Drug 2");
    EXPECT_FALSE(editor.shownWeightDose());
    const WeightDose dose { "Drug 2", 10, 15, 0, "BNF for Children 2024-25" };
    ASSERT_TRUE(editor.storeShownWeightDose(dose));
    EXPECT_EQ(folder.read("mxweight.txt"), "Drug 2; 10-15 mg/kg; per dose; BNF for Children 2024-25\r\n");
    editor.Command1_Click(2);
    EXPECT_FALSE(editor.shownWeightDose());
    editor.Command1_Click(3);
    EXPECT_EQ(editor.shownWeightDose(), dose);
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_TRUE(editor.storeShownWeightDose(std::nullopt));
    EXPECT_EQ(folder.read("mxweight.txt"), "");

    std::filesystem::remove(folder / "mxweight.txt");
    std::filesystem::create_directory(folder / "mxweight.txt");
    EXPECT_FALSE(editor.storeShownWeightDose(dose));
    ASSERT_EQ(prompts.messages.size(), 1U);
    EXPECT_NE(prompts.messages[0].text.find("mxweight.txt"), std::string::npos) << prompts.messages[0].text;
    EXPECT_TRUE(std::filesystem::is_directory(folder / "mxweight.txt"));
}

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
