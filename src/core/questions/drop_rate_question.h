#pragma once

#include "core/foundation/generated_question.h"

#include <optional>
#include <string>

namespace tb {

/// An IV drop-rate question: a charted or a running infusion, with its worked solution.
GeneratedQuestion makeDropRateQuestion(AppState& state);

/// A drop rate rounded to whole drops per minute, with the solution's sentence that explains
/// the rounding (empty when the rate is already whole).
struct DropRateRounding {
    double answer = 0.0;
    std::string sentence;
};

/// Rounds a drop rate: a fraction above 0.49 goes up, any smaller fraction goes down.
DropRateRounding roundDropRate(double rate);

// The draws an IV question shares with the infusion pump and infusion time questions.

/// What the chart orders: a volume of a fluid over a time, as the questions write them.
struct InfusionOrder {
    int volume = 0; // ml: 50 to 3000
    double hours = 0.0; // 0.5 to 12, in half hours
    std::string fluidName; // "IV Fluids" below 500 ml
    std::string volumeText; // "250 mls", "1 litre", "1.5 litres"
    std::string timeText; // "0.5 hours", "1 hour", "12 hours"
};

/// One draw of volume, fluid and time; empty when `fromHalfLitre` and the draw is below
/// 500 ml (the caller draws again). Reseeds the random source first.
std::optional<InfusionOrder> drawInfusionOrder(RandomSource& random, bool fromHalfLitre);

/// A giving set's drops per ml: 10, 15 or 60. Reseeds the random source first.
int drawDropFactor(RandomSource& random);

/// How long an infusion has run: "45 minutes", "1 hour", "2 hours and 15 minutes".
std::string elapsedTimeText(int minutes);

/// What is left of an infusion: "400 mls", "1 litres and 400 mls", "2 litres".
std::string remainingVolumeText(int ml);

} // namespace tb
