#include "gui/testbuilder/exam_menus.h"

#include "core/testbuilder/exam_model.h"
#include "gui/common/program_text.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace tb {

namespace {

QAction* action(QMenu* menu, const QString& name, const char* caption)
{
    QAction* a = menu->addAction(QString::fromLatin1(caption));
    a->setObjectName(name);
    return a;
}

QAction* separator(QMenu* menu, const char* name)
{
    QAction* a = menu->addSeparator();
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

} // namespace

ExamMenus::ExamMenus(QMenuBar* bar)
{
    fileMenu = bar->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("file"));
    mnuopen[0] = action(fileMenu, QStringLiteral("mnuopen_0"), "&New Test");
    mnuopen[1] = action(fileMenu, QStringLiteral("mnuopen_1"), "&Open Test");
    separator(fileMenu, "bar2");
    mnusave[0] = action(fileMenu, QStringLiteral("mnusave_0"), "Save  &As Test");
    mnusave[1] = action(fileMenu, QStringLiteral("mnusave_1"), "&Save Test");
    mnusave[1]->setVisible(false);

    QMenu* textfileoptions = fileMenu->addMenu(QStringLiteral("Text File &Options"));
    textfileoptions->setObjectName(QStringLiteral("textfileoptions"));
    QMenu* mnutextfileop = textfileoptions->addMenu(QStringLiteral("&Numbering Questions"));
    mnutextfileop->setObjectName(QStringLiteral("mnutextfileop"));
    const std::array<const char*, 6> numbering { "&No Numbering", "&1 Question [Number].", "&2 Number [Number].",
        "&3 ([Number]).", "&4 No. [Number].", "&5 [Number]." };
    for (int i = 0; i < 6; ++i) {
        numbquest[i] = action(mnutextfileop, QStringLiteral("numbquest_%1").arg(i), numbering[i]);
        numbquest[i]->setCheckable(true);
    }
    // The last one governs only the printed paper; W is a free access key of this menu.
    const std::array<const char*, 6> includes { "Include &Title", "Include &Description", "Include &Instructions",
        "Include &Answer Key", "Include &Solutions", "Include &Working Space" };
    for (int i = 0; i < 6; ++i) {
        tfop[i] = action(textfileoptions, QStringLiteral("tfop_%1").arg(i), includes[i]);
        tfop[i]->setCheckable(true);
    }
    // Printing follows the text-file options that govern it; P, F, x and V are free access keys
    // of the File menu.
    mnuprint[0] = action(fileMenu, QStringLiteral("mnuprint_0"), "&Print Test...");
    mnuprint[1] = action(fileMenu, QStringLiteral("mnuprint_1"), "Export as PD&F...");
    mnuexport = action(fileMenu, QStringLiteral("mnuexport"), "E&xport for Learning Platform...");
    mnuversions = action(fileMenu, QStringLiteral("mnuversions"), "Class &Versions...");
    // How Dosarion gives the test to students; T is the next free access key.
    mnustudent = action(fileMenu, QStringLiteral("mnustudent"), "S&tudent Settings...");
    // What came of the test in Dosarion; R is free in this menu.
    mnuresults = action(fileMenu, QStringLiteral("mnuresults"), "Student &Results...");

    separator(fileMenu, "bar1");
    mnuquit = action(fileMenu, QStringLiteral("mnuquit"), "&Quit");
    bar3 = separator(fileMenu, "bar3");
    bar3->setVisible(false);
    mnuop.push_back(action(fileMenu, QStringLiteral("mnuop_0"), "0"));
    mnuop[0]->setVisible(false);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("edit"));
    const std::array<const char*, 3> editCaptions { "Cu&t", "&Copy", "&paste" };
    const std::array<QKeySequence, 3> editKeys { QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_C),
        QKeySequence(Qt::CTRL | Qt::Key_V) };
    for (int i = 0; i < 3; ++i) {
        copy[i] = action(edit, QStringLiteral("copy_%1").arg(i), editCaptions[i]);
        copy[i]->setShortcut(editKeys[i]);
    }

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("options"));
    mnuch = action(options, QStringLiteral("mnuch"), "&Change General Settings");
}

void ExamMenus::showExportChecks(const ExamModel& model)
{
    for (int i = 0; i < 6; ++i)
        numbquest[i]->setChecked(model.options().numberingStyle() == i);
    for (int i = 0; i < 6; ++i)
        tfop[i]->setChecked(model.options().includeOption(i));
}

std::vector<QAction*> ExamMenus::listTests(const std::vector<std::string>& names)
{
    std::vector<QAction*> added;
    for (std::size_t n = 1; n <= names.size(); ++n) {
        const int entry = static_cast<int>(n);
        QAction* item = fileMenu->addAction(fromProgram(listCaption(entry, names[n - 1])));
        item->setObjectName(QStringLiteral("mnuop_%1").arg(entry));
        mnuop.push_back(item);
        added.push_back(item);
    }
    bar3->setVisible(!names.empty());
    mnuop[0]->setVisible(false);
    return added;
}

} // namespace tb
