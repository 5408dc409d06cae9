#include "gui/student/window_parts.h"

#include "gui/student/text_size.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace tb {

QPushButton* sessionButton(const QString& caption, const char* name, const QString& accessible, QWidget* parent)
{
    auto* made = new QPushButton(caption, parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setAccessibleName(accessible);
    made->setAutoDefault(false);
    return made;
}

void addSessionMenus(QMainWindow& window, const QString& caption, const char* name)
{
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* closing = file->addAction(caption);
    closing->setObjectName(QString::fromLatin1(name));
    QObject::connect(closing, &QAction::triggered, &window, &QMainWindow::close);
    addViewMenu(window);
}

} // namespace tb
