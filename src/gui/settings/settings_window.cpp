#include "gui/settings/settings_window.h"

#include "core/foundation/app_state.h"
#include "core/foundation/settings.h"
#include "gui/common/centreform.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace tb {

namespace {

// The question options are stored as -1 for on, the appearance options as 1.
constexpr std::int16_t QuestionOn = -1;
constexpr std::int16_t AppearanceOn = 1;

// Which field of the settings record each box shows, by the box's index.
std::int16_t& fieldOf(Settings& s, int box)
{
    switch (box) {
    case 0:
        return s.DisableAnimations;
    case 1:
        return s.UseAbbreviations;
    case 2:
        return s.AllMetricUnits;
    case 3:
        return s.GenericAndTradeNames;
    default:
        return s.TexturedBackground;
    }
}

std::int16_t onValueOf(int box)
{
    return (box == 0 || box == 4) ? AppearanceOn : QuestionOn;
}

} // namespace

SettingsWindow::SettingsWindow(AppState& state, QWidget* parent)
    : QDialog(parent)
    , state_(state)
{
    setObjectName(QStringLiteral("default"));
    setWindowTitle(QStringLiteral("Dosarion - Settings"));
    setModal(true);
    createWidgets();
    connectWidgets();
    putsettings();
    centreform(*this);
}

void SettingsWindow::createWidgets()
{
    const char* captions[5] = {
        "Disable animations for correct answers",
        "Use abbreviations for metric units",
        "Use all metric units for metric conversions",
        "Use generic and trade names for drugs",
        "Textured background",
    };
    // Created in the order they are shown, which is also the tab order.
    auto makeBox = [&](int index, QWidget* group, QVBoxLayout* into) {
        auto* box = new QCheckBox(QString::fromLatin1(captions[index]), group);
        box->setObjectName(QStringLiteral("Check1_%1").arg(index));
        into->addWidget(box);
        Check1_[static_cast<std::size_t>(index)] = box;
    };

    auto* picture = new QFrame(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setFrameShape(QFrame::StyledPanel);
    picture->setFrameShadow(QFrame::Sunken);

    auto* questions = new QGroupBox(QStringLiteral("Question Construction"), picture);
    questions->setObjectName(QStringLiteral("Frame2_0"));
    auto* questionsLayout = new QVBoxLayout(questions);
    makeBox(2, questions, questionsLayout);
    makeBox(1, questions, questionsLayout);
    makeBox(3, questions, questionsLayout);

    auto* appearance = new QGroupBox(QStringLiteral("Appearance"), picture);
    appearance->setObjectName(QStringLiteral("Frame2_1"));
    auto* appearanceLayout = new QVBoxLayout(appearance);
    makeBox(0, appearance, appearanceLayout);
    makeBox(4, appearance, appearanceLayout);

    auto* pictureLayout = new QVBoxLayout(picture);
    pictureLayout->setContentsMargins(14, 14, 14, 14);
    pictureLayout->setSpacing(14);
    pictureLayout->addWidget(questions);
    pictureLayout->addWidget(appearance);

    const char* buttonCaptions[3] = { "&Use", "&Save", "&Restore Defaults" };
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromLatin1(buttonCaptions[i]), this);
        button->setObjectName(QStringLiteral("Command1_%1").arg(i));
        button->setAutoDefault(false);
        button->setMinimumWidth(button->sizeHint().width() + 16);
        buttons->addWidget(button, 1);
        Command1_[static_cast<std::size_t>(i)] = button;
    }
    // Enter applies the boxes as "&Use" does; Escape closes as the close box does.
    Command1_[0]->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    layout->addWidget(picture);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SettingsWindow::connectWidgets()
{
    for (int i = 0; i < 3; ++i)
        connect(Command1_[static_cast<std::size_t>(i)], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
}

void SettingsWindow::putsettings()
{
    for (int box = 0; box < 5; ++box) {
        const bool on = fieldOf(state_.settings, box) == onValueOf(box);
        Check1_[static_cast<std::size_t>(box)]->setChecked(on);
    }
}

void SettingsWindow::getsettings()
{
    for (int box = 0; box < 5; ++box)
        fieldOf(state_.settings, box) = Check1_[static_cast<std::size_t>(box)]->isChecked() ? onValueOf(box) : 0;
}

void SettingsWindow::Command1_Click(int index)
{
    switch (index) {
    case 0: // "&Use": the options apply until the program ends.
        getsettings();
        accept();
        break;
    case 1: // "&Save": as "&Use", and stored in MX.INI.
        getsettings();
        try {
            storeSettings(state_.dataFolder, state_.settings);
        } catch (const std::exception&) {
            // Nothing is reported: the options still apply until the program ends.
        }
        accept();
        break;
    case 2: // "&Restore Defaults": only the record in memory; the window stays open.
        state_.settings.restoreDefaults();
        putsettings();
        break;
    default:
        break;
    }
}

} // namespace tb
