#include "core/export/print_layout.h"
#include "core/testbuilder/exam_model.h"

#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"

namespace tb {

namespace {

constexpr const char* CRLF = "\r\n";

} // namespace

void ExamModel::numbquest_Click(int index)
{
    if (index >= 0 && index <= 5)
        numbering_ = index;
}

void ExamModel::tfop_Click(int index)
{
    if (index >= 0 && index < static_cast<int>(includes_.size()))
        includes_[static_cast<std::size_t>(index)] = !includes_[static_cast<std::size_t>(index)];
}

std::vector<QuestionRecord> ExamModel::storedQuestions() const
{
    // The questions come from the working file as last stored, not from the fields.
    std::vector<QuestionRecord> records;
    RecordFile in(workingPath(), TestRecordLength, RecordFile::Mode::Read);
    std::string bytes;
    for (long long r = 2; r <= questionCount_ + 1; ++r)
        records.push_back(in.read(r, bytes) ? QuestionRecord::unpack(bytes) : QuestionRecord::unpack({}));
    in.close();
    return records;
}

void ExamModel::saveastextfile(const std::filesystem::path& file)
{
    const std::vector<QuestionRecord> records = storedQuestions();

    std::string out;
    // "Write X": X and a line end. X may itself hold line breaks.
    auto write = [&out](const std::string& text) { out += text + CRLF; };
    const std::string L = CRLF;
    const bool numbered = numbering_ != 0;

    if (includes_[0])
        write(stripBlanks(header_.TestTitle) + L + L);
    if (includes_[1])
        write(stripBlanks(header_.TestDescription) + L + L);
    if (includes_[2])
        write(stripBlanks(header_.TestInstructions) + L + L);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (numbered)
            write(numberingLine(numbering_, static_cast<int>(i + 1)));
        write(records[i].questionText + L + L);
    }
    write(L);
    if (includes_[3]) {
        write("Answers:" + L);
        for (std::size_t i = 0; i < records.size(); ++i)
            write(formatInt(static_cast<long long>(i + 1)) + ". " + records[i].answerText + L);
        write(L);
    }
    if (includes_[4]) {
        write("Solutions:" + L);
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (numbered)
                write(numberingLine(numbering_, static_cast<int>(i + 1)));
            write(records[i].solutionText + L + L);
        }
        write(L);
    }

    writeFileAtomically(file, out, faultHook_);
}

} // namespace tb
