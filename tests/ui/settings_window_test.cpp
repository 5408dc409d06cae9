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

        const Settings& s = f.state.settings;
        const std::pair<int, int> fields[] = { { s.Extra1, 170 }, { s.Extra2, 72 }, { s.Extra3, 229 }, { s.Extra4, 31 },
            { s.TexturedBackground, 1 }, { s.DisableAnimations, 0 }, { s.UseAbbreviations, 0 }, { s.AllMetricUnits, 0 },
            { s.GenericAndTradeNames, 0 } };
        for (const auto& [value, expected] : fields)
            QCOMPARE(value, expected);
        QCOMPARE(s.ReservedText1, std::string(60, 'A'));
        QVERIFY(f.folder.read("MX.INI") == before);
    }

    // Only -1 ticks "abbreviations": a stored 1 shows unticked, and Use stores 0 without writing.
    void abbreviationsStoredAsOneShowUntickedAndUseStoresZero()
    {
        Fixture f;
        Settings odd;
        odd.UseAbbreviations = 1;
        tb::storeSettings(f.folder.path(), odd);
        const std::string before = f.folder.read("MX.INI");
        f.state.settings = tb::loadSettings(f.folder.path());

        f.open();
        QVERIFY(!f.check(1)->isChecked());
        f.click(0);
        QVERIFY(!f.window->isVisible());
        QCOMPARE(int(f.state.settings.UseAbbreviations), 0);
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
        // UseAbbreviations -1 at 134-135, TexturedBackground 1 at 128, Extra1 170 at 120.
        QCOMPARE(static_cast<unsigned char>(bytes[134]), 0xFF);
        QCOMPARE(static_cast<unsigned char>(bytes[135]), 0xFF);
        QCOMPARE(static_cast<unsigned char>(bytes[128]), 1);
        QCOMPARE(static_cast<unsigned char>(bytes[120]), 170);
        QVERIFY(bytes == f.state.settings.pack());
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
