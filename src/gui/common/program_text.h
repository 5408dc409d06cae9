#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace tb {

// The one bridge between the program's Windows-1252 texts and Qt's strings. Every window,
// dialog and platform service converts here and nowhere else.

/// A Windows-1252 program text as Qt shows it.
QString fromProgram(std::string_view bytes);
/// What the teacher typed, as a Windows-1252 program text; a character Windows-1252 lacks
/// becomes "?".
std::string toProgram(const QString& text);

/// A stored text shown in a field: a multi-line field shows CR LF as its own line break.
QString toDisplay(std::string_view bytes, bool multiLine);
/// A field's text as stored: line breaks back to CR LF, every character one byte.
std::string toStored(QString text, bool multiLine);
/// Cuts stored bytes to `limit` without leaving half of a CR LF pair behind.
std::string cutStored(std::string bytes, std::size_t limit);
/// True when every character of `text` has a Windows-1252 byte.
bool holdsOnlyProgramCharacters(const QString& text);

} // namespace tb
