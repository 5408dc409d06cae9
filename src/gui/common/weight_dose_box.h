#pragma once

#include <filesystem>

class QCheckBox;

namespace tb {

/// Enables the weight-based doses box when the data folder's file of doses per kg gives
/// questions; otherwise disables it. Its tooltip says which drugs it draws from, or why not.
void showWeightDoseBox(QCheckBox& box, const std::filesystem::path& dataFolder);

} // namespace tb
