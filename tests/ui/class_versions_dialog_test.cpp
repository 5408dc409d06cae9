#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"
#include "testbuilder/class_versions_dialog.h"
#include "testbuilder/exam_window.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

class ClassVersionsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        prompts = std::make_unique<tb::testing::FakePrompts>();
        dialog = std::make_unique<tb::ClassVersionsDialog>(*prompts, "Ward 7");
    }

    void defaultsAskForThirtyVersionsWithEveryOutput()
    {
        QCOMPARE(find<QLineEdit>("txtbase")->text(), QStringLiteral("Ward 7"));
        find<QPushButton>("cmdok")->click();
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        const tb::VersionRequest request = dialog->request();
        QCOMPARE(request.versions, 30);
        QCOMPARE(request.base, std::string("Ward 7"));
        QVERIFY(!request.only);
        QVERIFY(request.testFiles && request.pdf && request.platform);
    }

    void aCodeMakesOneVersionAndTheNumberIsNotAsked()
    {
        QTest::keyClicks(find<QLineEdit>("txtcode"), QStringLiteral("k7f3 2"));
        QVERIFY(!find<QSpinBox>("spnversions")->isEnabled());
        find<QLineEdit>("txtbase")->setText(QStringLiteral("ward.dsq"));
        find<QPushButton>("cmdok")->click();
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        const tb::VersionRequest request = dialog->request();
        QVERIFY(request.only);
        QCOMPARE(request.only->text(), std::string("K7F3-02"));
        QCOMPARE(request.base, std::string("ward"));
    }

    void badAnswersKeepTheDialogOpen_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("outputs");
        QTest::addColumn<QString>("message");
        QTest::newRow("no base") << QStringLiteral("  ") << QString() << true
                                 << QStringLiteral("Give a name for the files of the versions.");
        QTest::newRow("bad code") << QStringLiteral("ward") << QStringLiteral("K7F3-99") << true
                                  << QStringLiteral(
                                         "\"K7F3-99\" is not a version code. A code reads like K7F3-02: four "
                                         "letters or digits, a hyphen and the version's number from 01 to 60.");
        QTest::newRow("no output") << QStringLiteral("ward") << QString() << false
                                   << QStringLiteral("Tick at least one of the outputs.");
    }

    void badAnswersKeepTheDialogOpen()
    {
        QFETCH(QString, base);
        QFETCH(QString, code);
        QFETCH(bool, outputs);
        QFETCH(QString, message);
        dialog->show();
        find<QLineEdit>("txtbase")->setText(base);
        find<QLineEdit>("txtcode")->setText(code);
        for (int i = 0; i < 3; ++i)
            find<QCheckBox>(QStringLiteral("chkoutput_%1").arg(i))->setChecked(outputs);
        find<QPushButton>("cmdok")->click();
        QVERIFY(dialog->isVisible());
        QCOMPARE(prompts->messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(prompts->messages[0].text), message);
    }

    void browseTakesTheSavedNameWithoutItsEnding()
    {
        prompts->fileNames = { "/tmp/class/ward.dsq" };
        find<QPushButton>("cmdbrowse")->click();
        QCOMPARE(find<QLineEdit>("txtbase")->text(), QStringLiteral("/tmp/class/ward"));
        QCOMPARE(prompts->dialogs.at(0).title, std::string("Class Versions"));
    }

    void theFileMenuOffersClassVersionsAfterTheExport()
    {
        tb::testing::TempFolder folder;
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        tb::AppState state(std::make_unique<tb::ProductionRandom>(), folder.path());
        QVERIFY(!tb::loadStartupFiles(state));
        tb::ExamWindow window(state, *prompts);
        const QList<QAction*> actions = window.findChild<QMenu*>(QStringLiteral("file"))->actions();
        const qsizetype at = actions.indexOf(window.findChild<QAction*>(QStringLiteral("mnuversions")));
        QVERIFY(at > 0);
        QCOMPARE(actions[at]->text(), QStringLiteral("Class &Versions..."));
        QCOMPARE(actions[at - 1]->objectName(), QStringLiteral("mnuexport"));
        QCOMPARE(std::count_if(actions.begin(), actions.end(),
                     [](QAction* a) { return a->text().contains(QLatin1String("&V"), Qt::CaseInsensitive); }),
            1);
    }

private:
    template <typename T> T* find(const QString& name) const
    {
        T* widget = dialog->findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    template <typename T> T* find(const char* name) const { return find<T>(QString::fromLatin1(name)); }

    std::unique_ptr<tb::testing::FakePrompts> prompts;
    std::unique_ptr<tb::ClassVersionsDialog> dialog;
};

QTEST_MAIN(ClassVersionsDialogTest)
#include "class_versions_dialog_test.moc"
