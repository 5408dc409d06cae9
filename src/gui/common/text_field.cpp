#include "gui/common/text_field.h"

#include "gui/common/program_text.h"

#include <QLineEdit>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>

namespace tb {

namespace {

QString withNewlines(QString text)
{
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace

FieldEdit::FieldEdit(QWidget* parent)
    : QPlainTextEdit(parent)
{
}

QSize FieldEdit::sizeHint() const
{
    return preferred_.isValid() ? preferred_ : QPlainTextEdit::sizeHint();
}

QString FieldEdit::rawText() const
{
    return withNewlines(document()->toRawText());
}

void FieldEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText())
        return;
    const QString text = fitter_ ? fitter_(source->text()) : source->text();
    textCursor().insertText(text);
    ensureCursorVisible();
}

TextField::TextField(FieldEdit* edit, std::size_t limit)
    : edit_(edit)
    , limit_(limit)
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
    QString text = incoming;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!multiLine())
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const std::size_t used = stored().size() - toStored(selected(), multiLine()).size();
    const std::size_t room = limit_ > used ? limit_ - used : 0;
    return toDisplay(cutStored(toStored(text, multiLine()), room), multiLine());
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
