#pragma once

#include "core/drugdb/weight_doses.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>

class QLabel;
class QRadioButton;
class QPushButton;

namespace tb {

class LineField;

/// Frmweight, "Weight Dose": the dose per kg of the drug the editor shows. Txtweight_0 and
/// Txtweight_1 hold the low and high mg/kg (the high one may stay empty), Optweight_0 "per
/// dose" or Optweight_1 "per day" in Txtweight_2 doses, Txtweight_3 the source. Cmdweight_0
/// "&OK" accepts a dose that parses (Lblweight says why one does not), Cmdweight_1 "&Remove"
/// asks for the drug's line to go, Cmdweight_2 "&Cancel". The caller stores the result.
class WeightDoseDialog final : public QDialog {
    Q_OBJECT

public:
    enum class Outcome { Cancelled, Stored, Removed };

    WeightDoseDialog(std::string genericName, const std::optional<WeightDose>& current, QWidget* parent = nullptr);

    void Cmdweight_Click(int index);
    Outcome outcome() const { return outcome_; }
    /// The dose accepted with OK.
    const std::optional<WeightDose>& dose() const { return dose_; }

private:
    void createWidgets();
    void connectWidgets();
    void showTiming();

    std::string genericName_;
    Outcome outcome_ = Outcome::Cancelled;
    std::optional<WeightDose> dose_;
    std::array<LineField*, 4> Txtweight_ {};
    std::array<QRadioButton*, 2> Optweight_ {};
    QLabel* Lblweight_ = nullptr;
    std::array<QPushButton*, 3> Cmdweight_ {};
};

} // namespace tb
