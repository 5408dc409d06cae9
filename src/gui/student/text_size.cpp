#include "gui/student/text_size.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenuBar>
#include <QSettings>

#include <algorithm>

namespace tb {

namespace {

constexpr const char* SizeKey = "view/textSize";
constexpr int Step = 2;

QSettings configuration()
{
    return QSettings(QStringLiteral("Dosarion"), QStringLiteral("dosarion"));
}

int clampedSize(int points)
{
    return std::clamp(points, SmallestTextSize, LargestTextSize);
}

} // namespace

int savedTextSize()
{
    const int fallback = QApplication::font().pointSize() > 0 ? QApplication::font().pointSize() : 10;
    bool ok = false;
    const int kept = configuration().value(QString::fromLatin1(SizeKey)).toInt(&ok);
    return clampedSize(ok ? kept : fallback);
}

void setTextSize(int points)
{
    QFont font = QApplication::font();
    font.setPointSize(clampedSize(points));
    QApplication::setFont(font);
    configuration().setValue(QString::fromLatin1(SizeKey), clampedSize(points));
}

void applySavedTextSize()
{
    QFont font = QApplication::font();
    font.setPointSize(savedTextSize());
    QApplication::setFont(font);
}

void addViewMenu(QMainWindow& window)
{
    QMenu* view = window.menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    QAction* larger = view->addAction(QStringLiteral("&Larger Text"));
    larger->setObjectName(QStringLiteral("mnuLargerText"));
    larger->setShortcuts({ QKeySequence::ZoomIn, QKeySequence(QStringLiteral("Ctrl+=")) });
    QAction* smaller = view->addAction(QStringLiteral("&Smaller Text"));
    smaller->setObjectName(QStringLiteral("mnuSmallerText"));
    smaller->setShortcut(QKeySequence::ZoomOut);
    QObject::connect(larger, &QAction::triggered, &window, [] { setTextSize(savedTextSize() + Step); });
    QObject::connect(smaller, &QAction::triggered, &window, [] { setTextSize(savedTextSize() - Step); });
}

} // namespace tb
