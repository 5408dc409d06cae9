#pragma once

// What every tablet or fluid generator result must satisfy, whatever the files held:
// a question with a usable answer, or a reason that names the record.

#include "questions/drug_questions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tb::fuzz {

inline void checkDrugResult(const DrugQuestionResult& result, const char* kind)
{
    if (result.question) {
        const GeneratedQuestion& q = *result.question;
        if (!std::isfinite(q.answer) || q.answer <= 0.0 || q.question.empty() || q.solution.empty()) {
            std::fprintf(stderr, "%s question with answer %g:\n%s\n", kind, q.answer, q.question.c_str());
            std::abort();
        }
        if (!result.problem.empty())
            std::abort();
    } else if (result.problem.empty()) {
        std::fprintf(stderr, "%s generator gave neither a question nor a reason\n", kind);
        std::abort();
    }
}

} // namespace tb::fuzz
