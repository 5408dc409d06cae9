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

        SettingsWindow window(f.state);
        window.show();
        QTest::mouseClick(button(window, 2), Qt::LeftButton);
        QVERIFY(window.isVisible());
        for (int b = 0; b < 5; ++b)
            QCOMPARE(check(window, b)->isChecked(), b == 4);
        check(window, 1)->setChecked(true); // a tick after the restore is dropped by the close box
        window.close();

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

        SettingsWindow window(f.state);
        window.show();
        QVERIFY(!check(window, 1)->isChecked());
        QTest::mouseClick(button(window, 0), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(int(f.state.settings.UseAbbreviations), 0);
        QVERIFY(f.folder.read("MX.INI") == before);
    }

    void saveWritesExactly140BytesWhenTheFileIsMissing()
    {
        Fixture f;
        f.state.settings.restoreDefaults();
        SettingsWindow window(f.state);
        window.show();
        check(window, 1)->setChecked(true);
        QTest::mouseClick(button(window, 1), Qt::LeftButton);
        const std::string bytes = f.folder.read("MX.INI");
        QCOMPARE(bytes.size(), std::size_t(140));
        // UseAbbreviations -1 at 134-135, TexturedBackground 1 at 128, Extra1 170 at 120.
        QCOMPARE(static_cast<unsigned char>(bytes[134]), 0xFF);
        QCOMPARE(static_cast<unsigned char>(bytes[135]), 0xFF);
        QCOMPARE(static_cast<unsigned char>(bytes[128]), 1);
        QCOMPARE(static_cast<unsigned char>(bytes[120]), 170);
        QVERIFY(bytes == f.state.settings.pack());
    }

private:
    static QCheckBox* check(SettingsWindow& window, int index)
    {
        return window.findChild<QCheckBox*>(QStringLiteral("Check1_%1").arg(index));
    }
    static QPushButton* button(SettingsWindow& window, int index)
    {
        return window.findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(index));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
