#include "core/testbuilder/class_versions.h"

#include "testbuilder/model_fixture.h"

#include <filesystem>
#include <set>
#include <stdexcept>

namespace tb::testing {

using namespace tb::headless;
namespace {

// ---- version codes ----

struct CodeRow {
    const char* name;
    const char* typed;
    const char* read; // "" when it is no code
};

class VersionCodeTest : public ::testing::TestWithParam<CodeRow> { };

TEST_P(VersionCodeTest, ReadsWhatTheTeacherTypes)
{
    const auto code = parseVersionCode(GetParam().typed);
    EXPECT_EQ(code ? code->text() : std::string(), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Codes, VersionCodeTest,
    ::testing::Values(CodeRow { "OneDigitAndBlanks", " k7f3 2 ", "K7F3-02" }, CodeRow { "Sixty", "K7F3-60", "K7F3-60" },
        CodeRow { "SixtyOne", "K7F3-61", "" }, CodeRow { "LetterNotInAlphabet", "O7F3-02", "" }),
    [](const auto& info) { return std::string(info.param.name); });

// " Version K7F3-02" takes 16 characters of the 200.
TEST(VersionDescriptionTest, CarriesTheCodeWhenItFits)
{
    const std::string fits(184, 'd'), tooLong(185, 'd');
    EXPECT_EQ(versionDescription(fits + "   ", { "K7F3", 2 }), fits + " Version K7F3-02");
    EXPECT_EQ(versionDescription(tooLong, { "K7F3", 2 }), tooLong);
}

// ---- the category of a stored question ----

struct CategoryRow {
    const char* name;
    const char* text;
    int category;
};

class QuestionCategoryTest : public ::testing::TestWithParam<CategoryRow> { };

TEST_P(QuestionCategoryTest, ReadsTheGeneratorsWording)
{
    EXPECT_EQ(questionCategory(GetParam().text), GetParam().category);
}

INSTANTIATE_TEST_SUITE_P(Wordings, QuestionCategoryTest,
    ::testing::Values(CategoryRow { "Metric", "\r\nConvert 12345 milligrams to grams.", 1 },
        CategoryRow { "MetricSymbolsMicro", "\r\nConvert 0.5 mgs to \xB5gs.", 1 },
        CategoryRow { "Tablet",
            "\r\nA client is ordered 500 mg's of Paracetamol. 250 mg tablets are available.\r\n"
            "How many tablets will you give?",
            2 },
        CategoryRow { "Capsule",
            "\r\nA client is ordered 1 gram of Amoxycillin. 500 milligram capsules are available.\r\n"
            "How many capsules will you give?",
            2 },
        CategoryRow { "Fluid",
            "\r\nA client is ordered 250 mg's of Amoxycillin orally. 125 mg's in 5 ml's of suspension is "
            "available.\r\nHow many ml's will you administer?",
            3 },
        CategoryRow { "DropRateCharted",
            "\r\n1 litre of Normal Saline is charted over 8 hours. The drop factor is 20. Calculate the number of "
            "drops per minute.",
            4 },
        CategoryRow { "DropRateOrdered",
            "Ordered: 500 mls of Dextrose 5% in water over 4 hours using a giving set which delivers 60 drops/ml. "
            "Calculate the rate in drops/minute.",
            4 },
        CategoryRow { "DropRateDrip",
            "Calculate the drip rate for 1.5 litres of IV Fluids to be given over 12 hours via a giving set which "
            "delivers 15 drops/ml.",
            4 },
        CategoryRow { "DropRateRequired",
            "You are required to administer 1 litre of Normal Saline over 6 hours. The drop factor is 20. How many "
            "drops per minute are required to start the flow off at the correct rate?",
            4 },
        CategoryRow { "DropRateRunning",
            "1 litre of Normal Saline is charted over 8 hours. The drop factor is 20. The IV has been running for 3 "
            "hours. 600 mls remain. How many drops per minute are needed so that the IV finishes in the required "
            "time?",
            4 },
        CategoryRow { "PumpVolumetric",
            "\r\n1 litre of Normal Saline is to be given over 8 hours by volumetric pump. At what rate in ml/hr "
            "should the pump be set?",
            5 },
        CategoryRow { "PumpOrdered",
            "Ordered: 250 mls of IV Fluids over 30 minutes via an infusion pump. Calculate the pump rate in ml/hr.",
            5 },
        CategoryRow { "PumpRunning",
            "1 litre of Normal Saline is charted over 8 hours. The pump has been running for 2 hours and 30 "
            "minutes. 650 mls remain. At what rate in ml/hr should the pump now be set so that the infusion "
            "finishes in the required time?",
            5 },
        CategoryRow { "TimeAtPumpRate",
            "1 litre of IV Fluids is running through a volumetric pump at 125 ml/hr. How many minutes will the "
            "infusion take?",
            6 },
        CategoryRow { "TimeAtDropRate",
            "500 mls of Normal Saline is running at 25 drops per minute through a giving set which delivers 20 "
            "drops/ml. How many minutes will the infusion take?",
            6 },
        CategoryRow { "WeightDosePerKg",
            "\r\nA child weighing 18.4 kg is prescribed paracetamol 15 mg/kg per dose. How many mg is one dose?", 7 },
        CategoryRow { "WeightDoseDaily",
            "A child weighing 18.4 kg is prescribed ibuprofen 30 mg/kg/day in 3 divided doses. How many mg per dose?",
            7 },
        CategoryRow { "WeightDoseVolume",
            "A child weighing 18.4 kg is prescribed paracetamol 15 mg/kg per dose. Paracetamol 120 mg in 5 ml is "
            "available. How many ml will you give?",
            7 },
        CategoryRow { "WeightDoseLargestSafe",
            "A child weighing 18.4 kg is prescribed paracetamol. The safe dose is 10\x96"
            "15 mg/kg per dose. What is the largest safe single dose in mg?",
            7 },
        CategoryRow { "WeightDoseExcess",
            "A child weighing 18.4 kg is prescribed ibuprofen 225 mg per dose. The safe dose is 20\x96"
            "30 mg/kg/day in 3 divided doses. By how many mg does the prescribed dose exceed the largest safe single "
            "dose?",
            7 },
        // Letter case and the spread of blanks and line breaks do not matter.
        CategoryRow { "Reflowed", "  CONVERT 12345 milligrams\r\n\r\n to  grams.  ", 1 },
        // Questions a teacher writes, even in the generators' words, stay as written.
        CategoryRow { "Blank", "", 0 }, CategoryRow { "PhraseOnly", "How many tablets will you give?", 0 },
        CategoryRow { "ExtraSentence", "Convert 5 grams to milligrams. Show your working.", 0 },
        CategoryRow { "OwnWording", "A client needs 2 tablets. How many ml's of water?", 0 }),
    [](const auto& info) { return std::string(info.param.name); });

struct NameRow {
    const char* name;
    const char* file;
    const char* title;
    const char* proposed;
};

class ProposedNameTest : public ::testing::TestWithParam<NameRow> { };

TEST_P(ProposedNameTest, ComesFromTheTestsFileName)
{
    EXPECT_EQ(proposedVersionName(GetParam().file, GetParam().title), GetParam().proposed);
}

INSTANTIATE_TEST_SUITE_P(Names, ProposedNameTest,
    ::testing::Values(NameRow { "TitleWithColon", "week5.dsq", "Week 5: Drugs", "week5" },
        NameRow { "PathAndCase", "/school/tests/Week5.DSQ", "", "Week5" },
        NameRow { "UnsavedByTitle", "test.tmp", "Ward 7", "Ward 7" },
        NameRow { "UnsavedColon", "test.tmp", "Week 5: Drugs", "versions" },
        NameRow { "UnsavedUntitled", "test.tmp", "untitled", "versions" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParallelSummaryTest, CountsTheCategoriesAndTheCopies)
{
    EXPECT_EQ(parallelSummary({ 1, 2, 0, 2, 5 }),
        "5 questions: 1 Metric Conversions, 2 Tablet Dosages, 1 Infusion Pump Rates; 1 written by hand, copied as "
        "it is.");
}

// ---- making versions ----

VersionRequest requestOf(
    const std::string& base, bool parallel, int versions, std::optional<VersionCode> only = {}, std::string folder = {})
{
    VersionRequest request;
    request.base = base;
    request.folder = std::move(folder);
    request.parallel = parallel;
    request.versions = versions;
    request.only = only;
    return request;
}

class ClassVersionsTest : public ModelFixture {
protected:
    void SetUp() override
    {
        loadSampleDatabase();
        model->acceptDescription("Ward 7", "Drug rounds", "Show your working.", 1);
    }

    VersionsOutcome make(const std::string& base, int versions, std::optional<VersionCode> only = std::nullopt,
        FaultHook* hook = nullptr)
    {
        const VersionRequest request = requestOf(base, false, versions, only);
        return makeClassVersions(*model, *state, prompts, &printer, "5", request, hook);
    }

    std::string versionFile(const std::string& base, int version) const
    {
        return folder.read(versionFileName(base, version));
    }

    /// The files of the folder whose names begin with "ward".
    std::set<std::string> made() const
    {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            if (entry.path().filename().string().rfind("ward", 0) == 0)
                found.insert(entry.path().filename().string());
        return found;
    }

    FakePrinter printer;
};

TEST_F(ClassVersionsTest, TheSameCodeGivesTheSameBytesAndTwoCodesDiffer)
{
    make("first", 1, VersionCode { "K7F3", 2 });
    make("second", 1, VersionCode { "K7F3", 2 });
    ASSERT_EQ(versionFile("first", 2).size(), 6 * TestRecordLength);
    EXPECT_EQ(versionFile("first", 2), versionFile("second", 2));

    make("first", 1, VersionCode { "K7F3", 1 });
    make("other", 1, VersionCode { "K7F4", 2 });
    const std::string questions = versionFile("first", 2).substr(TestRecordLength);
    EXPECT_NE(questions, versionFile("first", 1).substr(TestRecordLength));
    EXPECT_NE(questions, versionFile("other", 2).substr(TestRecordLength));
}

TEST_F(ClassVersionsTest, AVersionMadeAgainAloneEqualsItsVersionInTheSet)
{
    const VersionsOutcome set = make("ward", 4);
    ASSERT_EQ(set.made, 4);
    make("again", 1, VersionCode { set.setCode, 3 });
    EXPECT_EQ(versionFile("ward", 3), versionFile("again", 3));
}

// Each version keeps the header, its description carries its code; the PDF holds every paper,
// then the keys together, then each version's solutions; the test in the window is untouched.
TEST_F(ClassVersionsTest, EveryVersionCarriesItsCode)
{
    const VersionsOutcome set = make("ward", 2);
    const std::string v1 = "Version " + set.setCode + "-01", v2 = "Version " + set.setCode + "-02";
    const TestHeader header = TestHeader::unpack(versionFile("ward", 2));
    EXPECT_EQ(header.TestTitle + "|" + header.TestDescription + "|" + header.TestInstructions,
        "Ward 7|Drug rounds " + v2 + "|Show your working.");
    EXPECT_EQ(stripBlanks(model->header().TestDescription), "Drug rounds");

    ASSERT_EQ(printer.documents.size(), 1u);
    std::vector<std::string> heads;
    for (const PrintSection& section : printer.documents[0].sections)
        heads.push_back(section.blocks.front().lines.front().text);
    EXPECT_EQ(heads, (std::vector<std::string> { v1, v2, v1, v1, v2 }));
    EXPECT_NE(folder.read("ward.xml").find("$course$/top/Ward 7 " + v2 + "</text>"), std::string::npos);
}

TEST_F(ClassVersionsTest, CancellingKeepsWholeFilesOnlyAndSaysSo)
{
    prompts.cancelAtStep = 2;
    const VersionsOutcome outcome = make("ward", 5);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(made(), (std::set<std::string> { "ward-01.dsq", "ward-02.dsq" }));
    EXPECT_EQ(versionFile("ward", 1).size(), 6 * TestRecordLength);
    EXPECT_EQ(versionFile("ward", 2).size(), 6 * TestRecordLength);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
        "Making the versions was cancelled after 2 versions of 5. The test files made in full were kept: "
        "ward-01.dsq to ward-02.dsq. Not written: ward.pdf, ward.xml.");
    EXPECT_EQ(prompts.progressSteps.back(), (std::pair<int, int> { 7, 7 }));
}

// Every generator's every form is recognised as its own category: 40 draws of each.
TEST_F(ClassVersionsTest, EveryGeneratedQuestionIsKnownByItsCategory)
{
    for (int category = 1; category <= CategoryBoxCount; ++category)
        for (int draw = 1; draw <= 40; ++draw) {
            QuestionRecord record;
            ASSERT_TRUE(model->drafter().draftQuestion(category, record));
            ASSERT_EQ(questionCategory(record.questionText), category) << record.questionText;
        }
}

// The drafter keeps the doses per kg it matched only while the side file stays as it was.
TEST_F(ClassVersionsTest, WeightDoseQuestionsFollowAChangedSideFile)
{
    QuestionRecord record;
    for (const char* drug : { "paracetamol", "ibuprofen" }) {
        folder.write("mxweight.txt", std::string(drug) + "; 10 mg/kg; per dose; BNF for Children 2024-25\r\n");
        for (int draw = 1; draw <= 5; ++draw) {
            ASSERT_TRUE(model->drafter().draftQuestion(WeightBasedDoses, record));
            EXPECT_NE(record.questionText.find(std::string(" ") + drug), std::string::npos) << record.questionText;
        }
    }
}

// Heparin and insulin questions keep their category in every parallel form.
TEST_F(ClassVersionsTest, UnitsQuestionsKeepTheirCategoryInParallelForms)
{
    model->drafter().setCategoryTicked(HeparinInsulinUnits - 1, true);
    for (int box = 0; box < CategoryBoxCount; ++box)
        model->drafter().setCategoryTicked(box, box == HeparinInsulinUnits - 1);
    model->createQuestions("6");
    ASSERT_EQ(makeClassVersions(*model, *state, prompts, &printer, "1", requestOf("ward", true, 2)).made, 2);
    for (int v = 1; v <= 2; ++v) {
        const std::string file = versionFile("ward", v);
        ASSERT_EQ(file.size(), 7 * TestRecordLength);
        for (std::size_t n = 1; n <= 6; ++n)
            EXPECT_EQ(questionCategory(
                          QuestionRecord::unpack(file.substr(n * TestRecordLength, TestRecordLength)).questionText),
                HeparinInsulinUnits)
                << "version " << v << " question " << n;
    }
}

// A test of known categories at known places, with a question written by hand at place 3.
class ParallelFormsTest : public ClassVersionsTest {
protected:
    void SetUp() override
    {
        ClassVersionsTest::SetUp();
        const auto only = [this](int code) {
            model->drafter().setCategoryTicked(code - 1, true);
            for (int box = 0; box < CategoryBoxCount; ++box)
                model->drafter().setCategoryTicked(box, box == code - 1);
        };
        only(2);
        model->createQuestions("2");
        model->forward();
        type("What is the usual adult dose of paracetamol?", "1 g four times a day", "1");
        for (const int code : { 5, 1, 3, 6, 4 }) {
            only(code);
            model->createQuestions("1");
        }
        only(1); // the window's own choices do not steer parallel forms
        model->drafter().setCategoryTicked(0, true);
        stored = folder.read("test.tmp");
        ASSERT_EQ(stored.size(), 9 * TestRecordLength);
    }

    VersionsOutcome makeParallel(const std::string& folderName, int versions, std::optional<VersionCode> only = {})
    {
        const VersionRequest request = requestOf("ward", true, versions, only, folderName);
        return makeClassVersions(*model, *state, prompts, &printer, "1", request);
    }

    std::string stored;
};

TEST_F(ParallelFormsTest, EachVersionAsksTheSameCategoriesInTheSamePlaces)
{
    ASSERT_EQ(makeParallel("", 3).made, 3);
    const std::vector<int> expected { 2, 2, 0, 5, 1, 3, 6, 4 };
    const std::string written = stored.substr(3 * TestRecordLength, TestRecordLength);
    for (int v = 1; v <= 3; ++v) {
        const std::string file = versionFile("ward", v);
        ASSERT_EQ(file.size(), 9 * TestRecordLength);
        std::vector<int> found;
        for (std::size_t n = 1; n <= 8; ++n)
            found.push_back(questionCategory(
                QuestionRecord::unpack(file.substr(n * TestRecordLength, TestRecordLength)).questionText));
        EXPECT_EQ(found, expected) << "version " << v;
        EXPECT_EQ(file.substr(3 * TestRecordLength, TestRecordLength), written); // copied byte for byte
        EXPECT_NE(file.substr(TestRecordLength, TestRecordLength), stored.substr(TestRecordLength, TestRecordLength));
    }
}

TEST_F(ParallelFormsTest, ACodeMakesItsParallelFormAgainByteForByte)
{
    const VersionsOutcome set = makeParallel("", 3);
    ASSERT_EQ(set.made, 3);
    makeParallel("again", 1, VersionCode { set.setCode, 2 });
    EXPECT_EQ(folder.read("again/ward-02.dsq"), versionFile("ward", 2));
}

// A set goes into a folder of its own beside the test, made when missing; the data folder's
// list keeps the teacher's own tests, and files of other names in the folder stay.
TEST_F(ParallelFormsTest, ASetGoesIntoAFolderOfItsOwn)
{
    folder.write("week5.dsq", stored);
    model->updatefilelist();
    const std::vector<std::string> before = model->fileList();
    ASSERT_EQ(makeParallel("ward versions", 2).made, 2);
    EXPECT_EQ(folder.read("ward versions/ward-02.dsq").size(), 9 * TestRecordLength);
    EXPECT_FALSE(folder.read("ward versions/ward.xml").empty());
    EXPECT_EQ(model->updatefilelist(), before);
    EXPECT_NE(
        prompts.messages.back().text.find("Written (in ward versions): ward-01.dsq to ward-02.dsq"), std::string::npos);

    folder.write("ward versions/notes.txt", "mine");
    prompts.yesNoAnswers.push_back(true);
    ASSERT_EQ(makeParallel("ward versions", 2).made, 2);
    EXPECT_EQ(folder.read("ward versions/notes.txt"), "mine");

    // A folder two levels down is not made: its parent is not there.
    prompts.messages.clear();
    EXPECT_EQ(makeParallel("no such/ward versions", 2).made, 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text.rfind("The versions were not made: there is no folder ", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder / "no such"));
}

TEST_F(ClassVersionsTest, ATestOfHandWrittenQuestionsOnlyHasNoParallelForms)
{
    typeQuestions(2);
    const VersionRequest request = requestOf("ward", true, 2);
    EXPECT_EQ(makeClassVersions(*model, *state, prompts, &printer, "5", request).made, 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
        "The versions were not made: no question of this test was made by the question generators, so every "
        "version would be the same test. Choose new questions instead.");
    EXPECT_TRUE(made().empty());
}

// Tablets of one drug category repeat within 12 questions: a version draws alike in its set and
// alone only when each version starts with an empty repeat history.
TEST_F(ClassVersionsTest, EveryVersionStartsWithAnEmptyRepeatHistory)
{
    tickOnly(2);
    std::vector<bool> one(static_cast<std::size_t>(state->categories.CategoryCount), false);
    one.front() = true;
    model->drafter().setSelectedCategories(one);
    const VersionRequest request = requestOf("ward", false, 6);
    const VersionsOutcome set = makeClassVersions(*model, *state, prompts, &printer, "12", request);
    ASSERT_EQ(set.made, 6);
    for (int v = 2; v <= 6; ++v) {
        const VersionRequest again = requestOf("again", false, 1, VersionCode { set.setCode, v });
        makeClassVersions(*model, *state, prompts, &printer, "12", again);
        EXPECT_EQ(versionFile("again", v), versionFile("ward", v)) << "version " << v;
    }
}

/// Fails the rewrite of one file just before its rename, as a full disk would.
class FailOne final : public FaultHook {
public:
    void at(RewriteStep step, const std::filesystem::path& target) override
    {
        if (step == RewriteStep::BeforeRename && target.filename() == "ward-03.dsq")
            throw std::runtime_error("The disk is full.");
    }
};

TEST_F(ClassVersionsTest, AFailedWriteLeavesNoPartOfItsFile)
{
    FailOne hook;
    EXPECT_EQ(make("ward", 4, std::nullopt, &hook).made, 2);
    EXPECT_EQ(
        made(), (std::set<std::string> { "ward-01.dsq", "ward-02.dsq" })); // no scratch file, nothing of version 3
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
        "The versions were not all made. The test files made in full were kept: ward-01.dsq to ward-02.dsq.\r\n\r\n"
        "The disk is full.");
}

} // namespace
} // namespace tb::testing
