#include "core/export/platform_xml.h"

#include "core/export/diagnosis.h"

#include "core/foundation/number_format.h"

#include <zip.h>

#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tb {

namespace {

constexpr const char* QtiNamespace = "http://www.imsglobal.org/xsd/imsqti_v2p1";
constexpr const char* QtiSchema
    = "http://www.imsglobal.org/xsd/imsqti_v2p1 http://www.imsglobal.org/xsd/qti/qtiv2p1/imsqti_v2p1.xsd";
constexpr const char* ContentNamespace = "http://www.imsglobal.org/xsd/imscp_v1p1";
constexpr const char* ContentSchema
    = "http://www.imsglobal.org/xsd/imscp_v1p1 http://www.imsglobal.org/xsd/qti/qtiv2p1/qtiv2p1_imscpv1p2_v1p0.xsd";
constexpr const char* TestFileName = "assessment.xml";

// Every entry of the package carries the same time stamp (1 January 2000, DOS form), so the
// same test always gives the same bytes.
constexpr zip_uint16_t EntryDate = (20 << 9) | (1 << 5) | 1;
constexpr zip_uint16_t EntryTime = 0;

pugi::xml_node floatValue(pugi::xml_node parent, const std::string& value)
{
    pugi::xml_node node = parent.append_child("baseValue");
    node.append_attribute("baseType") = "float";
    node.text().set(value.c_str());
    return node;
}

void setScore(pugi::xml_node parent, const char* score)
{
    pugi::xml_node set = parent.append_child("setOutcomeValue");
    set.append_attribute("identifier") = "SCORE";
    floatValue(set, score);
}

// One numeric item: a float response, full marks when it lies from the lower to the upper
// bound, and the solution shown as feedback once the item is answered.
std::string itemXml(const PlatformQuestion& question, const std::string& identifier)
{
    const std::vector<WrongAnswer> wrong = typicalWrongAnswers(question.text, question.rule, storedValue(question));
    pugi::xml_document document;
    pugi::xml_node item = rootElement(document, "assessmentItem", QtiNamespace, QtiSchema);
    item.append_attribute("identifier") = identifier.c_str();
    item.append_attribute("title") = question.name.c_str();
    item.append_attribute("adaptive") = "false";
    item.append_attribute("timeDependent") = "false";

    pugi::xml_node response = item.append_child("responseDeclaration");
    response.append_attribute("identifier") = "RESPONSE";
    response.append_attribute("cardinality") = "single";
    response.append_attribute("baseType") = "float";
    response.append_child("correctResponse").append_child("value").text().set(question.answerText.c_str());

    pugi::xml_node score = item.append_child("outcomeDeclaration");
    score.append_attribute("identifier") = "SCORE";
    score.append_attribute("cardinality") = "single";
    score.append_attribute("baseType") = "float";
    score.append_child("defaultValue").append_child("value").text().set("0");
    pugi::xml_node feedback = item.append_child("outcomeDeclaration");
    feedback.append_attribute("identifier") = "FEEDBACK";
    feedback.append_attribute("cardinality") = "single";
    feedback.append_attribute("baseType") = "identifier";
    if (!wrong.empty()) {
        pugi::xml_node diagnosis = item.append_child("outcomeDeclaration");
        diagnosis.append_attribute("identifier") = "DIAGNOSIS";
        diagnosis.append_attribute("cardinality") = "single";
        diagnosis.append_attribute("baseType") = "identifier";
    }

    pugi::xml_node body = item.append_child("itemBody");
    appendQuestionHtml(body, question);
    pugi::xml_node entry = body.append_child("p").append_child("textEntryInteraction");
    entry.append_attribute("responseIdentifier") = "RESPONSE";
    entry.append_attribute("expectedLength") = "12";

    pugi::xml_node processing = item.append_child("responseProcessing");
    pugi::xml_node condition = processing.append_child("responseCondition");
    pugi::xml_node when = condition.append_child("responseIf");
    pugi::xml_node both = when.append_child("and");
    pugi::xml_node atLeast = both.append_child("gte");
    atLeast.append_child("variable").append_attribute("identifier") = "RESPONSE";
    floatValue(atLeast, platformNumber(question.rule.lower));
    pugi::xml_node atMost = both.append_child("lte");
    atMost.append_child("variable").append_attribute("identifier") = "RESPONSE";
    floatValue(atMost, platformNumber(question.rule.upper));
    setScore(when, "1");
    // Each typical error sets the diagnosis shown with its feedback.
    for (std::size_t i = 0; i < wrong.size(); ++i) {
        pugi::xml_node elseIf = condition.append_child("responseElseIf");
        pugi::xml_node within = elseIf.append_child("and");
        pugi::xml_node low = within.append_child("gte");
        low.append_child("variable").append_attribute("identifier") = "RESPONSE";
        floatValue(low, platformNumber(wrong[i].value - wrong[i].tolerance));
        pugi::xml_node high = within.append_child("lte");
        high.append_child("variable").append_attribute("identifier") = "RESPONSE";
        floatValue(high, platformNumber(wrong[i].value + wrong[i].tolerance));
        setScore(elseIf, "0");
        pugi::xml_node set = elseIf.append_child("setOutcomeValue");
        set.append_attribute("identifier") = "DIAGNOSIS";
        pugi::xml_node id = set.append_child("baseValue");
        id.append_attribute("baseType") = "identifier";
        id.text().set(("ERROR" + formatInt(static_cast<long long>(i + 1))).c_str());
    }
    setScore(condition.append_child("responseElse"), "0");
    pugi::xml_node show = processing.append_child("setOutcomeValue");
    show.append_attribute("identifier") = "FEEDBACK";
    pugi::xml_node solutionId = show.append_child("baseValue");
    solutionId.append_attribute("baseType") = "identifier";
    solutionId.text().set("SOLUTION");

    pugi::xml_node modal = item.append_child("modalFeedback");
    modal.append_attribute("outcomeIdentifier") = "FEEDBACK";
    modal.append_attribute("showHide") = "show";
    modal.append_attribute("identifier") = "SOLUTION";
    appendSolutionHtml(modal, question);
    for (std::size_t i = 0; i < wrong.size(); ++i) {
        pugi::xml_node told = item.append_child("modalFeedback");
        told.append_attribute("outcomeIdentifier") = "DIAGNOSIS";
        told.append_attribute("showHide") = "show";
        told.append_attribute("identifier") = ("ERROR" + formatInt(static_cast<long long>(i + 1))).c_str();
        told.append_child("p").text().set(wrong[i].diagnosis.text.c_str());
    }
    return xmlText(document, true);
}

std::string testXml(const PlatformTest& test, const std::string& testId, const std::vector<std::string>& identifiers)
{
    pugi::xml_document document;
    pugi::xml_node root = rootElement(document, "assessmentTest", QtiNamespace, QtiSchema);
    root.append_attribute("identifier") = testId.c_str();
    root.append_attribute("title") = test.title.c_str();
    pugi::xml_node part = root.append_child("testPart");
    part.append_attribute("identifier") = "PART";
    part.append_attribute("navigationMode") = "nonlinear";
    part.append_attribute("submissionMode") = "simultaneous";
    pugi::xml_node section = part.append_child("assessmentSection");
    section.append_attribute("identifier") = "SECTION";
    section.append_attribute("title") = test.title.c_str();
    section.append_attribute("visible") = "true";
    for (const std::string& identifier : identifiers) {
        pugi::xml_node ref = section.append_child("assessmentItemRef");
        ref.append_attribute("identifier") = identifier.c_str();
        ref.append_attribute("href") = (identifier + ".xml").c_str();
    }
    return xmlText(document, true);
}

// The manifest as the content-packaging schemas allow it: the test's title is in the test
// itself, since a resource's metadata holds only elements of other schemas' namespaces.
std::string manifestXml(const std::string& key, const std::string& testId, const std::vector<std::string>& identifiers)
{
    pugi::xml_document document;
    pugi::xml_node root = rootElement(document, "manifest", ContentNamespace, ContentSchema);
    root.append_attribute("identifier") = ("manifest-" + key).c_str();
    pugi::xml_node metadata = root.append_child("metadata");
    metadata.append_child("schema").text().set("QTIv2.1 Package");
    metadata.append_child("schemaversion").text().set("1.0.0");
    root.append_child("organizations");
    pugi::xml_node resources = root.append_child("resources");

    pugi::xml_node testResource = resources.append_child("resource");
    testResource.append_attribute("identifier") = testId.c_str();
    testResource.append_attribute("type") = "imsqti_test_xmlv2p1";
    testResource.append_attribute("href") = TestFileName;
    testResource.append_child("file").append_attribute("href") = TestFileName;
    for (const std::string& identifier : identifiers)
        testResource.append_child("dependency").append_attribute("identifierref") = identifier.c_str();

    for (const std::string& identifier : identifiers) {
        const std::string file = identifier + ".xml";
        pugi::xml_node resource = resources.append_child("resource");
        resource.append_attribute("identifier") = identifier.c_str();
        resource.append_attribute("type") = "imsqti_item_xmlv2p1";
        resource.append_attribute("href") = file.c_str();
        resource.append_child("file").append_attribute("href") = file.c_str();
    }
    return xmlText(document, true);
}

[[noreturn]] void zipFailure(const char* what, zip_error_t* error)
{
    const std::string reason = error ? zip_error_strerror(error) : "unknown error";
    throw std::runtime_error(std::string("The package could not be built (") + what + ": " + reason + ").");
}

} // namespace

