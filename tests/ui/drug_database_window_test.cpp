#include "drugdb/drug_database_window.h"

#include "drugdb/drug_file.h"
#include "questions/drug_questions.h"
#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <memory>

using tb::testing::FakePrompts;
using tb::testing::TempFolder;

namespace {

tb::DrugRecord tabletDrug(const std::string& name)
{
    tb::DrugRecord r;
    r.GenericName = name;
    r.DoseRangeLow = 50;
    r.DoseRangeLowUnit = tb::Mg;
    r.DoseRangeHigh = 200;
    r.DoseRangeHighUnit = tb::Mg;
    r.FormCode[0] = tb::Tablet;
    r.Strength[0] = 100;
    r.StrengthUnit[0] = tb::Mg;
    r.VolumeUnit.fill(6);
    r.DrugCategory = 1;
    return r;
}

void writeDatabase(const TempFolder& folder, int records)
{
    folder.write("MXDBASE.FIL", "");
    tb::DrugFile file(folder.path());
    for (int n = 1; n <= records; ++n)
        file.write(n, tabletDrug("Drug " + std::to_string(n)));
    file.close();
    folder.write("mxcat.idx", "1\r\n\"Analgesic           \",1\r\n");
    folder.write("mxdbs1.idx", "");
    folder.write("mxdbs2.idx", "");
}

QStringList texts(const FakePrompts& prompts)
{
    QStringList list;
    for (const auto& m : prompts.messages)
        list << QString::fromStdString(m.text);
    return list;
}

// One opened editor window on a database of its own.
struct Editor {
    explicit Editor(int records)
    {
        writeDatabase(folder, records);
        open();
    }
    Editor() = default;

    void open()
    {
        window = std::make_unique<tb::DrugDatabaseWindow>(state, prompts);
        window->show();
    }

    template <typename T> T* child(const char* name) const
    {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }

    QString recordno() const { return child<QLabel>("Recordno")->text(); }
    void click(const char* name) const { QTest::mouseClick(window->findChild<QAbstractButton*>(name), Qt::LeftButton); }

    TempFolder folder;
    FakePrompts prompts;
    tb::AppState state { std::make_unique<tb::ScriptedRandom>(), folder.path() };
    std::unique_ptr<tb::DrugDatabaseWindow> window;
};

} // namespace

class DrugDatabaseWindowTest : public QObject {
    Q_OBJECT

private slots:
    void opensOnTheLastRecord()
    {
        Editor e(12);
        QCOMPARE(e.window->objectName(), QStringLiteral("frmDrugDatabase"));
        QCOMPARE(e.window->windowTitle(), QStringLiteral("Drug Database"));
        QCOMPARE(e.recordno(), QStringLiteral("12 / 12"));
        QCOMPARE(e.child<QLineEdit>("Text1")->text(), QStringLiteral("Drug 12"));
        QCOMPARE(e.child<QComboBox>("Cbcategory")->currentText(), QStringLiteral("Analgesic           "));
        QCOMPARE(e.child<QComboBox>("Cbcategory")->count(), 1);
        QCOMPARE(e.child<QPushButton>("Command1_2")->text(), QStringLiteral("|"));
        QCOMPARE(e.child<QPushButton>("Quit")->text(), QStringLiteral("&Quit"));
        QCOMPARE(e.child<QLabel>("Label7")->text(), QStringLiteral("Half?"));
        QCOMPARE(e.child<QComboBox>("Type_4")->count(), 11);
        QCOMPARE(e.child<QComboBox>("Type_4")->itemText(6), QStringLiteral("Liquid Forte"));
        QCOMPARE(e.child<QComboBox>("doseunit_4")->itemText(7), QStringLiteral("mcg"));
        QVERIFY(e.prompts.messages.empty());
    }

    void firstAndPreviousWrapAround()
    {
        Editor e(12);
        e.click("Command1_2");
        QCOMPARE(e.recordno(), QStringLiteral("1 / 12"));
        e.click("next_0");
        QCOMPARE(e.recordno(), QStringLiteral("12 / 12"));
        e.click("next_0");
        e.click("Command1_3");
        QCOMPARE(e.recordno(), QStringLiteral("12 / 12"));
        QVERIFY(e.prompts.questions.empty());
    }

