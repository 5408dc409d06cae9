#include "gui/common/save_dialog.h"

#include "gui/common/centreform.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tb {

SaveDialog::SaveDialog(const QString& message, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Frmsave"));
    setWindowTitle(QStringLiteral("Tutor Bench"));
    setModal(true);
    createWidgets(message);
    connectWidgets();
    centreform(*this);
}

void SaveDialog::createWidgets(const QString& message)
{
    Label1_ = new QLabel(message, this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setWordWrap(true);
    Label1_->setTextFormat(Qt::PlainText);
    Label1_->setMinimumWidth(320);

    Command1_[0] = new QPushButton(QStringLiteral("&Yes"), this);
    Command1_[0]->setObjectName(QStringLiteral("Command1_0"));
    Command1_[1] = new QPushButton(QStringLiteral("&No"), this);
    Command1_[1]->setObjectName(QStringLiteral("Command1_1"));
    // Enter answers Yes: every question asked here offers to keep the teacher's work.
    Command1_[0]->setDefault(true);
    Command1_[0]->setFocus();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1_[0]);
    buttons->addWidget(Command1_[1]);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->setSpacing(16);
    layout->addWidget(Label1_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SaveDialog::connectWidgets()
{
    connect(Command1_[0], &QPushButton::clicked, this, [this] { Command1_Click(0); });
    connect(Command1_[1], &QPushButton::clicked, this, [this] { Command1_Click(1); });
}

void SaveDialog::Command1_Click(int index)
{
    answer_ = index == 0;
    accept();
}

void SaveDialog::keyPressEvent(QKeyEvent* event)
{
    // The letters of the two answers work without Alt, as on a message box.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::ShiftModifier) {
        if (event->key() == Qt::Key_Y) {
            Command1_Click(0);
            return;
        }
        if (event->key() == Qt::Key_N) {
            Command1_Click(1);
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

} // namespace tb
