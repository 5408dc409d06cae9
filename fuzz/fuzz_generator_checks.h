#pragma once

// What every tablet or fluid generator result must satisfy, whatever the files held:
// a question with a usable answer, or a reason that names the record.

#include "core/foundation/number_format.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/questions/drug_questions.h"
#include "core/testbuilder/exam_model.h"

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

/// Create Question with only the tablet and fluid boxes ticked: each question made is
/// stored with an answer field that still says its number, in 12 characters.
inline void checkCreatedQuestions(AppState& state)
{
    headless::ScriptedPrompts prompts;
    headless::QuietView view;
    ExamModel model(state, prompts, view);
    model.drafter().setCategoryTicked(0, false);
    model.drafter().setCategoryTicked(3, false);
    for (int k = 0; k < 3; ++k) {
        // When nothing is made the reason is shown, and the buffer keeps the last question made.
        model.createQuestions("1");
        const double answer = model.drafter().lastGenerated().answer;
        const std::string& stored = model.RecordBuffer().answerText;
        if (answer > 0
            && (stored.size() != AnswerWidth || !(std::fabs(readNumber(stored) - answer) <= 1e-5 * answer))) {
            std::fprintf(stderr, "answer %.17g is stored as \"%s\"\n", answer, stored.c_str());
            std::abort();
        }
    }
    model.closeTest();
}

} // namespace tb::fuzz
