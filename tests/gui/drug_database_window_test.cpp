#include "gui/drugdb/drug_database_window.h"

#include "core/foundation/app_state.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

// The editor's rules are the core's (its own tests check them); here the controls are bound to them.
class DrugDatabaseWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        window.reset();
        prompts = {};
        folder = std::make_unique<tb::headless::TempFolder>();
        folder->copySampleDatabase(TB_SAMPLE_DIR);
        state = std::make_unique<tb::AppState>(std::make_unique<tb::ScriptedRandom>(), folder->path());
        window = std::make_unique<tb::DrugDatabaseWindow>(*state, prompts);
        window->show();
    }

    void syrupShowsTheVolumeBoxInsteadOfHalf()
    {
        click("next_1"); // a blank record: every row a tablet
        QVERIFY(!child<QCheckBox>("Check1_2")->isHidden() && box("noof_2")->isHidden());
        setType(2, "Syrup");
        QVERIFY(child<QCheckBox>("Check1_2")->isHidden() && box("noof_2")->isVisible());
        QCOMPARE(child<QLabel>("Label6_2")->text(), QStringLiteral("in"));
        QCOMPARE(child<QLabel>("Label11_2")->text(), QStringLiteral("ml"));
        QVERIFY(!child<QCheckBox>("Check1_1")->isHidden());
    }

    // A drug typed into the boxes is indexed on closing, in its new category, for the next start.
    void aNewDrugIsIndexedForTheNextStart()
    {
        const int record = window->editor().RecordTotal + 1;
        click("next_1");
        QCOMPARE(child<QLabel>("Recordno")->text(), QStringLiteral("%1 / %1").arg(record));
        setType(1, "Syrup");
        for (const auto& [name, text] :
            { std::pair { "Text1", "Testodrine" }, { "Text3_0", "200" }, { "Text3_1", "400" }, { "Increment", "20" },
                { "Dose_0", "2a0-0" }, { "Dose_1", "100" }, { "noof_1", "5" } })
            QTest::keyClicks(box(name), QString::fromLatin1(text));
        QCOMPARE(box("Dose_0")->text(), QStringLiteral("0200")); // typed after the blank record's 0: digits only
        QTest::keyClicks(child<QComboBox>("Cbcategory")->lineEdit(), "Trial drugs");
        prompts.yesNoAnswers = { true };
        QSignalSpy closed(window.get(), &tb::DrugDatabaseWindow::closed);
        click("Quit");
        QCOMPARE(closed.count(), 1);
        QCOMPARE(prompts.messages.size(), std::size_t(1)); // "You have created a new category ..."

        tb::AppState next { std::make_unique<tb::ProductionRandom>(), folder->path() };
        QVERIFY(!tb::loadStartupFiles(next).has_value());
        const int last = next.categories.CategoryCount;
        QCOMPARE(tb::trimmedRight(next.categories.CategoryName[last]), std::string("Trial drugs"));
        const int category = next.categories.CategoryCode[last];
        QCOMPARE(next.TabletIndex.record[next.TabletIndex.count], record);
        QCOMPARE(next.TabletIndex.category[next.TabletIndex.count], category);
        QCOMPARE(next.FluidIndex.record[next.FluidIndex.count], record);
        QCOMPARE(next.FluidIndex.category[next.FluidIndex.count], category);
    }

private:
    template <typename T> T* child(const char* name) const { return window->findChild<T*>(QString::fromLatin1(name)); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(name); }
    void click(const char* name) const { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }
    void setType(int row, const char* form) const
    {
        auto* type = window->findChild<QComboBox*>(QStringLiteral("Type_%1").arg(row));
        type->setCurrentIndex(type->findText(QString::fromLatin1(form)));
    }

    std::unique_ptr<tb::headless::TempFolder> folder;
    tb::headless::ScriptedPrompts prompts;
    std::unique_ptr<tb::AppState> state;
    std::unique_ptr<tb::DrugDatabaseWindow> window;
};

QTEST_MAIN(DrugDatabaseWindowTest)
#include "drug_database_window_test.moc"
