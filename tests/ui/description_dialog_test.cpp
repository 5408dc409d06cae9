#include "startup/app_state.h"
#include "support/fake_prompts.h"
#include "support/quiet_view.h"
#include "support/temp_folder.h"
#include "testbuilder/description_dialog.h"
#include "testbuilder/exam_model.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// A dialog opened on a header whose fields carry blanks around them.
struct Dialog {
    Dialog()
    {
        tb::TestHeader& h = model.header();
        h.TestTitle = "  Week 3 dosages  ";
        h.TestDescription = "  Tablets and fluids  ";
        h.TestInstructions = "  Show your working.\r\nUse a calculator.  ";
        h.MenuListed = 1;
        original = h;
        dialog = std::make_unique<tb::DescriptionDialog>(model);
        dialog->show();
    }
    QLineEdit* title() const { return dialog->findChild<QLineEdit*>(QStringLiteral("Txttitle")); }
    QPlainTextEdit* box(int i) const
    {
        return dialog->findChild<QPlainTextEdit*>(QStringLiteral("Txtdescription_%1").arg(i));
    }
    QCheckBox* check() const { return dialog->findChild<QCheckBox*>(QStringLiteral("Check1")); }
    void click(int i) const
    {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdtitleaccept_%1").arg(i)), Qt::LeftButton);
    }

    tb::testing::TempFolder folder;
    tb::AppState state { std::make_unique<tb::ProductionRandom>(), folder.path() };
    tb::testing::FakePrompts prompts;
    tb::testing::QuietView view;
    tb::ExamModel model { state, prompts, view };
    tb::TestHeader original;
    std::unique_ptr<tb::DescriptionDialog> dialog;
};

} // namespace

class DescriptionDialogTest : public QObject {
    Q_OBJECT

private slots:
    // Enter is swallowed in the description and starts a line in the instructions.
    void okStoresTheFourFieldsTrimmed()
    {
        Dialog d;
        d.title()->clear();
        QTest::keyClicks(d.title(), QStringLiteral("   Fluids quiz  "));
        d.box(0)->clear();
        QTest::keyClicks(d.box(0), QStringLiteral("  Oral"));
        QTest::keyClick(d.box(0), Qt::Key_Return);
        QTest::keyClicks(d.box(0), QStringLiteral(" fluids only "));
        d.box(1)->clear();
        QTest::keyClicks(d.box(1), QStringLiteral(" Round to 1 decimal."));
        QTest::keyClick(d.box(1), Qt::Key_Return);
        QTest::keyClick(d.box(1), Qt::Key_Return);
        QTest::keyClicks(d.box(1), QStringLiteral("No calculators. "));
        QVERIFY(d.dialog->isVisible());
        QTest::mouseClick(d.check(), Qt::LeftButton);
        d.click(0);
        QVERIFY(!d.dialog->isVisible());
        const tb::TestHeader& h = d.model.header();
        QCOMPARE(tb::stripBlanks(h.TestTitle), std::string("Fluids quiz"));
        QCOMPARE(tb::stripBlanks(h.TestDescription), std::string("Oral fluids only"));
        QCOMPARE(tb::stripBlanks(h.TestInstructions), std::string("Round to 1 decimal.\r\n\r\nNo calculators."));
        QCOMPARE(h.MenuListed, 0);
    }

    void cancelLeavesAllFourFields()
    {
        Dialog d;
        d.title()->setText(QStringLiteral("Changed"));
        d.box(0)->setPlainText(QStringLiteral("Changed"));
        d.box(1)->setPlainText(QStringLiteral("Changed"));
        d.check()->setChecked(false);
        d.click(1);
        QVERIFY(!d.dialog->isVisible());
        QVERIFY(d.model.header().pack() == d.original.pack());
    }

    void typingStopsAtEachLimit()
    {
        for (const auto& [name, limit] :
            { std::pair { "Txttitle", 40 }, { "Txtdescription_0", 200 }, { "Txtdescription_1", 600 } }) {
            Dialog d;
            QWidget* box = d.dialog->findChild<QWidget*>(QString::fromLatin1(name));
            QMetaObject::invokeMethod(box, "clear");
            QTest::keyClicks(box, QString(limit + 5, QLatin1Char('x')));
            QCOMPARE(box->property(box->inherits("QLineEdit") ? "text" : "plainText").toString().size(), limit);
        }
    }
};

QTEST_MAIN(DescriptionDialogTest)
#include "description_dialog_test.moc"
