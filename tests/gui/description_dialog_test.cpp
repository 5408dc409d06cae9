#include "core/foundation/app_state.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/testbuilder/exam_model.h"
#include "gui/testbuilder/description_dialog.h"

#include <QtTest>
#include <QtWidgets>

class DescriptionDialogTest : public QObject {
    Q_OBJECT

private slots:
    // Enter is swallowed in the description and starts a line in the instructions; OK stores the
    // four fields trimmed.
    void okStoresTheFourFieldsTrimmed()
    {
        tb::headless::TempFolder folder;
        tb::AppState state { std::make_unique<tb::ProductionRandom>(), folder.path() };
        tb::headless::ScriptedPrompts prompts;
        tb::headless::QuietView view;
        tb::ExamModel model { state, prompts, view };
        model.header().MenuListed = 1;
        tb::DescriptionDialog dialog(model);
        dialog.show();
        const auto find = [&dialog](const char* name) { return dialog.findChild<QWidget*>(QString::fromLatin1(name)); };
        QTest::keyClicks(find("Txttitle"), QStringLiteral("   Fluids quiz  "));
        QTest::keyClicks(find("Txtdescription_0"), QStringLiteral("  Oral"));
        QTest::keyClick(find("Txtdescription_0"), Qt::Key_Return);
        QTest::keyClicks(find("Txtdescription_0"), QStringLiteral(" fluids only "));
        QTest::keyClicks(find("Txtdescription_1"), QStringLiteral(" Round to 1 decimal."));
        QTest::keyClick(find("Txtdescription_1"), Qt::Key_Return);
        QTest::keyClick(find("Txtdescription_1"), Qt::Key_Return);
        QTest::keyClicks(find("Txtdescription_1"), QStringLiteral("No calculators. "));
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(find("Check1"), Qt::LeftButton);
        QTest::mouseClick(find("cmdtitleaccept_0"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        const tb::TestHeader& h = model.header();
        QCOMPARE(tb::stripBlanks(h.TestTitle), std::string("Fluids quiz"));
        QCOMPARE(tb::stripBlanks(h.TestDescription), std::string("Oral fluids only"));
        QCOMPARE(tb::stripBlanks(h.TestInstructions), std::string("Round to 1 decimal.\r\n\r\nNo calculators."));
        QCOMPARE(h.MenuListed, 0);
    }
};

QTEST_MAIN(DescriptionDialogTest)
#include "description_dialog_test.moc"
