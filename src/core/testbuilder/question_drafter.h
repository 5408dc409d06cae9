#pragma once

#include "core/drugdb/weight_doses.h"
#include "core/foundation/app_state.h"
#include "core/foundation/exam_record.h"
#include "core/foundation/generated_question.h"
#include "core/foundation/prompts.h"
#include "core/testbuilder/exam_view.h"

#include <array>
#include <string>
#include <vector>

namespace tb {

/// Questions made as Create Question makes them, with the window's choices: the ticked
/// category boxes and the selected drug categories. The test model drafts its new questions
/// here and class versions draft theirs; neither the test nor its file is touched.
class QuestionDrafter final {
public:
    QuestionDrafter(AppState& state, Prompts& prompts, ExamView& view);

    /// Category box i (0..7) ticked or not; unticking the last ticks the first four again.
    void setCategoryTicked(int box, bool ticked);
    bool categoryTicked(int box) const;
    /// Which entries of Lstcategory are selected: entry i - 1 is category i.
    void setSelectedCategories(std::vector<bool> selected);
    const std::vector<bool>& selectedCategories() const { return selectedCategories_; }
    /// The codes of the ticked category boxes, in box order.
    std::vector<int> categoryChoices() const;

    /// The count box's text as a number of questions: its leading number's whole part, at
    /// least 1, a huge number held to a size the limit then cuts.
    static int wantedCount(const std::string& countText);
    /// `count` held to the `room` left below the limit: above it the count box gets the
    /// reduced number and the limit warning is shown.
    int holdToLimit(int count, int room);
    /// The number of questions Create Question makes in a new, untouched test for the count
    /// box's text: at least 1, at most the limit (warned as above).
    int countForNewTest(const std::string& countText);

    /// One question of `category` into lastGenerated(); false (GenerationOk cleared) when no
    /// tablet or fluid question could be built.
    bool generateQuestion(int category);
    /// One pass of Create Question: a category drawn from `choices`, its question generated
    /// and cut to the record's widths. False when no tablet or fluid question could be built.
    bool draftOne(const std::vector<int>& choices, QuestionRecord& out);
    /// One question of `category` made as Create Question makes it, into `out`.
    bool draftQuestion(int category, QuestionRecord& out);
    /// Makes `count` questions with the ticked categories, appending them to `out`. False when
    /// no tablet or fluid question could be built (its message was shown).
    bool draftQuestions(int count, std::vector<QuestionRecord>& out);

    /// The question, answer and solution the last generateQuestion left for its caller.
    const GeneratedQuestion& lastGenerated() const { return lastGenerated_; }
    bool GenerationOk() const { return generationOk_; }

private:
    void fillCandidates(const DrugIndex& index);
    bool generateDrugQuestion(int category);
    bool generateWeightDoseQuestion();
    const MatchedWeightDoses& weightDoses();
    /// lastGenerated_ cut to the record's widths, into `out`.
    void storeGenerated(QuestionRecord& out) const;

    AppState& state_;
    Prompts& prompts_;
    ExamView& view_;
    std::array<bool, CategoryBoxCount> categoryTicked_ { true, true, true, true, false, false, false, false };
    std::vector<bool> selectedCategories_;
    GeneratedQuestion lastGenerated_;
    bool generationOk_ = true;
    // The doses per kg matched with the drug records, kept while neither file changes.
    MatchedWeightDoses weightDoses_;
    std::string weightDosesStamp_;
};

} // namespace tb
