#include "startup/app_state.h"
#include "startup/settings.h"
#include "startup/settings_window.h"
#include "support/temp_folder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLayout>
#include <QPushButton>
#include <QTest>

#include <array>
#include <filesystem>
#include <memory>

using tb::Settings;
using tb::SettingsWindow;
using tb::testing::TempFolder;

namespace {

// A record with every option on and the uninterpreted fields holding marks of their own.
Settings allOn()
{
    Settings s;
    s.ReservedText1 = std::string(60, 'A');
    s.ReservedText2 = std::string(60, 'B');
    s.Extra1 = 1;
    s.Extra2 = 2;
    s.Extra3 = 3;
    s.DisableAnimations = 1;
    s.TexturedBackground = 1;
    s.Extra4 = 4;
    s.Extra5 = 5;
    s.UseAbbreviations = -1;
    s.AllMetricUnits = -1;
    s.GenericAndTradeNames = -1;
    return s;
}

} // namespace

class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_ = std::make_unique<TempFolder>();
        state_ = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder_->path());
    }

    void cleanup()
    {
        state_.reset();
        folder_.reset();
    }

    void layoutAndCaptions()
    {
        SettingsWindow window(*state_);
        QCOMPARE(window.objectName(), QStringLiteral("default"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Dosarion - Settings"));
        auto* upper = window.findChild<QGroupBox*>(QStringLiteral("Frame2_0"));
        auto* lower = window.findChild<QGroupBox*>(QStringLiteral("Frame2_1"));
        QVERIFY(upper && lower);
        QCOMPARE(upper->title(), QStringLiteral("Question Construction"));
        QCOMPARE(lower->title(), QStringLiteral("Appearance"));
        QVERIFY(window.findChild<QWidget*>(QStringLiteral("Picture1")));

        const auto boxesOf = [](QGroupBox* group) {
            QStringList names;
            for (int i = 0; i < group->layout()->count(); ++i)
                if (auto* box = qobject_cast<QCheckBox*>(group->layout()->itemAt(i)->widget()))
                    names << box->objectName() + QLatin1Char('=') + box->text();
            return names;
        };
        QCOMPARE(boxesOf(upper),
            QStringList({
                QStringLiteral("Check1_2=Use all metric units for metric conversions"),
                QStringLiteral("Check1_1=Use abbreviations for metric units"),
                QStringLiteral("Check1_3=Use generic and trade names for drugs"),
            }));
        QCOMPARE(boxesOf(lower),
            QStringList({
                QStringLiteral("Check1_0=Disable animations for correct answers"),
                QStringLiteral("Check1_4=Textured background"),
            }));
        const char* captions[3] = { "&Use", "&Save", "&Restore Defaults" };
        int lastLeft = -1;
        window.show();
        for (int i = 0; i < 3; ++i) {
            auto* button = window.findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(i));
            QVERIFY(button);
            QCOMPARE(button->text(), QString::fromLatin1(captions[i]));
            QVERIFY(button->x() > lastLeft);
            lastLeft = button->x();
        }
    }

    // Each box shows and sets its own field, with that field's on value.
    void boxesMapToTheirFields_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("onValue");
        QTest::newRow("Check1_0 DisableAnimations") << 0 << 0 << 1;
        QTest::newRow("Check1_1 UseAbbreviations") << 1 << 1 << -1;
        QTest::newRow("Check1_2 AllMetricUnits") << 2 << 2 << -1;
        QTest::newRow("Check1_3 GenericAndTradeNames") << 3 << 3 << -1;
        QTest::newRow("Check1_4 TexturedBackground") << 4 << 4 << 1;
    }

    void boxesMapToTheirFields()
    {
        QFETCH(int, box);
        QFETCH(int, field);
        QFETCH(int, onValue);

        // Only this field on: only this box ticked.
        setField(state_->settings, field, static_cast<std::int16_t>(onValue));
        {
            SettingsWindow window(*state_);
            for (int b = 0; b < 5; ++b)
                QCOMPARE(check(window, b)->isChecked(), b == box);
            // Untick it, tick every other one, and Use.
            for (int b = 0; b < 5; ++b)
                check(window, b)->setChecked(b != box);
            button(window, 0)->click();
        }
        for (int f = 0; f < 5; ++f) {
            const int expected = f == field ? 0 : (f == 0 || f == 4 ? 1 : -1);
            QCOMPARE(int(fieldOf(state_->settings, f)), expected);
        }
    }

    void restoreDefaultsThenCloseBoxKeepsTheDefaultsInMemoryOnly()
    {
        tb::storeSettings(folder_->path(), allOn());
        const std::string before = folder_->read("MX.INI");
        state_->settings = tb::loadSettings(folder_->path());

        SettingsWindow window(*state_);
        window.show();
        for (int b = 0; b < 5; ++b)
            QVERIFY(check(window, b)->isChecked());
        QTest::mouseClick(button(window, 2), Qt::LeftButton);
        QVERIFY(window.isVisible());
        for (int b = 0; b < 5; ++b)
            QCOMPARE(check(window, b)->isChecked(), b == 4);
        // A tick made after the restore is dropped by the close box.
        check(window, 1)->setChecked(true);
        window.close();
        QVERIFY(!window.isVisible());

        const Settings& s = state_->settings;
        QCOMPARE(int(s.Extra1), 170);
        QCOMPARE(int(s.Extra2), 72);
        QCOMPARE(int(s.Extra3), 229);
        QCOMPARE(int(s.DisableAnimations), 0);
        QCOMPARE(int(s.TexturedBackground), 1);
        QCOMPARE(int(s.Extra4), 31);
        QCOMPARE(int(s.Extra5), 0);
        QCOMPARE(int(s.UseAbbreviations), 0);
        QCOMPARE(int(s.AllMetricUnits), 0);
        QCOMPARE(int(s.GenericAndTradeNames), 0);
        QCOMPARE(s.ReservedText1, std::string(60, 'A'));
        QVERIFY(folder_->read("MX.INI") == before);
    }

    void closeBoxDropsChangedTicks()
    {
        state_->settings = allOn();
        {
            SettingsWindow window(*state_);
            window.show();
            for (int b = 0; b < 5; ++b)
                check(window, b)->setChecked(false);
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(!window.isVisible());
        }
        QVERIFY(state_->settings.pack() == allOn().pack());
        QVERIFY(!std::filesystem::exists(folder_->path() / "MX.INI"));
    }

    // Values other than the on values show unticked, and Use or Save then writes 0.
    void offValuesShowUntickedAndAreStoredAsZero_data()
    {
        QTest::addColumn<int>("command");
        QTest::newRow("Use") << 0;
        QTest::newRow("Save") << 1;
    }

    void offValuesShowUntickedAndAreStoredAsZero()
    {
        QFETCH(int, command);
        Settings odd;
        odd.UseAbbreviations = 1;
        odd.TexturedBackground = 2;
        odd.DisableAnimations = -1;
        odd.GenericAndTradeNames = 1;
        tb::storeSettings(folder_->path(), odd);
        const std::string before = folder_->read("MX.INI");
        state_->settings = tb::loadSettings(folder_->path());
        QVERIFY(state_->settings.abbreviationsOn());

        SettingsWindow window(*state_);
        window.show();
        for (int b = 0; b < 5; ++b)
            QVERIFY(!check(window, b)->isChecked());
        QTest::mouseClick(button(window, command), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(int(state_->settings.UseAbbreviations), 0);
        QCOMPARE(int(state_->settings.TexturedBackground), 0);
        QCOMPARE(int(state_->settings.DisableAnimations), 0);
        QCOMPARE(int(state_->settings.GenericAndTradeNames), 0);
        QVERIFY(!state_->settings.abbreviationsOn());
        if (command == 0)
            QVERIFY(folder_->read("MX.INI") == before);
        else
            QVERIFY(folder_->read("MX.INI") == state_->settings.pack());
    }

    void saveWritesExactly140BytesWhenTheFileIsMissing()
    {
        QVERIFY(!std::filesystem::exists(folder_->path() / "MX.INI"));
        state_->settings.restoreDefaults();
        SettingsWindow window(*state_);
        window.show();
        check(window, 1)->setChecked(true);
        QTest::mouseClick(button(window, 1), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        const std::string bytes = folder_->read("MX.INI");
        QCOMPARE(bytes.size(), std::size_t(140));
        // UseAbbreviations at bytes 134-135: -1, little-endian.
        QCOMPARE(static_cast<unsigned char>(bytes[134]), 0xFF);
        QCOMPARE(static_cast<unsigned char>(bytes[135]), 0xFF);
        // TexturedBackground at 128-129: 1; Extra1 at 120-121: 170.
        QCOMPARE(static_cast<unsigned char>(bytes[128]), 1);
        QCOMPARE(static_cast<unsigned char>(bytes[120]), 170);
        QVERIFY(tb::loadSettings(folder_->path()).pack() == state_->settings.pack());
    }

    void saveThatCannotWriteReportsNothingAndKeepsTheValues()
    {
        state_->dataFolder = folder_->path() / "no such folder";
        SettingsWindow window(*state_);
        window.show();
        check(window, 2)->setChecked(true);
        QTest::mouseClick(button(window, 1), Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(int(state_->settings.AllMetricUnits), -1);
        QVERIFY(!std::filesystem::exists(state_->dataFolder));
    }

    void keyboard()
    {
        state_->settings = Settings();
        SettingsWindow window(*state_);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // Alt+R restores the defaults; Enter then applies them as "&Use" does.
        QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
        QTRY_VERIFY(check(window, 4)->isChecked());
        QVERIFY(window.isVisible());
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(!window.isVisible());
        QCOMPARE(int(state_->settings.TexturedBackground), 1);
        QCOMPARE(int(state_->settings.Extra1), 170);
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
    static std::int16_t& fieldOf(Settings& s, int field)
    {
        std::array<std::int16_t*, 5> fields = { &s.DisableAnimations, &s.UseAbbreviations, &s.AllMetricUnits,
            &s.GenericAndTradeNames, &s.TexturedBackground };
        return *fields[static_cast<std::size_t>(field)];
    }
    static void setField(Settings& s, int field, std::int16_t value) { fieldOf(s, field) = value; }

    std::unique_ptr<TempFolder> folder_;
    std::unique_ptr<tb::AppState> state_;
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
