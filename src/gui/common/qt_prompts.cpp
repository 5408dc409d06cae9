#include "gui/common/qt_prompts.h"

#include "gui/common/program_text.h"

#include "core/foundation/cp1252.h"
#include "gui/common/save_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressDialog>

#include <algorithm>

namespace tb {

namespace {

// Dialogs open over whichever window of the program the teacher is working in.
QWidget* dialogParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

} // namespace

QStringList qtNameFilters(const std::string& filter)
{
    const QStringList parts = fromProgram(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (name.isEmpty() && patterns.isEmpty())
            continue;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.simplified();
        if (patterns.isEmpty())
            patterns = QStringLiteral("*");
        const QString shown = QLatin1Char('(') + patterns + QLatin1Char(')');
        filters << (name.endsWith(shown) ? name : (name.isEmpty() ? shown : name + QLatin1Char(' ') + shown));
    }
    if (filters.isEmpty())
        filters << QStringLiteral("All Files (*)");
    return filters;
}

QtPrompts::QtPrompts(std::filesystem::path startFolder)
    : startFolder_(std::move(startFolder))
{
}

QtPrompts::~QtPrompts() = default;

bool QtPrompts::progress(int done, int total)
{
    if (done >= total) {
        progress_.reset();
        return true;
    }
    if (!progress_) {
        progress_ = std::make_unique<QProgressDialog>(
            QStringLiteral("Making the versions..."), QStringLiteral("&Cancel"), 0, total, dialogParent());
        progress_->setObjectName(QStringLiteral("progress"));
        progress_->setWindowTitle(QStringLiteral("Class Versions"));
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setMinimumDuration(0);
    }
    progress_->setMaximum(total);
    progress_->setValue(done);
    QApplication::processEvents();
    return !progress_->wasCanceled();
}

void QtPrompts::message(const std::string& text, const std::string& title, const std::string& details)
{
    show(QMessageBox::Warning, text, title, details);
}

void QtPrompts::notice(const std::string& text, const std::string& title)
{
    show(QMessageBox::Information, text, title);
}

void QtPrompts::fatal(const std::string& text, const std::string& title)
{
    show(QMessageBox::Critical, text, title);
}

void QtPrompts::show(int icon, const std::string& text, const std::string& title, const std::string& details)
{
    QMessageBox box(static_cast<QMessageBox::Icon>(icon),
        title.empty() ? QString::fromLatin1(ProgramTitle) : fromProgram(title), fromProgram(text), QMessageBox::Ok,
        dialogParent());
    box.setTextFormat(Qt::PlainText);
    if (!details.empty())
        box.setDetailedText(fromProgram(details));
    box.exec();
}

bool QtPrompts::askYesNo(const std::string& text, bool previous)
{
    SaveDialog dialog(fromProgram(text), dialogParent());
    dialog.exec();
    return dialog.answer(previous);
}

std::string QtPrompts::openFileName(const std::string& title, const std::string& filter, int filterIndex)
{
    return fileName(false, title, filter, filterIndex);
}

std::string QtPrompts::saveFileName(const std::string& title, const std::string& filter, int filterIndex)
{
    return fileName(true, title, filter, filterIndex);
}

std::string QtPrompts::saveFileNameWithFilter(const std::string& title, const std::string& filter, int& filterIndex)
{
    return fileName(true, title, filter, filterIndex, &filterIndex);
}

std::string QtPrompts::saveFileNameProposing(
    const std::string& title, const std::string& filter, int& filterIndex, const std::string& proposed)
{
    return fileName(true, title, filter, filterIndex, &filterIndex, proposed);
}

std::string QtPrompts::fileName(bool save, const std::string& title, const std::string& filter, int filterIndex,
    int* selectedIndex, const std::string& proposed)
{
    const QStringList filters = qtNameFilters(filter);
    const qsizetype chosen = std::clamp<qsizetype>(filterIndex - 1, 0, filters.size() - 1);
    QString selected = filters[chosen];
    const std::filesystem::path start = proposed.empty() ? startFolder_ : startFolder_ / proposed;
    const QString folder = QFile::decodeName(QByteArray::fromStdString(start.string()));
    const QString joined = filters.join(QStringLiteral(";;"));
    // The save commands ask their own question about an existing file.
    const QString name = save
        ? QFileDialog::getSaveFileName(
            dialogParent(), fromProgram(title), folder, joined, &selected, QFileDialog::DontConfirmOverwrite)
        : QFileDialog::getOpenFileName(dialogParent(), fromProgram(title), folder, joined, &selected);
    if (selectedIndex && filters.contains(selected))
        *selectedIndex = static_cast<int>(filters.indexOf(selected)) + 1;
    // A file name names a file rather than being stored in one: it comes back in the
    // file system's own encoding, so that a name like "Prüfung.dsq" can be opened.
    return QFile::encodeName(name).toStdString();
}

std::string QtPrompts::clipboardText()
{
    QString text = QGuiApplication::clipboard()->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return toProgram(text);
}

void QtPrompts::setClipboardText(const std::string& text)
{
    QString shown = fromProgram(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QGuiApplication::clipboard()->setText(shown);
}

} // namespace tb
