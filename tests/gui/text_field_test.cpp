#include "core/foundation/app_state.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/testbuilder/exam_model.h"
#include "gui/common/text_field.h"
#include "gui/drugdb/drug_database_window.h"
#include "gui/testbuilder/description_dialog.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

// U+03A9 has no Windows-1252 byte; U+20AC (the euro sign) has one, 0x80.
const QString omega = QString(QChar(0x03A9));
const QString euro = QString(QChar(0x20AC));

void paste(QWidget* box, const QString& text)
{
    QApplication::clipboard()->setText(text);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
        edit->paste();
    else
        qobject_cast<QLineEdit*>(box)->paste();
}

// Types each character as a key press; QTest types Latin-1 only.
void type(QWidget* box, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
}

QString textOf(QWidget* box)
{
    if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
        return edit->toPlainText();
    return qobject_cast<QLineEdit*>(box)->text();
}

} // namespace

// Every window's boxes keep Windows-1252 and their limits, each in its own way.
class TextFieldTest : public QObject {
    Q_OBJECT

private slots:
    // A box of the window's own keeps its limit: a pasted line break never leaves half of
    // its CR LF behind, and a character Windows-1252 lacks arrives as "?".
    void pastedTextIsFittedToTheLimit()
    {
        tb::FieldEdit edit(nullptr, { .limit = 4 });
        paste(&edit, QStringLiteral("abc\r\ndef"));
        QCOMPARE(edit.rawText(), QStringLiteral("abc"));
        edit.clear();
        edit.setOptions({ .limit = 6 });
        paste(&edit, QStringLiteral("a\rb") + omega + euro + QStringLiteral("cd"));
        QCOMPARE(edit.rawText(), QStringLiteral("a\nb?") + euro);
    }

    void descriptionDialogRefusesWhatDoesNotFit()
    {
        tb::headless::TempFolder folder;
        tb::AppState state { std::make_unique<tb::ProductionRandom>(), folder.path() };
        tb::headless::ScriptedPrompts prompts;
        tb::headless::QuietView view;
        tb::ExamModel model { state, prompts, view };
        tb::DescriptionDialog dialog(model);
        dialog.show();
        const auto find = [&dialog](const char* name) { return dialog.findChild<QWidget*>(QString::fromLatin1(name)); };

        // Typed, a character Windows-1252 lacks is refused; pasted into the title it becomes "?".
        type(find("Txttitle"), QStringLiteral("a") + omega + euro);
        type(find("Txtdescription_0"), omega + QStringLiteral("b"));
        QCOMPARE(textOf(find("Txttitle")), QStringLiteral("a") + euro);
        QCOMPARE(textOf(find("Txtdescription_0")), QStringLiteral("b"));
        paste(find("Txttitle"), omega);
        QCOMPARE(textOf(find("Txttitle")), QStringLiteral("a") + euro + QStringLiteral("?"));

        // The description stays one paragraph; a full box takes no more, typed or pasted.
        paste(find("Txtdescription_0"), QStringLiteral("1\r\n2\n") + QString(196, QLatin1Char('x')));
        QCOMPARE(textOf(find("Txtdescription_0")), QStringLiteral("b1 2 ") + QString(195, QLatin1Char('x')));
        type(find("Txtdescription_0"), QStringLiteral("y"));
        paste(find("Txtdescription_0"), QStringLiteral("z"));
        QCOMPARE(textOf(find("Txtdescription_0")).size(), 200);

        // In the instructions a line break counts two: with one place left Enter is refused.
        auto* instructions = find("Txtdescription_1");
        paste(instructions, QString(599, QLatin1Char('x')));
        QTest::keyClick(instructions, Qt::Key_Return);
        paste(instructions, QStringLiteral("\n"));
        QCOMPARE(textOf(instructions), QString(599, QLatin1Char('x')));
        QTest::keyClick(instructions, Qt::Key_Backspace);
        QTest::keyClick(instructions, Qt::Key_Return);
        QCOMPARE(textOf(instructions), QString(598, QLatin1Char('x')) + QStringLiteral("\n"));
    }

    void drugEditorDropsTypedCharactersWindows1252Lacks()
    {
        tb::headless::TempFolder folder;
        folder.copySampleDatabase(TB_SAMPLE_DIR);
        tb::AppState state { std::make_unique<tb::ScriptedRandom>(), folder.path() };
        tb::headless::ScriptedPrompts prompts;
        tb::DrugDatabaseWindow window(state, prompts);
        window.show();
        QTest::mouseClick(window.findChild<QAbstractButton*>(QStringLiteral("next_1")), Qt::LeftButton);

        auto* name = window.findChild<QLineEdit*>(QStringLiteral("Text1"));
        type(name, QStringLiteral("A") + omega + euro);
        QCOMPARE(name->text(), QStringLiteral("A") + euro);
        // Typed into the category list, the keys reach its box through the list.
        auto* category = window.findChild<QComboBox*>(QStringLiteral("Cbcategory"));
        type(category, QStringLiteral("B") + omega);
        QCOMPARE(category->currentText(), QStringLiteral("B"));
        // Pasted text is left as it came; the record stores what Windows-1252 lacks as "?".
        paste(name, omega);
        QCOMPARE(name->text(), QStringLiteral("A") + euro + omega);
    }
};

QTEST_MAIN(TextFieldTest)
#include "text_field_test.moc"
