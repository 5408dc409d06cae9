#pragma once

// The XML side of the learning-platform exports, shared by the Moodle and QTI writers.

#include "core/export/platform_export.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace tb {

/// Appends the question text as HTML elements under `parent`: its lines as one <p> with
/// <br/> between them, then the decimals sentence in a <p> of its own when the rule asks.
void appendQuestionHtml(pugi::xml_node parent, const PlatformQuestion& question);

/// Appends the solution under `parent` as one <pre> block.
void appendSolutionHtml(pugi::xml_node parent, const PlatformQuestion& question);

/// A name as Moodle keeps it: "<" and ">" written as the look-alikes U+2039 and U+203A, since
/// Moodle drops tag-like text from names and categories.
std::string moodleName(std::string_view text);

/// The path of the test's question category: "$course$/top/<title>", the title as moodleName
/// writes it, each of its "/" written "//" so that it does not start a subcategory, and a
/// blank before a leading or after a trailing "/" (Moodle trims the blank away).
std::string categoryName(const std::string& title);

/// The root element of a document with its namespace and schema location.
pugi::xml_node rootElement(pugi::xml_document& document, const char* name, const char* ns, const char* schema);

/// A document as UTF-8 text, indented, with or without the XML declaration.
std::string xmlText(const pugi::xml_document& document, bool declaration);

/// One file of a zip package.
struct PackageFile {
    std::string name;
    std::string bytes;
};

/// The files zipped in memory, deflated, in the order given, every entry with the same time
/// stamp so that the same files always give the same bytes. Throws std::runtime_error when
/// the archive cannot be built.
std::string zipBytes(const std::vector<PackageFile>& files);

/// The identifiers of a test's items: "item-<key>-01" onwards, numbered with as many digits
/// as the largest number needs, at least two.
std::vector<std::string> itemIdentifiers(const std::string& key, std::size_t count);

} // namespace tb
