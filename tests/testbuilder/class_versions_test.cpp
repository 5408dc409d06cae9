#include "testbuilder/class_versions.h"

#include "testbuilder/model_fixture.h"

#include <filesystem>
#include <set>
#include <stdexcept>

namespace tb::testing {
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

// ---- making versions ----

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
        const VersionRequest request { .base = base, .versions = versions, .only = only };
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
