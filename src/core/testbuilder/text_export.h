#pragma once

#include "core/foundation/exam_record.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace tb {

/// "Text File Options": how the text export and the printed paper number the questions and
/// what they include. The test model holds one; the window's menu changes it and the writers
/// read it.
class TextFileOptions final {
public:
    /// "&Numbering Questions" entry `index` (0: no numbering, 1..5 a style) chosen.
    void numbquest_Click(int index)
    {
        if (index >= 0 && index <= 5)
            numbering_ = index;
    }
    /// Include option `index` toggled: title, description, instructions, answer key,
    /// solutions, working space.
    void tfop_Click(int index)
    {
        if (index >= 0 && index < static_cast<int>(includes_.size()))
            includes_[static_cast<std::size_t>(index)] = !includes_[static_cast<std::size_t>(index)];
    }
    int numberingStyle() const { return numbering_; }
    bool includeOption(int index) const
    {
        return index >= 0 && index < static_cast<int>(includes_.size()) && includes_[static_cast<std::size_t>(index)];
    }
    /// The five parts the text export and the paper share, in option order.
    std::array<bool, 5> parts() const
    {
        return { includes_[0], includes_[1], includes_[2], includes_[3], includes_[4] };
    }
    /// Working space under each question: the printed paper only.
    bool workingSpace() const { return includes_[5]; }

private:
    int numbering_ = 1;
    // Title, description, instructions, answer key, solutions; working space on the printed paper.
    std::array<bool, 6> includes_ { true, true, true, true, true, false };
};

/// The text file Save As writes for a name ending in ".TXT": the header's texts and the
/// questions, answers and solutions as `options` choose, lines ending in CR LF.
std::string textFileContents(
    const TestHeader& header, const std::vector<QuestionRecord>& questions, const TextFileOptions& options);

} // namespace tb
