#include "questions/drop_rate_question.h"

#include "startup/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace tb {
namespace {

using Script = std::vector<double>;

// The uniform values behind each draw, in the order the generator draws them.
double fromZero(int k, int n)
{
    return drawFor(k + 1, n);
}
Script charted(int k)
{
    return { fromZero(0, 2), drawFor(k, 14) };
}
Script running(int k)
{
    return { fromZero(1, 2), drawFor(k, 14) };
}
double fluid(int index)
{
    return fromZero(index, 4);
}
double halfHours(double hours)
{
    return drawFor(static_cast<int>(hours * 2), 5);
} // 50 to 250 ml
double halfHoursFrom1(double hours)
{
    return drawFor(static_cast<int>(hours * 2) - 1, 8);
} // 500 ml
double wholeHours(int hours)
{
    return fromZero(hours - 3, 10);
} // 1000 to 2000 ml
double factor(int dropFactor)
{
    return drawFor(dropFactor == 10 ? 1 : dropFactor == 15 ? 2 : 3, 3);
}
double pattern(int t)
{
    return drawFor(t, 4);
}
Script situation(int percent, int offset)
{
    return { fromZero(percent - 30, 60), fromZero(offset, 20) };
}

Script operator+(Script a, const Script& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

GeneratedQuestion generate(const Script& script, int* reseeds = nullptr)
{
    auto source = std::make_unique<ScriptedRandom>(script);
    ScriptedRandom& scripted = *source;
    AppState state(std::move(source));
    GeneratedQuestion q = makeDropRateQuestion(state);
    if (reseeds)
        *reseeds = scripted.reseeds();
    return q;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
bool endsWith(const std::string& text, const std::string& end)
{
    return text.rfind(end) + end.size() == text.size();
}

std::string heading(const std::string& question)
{
    return "The Question was :\r\n" + question
        + "\r\n\r\nThe formula for calculating drop factors is:\r\n\r\nvolume (mls) X drop factor (drops/ml)\r\n"
        + std::string(50, '-')
        + "\r\ntime (min)\r\n\r\n You must first ensure that all units conform to those required in the formula:\r\n";
}

const std::string Up = "This number requires rounding into a whole number. Because the number after the decimal point "
                       "is greater than .5 it is rounded up to ";
const std::string Down = "This number requires rounding into a whole number. Because the number after the decimal "
                         "point is less than .5 this number is rounded down to ";

// 1 litre of Normal Saline over 8 hours through a 15-drop set.
const Script LitreOver8Hours = charted(6) + Script { fluid(1), wholeHours(8), factor(15) };

TEST(DropRateQuestion, ChartedWholeSolution)
{
    const GeneratedQuestion q = generate(LitreOver8Hours + Script { pattern(1) });
    EXPECT_EQ(q.solution,
        heading(q.question)
            + "The volume is (1 litre X 1000 ml) = 1000 (mls)\r\n"
              "Over (8 hours X 60 minutes) = 480 (min)\r\n"
              "The drop factor is 15 (drops/ml)\r\n\r\n"
              "Now we plug these numbers into the formula:\r\n\r\n"
              "1000 (mls) / 480 (min) = 2.083333 (mls/min)\r\n"
              "2.083333 (mls/min) X 15 (drops/ml) = 31.25 (drops/min)\r\n\r\n"
              "This formula could also be calculated as:\r\n"
              "1000 (mls) X 15 (drops/ml) = 15000 (drops)\r\n"
              "15000 (drops) / 480 (min) = 31.25 (drops/min)\r\n\r\n"
            + Down + "31.");
    EXPECT_EQ(q.answer, 31.0);
    EXPECT_EQ(q.duplicateKeys, (DuplicateKeys { 1000.0, 8.0, 15.0 }));
}

class DropRateTemplate : public ::testing::TestWithParam<std::pair<int, const char*>> { };

TEST_P(DropRateTemplate, QuestionText)
{
    EXPECT_EQ(generate(LitreOver8Hours + Script { pattern(GetParam().first) }).question, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(AllFour, DropRateTemplate,
    ::testing::Values(
        std::pair { 1,
            "1 litre of Normal Saline is charted over 8 hours. The drop factor is 15. Calculate the number "
            "of drops per minute." },
        std::pair { 2,
            "Ordered: 1 litre of Normal Saline over 8 hours using a giving set which delivers 15 drops/ml. "
            "Calculate the rate in drops/minute." },
        std::pair { 3,
            "Calculate the drip rate for 1 litre of Normal Saline to be given over 8 hours via a giving set "
            "which delivers 15 drops/ml." },
        std::pair { 4,
            "You are required to administer 1 litre of Normal Saline over 8 hours. The drop factor is 15. How "
            "many drops per minute are required to start the flow off at the correct rate?" }));

// The 3000-ml bag runs over exactly 12 hours, in double precision.
TEST(DropRateQuestion, ThreeLitresOverTwelveHours)
{
    for (const auto& [dropFactor, rate, answer] :
        { std::tuple { 10, "41.6666666666667", 42.0 }, std::tuple { 15, "62.5", 63.0 } }) {
        const GeneratedQuestion q = generate(charted(14) + Script { fluid(3), factor(dropFactor), pattern(1) });
        EXPECT_EQ(q.question,
            "3 litres of Hartmans (Lactated Ringer's) is charted over 12 hours. The drop factor is "
                + formatInt(dropFactor) + ". Calculate the number of drops per minute.");
        EXPECT_TRUE(contains(q.solution, "= 3000 (mls)\r\nOver (12 hours X 60 minutes) = 720 (min)\r\n"));
        EXPECT_TRUE(contains(q.solution, "3000 (mls) / 720 (min) = 4.16666666666667 (mls/min)\r\n"));
        EXPECT_TRUE(
            endsWith(q.solution, "= " + std::string(rate) + " (drops/min)\r\n\r\n" + Up + formatNumber(answer) + "."));
        EXPECT_EQ(q.answer, answer);
    }
    // With a 60-drop set it is 250 drops/min: drawn again from the volume.
    int reseeds = 0;
    const Script rejected = charted(14) + Script { fluid(0), factor(60) };
    const GeneratedQuestion q = generate(
        rejected + Script(LitreOver8Hours.begin() + 1, LitreOver8Hours.end()) + Script { pattern(1) }, &reseeds);
    EXPECT_TRUE(q.question.starts_with("1 litre of Normal Saline is charted over 8 hours"));
    EXPECT_EQ(reseeds, 4); // before each volume and each drop factor
}

TEST(DropRateQuestion, HalfHourInQuestionThirtyMinutesInSolution)
{
    const GeneratedQuestion q = generate(charted(1) + Script { halfHours(0.5), factor(60), pattern(1) });
    EXPECT_EQ(q.question,
        "50 mls of IV Fluids is charted over 0.5 hours. The drop factor is 60. Calculate the number of drops per "
        "minute.");
    EXPECT_TRUE(contains(q.solution, "The volume is 50 mls (mls)\r\nOver 30 (min)\r\nThe drop factor is 60"));
    EXPECT_TRUE(endsWith(q.solution, "3000 (drops) / 30 (min) = 100 (drops/min)\r\n\r\n"));
    EXPECT_EQ(q.answer, 100.0);
}

class DropRateRoundingRule : public ::testing::TestWithParam<std::tuple<double, double, std::string>> { };

TEST_P(DropRateRoundingRule, AnswerAndSentence)
{
    const auto& [rate, answer, sentence] = GetParam();
    EXPECT_EQ(roundDropRate(rate).answer, answer);
    EXPECT_EQ(roundDropRate(rate).sentence, sentence);
}

INSTANTIATE_TEST_SUITE_P(Threshold, DropRateRoundingRule,
    ::testing::Values(std::tuple { 20.5, 21.0, Up + "21." }, std::tuple { 20.495, 21.0, Up + "21." },
        std::tuple { 20.49, 20.0, Down + "20." }, std::tuple { double(20.49f), 20.0, Down + "20." },
        std::tuple { 20.0, 20.0, std::string() }));

// 2000 ml of Dextrose 5% in water over 8 hours at 15 drops/ml, run 135 minutes at 62 drops/min.
TEST(DropRateQuestion, RunningWholeQuestionAndSolution)
{
    const GeneratedQuestion q
        = generate(running(12) + Script { fluid(2), wholeHours(8), factor(15) } + situation(30, 10));
    EXPECT_EQ(q.question,
        "2 litres of Dextrose 5% in water is charted over 8 hours. The drop factor is 15. The IV has been running "
        "for 2 hours and 15 minutes. 1 litres and 400 mls remain. How many drops per minute are needed so that "
        "the IV finishes in the required time?");
    // Single precision throughout: 4.057971 X 15 rounds to 60.86956 in float.
    EXPECT_EQ(q.solution,
        heading(q.question)
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

TEST(DropRateQuestion, RunningSkipsSmallVolumesAndWritesWholeLitres)
{
    // 100 ml is drawn first and thrown away; the 3000-ml bag follows, with double-precision working.
    GeneratedQuestion q = generate(running(2) + Script { drawFor(14, 14), fluid(0), factor(10) } + situation(30, 9));
    EXPECT_TRUE(contains(q.question,
        "3 litres of IV Fluids is charted over 12 hours. The drop factor is 10. The IV "
        "has been running for 3 hours and 30 minutes. 2 litres remain."));
    EXPECT_TRUE(contains(q.solution, "The volume is 2 litres = 2000mls (ml) remaining\r\nOver 720 - 210 = 510 (min)"));
    EXPECT_TRUE(contains(q.solution, "2000 (mls) / 510 (min) = 3.92156862745098 (mls/min)"));
    EXPECT_EQ(q.answer, 39.0);

    q = generate(running(11) + Script { fluid(1), wholeHours(5), factor(15) } + situation(30, 7));
    EXPECT_TRUE(contains(q.question, "running for 1 hour and 30 minutes. 1 litre remain."));
    EXPECT_TRUE(contains(q.solution, "The volume is 1 litre = 1000mls (ml) remaining\r\n"));
}

TEST(DropRateQuestion, RunningCanLeaveNothing)
{
    // 500 ml over 4.5 hours at 10 drops/ml; the first situation (8 drops/min) is too slow and is drawn again.
    int reseeds = 0;
    const GeneratedQuestion q = generate(
        running(4) + Script { fluid(0), halfHoursFrom1(4.5), factor(10) } + situation(89, 0) + situation(89, 2),
        &reseeds);
    EXPECT_TRUE(contains(q.question, "running for 4 hours. 0 mls remain. How many"));
    EXPECT_TRUE(endsWith(q.solution, "0 (drops) / 30 (min) = 0 (drops/min)\r\n\r\n"));
    EXPECT_EQ(q.answer, 0.0);
    EXPECT_EQ(reseeds, 4);
}

TEST(DropRateQuestion, WholeRateWithLostDigitsNeedsNoRounding)
{
    // 1550 / 375 X 15 comes out a hair above 62 in double precision and is written 62.
    const GeneratedQuestion q = generate(running(14) + Script { fluid(0), factor(15) } + situation(48, 10));
    EXPECT_TRUE(endsWith(q.solution, "23250 (drops) / 375 (min) = 62 (drops/min)\r\n\r\n"));
    EXPECT_EQ(q.answer, 62.0);
}

TEST(DropRateQuestion, BrokenSourceStillGivesAValidQuestion)
{
    // Always 3000 ml at 60 drops/ml, running: the rate test never passes.
    const GeneratedQuestion q = generate({ 0.99 });
    EXPECT_TRUE(q.question.starts_with("1 litre of IV Fluids is charted over 8 hours. The drop factor is 15."));
    EXPECT_EQ(q.answer, 31.0);
}

// The numbers of a text, in order: "480 - 135 = 345" gives 480, 135, 345.
std::vector<double> numbersOf(const std::string& line)
{
    std::vector<double> numbers;
    for (std::size_t i = 0; i < line.size();) {
        const std::size_t end = line.find_first_not_of("0123456789.", i);
        if (end != i && std::isdigit(static_cast<unsigned char>(line[i])))
            numbers.push_back(readNumber(line.substr(i, end - i)));
        i = end == i ? i + 1 : end;
    }
    return numbers;
}

std::string lineAfter(const std::string& text, const std::string& start, int skip = 0)
{
    std::size_t at = text.find(start);
    for (int i = 0; i < skip && at != std::string::npos; ++i)
        at = text.find("\r\n", at) + 2;
    return at == std::string::npos ? std::string() : text.substr(at, text.find("\r\n", at) - at);
}

bool near(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::max(1.0, b);
}

TEST(DropRateQuestion, SweepOfRealDraws)
{
    AppState state;
    int runningCount = 0;
    for (int n = 0; n < 20000; ++n) {
        const GeneratedQuestion q = makeDropRateQuestion(state);
        SCOPED_TRACE(q.solution);
        std::string all = q.question + q.solution;
        std::transform(all.begin(), all.end(), all.begin(), [](unsigned char c) { return std::tolower(c); });
        ASSERT_FALSE(contains(all, "nan") || contains(all, "inf"));
        ASSERT_TRUE(q.solution.starts_with(heading(q.question)));

        const std::string plug = "Now we plug these numbers into the formula:";
        const auto l1 = numbersOf(lineAfter(q.solution, plug, 2)), l2 = numbersOf(lineAfter(q.solution, plug, 3));
        const auto l3 = numbersOf(lineAfter(q.solution, plug, 6)), l4 = numbersOf(lineAfter(q.solution, plug, 7));
        ASSERT_TRUE(l1.size() == 3 && l2.size() == 3 && l3.size() == 3 && l4.size() == 3);
        const double v = l1[0], m = l1[1], dropFactor = l2[1], rate = l2[2];
        EXPECT_TRUE(near(l1[2], v / m) && l2[0] == l1[2] && near(rate, l1[2] * dropFactor));
        EXPECT_TRUE(l3[0] == v && l3[1] == dropFactor && l3[2] == v * dropFactor);
        EXPECT_TRUE(l4[0] == l3[2] && l4[1] == m && near(l4[2], v * dropFactor / m) && l4[2] == rate);
        EXPECT_TRUE(contains(q.solution, "The drop factor is " + formatNumber(dropFactor) + " (drops/ml)"));
        EXPECT_LE(rate, 120.0);

        const double fraction = rate - std::floor(rate);
        EXPECT_EQ(q.answer, fraction == 0 ? rate : std::floor(rate) + (fraction > 0.49 ? 1 : 0));
        EXPECT_EQ(contains(q.solution, "requires rounding"), fraction != 0);

        const std::string given = q.question.substr(0, q.question.find(" of "));
        const double ml = numbersOf(given)[0] * (contains(given, "litre") ? 1000 : 1);
        if (ml < 500) {
            EXPECT_TRUE(contains(q.question, " mls of IV Fluids "));
        }
        if (contains(q.question, "The IV has been running for ")) {
            ++runningCount;
            const auto over = numbersOf(lineAfter(q.solution, "Over "));
            ASSERT_EQ(over.size(), 3u);
            EXPECT_TRUE(ml >= 500 && v < ml && over[1] >= 15 && std::fmod(over[1], 15) == 0 && over[0] - over[1] == m);
            EXPECT_EQ(q.duplicateKeys, (DuplicateKeys { v, static_cast<float>(m / 60), dropFactor }));
        } else {
            EXPECT_EQ(v, ml);
            EXPECT_TRUE(q.duplicateKeys[0] == v && q.duplicateKeys[2] == dropFactor);
        }
    }
    EXPECT_TRUE(runningCount > 8000 && runningCount < 12000);
}

} // namespace
} // namespace tb
