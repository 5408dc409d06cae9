#include "gui/drugdb/weight_dose_dialog.h"

#include "core/foundation/field_codec.h"
#include "core/foundation/number_format.h"
#include "gui/common/centreform.h"
#include "gui/common/program_text.h"
#include "gui/common/text_field.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tb {

namespace {

// The number boxes take digits and a decimal point only.
bool numberKey(unsigned char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

} // namespace

WeightDoseDialog::WeightDoseDialog(std::string genericName, const std::optional<WeightDose>& current, QWidget* parent)
    : QDialog(parent)
    , genericName_(std::move(genericName))
{
    setObjectName(QStringLiteral("Frmweight"));
    setWindowTitle(QStringLiteral("Weight Dose - ") + fromProgram(genericName_));
    setModal(true);
    createWidgets();
    connectWidgets();
    centreform(*this);
    if (current) {
        Txtweight_[0]->setText(fromProgram(formatNumber(current->lowPerKg)));
        if (current->highPerKg != current->lowPerKg)
            Txtweight_[1]->setText(fromProgram(formatNumber(current->highPerKg)));
        Txtweight_[2]->setText(current->perDay() ? QString::number(current->dosesPerDay) : QString());
        Txtweight_[3]->setText(fromProgram(current->source));
    }
    Optweight_[current && current->perDay() ? 1 : 0]->setChecked(true);
    Cmdweight_[1]->setEnabled(current.has_value());
    showTiming();
}

void WeightDoseDialog::createWidgets()
{
    const auto box = [this](int i, FieldOptions options) {
        Txtweight_[static_cast<std::size_t>(i)] = new LineField(this, std::move(options));
        Txtweight_[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("Txtweight_%1").arg(i));
        return Txtweight_[static_cast<std::size_t>(i)];
    };
    box(0, { .limit = 10, .refusal = Refusal::Beep, .keeps = numberKey });
    box(1, { .limit = 10, .refusal = Refusal::Beep, .keeps = numberKey });
    box(2, { .limit = 1, .refusal = Refusal::Beep, .keeps = [](unsigned char c) { return c >= '2' && c <= '6'; } });
    box(3, { .limit = static_cast<int>(MaxWeightDoseSource), .refusal = Refusal::Beep, .marksPasted = true });
    Optweight_[0] = new QRadioButton(QStringLiteral("Per &dose"), this);
    Optweight_[1] = new QRadioButton(QStringLiteral("Per d&ay, in"), this);
    for (int i = 0; i < 2; ++i)
        Optweight_[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("Optweight_%1").arg(i));
    Lblweight_ = new QLabel(this);
    Lblweight_->setObjectName(QStringLiteral("Lblweight"));
    Lblweight_->setWordWrap(true);
    const char* captions[3] = { "&OK", "&Remove", "&Cancel" };
    for (int i = 0; i < 3; ++i) {
        Cmdweight_[static_cast<std::size_t>(i)] = new QPushButton(QString::fromLatin1(captions[i]), this);
        Cmdweight_[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("Cmdweight_%1").arg(i));
    }
    Cmdweight_[0]->setDefault(true);

    auto* low = new QLabel(QStringLiteral("&Low:"), this);
    low->setBuddy(Txtweight_[0]);
    auto* high = new QLabel(QStringLiteral("&High:"), this);
    high->setBuddy(Txtweight_[1]);
    auto* source = new QLabel(QStringLiteral("&Source:"), this);
    source->setBuddy(Txtweight_[3]);
    auto* grid = new QGridLayout;
    grid->addWidget(low, 0, 0);
    grid->addWidget(Txtweight_[0], 0, 1);
    grid->addWidget(high, 0, 2);
    grid->addWidget(Txtweight_[1], 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("mg/kg"), this), 0, 4);
    grid->addWidget(Optweight_[0], 1, 0, 1, 2);
    auto* perDay = new QHBoxLayout;
    perDay->addWidget(Optweight_[1]);
    perDay->addWidget(Txtweight_[2]);
    perDay->addWidget(new QLabel(QStringLiteral("doses (2 to 6)"), this));
    perDay->addStretch();
    grid->addLayout(perDay, 2, 0, 1, 5);
    grid->addWidget(source, 3, 0);
    grid->addWidget(Txtweight_[3], 3, 1, 1, 4);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : Cmdweight_)
        buttons->addWidget(b);
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(new QLabel(QStringLiteral("The dose per kg of ") + fromProgram(genericName_)
            + QStringLiteral(" for weight-based dose questions:"),
        this));
    whole->addLayout(grid);
    whole->addWidget(Lblweight_);
    whole->addLayout(buttons);
}

void WeightDoseDialog::connectWidgets()
{
    for (int i = 0; i < 3; ++i)
        connect(
            Cmdweight_[static_cast<std::size_t>(i)], &QPushButton::clicked, this, [this, i] { Cmdweight_Click(i); });
    connect(Optweight_[1], &QRadioButton::toggled, this, [this] { showTiming(); });
}

void WeightDoseDialog::showTiming()
{
    Txtweight_[2]->setEnabled(Optweight_[1]->isChecked());
}

void WeightDoseDialog::Cmdweight_Click(int index)
{
    if (index == 2) {
        outcome_ = Outcome::Cancelled;
        reject();
        return;
    }
    if (index == 1) {
        outcome_ = Outcome::Removed;
        dose_.reset();
        accept();
        return;
    }
    // The boxes make the side file's own line, so that the dialog accepts exactly what the file reads back.
    const std::string low = stripBlanks(toStored(Txtweight_[0]->text(), false));
    const std::string high = stripBlanks(toStored(Txtweight_[1]->text(), false));
    const std::string timing = Optweight_[1]->isChecked()
        ? "per day in " + stripBlanks(toStored(Txtweight_[2]->text(), false)) + " doses"
        : std::string("per dose");
    const std::string line = genericName_ + "; " + low + (high.empty() ? "" : "-" + high) + " mg/kg; " + timing + "; "
        + stripBlanks(toStored(Txtweight_[3]->text(), false));
    std::string why;
    dose_ = parseWeightDoseLine(line, why);
    if (!dose_) {
        Lblweight_->setText(QStringLiteral("Not stored: ") + fromProgram(why) + QStringLiteral("."));
        return;
    }
    outcome_ = Outcome::Stored;
    accept();
}

} // namespace tb
