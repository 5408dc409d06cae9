#include "questions/drop_rate_question.h"
#include "startup/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace tb {
namespace {

using Script = std::vector<double>;

// The uniform values behind each draw, in the order the generator draws them: the kind, the volume (k of 14),
// the fluid, the time when the volume allows more than one, the drop factor, then the template or the situation.
const double Charted = drawFor(1, 2), Running = drawFor(2, 2);
const auto volume = [](int k) { return drawFor(k, 14); };
const auto fluid = [](int index) { return drawFor(index + 1, 4); };
const auto wholeHours = [](int hours) { return drawFor(hours - 2, 10); }; // 1000 to 2000 ml
const auto factor = [](int f) { return drawFor(f == 10 ? 1 : f == 15 ? 2 : 3, 3); };
const auto pattern = [](int t) { return drawFor(t, 4); };
const auto percentRun = [](int percent) { return drawFor(percent - 29, 60); };
const auto offset = [](int k) { return drawFor(k + 1, 20); };

GeneratedQuestion generate(const Script& script)
{
    AppState state(std::make_unique<ScriptedRandom>(script));
    return makeDropRateQuestion(state);
}

const auto contains
    = [](const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; };

const std::string Up = "This number requires rounding into a whole number. Because the number after the decimal point "
                       "is greater than .5 it is rounded up to ";
const std::string Down = "This number requires rounding into a whole number. Because the number after the decimal "
                         "point is less than .5 this number is rounded down to ";

TEST(DropRateQuestion, ScriptedQuestions)
{
    const char* texts[] = {
        "1 litre of Normal Saline is charted over 8 hours. The drop factor is 15. Calculate the number of drops per "
        "minute.",
        "Ordered: 1 litre of Normal Saline over 8 hours using a giving set which delivers 15 drops/ml. Calculate the "
        "rate in drops/minute.",
        "Calculate the drip rate for 1 litre of Normal Saline to be given over 8 hours via a giving set which delivers "
        "15 drops/ml.",
        "You are required to administer 1 litre of Normal Saline over 8 hours. The drop factor is 15. How many drops "
        "per minute are required to start the flow off at the correct rate?",
    };
    for (int t = 1; t <= 4; ++t)
        EXPECT_EQ(
            generate({ Charted, volume(6), fluid(1), wholeHours(8), factor(15), pattern(t) }).question, texts[t - 1]);

    using S = std::string;
    for (const auto& [script, question, part, end, answer] :
        {
            // The 3000-ml bag runs over exactly 12 hours, in double precision.
            std::tuple { Script { Charted, volume(14), fluid(3), factor(10), pattern(1) },
                S("3 litres of Hartmans (Lactated Ringer's) is charted over 12 hours. The drop factor is 10."),
                S("Over (12 hours X 60 minutes) = 720 (min)"), "= 41.6666666666667 (drops/min)\r\n\r\n" + Up + "42.",
                42.0 },
            { { Charted, volume(14), fluid(3), factor(15), pattern(1) },
                "charted over 12 hours. The drop factor is 15.", "3000 (mls) / 720 (min) = 4.16666666666667 (mls/min)",
                "= 62.5 (drops/min)\r\n\r\n" + Up + "63.", 63 },
            // With a 60-drop set it is 250 drops/min: drawn again from the volume, here 1 litre of Normal Saline over 8
            // hours.
            { { Charted, volume(14), fluid(0), factor(60), volume(6), fluid(1), wholeHours(8), factor(15), pattern(1) },
                "1 litre of Normal Saline is charted over 8 hours. The drop factor is 15.",
                "The volume is (1 litre X 1000 ml) = 1000 (mls)\r\nOver (8 hours X 60 minutes) = 480 (min)\r\n",
                "1000 (mls) / 480 (min) = 2.083333 (mls/min)\r\n2.083333 (mls/min) X 15 (drops/ml) = 31.25 (drops/min)"
                "\r\n\r\nThis formula could also be calculated as:\r\n1000 (mls) X 15 (drops/ml) = 15000 (drops)\r\n"
                "15000 (drops) / 480 (min) = 31.25 (drops/min)\r\n\r\n"
                    + Down + "31.",
                31 },
            { { Charted, volume(1), drawFor(1, 5), factor(60), pattern(1) },
                "50 mls of IV Fluids is charted over 0.5 hours. The drop factor is 60. Calculate",
                "The volume is 50 mls (mls)\r\nOver 30 (min)\r\nThe drop factor is 60",
                "3000 (drops) / 30 (min) = 100 (drops/min)\r\n\r\n", 100 },
            // 500 ml over 4.5 hours at 10 drops/ml; the first situation (8 drops/min) is too slow and is drawn again.
            { { Running, volume(4), fluid(0), drawFor(8, 8), factor(10), percentRun(89), offset(0), percentRun(89),
                  offset(2) },
                "running for 4 hours. 0 mls remain. How many", "", "0 (drops) / 30 (min) = 0 (drops/min)\r\n\r\n", 0 },
        }) {
        const GeneratedQuestion q = generate(script);
        EXPECT_TRUE(contains(q.question, question)) << q.question;
        EXPECT_TRUE(contains(q.solution, part) && q.solution.ends_with(end)) << q.solution;
        EXPECT_EQ(q.answer, answer);
    }
    // A fraction above .49 goes up, a whole rate needs no sentence.
    for (const auto& [rate, answer, sentence] : { std::tuple { 20.5, 21.0, Up + "21." }, { 20.495, 21.0, Up + "21." },
             { 20.49, 20.0, Down + "20." }, { 20.0, 20.0, std::string() } }) {
        EXPECT_EQ(roundDropRate(rate).answer, answer) << rate;
        EXPECT_EQ(roundDropRate(rate).sentence, sentence) << rate;
    }
}

// 2000 ml of Dextrose 5% in water over 8 hours at 15 drops/ml, run 135 minutes at 62 drops/min.
TEST(DropRateQuestion, RunningWholeQuestionAndSolution)
{
    const GeneratedQuestion q
        = generate({ Running, volume(12), fluid(2), wholeHours(8), factor(15), percentRun(30), offset(10) });
    EXPECT_EQ(q.question,
        "2 litres of Dextrose 5% in water is charted over 8 hours. The drop factor is 15. The IV has been running "
        "for 2 hours and 15 minutes. 1 litres and 400 mls remain. How many drops per minute are needed so that "
        "the IV finishes in the required time?");
    // Single precision throughout: 4.057971 X 15 rounds to 60.86956 in float.
    EXPECT_EQ(q.solution,
        "The Question was :\r\n" + q.question
            + "\r\n\r\nThe formula for calculating drop factors is:\r\n\r\nvolume (mls) X drop factor (drops/ml)\r\n"
            + std::string(50, '-')
            + "\r\ntime (min)\r\n\r\n You must first ensure that all units conform to those required in the "
              "formula:\r\n"
              "The volume is 1 litres and 400 mls = 1400mls (ml) remaining\r\nOver 480 - 135 = 345 (min) remaining\r\n"
              "The drop factor is 15 (drops/ml)\r\n\r\nNow we plug these numbers into the formula:\r\n\r\n"
              "1400 (mls) / 345 (min) = 4.057971 (mls/min)\r\n"
              "4.057971 (mls/min) X 15 (drops/ml) = 60.86956 (drops/min)\r\n\r\n"
              "This formula could also be calculated as:\r\n1400 (mls) X 15 (drops/ml) = 21000 (drops)\r\n"
              "21000 (drops) / 345 (min) = 60.86956 (drops/min)\r\n\r\n"
            + Up + "61.");
    EXPECT_EQ(q.answer, 61.0);
}

// 3000 ml over 12 hours at 15 drops/ml, run 345 minutes at 62 drops/min: 1550 / 375 X 15 is
// 62.00000000000001 in double precision, so the rate is rounded down although it is written as 62.
TEST(DropRateQuestion, RunningRateJustAboveWholeIsRoundedDown)
{
    const GeneratedQuestion q = generate({ Running, volume(14), fluid(1), factor(15), percentRun(48), offset(10) });
    ASSERT_TRUE(contains(q.solution, "Over 720 - 345 = 375 (min) remaining")) << q.solution;
    EXPECT_TRUE(contains(q.solution, "(drops/min)\r\n\r\n" + Down + "62.")) << q.solution;
    EXPECT_EQ(q.answer, 62.0);
}

// The numbers on each line of a text: "Over 480 - 135 = 345 (min)" gives 480, 135, 345.
std::vector<std::vector<double>> numbersByLine(const std::string& text)
{
    static const std::regex token("\r\n|[0-9]+(\\.[0-9]+)?");
    std::vector<std::vector<double>> lines(1);
    for (std::sregex_iterator i(text.begin(), text.end(), token), end; i != end; ++i)
        if (i->str() == "\r\n")
            lines.emplace_back();
        else
            lines.back().push_back(std::stod(i->str()));
    return lines;
}

TEST(DropRateQuestion, SweepOfRealDraws)
{
    const auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-6 * std::max(1.0, b); };
    AppState state;
    int runningCount = 0;
    for (int n = 0; n < 20000 && !::testing::Test::HasFailure(); ++n) {
        const GeneratedQuestion q = makeDropRateQuestion(state);
        SCOPED_TRACE(q.solution);
        std::string all = q.question + q.solution;
        std::transform(all.begin(), all.end(), all.begin(), [](unsigned char c) { return std::tolower(c); });
        ASSERT_FALSE(contains(all, "nan") || contains(all, "inf"));
        // The working: volume / time, X drop factor; then volume X drop factor, / time.
        const auto lines = numbersByLine(q.solution);
        const auto p = std::count(q.solution.begin(), q.solution.begin() + q.solution.find("Now we plug"), '\n');
        ASSERT_GT(lines.size(), p + 7u);
        const auto &l1 = lines[p + 2], &l2 = lines[p + 3], &l3 = lines[p + 6], &l4 = lines[p + 7], &over = lines[p - 3];
        ASSERT_TRUE(l1.size() == 3 && l2.size() == 3 && l3.size() == 3 && l4.size() == 3);
        const double v = l1[0], m = l1[1], dropFactor = l2[1], rate = l2[2];
        EXPECT_TRUE(near(l1[2], v / m) && l2[0] == l1[2] && near(rate, l1[2] * dropFactor));
        EXPECT_TRUE(l3[0] == v && l3[1] == dropFactor && l3[2] == v * dropFactor);
        EXPECT_TRUE(l4[0] == l3[2] && l4[1] == m && near(l4[2], v * dropFactor / m) && l4[2] == rate);
        EXPECT_LE(rate, 120.0);
        const double fraction = rate - std::floor(rate);
        EXPECT_EQ(q.answer, fraction == 0 ? rate : std::floor(rate) + (fraction > 0.49 ? 1 : 0));
        // A rate a hair above a whole number is written whole but still rounded down to it.
        EXPECT_TRUE(fraction != 0 ? contains(q.solution, "requires rounding")
                                  : !contains(q.solution, "requires rounding")
                    || contains(q.solution, "rounded down to " + formatNumber(rate) + "."));

        const double ml = numbersByLine(q.question)[0][0] * (all.find("litre") < all.find(" of ") ? 1000 : 1);
        EXPECT_TRUE(ml >= 500 || contains(q.question, " mls of IV Fluids ")) << ml;
        // A running infusion: at least 500 ml, started at least 15 minutes ago in steps of 15, some volume used.
        const bool running = contains(q.question, "The IV has been running for ");
        runningCount += running;
        const bool started = over.size() == 3 && over[1] >= 15 && std::fmod(over[1], 15) == 0 && over[0] - over[1] == m;
        EXPECT_TRUE(running ? ml >= 500 && v < ml && started : v == ml) << ml;
    }
    EXPECT_TRUE(runningCount > 8000 && runningCount < 12000);
}

} // namespace
} // namespace tb
