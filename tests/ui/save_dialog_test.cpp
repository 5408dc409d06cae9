#include "shell/qt_prompts.h"
#include "shell/save_dialog.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

using tb::QtPrompts;
using tb::SaveDialog;
using tb::testing::TempFolder;

namespace {

// Runs `answer` on the modal window as soon as it is shown; it must be scheduled
// before the call that shows the window.
void whenModal(QObject* context, std::function<void(QWidget*)> answer)
{
    QTimer::singleShot(0, context, [answer = std::move(answer)] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        answer(modal);
    });
}

} // namespace

class SaveDialogTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("previous");
        QTest::addColumn<bool>("expected");
        for (const bool previous : { false, true }) {
            const char* p = previous ? ", previous yes" : ", previous no";
            QTest::newRow(qPrintable(QStringLiteral("Yes") + p)) << QStringLiteral("Command1_0") << previous << true;
            QTest::newRow(qPrintable(QStringLiteral("No") + p)) << QStringLiteral("Command1_1") << previous << false;
            QTest::newRow(qPrintable(QStringLiteral("close box") + p))
                << QStringLiteral("close") << previous << previous;
            QTest::newRow(qPrintable(QStringLiteral("Escape") + p)) << QStringLiteral("Escape") << previous << previous;
            QTest::newRow(qPrintable(QStringLiteral("Enter") + p)) << QStringLiteral("Enter") << previous << true;
            QTest::newRow(qPrintable(QStringLiteral("letter N") + p)) << QStringLiteral("N") << previous << false;
            QTest::newRow(qPrintable(QStringLiteral("Alt+Y") + p)) << QStringLiteral("Alt+Y") << previous << true;
        }
    }

    void answers()
    {
        QFETCH(QString, action);
        QFETCH(bool, previous);
        QtPrompts prompts(folder_.path());
        const std::string text = "This test has not been saved. Would you like to save it now?";
        QString shownText;
        QString yesCaption;
        QString noCaption;
        whenModal(this, [&](QWidget* modal) {
            QCOMPARE(modal->objectName(), QStringLiteral("Frmsave"));
            shownText = modal->findChild<QLabel*>(QStringLiteral("Label1"))->text();
            auto* yes = modal->findChild<QPushButton*>(QStringLiteral("Command1_0"));
            auto* no = modal->findChild<QPushButton*>(QStringLiteral("Command1_1"));
            yesCaption = yes->text();
            noCaption = no->text();
            if (action == QLatin1String("close"))
                modal->close();
            else if (action == QLatin1String("Escape"))
                QTest::keyClick(modal, Qt::Key_Escape);
            else if (action == QLatin1String("Enter"))
                QTest::keyClick(modal, Qt::Key_Return);
            else if (action == QLatin1String("N"))
                QTest::keyClick(modal, Qt::Key_N);
            else if (action == QLatin1String("Alt+Y")) {
                modal->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(modal));
                QTest::keyClick(modal, Qt::Key_Y, Qt::AltModifier);
                // An access key presses its button with a short animation.
                QTRY_VERIFY_WITH_TIMEOUT(!modal->isVisible(), 2000);
            } else
                QTest::mouseClick(modal->findChild<QPushButton*>(action), Qt::LeftButton);
            if (modal->isVisible()) {
                // Never leave the test waiting on the window.
                modal->close();
                QFAIL("the window stayed open");
            }
        });
        QTEST(prompts.askYesNo(text, previous), "expected");
        QCOMPARE(shownText, QString::fromStdString(text));
        QCOMPARE(yesCaption, QStringLiteral("&Yes"));
        QCOMPARE(noCaption, QStringLiteral("&No"));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void longMessagesWrapAndKeepTheirCharacters()
    {
        // "The file ... already exists" names a file chosen by the teacher: a long
        // name wraps, and a Windows-1252 character arrives intact.
        const std::string name = "C:\\Tests\\Dosages for the second-year nursing students \xB5g week 12.dsq";
        SaveDialog dialog(QString::fromUtf8("The file C:\\Tests\\Dosages for the second-year nursing students "
                                            "\u00B5g week 12.dsq already exists. Would you like to use this file"));
        dialog.show();
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(label->wordWrap());
        QVERIFY(label->height() > label->fontMetrics().height() * 3 / 2);
        QVERIFY(dialog.width() < 700);

        QtPrompts prompts(folder_.path());
        QString shown;
        whenModal(this, [&](QWidget* modal) {
            shown = modal->findChild<QLabel*>(QStringLiteral("Label1"))->text();
            modal->close();
        });
        prompts.askYesNo("The file " + name + " already exists. Would you like to use this file", false);
        QVERIFY(shown.contains(QString::fromUtf8("\u00B5g week 12.dsq already exists")));
        QVERIFY(!shown.endsWith(QLatin1Char('?')));
    }

    void messageHasAnOkButtonAndTheProgramsTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shownTitle");
        QTest::newRow("no title of its own") << QString() << QStringLiteral("Tutor Bench");
        QTest::newRow("own title") << QStringLiteral("Drug Database") << QStringLiteral("Drug Database");
    }

    void messageHasAnOkButtonAndTheProgramsTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, shownTitle);
        QtPrompts prompts(folder_.path());
        QString seenTitle;
        QString seenText;
        int buttons = 0;
        whenModal(this, [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            seenTitle = box->windowTitle();
            seenText = box->text();
            buttons = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
        prompts.message("Illegal file name", title.toStdString());
        QCOMPARE(seenTitle, shownTitle);
        QCOMPARE(seenText, QStringLiteral("Illegal file name"));
        QCOMPARE(buttons, 1);
    }

    void filtersInQtForm_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("test or text") << QStringLiteral("Dosarion Test (dsq)|*.dsq|Text File (txt)|*.txt|")
                                      << QStringList({ "Dosarion Test (dsq) (*.dsq)", "Text File (txt) (*.txt)" });
        QTest::newRow("pattern already shown")
            << QStringLiteral("Dosarion Files (*.dsq)|*.dsq|") << QStringList({ "Dosarion Files (*.dsq)" });
        QTest::newRow("several patterns, no closing bar")
            << QStringLiteral("Tests|*.dsq;*.tmp") << QStringList({ "Tests (*.dsq *.tmp)" });
        QTest::newRow("empty") << QString() << QStringList({ "All Files (*)" });
    }

    void filtersInQtForm()
    {
        QFETCH(QString, filter);
        QTEST(tb::qtNameFilters(filter.toStdString()), "expected");
    }

    void saveDialogTitleFilterFolderAndNoOverwriteQuestion()
    {
        QtPrompts prompts(folder_.path());
        folder_.write("old.dsq", "x");
        QString title;
        QStringList filters;
        QString selected;
        QString directory;
        bool confirms = true;
        whenModal(this, [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            selected = dialog->selectedNameFilter();
            directory = dialog->directory().absolutePath();
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            // An existing name is taken without a question of the dialog's own.
            dialog->selectFile(QStringLiteral("old.dsq"));
            static_cast<QDialog*>(dialog)->accept();
        });
        const std::string name
            = prompts.saveFileName("Save Drug Test", "Dosarion Test (dsq)|*.dsq|Text File (txt)|*.txt|", 1);
        QCOMPARE(title, QStringLiteral("Save Drug Test"));
        QCOMPARE(filters, QStringList({ "Dosarion Test (dsq) (*.dsq)", "Text File (txt) (*.txt)" }));
        QCOMPARE(selected, QStringLiteral("Dosarion Test (dsq) (*.dsq)"));
        QCOMPARE(directory, QDir(QString::fromStdString(folder_.path().string())).absolutePath());
        QVERIFY(!confirms);
        QCOMPARE(QString::fromStdString(name),
            QDir(QString::fromStdString(folder_.path().string())).absoluteFilePath("old.dsq"));
    }

    void aChosenNameOpensAsTheFileSystemSpellsIt()
    {
        QtPrompts prompts(folder_.path());
        const QString name = QString::fromUtf8("Pr\u00FCfung \u0141\u00F3d\u017A.dsq");
        QFile file(QDir(QString::fromStdString(folder_.path().string())).absoluteFilePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        whenModal(this, [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            dialog->selectFile(name);
            static_cast<QDialog*>(dialog)->accept();
        });
        const std::string chosen = prompts.openFileName("", "Dosarion Files (*.dsq)|*.dsq|", 1);
        QVERIFY(std::filesystem::is_regular_file(chosen));
    }

    void openDialogSelectsTheGivenFilterAndCancelGivesNothing()
    {
        QtPrompts prompts(folder_.path());
        QString selected;
        whenModal(this, [&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            selected = dialog->selectedNameFilter();
            dialog->reject();
        });
        const std::string name = prompts.openFileName("Open", "Dosarion Test (dsq)|*.dsq|Text File (txt)|*.txt|", 2);
        QCOMPARE(selected, QStringLiteral("Text File (txt) (*.txt)"));
        QVERIFY(name.empty());
    }

    void clipboardCarriesWindows1252WithTheProgramsLineBreaks()
    {
        QtPrompts prompts(folder_.path());
        prompts.setClipboardText("Give 5 \xB5g\r\nof it");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("Give 5 \u00B5g\nof it"));
        QGuiApplication::clipboard()->setText(QString::fromUtf8("10 \u00B5g\nx\r\ny \u0101"));
        QCOMPARE(prompts.clipboardText(), std::string("10 \xB5g\r\nx\r\ny ?"));
    }

private:
    TempFolder folder_;
};

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