std::string zipBytes(const std::vector<PackageFile>& files)
{
    zip_error_t error;
    zip_error_init(&error);
    struct SourceRelease {
        void operator()(zip_source_t* source) const { zip_source_free(source); }
    };
    std::unique_ptr<zip_source_t, SourceRelease> buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer)
        zipFailure("buffer", &error);
    zip_t* archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error);
    if (!archive)
        zipFailure("open", &error);
    // The archive releases its source when closed; the buffer is still read afterwards.
    zip_source_keep(buffer.get());
    auto fail = [archive](const char* what) {
        zip_error_t copy;
        zip_error_init(&copy);
        zip_error_set(&copy, zip_error_code_zip(zip_get_error(archive)), zip_error_code_system(zip_get_error(archive)));
        zip_discard(archive);
        zipFailure(what, &copy);
    };
    for (const PackageFile& file : files) {
        zip_source_t* source = zip_source_buffer(archive, file.bytes.data(), file.bytes.size(), 0);
        if (!source)
            fail("entry");
        const zip_int64_t index = zip_file_add(archive, file.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            fail("entry");
        }
        const auto entry = static_cast<zip_uint64_t>(index);
        if (zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE, 9) < 0
            || zip_file_set_dostime(archive, entry, EntryTime, EntryDate, 0) < 0
            || zip_file_set_external_attributes(archive, entry, 0, ZIP_OPSYS_UNIX, 0100644u << 16) < 0)
            fail("entry");
    }
    if (zip_close(archive) < 0)
        fail("close");

    zip_source_t* source = buffer.get();
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(source, &stat) < 0 || !(stat.valid & ZIP_STAT_SIZE) || zip_source_open(source) < 0)
        zipFailure("read", zip_source_error(source));
    std::string bytes(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t read = zip_source_read(source, bytes.data(), bytes.size());
    zip_source_close(source);
    if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size)
        zipFailure("read", zip_source_error(source));
    return bytes;
}

std::vector<std::string> itemIdentifiers(const std::string& key, std::size_t count)
{
    // Numbered with as many digits as the largest number needs, at least two.
    const std::size_t width = std::max<std::size_t>(2, formatInt(static_cast<long long>(count)).size());
    std::vector<std::string> identifiers;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string number = formatInt(static_cast<long long>(i + 1));
        identifiers.push_back("item-" + key + "-" + std::string(width - number.size(), '0') + number);
    }
    return identifiers;
}

std::string qtiPackage(const PlatformTest& test)
{
    const std::string key = exportKey(test);
    const std::string testId = "test-" + key;
    const std::vector<std::string> identifiers = itemIdentifiers(key, test.questions.size());
    std::vector<PackageFile> files;
    files.push_back({ "imsmanifest.xml", manifestXml(key, testId, identifiers) });
    files.push_back({ TestFileName, testXml(test, testId, identifiers) });
    for (std::size_t i = 0; i < test.questions.size(); ++i)
        files.push_back({ identifiers[i] + ".xml", itemXml(test.questions[i], identifiers[i]) });
    return zipBytes(files);
}

} // namespace tb
