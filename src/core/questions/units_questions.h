#pragma once

#include "core/foundation/generated_question.h"

namespace tb {

/// A heparin or insulin question in units, with its worked solution. One of five forms, drawn
/// first: the ml of heparin to inject; a heparin infusion's pump rate in ml/hr; the units per
/// hour a running heparin infusion gives; an insulin infusion's pump rate in ml/hr; the units of
/// insulin a dose in ml of 100 units/ml holds. Strengths and bags come from a built-in table of
/// those sold and made up in hospitals; no drug-database data is read.
GeneratedQuestion makeUnitsQuestion(AppState& state);

} // namespace tb
