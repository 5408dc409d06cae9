#include "testbuilder/model_fixture.h"

#include "core/export/platform_export.h"
#include "core/testbuilder/class_versions.h"

#include <pugixml.hpp>
#include <zip.h>

#include <filesystem>
#include <map>
#include <set>

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
    EXPECT_STREQ(questions[3].node().child("answer").child_value("tolerance"), "0.000000000125");
    // The HTML inside the text fields holds the texts with their characters and line breaks.
    EXPECT_STREQ(first.child("questiontext").child_value("text"),
        "<p>A client is ordered 5 mg's of Adrenaline IV. 3 mg's in 1 ml of solution is available.<br/>How many ml's "
        "will you administer?</p><p>Give your answer to 2 decimal places.</p>");
    EXPECT_STREQ(fifth.child("questiontext").child_value("text"), "<p>Is &lt;a&gt; &amp; \"b\" 2~3 = {x} #1: \\ ?</p>");
    EXPECT_EQ(std::string(fifth.child("generalfeedback").child_value("text")),
        "<pre>5 " + Micro + "g\n  col 1   col 2</pre>");
}

// The typical errors follow the right answer at 0 %, each with its diagnosis as feedback; an
// answer the platform accepts never lands on one of them.
TEST(MoodleXml, TypicalErrorsAreWrongAnswersWithTheirDiagnosis)
{
    const pugi::xml_document document = parse(moodleXml(Scripted));
    const pugi::xpath_node_set answers = document.select_nodes("//question[@type='numerical'][1]/answer");
    ASSERT_EQ(answers.size(), 7u);
    const pugi::xml_node inverted = answers[6].node();
    EXPECT_STREQ(inverted.attribute("fraction").value(), "0");
    EXPECT_STREQ(inverted.child_value("text"), "0.6");
    EXPECT_STREQ(inverted.child_value("tolerance"), "0.005");
    EXPECT_STREQ(inverted.child("feedback").child_value("text"),
        "The ratio is inverted (stock over required): divide the required dose by the stock dose, then multiply by "
        "the stock volume.");
}

