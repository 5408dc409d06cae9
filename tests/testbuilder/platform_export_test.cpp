#include "model_fixture.h"

#include "testbuilder/platform_export.h"

#include <pugixml.hpp>
#include <zip.h>

#include <filesystem>
#include <map>

namespace tb {
namespace {

using testing::ModelFixture;
namespace fs = std::filesystem;

// ---- the tolerance rules ----

struct KindCase {
    const char* name;
    const char* text;
    QuestionKind kind;
};

void PrintTo(const KindCase& c, std::ostream* out)
{
    *out << c.name;
}

class QuestionKindTest : public ::testing::TestWithParam<KindCase> { };

TEST_P(QuestionKindTest, ReadsTheKindFromTheGeneratorsPhrasing)
{
    EXPECT_EQ(questionKind(GetParam().text), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Texts, QuestionKindTest,
    ::testing::Values(KindCase { "DropsPerMinute", "The drop factor is 20. Calculate the number of drops per minute.",
                          QuestionKind::DropRate },
        KindCase { "DripRate",
            "Calculate the drip rate for 1 litre of Normal Saline to be given over 8 hours via a "
            "giving set which delivers 20 drops/ml.",
            QuestionKind::DropRate },
        KindCase { "Capsules",
            "\r\nA client is ordered 500 mg's of X. 250 mg's capsules are available.\r\nHow many "
            "capsules will you give?",
            QuestionKind::TabletCount },
        KindCase { "MlAbbreviated",
            "\r\nA client is ordered 5 mg's of X IV. 3 mg's in 1 ml of solution is "
            "available.\r\nHow many ml's will you administer?",
            QuestionKind::LiquidVolume },
        KindCase { "MillilitresInCapitals", "HOW MANY MILLILITRES WILL YOU ADMINISTER?", QuestionKind::LiquidVolume },
        KindCase { "MetricAfterLineBreak", "\r\nConvert 5 mcg's to mg's.", QuestionKind::MetricConversion },
        KindCase { "ConvertNotAtTheStart", "Please convert 5 mg to g.", QuestionKind::Unrecognised },
        KindCase { "HandWritten", "What is 2 + 2?", QuestionKind::Unrecognised },
        KindCase { "Blank", "", QuestionKind::Unrecognised }),
    [](const auto& info) { return std::string(info.param.name); });

// Every question the generators make is recognised as its category's kind.
class GeneratedKindTest : public ModelFixture, public ::testing::WithParamInterface<int> { };

TEST_P(GeneratedKindTest, EveryGeneratedQuestionIsRecognised)
{
    loadSampleDatabase();
    const std::map<int, QuestionKind> expected { { MetricConversions, QuestionKind::MetricConversion },
        { TabletDosages, QuestionKind::TabletCount }, { FluidDosages, QuestionKind::LiquidVolume },
        { IVDropRates, QuestionKind::DropRate }, { InfusionPumpRates, QuestionKind::PumpRate },
        { InfusionTimes, QuestionKind::InfusionTime } };
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(model->generateQuestion(GetParam()));
        ASSERT_EQ(questionKind(model->lastGenerated().question), expected.at(GetParam()))
            << model->lastGenerated().question;
    }
}

INSTANTIATE_TEST_SUITE_P(Categories, GeneratedKindTest,
    ::testing::Values(MetricConversions, TabletDosages, FluidDosages, IVDropRates, InfusionPumpRates, InfusionTimes));

struct RuleCase {
    const char* name;
    ToleranceStyle style;
    double value;
    double centre;
    double tolerance;
    bool statesDecimals;
    std::vector<double> accepted;
    std::vector<double> refused;
};

void PrintTo(const RuleCase& c, std::ostream* out)
{
    *out << c.name;
}

class AnswerRuleTest : public ::testing::TestWithParam<RuleCase> { };

TEST_P(AnswerRuleTest, AcceptsWhatANurseWritesAndNothingFurther)
{
    const RuleCase& c = GetParam();
    const AnswerRule rule = answerRule(c.style, c.value);
    EXPECT_DOUBLE_EQ(rule.centre, c.centre);
    EXPECT_DOUBLE_EQ(rule.tolerance, c.tolerance);
    EXPECT_EQ(rule.statesDecimals, c.statesDecimals);
    for (double typed : c.accepted)
        EXPECT_TRUE(typed >= rule.lower && typed <= rule.upper) << typed;
    for (double typed : c.refused)
        EXPECT_FALSE(typed >= rule.lower && typed <= rule.upper) << typed;
}

INSTANTIATE_TEST_SUITE_P(Styles, AnswerRuleTest,
    ::testing::Values(RuleCase { "WholeDrops", ToleranceStyle::Exact, 42, 42, 0, false, { 42 }, { 41.9, 42.4, 43 } },
        RuleCase { "HalfTablet", ToleranceStyle::Exact, 0.5, 0.5, 0, false, { 0.5 }, { 0.49, 1 } },
        RuleCase { "VolumeOfRecurringDecimals", ToleranceStyle::TwoDecimals, 1.6666666666667, 1.67, 0.005, true,
            { 1.67, 1.666, 1.665, 1.6666666666667 }, { 1.6, 1.7, 1.66, 1.68 } },
        RuleCase { "VolumeStoredAsAHalfRoundsUp", ToleranceStyle::TwoDecimals, 1.005, 1.01, 0.005, true, { 1.01 },
            { 1.0, 1.02 } },
        RuleCase { "VolumeOfTwoDecimalsSaysNothing", ToleranceStyle::TwoDecimals, 2.5, 2.5, 0.005, false,
            { 2.5, 2.504 }, { 2.4, 2.51 } },
        RuleCase { "MetricFullPrecision", ToleranceStyle::FullPrecision, 0.000125, 0.000125, 1.25e-13, false,
            { 0.000125 }, { 0.00012, 0.0001251 } },
        RuleCase { "NegativeMetric", ToleranceStyle::FullPrecision, -5000, -5000, 5e-6, false, { -5000 }, { 5000 } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StoredAnswerValue, TheWholeTextMustBeOneFiniteNumber)
{
    const std::pair<const char*, bool> cases[] = { { "2.5         ", true }, { ".5", true }, { "5E-06", true },
        { "-3", true }, { "", false }, { "   ", false }, { "two", false }, { "2 tabs", false }, { "1e999", false },
        { "nan", false }, { "inf", false }, { "+5", false }, { "1,5", false } };
    for (const auto& [text, number] : cases) {
        double value = 0;
        EXPECT_EQ(storedAnswerValue(text, value), number) << '"' << text << '"';
    }
}

// ---- names and escapes ----

TEST(PlatformTarget, TheTypedExtensionDecidesElseTheFilterAddsItsOwn)
{
    const std::tuple<const char*, int, const char*, PlatformFormat> cases[]
        = { { "a.xml", 3, "a.xml", PlatformFormat::MoodleXml }, { "a.TXT", 1, "a.TXT", PlatformFormat::Gift },
              { "a.Zip", 2, "a.Zip", PlatformFormat::QtiPackage }, { "a", 3, "a.zip", PlatformFormat::QtiPackage },
              { "a.dsq", 2, "a.dsq.txt", PlatformFormat::Gift }, { "a", 0, "a.xml", PlatformFormat::MoodleXml },
              { "a", 9, "a.xml", PlatformFormat::MoodleXml } };
    for (const auto& [typed, filter, name, format] : cases) {
        const PlatformTarget target = platformTarget(typed, filter);
        EXPECT_EQ(target.name, name) << typed;
        EXPECT_EQ(target.format, format) << typed;
    }
}

TEST(GiftEscape, EveryReservedCharacterAndLineBreak)
{
    const std::pair<const char*, const char*> cases[]
        = { { "plain text 5 mg", "plain text 5 mg" }, { "~", "\\~" }, { "=", "\\=" }, { "#", "\\#" }, { "{", "\\{" },
              { "}", "\\}" }, { ":", "\\:" }, { "\\", "\\\\" }, { "a\nb", "a\\nb" }, { "a\r\nb", "a\\nb" },
              { "2~3=5 {x}#1: \\n", "2\\~3\\=5 \\{x\\}\\#1\\: \\\\n" }, { "\xC2\xB5g", "\xC2\xB5g" } };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(giftEscape(text), escaped) << text;
}

// ---- the three files of one scripted test ----

// A test of every kind, with the characters the formats reserve, a micro sign and a NUL byte.
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

PlatformTest scriptedTest()
{
    return platformTest("Week 3: dosages/IV", scriptedRecords());
}

const std::string Micro = "\xC2\xB5";

pugi::xml_document parse(const std::string& text)
{
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_string(text.c_str());
    EXPECT_TRUE(result) << result.description() << " at " << result.offset;
    return document;
}

TEST(PlatformTest, StoredTextsBecomeUtf8WithTheirLinesAndEveryAnswerRule)
{
    const PlatformTest test = scriptedTest();
    ASSERT_EQ(test.questions.size(), 5u);
    EXPECT_EQ(test.questions[0].name, "Week 3: dosages/IV Q1");
    EXPECT_EQ(test.questions[0].text,
        "A client is ordered 5 mg's of Adrenaline IV. 3 mg's in 1 ml of solution is available.\nHow many ml's will you "
        "administer?");
    EXPECT_EQ(test.questions[3].solution, "125 " + Micro + "g X 0.001 = 0.125 mg");
    EXPECT_EQ(test.questions[4].text, "Is <a> & \"b\" 2~3 = {x} #1: \\ ?"); // the control character dropped
    const std::pair<ToleranceStyle, const char*> rules[] = { { ToleranceStyle::TwoDecimals, "1.6666666667" },
        { ToleranceStyle::Exact, "0.5" }, { ToleranceStyle::Exact, "42" }, { ToleranceStyle::FullPrecision, "0.125" },
        { ToleranceStyle::Exact, "7" } };
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(test.questions[i].rule.style, rules[i].first) << i;
        EXPECT_EQ(test.questions[i].answerText, rules[i].second) << i;
    }
}

TEST(PlatformTest, AnAnswerThatIsNoNumberNamesItsQuestion)
{
    auto records = scriptedRecords();
    records[2].answerText = "forty \xB5";
    try {
        platformTest("t", records);
        FAIL() << "no error";
    } catch (const ExportError& error) {
        EXPECT_EQ(std::string(error.what()),
            "Question 3 has no number as its answer (\"forty " + Micro
                + "\"). Every question needs one to become a numeric question.");
    }
}

TEST(MoodleXml, EveryQuestionIsANumericalQuestionMoodleReads)
{
    const PlatformTest test = scriptedTest();
    const pugi::xml_document document = parse(moodleXml(test));
    const pugi::xml_node quiz = document.child("quiz");
    EXPECT_STREQ(quiz.first_child().attribute("type").value(), "category");
    EXPECT_STREQ(quiz.first_child().child("category").child_value("text"), "$course$/top/Week 3: dosages//IV");
    std::vector<pugi::xml_node> questions;
    for (pugi::xml_node q : quiz.children("question"))
        if (std::string(q.attribute("type").value()) == "numerical")
            questions.push_back(q);
    ASSERT_EQ(questions.size(), 5u);
    const char* answers[] = { "1.67", "0.5", "42", "0.125", "7" };
    const char* tolerances[] = { "0.005", "0", "0", "1.25E-10", "0" };
    for (std::size_t i = 0; i < 5; ++i) {
        const pugi::xml_node q = questions[i];
        EXPECT_EQ(q.child("name").child_value("text"), test.questions[i].name);
        EXPECT_STREQ(q.child("questiontext").attribute("format").value(), "html");
        EXPECT_STREQ(q.child("generalfeedback").attribute("format").value(), "html");
        EXPECT_STREQ(q.child_value("defaultgrade"), "1");
        EXPECT_FALSE(q.child("single")) << i;
        const pugi::xml_node answer = q.child("answer");
        EXPECT_STREQ(answer.attribute("fraction").value(), "100");
        EXPECT_STREQ(answer.child_value("text"), answers[i]);
        EXPECT_STREQ(answer.child_value("tolerance"), tolerances[i]);
    }
    // The HTML inside the text fields holds the texts with their characters and line breaks.
    EXPECT_EQ(std::string(questions[0].child("questiontext").child_value("text")),
        "<p>A client is ordered 5 mg's of Adrenaline IV. 3 mg's in 1 ml of solution is available.<br/>How many ml's "
        "will you administer?</p><p>Give your answer to 2 decimal places.</p>");
    EXPECT_EQ(
        std::string(questions[1].child("questiontext").child_value("text")), "<p>How many tablets will you give?</p>");
    EXPECT_EQ(std::string(questions[4].child("questiontext").child_value("text")),
        "<p>Is &lt;a&gt; &amp; \"b\" 2~3 = {x} #1: \\ ?</p>");
    EXPECT_EQ(std::string(questions[4].child("generalfeedback").child_value("text")),
        "<pre>5 " + Micro + "g\n  col 1   col 2</pre>");
}

TEST(Gift, OneEscapedLinePerQuestionWithItsTolerance)
{
    const std::string gift = giftText(scriptedTest());
    EXPECT_EQ(
        gift.substr(0, gift.find("::")), "// Week 3: dosages/IV\n\n$CATEGORY: $course$/top/Week 3: dosages//IV\n\n");
    EXPECT_NE(gift.find("::Week 3\\: dosages/IV Q1::[html]<p>A client is ordered 5 mg's of Adrenaline IV. 3 mg's in "
                        "1 ml of solution is available.<br/>How many ml's will you administer?</p><p>Give your "
                        "answer to 2 decimal places.</p>{#1.67:0.005####[html]<pre>Required dose      Stock "
                        "Volume\\n---------------------  X  --------------------\\n5 mg / 3 mg X 1 ml</pre>}\n\n"),
        std::string::npos);
    EXPECT_NE(gift.find("{#0.125:1.25E-10####"), std::string::npos);
    EXPECT_NE(gift.find("::Week 3\\: dosages/IV Q5::[html]<p>Is &lt;a&gt; &amp; \"b\" 2\\~3 \\= \\{x\\} \\#1\\: \\\\ "
                        "?</p>{#7:0####[html]<pre>5 "
                  + Micro + "g\\n  col 1   col 2</pre>}\n\n"),
        std::string::npos);
}

std::map<std::string, std::string> unzip(const std::string& bytes)
{
    std::map<std::string, std::string> files;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    EXPECT_TRUE(archive) << zip_error_strerror(&error);
    if (!archive) {
        zip_source_free(source);
        return files;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string data(static_cast<std::size_t>(stat.size), '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        EXPECT_EQ(zip_fread(file, data.data(), data.size()), static_cast<zip_int64_t>(stat.size));
        zip_fclose(file);
        files[stat.name] = data;
    }
    zip_close(archive);
    return files;
}

TEST(QtiPackage, TheManifestNamesEveryItemAndEachDeclaresAFloatWithinBounds)
{
    const PlatformTest test = scriptedTest();
    const std::string bytes = qtiPackage(test);
    EXPECT_EQ(qtiPackage(test), bytes); // the same test gives the same package
    const auto files = unzip(bytes);
    ASSERT_TRUE(files.count("imsmanifest.xml"));
    const pugi::xml_document manifest = parse(files.at("imsmanifest.xml"));
    std::vector<std::string> itemFiles;
    for (pugi::xml_node resource : manifest.child("manifest").child("resources").children("resource"))
        if (std::string(resource.attribute("type").value()) == "imsqti_item_xmlv2p1")
            itemFiles.push_back(resource.child("file").attribute("href").value());
    EXPECT_EQ(
        itemFiles, (std::vector<std::string> { "item01.xml", "item02.xml", "item03.xml", "item04.xml", "item05.xml" }));

    const std::pair<const char*, const char*> bounds[] = { { "1.665", "1.675" }, { "0.5", "0.5" }, { "42", "42" },
        { "0.124999999875", "0.125000000125" }, { "7", "7" } };
    for (std::size_t i = 0; i < itemFiles.size(); ++i) {
        ASSERT_TRUE(files.count(itemFiles[i])) << itemFiles[i];
        const pugi::xml_document document = parse(files.at(itemFiles[i]));
        const pugi::xml_node item = document.child("assessmentItem");
        EXPECT_EQ(std::string(item.attribute("title").value()), test.questions[i].name);
        const pugi::xml_node response = item.child("responseDeclaration");
        EXPECT_STREQ(response.attribute("baseType").value(), "float");
        EXPECT_EQ(std::string(response.child("correctResponse").child_value("value")), test.questions[i].answerText);
        const pugi::xml_node both
            = item.child("responseProcessing").child("responseCondition").child("responseIf").child("and");
        EXPECT_STREQ(both.child("gte").child_value("baseValue"), bounds[i].first) << i;
        EXPECT_STREQ(both.child("lte").child_value("baseValue"), bounds[i].second) << i;
        EXPECT_EQ(std::string(item.child("modalFeedback").child_value("pre")), test.questions[i].solution);
        EXPECT_TRUE(item.child("itemBody").find_node([](pugi::xml_node n) {
            return std::string(n.name()) == "textEntryInteraction";
        }));
    }
    const pugi::xml_document fifth = parse(files.at("item05.xml"));
    EXPECT_EQ(std::string(fifth.child("assessmentItem").child("itemBody").child("p").child_value()),
        "Is <a> & \"b\" 2~3 = {x} #1: \\ ?");
}

// ---- the command ----

TEST_F(ModelFixture, TheExportWritesTheChosenFormatAndKeepsTheTestUnsaved)
{
    type("How many tablets will you give?", "2 \xB5g", "2");
    model->save();
    prompts.fileNames = { "quiz" };
    prompts.selectedFilters = { 3 };
    model->exportForPlatform();
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].title, "Export for Learning Platform");
    EXPECT_EQ(prompts.dialogs[0].filter, "Moodle XML (xml)|*.xml|GIFT (txt)|*.txt|QTI 2.1 package (zip)|*.zip|");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(unzip(folder.read("quiz.zip")).size(), 3u);
    EXPECT_TRUE(model->Unsaved());
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
}

TEST_F(ModelFixture, AnExistingFileIsReplacedOnlyAfterYes)
{
    typeQuestions(2);
    folder.write("quiz.txt", "precious");
    prompts.fileNames = { "quiz.txt", "quiz.txt" };
    prompts.yesNoAnswers = { false, true };
    model->exportForPlatform();
    EXPECT_EQ(prompts.questions.at(0), "The file quiz.txt already exists. Would you like to use this file");
    EXPECT_EQ(folder.read("quiz.txt"), "precious");
    model->exportForPlatform();
    EXPECT_EQ(folder.read("quiz.txt").substr(0, 3), "// ");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ModelFixture, FailuresNameTheFileAndWriteNothing)
{
    typeQuestions(1);
    type("Question 1", "", "one");
    prompts.fileNames = { "mine.xml" };
    model->saveAs();
    const std::string test = folder.read("mine.xml");
    prompts.fileNames = { "bad.zip", "MINE.XML", "nofolder/x.txt" };
    for (int i = 0; i < 3; ++i)
        model->exportForPlatform();
    ASSERT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(prompts.messages[0].text.substr(0, 55), "The test was not exported to bad.zip.\r\n\r\nQuestion 1 has");
    EXPECT_EQ(prompts.messages[1].text,
        "The test was not exported to MINE.XML.\r\n\r\nThat file is the test being "
        "edited. Choose another name.");
    EXPECT_EQ(prompts.messages[2].text.substr(0, 45), "The test was not exported to nofolder/x.txt.\r");
    EXPECT_FALSE(fs::exists(folder / "bad.zip"));
    EXPECT_EQ(folder.read("mine.xml"), test);
}

} // namespace
} // namespace tb
