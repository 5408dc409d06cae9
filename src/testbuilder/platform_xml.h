#pragma once

// The XML side of the learning-platform exports, shared by the Moodle and QTI writers.

#include "testbuilder/platform_export.h"

#include <pugixml.hpp>

#include <string>

namespace tb {

/// Appends the question text as HTML elements under `parent`: its lines as one <p> with
/// <br/> between them, then the decimals sentence in a <p> of its own when the rule asks.
void appendQuestionHtml(pugi::xml_node parent, const PlatformQuestion& question);

/// Appends the solution under `parent` as one <pre> block.
void appendSolutionHtml(pugi::xml_node parent, const PlatformQuestion& question);

/// The path of the test's question category: "$course$/top/<title>", a "/" of the title
/// written "//" so that it does not start a subcategory.
std::string categoryName(const std::string& title);

/// A document as UTF-8 text, indented, with or without the XML declaration.
std::string xmlText(const pugi::xml_document& document, bool declaration);

} // namespace tb
