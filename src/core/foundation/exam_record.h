#pragma once

#include "core/foundation/app_state.h"
#include "core/foundation/field_codec.h"
#include "core/foundation/generated_question.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tb {

inline constexpr const char* NewTestFileName = "test.tmp";
inline constexpr const char* QuestionScratchFileName = "MXtmp.TMP";
inline constexpr int MaxQuestions = 99;

inline constexpr std::size_t QuestionWidth = 800;
inline constexpr std::size_t SolutionWidth = 1200;
inline constexpr std::size_t AnswerWidth = 12;
inline constexpr std::size_t TestRecordLength = 2012;

inline constexpr std::size_t TitleWidth = 40;
inline constexpr std::size_t DescriptionWidth = 200;
inline constexpr std::size_t InstructionsWidth = 1000;

/// The category codes of a question.
enum QuestionCategory : int { MetricConversions = 1, TabletDosages = 2, FluidDosages = 3, IVDropRates = 4 };

/// The infusion categories that follow the four above; their boxes start unticked.
enum InfusionCategory : int { InfusionPumpRates = 5, InfusionTimes = 6 };

/// The dose categories that follow the infusion ones; their boxes start unticked too.
enum DoseCategory : int { WeightBasedDoses = 7, HeparinInsulinUnits = 8 };

/// How many category boxes the test window has: one per category code, box i for code i + 1.
inline constexpr int CategoryBoxCount = 8;

/// One stored question: 800 + 1200 + 12 blank-padded Windows-1252 characters.
struct QuestionRecord {
    std::string questionText;
    std::string solutionText;
    std::string answerText;

    /// The 2012 file bytes: each field cut or blank-padded to its width.
    std::string pack() const;
    /// A record from file bytes; fields keep their padding.
    static QuestionRecord unpack(std::string_view bytes);
};

/// Record 1 of every test file.
struct TestHeader {
    std::string TestTitle; // at most 40 characters
    std::string TestDescription; // 200 characters
    std::string TestInstructions; // 1000 characters
    int MenuListed = 0;

    /// The 2012 file bytes of the header record, as puttitle writes it.
    std::string pack() const;
    /// The header fields as openfile reads them (stripped, title kept to 40).
    static TestHeader unpack(std::string_view bytes);
};

/// Remembers `keys` unless they were seen among the last 50; true when they were (a repeat).
bool isRepeat(RepeatHistory& history, const DuplicateKeys& keys);

} // namespace tb
