#include "gui/common/program_text.h"

#include "core/foundation/cp1252.h"

#include <QList>

namespace tb {

QString fromProgram(std::string_view bytes)
{
    return QString::fromStdString(fromCp1252(bytes));
}

std::string toProgram(const QString& text)
{
    return toCp1252(text.toStdString());
}

QString toDisplay(std::string_view bytes, bool multiLine)
{
    QString text = fromProgram(bytes);
    if (multiLine)
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string toStored(QString text, bool multiLine)
{
    if (multiLine)
        text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return toProgram(text);
}

std::string cutStored(std::string bytes, std::size_t limit)
{
    if (bytes.size() > limit) {
        bytes.resize(limit);
        if (!bytes.empty() && bytes.back() == '\r')
            bytes.pop_back();
    }
    return bytes;
}

bool holdsOnlyProgramCharacters(const QString& text)
{
    for (const char32_t cp : text.toUcs4())
        if (!cp1252Holds(cp))
            return false;
    return true;
}

} // namespace tb
