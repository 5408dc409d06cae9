#include "core/headless/scripted_prompts.h"
#include "gui/testbuilder/class_versions_dialog.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

class ClassVersionsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        prompts = std::make_unique<tb::headless::ScriptedPrompts>();
        dialog = std::make_unique<tb::ClassVersionsDialog>(*prompts, "Ward 7");
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

private:
    template <typename T> T* find(const QString& name) const { return dialog->findChild<T*>(name); }
    template <typename T> T* find(const char* name) const { return find<T>(QString::fromLatin1(name)); }

    std::unique_ptr<tb::headless::ScriptedPrompts> prompts;
    std::unique_ptr<tb::ClassVersionsDialog> dialog;
};

QTEST_MAIN(ClassVersionsDialogTest)
#include "class_versions_dialog_test.moc"
