#include "gui/student/session_end.h"

#include "core/student/results_file.h"
#include "gui/common/program_text.h"

#include <QMessageBox>

#include <exception>

namespace tb {

QString saveSessionResults(QWidget* parent, const std::filesystem::path& dataFolder, const ResultsRecord& record)
{
    try {
        const std::filesystem::path written = writeResults(dataFolder, record);
        return QStringLiteral("Your results were saved as %1.")
            .arg(QString::fromStdString(written.filename().string()));
    } catch (const std::exception& e) {
        const QString why = QString::fromStdString(e.what());
        QMessageBox::warning(parent, QStringLiteral("Dosarion"),
            QStringLiteral("Your results could not be saved.\n\n%1\n\nTell your teacher.").arg(why));
        return QStringLiteral("Your results could not be saved.");
    }
}

QString scoreText(int score, int total, int percent)
{
    return QStringLiteral("Score: %1 of %2 (%3 %)").arg(score).arg(total).arg(percent);
}

} // namespace tb
