#include "core/headless/scripted_prompts.h"
#include "gui/testbuilder/class_versions_dialog.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

tb::VersionChoices choicesOf(std::vector<int> parallel)
{
    tb::VersionChoices choices;
    choices.name = "week5";
    choices.folder = "week5 versions";
    choices.parallel = std::move(parallel);
    choices.newCount = 5;
    choices.newCategories = { 1, 2 };
    choices.drugCategories = choices.drugCategoriesSelected = 4;
    return choices;
}

} // namespace

class ClassVersionsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        prompts = std::make_unique<tb::headless::ScriptedPrompts>();
        dialog = std::make_unique<tb::ClassVersionsDialog>(*prompts, choicesOf({ 2, 0, 5 }));
    }

    // Parallel forms are proposed, with the categories they use; the set goes into its folder.
    void parallelFormsOfTheTestAreProposed()
    {
        QCOMPARE(find<QRadioButton>("optform_0")->text(), QStringLiteral("P&arallel forms of this test (3 questions)"));
        QVERIFY(find<QRadioButton>("optform_0")->isChecked());
        QCOMPARE(find<QLabel>("lblparallel")->text(),
            QStringLiteral(
                "3 questions: 1 Tablet Dosages, 1 Infusion Pump Rates; 1 written by hand, copied as it is."));
        QCOMPARE(find<QLabel>("lblnew")->text(),
            QStringLiteral("5 questions of Metric Conversions, Tablet Dosages. Change them in the test window's count "
                           "box and category boxes."));
        find<QPushButton>("cmdok")->click();
        const tb::VersionRequest request = dialog->request();
        QVERIFY(request.parallel);
        QCOMPARE(request.folder, std::string("week5 versions"));
        QCOMPARE(request.base, std::string("week5"));
    }

    void aTestWrittenByHandOffersNewQuestionsOnly()
    {
        dialog = std::make_unique<tb::ClassVersionsDialog>(*prompts, choicesOf({ 0, 0 }));
        QVERIFY(!find<QRadioButton>("optform_0")->isEnabled());
        QVERIFY(find<QRadioButton>("optform_1")->isChecked());
        QVERIFY(!dialog->request().parallel);
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
