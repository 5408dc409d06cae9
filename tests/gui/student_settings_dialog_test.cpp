#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "gui/testbuilder/exam_window.h"
#include "gui/testbuilder/student_settings_dialog.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

namespace {

std::string testFile(const std::string& description)
{
    tb::TestHeader header;
    header.TestTitle = "Week 5";
    header.TestDescription = description;
    return header.pack() + tb::QuestionRecord { "Give 0.5 g as mg.", "0.5 g = 500 mg", "500" }.pack();
}

const std::string Comment = "# Dosarion's settings for this test: one \"key = value\" a line.\n";

} // namespace

class StudentSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        window.reset();
        folder = std::make_unique<tb::headless::TempFolder>();
        folder->copySampleDatabase(TB_SAMPLE_DIR);
        state = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder->path());
        QVERIFY(!tb::loadStartupFiles(*state));
        prompts = std::make_unique<tb::headless::ScriptedPrompts>();
        window = std::make_unique<tb::ExamWindow>(*state, *prompts);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // The new entry takes T, which no other entry of the File menu uses.
    void fileMenuEntry()
    {
        auto* entry = window->findChild<QAction*>(QStringLiteral("mnustudent"));
        QVERIFY(entry);
        QCOMPARE(entry->text(), QStringLiteral("S&tudent Settings..."));
        int usingT = 0;
        for (QAction* a : window->findChild<QMenu*>(QStringLiteral("file"))->actions()) {
            const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
            if (amp >= 0 && a->text().at(amp + 1).toLower() == QLatin1Char('t'))
                ++usingT;
        }
        QCOMPARE(usingT, 1);
    }

    void aNewTestMustBeSavedFirst()
    {
        settingsEntry();
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        QCOMPARE(prompts->messages[0].text,
            std::string("This test has not been saved yet. Save it first (File, \"Save  As Test\"): its student "
                        "settings are kept in a file beside it."));
        QVERIFY(!QApplication::activeModalWidget());
    }

    // No side file: the defaults, the sitting's controls off; Cancel makes no file.
    void defaultsAndCancel()
    {
        openTest("week5.dsq", "");
        onDialog([](QDialog* dialog) {
            QCOMPARE(find<QComboBox>(dialog, "Cbomode")->currentIndex(), 0);
            QCOMPARE(find<QSpinBox>(dialog, "Txttries")->value(), 3);
            QCOMPARE(find<QSpinBox>(dialog, "Txtattempts")->value(), 2);
            QCOMPARE(find<QSpinBox>(dialog, "Txtminutes")->text(), QStringLiteral("none"));
            QCOMPARE(find<QSpinBox>(dialog, "Txtpassmark")->value(), 100);
            QCOMPARE(find<QTableWidget>(dialog, "Grdextra")->rowCount(), 0);
            QVERIFY(!find<QSpinBox>(dialog, "Txtattempts")->isEnabled());
            QVERIFY(!find<QPushButton>(dialog, "Cmdaddstudent")->isEnabled());
            QVERIFY(find<QLabel>(dialog, "Lblfile")->text().contains(QStringLiteral("week5.student.txt")));
            find<QPushButton>(dialog, "cmdcancel")->click();
        });
        QVERIFY(prompts->messages.empty());
        QVERIFY(!std::filesystem::exists(*folder / "week5.student.txt"));
    }

    // The file is found in another letter case, shown, and rewritten under its own name.
    void showsAndRewritesTheSideFile()
    {
        folder->write("WEEK5.Student.TXT",
            "mode = sit\ntries = 4\nattempts = 3\nminutes per question = 3\npass mark = 90\n"
            "extra time Jo Bloggs = 25\n");
        openTest("week5.dsq", "");
        onDialog([](QDialog* dialog) {
            QCOMPARE(find<QComboBox>(dialog, "Cbomode")->currentIndex(), 1);
            QVERIFY(!find<QSpinBox>(dialog, "Txttries")->isEnabled());
            QCOMPARE(find<QSpinBox>(dialog, "Txttries")->value(), 4);
            QCOMPARE(find<QSpinBox>(dialog, "Txtminutes")->value(), 3);
            auto* table = find<QTableWidget>(dialog, "Grdextra");
            QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Jo Bloggs"));
            QCOMPARE(table->item(0, 1)->text(), QStringLiteral("25"));
            find<QSpinBox>(dialog, "Txtpassmark")->setValue(85);
            // A new row opens on its name; Enter keeps it, and the last cell counts while still edited.
            find<QPushButton>(dialog, "Cmdaddstudent")->click();
            QTest::keyClicks(cellEditor(table), QStringLiteral("Ann Lee"));
            QTest::keyClick(cellEditor(table), Qt::Key_Return);
            QTest::keyClick(table, Qt::Key_Right);
            QTest::keyClick(table, Qt::Key_F2);
            QTest::keyClicks(cellEditor(table), QStringLiteral("50"));
            find<QPushButton>(dialog, "cmdok")->click();
        });
        QVERIFY2(prompts->messages.empty(), prompts->messages.empty() ? "" : prompts->messages[0].text.c_str());
        QCOMPARE(folder->read("WEEK5.Student.TXT"),
            Comment
                + "mode = sit\ntries = 4\nattempts = 3\nminutes per question = 3\npass mark = 85\n"
                  "extra time Ann Lee = 50\nextra time Jo Bloggs = 25\n");
        QVERIFY(!std::filesystem::exists(*folder / "week5.student.txt"));
    }

    void aBadSideFileIsKeptWithoutTheTeachersYes_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }

    void aBadSideFileIsKeptWithoutTheTeachersYes()
    {
        QFETCH(bool, yes);
        const std::string bad = "mode = sometimes\ntries = 5\n";
        folder->write("week5.student.txt", bad);
        openTest("week5.dsq", "");
        prompts->yesNoAnswers = { yes };
        onDialog([](QDialog* dialog) {
            QCOMPARE(find<QSpinBox>(dialog, "Txttries")->value(), 5);
            find<QPushButton>(dialog, "cmdok")->click();
        });
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        QVERIFY(prompts->messages[0].text.find("\"week5.student.txt\"") != std::string::npos);
        QCOMPARE(prompts->messages[0].details,
            std::string("Line 1 of \"week5.student.txt\" was skipped: the mode is \"practise\" or \"sit\"."));
        QCOMPARE(prompts->questions.size(), std::size_t(1));
        QCOMPARE(folder->read("week5.student.txt"),
            yes ? Comment + "mode = practise\ntries = 5\nattempts = 2\nminutes per question = 0\npass mark = 100\n"
                : bad);
    }

    // The versions of a class set share one side file named after the set.
    void aClassVersionWritesItsSetsFile()
    {
        openTest("week5-02.dsq", "Ward 7 Version K7F3-02");
        onDialog([](QDialog* dialog) { find<QPushButton>(dialog, "cmdok")->click(); });
        QVERIFY(std::filesystem::exists(*folder / "week5.student.txt"));
        QVERIFY(!std::filesystem::exists(*folder / "week5-02.student.txt"));
    }

    void badRowsKeepTheDialogOpen_data()
    {
        QTest::addColumn<QStringList>("rows"); // name, percent, name, percent ...
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << QStringList { "", "25" }
                                 << QStringLiteral("Row 1 of the extra-time table has no student's name.");
        QTest::newRow("zero") << QStringList { "Jo", "0" }
                              << QStringLiteral("The extra time of \"Jo\" is a whole percent from 1 to 400.");
        QTest::newRow("decimal") << QStringList { "Jo", "2.5" }
                                 << QStringLiteral("The extra time of \"Jo\" is a whole percent from 1 to 400.");
        QTest::newRow("too much") << QStringList { "Jo", "401" }
                                  << QStringLiteral("The extra time of \"Jo\" is a whole percent from 1 to 400.");
        QTest::newRow("sign") << QStringList { "Jo", "+25" }
                              << QStringLiteral("The extra time of \"Jo\" is a whole percent from 1 to 400.");
        QTest::newRow("twice") << QStringList { "Jo", "25", "", "", " Jo ", "50" }
                               << QStringLiteral("\"Jo\" is in the extra-time table twice.");
        QTest::newRow("equals") << QStringList { "Jo = B", "25" }
                                << QStringLiteral("Row 1 of the extra-time table: the name \"Jo = B\" holds a "
                                                  "character a name cannot have here (such as \"=\").");
    }

    void badRowsKeepTheDialogOpen()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, message);
        tb::StudentSettings sit;
        sit.mode = tb::StudentMode::Sit;
        tb::StudentSettingsDialog dialog(*prompts, sit, "Settings file: week5.student.txt");
        dialog.show();
        auto* table = find<QTableWidget>(&dialog, "Grdextra");
        for (qsizetype i = 0; i + 1 < rows.size(); i += 2) {
            find<QPushButton>(&dialog, "Cmdaddstudent")->click();
            table->item(table->rowCount() - 1, 0)->setText(rows[i]);
            table->item(table->rowCount() - 1, 1)->setText(rows[i + 1]);
        }
        find<QPushButton>(&dialog, "cmdok")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(prompts->messages[0].text), message);
    }

