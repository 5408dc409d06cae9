#include "core/questions/infusion_questions.h"

#include "core/foundation/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace tb {
namespace {

using Script = std::vector<double>;

// The uniform values behind each draw, in the order the generators draw them: the form, the volume (k of 14), the
// fluid from 500 ml, the time where the volume allows more than one; then the drop factor or the situation.
const auto form = [](int f, int forms) { return drawFor(f, forms); };
const auto volume = [](int k) { return drawFor(k, 14); };
const auto fluid = [](int index) { return drawFor(index + 1, 4); };
const auto wholeHours = [](int hours) { return drawFor(hours - 2, 10); }; // 1000 to 2000 ml
const auto factor = [](int f) { return drawFor(f == 10 ? 1 : f == 15 ? 2 : 3, 3); };
const auto percentRun = [](int percent) { return drawFor(percent - 29, 60); };
const auto percentRate = [](int percent) { return drawFor(percent - 79, 41); };

const std::string Up = "This number requires rounding into a whole number. Because the first decimal place is 5 or "
                       "more it is rounded up to ";
const std::string Down = "This number requires rounding into a whole number. Because the first decimal place is less "
                         "than 5 it is rounded down to ";
const std::string Head = "The Question was :\r\n";
const std::string Rule(50, '-');

struct Scripted {
    const char* name;
    bool pump; // an infusion pump rate, else an infusion time
    Script script;
    std::string question;
    std::string solutionEnd; // the end of the solution, from the calculation on
    double answer;
};

class ScriptedQuestion : public ::testing::TestWithParam<Scripted> { };

TEST_P(ScriptedQuestion, QuestionSolutionAndAnswer)
{
    const Scripted& c = GetParam();
    AppState state(std::make_unique<ScriptedRandom>(c.script));
    const GeneratedQuestion q = c.pump ? makePumpRateQuestion(state) : makeInfusionTimeQuestion(state);
    EXPECT_EQ(q.question, c.question);
    EXPECT_TRUE(q.solution.starts_with(Head + c.question + "\r\n\r\n")) << q.solution;
    EXPECT_TRUE(q.solution.ends_with(c.solutionEnd)) << q.solution;
    EXPECT_EQ(q.answer, c.answer);
}

const std::string PumpAsk = " by volumetric pump. At what rate in ml/hr should the pump be set?";
const std::string RunningAsk
    = " remain. At what rate in ml/hr should the pump now be set so that the infusion finishes in the required time?";
const std::string TimeAsk = ". How many minutes will the infusion take?";

INSTANTIATE_TEST_SUITE_P(Forms, ScriptedQuestion,
    ::testing::Values(Scripted { "PumpWhole", true, { form(1, 3), volume(6), fluid(1), wholeHours(8) },
                          "1 litre of Normal Saline is to be given over 8 hours" + PumpAsk,
                          "1000 (mls) / 8 (hours) = 125 (mls/hr)", 125 },
        Scripted { "PumpRoundsUp", true, { form(2, 3), volume(11), fluid(1), wholeHours(9) },
            "Ordered: 1.5 litres of Normal Saline over 9 hours via an infusion pump. Calculate the pump rate in ml/hr.",
            "= 166.666666666667 (mls/hr)\r\n\r\n" + Up + "167.", 167 },
        Scripted { "PumpRoundsDown", true, { form(1, 3), volume(7), fluid(3), wholeHours(3) },
            "1 litre of Hartmans (Lactated Ringer's) is to be given over 3 hours" + PumpAsk,
            "= 333.333333333333 (mls/hr)\r\n\r\n" + Down + "333.", 333 },
        // Below 500 ml, then nothing left (2000 ml over 3 hours, 150 minutes at 120 %), then 1300 ml/hr (at 80 %)
        // are drawn again.
        Scripted { "PumpRunningBounds", true,
            { form(3, 3), volume(1), volume(12), fluid(0), wholeHours(3), percentRun(89), percentRate(120), volume(12),
                fluid(0), wholeHours(3), percentRun(89), percentRate(80), volume(12), fluid(2), wholeHours(8),
                percentRun(30), percentRate(100) },
            "2 litres of Dextrose 5% in water is charted over 8 hours. The pump has been running for 2 hours and 15 "
            "minutes. 1 litres and 400 mls"
                + RunningAsk,
            "1400 (mls) / 5.75 (hours) = 243.478260869565 (mls/hr)\r\n\r\n" + Down + "243.", 243 },
        Scripted { "TimeAtPumpRateWhole", false, { form(1, 2), volume(6), fluid(1), wholeHours(8) },
            "1 litre of Normal Saline is running through a volumetric pump at 125 ml/hr" + TimeAsk,
            "1000 (mls) / 125 (mls/hr) = 8 (hours)\r\n8 (hours) X 60 = 480 (min)\r\n\r\n480 minutes = 8 hours", 480 },
        // 31.25 drops/min is charted as 31.
        Scripted { "TimeAtDropRateRoundsUp", false, { form(2, 2), volume(10), fluid(1), wholeHours(8), factor(15) },
            "1 litre of Normal Saline is running at 31 drops per minute through a giving set which delivers 15 "
            "drops/ml"
                + TimeAsk,
            "volume (mls) X drop factor (drops/ml)\r\n" + Rule
                + "\r\ndrops per minute\r\n\r\n You must first ensure that all units conform to those required in the "
                  "formula:\r\nThe volume is (1 litre X 1000 ml) = 1000 (mls)\r\nThe drop factor is 15 (drops/ml)\r\n"
                  "The rate is 31 (drops/min)\r\n\r\nNow we plug these numbers into the formula:\r\n\r\n1000 (mls) X "
                  "15 (drops/ml) = 15000 (drops)\r\n15000 (drops) / 31 (drops/min) = 483.870967741935 (min)\r\n\r\n"
                + Up + "484.\r\n484 minutes = 8 hours and 4 minutes",
            484 }),
    [](const auto& info) { return std::string(info.param.name); });

// TB_SWEEP_SEED repeats a failed run.
std::uint64_t sweepSeed()
{
    const char* given = std::getenv("TB_SWEEP_SEED");
    return given ? std::stoull(given) : std::random_device {}();
}

const auto contains
    = [](const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; };

// Millilitres in a question's words: "250 mls", "1 litre", "1.5 litres", "1 litres and 400 mls".
double mlIn(const std::string& text)
{
    static const std::regex both("([0-9]+) litres? and ([0-9]+) mls"), litres("([0-9.]+) litres?"), mls("([0-9]+) mls");
    std::smatch m;
    if (std::regex_match(text, m, both))
        return std::stod(m[1]) * 1000 + std::stod(m[2]);
    if (std::regex_match(text, m, litres))
        return std::stod(m[1]) * 1000;
    if (std::regex_match(text, m, mls))
        return std::stod(m[1]);
    ADD_FAILURE() << "not a volume: " << text;
    return -1;
}

// Minutes in a question's words: "0.5 hours", "1 hour", "2 hours and 15 minutes", "45 minutes".
double minutesIn(const std::string& text)
{
    static const std::regex time("(?:([0-9.]+) hours?)?(?: and )?(?:([0-9]+) minutes)?");
    std::smatch m;
    if (!std::regex_match(text, m, time) || text.empty()) {
        ADD_FAILURE() << "not a time: " << text;
        return -1;
    }
    return (m[1].matched ? std::stod(m[1]) * 60 : 0) + (m[2].matched ? std::stod(m[2]) : 0);
}

// What the solution must say about rounding `value` to `answer`.
void expectRounding(const std::string& solution, double value, double answer)
{
    EXPECT_EQ(answer, std::floor(value + 0.5)) << value;
    if (value == std::floor(value))
        EXPECT_FALSE(contains(solution, "requires rounding"));
    else
        EXPECT_TRUE(contains(solution, (answer > value ? Up : Down) + formatNumber(answer) + "."));
}

// The volumes on the chart; below 500 ml the fluid is not named.
void expectOrder(double ml, const std::string& fluidName)
{
    EXPECT_TRUE((std::set<double> { 50, 100, 250, 500, 1000, 1500, 2000, 3000 }.contains(ml))) << ml;
    EXPECT_TRUE(ml >= 500 || fluidName == "IV Fluids") << fluidName;
}

// Each question's answer worked out again from its words: pump rates at most 999 ml/hr, times of 1 to 1440 minutes.
TEST(InfusionSweep, AnswersReSolvedFromTheQuestion)
{
    const std::uint64_t seed = sweepSeed();
    SCOPED_TRACE("TB_SWEEP_SEED=" + std::to_string(seed));
    AppState state(std::make_unique<SeededRandom>(seed));
    const std::string time = "\\. How many minutes will the infusion take\\?";
    static const std::regex forms[] = {
        std::regex("(.+) of (.+) is to be given over (.+) by volumetric pump\\. At what rate in ml/hr should the pump "
                   "be set\\?"),
        std::regex("Ordered: (.+) of (.+) over (.+) via an infusion pump\\. Calculate the pump rate in ml/hr\\."),
        std::regex("(.+) of (.+) is charted over (.+)\\. The pump has been running for (.+)\\. (.+) remain\\. At what "
                   "rate in ml/hr should the pump now be set so that the infusion finishes in the required time\\?"),
        std::regex("(.+) of (.+) is running through a volumetric pump at ([0-9]+) ml/hr" + time),
        std::regex("(.+) of (.+) is running at ([0-9]+) drops per minute through a giving set which delivers ([0-9]+) "
                   "drops/ml"
            + time),
    };
    for (int n = 0; n < 6000 && !::testing::Test::HasFailure(); ++n) {
        const GeneratedQuestion q = n % 2 ? makeInfusionTimeQuestion(state) : makePumpRateQuestion(state);
        SCOPED_TRACE(q.solution);
        std::smatch m;
        const auto matched = std::find_if(std::begin(forms), std::end(forms),
            [&](const std::regex& form) { return std::regex_match(q.question, m, form); });
        ASSERT_NE(matched, std::end(forms));
        const auto form = matched - std::begin(forms);
        ASSERT_EQ(form >= 3, n % 2 == 1);
        const double volume = mlIn(m[1]);
        expectOrder(volume, m[2]);
        double value = 0; // the rate in ml/hr or the minutes
        if (form < 3) {
            const double elapsed = form == 2 ? minutesIn(m[4]) : 0, ml = form == 2 ? mlIn(m[5]) : volume;
            EXPECT_TRUE(form < 2 || (volume >= 500 && elapsed >= 15 && std::fmod(elapsed, 15) == 0)) << elapsed;
            EXPECT_TRUE(ml >= 50 && ml <= volume && std::fmod(ml, 50) == 0 && (form < 2 || ml < volume)) << ml;
            value = ml * 60 / (minutesIn(m[3]) - elapsed);
            EXPECT_LE(value, 999.0);
        } else {
            const double rate = std::stod(m[3]), dropFactor = form == 4 ? std::stod(m[4]) : 60;
            EXPECT_TRUE(form == 3 || (rate >= 5 && rate <= 120 && std::set { 10.0, 15.0, 60.0 }.contains(dropFactor)));
            value = volume * dropFactor / rate;
            EXPECT_TRUE(value >= 1 && value <= 1440) << value;
        }
        expectRounding(q.solution, value, q.answer);
    }
}

} // namespace
} // namespace tb
