#include "testbuilder/description_dialog.h"

namespace tb {

DescriptionDialog::DescriptionDialog(TestModel& model, QWidget* parent) : QDialog(parent), model_(model)
{
    setObjectName(QStringLiteral("Frmtitle"));
}

void DescriptionDialog::cmdtitleaccept_Click(int) { close(); }
void DescriptionDialog::createWidgets() {}
void DescriptionDialog::connectWidgets() {}

} // namespace tb
