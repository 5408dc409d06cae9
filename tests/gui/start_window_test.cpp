#include "core/foundation/app_state.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "gui/common/centreform.h"
#include "gui/start/start_window.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

struct Start {
    Start()
    {
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        QVERIFY(!tb::loadStartupFiles(state));
        window = std::make_unique<tb::StartWindow>(state, prompts);
        window->show();
    }

    tb::headless::TempFolder folder;
    tb::AppState state { std::make_unique<tb::ProductionRandom>(), folder.path() };
    tb::headless::ScriptedPrompts prompts;
    std::unique_ptr<tb::StartWindow> window;
};

} // namespace

class StartWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Half the screen's width, and half of 85 % of its height, less half the window's rounded size.
    void centrePlacement()
    {
        const tb::Placement odd = tb::centrePlacement(1279, 1023, 401.0, 301.0); // round(869.55) = 870
        QCOMPARE(QPoint(odd.left, odd.top), QPoint(439, 285));
        const tb::Placement large = tb::centrePlacement(800, 600, 1001.0, 900.0); // larger than the screen
        QCOMPARE(QPoint(large.left, large.top), QPoint(-100, -195));
    }

    void quitEndsTheProgram()
    {
        Start s;
        QObject guard;
        QTimer::singleShot(0, &guard,
            [&] { QTest::mouseClick(s.window->findChild<QPushButton*>(QStringLiteral("Quit")), Qt::LeftButton); });
        // Should the program fail to end, the loop is ended from here and the test fails.
        QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!s.window->isVisible());
    }
};

QTEST_MAIN(StartWindowTest)
#include "start_window_test.moc"