TEST(Gift, OneEscapedLinePerQuestionWithItsTolerance)
{
    const std::string gift = giftText(Scripted);
    EXPECT_EQ(
        gift.substr(0, gift.find("::")), "// Week 3: dosages/IV\n\n$CATEGORY: $course$/top/Week 3: dosages//IV\n\n");
    EXPECT_NE(
        gift.find("::Week 3\\: dosages/IV Q1::[html]<p>A client is ordered 5 mg's of Adrenaline IV. 3 mg's in "
                  "1 ml of solution is available.<br/>How many ml's will you administer?</p><p>Give your "
                  "answer to 2 decimal places.</p>{#=1.67:0.005 =%0%16.67:0.005#Your answer is 10 times too large\\: "
                  "check the unit conversion. =%0%0.17:0.005#Your answer is 10 times too small\\: check the "
                  "unit conversion. =%0%166.67:0.005#Your answer is 100 times too large\\: check the unit "
                  "conversion. =%0%0.02:0.005#Your answer is 100 times too small\\: check the unit conversion. "
                  "=%0%1666.67:0.005#Your answer is 1000 times too large\\: check the unit conversion. "
                  "=%0%0.6:0.005#The ratio is inverted (stock over required)\\: divide the required dose by the "
                  "stock dose, then multiply by the stock volume. ####[html]<pre>Required dose      Stock "
                  "Volume\\n---------------------  X  --------------------\\n5 mg / 3 mg X 1 ml</pre>}\n\n"),
        std::string::npos);
    EXPECT_NE(
        gift.find("::Week 3\\: dosages/IV Q5::[html]<p>Is &lt;a&gt; &amp; \"b\" 2\\~3 \\= \\{x\\} \\#1\\: \\\\ "
                  "?</p>{#=7:0 =%0%70:0#Your answer is 10 times too large\\: check the unit conversion. =%0%0.7:0#"
                  "Your answer is 10 times too small\\: check the unit conversion. =%0%700:0#Your answer is 100 "
                  "times too large\\: check the unit conversion. =%0%0.07:0#Your answer is 100 times too "
                  "small\\: check the unit conversion. =%0%7000:0#Your answer is 1000 times too large\\: check "
                  "the unit conversion. =%0%0.007:0#Your answer is 1000 times too small\\: check the unit "
                  "conversion. ####[html]<pre>5 "
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

const std::string ScriptedKey = exportKey(Scripted);
std::string item(int n)
{
    return "item-" + ScriptedKey + "-0" + std::to_string(n);
}

TEST(QtiPackage, TheManifestNamesEveryItemAndEachDeclaresAFloatWithinBounds)
{
    const auto files = unzip(qtiPackage(Scripted));
    ASSERT_TRUE(files.count("imsmanifest.xml"));
    const pugi::xml_document manifest = parse(files.at("imsmanifest.xml"));
    std::vector<std::string> itemFiles;
    for (const pugi::xpath_node& href : manifest.select_nodes("//resource[@type='imsqti_item_xmlv2p1']/file/@href"))
        itemFiles.push_back(href.attribute().value());
    EXPECT_EQ(itemFiles,
        (std::vector<std::string> {
            item(1) + ".xml", item(2) + ".xml", item(3) + ".xml", item(4) + ".xml", item(5) + ".xml" }));
    EXPECT_EQ(
        itemRule(files.at(item(1) + ".xml")), "float 1.6666666667 [1.665, 1.675] " + Scripted.questions[0].solution);
    EXPECT_EQ(itemRule(files.at(item(3) + ".xml")), "float 42 [42, 42] 42 (drops/min)");
    EXPECT_EQ(itemRule(files.at(item(4) + ".xml")),
        "float 0.125 [0.124999999875, 0.125000000125] 125 " + Micro + "g X 0.001 = 0.125 mg");
    const pugi::xml_document fifth = parse(files.at(item(5) + ".xml"));
    EXPECT_EQ(fifth.child("assessmentItem").child("itemBody").child("p").child_value(), FifthText);
}

// The content-packaging schemas allow a resource only metadata of other namespaces, then
// files, then dependencies; every identifier is an XML name and unique.
TEST(QtiPackage, TypicalErrorsShowTheirDiagnosisAsFeedback)
{
    const auto files = unzip(qtiPackage(Scripted));
    const std::string key = exportKey(Scripted);
    const pugi::xml_document first = parse(files.at("item-" + key + "-01.xml"));
    const pugi::xpath_node_set branches = first.select_nodes("//responseCondition/responseElseIf");
    ASSERT_EQ(branches.size(), 6u);
    EXPECT_STREQ(branches[5].node().select_node("and/gte/baseValue").node().child_value(), "0.595");
    EXPECT_STREQ(
        branches[5].node().select_node("setOutcomeValue[@identifier='DIAGNOSIS']/baseValue").node().child_value(),
        "ERROR6");
    const pugi::xml_node told = first.select_node("//modalFeedback[@identifier='ERROR6']").node();
    EXPECT_STREQ(told.attribute("outcomeIdentifier").value(), "DIAGNOSIS");
    EXPECT_EQ(std::string(told.child_value("p")).rfind("The ratio is inverted", 0), 0u);
}

TEST(QtiPackage, TheManifestHoldsOnlyWhatTheSchemasAllow)
{
    const auto files = unzip(qtiPackage(Scripted));
    const pugi::xml_document manifest = parse(files.at("imsmanifest.xml"));
    const pugi::xml_node root = manifest.child("manifest");
    std::vector<std::string> top, testResource;
    for (const pugi::xml_node child : root.children())
        top.push_back(child.name());
    EXPECT_EQ(top, (std::vector<std::string> { "metadata", "organizations", "resources" }));
    const pugi::xml_node first = root.child("resources").child("resource");
    for (const pugi::xml_node child : first.children())
        testResource.push_back(child.name());
    EXPECT_EQ(testResource,
        (std::vector<std::string> { "file", "dependency", "dependency", "dependency", "dependency", "dependency" }));
    EXPECT_EQ(manifest.select_nodes("//resource/metadata").size(), 0u);
    EXPECT_EQ(std::string(first.attribute("identifier").value()), "test-" + ScriptedKey);
    EXPECT_EQ(std::string(first.attribute("href").value()), "assessment.xml");
    EXPECT_EQ(parse(files.at("assessment.xml")).child("assessmentTest").attribute("identifier").value(),
        "test-" + ScriptedKey);
    for (const pugi::xpath_node& href : manifest.select_nodes("//file/@href"))
        EXPECT_TRUE(files.count(href.attribute().value())) << href.attribute().value();
}

// ---- identifiers ----

TEST(ExportKey, SameTestSameIdentifiersAnotherTestNone)
{
    const PlatformTest again = platformTest("Week 3: dosages/IV", scriptedRecords());
    EXPECT_EQ(exportKey(again), ScriptedKey);
    EXPECT_EQ(qtiPackage(again), qtiPackage(Scripted));
    EXPECT_EQ(canvasPackage(again), canvasPackage(Scripted));
    EXPECT_EQ(ScriptedKey.size(), 12u);

    std::vector<QuestionRecord> changed = scriptedRecords();
    changed[2].answerText = "43";
    std::vector<QuestionRecord> oneLess = scriptedRecords();
    oneLess.pop_back();
    const std::vector<PlatformTest> others { platformTest("Week 4: dosages/IV", scriptedRecords()),
        platformTest("Week 3: dosages/IV", changed), platformTest("Week 3: dosages/IV", oneLess) };
    // No identifier of the first test's two packages appears in another's.
    const std::set<std::string> fixed { "PART", "SECTION", "RESPONSE", "SCORE", "FEEDBACK", "SOLUTION", "root_section",
        "response1", "answer1", "general_fb", "DIAGNOSIS" };
    std::set<std::string> ids;
    for (const std::string& package : { qtiPackage(Scripted), canvasPackage(Scripted) })
        for (const auto& [name, bytes] : unzip(package)) {
            const pugi::xml_document document = parse(bytes); // held while its nodes are read
            for (const pugi::xpath_node& id :
                document.select_nodes("//@identifier | //@ident | //fieldentry[../fieldlabel='original_answer_ids' "
                                      "or ../fieldlabel='assessment_question_identifierref']"))
                if (const std::string value = id.attribute() ? id.attribute().value() : id.node().child_value();
                    !fixed.count(value) && value.rfind("ERROR", 0) != 0)
                    ids.insert(value);
        }
    ASSERT_EQ(ids.size(), 17u); // manifest, test, 5 items, 5 questions, 5 answers
    for (const PlatformTest& other : others) {
        std::string texts;
        for (const std::string& package : { qtiPackage(other), canvasPackage(other) })
            for (const auto& [name, bytes] : unzip(package))
                texts += name + bytes;
        for (const std::string& id : ids)
            EXPECT_EQ(texts.find(id), std::string::npos) << id << " shared with " << other.title;
    }
}

// ---- numbers ----

TEST(PlatformNumber, APlainDecimalOfTheStoredDigits)
{
    const std::vector<std::pair<double, std::string>> rows { { 2.5198E-05, "0.000025198" }, { 5E-06, "0.000005" },
        { -5E-06, "-0.000005" }, { 1.25e-10, "0.000000000125" }, { 1.2E+15, "1200000000000000" },
        { 1.23456789012345e+17, "123456789012345000" }, { 1.6666666667, "1.6666666667" }, { 0.0001, "0.0001" },
        { 0, "0" }, { 42, "42" } };
    for (const auto& [value, text] : rows)
        EXPECT_EQ(platformNumber(value), text);
}

// A conversion answered 25198 (tolerance 2.5198E-05) and a question answered 5E-06 exactly.
const PlatformTest Tiny = platformTest("Tiny",
    {
        { "Convert 25.198 kg's to g's.", "", "25198" },
        { "Give the dose in g.", "", "5E-06" },
    });

TEST(PlatformNumber, NoExponentInAnyFormat)
{
    const pugi::xml_document moodle = parse(moodleXml(Tiny));
    const pugi::xpath_node_set answers = moodle.select_nodes("//answer[@fraction='100']");
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_STREQ(answers[0].node().child_value("tolerance"), "0.000025198");
    EXPECT_STREQ(answers[1].node().child_value("text"), "0.000005");

    const std::string gift = giftText(Tiny);
    EXPECT_NE(gift.find("{#=25198:0.000025198 =%0%"), std::string::npos) << gift;
    EXPECT_NE(gift.find("{#=0.000005:0 =%0%0.00005:0#"), std::string::npos) << gift;

    const std::string key = exportKey(Tiny);
    const auto qti = unzip(qtiPackage(Tiny));
    EXPECT_EQ(itemRule(qti.at("item-" + key + "-01.xml")), "float 25198 [25197.999974802, 25198.000025198] ");
    EXPECT_EQ(itemRule(qti.at("item-" + key + "-02.xml")), "float 0.000005 [0.000005, 0.000005] ");

    const auto canvas = unzip(canvasPackage(Tiny));
    std::string values;
    for (const auto& [name, bytes] : canvas) {
        const pugi::xml_document document = parse(bytes); // held while its nodes are read
        for (const pugi::xpath_node& value :
            document.select_nodes("//*[self::varequal or self::vargte or self::varlte]"))
            values += std::string(value.node().name()) + " " + value.node().child_value() + "; ";
    }
    EXPECT_EQ(values,
        "vargte 25197.999974802; varlte 25198.000025198; varequal 0.000005; vargte 0.000005; varlte 0.000005; ");
}

// A heparin pump rate is marked to 1 decimal place on every platform, its ml per minute a wrong answer.
TEST(PlatformNumber, AUnitsPumpRateIsMarkedToOneDecimalPlace)
{
    const PlatformTest pump = platformTest("Units",
        { { "20000 units of heparin in 500 ml are to run at 1150 units/hr. At what rate in ml/hr should the pump be "
            "set?",
            "", "28.8" } });
    const pugi::xml_document moodle = parse(moodleXml(pump));
    EXPECT_STREQ(moodle.select_node("//answer[@fraction='100']").node().child_value("tolerance"), "0.05");
    EXPECT_NE(giftText(pump).find("{#=28.8:0.05 =%0%0.48:0.005#That is the rate in ml per minute"), std::string::npos)
        << giftText(pump);
    const auto qti = unzip(qtiPackage(pump));
    EXPECT_EQ(itemRule(qti.at("item-" + exportKey(pump) + "-01.xml")), "float 28.8 [28.75, 28.85] ");
}

// ---- Canvas ----

TEST(CanvasPackage, OneNumericalQuestionPerItemAcceptingOnlyItsBand)
{
    const auto files = unzip(canvasPackage(Scripted));
    ASSERT_EQ(files.size(), 2u);
    const pugi::xml_document manifest = parse(files.at("imsmanifest.xml"));
    const pugi::xml_node resource = manifest.select_node("/manifest/resources/resource").node();
    EXPECT_STREQ(
        manifest.child("manifest").attribute("xmlns").value(), "http://www.imsglobal.org/xsd/imsccv1p1/imscp_v1p1");
    EXPECT_STREQ(resource.attribute("type").value(), "imsqti_xmlv1p2");
    const std::string file = resource.child("file").attribute("href").value();
    EXPECT_EQ(file, "test-" + ScriptedKey + "/test-" + ScriptedKey + ".xml");
    ASSERT_TRUE(files.count(file));

    const pugi::xml_document quiz = parse(files.at(file));
    const pugi::xml_node assessment = quiz.child("questestinterop").child("assessment");
    EXPECT_STREQ(assessment.attribute("title").value(), "Week 3: dosages/IV");
    const pugi::xpath_node_set items = assessment.select_nodes("section/item");
    ASSERT_EQ(items.size(), 5u);
    std::vector<std::string> bands;
    for (const pugi::xpath_node& entry : items) {
        const pugi::xml_node it = entry.node();
        EXPECT_STREQ(it.select_node("itemmetadata/qtimetadata/qtimetadatafield[fieldlabel='question_type']/fieldentry")
                         .node()
                         .child_value(),
            "numerical_question");
        // The blank holds its label and nothing else: no unit, no material.
        const pugi::xml_node blank = it.select_node("presentation/response_str/render_fib").node();
        EXPECT_EQ(std::distance(blank.children().begin(), blank.children().end()), 1);
        EXPECT_STREQ(blank.first_child().name(), "response_label");
        EXPECT_FALSE(blank.first_child().first_child());
        // The solution is general feedback, shown by a condition that always goes on.
        const pugi::xpath_node_set conditions = it.select_nodes("resprocessing/respcondition");
        ASSERT_EQ(conditions.size(), 2u);
        const pugi::xml_node always = conditions[0].node(), right = conditions[1].node();
        EXPECT_STREQ(always.attribute("continue").value(), "Yes");
        EXPECT_TRUE(always.select_node("conditionvar/other"));
        EXPECT_STREQ(always.child("displayfeedback").attribute("linkrefid").value(), "general_fb");
        EXPECT_FALSE(always.child("setvar"));
        EXPECT_STREQ(right.child_value("setvar"), "100");
        EXPECT_EQ(it.select_nodes("resprocessing//setvar").size(), 1u);
        EXPECT_STREQ(it.child("itemfeedback").attribute("ident").value(), "general_fb");
        // The band, as "or(=c, and(>=l, <=u))" or "and(>=l, <=u)".
        const pugi::xml_node band = right.child("conditionvar").first_child();
        const pugi::xml_node range = std::string(band.name()) == "or" ? band.child("and") : band;
        std::string text
            = std::string(band.name()) == "or" ? std::string("=") + band.child_value("varequal") + " " : "";
        bands.push_back(text + range.child_value("vargte") + ".." + range.child_value("varlte"));
    }
    EXPECT_EQ(bands,
        (std::vector<std::string> {
            "1.665..1.675", "=0.5 0.5..0.5", "=42 42..42", "0.124999999875..0.125000000125", "=7 7..7" }));
    EXPECT_EQ(items[0].node().select_node("presentation/material/mattext").node().child_value(),
        questionHtml(Scripted.questions[0]));
    EXPECT_EQ(items[4].node().select_node("itemfeedback/flow_mat/material/mattext").node().child_value(),
        solutionHtml(Scripted.questions[4]));
}

TEST(CanvasPackage, QuestionsNoFourDecimalNumberCanHitAreNamed)
{
    EXPECT_EQ(canvasUnreachable(Scripted), std::vector<std::size_t> {});
    EXPECT_EQ(canvasUnreachable(Tiny), std::vector<std::size_t> { 2 });
    // 0.000005 within 0.0000001 holds no 4-decimal number; 0.00005 within 0.00005 holds 0.0001.
    PlatformTest bands = Tiny;
    bands.questions[0].rule = { ToleranceStyle::FullPrecision, 0.000005, 0.0000001, 0.0000049, 0.0000051, false };
    bands.questions[1].rule = { ToleranceStyle::FullPrecision, 0.00005, 0.00005, 0, 0.0001, false };
    EXPECT_EQ(canvasUnreachable(bands), std::vector<std::size_t> { 1 });
}

TEST(PlatformTarget, AZipNameTakesTheSelectedPackage)
{
    EXPECT_EQ(platformTarget("a.zip", 4).format, PlatformFormat::CanvasQuiz);
    EXPECT_EQ(platformTarget("a.ZIP", 3).format, PlatformFormat::QtiPackage);
    EXPECT_EQ(platformTarget("a.zip", 1).format, PlatformFormat::QtiPackage);
    EXPECT_EQ(platformTarget("a.xml", 4).format, PlatformFormat::MoodleXml);
    const PlatformTarget plain = platformTarget("a", 4);
    EXPECT_EQ(plain.name, "a.zip");
    EXPECT_EQ(plain.format, PlatformFormat::CanvasQuiz);
}

// ---- names ----

// How Moodle reads a category path: split at each lone "/", each name trimmed and its "//"
// read as "/".
std::vector<std::string> moodleCategories(const std::string& path)
{
    std::vector<std::string> names(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        const bool lone
            = path[i] == '/' && (i == 0 || path[i - 1] != '/') && (i + 1 == path.size() || path[i + 1] != '/');
        if (lone)
            names.emplace_back();
        else
            names.back() += path[i];
    }
    for (std::string& name : names) {
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        for (std::size_t at = name.find("//"); at != std::string::npos; at = name.find("//", at + 1))
            name.erase(at, 1);
    }
    return names;
}

TEST(MoodleNames, OneCategorySpelledAsTheTitleReadsFromBothFormats)
{
    const std::string look = "/Week \xE2\x80\xB9"
                             "1\xE2\x80\xBA dosages/";
    {
        const PlatformTest test = platformTest("/Week <1> dosages/", { { "How many tablets?", "", "2" } });
        const pugi::xml_document xml = parse(moodleXml(test));
        const std::string xmlPath = xml.select_node("//question[@type='category']/category/text").node().child_value();
        const std::string gift = giftText(test);
        const std::size_t at = gift.find("$CATEGORY: ") + 11;
        const std::string giftPath = gift.substr(at, gift.find('\n', at) - at);
        EXPECT_EQ(moodleCategories(xmlPath), (std::vector<std::string> { "$course$", "top", look }));
        EXPECT_EQ(moodleCategories(giftPath), moodleCategories(xmlPath));
        EXPECT_EQ(
            std::string(xml.select_node("//question[@type='numerical']/name/text").node().child_value()), look + " Q1");
        EXPECT_NE(gift.find("::" + look + " Q1::"), std::string::npos) << gift;
    }
}

// ---- the command ----

// Every question the generators make is recognised as its category's kind.
class GeneratedKindTest : public ModelFixture, public ::testing::WithParamInterface<std::pair<int, QuestionKind>> { };

TEST_P(GeneratedKindTest, EveryGeneratedQuestionIsRecognised)
{
    loadSampleDatabase();
    for (int i = 0; i < 20; ++i) { // the fixture's draws are fixed: the same 20 questions on every run
        ASSERT_TRUE(model->drafter().generateQuestion(GetParam().first));
        ASSERT_EQ(questionKind(model->drafter().lastGenerated().question), GetParam().second)
            << model->drafter().lastGenerated().question;
    }
}

INSTANTIATE_TEST_SUITE_P(Categories, GeneratedKindTest,
    ::testing::Values(std::pair { MetricConversions, QuestionKind::MetricConversion },
        std::pair { TabletDosages, QuestionKind::TabletCount }, std::pair { FluidDosages, QuestionKind::LiquidVolume },
        std::pair { IVDropRates, QuestionKind::DropRate }, std::pair { InfusionPumpRates, QuestionKind::PumpRate },
        std::pair { InfusionTimes, QuestionKind::InfusionTime }));

// Weight-based doses ask mg or ml; each is marked exactly at its rounded value on every platform.
TEST_F(ModelFixture, WeightBasedDosesAreRecognisedAsADoseOrItsVolume)
{
    loadSampleDatabase();
    std::set<QuestionKind> kinds;
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(model->drafter().generateQuestion(WeightBasedDoses))
            << (prompts.messages.empty() ? std::string() : prompts.messages.back().text);
        const GeneratedQuestion& q = model->drafter().lastGenerated();
        const QuestionKind kind = questionKind(q.question);
        ASSERT_TRUE(kind == QuestionKind::WeightDose || kind == QuestionKind::DoseVolume) << q.question;
        EXPECT_EQ(toleranceStyle(kind), ToleranceStyle::Exact);
        EXPECT_EQ(questionCategory(q.question), WeightBasedDoses) << q.question;
        kinds.insert(kind);
    }
    EXPECT_EQ(kinds.size(), 2u);
}

TEST_F(ModelFixture, TheExportWritesTheChosenFormatAndKeepsTheTestUnsaved)
{
    type("How many tablets will you give?", "2 \xB5g", "2");
    model->save();
    prompts.fileNames = { "quiz" }; // the chosen filter adds its extension
    prompts.selectedFilters = { 3 };
    platformExport().exportForPlatform();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(unzip(folder.read("quiz.zip")).size(), 3u);
    EXPECT_TRUE(model->Unsaved());
    EXPECT_EQ(model->WorkingFile(), "test.tmp");
}

TEST_F(ModelFixture, ACanvasExportNamesTheQuestionsCanvasCannotMark)
{
    type("How many tablets will you give?", "", "2");
    model->forward();
    type("Give the dose in g.", "", "5E-06");
    model->forward();
    type("Give the dose in mg.", "", "0.00001");
    model->save();
    prompts.fileNames = { "canvas.zip" };
    prompts.selectedFilters = { 4 };
    platformExport().exportForPlatform();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
        "The test was exported to canvas.zip, but Canvas cannot mark questions 2 and 3 right: it rounds what a "
        "student types to 4 decimal places, and no such number lies within their accepted answers.\r\n\r\nChange "
        "those answers in the test and export it again, or mark those questions by hand in Canvas.");
    EXPECT_TRUE(unzip(folder.read("canvas.zip")).count("imsmanifest.xml"));
}

TEST_F(ModelFixture, FailuresNameTheFileAndWriteNothing)
{
    type("Question 1", "", "one");
    prompts.fileNames = { "mine.xml", "bad.zip", "MINE.XML" };
    model->saveAs();
    const std::string test = folder.read("mine.xml");
    platformExport().exportForPlatform();
    platformExport().exportForPlatform();
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