    void nextPastTheLastShowsABlankRecordAndItsChecks()
    {
        Editor e(12);
        e.click("next_1");
        QCOMPARE(e.recordno(), QStringLiteral("13 / 13"));
        QCOMPARE(e.child<QLineEdit>("Text1")->text(), QString());
        QCOMPARE(e.child<QLineEdit>("Text3_0")->text(), QStringLiteral("0"));
        QCOMPARE(e.child<QLineEdit>("Text3_1")->text(), QStringLiteral("0"));
        QCOMPARE(e.child<QLineEdit>("Increment")->text(), QStringLiteral("0"));
        QCOMPARE(e.child<QComboBox>("List1_0")->currentText(), QStringLiteral("mg"));
        QCOMPARE(e.child<QComboBox>("List1_1")->currentText(), QStringLiteral("mg"));
        for (int i = 0; i < 5; ++i) {
            const QByteArray n = QByteArray::number(i);
            QCOMPARE(e.child<QComboBox>("Type_" + n)->currentText(), QStringLiteral("Tablet"));
            QCOMPARE(e.child<QComboBox>("doseunit_" + n)->currentText(), QStringLiteral("mg"));
            QCOMPARE(e.child<QLineEdit>("Dose_" + n)->text(), QStringLiteral("0"));
            QVERIFY(e.child<QLineEdit>("noof_" + n)->isHidden());
            QVERIFY(!e.child<QCheckBox>("Check1_" + n)->isHidden());
        }
        QVERIFY(e.prompts.messages.empty());

        e.click("next_1");
        QCOMPARE(texts(e.prompts),
            (QStringList { "A drug title must be entered!", "Dose range and increment values must be included!",
                "At least one dose must be included!" }));
        QCOMPARE(e.recordno(), QStringLiteral("13 / 13"));
        QVERIFY(e.prompts.questions.empty());
    }

    void choosingSyrupShowsTheVolumeBox()
    {
        Editor e(2);
        auto* type = e.child<QComboBox>("Type_2");
        QVERIFY(!e.child<QCheckBox>("Check1_2")->isHidden());
        QVERIFY(e.child<QLineEdit>("noof_2")->isHidden());
        type->setCurrentIndex(type->findText(QStringLiteral("Syrup")));
        QVERIFY(e.child<QCheckBox>("Check1_2")->isHidden());
        QVERIFY(e.child<QLabel>("Label6_2")->isVisible());
        QCOMPARE(e.child<QLabel>("Label6_2")->text(), QStringLiteral("in"));
        QVERIFY(e.child<QLineEdit>("noof_2")->isVisible());
        QVERIFY(e.child<QLabel>("Label11_2")->isVisible());
        QCOMPARE(e.child<QLabel>("Label11_2")->text(), QStringLiteral("ml"));
        QVERIFY(!e.child<QCheckBox>("Check1_1")->isHidden());
    }

