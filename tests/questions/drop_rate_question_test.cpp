#include "questions/drop_rate_question.h"

#include "startup/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tb {
namespace {

using Script = std::vector<double>;

// The uniform values behind each draw of the generator, in the order it draws them.
double fromZero(int k, int n)
{
    return drawFor(k + 1, n);
}
Script scenario(bool running)
{
    return { fromZero(running ? 1 : 0, 2) };
}
double volumeDraw(int k)
{
    return drawFor(k, 14);
}
double fluidDraw(int fluid)
{
    return fromZero(fluid, 4);
}
double factorDraw(int dropFactor)
{
    return drawFor(dropFactor == 10 ? 1 : dropFactor == 15 ? 2 : 3, 3);
}
double templateDraw(int t)
{
    return drawFor(t, 4);
}
double halfHoursDraw(double hours)
{
    return drawFor(static_cast<int>(hours * 2), 5);
} // 50 to 250 ml
double halfHoursFrom1Draw(double hours)
{
    return drawFor(static_cast<int>(hours * 2) - 1, 8);
} // 500 ml
double wholeHoursDraw(int hours)
{
    return fromZero(hours - 3, 10);
} // 1000 to 2000 ml
Script situationDraw(int percent, int offset)
{
    return { fromZero(percent - 30, 60), fromZero(offset, 20) };
}

Script operator+(Script a, const Script& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Generated {
    GeneratedQuestion question;
    int reseeds = 0;
};

Generated generate(const Script& script)
{
    auto random = std::make_unique<ScriptedRandom>(script);
    ScriptedRandom& source = *random;
    AppState state(std::move(random));
    Generated g { makeDropRateQuestion(state), 0 };
    g.reseeds = source.reseeds();
    return g;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

const std::string Rule(50, '-');

/// The part of a solution from the heading to the scenario's own lines.
std::string solutionStart(const std::string& question)
{
    return "The Question was :\r\n" + question
        + "\r\n\r\nThe formula for calculating drop factors is:\r\n\r\nvolume (mls) X drop factor (drops/ml)\r\n" + Rule
        + "\r\ntime (min)\r\n\r\n You must first ensure that all units conform to those required in the formula:\r\n";
}

// 1 litre of Normal Saline over 8 hours through a 15-drop set.
const Script LitreOver8Hours
    = scenario(false) + Script { volumeDraw(6), fluidDraw(1), wholeHoursDraw(8), factorDraw(15) };

TEST(DropRateQuestion, ChartedLitreOverEightHoursWholeSolution)
{
    const GeneratedQuestion q = generate(LitreOver8Hours + Script { templateDraw(1) }).question;
    EXPECT_EQ(q.question,
        "1 litre of Normal Saline is charted over 8 hours. The drop factor is 15. Calculate the number of drops "
        "per minute.");
    EXPECT_EQ(q.solution,
        solutionStart(q.question)
            + "The volume is (1 litre X 1000 ml) = 1000 (mls)\r\n"
              "Over (8 hours X 60 minutes) = 480 (min)\r\n"
              "The drop factor is 15 (drops/ml)\r\n\r\n"
              "Now we plug these numbers into the formula:\r\n\r\n"
              "1000 (mls) / 480 (min) = 2.083333 (mls/min)\r\n"
              "2.083333 (mls/min) X 15 (drops/ml) = 31.25 (drops/min)\r\n\r\n"
              "This formula could also be calculated as:\r\n"
              "1000 (mls) X 15 (drops/ml) = 15000 (drops)\r\n"
              "15000 (drops) / 480 (min) = 31.25 (drops/min)\r\n\r\n"
              "This number requires rounding into a whole number. Because the number after the decimal point "
              "is less than .5 this number is rounded down to 31.");
    EXPECT_EQ(q.answer, 31.0);
    EXPECT_EQ(q.duplicateKeys, (DuplicateKeys { 1000.0, 8.0, 15.0 }));
}

class DropRateTemplate : public ::testing::TestWithParam<std::pair<int, std::string>> { };

TEST_P(DropRateTemplate, QuestionText)
{
    const auto& [t, expected] = GetParam();
    EXPECT_EQ(generate(LitreOver8Hours + Script { templateDraw(t) }).question.question, expected);
}

INSTANTIATE_TEST_SUITE_P(AllFour, DropRateTemplate,
    ::testing::Values(
        std::pair { 1,
            std::string("1 litre of Normal Saline is charted over 8 hours. The drop factor is 15. Calculate the "
                        "number of drops per minute.") },
        std::pair { 2,
            std::string("Ordered: 1 litre of Normal Saline over 8 hours using a giving set which delivers 15 "
                        "drops/ml. Calculate the rate in drops/minute.") },
        std::pair { 3,
            std::string("Calculate the drip rate for 1 litre of Normal Saline to be given over 8 hours via a "
                        "giving set which delivers 15 drops/ml.") },
        std::pair { 4,
            std::string("You are required to administer 1 litre of Normal Saline over 8 hours. The drop factor "
                        "is 15. How many drops per minute are required to start the flow off at the correct "
                        "rate?") }));

struct ThreeLitreCase {
    int dropFactor;
    std::string perMinute;
    std::string rate;
    double answer;
};

class ThreeLitres : public ::testing::TestWithParam<ThreeLitreCase> { };

// The 3000-ml bag runs over exactly 12 hours and its arithmetic is double precision.
TEST_P(ThreeLitres, TwelveHoursAndDoublePrecision)
{
    const ThreeLitreCase& c = GetParam();
    const GeneratedQuestion q
        = generate(scenario(false) + Script { volumeDraw(14), fluidDraw(3), factorDraw(c.dropFactor), templateDraw(1) })
              .question;
    EXPECT_EQ(q.question,
        "3 litres of Hartmans (Lactated Ringer's) is charted over 12 hours. The drop factor is "
            + formatInt(c.dropFactor) + ". Calculate the number of drops per minute.");
    EXPECT_TRUE(contains(
        q.solution, "The volume is (3 litres X 1000 ml) = 3000 (mls)\r\nOver (12 hours X 60 minutes) = 720 (min)\r\n"));
    EXPECT_TRUE(contains(q.solution, "3000 (mls) / 720 (min) = " + c.perMinute + " (mls/min)\r\n"));
    EXPECT_TRUE(contains(q.solution, "/ 720 (min) = " + c.rate + " (drops/min)\r\n\r\nThis number requires rounding"));
    EXPECT_TRUE(contains(q.solution, "rounded up to " + formatNumber(c.answer) + "."));
    EXPECT_EQ(q.answer, c.answer);
    EXPECT_EQ(q.duplicateKeys, (DuplicateKeys { 3000.0, 12.0, static_cast<double>(c.dropFactor) }));
}

INSTANTIATE_TEST_SUITE_P(Factors, ThreeLitres,
    ::testing::Values(ThreeLitreCase { 10, "4.16666666666667", "41.6666666666667", 42.0 },
        ThreeLitreCase { 15, "4.16666666666667", "62.5", 63.0 }));

TEST(DropRateQuestion, RateAbove120DrawsTheVolumeAgain)
{
    // 3000 ml with a 60-drop set is 250 drops/min: rejected, then 1 litre over 8 hours is drawn.
    const Generated g = generate(scenario(false) + Script { volumeDraw(14), fluidDraw(0), factorDraw(60) }
        + Script(LitreOver8Hours.begin() + 1, LitreOver8Hours.end()) + Script { templateDraw(1) });
    EXPECT_TRUE(contains(g.question.question, "1 litre of Normal Saline is charted over 8 hours"));
    EXPECT_EQ(g.reseeds, 4); // twice per attempt: before the volume and before the drop factor
}

TEST(DropRateQuestion, HalfHourWrittenInHoursAndConvertedToMinutes)
{
    const GeneratedQuestion q
        = generate(scenario(false) + Script { volumeDraw(1), halfHoursDraw(0.5), factorDraw(60), templateDraw(1) })
              .question;
    EXPECT_EQ(q.question,
        "50 mls of IV Fluids is charted over 0.5 hours. The drop factor is 60. Calculate the number of drops per "
        "minute.");
    EXPECT_TRUE(
        contains(q.solution, "The volume is 50 mls (mls)\r\nOver 30 (min)\r\nThe drop factor is 60 (drops/ml)"));
    EXPECT_TRUE(contains(q.solution, "3000 (drops) / 30 (min) = 100 (drops/min)\r\n\r\n"));
    EXPECT_FALSE(contains(q.solution, "rounding"));
    EXPECT_EQ(q.answer, 100.0);
}

TEST(DropRateQuestion, SmallVolumesAreIVFluidsWithoutAFluidDraw)
{
    // Had a fluid been drawn, the hours draw would have been taken from the fluid's value.
    const GeneratedQuestion q
        = generate(scenario(false) + Script { volumeDraw(3), halfHoursDraw(2), factorDraw(10), templateDraw(2) })
              .question;
    EXPECT_EQ(q.question,
        "Ordered: 250 mls of IV Fluids over 2 hours using a giving set which delivers 10 drops/ml. Calculate "
        "the rate in drops/minute.");
    EXPECT_TRUE(contains(q.solution, "Over (2 hours X 60 minutes) = 120 (min)"));
}

struct RoundingCase {
    double rate;
    double answer;
    std::string sentence;
};

class DropRateRoundingRule : public ::testing::TestWithParam<RoundingCase> { };

TEST_P(DropRateRoundingRule, AnswerAndSentence)
{
    const RoundingCase& c = GetParam();
    const DropRateRounding r = roundDropRate(c.rate);
    EXPECT_EQ(r.answer, c.answer);
    EXPECT_EQ(r.sentence, c.sentence);
}

const std::string Up = "This number requires rounding into a whole number. Because the number after the decimal point "
                       "is greater than .5 it is rounded up to ";
const std::string Down = "This number requires rounding into a whole number. Because the number after the decimal "
                         "point is less than .5 this number is rounded down to ";

INSTANTIATE_TEST_SUITE_P(Threshold, DropRateRoundingRule,
    ::testing::Values(RoundingCase { 20.5, 21, Up + "21." }, RoundingCase { 20.495, 21, Up + "21." },
        RoundingCase { 20.49, 20, Down + "20." }, RoundingCase { static_cast<float>(20.49), 20, Down + "20." },
        RoundingCase { 20.0, 20, "" }, RoundingCase { 0.0, 0, "" }));

// 2000 ml of Dextrose 5% in water over 8 hours at 15 drops/ml; it has run 135 minutes at 62 drops/min.
TEST(DropRateQuestion, RunningWholeQuestionAndSolution)
{
    const GeneratedQuestion q = generate(scenario(true)
        + Script { volumeDraw(12), fluidDraw(2), wholeHoursDraw(8), factorDraw(15) } + situationDraw(30, 10))
                                    .question;
    EXPECT_EQ(q.question,
        "2 litres of Dextrose 5% in water is charted over 8 hours. The drop factor is 15. The IV has been running "
        "for 2 hours and 15 minutes. 1 litres and 400 mls remain. How many drops per minute are needed so that "
        "the IV finishes in the required time?");
    EXPECT_EQ(q.solution,
        solutionStart(q.question)
            + "The volume is 1 litres and 400 mls = 1400mls (ml) remaining\r\n"
              "Over 480 - 135 = 345 (min) remaining\r\n"
              "The drop factor is 15 (drops/ml)\r\n\r\n"
              "Now we plug these numbers into the formula:\r\n\r\n"
              "1400 (mls) / 345 (min) = 4.057971 (mls/min)\r\n"
              "4.057971 (mls/min) X 15 (drops/ml) = 60.86956 (drops/min)\r\n\r\n"
              "This formula could also be calculated as:\r\n"
              "1400 (mls) X 15 (drops/ml) = 21000 (drops)\r\n"
              "21000 (drops) / 345 (min) = 60.86956 (drops/min)\r\n\r\n"
            + Up + "61.");
    EXPECT_EQ(q.answer, 61.0);
    EXPECT_EQ(q.duplicateKeys, (DuplicateKeys { 1400.0, 5.75, 15.0 }));
}

TEST(DropRateQuestion, RunningNeverUsesSmallVolumes)
{
    // 100 ml is drawn first and thrown away; the 3000-ml bag follows, with double-precision working.
    const Generated g = generate(
        scenario(true) + Script { volumeDraw(2), volumeDraw(14), fluidDraw(0), factorDraw(10) } + situationDraw(30, 9));
    EXPECT_TRUE(contains(g.question.question,
        "3 litres of IV Fluids is charted over 12 hours. The drop factor is 10. "
        "The IV has been running for 3 hours and 30 minutes. 2 litres remain."));
    EXPECT_TRUE(contains(g.question.solution,
        "The volume is 2 litres = 2000mls (ml) remaining\r\n"
        "Over 720 - 210 = 510 (min) remaining\r\n"));
    EXPECT_TRUE(contains(g.question.solution, "2000 (mls) / 510 (min) = 3.92156862745098 (mls/min)"));
    EXPECT_TRUE(contains(g.question.solution, "= 39.2156862745098 (drops/min)"));
    EXPECT_EQ(g.question.answer, 39.0);
}

TEST(DropRateQuestion, WholeRateWithLostDigitsNeedsNoRounding)
{
    // 1550 / 375 X 15 comes out a hair above 62 in double precision and is written 62.
    const GeneratedQuestion q
        = generate(scenario(true) + Script { volumeDraw(14), fluidDraw(0), factorDraw(15) } + situationDraw(48, 10))
              .question;
    EXPECT_TRUE(contains(q.solution, "1550 (mls) / 375 (min) = 4.13333333333333 (mls/min)\r\n"));
    const std::string end = "23250 (drops) / 375 (min) = 62 (drops/min)\r\n\r\n";
    EXPECT_EQ(q.solution.substr(q.solution.size() - end.size()), end);
    EXPECT_EQ(q.answer, 62.0);
}

TEST(DropRateQuestion, RunningWholeLitreRemaining)
{
    const GeneratedQuestion q = generate(scenario(true)
        + Script { volumeDraw(11), fluidDraw(1), wholeHoursDraw(5), factorDraw(15) } + situationDraw(30, 7))
                                    .question;
    EXPECT_TRUE(contains(q.question, "running for 1 hour and 30 minutes. 1 litre remain."));
    EXPECT_TRUE(contains(q.solution, "The volume is 1 litre = 1000mls (ml) remaining\r\nOver 300 - 90 = 210 (min)"));
}

TEST(DropRateQuestion, RunningCanLeaveNothing)
{
    // 500 ml over 4.5 hours at 10 drops/ml; the first situation (8 drops/min) is too slow and is drawn again.
    const Generated g
        = generate(scenario(true) + Script { volumeDraw(4), fluidDraw(0), halfHoursFrom1Draw(4.5), factorDraw(10) }
            + situationDraw(89, 0) + situationDraw(89, 2));
    EXPECT_TRUE(contains(g.question.question, "running for 4 hours. 0 mls remain. How many"));
    EXPECT_TRUE(contains(g.question.solution, "0 (mls) / 30 (min) = 0 (mls/min)\r\n"));
    EXPECT_TRUE(contains(g.question.solution, "0 (drops) / 30 (min) = 0 (drops/min)\r\n\r\n"));
    EXPECT_EQ(g.question.solution.substr(g.question.solution.size() - 4), "\r\n\r\n");
    EXPECT_EQ(g.question.answer, 0.0);
    EXPECT_EQ(g.reseeds, 4); // volume, drop factor and two situation draws
}

TEST(DropRateQuestion, BrokenSourceStillGivesAValidQuestion)
{
    // Always 3000 ml at 60 drops/ml in the running scenario: the rate test never passes.
    const GeneratedQuestion q = generate({ 0.99 }).question;
    EXPECT_EQ(q.question,
        "1 litre of IV Fluids is charted over 8 hours. The drop factor is 15. Calculate the number of drops per "
        "minute.");
    EXPECT_EQ(q.answer, 31.0);
}

// Reads the numbers of a line such as "1000 (mls) / 480 (min) = 2.083333 (mls/min)".
std::vector<double> numbersOf(const std::string& line)
{
    std::vector<double> numbers;
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isdigit(static_cast<unsigned char>(line[i]))) {
            std::size_t end = i;
            while (end < line.size() && (std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == '.'))
                ++end;
            numbers.push_back(readNumber(line.substr(i, end - i)));
            i = end;
        } else {
            ++i;
        }
    }
    return numbers;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

bool near(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(b));
}

TEST(DropRateQuestion, SweepOfRealDraws)
{
    AppState state;
    int running = 0;
    for (int n = 0; n < 20000; ++n) {
        const GeneratedQuestion q = makeDropRateQuestion(state);
        SCOPED_TRACE(q.solution);
        std::string lower = q.question + q.solution;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        ASSERT_FALSE(contains(lower, "nan") || contains(lower, "inf"));
        ASSERT_FALSE(contains(q.question, "\r\n"));
        ASSERT_EQ(q.solution.rfind(solutionStart(q.question), 0), 0u);

        const std::vector<std::string> lines = linesOf(q.solution);
        const auto plug = std::find(lines.begin(), lines.end(), "Now we plug these numbers into the formula:");
        ASSERT_NE(plug, lines.end());
        const std::vector<double> l1 = numbersOf(plug[2]), l2 = numbersOf(plug[3]);
        const std::vector<double> l3 = numbersOf(plug[6]), l4 = numbersOf(plug[7]);
        ASSERT_TRUE(l1.size() == 3 && l2.size() == 3 && l3.size() == 3 && l4.size() == 3);
        const double v = l1[0], m = l1[1], perMinute = l1[2], factor = l2[1], rate = l2[2];
        EXPECT_TRUE(near(perMinute, v / m) && l2[0] == perMinute);
        EXPECT_TRUE(near(rate, perMinute * factor));
        EXPECT_TRUE(l3[0] == v && l3[1] == factor && l3[2] == v * factor);
        EXPECT_TRUE(l4[0] == v * factor && l4[1] == m && near(l4[2], v * factor / m) && l4[2] == rate);
        EXPECT_TRUE(factor == 10 || factor == 15 || factor == 60);
        EXPECT_TRUE(contains(q.solution, "The drop factor is " + formatNumber(factor) + " (drops/ml)"));
        EXPECT_LE(rate, 120.0);

        const double fraction = rate - std::floor(rate);
        EXPECT_EQ(q.answer, fraction == 0 ? rate : std::floor(rate) + (fraction > 0.49 ? 1 : 0));
        EXPECT_EQ(contains(q.solution, "requires rounding"), fraction != 0);

        const double volume = numbersOf(q.question.substr(0, q.question.find(" of ")))[0];
        const double ml = contains(q.question.substr(0, q.question.find(" of ")), "litre") ? volume * 1000 : volume;
        if (ml < 500) {
            EXPECT_EQ(q.question.find(" of IV Fluids "), q.question.find(" of "));
        }
        if (contains(q.question, "The IV has been running for ")) {
            ++running;
            EXPECT_GE(ml, 500);
            const auto overLine = std::find_if(
                lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("Over ", 0) == 0; });
            ASSERT_NE(overLine, lines.end());
            const std::vector<double> over = numbersOf(*overLine);
            ASSERT_EQ(over.size(), 3u);
            EXPECT_GE(over[1], 15.0);
            EXPECT_EQ(std::fmod(over[1], 15.0), 0.0);
            EXPECT_EQ(over[0] - over[1], m);
            EXPECT_LT(v, ml);
            EXPECT_EQ(q.duplicateKeys, (DuplicateKeys { v, static_cast<double>(static_cast<float>(m / 60)), factor }));
        } else {
            EXPECT_EQ(v, ml);
            EXPECT_EQ(q.duplicateKeys[0], v);
            EXPECT_EQ(q.duplicateKeys[2], factor);
        }
    }
    EXPECT_GT(running, 8000);
    EXPECT_LT(running, 12000);
}

} // namespace
} // namespace tb
