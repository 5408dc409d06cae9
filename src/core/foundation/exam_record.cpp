#include "core/foundation/exam_record.h"

#include "core/foundation/number_format.h"

#include <cmath>

namespace tb {

namespace {

// A field of a record that may be short (a read near the end of a file): what is
// there, blank-padded to the field's width.
std::string fieldAt(std::string_view bytes, std::size_t offset, std::size_t width)
{
    if (offset >= bytes.size())
        return std::string(width, ' ');
    return fitWidth(bytes.substr(offset, width), width);
}

} // namespace

std::string QuestionRecord::pack() const
{
    return fitWidth(questionText, QuestionWidth) + fitWidth(solutionText, SolutionWidth)
        + fitWidth(answerText, AnswerWidth);
}

QuestionRecord QuestionRecord::unpack(std::string_view bytes)
{
    QuestionRecord record;
    record.questionText = fieldAt(bytes, 0, QuestionWidth);
    record.solutionText = fieldAt(bytes, QuestionWidth, SolutionWidth);
    record.answerText = fieldAt(bytes, QuestionWidth + SolutionWidth, AnswerWidth);
    return record;
}

std::string TestHeader::pack() const
{
    // The title field is 800 wide on disk but holds at most the 40 characters of the title.
    const std::string title = stripBlanks(stripBlanks(TestTitle).substr(0, TitleWidth));
    return fitWidth(title, QuestionWidth) + fitWidth(TestDescription, DescriptionWidth)
        + fitWidth(TestInstructions, InstructionsWidth) + fitWidth(formatInt(MenuListed), AnswerWidth);
}

TestHeader TestHeader::unpack(std::string_view bytes)
{
    TestHeader header;
    header.TestTitle = stripBlanks(stripBlanks(fieldAt(bytes, 0, QuestionWidth)).substr(0, TitleWidth));
    header.TestDescription = stripBlanks(fieldAt(bytes, QuestionWidth, DescriptionWidth));
    header.TestInstructions = stripBlanks(fieldAt(bytes, QuestionWidth + DescriptionWidth, InstructionsWidth));
    const double listed
        = std::round(readNumber(stripBlanks(fieldAt(bytes, QuestionWidth + SolutionWidth, AnswerWidth))));
    // The flag is a 16-bit number on disk; anything outside that range is not a flag.
    header.MenuListed = (listed >= -32768.0 && listed <= 32767.0) ? static_cast<int>(listed) : 0;
    return header;
}

bool isRepeat(RepeatHistory& history, const DuplicateKeys& keys)
{
    for (const auto& remembered : history.entries)
        if (remembered && *remembered == keys)
            return true;
    history.position = (history.position + 1) % static_cast<int>(history.entries.size());
    history.entries[static_cast<std::size_t>(history.position)] = keys;
    return false;
}

} // namespace tb