    void numberBoxesTakeOnlyDigitsAndPoint()
    {
        Editor e(1);
        auto* dose = e.child<QLineEdit>("Dose_0");
        dose->clear();
        QTest::keyClicks(dose, "1a2-/,.5xZ!");
        QCOMPARE(dose->text(), QStringLiteral("12.5"));
        QTest::keyClick(dose, Qt::Key_Backspace);
        QCOMPARE(dose->text(), QStringLiteral("12."));
        QTest::keyClick(dose, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(dose, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(dose, Qt::Key_End);
        QTest::keyClick(dose, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dose->text(), QStringLiteral("12.12."));
        QTest::keyClick(dose, Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(dose->text(), QStringLiteral("12.12."));

        auto* increment = e.child<QLineEdit>("Increment");
        increment->clear();
        QTest::keyClicks(increment, "1234567890.12345");
        QCOMPARE(increment->text(), QStringLiteral("1234567890.1"));

        // A name box takes letters, up to 30.
        auto* name = e.child<QLineEdit>("Text2_0");
        name->clear();
        QTest::keyClicks(name, "Trade-name/1, ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        QCOMPARE(name->text(), QStringLiteral("Trade-name/1, ABCDEFGHIJKLMNOP"));
    }

    void aPastedNumberIsReadByItsLeadingNumber()
    {
        Editor e(1);
        auto* dose = e.child<QLineEdit>("Dose_0");
        dose->setText(QStringLiteral("250mg tablets"));
        e.prompts.yesNoAnswers = { true };
        e.click("next_0");
        QCOMPARE(tb::readDrugRecord(e.folder.path(), 1).Strength[0], 250.0);
        QCOMPARE(dose->text(), QStringLiteral("250"));
    }

    void unchangedAsksNothingAndNoWritesNothing()
    {
        Editor e(5);
        const std::string before = e.folder.read("MXDBASE.FIL");
        e.click("next_0");
        e.click("next_1");
        QVERIFY(e.prompts.questions.empty());
        QTest::keyClicks(e.child<QLineEdit>("Text2_1"), "Other");
        e.prompts.yesNoAnswers = { false };
        e.click("Command1_2");
        QCOMPARE(e.prompts.questions.size(), std::size_t(1));
        QCOMPARE(e.recordno(), QStringLiteral("1 / 5"));
        QCOMPARE(e.folder.read("MXDBASE.FIL"), before);
    }

    void yesWithABlankGenericNameStays()
    {
        Editor e(5);
        e.child<QLineEdit>("Text1")->clear();
        e.prompts.yesNoAnswers = { true };
        e.click("next_0");
        QCOMPARE(texts(e.prompts), QStringList { "A drug title must be entered!" });
        QCOMPARE(e.prompts.messages[0].title, std::string());
        QCOMPARE(e.recordno(), QStringLiteral("5 / 5"));
    }

    void aTypedCategoryIsCreated()
    {
        Editor e(2);
        auto* category = e.child<QComboBox>("Cbcategory");
        category->lineEdit()->clear();
        QTest::keyClicks(category->lineEdit(), "Antiviral");
        e.prompts.yesNoAnswers = { false };
        e.click("next_0");
        QCOMPARE(texts(e.prompts), QStringList { "You have created a new category for this drug" });
        QCOMPARE(e.prompts.messages[0].title, std::string("Drug Database"));
        QCOMPARE(category->count(), 2);
        QCOMPARE(category->itemText(1), QStringLiteral("Antiviral"));
        QCOMPARE(e.state.categories.CategoryCount, 2);
    }

    void deletingTheLastOfFive()
    {
        Editor e(5);
        e.click("Delete");
        QCOMPARE(e.recordno(), QStringLiteral("4 / 4"));
        QCOMPARE(e.child<QLineEdit>("Text1")->text(), QStringLiteral("Drug 4"));
        QCOMPARE(e.folder.read("MXDBASE.FIL").size(), std::size_t(4 * 240));
    }

    void quitRebuildsTheFilesAndSaysClosed()
    {
        Editor e(3);
        QSignalSpy closed(e.window.get(), &tb::DrugDatabaseWindow::closed);
        auto* type = e.child<QComboBox>("Type_1");
        type->setCurrentIndex(type->findText(QStringLiteral("Elixir")));
        QTest::keyClicks(e.child<QLineEdit>("Dose_1"), "5");
        QTest::keyClicks(e.child<QLineEdit>("noof_1"), "2.5");
        e.child<QLineEdit>("Increment")->clear();
        QTest::keyClicks(e.child<QLineEdit>("Increment"), "1");
        e.prompts.yesNoAnswers = { true };
        e.click("Quit");
        QCOMPARE(closed.count(), 1);
        QVERIFY(e.window->isHidden());
        QVERIFY(e.prompts.messages.empty());

        tb::AppState next { std::make_unique<tb::ScriptedRandom>(), e.folder.path() };
        QVERIFY(!tb::loadStartupFiles(next).has_value());
        QCOMPARE(int(next.TabletIndex.count), 3);
        QCOMPARE(int(next.FluidIndex.count), 1);
        QCOMPARE(int(next.FluidIndex.record[1]), 3);
        QCOMPARE(next.categories.CategoryCount, 1);
    }

    // A drug added through the window reaches question generation at the next start.
    void aNewDrugIsAskedAboutAfterTheNextStart()
    {
        const std::filesystem::path sample = TB_SAMPLE_DIR;
        if (!std::filesystem::exists(sample / "MXDBASE.FIL"))
            QSKIP("the sample drug database has not been built");
        Editor e;
        e.folder.copySampleDatabase(sample);
        e.open();
        const int before = e.window->editor().RecordTotal;
        QCOMPARE(e.recordno(), QStringLiteral("%1 / %1").arg(before));

        e.click("next_1");
        const int record = before + 1;
        QCOMPARE(e.recordno(), QStringLiteral("%1 / %1").arg(record));
        QTest::keyClicks(e.child<QLineEdit>("Text1"), "Testodrine");
        auto retype = [&](const char* box, const char* text) {
            e.child<QLineEdit>(box)->clear();
            QTest::keyClicks(e.child<QLineEdit>(box), text);
        };
        retype("Text3_0", "200");
        retype("Text3_1", "400");
        retype("Increment", "20");
        retype("Dose_0", "200");
        auto* type = e.child<QComboBox>("Type_1");
        type->setCurrentIndex(type->findText(QStringLiteral("Syrup")));
        retype("Dose_1", "100");
        retype("noof_1", "5");
        QTest::keyClicks(e.child<QComboBox>("Cbcategory")->lineEdit(), "Trial drugs");
        e.prompts.yesNoAnswers = { true };
        QSignalSpy closed(e.window.get(), &tb::DrugDatabaseWindow::closed);
        e.click("Quit");
        QCOMPARE(closed.count(), 1);
        QCOMPARE(texts(e.prompts), QStringList { "You have created a new category for this drug" });

        tb::AppState next { std::make_unique<tb::ProductionRandom>(), e.folder.path() };
        QVERIFY(!tb::loadStartupFiles(next).has_value());
        int category = 0;
        for (int c = 1; c <= next.categories.CategoryCount; ++c)
            if (tb::trimmedRight(next.categories.CategoryName[c]) == "Trial drugs")
                category = next.categories.CategoryCode[c];
        QVERIFY(category != 0);
        auto listed = [&](const tb::DrugIndex& index) {
            for (int k = 1; k <= index.count; ++k)
                if (index.record[k] == record && index.category[k] == category)
                    return true;
            return false;
        };
        QVERIFY(listed(next.TabletIndex));
        QVERIFY(listed(next.FluidIndex));

        next.CandidateRecords = { 0, static_cast<std::int16_t>(record) };
        next.CandidateCount = 1;
        const tb::DrugQuestionResult tablet = tb::makeTabletQuestion(next);
        QVERIFY2(tablet.question.has_value(), tablet.problem.c_str());
        QCOMPARE(tablet.record, record);
        QVERIFY(tablet.question->question.find("Testodrine") != std::string::npos);
        QVERIFY(tablet.question->solution.find("200 mg") != std::string::npos);
        const tb::DrugQuestionResult fluid = tb::makeFluidQuestion(next);
        QVERIFY2(fluid.question.has_value(), fluid.problem.c_str());
        QCOMPARE(fluid.record, record);
        QVERIFY(fluid.question->question.find("Testodrine") != std::string::npos);
        QVERIFY(fluid.question->solution.find("100 mg") != std::string::npos);
    }

    void aDataFileThatCannotBeOpenedClosesTheWindowWithAMessage()
    {
        Editor e;
        e.folder.write("mxcat.idx", "0\r\n");
        std::filesystem::create_directory(e.folder / "MXDBASE.FIL");
        e.open();
        QSignalSpy closed(e.window.get(), &tb::DrugDatabaseWindow::closed);
        QTRY_COMPARE(closed.count(), 1);
        QCOMPARE(e.prompts.messages.size(), std::size_t(1));
        QVERIFY(QString::fromStdString(e.prompts.messages[0].text).contains(QStringLiteral("MXDBASE.FIL")));
    }
};

QTEST_MAIN(DrugDatabaseWindowTest)
#include "drug_database_window_test.moc"
