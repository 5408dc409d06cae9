#include "startup/app_state.h"
#include "startup/settings.h"
#include "startup/settings_window.h"
#include "support/temp_folder.h"

#include <QtTest>
#include <QtWidgets>

#include <filesystem>
#include <memory>

using tb::Settings;
using tb::SettingsWindow;

namespace {

struct Fixture {
    tb::testing::TempFolder folder;
    tb::AppState state { std::make_unique<tb::ProductionRandom>(), folder.path() };
    std::unique_ptr<SettingsWindow> window;

    void open()
    {
        window = std::make_unique<SettingsWindow>(state);
        window->show();
    }
    QCheckBox* check(int i) const { return window->findChild<QCheckBox*>(QStringLiteral("Check1_%1").arg(i)); }
    void click(int i) const
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(i)), Qt::LeftButton);
    }
};

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void restoreDefaultsThenCloseBoxKeepsTheDefaultsInMemoryOnly()
    {
        Fixture f;
        Settings on;
        on.ReservedText1 = std::string(60, 'A');
        on.Extra1 = 1;
        on.DisableAnimations = on.TexturedBackground = 1;
        on.UseAbbreviations = on.AllMetricUnits = on.GenericAndTradeNames = -1;
        tb::storeSettings(f.folder.path(), on);
        const std::string before = f.folder.read("MX.INI");
        f.state.settings = tb::loadSettings(f.folder.path());

        f.open();
        f.click(2);
        QVERIFY(f.window->isVisible());
        for (int b = 0; b < 5; ++b)
            QCOMPARE(f.check(b)->isChecked(), b == 4);
        f.check(1)->setChecked(true); // a tick after the restore is dropped by the close box
        f.window->close();

        QCOMPARE(int(f.state.settings.TexturedBackground), 1);
        QCOMPARE(int(f.state.settings.UseAbbreviations), 0);
        QCOMPARE(f.state.settings.ReservedText1, std::string(60, 'A'));
        QVERIFY(f.folder.read("MX.INI") == before);
    }

    void saveWritesExactly140BytesWhenTheFileIsMissing()
    {
        Fixture f;
        f.state.settings.restoreDefaults();
        f.open();
        f.check(1)->setChecked(true);
        f.click(1);
        const std::string bytes = f.folder.read("MX.INI");
        QCOMPARE(bytes.size(), std::size_t(140));
        QVERIFY(bytes.substr(134) == std::string("\xFF\xFF\0\0\0\0", 6)); // UseAbbreviations -1
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