private:
    template <class T> static T* find(QWidget* in, const char* name)
    {
        T* found = in->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

    // The open editor of a cell of `table`.
    static QLineEdit* cellEditor(QTableWidget* table)
    {
        for (QLineEdit* editor : table->findChildren<QLineEdit*>())
            if (editor->isVisible())
                return editor;
        qFatal("no cell is being edited");
    }

    void settingsEntry() { window->findChild<QAction*>(QStringLiteral("mnustudent"))->trigger(); }

    void openTest(const std::string& name, const std::string& description)
    {
        folder->write(name, testFile(description));
        prompts->fileNames = { name };
        window->findChild<QAction*>(QStringLiteral("mnuopen_1"))->trigger();
        QCOMPARE(QString::fromStdString(prompts->messages.empty() ? "" : prompts->messages[0].text), QString());
    }

    // Opens the dialog from the menu and drives it once it is shown.
    void onDialog(const std::function<void(QDialog*)>& drive)
    {
        bool driven = false;
        QTimer::singleShot(0, window.get(), [&] {
            auto* dialog = qobject_cast<tb::StudentSettingsDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                qFatal("the student settings dialog did not open");
            drive(dialog);
            driven = true;
            if (dialog->isVisible())
                dialog->reject();
        });
        settingsEntry();
        QVERIFY(driven);
    }

    std::unique_ptr<tb::headless::TempFolder> folder;
    std::unique_ptr<tb::AppState> state;
    std::unique_ptr<tb::headless::ScriptedPrompts> prompts;
    std::unique_ptr<tb::ExamWindow> window;
};

QTEST_MAIN(StudentSettingsTest)
#include "student_settings_dialog_test.moc"
