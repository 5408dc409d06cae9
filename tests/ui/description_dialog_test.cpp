#include "startup/app_state.h"
#include "support/fake_prompts.h"
#include "support/quiet_view.h"
#include "support/temp_folder.h"
#include "testbuilder/description_dialog.h"
#include "testbuilder/test_model.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using tb::DescriptionDialog;
using tb::TestModel;
using tb::testing::FakePrompts;
using tb::testing::QuietView;
using tb::testing::TempFolder;

namespace {

// Types each character as a key press carrying it, beyond Latin-1 as well.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void paste(QWidget* box, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
        edit->paste();
    else
        qobject_cast<QLineEdit*>(box)->paste();
}

} // namespace

class DescriptionDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        folder_ = std::make_unique<TempFolder>();
        state_ = std::make_unique<tb::AppState>(std::make_unique<tb::ProductionRandom>(), folder_->path());
        model_ = std::make_unique<TestModel>(*state_, prompts_, view_);
        tb::TestHeader& h = model_->header();
        h.TestTitle = "  Week 3 dosages  ";
        h.TestDescription = "  Tablets and fluids  ";
        h.TestInstructions = "  Show your working.\r\nUse a calculator.  ";
        h.MenuListed = 1;
        original_ = h;
        dialog_ = std::make_unique<DescriptionDialog>(*model_);
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    void cleanup()
    {
        dialog_.reset();
        model_.reset();
        state_.reset();
        folder_.reset();
    }

    void controlsShowTheTrimmedFields()
    {
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("Test Description"));
        QStringList labels;
        for (auto* label : dialog_->findChildren<QLabel*>())
            labels << label->text();
        QVERIFY(labels.contains(QStringLiteral("Title for test")));
        QVERIFY(labels.contains(QStringLiteral("A brief description of the test:")));
        QVERIFY(labels.contains(QStringLiteral("Test Instructions:")));
        QCOMPARE(title()->text(), QStringLiteral("Week 3 dosages"));
        QCOMPARE(box(0)->toPlainText(), QStringLiteral("Tablets and fluids"));
        QCOMPARE(box(1)->toPlainText(), QStringLiteral("Show your working.\nUse a calculator."));
        QCOMPARE(check()->text(), QStringLiteral("Include this test in Dosarion menu"));
        QVERIFY(check()->isChecked());
        QCOMPARE(button(0)->text(), QStringLiteral("&OK"));
        QCOMPARE(button(1)->text(), QStringLiteral("&Cancel"));
        QCOMPARE(box(1)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(box(0)->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }

    void menuListedOtherThanOneShowsUnticked()
    {
        model_->header().MenuListed = 2;
        DescriptionDialog dialog(*model_);
        QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("Check1"))->isChecked());
    }

    void enterIsSwallowedInTheDescriptionAndKeptInTheInstructions()
    {
        box(0)->clear();
        box(0)->setFocus();
        QTest::keyClicks(box(0), QStringLiteral("one"));
        QTest::keyClick(box(0), Qt::Key_Return);
        QTest::keyClick(box(0), Qt::Key_Enter);
        QTest::keyClicks(box(0), QStringLiteral(" two"));
        QCOMPARE(box(0)->toPlainText(), QStringLiteral("one two"));
        QVERIFY(dialog_->isVisible());

        box(1)->clear();
        box(1)->setFocus();
        QTest::keyClicks(box(1), QStringLiteral("Line 1"));
        QTest::keyClick(box(1), Qt::Key_Return);
        QTest::keyClicks(box(1), QStringLiteral("Line 2"));
        QVERIFY(dialog_->isVisible());
        QTest::mouseClick(button(0), Qt::LeftButton);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(model_->header().TestDescription.substr(0, 7), std::string("one two"));
        QCOMPARE(tb::stripBlanks(model_->header().TestInstructions), std::string("Line 1\r\nLine 2"));
    }

    void okStoresTheFourFieldsTrimmed()
    {
        title()->clear();
        title()->setFocus();
        QTest::keyClicks(title(), QStringLiteral("   Fluids quiz  "));
        box(0)->setPlainText(QStringLiteral("  Oral fluids only "));
        box(1)->setPlainText(QStringLiteral(" Round to 1 decimal.\n\nNo calculators. "));
        QTest::mouseClick(check(), Qt::LeftButton);
        QVERIFY(!check()->isChecked());
        QTest::mouseClick(button(0), Qt::LeftButton);

        const tb::TestHeader& h = model_->header();
        QCOMPARE(tb::stripBlanks(h.TestTitle), std::string("Fluids quiz"));
        QCOMPARE(tb::stripBlanks(h.TestDescription), std::string("Oral fluids only"));
        QCOMPARE(tb::stripBlanks(h.TestInstructions), std::string("Round to 1 decimal.\r\n\r\nNo calculators."));
        QCOMPARE(h.MenuListed, 0);
        QCOMPARE(view_.titleLabel, std::string("Fluids quiz"));
    }

    void enterInTheTitleAccepts()
    {
        title()->setFocus();
        title()->setText(QStringLiteral("Metric units"));
        QTest::keyClick(title(), Qt::Key_Return);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(tb::stripBlanks(model_->header().TestTitle), std::string("Metric units"));
    }

    void cancelAndEscapeLeaveAllFourFields_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }

    void cancelAndEscapeLeaveAllFourFields()
    {
        QFETCH(bool, byEscape);
        title()->setText(QStringLiteral("Changed"));
        box(0)->setPlainText(QStringLiteral("Changed"));
        box(1)->setPlainText(QStringLiteral("Changed"));
        check()->setChecked(false);
        if (byEscape) {
            box(1)->setFocus();
            QTest::keyClick(box(1), Qt::Key_Escape);
        } else {
            QTest::mouseClick(button(1), Qt::LeftButton);
        }
        QVERIFY(!dialog_->isVisible());
        const tb::TestHeader& h = model_->header();
        QCOMPARE(h.TestTitle, original_.TestTitle);
        QCOMPARE(h.TestDescription, original_.TestDescription);
        QCOMPARE(h.TestInstructions, original_.TestInstructions);
        QCOMPARE(h.MenuListed, original_.MenuListed);
    }

    void typingStopsAtEachLimit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("limit");
        QTest::newRow("title 40") << QStringLiteral("Txttitle") << 40;
        QTest::newRow("description 200") << QStringLiteral("Txtdescription_0") << 200;
        QTest::newRow("instructions 600") << QStringLiteral("Txtdescription_1") << 600;
    }

    void typingStopsAtEachLimit()
    {
        QFETCH(QString, name);
        QFETCH(int, limit);
        QWidget* widget = dialog_->findChild<QWidget*>(name);
        clearBox(widget);
        widget->setFocus();
        QTest::keyClicks(widget, QString(limit + 5, QLatin1Char('x')));
        QCOMPARE(text(widget).size(), qsizetype(limit));
        // Replacing a selection is still possible at the limit.
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
            edit->selectAll();
        else
            qobject_cast<QLineEdit*>(widget)->selectAll();
        QTest::keyClicks(widget, QStringLiteral("y"));
        QCOMPARE(text(widget), QStringLiteral("y"));
    }

    void pastingIsCutToEachLimit_data() { typingStopsAtEachLimit_data(); }

    void pastingIsCutToEachLimit()
    {
        QFETCH(QString, name);
        QFETCH(int, limit);
        QWidget* widget = dialog_->findChild<QWidget*>(name);
        clearBox(widget);
        widget->setFocus();
        QTest::keyClicks(widget, QStringLiteral("ab"));
        paste(widget, QString(limit, QLatin1Char('z')));
        QCOMPARE(text(widget), QStringLiteral("ab") + QString(limit - 2, QLatin1Char('z')));
    }

    void aLineBreakCountsTwoInTheInstructions()
    {
        // The instructions are stored with CR LF, so a line break takes two of the 600.
        box(1)->clear();
        box(1)->setFocus();
        QTest::keyClicks(box(1), QString(597, QLatin1Char('a')));
        QTest::keyClick(box(1), Qt::Key_Return);
        QCOMPARE(box(1)->toPlainText(), QString(597, QLatin1Char('a')) + QLatin1Char('\n'));
        QTest::keyClicks(box(1), QStringLiteral("bc"));
        QCOMPARE(box(1)->toPlainText(), QString(597, QLatin1Char('a')) + QStringLiteral("\nb"));
        QTest::keyClick(box(1), Qt::Key_Return);
        QCOMPARE(box(1)->toPlainText().size(), qsizetype(599));

        box(1)->clear();
        paste(box(1), QString(597, QLatin1Char('a')) + QStringLiteral("\r\nb\nc"));
        QCOMPARE(box(1)->toPlainText(), QString(597, QLatin1Char('a')) + QStringLiteral("\nb"));
        QTest::mouseClick(button(0), Qt::LeftButton);
        QCOMPARE(tb::stripBlanks(model_->header().TestInstructions).size(), std::size_t(600));
    }

    void pastedLineBreaksStayOutOfTheDescription()
    {
        box(0)->clear();
        paste(box(0), QStringLiteral("first\r\nsecond\nthird"));
        QCOMPARE(box(0)->toPlainText(), QStringLiteral("first second third"));
    }

    void charactersWindows1252LacksAreRefusedOrReplaced_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("title") << QStringLiteral("Txttitle");
        QTest::newRow("description") << QStringLiteral("Txtdescription_0");
        QTest::newRow("instructions") << QStringLiteral("Txtdescription_1");
    }

    void charactersWindows1252LacksAreRefusedOrReplaced()
    {
        QFETCH(QString, name);
        QWidget* widget = dialog_->findChild<QWidget*>(name);
        clearBox(widget);
        widget->setFocus();
        // The micro sign and the euro sign are Windows-1252; the Greek mu and a
        // macron a are not.
        typeText(widget, QString::fromUtf8("5 \u00B5g \u20AC \u03BC\u0101!"));
        QCOMPARE(text(widget), QString::fromUtf8("5 \u00B5g \u20AC !"));
        clearBox(widget);
        paste(widget, QString::fromUtf8("x\u03BCy\u00B5z"));
        QCOMPARE(text(widget), QString::fromUtf8("x?y\u00B5z"));

        QTest::mouseClick(button(0), Qt::LeftButton);
        const tb::TestHeader& h = model_->header();
        const std::string stored = name == QLatin1String("Txttitle") ? h.TestTitle
            : name == QLatin1String("Txtdescription_0")              ? h.TestDescription
                                                                     : h.TestInstructions;
        QCOMPARE(tb::stripBlanks(stored), std::string("x?y\xB5z"));
    }

    void tabMovesThroughTheBoxes()
    {
        title()->setFocus();
        QTest::keyClick(title(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(box(0)));
        QTest::keyClick(box(0), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(box(1)));
        QTest::keyClick(box(1), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(check()));
        QVERIFY(!box(0)->toPlainText().contains(QLatin1Char('\t')));
    }

private:
    QLineEdit* title() const { return dialog_->findChild<QLineEdit*>(QStringLiteral("Txttitle")); }
    QPlainTextEdit* box(int i) const
    {
        return dialog_->findChild<QPlainTextEdit*>(QStringLiteral("Txtdescription_%1").arg(i));
    }
    QCheckBox* check() const { return dialog_->findChild<QCheckBox*>(QStringLiteral("Check1")); }
    QPushButton* button(int i) const
    {
        return dialog_->findChild<QPushButton*>(QStringLiteral("cmdtitleaccept_%1").arg(i));
    }
    static QString text(QWidget* widget)
    {
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
            return edit->toPlainText();
        return qobject_cast<QLineEdit*>(widget)->text();
    }
    static void clearBox(QWidget* widget)
    {
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
            edit->clear();
        else
            qobject_cast<QLineEdit*>(widget)->clear();
    }

    std::unique_ptr<TempFolder> folder_;
    std::unique_ptr<tb::AppState> state_;
    FakePrompts prompts_;
    QuietView view_;
    std::unique_ptr<TestModel> model_;
    tb::TestHeader original_;
    std::unique_ptr<DescriptionDialog> dialog_;
};

QTEST_MAIN(DescriptionDialogTest)
#include "description_dialog_test.moc"
