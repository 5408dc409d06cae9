#include "drugdb/drug_database_window.h"

#include "drugdb/drug_file.h"
#include "questions/drug_questions.h"
#include "startup/app_state.h"
#include "startup/startup_loader.h"
#include "support/fake_prompts.h"
#include "support/temp_folder.h"

#include <QtTest>
#include <QtWidgets>

#include <filesystem>
#include <memory>

using tb::testing::FakePrompts;
using tb::testing::TempFolder;

namespace {

// One opened editor on a database of `records` tablets of 100 mg, or on the sample database if none.
struct Editor {
    explicit Editor(int records = 0)
    {
        if (records == 0)
            folder.copySampleDatabase(TB_SAMPLE_DIR);
        else {
            tb::DrugFile file(folder.path());
            for (int n = 1; n <= records; ++n) {
                tb::DrugRecord r;
                r.GenericName = "Drug " + std::to_string(n);
                r.DoseRangeLow = 50;
                r.DoseRangeHigh = 200;
                r.DoseRangeLowUnit = r.DoseRangeHighUnit = r.StrengthUnit[0] = tb::Mg;
                r.FormCode[0] = tb::Tablet;
                r.Strength[0] = 100;
                r.VolumeUnit.fill(6);
                r.DrugCategory = 1;
                file.write(n, r);
            }
            file.close();
            folder.write("mxcat.idx", "1\r\n\"Analgesic           \",1\r\n");
            folder.write("mxdbs1.idx", "");
            folder.write("mxdbs2.idx", "");
        }
        window = std::make_unique<tb::DrugDatabaseWindow>(state, prompts);
        window->show();
    }
    template <typename T> T* child(const QString& name) const { return window->findChild<T*>(name); }
    QLineEdit* box(const QString& name) const { return child<QLineEdit>(name); }
    QComboBox* combo(const QString& name) const { return child<QComboBox>(name); }
    void retype(const QString& name, const QString& text) const
    {
        box(name)->clear();
        QTest::keyClicks(box(name), text);
    }
    void setType(int row, const char* form) const
    {
        auto* type = combo(QStringLiteral("Type_%1").arg(row));
        type->setCurrentIndex(type->findText(QString::fromLatin1(form)));
    }
    QString recordno() const { return child<QLabel>(QStringLiteral("Recordno"))->text(); }
    void click(const char* name) const
    {
        QTest::mouseClick(child<QAbstractButton>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    QStringList messages() const
    {
        QStringList list;
        for (const auto& m : prompts.messages)
            list << QString::fromStdString(m.text);
        return list;
    }

    TempFolder folder;
    FakePrompts prompts;
    tb::AppState state { std::make_unique<tb::ScriptedRandom>(), folder.path() };
    std::unique_ptr<tb::DrugDatabaseWindow> window;
};

} // namespace

class DrugDatabaseWindowTest : public QObject {
    Q_OBJECT

private slots:
    void navigationWrapsAndNextPastTheLastGivesABlankRecordThatIsChecked()
    {
        Editor e(12);
        QCOMPARE(e.recordno(), QStringLiteral("12 / 12"));
        QCOMPARE(e.box("Text1")->text(), QStringLiteral("Drug 12"));
        e.click("Command1_2");
        QCOMPARE(e.recordno(), QStringLiteral("1 / 12"));
        e.click("next_0");
        QCOMPARE(e.recordno(), QStringLiteral("12 / 12"));

        e.click("next_1");
        QCOMPARE(e.recordno(), QStringLiteral("13 / 13"));
        QVERIFY(e.box("Text1")->text().isEmpty());
        for (const char* name : { "Text3_0", "Text3_1", "Increment" })
            QCOMPARE(e.box(name)->text(), QStringLiteral("0"));
        QCOMPARE(e.combo("Type_4")->currentText(), QStringLiteral("Tablet"));
        QCOMPARE(e.combo("doseunit_4")->currentText(), QStringLiteral("mg"));

        e.click("next_1");
        QCOMPARE(e.messages(),
            QStringList({ "A drug title must be entered!", "Dose range and increment values must be included!",
                "At least one dose must be included!" }));
        QCOMPARE(e.recordno(), QStringLiteral("13 / 13"));
        QVERIFY(e.prompts.questions.empty());
    }

    // Leaving a record asks to save it only when it changed; nothing reaches the file unless
    // the answer is Yes and the record passes its checks, else each failed check is shown.
    void leavingARecord_data()
    {
        QTest::addColumn<int>("edit");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("shown");
        const QString volume = QStringLiteral("All fluid doses must include a volume 'in' value!");
        QTest::newRow("unchanged") << 0 << true << 0 << QStringList() << "4 / 5";
        QTest::newRow("changed, No") << 1 << false << 1 << QStringList() << "4 / 5";
        QTest::newRow("blank generic name, Yes")
            << 2 << true << 1 << QStringList { "A drug title must be entered!" } << "5 / 5";
        QTest::newRow("two fluids without volume, Yes") << 3 << true << 1 << QStringList { volume, volume } << "5 / 5";
    }

