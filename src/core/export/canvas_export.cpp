#include "core/export/platform_xml.h"

#include "core/foundation/number_format.h"

#include <cstdint>

namespace tb {

namespace {

constexpr const char* ContentNamespace = "http://www.imsglobal.org/xsd/imsccv1p1/imscp_v1p1";
constexpr const char* ContentSchema
    = "http://www.imsglobal.org/xsd/imsccv1p1/imscp_v1p1 http://www.imsglobal.org/xsd/imscp_v1p1.xsd";
constexpr const char* QtiNamespace = "http://www.imsglobal.org/xsd/ims_qtiasiv1p2";
constexpr const char* QtiSchema
    = "http://www.imsglobal.org/xsd/ims_qtiasiv1p2 http://www.imsglobal.org/xsd/ims_qtiasiv1p2p1.xsd";
constexpr const char* Response = "response1";

void metadataField(pugi::xml_node metadata, const char* label, const std::string& entry)
{
    pugi::xml_node field = metadata.append_child("qtimetadatafield");
    field.append_child("fieldlabel").text().set(label);
    field.append_child("fieldentry").text().set(entry.c_str());
}

// <material><mattext texttype="text/html">html</mattext></material>
void htmlMaterial(pugi::xml_node parent, const std::string& html)
{
    pugi::xml_node text = parent.append_child("material").append_child("mattext");
    text.append_attribute("texttype") = "text/html";
    text.text().set(html.c_str());
}

pugi::xml_node responseValue(pugi::xml_node parent, const char* name, const std::string& value)
{
    pugi::xml_node node = parent.append_child(name);
    node.append_attribute("respident") = Response;
    node.text().set(value.c_str());
    return node;
}

// The number Canvas knows the question's one answer by: nine digits from the item's identifier.
std::string answerNumber(const std::string& itemId)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : itemId) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return formatInt(100000000 + static_cast<long long>(hash % 900000000u));
}

// One numerical question. Canvas takes every answer condition for a right answer, so the
// accepted band is the only one: an exact answer as the value or a band of no width, any
// other as the band from its lower to its upper end. The solution is the general feedback,
// shown whatever was answered.
void appendItem(
    pugi::xml_node section, const PlatformQuestion& question, const std::string& itemId, const std::string& questionId)
{
    pugi::xml_node item = section.append_child("item");
    item.append_attribute("ident") = itemId.c_str();
    item.append_attribute("title") = question.name.c_str();
    pugi::xml_node metadata = item.append_child("itemmetadata").append_child("qtimetadata");
    metadataField(metadata, "question_type", "numerical_question");
    metadataField(metadata, "points_possible", "1.0");
    metadataField(metadata, "original_answer_ids", answerNumber(itemId));
    metadataField(metadata, "assessment_question_identifierref", questionId);

    pugi::xml_node presentation = item.append_child("presentation");
    htmlMaterial(presentation, questionHtml(question));
    pugi::xml_node response = presentation.append_child("response_str");
    response.append_attribute("ident") = Response;
    response.append_attribute("rcardinality") = "Single";
    pugi::xml_node blank = response.append_child("render_fib");
    blank.append_attribute("fibtype") = "Decimal";
    blank.append_child("response_label").append_attribute("ident") = "answer1";

    pugi::xml_node processing = item.append_child("resprocessing");
    pugi::xml_node score = processing.append_child("outcomes").append_child("decvar");
    score.append_attribute("maxvalue") = "100";
    score.append_attribute("minvalue") = "0";
    score.append_attribute("varname") = "SCORE";
    score.append_attribute("vartype") = "Decimal";

    pugi::xml_node always = processing.append_child("respcondition");
    always.append_attribute("continue") = "Yes";
    always.append_child("conditionvar").append_child("other");
    pugi::xml_node show = always.append_child("displayfeedback");
    show.append_attribute("feedbacktype") = "Response";
    show.append_attribute("linkrefid") = "general_fb";

    const AnswerRule& rule = question.rule;
    pugi::xml_node right = processing.append_child("respcondition");
    right.append_attribute("continue") = "No";
    pugi::xml_node condition = right.append_child("conditionvar");
    pugi::xml_node band = condition;
    if (rule.tolerance == 0) {
        band = condition.append_child("or");
        responseValue(band, "varequal", platformNumber(rule.centre));
    }
    band = band.append_child("and");
    responseValue(band, "vargte", platformNumber(rule.lower));
    responseValue(band, "varlte", platformNumber(rule.upper));
    pugi::xml_node set = right.append_child("setvar");
    set.append_attribute("action") = "Set";
    set.append_attribute("varname") = "SCORE";
    set.text().set("100");

    pugi::xml_node feedback = item.append_child("itemfeedback");
    feedback.append_attribute("ident") = "general_fb";
    htmlMaterial(feedback.append_child("flow_mat"), solutionHtml(question));
}

std::string assessmentXml(const PlatformTest& test, const std::string& key, const std::string& assessmentId)
{
    pugi::xml_document document;
    pugi::xml_node root = rootElement(document, "questestinterop", QtiNamespace, QtiSchema);
    pugi::xml_node assessment = root.append_child("assessment");
    assessment.append_attribute("ident") = assessmentId.c_str();
    assessment.append_attribute("title") = test.title.c_str();
    metadataField(assessment.append_child("qtimetadata"), "cc_maxattempts", "1");
    pugi::xml_node section = assessment.append_child("section");
    section.append_attribute("ident") = "root_section";
    const std::vector<std::string> items = itemIdentifiers(key, test.questions.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string questionId = "question" + items[i].substr(4); // "question-<key>-01"
        appendItem(section, test.questions[i], items[i], questionId);
    }
    return xmlText(document, true);
}

std::string manifestXml(const std::string& key, const std::string& assessmentId, const std::string& file)
{
    pugi::xml_document document;
    pugi::xml_node root = rootElement(document, "manifest", ContentNamespace, ContentSchema);
    root.append_attribute("identifier") = ("manifest-" + key).c_str();
    pugi::xml_node metadata = root.append_child("metadata");
    metadata.append_child("schema").text().set("IMS Content");
    metadata.append_child("schemaversion").text().set("1.1.3");
    root.append_child("organizations");
    pugi::xml_node resource = root.append_child("resources").append_child("resource");
    resource.append_attribute("identifier") = assessmentId.c_str();
    resource.append_attribute("type") = "imsqti_xmlv1p2";
    resource.append_child("file").append_attribute("href") = file.c_str();
    return xmlText(document, true);
}

} // namespace

std::string canvasPackage(const PlatformTest& test)
{
    const std::string key = exportKey(test);
    const std::string assessmentId = "test-" + key;
    const std::string file = assessmentId + "/" + assessmentId + ".xml";
    return zipBytes({ { "imsmanifest.xml", manifestXml(key, assessmentId, file) },
        { file, assessmentXml(test, key, assessmentId) } });
}

} // namespace tb
