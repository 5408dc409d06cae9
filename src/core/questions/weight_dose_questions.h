#pragma once

#include "core/drugdb/weight_doses.h"
#include "core/questions/drug_questions.h"

#include <string>
#include <vector>

namespace tb {

/// The forms of a weight-based dose question.
enum class WeightDoseForm : int {
    DosePerKg = 1, // mg for one dose from a dose per kg
    DailyDivided = 2, // mg for one dose from a daily dose per kg in divided doses
    LiquidVolume = 3, // ml of a liquid preparation for one dose
    LargestSafeDose = 4, // the largest safe single dose of a range
    Overdose = 5, // by how much a prescribed dose exceeds the largest safe one
};
inline constexpr int WeightDoseFormCount = 5;

/// A weight-based dose question for a child, drawn from `drugs` (the side file's lines matched
/// with their drug records), with its worked solution; or, when no drug can give one, the reason.
/// Doses are rounded to a whole mg (1 decimal place below 10 mg), volumes to 1 decimal place
/// (2 below 1 ml), and never exceed the drug's highest single dose.
DrugQuestionResult makeWeightDoseQuestion(AppState& state, const std::vector<WeightDoseDrug>& drugs);

/// The same, reading the side file and the drug data file of the state's data folder.
DrugQuestionResult makeWeightDoseQuestion(AppState& state);

} // namespace tb