    void leavingARecord()
    {
        QFETCH(int, edit);
        QFETCH(bool, yes);
        Editor e(5);
        const std::string before = e.folder.read("MXDBASE.FIL");
        if (edit == 1)
            QTest::keyClicks(e.box("Text2_1"), "Other");
        if (edit == 2)
            e.box("Text1")->clear();
        if (edit == 3) {
            e.setType(1, "Syrup");
            e.setType(2, "Syrup");
        }
        e.prompts.yesNoAnswers = { yes };
        e.click("next_0");
        QTEST(int(e.prompts.questions.size()), "asked");
        QTEST(e.messages(), "messages");
        QTEST(e.recordno(), "shown");
        QVERIFY(e.folder.read("MXDBASE.FIL") == before);
    }

    void syrupShowsTheVolumeBoxInsteadOfHalf()
    {
        Editor e(2);
        QVERIFY(!e.child<QCheckBox>(QStringLiteral("Check1_2"))->isHidden());
        QVERIFY(e.box("noof_2")->isHidden());
        e.setType(2, "Syrup");
        QVERIFY(e.child<QCheckBox>(QStringLiteral("Check1_2"))->isHidden());
        QVERIFY(e.box("noof_2")->isVisible());
        QCOMPARE(e.child<QLabel>(QStringLiteral("Label6_2"))->text(), QStringLiteral("in"));
        QCOMPARE(e.child<QLabel>(QStringLiteral("Label11_2"))->text(), QStringLiteral("ml"));
        QVERIFY(!e.child<QCheckBox>(QStringLiteral("Check1_1"))->isHidden());
    }

    void numberBoxesTakeOnlyDigitsAndPoint()
    {
        Editor e(1);
        e.retype("Dose_0", "1a2-/,.5xZ!");
        QCOMPARE(e.box("Dose_0")->text(), QStringLiteral("12.5"));
        QTest::keyClick(e.box("Dose_0"), Qt::Key_Backspace);
        QCOMPARE(e.box("Dose_0")->text(), QStringLiteral("12."));
    }

    void aTypedCategoryIsCreatedEvenWhenNotSaved()
    {
        Editor e(2);
        auto* category = e.combo("Cbcategory");
        category->lineEdit()->clear();
        QTest::keyClicks(category->lineEdit(), "Antiviral");
        e.prompts.yesNoAnswers = { false };
        e.click("next_0");
        QCOMPARE(e.messages(), QStringList { "You have created a new category for this drug" });
        QCOMPARE(e.prompts.messages[0].title, std::string("Drug Database"));
        QCOMPARE(category->count(), 2);
        QCOMPARE(category->itemText(1), QStringLiteral("Antiviral"));
        QCOMPARE(e.state.categories.CategoryCount, 2);
    }

    // A drug added through the window is indexed on closing, in the new category, for the next start.
    void aNewDrugIsIndexedForTheNextStart()
    {
        Editor e;
        const int record = e.window->editor().RecordTotal + 1;
        e.click("next_1");
        QCOMPARE(e.recordno(), QStringLiteral("%1 / %1").arg(record));
        e.setType(1, "Syrup");
        for (const auto& [box, text] :
            { std::pair { "Text1", "Testodrine" }, { "Text3_0", "200" }, { "Text3_1", "400" }, { "Increment", "20" },
                { "Dose_0", "200" }, { "Dose_1", "100" }, { "noof_1", "5" } })
            e.retype(box, text);
        QTest::keyClicks(e.combo("Cbcategory")->lineEdit(), "Trial drugs");
        e.prompts.yesNoAnswers = { true };
        QSignalSpy closed(e.window.get(), &tb::DrugDatabaseWindow::closed);
        e.click("Quit");
        QCOMPARE(closed.count(), 1);
        QCOMPARE(e.messages(), QStringList { "You have created a new category for this drug" });

        tb::AppState next { std::make_unique<tb::ProductionRandom>(), e.folder.path() };
        QVERIFY(!tb::loadStartupFiles(next).has_value());
        int category = 0;
        for (int c = 1; c <= next.categories.CategoryCount; ++c)
            if (tb::trimmedRight(next.categories.CategoryName[c]) == "Trial drugs")
                category = next.categories.CategoryCode[c];
        int listed = 0;
        for (const tb::DrugIndex* index : { &next.TabletIndex, &next.FluidIndex })
            for (int k = 1; k <= index->count; ++k)
                listed += index->record[k] == record && index->category[k] == category;
        QCOMPARE(listed, 2); // once as a tablet and once as a fluid
    }
};

QTEST_MAIN(DrugDatabaseWindowTest)
#include "drug_database_window_test.moc"
