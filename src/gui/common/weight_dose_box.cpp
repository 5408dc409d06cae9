#include "gui/common/weight_dose_box.h"

#include "core/drugdb/weight_doses.h"
#include "gui/common/program_text.h"

#include <QCheckBox>

#include <exception>

namespace tb {

void showWeightDoseBox(QCheckBox& box, const std::filesystem::path& dataFolder)
{
    try {
        const MatchedWeightDoses matched = matchWeightDoses(dataFolder);
        box.setEnabled(weightDosesUnavailable(matched).empty());
        box.setToolTip(fromProgram(weightDoseBoxTip(matched)));
    } catch (const std::exception& e) {
        box.setEnabled(false);
        box.setToolTip(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace tb
