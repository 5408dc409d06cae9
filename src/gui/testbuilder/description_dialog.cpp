#include "gui/testbuilder/description_dialog.h"

#include "gui/common/program_text.h"

#include "core/foundation/cp1252.h"
#include "core/testbuilder/exam_model.h"
#include "gui/common/centreform.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace tb {

namespace {

bool holdsAll(const QString& text)
{
    for (const char32_t cp : text.toUcs4())
        if (!cp1252Holds(cp))
            return false;
    return true;
}

// A character Windows-1252 lacks becomes "?", as everywhere text enters the program.
QString replaceUnheld(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t cp : text.toUcs4()) {
        if (cp1252Holds(cp))
            out += QString::fromUcs4(&cp, 1);
        else
            out += QLatin1Char('?');
    }
    return out;
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

// How many characters a box's text takes in the test file: a line break is stored
// as CR LF and counts two.
qsizetype storedLength(const QString& text)
{
    return text.size() + text.count(QLatin1Char('\n'));
}

/// A multi-line box with a length limit that holds while typing, pasting and dropping,
/// and that takes only characters Windows-1252 has. Without `acceptsEnter` the Enter
/// key inserts nothing and pasted line breaks become blanks, so the text stays one
/// paragraph.
class LimitedTextBox final : public QPlainTextEdit {
public:
    LimitedTextBox(qsizetype maxLength, bool acceptsEnter, QWidget* parent)
        : QPlainTextEdit(parent)
        , maxLength_(maxLength)
        , acceptsEnter_(acceptsEnter)
    {
        setTabChangesFocus(true);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (acceptsEnter_ && room() >= 2 && !(event->modifiers() & Qt::ControlModifier))
                insertPlainText(QStringLiteral("\n"));
            else if (acceptsEnter_)
                QApplication::beep();
            event->accept();
            return;
        }
        const QString text = event->text();
        if (isTyping(text)) {
            if (!holdsAll(text) || storedLength(text) > room()) {
                QApplication::beep();
                event->accept();
                return;
            }
        }
        QPlainTextEdit::keyPressEvent(event);
    }

    void inputMethodEvent(QInputMethodEvent* event) override
    {
        const QString commit = event->commitString();
        if (!commit.isEmpty() && (!holdsAll(commit) || storedLength(commit) > room())) {
            QInputMethodEvent refused(event->preeditString(), event->attributes());
            refused.setCommitString(QString(), event->replacementStart(), event->replacementLength());
            QApplication::beep();
            QPlainTextEdit::inputMethodEvent(&refused);
            return;
        }
        QPlainTextEdit::inputMethodEvent(event);
    }

    bool canInsertFromMimeData(const QMimeData* source) const override { return source->hasText(); }

    void insertFromMimeData(const QMimeData* source) override
    {
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (!acceptsEnter_)
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text = replaceUnheld(text);
        // Cut what does not fit, never splitting a line break's two stored characters.
        const qsizetype available = room();
        qsizetype used = 0;
        qsizetype keep = 0;
        while (keep < text.size()) {
            const qsizetype step = text[keep] == QLatin1Char('\n') ? 2 : 1;
            if (used + step > available)
                break;
            used += step;
            ++keep;
        }
        if (keep < text.size())
            QApplication::beep();
        if (keep > 0 || textCursor().hasSelection())
            insertPlainText(text.left(keep));
    }

private:
    // How many stored characters may still be added in place of the selection.
    qsizetype room() const
    {
        const QString selected = textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        return maxLength_ - (storedLength(toPlainText()) - storedLength(selected));
    }

    qsizetype maxLength_;
    bool acceptsEnter_;
};

/// The title box: typed characters Windows-1252 lacks are refused; pasted ones
/// become "?" through the validator.
class TitleBox final : public QLineEdit {
public:
    explicit TitleBox(QWidget* parent)
        : QLineEdit(parent)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const QString text = event->text();
        if (isTyping(text) && !holdsAll(text)) {
            QApplication::beep();
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
};

class Cp1252Validator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        if (!holdsAll(input))
            input = replaceUnheld(input);
        return Acceptable;
    }
};

