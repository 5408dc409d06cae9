#include "gui/drugdb/weight_dose_dialog.h"

#include <QtTest>
#include <QtWidgets>

class WeightDoseDialogTest : public QObject {
    Q_OBJECT

private slots:
    // The boxes show the stored dose; OK hands back what the side file reads, a daily dose with
    // its number of doses.
    void okGivesTheDoseOfTheBoxes()
    {
        const tb::WeightDose stored { "ibuprofen", 5, 10, 0, "WHO Model Formulary for Children 2010" };
        tb::WeightDoseDialog dialog("ibuprofen", stored);
        dialog.show();
        QCOMPARE(edit(dialog, "Txtweight_0")->text(), QStringLiteral("5"));
        QCOMPARE(edit(dialog, "Txtweight_1")->text(), QStringLiteral("10"));
        QVERIFY(!edit(dialog, "Txtweight_2")->isEnabled());
        edit(dialog, "Txtweight_1")->clear();
        QTest::keyClicks(edit(dialog, "Txtweight_1"), QStringLiteral("3x0"));
        QTest::mouseClick(dialog.findChild<QRadioButton*>(QStringLiteral("Optweight_1")), Qt::LeftButton);
        QTest::keyClicks(edit(dialog, "Txtweight_2"), QStringLiteral("93"));
        QCOMPARE(edit(dialog, "Txtweight_2")->text(), QStringLiteral("3"));
        click(dialog, "Cmdweight_0");
        QCOMPARE(dialog.outcome(), tb::WeightDoseDialog::Outcome::Stored);
        QCOMPARE(dialog.dose(),
            std::optional<tb::WeightDose>(
                tb::WeightDose { "ibuprofen", 5, 30, 3, "WHO Model Formulary for Children 2010" }));
    }

    // A dose that does not parse stays in the open dialog with the reason; Remove needs a stored dose.
    void badDoseIsRefusedAndRemoveNeedsAStoredOne()
    {
        tb::WeightDoseDialog dialog("paracetamol", std::nullopt);
        dialog.show();
        QVERIFY(!button(dialog, "Cmdweight_1")->isEnabled());
        QTest::keyClicks(edit(dialog, "Txtweight_0"), QStringLiteral("15"));
        click(dialog, "Cmdweight_0");
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Lblweight"))->text(),
            QStringLiteral("Not stored: it names no source."));
        QTest::keyClicks(edit(dialog, "Txtweight_3"), QStringLiteral("BNF for Children 2024-25"));
        click(dialog, "Cmdweight_0");
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.dose()->highPerKg, 15.0);

        tb::WeightDoseDialog again("paracetamol", dialog.dose());
        again.show();
        click(again, "Cmdweight_1");
        QCOMPARE(again.outcome(), tb::WeightDoseDialog::Outcome::Removed);
        QVERIFY(!again.dose());
    }

private:
    static QLineEdit* edit(QDialog& d, const char* name) { return d.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    static QPushButton* button(QDialog& d, const char* name)
    {
        return d.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    static void click(QDialog& d, const char* name) { QTest::mouseClick(button(d, name), Qt::LeftButton); }
};

QTEST_MAIN(WeightDoseDialogTest)
#include "weight_dose_dialog_test.moc"
