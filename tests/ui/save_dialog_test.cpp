#include "shell/qt_prompts.h"
#include "support/temp_folder.h"

#include <QtTest>
#include <QtWidgets>

class SaveDialogTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("previous");
        QTest::addColumn<bool>("expected");
        for (const bool previous : { false, true }) {
            const QString p = previous ? QStringLiteral(", previous yes") : QStringLiteral(", previous no");
            QTest::newRow(qPrintable("Yes" + p)) << QStringLiteral("Command1_0") << previous << true;
            QTest::newRow(qPrintable("No" + p)) << QStringLiteral("Command1_1") << previous << false;
            QTest::newRow(qPrintable("close box" + p)) << QString() << previous << previous;
        }
    }

    void answers()
    {
        QFETCH(QString, action);
        QFETCH(bool, previous);
        tb::testing::TempFolder folder;
        tb::QtPrompts prompts(folder.path());
        const std::string text = "This test has not been saved. Would you like to save it now?";
        QString shown;
        QTimer::singleShot(0, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            QCOMPARE(modal->objectName(), QStringLiteral("Frmsave"));
            shown = modal->findChild<QLabel*>(QStringLiteral("Label1"))->text();
            if (action.isEmpty())
                modal->close();
            else
                QTest::mouseClick(modal->findChild<QPushButton*>(action), Qt::LeftButton);
            if (modal->isVisible()) {
                modal->close(); // never leave the test waiting on the window
                QFAIL("the window stayed open");
            }
        });
        QTEST(prompts.askYesNo(text, previous), "expected");
        QCOMPARE(shown, QString::fromStdString(text));
    }

    // Problems carry the warning or error icon, news the information icon; a box
    // without a title of its own carries the program's.
    void messageBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("shownTitle");
        QTest::newRow("problem, program title") << 0 << QString() << int(QMessageBox::Warning) << "Tutor Bench";
        QTest::newRow("problem, own title") << 0 << "Drug Databas" << int(QMessageBox::Warning) << "Drug Databas";
        QTest::newRow("news") << 1 << "Drug Database" << int(QMessageBox::Information) << "Drug Database";
        QTest::newRow("fatal") << 2 << QString() << int(QMessageBox::Critical) << "Tutor Bench";
    }

    void messageBoxes()
    {
        QFETCH(int, kind);
        QFETCH(QString, title);
        tb::testing::TempFolder folder;
        tb::QtPrompts prompts(folder.path());
        int icon = -1;
        QString shownTitle;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            icon = box->icon();
            shownTitle = box->windowTitle();
            box->accept();
        });
        const std::string text = "A drug title must be entered!";
        if (kind == 0)
            prompts.message(text, title.toStdString());
        else if (kind == 1)
            prompts.notice(text, title.toStdString());
        else
            prompts.fatal(text, title.toStdString());
        QTEST(icon, "icon");
        QTEST(shownTitle, "shownTitle");
    }
};

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
