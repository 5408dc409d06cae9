// The two tool windows on a 1024 x 768 screen (CTest gives this program such a screen):
// every named control lies wholly on the screen, inside its window, and keeps the room its
// caption needs.
#include "core/foundation/app_state.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "gui/drugdb/drug_database_window.h"
#include "gui/testbuilder/exam_window.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// The part of `w` that its window shows: its rectangle cut by every parent's.
QRect shownPart(const QWidget* w)
{
    QRect part(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        part &= QRect(p->mapTo(p->window(), QPoint(0, 0)), p->size());
    return part;
}

} // namespace

class SmallScreenTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(screen.size(), QSize(1024, 768));
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        state = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder.path());
        QVERIFY(!tb::loadStartupFiles(*state));
    }

    void everyControlFits_data()
    {
        QTest::addColumn<int>("tool");
        QTest::newRow("test window") << 0;
        QTest::newRow("drug database") << 1;
    }

    void everyControlFits()
    {
        QFETCH(int, tool);
        tb::headless::ScriptedPrompts prompts;
        std::unique_ptr<QWidget> window;
        if (tool == 0)
            window = std::make_unique<tb::ExamWindow>(*state, prompts);
        else
            window = std::make_unique<tb::DrugDatabaseWindow>(*state, prompts);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        if (tool == 0) {
            // A complete question shows the navigation as well.
            QTest::keyClicks(window->findChild<QPlainTextEdit*>(QStringLiteral("Txtquestion_0")), QStringLiteral("Q"));
            QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("txtanswer")), QStringLiteral("5"));
        }
        QVERIFY(prompts.messages.empty());
        QCoreApplication::processEvents();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(screen.contains(window->frameGeometry()));
        checkControls(*window, screen);
    }

    // A test saved on a deep school share: the file label shows the path elided in the middle to
    // the room it has, with the whole path as its tooltip, and the window stays on the screen.
    void longFilePathFits()
    {
        const std::filesystem::path share = folder / "School share of the nursing department"
            / "Dosage drills for the second-year students" / "Week three";
        std::filesystem::create_directories(share);
        const std::string path = (share / "ward-calculations-week3.dsq").string();
        QVERIFY(path.size() >= 124);
        tb::headless::ScriptedPrompts prompts;
        tb::ExamWindow window(*state, prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        prompts.fileNames = { path };
        window.findChild<QAction*>(QStringLiteral("mnusave_0"))->trigger();
        QVERIFY(prompts.messages.empty());
        QCoreApplication::processEvents();

        auto* label = window.findChild<QLabel*>(QStringLiteral("Label7"));
        QCOMPARE(label->text(), QStringLiteral("File : ") + QString::fromStdString(path));
        QCOMPARE(label->toolTip(), QString::fromStdString(path));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY2(screen.contains(window.frameGeometry()), qPrintable(QString::number(window.frameGeometry().width())));
        checkControls(window, screen);
    }

private:
    static void checkControls(const QWidget& window, const QRect& screen)
    {
        int checked = 0;
        for (const QWidget* w : window.findChildren<QWidget*>()) {
            const QString name = w->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || !w->isVisibleTo(&window))
                continue;
            ++checked;
            const QRect onScreen(w->mapToGlobal(QPoint(0, 0)), w->size());
            QVERIFY2(screen.contains(onScreen), qPrintable(name + QLatin1String(" is off the screen")));
            QVERIFY2(shownPart(w).size() == w->size(), qPrintable(name + QLatin1String(" is cut off")));
            // A caption is not cut; controls given a size of their own keep it.
            const bool ownSize = !w->minimumSize().isNull() || w->maximumWidth() != QWIDGETSIZE_MAX;
            if (!ownSize
                && (qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w)
                    || qobject_cast<const QComboBox*>(w)))
                QVERIFY2(w->width() >= w->minimumSizeHint().width() && w->height() >= w->minimumSizeHint().height(),
                    qPrintable(name + QLatin1String(" is squeezed")));
        }
        QVERIFY(checked > 20);
    }

    tb::headless::TempFolder folder;
    std::unique_ptr<tb::AppState> state;
};

QTEST_MAIN(SmallScreenTest)
#include "small_screen_test.moc"
