#include "gui/testbuilder/description_dialog.h"

#include "gui/common/program_text.h"
#include "gui/common/text_field.h"

#include "core/testbuilder/exam_model.h"
#include "gui/common/centreform.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

namespace {

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
    // A typed character Windows-1252 lacks is refused with a beep; a pasted one becomes "?".
    Txttitle_ = new LineField(this, { .limit = TitleWidth, .refusal = Refusal::Beep, .marksPasted = true });
    Txttitle_->setObjectName(QStringLiteral("Txttitle"));
    titleLabel->setBuddy(Txttitle_);

    auto* descriptionLabel = new QLabel(QStringLiteral("A brief description of the test:"), this);
    // The description stays one paragraph: Enter types nothing, pasted line breaks become blanks.
    Txtdescription_[0] = new FieldEdit(this, { .limit = 200, .lineBreaks = false, .refusal = Refusal::Beep });
    Txtdescription_[0]->setObjectName(QStringLiteral("Txtdescription_0"));
    Txtdescription_[0]->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Txtdescription_[0]->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Txtdescription_[0]->setFixedHeight(Txtdescription_[0]->fontMetrics().lineSpacing() * 4 + 12);
    descriptionLabel->setBuddy(Txtdescription_[0]);

    auto* instructionsLabel = new QLabel(QStringLiteral("Test Instructions:"), this);
    Txtdescription_[1] = new FieldEdit(this, { .limit = 600, .refusal = Refusal::Beep });
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
