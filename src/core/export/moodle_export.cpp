#include "core/export/diagnosis.h"
#include "core/export/platform_xml.h"

namespace tb {

namespace {

// <name format="..."><text>value</text></name>, the shape of Moodle's text fields.
pugi::xml_node textField(pugi::xml_node parent, const char* name, const std::string& value, const char* format)
{
    pugi::xml_node field = parent.append_child(name);
    if (format)
        field.append_attribute("format") = format;
    field.append_child("text").text().set(value.c_str());
    return field;
}

void child(pugi::xml_node parent, const char* name, const char* value)
{
    parent.append_child(name).text().set(value);
}

void appendTest(pugi::xml_node quiz, const PlatformTest& test)
{
    pugi::xml_node category = quiz.append_child("question");
    category.append_attribute("type") = "category";
    textField(category, "category", categoryName(test.title), nullptr);

    for (const PlatformQuestion& question : test.questions) {
        pugi::xml_node item = quiz.append_child("question");
        item.append_attribute("type") = "numerical";
        textField(item, "name", moodleName(question.name), nullptr);
        textField(item, "questiontext", questionHtml(question), "html");
        textField(item, "generalfeedback", solutionHtml(question), "html");
        child(item, "defaultgrade", "1");
        child(item, "penalty", "0");
        child(item, "hidden", "0");
        pugi::xml_node answer = textField(item, "answer", platformNumber(question.rule.centre), "moodle_auto_format");
        answer.prepend_attribute("fraction") = "100";
        child(answer, "tolerance", platformNumber(question.rule.tolerance).c_str());
        textField(answer, "feedback", "", "html");
        // The typical errors as wrong answers, each with what went wrong as its feedback.
        for (const WrongAnswer& wrong : typicalWrongAnswers(question.text, question.rule, storedValue(question))) {
            pugi::xml_node other = textField(item, "answer", platformNumber(wrong.value), "moodle_auto_format");
            other.prepend_attribute("fraction") = "0";
            child(other, "tolerance", platformNumber(wrong.tolerance).c_str());
            textField(other, "feedback", wrong.diagnosis.text, "html");
        }
        // Units are neither asked for nor graded: the answer is the number alone.
        child(item, "unitgradingtype", "0");
        child(item, "unitpenalty", "0");
        child(item, "showunits", "3");
        child(item, "unitsleft", "0");
    }
}

} // namespace

std::string moodleXml(const PlatformTest& test)
{
    return moodleXml(std::vector<PlatformTest> { test });
}

std::string moodleXml(const std::vector<PlatformTest>& tests)
{
    pugi::xml_document document;
    pugi::xml_node quiz = document.append_child("quiz");
    for (const PlatformTest& test : tests)
        appendTest(quiz, test);
    return xmlText(document, true);
}

} // namespace tb
