#pragma once

#include <QString>

#include <filesystem>

class QWidget;

namespace tb {

struct ResultsRecord;

/// Writes the results of a session into the data folder's results folder. Returns the line
/// the window shows; when the file cannot be written the student is told why in a message
/// box over `parent`, and the session is not lost from the screen.
QString saveSessionResults(QWidget* parent, const std::filesystem::path& dataFolder, const ResultsRecord& record);

/// "Score: 8 of 10 (80 %)".
QString scoreText(int score, int total, int percent);

} // namespace tb
