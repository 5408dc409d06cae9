#pragma once

#include "core/drugdb/drug_record.h"
#include "core/foundation/generated_question.h"

#include <optional>
#include <string>

namespace tb {

/// What a tablet or fluid generator gives back: a question, or, when the drug it
/// drew cannot yield one (a zero dose range, no usable preparation, a record past
/// the end of the data file, an unreadable data file), the reason naming that drug,
/// so that the caller can go on with another drug.
struct DrugQuestionResult {
    std::optional<GeneratedQuestion> question;
    std::string problem;
    int record = 0; // the record number the generator drew
};

/// The name a dosage question uses for a drug: the generic name, or, with
/// GenericAndTradeNames on, one of its non-blank names chosen at random.
std::string pickDrugName(AppState& state, const DrugRecord& drug);

/// A tablet dosage question for a drug drawn from CandidateRecords(1..CandidateCount).
DrugQuestionResult makeTabletQuestion(AppState& state);

/// A fluid dosage question for a drug drawn from CandidateRecords(1..CandidateCount).
DrugQuestionResult makeFluidQuestion(AppState& state);

} // namespace tb
