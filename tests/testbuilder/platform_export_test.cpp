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

struct KindRow {
    const char* name;
    const char* text;
    QuestionKind kind;
};

class QuestionKindTest : public ::testing::TestWithParam<KindRow> { };

TEST_P(QuestionKindTest, ReadsTheKindFromTheGeneratorsPhrasing)
{
    EXPECT_EQ(questionKind(GetParam().text), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Texts, QuestionKindTest,
    ::testing::Values(
        KindRow { "DripRate", "Calculate the drip rate for 1 litre via a giving set which delivers 20 drops/ml.",
            QuestionKind::DropRate },
        KindRow { "Capsules", "\r\n250 mg's capsules are available.\r\nHow many capsules will you give?",
            QuestionKind::TabletCount },
        KindRow { "Capitals", "HOW MANY MILLILITRES WILL YOU ADMINISTER?", QuestionKind::LiquidVolume },
        KindRow { "ConvertNotAtTheStart", "Please convert 5 mg to g.", QuestionKind::Unrecognised },
        KindRow { "Blank", "", QuestionKind::Unrecognised }),
    [](const auto& info) { return std::string(info.param.name); });

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

struct RuleRow {
    const char* name;
    ToleranceStyle style;
    double value;
    double centre;
    double tolerance;
    bool statesDecimals;
    std::vector<double> accepted;
    std::vector<double> refused;
};

class AnswerRuleTest : public ::testing::TestWithParam<RuleRow> { };

TEST_P(AnswerRuleTest, AcceptsWhatANurseWritesAndNothingFurther)
{
    const RuleRow& row = GetParam();
    const AnswerRule rule = answerRule(row.style, row.value);
    EXPECT_DOUBLE_EQ(rule.centre, row.centre);
    EXPECT_DOUBLE_EQ(rule.tolerance, row.tolerance);
    EXPECT_EQ(rule.statesDecimals, row.statesDecimals);
    for (double typed : row.accepted)
        EXPECT_TRUE(typed >= rule.lower && typed <= rule.upper) << typed;
    for (double typed : row.refused)
        EXPECT_FALSE(typed >= rule.lower && typed <= rule.upper) << typed;
}

INSTANTIATE_TEST_SUITE_P(Styles, AnswerRuleTest,
    ::testing::Values(RuleRow { "WholeDrops", ToleranceStyle::Exact, 42, 42, 0, false, { 42 }, { 41.9, 42.4 } },
        RuleRow { "RecurringDecimals", ToleranceStyle::TwoDecimals, 1.6666666666667, 1.67, 0.005, true,
            { 1.665, 1.6666666666667 }, { 1.66, 1.68 } },
        RuleRow { "HalfRoundsUp", ToleranceStyle::TwoDecimals, 1.005, 1.01, 0.005, true, { 1.01 }, { 1.0, 1.02 } },
        RuleRow { "TwoDecimalsSayNothing", ToleranceStyle::TwoDecimals, 2.5, 2.5, 0.005, false, { 2.504 }, { 2.51 } },
        RuleRow { "MetricFullPrecision", ToleranceStyle::FullPrecision, 0.000125, 0.000125, 1.25e-13, false,
            { 0.000125 }, { 0.00012, 0.0001251 } },
        RuleRow { "NegativeMetric", ToleranceStyle::FullPrecision, -5000, -5000, 5e-6, false, { -5000 }, { 5000 } }),
    [](const auto& info) { return std::string(info.param.name); });

struct ValueRow {
    const char* name;
    const char* text;
    bool number;
};

class StoredAnswerValueTest : public ::testing::TestWithParam<ValueRow> { };

TEST_P(StoredAnswerValueTest, TheWholeTextMustBeOneFiniteNumber)
{
    double value = 0;
    EXPECT_EQ(storedAnswerValue(GetParam().text, value), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Texts, StoredAnswerValueTest,
    ::testing::Values(ValueRow { "Padded", "2.5         ", true }, ValueRow { "NoLeadingZero", ".5", true },
        ValueRow { "Exponent", "5E-06", true }, ValueRow { "WithUnit", "2 tabs", false },
        ValueRow { "NotANumber", "nan", false }, ValueRow { "PlusSign", "+5", false },
        ValueRow { "DecimalComma", "1,5", false }),
    [](const auto& info) { return std::string(info.param.name); });

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

TEST(PlatformTest, AnAnswerThatIsNoNumberNamesItsQuestion)
{
    auto records = scriptedRecords();
    records[2].answerText = "forty \xB5";
    std::string what;
    try {
        platformTest("t", records);
    } catch (const ExportError& error) {
        what = error.what();
    }
    EXPECT_EQ(what,
        "Question 3 has no number as its answer (\"forty " + Micro
            + "\"). Every question needs one to become a numeric question.");
}

TEST(MoodleXml, EveryQuestionIsANumericalQuestionMoodleReads)
{
    const pugi::xml_document document = parse(moodleXml(Scripted));
    const pugi::xml_node quiz = document.child("quiz");
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
        EXPECT_EQ(q.child("name").child_value("text"), Scripted.questions[i].name);
        EXPECT_STREQ(q.child("generalfeedback").attribute("format").value(), "html");
        EXPECT_STREQ(q.child_value("defaultgrade"), "1");
        EXPECT_FALSE(q.child("single")) << i;
        const pugi::xml_node answer = q.child("answer");
        EXPECT_STREQ(answer.attribute("fraction").value(), "100");
        EXPECT_STREQ(answer.child_value("text"), answers[i]);
        EXPECT_STREQ(answer.child_value("tolerance"), tolerances[i]);
    }
    // The HTML inside the text fields holds the texts with their characters and line breaks.
    EXPECT_STREQ(questions[0].child("questiontext").child_value("text"),
        "<p>A client is ordered 5 mg's of Adrenaline IV. 3 mg's in 1 ml of solution is available.<br/>How many ml's "
        "will you administer?</p><p>Give your answer to 2 decimal places.</p>");
    EXPECT_STREQ(
        questions[4].child("questiontext").child_value("text"), "<p>Is &lt;a&gt; &amp; \"b\" 2~3 = {x} #1: \\ ?</p>");
    EXPECT_EQ(std::string(questions[4].child("generalfeedback").child_value("text")),
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
    const std::string bytes = qtiPackage(Scripted);
    EXPECT_EQ(qtiPackage(Scripted), bytes); // the same test gives the same package
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
        const pugi::xml_node response = item.child("responseDeclaration");
        EXPECT_STREQ(response.attribute("baseType").value(), "float");
        EXPECT_EQ(response.child("correctResponse").child_value("value"), Scripted.questions[i].answerText);
        const pugi::xml_node both
            = item.child("responseProcessing").child("responseCondition").child("responseIf").child("and");
        EXPECT_STREQ(both.child("gte").child_value("baseValue"), bounds[i].first) << i;
        EXPECT_STREQ(both.child("lte").child_value("baseValue"), bounds[i].second) << i;
        EXPECT_EQ(item.child("modalFeedback").child_value("pre"), Scripted.questions[i].solution);
    }
    const pugi::xml_document fifth = parse(files.at("item05.xml"));
    EXPECT_EQ(fifth.child("assessmentItem").child("itemBody").child("p").child_value(), FifthText);
}

// ---- the command ----

TEST_F(ModelFixture, TheExportWritesTheChosenFormatAndKeepsTheTestUnsaved)
{
    type("How many tablets will you give?", "2 \xB5g", "2");
    model->save();
    folder.write("quiz.zip", "precious");
    prompts.fileNames = { "quiz", "quiz.zip" }; // the filter adds its extension; a typed one decides
    prompts.selectedFilters = { 3, 1 };
    prompts.yesNoAnswers = { false, true };
    model->exportForPlatform();
    EXPECT_EQ(prompts.questions.at(0), "The file quiz.zip already exists. Would you like to use this file");
    EXPECT_EQ(folder.read("quiz.zip"), "precious");
    model->exportForPlatform();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(unzip(folder.read("quiz.zip")).size(), 3u);
    EXPECT_TRUE(model->Unsaved());
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
}

TEST_F(ModelFixture, FailuresNameTheFileAndWriteNothing)
{
    type("Question 1", "", "one");
    prompts.fileNames = { "mine.xml", "bad.zip", "MINE.XML", "nofolder/x.txt" };
    model->saveAs();
    const std::string test = folder.read("mine.xml");
    model->exportForPlatform();
    model->exportForPlatform();
    model->exportForPlatform();
    ASSERT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(prompts.messages[0].text.substr(0, 55), "The test was not exported to bad.zip.\r\n\r\nQuestion 1 has");
    EXPECT_EQ(prompts.messages[1].text,
        "The test was not exported to MINE.XML.\r\n\r\nThat file is the test being edited. Choose another name.");
    EXPECT_EQ(prompts.messages[2].text.substr(0, 45), "The test was not exported to nofolder/x.txt.\r");
    EXPECT_FALSE(std::filesystem::exists(folder / "bad.zip"));
    EXPECT_EQ(folder.read("mine.xml"), test);
}

} // namespace
} // namespace tb
