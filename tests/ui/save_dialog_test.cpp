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
};

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
