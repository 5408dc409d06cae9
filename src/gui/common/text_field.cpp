#include "gui/common/text_field.h"

#include "gui/common/program_text.h"

#include "core/foundation/cp1252.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <QValidator>

#include <limits>

namespace tb {

namespace {

QString withNewlines(QString text)
{
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

// What of `incoming` a box takes into `room` stored characters: line ends become the box's
// own (blanks where it keeps no line breaks), characters Windows-1252 lacks "?", and the
// rest is cut without splitting a line break's two stored characters.
QString fitInto(const QString& incoming, bool lineBreaks, std::size_t room, bool* cut = nullptr)
{
    QString text = incoming;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!lineBreaks)
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const std::string bytes = toStored(text, lineBreaks);
    if (cut)
        *cut = bytes.size() > room;
    return toDisplay(cutStored(bytes, room), lineBreaks);
}

// Control shortcuts (copy, paste, select all) type nothing; Ctrl+Alt is AltGr on some
// keyboards and types characters like any other key.
bool isShortcut(const QKeyEvent& key)
{
    const auto modifiers = key.modifiers();
    return (modifiers & (Qt::ControlModifier | Qt::MetaModifier)) && !(modifiers & Qt::AltModifier);
}

// Text that inserts characters, as opposed to a control key or a shortcut.
bool isTyping(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!c.isPrint())
            return false;
    return true;
}

// Whether a typed key carries a character the box does not take: one Windows-1252 lacks,
// or one the box's filter drops.
bool refusesCharacters(const QKeyEvent& key, const FieldOptions& options)
{
    const QString text = key.text();
    if (text.isEmpty() || isShortcut(key))
        return false;
    for (const char32_t codePoint : text.toUcs4()) {
        if (!cp1252Holds(codePoint))
            return true;
        if (options.keeps && !options.keeps(static_cast<unsigned char>(cp1252Byte(codePoint))))
            return true;
    }
    return false;
}

void refuseWith(Refusal refusal)
{
    if (refusal == Refusal::Beep)
        QApplication::beep();
}

class UnheldAsQuestionMark final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        if (!holdsOnlyProgramCharacters(input))
            input = toDisplay(toStored(input, false), false);
        return Acceptable;
    }
};

} // namespace

// ---------------------------------------------------------------- multi-line

FieldEdit::FieldEdit(QWidget* parent, FieldOptions options)
    : QPlainTextEdit(parent)
    , options_(std::move(options))
{
    setTabChangesFocus(true);
}

QSize FieldEdit::sizeHint() const
{
    return preferred_.isValid() ? preferred_ : QPlainTextEdit::sizeHint();
}

QString FieldEdit::rawText() const
{
    return withNewlines(document()->toRawText());
}

std::size_t FieldEdit::room() const
{
    if (options_.limit == 0)
        return std::numeric_limits<std::size_t>::max();
    const std::size_t used
        = toStored(rawText(), true).size() - toStored(withNewlines(textCursor().selectedText()), true).size();
    return options_.limit > used ? options_.limit - used : 0;
}

void FieldEdit::refuse() const
{
    refuseWith(options_.refusal);
}

void FieldEdit::keyPressEvent(QKeyEvent* event)
{
    if (options_.refusal == Refusal::Unguarded) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (options_.lineBreaks && room() >= 2 && !(event->modifiers() & Qt::ControlModifier))
            insertPlainText(QStringLiteral("\n"));
        else if (options_.lineBreaks)
            refuse();
        event->accept();
        return;
    }
    const QString text = event->text();
    if (refusesCharacters(*event, options_) || (isTyping(text) && toStored(text, true).size() > room())) {
        refuse();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void FieldEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    if (options_.refusal != Refusal::Unguarded && !commit.isEmpty()
        && (!holdsOnlyProgramCharacters(commit) || toStored(commit, true).size() > room())) {
        QInputMethodEvent refused(event->preeditString(), event->attributes());
        refused.setCommitString(QString(), event->replacementStart(), event->replacementLength());
        refuse();
        QPlainTextEdit::inputMethodEvent(&refused);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

bool FieldEdit::canInsertFromMimeData(const QMimeData* source) const
{
    return source && source->hasText();
}

void FieldEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText())
        return;
    bool cut = false;
    const QString text = fitInto(source->text(), options_.lineBreaks, room(), &cut);
    if (cut)
        refuse();
    if (text.isEmpty() && !textCursor().hasSelection())
        return;
    textCursor().insertText(text);
    ensureCursorVisible();
}

// ---------------------------------------------------------------- one line

LineField::LineField(QWidget* parent, FieldOptions options)
    : QLineEdit(parent)
    , options_(std::move(options))
{
    if (options_.limit > 0)
        setMaxLength(static_cast<int>(options_.limit));
    if (options_.marksPasted)
        setValidator(new UnheldAsQuestionMark(this));
}

void LineField::keyPressEvent(QKeyEvent* event)
{
    if (options_.refusal != Refusal::Unguarded && refusesCharacters(*event, options_)) {
        refuseWith(options_.refusal);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// ---------------------------------------------------------------- a window's field

TextField::TextField(FieldEdit* edit)
    : edit_(edit)
    , limit_(edit->options().limit)
{
}

TextField::TextField(QLineEdit* line, std::size_t limit)
    : line_(line)
    , limit_(limit)
{
}

QWidget* TextField::widget() const
{
    return edit_ ? static_cast<QWidget*>(edit_) : static_cast<QWidget*>(line_);
}

QString TextField::text() const
{
    return edit_ ? edit_->rawText() : line_->text();
}

void TextField::setText(const QString& text)
{
    if (edit_)
        edit_->setPlainText(text);
    else
        line_->setText(text);
}

std::string TextField::stored() const
{
    return toStored(text(), multiLine());
}

QString TextField::selected() const
{
    return edit_ ? withNewlines(edit_->textCursor().selectedText()) : line_->selectedText();
}

bool TextField::hasRoomFor(std::size_t adding) const
{
    const std::size_t used = stored().size() - toStored(selected(), multiLine()).size();
    return used + adding <= limit_;
}

QString TextField::fit(const QString& incoming) const
{
    const std::size_t used = stored().size() - toStored(selected(), multiLine()).size();
    return fitInto(incoming, multiLine(), limit_ > used ? limit_ - used : 0);
}

void TextField::insert(const QString& text)
{
    const QString fitted = fit(text);
    if (edit_) {
        edit_->textCursor().insertText(fitted);
        edit_->ensureCursorVisible();
    } else {
        line_->insert(fitted);
    }
}

} // namespace tb
