#include "shell/centreform.h"
#include "shell/start_window.h"
#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

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

    tb::testing::TempFolder folder;
    tb::AppState state { std::make_unique<tb::ProductionRandom>(), folder.path() };
    tb::testing::FakePrompts prompts;
    std::unique_ptr<tb::StartWindow> window;
};

} // namespace

class StartWindowTest : public QObject {
    Q_OBJECT

private slots:
    void centrePlacement()
    {
        struct Case {
            int screenWidth, screenHeight;
            double width, height;
            QPoint expected;
        };
        const Case cases[] = {
            { 1279, 1023, 401.0, 301.0, { 439, 285 } }, // 1279 div 2, 401 div 2; R = round(869.55) = 870
            { 20, 30, 11.5, 3.5, { 4, 11 } }, // halves: R = 25.5
            { 800, 600, 1001.0, 900.0, { -100, -195 } }, // larger than the screen
        };
        for (const Case& c : cases) {
            const tb::Placement p = tb::centrePlacement(c.screenWidth, c.screenHeight, c.width, c.height);
            QCOMPARE(QPoint(p.left, p.top), c.expected);
        }
    }

    // The tool replaces the start window while it is open.
    void panelsAndPicturesOpenTheirTools_data()
    {
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<int>("tool");
        QTest::addColumn<QString>("opened");
        QTest::newRow("drug database panel") << QStringLiteral("Label2_1") << 1 << QStringLiteral("frmDrugDatabase");
        QTest::newRow("drug database picture") << QStringLiteral("Image1_1") << 1 << QStringLiteral("frmDrugDatabase");
        QTest::newRow("test picture") << QStringLiteral("Image1_0") << 0 << QStringLiteral("Frmexam");
    }

    void panelsAndPicturesOpenTheirTools()
    {
        QFETCH(QString, clicked);
        QFETCH(int, tool);
        Start s;
        QTest::mouseClick(s.window->findChild<QWidget*>(clicked), Qt::LeftButton);
        QPointer<QWidget> opened = s.window->toolWindow(tool);
        QVERIFY(opened);
        QTEST(opened->objectName(), "opened");
        QVERIFY(opened->isVisible());
        QVERIFY(!s.window->isVisible());
        opened->close();
        QVERIFY(s.window->isVisible());
        QVERIFY(!s.window->toolWindow(tool));
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
