#include "shell/centreform.h"
#include "shell/start_window.h"
#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

class StartWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_ = std::make_unique<tb::testing::TempFolder>();
        folder_->copySampleDatabase(TB_SAMPLE_DIR);
        state_ = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder_->path());
        QVERIFY(!tb::loadStartupFiles(*state_));
        window_ = std::make_unique<tb::StartWindow>(*state_, prompts_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup()
    {
        window_.reset();
        state_.reset();
        folder_.reset();
    }

    void centrePlacement_data()
    {
        QTest::addColumn<int>("screenWidth");
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        // R = 900 x 0.85 = 765; 765 div 2 = 382.
        QTest::newRow("even sizes") << 1280 << 900 << 400.0 << 300.0 << 440 << 232;
        // 1279 div 2 = 639, 401 div 2 = 200; R = round(869.55) = 870.
        QTest::newRow("odd sizes") << 1279 << 1023 << 401.0 << 301.0 << 439 << 285;
        // Halves: R = 25.5, width 11.5, height 3.5.
        QTest::newRow("halves") << 20 << 30 << 11.5 << 3.5 << 4 << 11;
        // 299.6 counts as 300 and 199.4 as 199.
        QTest::newRow("fractions rounded first") << 1000 << 1000 << 299.6 << 199.4 << 350 << 326;
        QTest::newRow("larger than the screen") << 800 << 600 << 1001.0 << 900.0 << -100 << -195;
    }

    void centrePlacement()
    {
        QFETCH(int, screenWidth);
        QFETCH(int, screenHeight);
        QFETCH(double, width);
        QFETCH(double, height);
        const tb::Placement p = tb::centrePlacement(screenWidth, screenHeight, width, height);
        QTEST(p.left, "left");
        QTEST(p.top, "top");
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
        QTest::mouseClick(window_->findChild<QWidget*>(clicked), Qt::LeftButton);
        QPointer<QWidget> opened = window_->toolWindow(tool);
        QVERIFY(opened);
        QTEST(opened->objectName(), "opened");
        QVERIFY(opened->isVisible());
        QVERIFY(!window_->isVisible());
        opened->close();
        QVERIFY(window_->isVisible());
        QVERIFY(!window_->toolWindow(tool));
    }

    void quitEndsTheProgram()
    {
        QObject guard;
        QTimer::singleShot(0, &guard,
            [&] { QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("Quit")), Qt::LeftButton); });
        // Should the program fail to end, the loop is ended from here and the test fails.
        QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!window_->isVisible());
    }

private:
    std::unique_ptr<tb::testing::TempFolder> folder_;
    std::unique_ptr<tb::AppState> state_;
    tb::testing::FakePrompts prompts_;
    std::unique_ptr<tb::StartWindow> window_;
};

QTEST_MAIN(StartWindowTest)
#include "start_window_test.moc"
