#include "shell/centreform.h"
#include "shell/start_window.h"
#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>

using tb::StartWindow;
using tb::testing::FakePrompts;
using tb::testing::TempFolder;

class StartWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_ = std::make_unique<TempFolder>();
        folder_->copySampleDatabase(TB_SAMPLE_DIR);
        state_ = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder_->path());
        QVERIFY(!tb::loadStartupFiles(*state_));
        prompts_ = std::make_unique<FakePrompts>();
        window_ = std::make_unique<StartWindow>(*state_, *prompts_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    void cleanup()
    {
        window_.reset();
        prompts_.reset();
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
        // R = round(652.8) = 653, 653 div 2 = 326.
        QTest::newRow("R rounded up") << 1024 << 768 << 300.0 << 200.0 << 362 << 226;
        // Halves: R = 8.5 and 25.5, widths 10.5 and 11.5, heights 2.5 and 3.5.
        QTest::newRow("halves, small") << 20 << 10 << 10.5 << 2.5 << 5 << 3;
        QTest::newRow("halves, odd") << 20 << 30 << 11.5 << 3.5 << 4 << 11;
        // 299.6 counts as 300 and 199.4 as 199, not cut to 299 and 199.
        QTest::newRow("fractions rounded first") << 1000 << 1000 << 299.6 << 199.4 << 350 << 326;
        QTest::newRow("fractions rounded up") << 1000 << 1000 << 300.5001 << 199.6 << 350 << 325;
        // A window larger than the screen sits partly off it to the left and top.
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

    void centreformUsesTheAvailableScreen()
    {
        QWidget widget;
        widget.resize(321, 207);
        tb::centreform(widget);
        const QRect area = widget.screen()->availableGeometry();
        const tb::Placement p = tb::centrePlacement(area.width(), area.height(), 321, 207);
        QCOMPARE(widget.pos(), QPoint(area.x() + p.left, area.y() + p.top));
    }

    void centreformKeepsATooLargeWindowOnTheScreen()
    {
        QWidget widget;
        const QRect area = widget.screen()->availableGeometry();
        // Wider than the screen and taller than its upper 85 %.
        widget.resize(area.width() + 40, area.height() * 95 / 100);
        tb::centreform(widget);
        QCOMPARE(widget.pos(), area.topLeft());
    }

    void controlsAndCaptions()
    {
        QCOMPARE(window_->windowTitle(), QStringLiteral("Dosarion - Tutor Bench"));
        auto* title = window_->findChild<QLabel*>(QStringLiteral("SSPanel1"));
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("Tutor Bench"));
        QVERIFY(title->font().bold());
        auto* quit = window_->findChild<QPushButton*>(QStringLiteral("Quit"));
        QVERIFY(quit);
        QCOMPARE(quit->text(), QStringLiteral("&Quit"));
        for (const char* name : { "Label2_0", "Label2_1", "Image1_0", "Image1_1", "Label3", "Label4" })
            QVERIFY2(window_->findChild<QWidget*>(QLatin1String(name)), name);
        QCOMPARE(panel(0)->accessibleName(), QStringLiteral("Test Construction Set"));
        QCOMPARE(panel(1)->accessibleName(), QStringLiteral("Drug Database"));
        const auto texts = [](QWidget* w) {
            QStringList list;
            for (auto* label : w->findChildren<QLabel*>())
                list << label->text();
            return list;
        };
        QVERIFY(texts(panel(0)).contains(QStringLiteral("Test Construction Set")));
        QVERIFY(texts(panel(1)).contains(QStringLiteral("Drug Database")));
        // Side by side, the test tool on the left; Quit at the bottom right.
        QVERIFY(panel(0)->geometry().right() < panel(1)->geometry().left());
        QCOMPARE(panel(0)->geometry().top(), panel(1)->geometry().top());
        QVERIFY(quit->geometry().left() > window_->width() / 2);
        QVERIFY(quit->geometry().top() > panel(1)->geometry().bottom());
        const auto* credit = window_->findChild<QLabel*>(QStringLiteral("Label3"));
        QVERIFY(!credit->text().isEmpty());
        QVERIFY(!credit->text().contains(QLatin1Char('\n')));
    }

    void panelAndPictureOpenTheDrugDatabase_data()
    {
        QTest::addColumn<QString>("clicked");
        QTest::newRow("panel") << QStringLiteral("Label2_1");
        QTest::newRow("picture") << QStringLiteral("Image1_1");
    }

    void panelAndPictureOpenTheDrugDatabase()
    {
        QFETCH(QString, clicked);
        const QPoint before = window_->pos();
        QTest::mouseClick(window_->findChild<QWidget*>(clicked), Qt::LeftButton);
        QPointer<QWidget> editor = window_->toolWindow(1);
        QVERIFY(editor);
        QCOMPARE(editor->objectName(), QStringLiteral("frmDrugDatabase"));
        QVERIFY(editor->isVisible());
        QVERIFY(!window_->isVisible());
        QVERIFY(!window_->toolWindow(0));

        // Closing the editor brings the start window back where it was, and the
        // editor is built afresh the next time.
        editor->close();
        QVERIFY(window_->isVisible());
        QCOMPARE(window_->pos(), before);
        QVERIFY(!window_->toolWindow(1));
        QTRY_VERIFY(editor.isNull());
    }

    void panelOpensTheTestConstructionSet()
    {
        QTest::mouseClick(window_->findChild<QWidget*>(QStringLiteral("Image1_0")), Qt::LeftButton);
        QPointer<QWidget> tool = window_->toolWindow(0);
        QVERIFY(tool);
        QCOMPARE(tool->objectName(), QStringLiteral("Frmexam"));
        QVERIFY(tool->isVisible());
        QVERIFY(!window_->isVisible());
        tool->close();
        QVERIFY(window_->isVisible());
        QTRY_VERIFY(tool.isNull());
    }

    void keyboardOpensTheFocusedPanel()
    {
        panel(1)->setFocus();
        QTest::keyClick(panel(1), Qt::Key_Return);
        QVERIFY(window_->toolWindow(1));
        QVERIFY(!window_->isVisible());
        window_->toolWindow(1)->close();
        QVERIFY(window_->isVisible());
    }

    void aClickThatMovesOffThePanelOpensNothing()
    {
        QWidget* picture = window_->findChild<QWidget*>(QStringLiteral("Image1_1"));
        QTest::mousePress(picture, Qt::LeftButton);
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(-20, -20));
        QVERIFY(!window_->toolWindow(1));
        QVERIFY(window_->isVisible());
    }

    void aToolThatGoesAwayUnannouncedGivesTheStartWindowBack()
    {
        QTest::mouseClick(panel(1), Qt::LeftButton);
        QVERIFY(!window_->isVisible());
        delete window_->toolWindow(1);
        QVERIFY(window_->isVisible());
    }

    void quitAndTheCloseBoxEndTheProgram_data()
    {
        QTest::addColumn<bool>("byQuit");
        QTest::newRow("Quit") << true;
        QTest::newRow("close box") << false;
    }

    void quitAndTheCloseBoxEndTheProgram()
    {
        QFETCH(bool, byQuit);
        QObject guard;
        QTimer::singleShot(0, &guard, [&] {
            if (byQuit)
                QTest::mouseClick(window_->findChild<QPushButton*>(QStringLiteral("Quit")), Qt::LeftButton);
            else
                window_->close();
        });
        // Should the program fail to end, the loop is ended from here and the test fails.
        QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!window_->isVisible());
    }

private:
    QWidget* panel(int index) const { return window_->findChild<QWidget*>(QStringLiteral("Label2_%1").arg(index)); }

    std::unique_ptr<TempFolder> folder_;
    std::unique_ptr<tb::AppState> state_;
    std::unique_ptr<FakePrompts> prompts_;
    std::unique_ptr<StartWindow> window_;
};

QTEST_MAIN(StartWindowTest)
#include "start_window_test.moc"