QString shown(const std::string& field)
{
    return toDisplay(stripBlanks(field), true);
}

std::string stored(const QString& text)
{
    return stripBlanks(toStored(text, true));
}

} // namespace

DescriptionDialog::DescriptionDialog(ExamModel& model, QWidget* parent)
    : QDialog(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("Frmtitle"));
    setWindowTitle(QStringLiteral("Test Description"));
    setModal(true);
    createWidgets();
    connectWidgets();
    centreform(*this);

    const TestHeader& header = model_.header();
    Txttitle_->setText(shown(header.TestTitle));
    Txtdescription_[0]->setPlainText(shown(header.TestDescription));
    Txtdescription_[1]->setPlainText(shown(header.TestInstructions));
    Check1_->setChecked(header.MenuListed == 1);
}

void DescriptionDialog::createWidgets()
{
    auto* titleLabel = new QLabel(QStringLiteral("Title for test"), this);
    Txttitle_ = new TitleBox(this);
    Txttitle_->setObjectName(QStringLiteral("Txttitle"));
    Txttitle_->setMaxLength(static_cast<int>(TitleWidth));
    Txttitle_->setValidator(new Cp1252Validator(Txttitle_));
    titleLabel->setBuddy(Txttitle_);

    auto* descriptionLabel = new QLabel(QStringLiteral("A brief description of the test:"), this);
    Txtdescription_[0] = new LimitedTextBox(200, false, this);
    Txtdescription_[0]->setObjectName(QStringLiteral("Txtdescription_0"));
    Txtdescription_[0]->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Txtdescription_[0]->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Txtdescription_[0]->setFixedHeight(Txtdescription_[0]->fontMetrics().lineSpacing() * 4 + 12);
    descriptionLabel->setBuddy(Txtdescription_[0]);

    auto* instructionsLabel = new QLabel(QStringLiteral("Test Instructions:"), this);
    Txtdescription_[1] = new LimitedTextBox(600, true, this);
    Txtdescription_[1]->setObjectName(QStringLiteral("Txtdescription_1"));
    Txtdescription_[1]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Txtdescription_[1]->setMinimumHeight(Txtdescription_[1]->fontMetrics().lineSpacing() * 8 + 12);
    instructionsLabel->setBuddy(Txtdescription_[1]);

    Check1_ = new QCheckBox(QStringLiteral("Include this test in Dosarion menu"), this);
    Check1_->setObjectName(QStringLiteral("Check1"));

    cmdtitleaccept_[0] = new QPushButton(QStringLiteral("&OK"), this);
    cmdtitleaccept_[0]->setObjectName(QStringLiteral("cmdtitleaccept_0"));
    cmdtitleaccept_[1] = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdtitleaccept_[1]->setObjectName(QStringLiteral("cmdtitleaccept_1"));
    // Enter in the title box accepts; the two multi-line boxes keep Enter to themselves.
    cmdtitleaccept_[0]->setDefault(true);
    cmdtitleaccept_[1]->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdtitleaccept_[0]);
    buttons->addWidget(cmdtitleaccept_[1]);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel);
    layout->addWidget(Txttitle_);
    layout->addSpacing(6);
    layout->addWidget(descriptionLabel);
    layout->addWidget(Txtdescription_[0]);
    layout->addSpacing(6);
    layout->addWidget(instructionsLabel);
    layout->addWidget(Txtdescription_[1], 1);
    layout->addWidget(Check1_);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    setMinimumWidth(460);
    Txttitle_->setFocus();
}

void DescriptionDialog::connectWidgets()
{
    connect(cmdtitleaccept_[0], &QPushButton::clicked, this, [this] { cmdtitleaccept_Click(0); });
    connect(cmdtitleaccept_[1], &QPushButton::clicked, this, [this] { cmdtitleaccept_Click(1); });
}

void DescriptionDialog::cmdtitleaccept_Click(int index)
{
    if (index == 0) {
        model_.acceptDescription(stored(Txttitle_->text()), stored(Txtdescription_[0]->toPlainText()),
            stored(Txtdescription_[1]->toPlainText()), Check1_->isChecked() ? 1 : 0);
        accept();
    } else {
        reject();
    }
}

} // namespace tb
