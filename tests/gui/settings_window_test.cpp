#include "core/foundation/app_state.h"
#include "core/foundation/settings.h"
#include "core/headless/temp_folder.h"
#include "gui/settings/settings_window.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    // Restore Defaults shows the defaults; the close box keeps them in memory and writes nothing.
    void restoreDefaultsThenCloseBoxKeepsTheDefaultsInMemoryOnly()
    {
        tb::headless::TempFolder folder;
        tb::Settings on;
        on.ReservedText1 = std::string(60, 'A');
        on.TexturedBackground = 1;
        on.UseAbbreviations = on.AllMetricUnits = on.GenericAndTradeNames = -1;
        tb::storeSettings(folder.path(), on);
        const std::string before = folder.read("MX.INI");
        tb::AppState state { std::make_unique<tb::ProductionRandom>(), folder.path() };
        state.settings = tb::loadSettings(folder.path());
        tb::SettingsWindow window(state);
        window.show();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1_2")), Qt::LeftButton);
        QVERIFY(window.isVisible());
        const auto box = [&](int i) { return window.findChild<QCheckBox*>(QStringLiteral("Check1_%1").arg(i)); };
        QVERIFY(!box(0)->isChecked() && !box(1)->isChecked() && !box(2)->isChecked() && !box(3)->isChecked());
        QVERIFY(box(4)->isChecked());
        box(1)->setChecked(true); // a tick after the restore is dropped by the close box
        window.close();
        QCOMPARE(int(state.settings.TexturedBackground), 1);
        QCOMPARE(int(state.settings.UseAbbreviations), 0);
        QCOMPARE(state.settings.ReservedText1, std::string(60, 'A'));
        QVERIFY(folder.read("MX.INI") == before);
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
