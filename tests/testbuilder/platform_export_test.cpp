#include "model_fixture.h"

#include "testbuilder/platform_export.h"

#include <pugixml.hpp>
#include <zip.h>

#include <filesystem>
#include <map>

namespace tb {
namespace {

using testing::ModelFixture;

// ---- the tolerance rules ----

// 1.005 is held a little under itself, yet the key reads 1.01.
TEST(AnswerRuleTest, HalfRoundsUpAndANegativeValueHasAPositiveTolerance)
{
    EXPECT_DOUBLE_EQ(answerRule(ToleranceStyle::TwoDecimals, 1.005).centre, 1.01);
    EXPECT_FALSE(answerRule(ToleranceStyle::TwoDecimals, 2.5).statesDecimals);
    EXPECT_DOUBLE_EQ(answerRule(ToleranceStyle::FullPrecision, -5000).tolerance, 5e-6);
}

// ---- the three files of one scripted test ----

// A test of every kind, with the characters the formats reserve, a micro sign and a control byte.
std::vector<QuestionRecord> scriptedRecords()
{
    return {
        { "\r\nA client is ordered 5 mg's of Adrenaline IV. 3 mg's in 1 ml of solution is available.\r\nHow many ml's "
          "will you administer?",
            "Required dose      Stock Volume\r\n---------------------  X  --------------------\r\n5 mg / 3 mg X 1 ml",
            "1.6666666667" },
        { "How many tablets will you give?", "1 tablet / 2 = 0.5", "0.5" },
        { "Calculate the number of drops per minute.", "42 (drops/min)", "42" },
        { "\r\nConvert 125 mcg's to mg's.", "125 \xB5g X 0.001 = 0.125 mg", "0.125" },
        { "Is <a> & \"b\" 2~3 = {x} #1: \\ ?\x01", "5 \xB5g\r\n  col 1   col 2", "7" },
    };
}

const PlatformTest Scripted = platformTest("Week 3: dosages/IV", scriptedRecords());
const std::string Micro = "\xC2\xB5";
const std::string FifthText = "Is <a> & \"b\" 2~3 = {x} #1: \\ ?";

pugi::xml_document parse(const std::string& text)
{
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_string(text.c_str());
    EXPECT_TRUE(result) << result.description() << " at " << result.offset;
    return document;
}

TEST(PlatformTest, StoredTextsBecomeUtf8WithTheirLinesAndEveryAnswerRule)
{
    ASSERT_EQ(Scripted.questions.size(), 5u);
    EXPECT_EQ(Scripted.questions[0].name, "Week 3: dosages/IV Q1");
    EXPECT_EQ(Scripted.questions[0].text,
        "A client is ordered 5 mg's of Adrenaline IV. 3 mg's in 1 ml of solution is available.\nHow many ml's will you "
        "administer?");
    EXPECT_EQ(Scripted.questions[3].solution, "125 " + Micro + "g X 0.001 = 0.125 mg");
    EXPECT_EQ(Scripted.questions[4].text, FifthText); // the control character dropped
    std::vector<std::pair<ToleranceStyle, std::string>> rules;
    for (const PlatformQuestion& question : Scripted.questions)
        rules.emplace_back(question.rule.style, question.answerText);
    EXPECT_EQ(rules,
        (std::vector<std::pair<ToleranceStyle, std::string>> { { ToleranceStyle::TwoDecimals, "1.6666666667" },
            { ToleranceStyle::Exact, "0.5" }, { ToleranceStyle::Exact, "42" },
            { ToleranceStyle::FullPrecision, "0.125" }, { ToleranceStyle::Exact, "7" } }));
}

TEST(MoodleXml, EveryQuestionIsANumericalQuestionMoodleReads)
{
    const pugi::xml_document document = parse(moodleXml(Scripted));
    const pugi::xml_node quiz = document.child("quiz");
    EXPECT_STREQ(quiz.first_child().child("category").child_value("text"), "$course$/top/Week 3: dosages//IV");
    const pugi::xpath_node_set questions = quiz.select_nodes("question[@type='numerical']");
    ASSERT_EQ(questions.size(), 5u);
    const pugi::xml_node first = questions[0].node(), fifth = questions[4].node();
    EXPECT_STREQ(first.child("generalfeedback").attribute("format").value(), "html");
    EXPECT_STREQ(first.child_value("defaultgrade"), "1");
    EXPECT_FALSE(first.child("single"));
    EXPECT_STREQ(first.child("answer").attribute("fraction").value(), "100");
    EXPECT_STREQ(first.child("answer").child_value("text"), "1.67");
    EXPECT_STREQ(first.child("answer").child_value("tolerance"), "0.005");
    EXPECT_STREQ(questions[3].node().child("answer").child_value("tolerance"), "1.25E-10");
    // The HTML inside the text fields holds the texts with their characters and line breaks.
    EXPECT_STREQ(first.child("questiontext").child_value("text"),
        "<p>A client is ordered 5 mg's of Adrenaline IV. 3 mg's in 1 ml of solution is available.<br/>How many ml's "
        "will you administer?</p><p>Give your answer to 2 decimal places.</p>");
    EXPECT_STREQ(fifth.child("questiontext").child_value("text"), "<p>Is &lt;a&gt; &amp; \"b\" 2~3 = {x} #1: \\ ?</p>");
    EXPECT_EQ(std::string(fifth.child("generalfeedback").child_value("text")),
        "<pre>5 " + Micro + "g\n  col 1   col 2</pre>");
}

TEST(Gift, OneEscapedLinePerQuestionWithItsTolerance)
{
    const std::string gift = giftText(Scripted);
    EXPECT_EQ(
        gift.substr(0, gift.find("::")), "// Week 3: dosages/IV\n\n$CATEGORY: $course$/top/Week 3: dosages//IV\n\n");
    EXPECT_NE(gift.find("::Week 3\\: dosages/IV Q1::[html]<p>A client is ordered 5 mg's of Adrenaline IV. 3 mg's in "
                        "1 ml of solution is available.<br/>How many ml's will you administer?</p><p>Give your "
                        "answer to 2 decimal places.</p>{#1.67:0.005####[html]<pre>Required dose      Stock "
                        "Volume\\n---------------------  X  --------------------\\n5 mg / 3 mg X 1 ml</pre>}\n\n"),
        std::string::npos);
    EXPECT_NE(gift.find("::Week 3\\: dosages/IV Q5::[html]<p>Is &lt;a&gt; &amp; \"b\" 2\\~3 \\= \\{x\\} \\#1\\: \\\\ "
                        "?</p>{#7:0####[html]<pre>5 "
                  + Micro + "g\\n  col 1   col 2</pre>}\n\n"),
        std::string::npos);
}

std::map<std::string, std::string> unzip(const std::string& bytes)
{
    std::map<std::string, std::string> files;
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, nullptr);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    EXPECT_TRUE(archive) << "not a whole zip archive";
    for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string& data = files[stat.name] = std::string(static_cast<std::size_t>(stat.size), '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        EXPECT_EQ(zip_fread(file, data.data(), data.size()), static_cast<zip_int64_t>(stat.size));
        zip_fclose(file);
    }
    if (archive)
        zip_close(archive);
    else
        zip_source_free(source);
    return files;
}

/// An item's response as "type correct [lower, upper]", then its solution.
std::string itemRule(const std::string& xml)
{
    const pugi::xml_document document = parse(xml);
    const pugi::xml_node item = document.child("assessmentItem"), response = item.child("responseDeclaration");
    const pugi::xml_node both = item.select_node("responseProcessing/responseCondition/responseIf/and").node();
    return std::string(response.attribute("baseType").value()) + " "
        + response.child("correctResponse").child_value("value") + " [" + both.child("gte").child_value("baseValue")
        + ", " + both.child("lte").child_value("baseValue") + "] " + item.child("modalFeedback").child_value("pre");
}

TEST(QtiPackage, TheManifestNamesEveryItemAndEachDeclaresAFloatWithinBounds)
{
    const auto files = unzip(qtiPackage(Scripted));
    ASSERT_TRUE(files.count("imsmanifest.xml"));
    const pugi::xml_document manifest = parse(files.at("imsmanifest.xml"));
    std::vector<std::string> itemFiles;
    for (const pugi::xpath_node& href : manifest.select_nodes("//resource[@type='imsqti_item_xmlv2p1']/file/@href"))
        itemFiles.push_back(href.attribute().value());
    EXPECT_EQ(
        itemFiles, (std::vector<std::string> { "item01.xml", "item02.xml", "item03.xml", "item04.xml", "item05.xml" }));
    EXPECT_EQ(itemRule(files.at("item01.xml")), "float 1.6666666667 [1.665, 1.675] " + Scripted.questions[0].solution);
    EXPECT_EQ(itemRule(files.at("item03.xml")), "float 42 [42, 42] 42 (drops/min)");
    EXPECT_EQ(itemRule(files.at("item04.xml")),
        "float 0.125 [0.124999999875, 0.125000000125] 125 " + Micro + "g X 0.001 = 0.125 mg");
    const pugi::xml_document fifth = parse(files.at("item05.xml"));
    EXPECT_EQ(fifth.child("assessmentItem").child("itemBody").child("p").child_value(), FifthText);
}

// ---- the command ----

// Every question the generators make is recognised as its category's kind.
class GeneratedKindTest : public ModelFixture, public ::testing::WithParamInterface<std::pair<int, QuestionKind>> { };

TEST_P(GeneratedKindTest, EveryGeneratedQuestionIsRecognised)
{
    loadSampleDatabase();
    for (int i = 0; i < 20; ++i) { // the fixture's draws are fixed: the same 20 questions on every run
        ASSERT_TRUE(model->generateQuestion(GetParam().first));
        ASSERT_EQ(questionKind(model->lastGenerated().question), GetParam().second) << model->lastGenerated().question;
    }
}

INSTANTIATE_TEST_SUITE_P(Categories, GeneratedKindTest,
    ::testing::Values(std::pair { MetricConversions, QuestionKind::MetricConversion },
        std::pair { TabletDosages, QuestionKind::TabletCount }, std::pair { FluidDosages, QuestionKind::LiquidVolume },
        std::pair { IVDropRates, QuestionKind::DropRate }, std::pair { InfusionPumpRates, QuestionKind::PumpRate },
        std::pair { InfusionTimes, QuestionKind::InfusionTime }));

TEST_F(ModelFixture, TheExportWritesTheChosenFormatAndKeepsTheTestUnsaved)
{
    type("How many tablets will you give?", "2 \xB5g", "2");
    model->save();
    prompts.fileNames = { "quiz" }; // the chosen filter adds its extension
    prompts.selectedFilters = { 3 };
    model->exportForPlatform();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(unzip(folder.read("quiz.zip")).size(), 3u);
    EXPECT_TRUE(model->Unsaved());
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
}

TEST_F(ModelFixture, FailuresNameTheFileAndWriteNothing)
{
    type("Question 1", "", "one");
    prompts.fileNames = { "mine.xml", "bad.zip", "MINE.XML" };
    model->saveAs();
    const std::string test = folder.read("mine.xml");
    model->exportForPlatform();
    model->exportForPlatform();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text,
        "The test was not exported to bad.zip.\r\n\r\nQuestion 1 has no number as its answer (\"one\"). Every question "
        "needs one to become a numeric question.");
    EXPECT_EQ(prompts.messages[1].text,
        "The test was not exported to MINE.XML.\r\n\r\n\"MINE.XML\" is the test being edited. Choose another name.");
    EXPECT_FALSE(std::filesystem::exists(folder / "bad.zip"));
    EXPECT_EQ(folder.read("mine.xml"), test);
}

} // namespace
} // namespace tb
