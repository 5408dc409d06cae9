#include "core/questions/drug_questions.h"

#include "core/drugdb/drug_file.h"
#include "core/foundation/file_error.h"
#include "core/foundation/number_format.h"
#include "core/questions/metric_question.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <vector>

namespace tb {

namespace {

/// How many times the tablet generator draws a drug, a slot and a dose before it gives up.
constexpr int MaxTabletDraws = 10000;

/// How many dose draws the fluid generator makes for one drug and slot before it settles for
/// the smallest dose, which is known to fit.
constexpr int MaxFluidDoseDraws = 10000;

/// The most whole tablets or capsules a question orders.
constexpr int MaxTabletCount = 5;

/// The measure of every drug unit: mass.
constexpr int MassMeasure = 2;

const std::string Br = LineBreak;

const char* const ConversionIntro = "All units must be the same so the units of the stock dose is first converted to "
                                    "the units of the required dose: ";

bool knownUnit(std::int16_t unit)
{
    return unit >= 0 && unit <= 7;
}

bool positiveNumber(double value)
{
    return std::isfinite(value) && value > 0.0;
}

/// The unit symbol of a mass unit code: "mg", "g", "µg".
std::string unitSymbol(const UnitTables& tables, std::int16_t unit)
{
    return tables.PrefixSymbol[static_cast<std::size_t>(unit + 1)] + "g";
}

/// The unit word of a mass unit code: "milligram", "gram".
std::string unitWord(const UnitTables& tables, std::int16_t unit)
{
    return tables.PrefixName[static_cast<std::size_t>(unit + 1)] + "gram";
}

/// How a problem names a drug: its generic name and record number, or the record number alone.
std::string drugLabel(const DrugRecord& drug, int record)
{
    const std::string name = trimmedRight(drug.GenericName);
    if (name.empty())
        return "record " + formatInt(record);
    return name + " (record " + formatInt(record) + ")";
}

/// What is wrong with the highest single dose, or empty when it can be used.
std::string highDoseFault(const DrugRecord& drug)
{
    if (!knownUnit(drug.DoseRangeHighUnit))
        return "the unit of its highest single dose is unknown (code " + formatInt(drug.DoseRangeHighUnit) + ")";
    if (drug.DoseRangeHigh == 0.0)
        return "its highest single dose is 0";
    if (!positiveNumber(drug.DoseRangeHigh))
        return "its highest single dose is not a number above 0";
    return {};
}

/// The stock strength of a slot in the order unit, with the conversion text when the units differ.
Conversion stockDoseOf(const UnitTables& tables, const DrugRecord& drug, int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    if (drug.StrengthUnit[i] == drug.DoseRangeHighUnit)
        return Conversion { drug.Strength[i], std::string() };
    return explainConversion(
        tables, drug.Strength[i], drug.StrengthUnit[i] + 1, MassMeasure, drug.DoseRangeHighUnit + 1, "short");
}

/// The drawn drug: its record number and contents, or why no question can be made from it.
struct DrawnDrug {
    int record = 0;
    DrugRecord drug;
    std::string problem;
};

/// Draws a candidate and reads its record. `kind` names the question ("tablet dosage").
DrawnDrug drawDrug(AppState& state, const std::string& kind)
{
    DrawnDrug drawn;
    const int count = state.CandidateCount;
    if (count < 1 || static_cast<std::size_t>(count) >= state.CandidateRecords.size()) {
        drawn.problem = "No " + kind + " question can be made: the list of candidate drugs is empty.";
        return drawn;
    }
    state.rng().reseed();
    const int p = randomWhole(state.rng(), count);
    drawn.record = state.CandidateRecords[static_cast<std::size_t>(p)];
    const std::string from = "No " + kind + " question can be made from record " + formatInt(drawn.record);
    if (drawn.record < 1) {
        drawn.problem = from + ": the drug index names a record number below 1.";
        return drawn;
    }
    bool present = false;
    try {
        drawn.drug = readDrugRecord(state.dataFolder, drawn.record, present);
    } catch (const FileError& e) {
        drawn.problem = from + ". " + e.what();
        return drawn;
    }
    if (!present)
        drawn.problem = from + ": it lies past the end of the drug data file " + std::string(DrugDataFileName)
            + ". The drug index files are out of date; opening and closing the drug database editor rebuilds "
              "them.";
    else if (drawn.drug.isBlank())
        drawn.problem = from + ": the record is blank (it has no generic name).";
    return drawn;
}

// The three lines that explain the stock dose's conversion, when there is one.
void appendConversionBlock(std::string& s, const std::string& explanation)
{
    if (explanation.empty())
        return;
    s += ConversionIntro + Br;
    s += explanation + Br;
    s += Br;
}

std::string problemFor(const std::string& kind, const DrawnDrug& drawn, const std::string& reason)
{
    return "No " + kind + " question can be made from " + drugLabel(drawn.drug, drawn.record) + ": " + reason + ".";
}

// ---- Tablets ----

/// A solid slot with everything the dose draw needs, and whether any dose of it can pass.
struct TabletPlan {
    int slot = 0;
    Conversion stock;
    int maxCount = 0;
    bool halves = false;
};

/// The ordered dose for the k-th draw of a plan.
double tabletDose(const TabletPlan& plan, int k)
{
    return plan.halves ? k * plan.stock.converted / 2 : k * plan.stock.converted;
}

/// Whether the ordered dose is rejected: one whole tablet with nothing to convert, or outside the range.
bool tabletRejected(const DrugRecord& drug, const TabletPlan& plan, double lowDose, double answer)
{
    if (!std::isfinite(answer))
        return true;
    const auto i = static_cast<std::size_t>(plan.slot);
    if (drug.StrengthUnit[i] == drug.DoseRangeHighUnit && answer == 1.0)
        return true;
    const double given = answer * plan.stock.converted;
    return given < lowDose || given > drug.DoseRangeHigh;
}

std::string tabletQuestionText(const UnitTables& tables, const Settings& settings, const DrugRecord& drug,
    const TabletPlan& plan, double requiredDose, const std::string& name)
{
    const auto i = static_cast<std::size_t>(plan.slot);
    const std::string& form = tables.FormName[static_cast<std::size_t>(drug.FormCode[i])];
    std::string orderUnit;
    std::string stockUnit;
    if (settings.abbreviationsOn()) {
        orderUnit = unitSymbol(tables, drug.DoseRangeHighUnit) + (requiredDose != 1.0 ? "'s" : "");
        stockUnit = unitSymbol(tables, drug.StrengthUnit[i]);
    } else {
        orderUnit = unitWord(tables, drug.DoseRangeHighUnit) + (requiredDose != 1.0 ? "s" : "");
        stockUnit = unitWord(tables, drug.StrengthUnit[i]);
    }
    return Br + "A client is ordered " + formatNumber(requiredDose) + " " + orderUnit + " of " + name + ". "
        + formatNumber(drug.Strength[i]) + " " + stockUnit + " " + form + "s are available." + Br + "How many " + form
        + "s will you give?";
}

std::string tabletSolutionText(const UnitTables& tables, const DrugRecord& drug, const TabletPlan& plan,
    double requiredDose, double answer, const std::string& question)
{
    const std::string& form
        = tables.FormName[static_cast<std::size_t>(drug.FormCode[static_cast<std::size_t>(plan.slot)])];
    const std::string symbol = unitSymbol(tables, drug.DoseRangeHighUnit);
    std::string s = "The question was:" + question + Br;
    s += Br;
    s += "The formula to use is:" + Br;
    s += Br;
    s += "Required dose" + Br;
    s += std::string(23, '-') + Br;
    s += "Stock dose" + Br;
    s += "= Number of " + form + "s to be given" + Br;
    s += Br;
    appendConversionBlock(s, plan.stock.explanation);
    s += "The numbers are now placed in the formula:" + Br;
    s += Br;
    s += formatNumber(requiredDose) + " " + symbol + " (required dose)" + Br;
    s += std::string(37, '-') + Br;
    s += formatNumber(plan.stock.converted) + " " + symbol + " (stock dose)" + Br;
    s += Br;
    s += " = " + formatNumber(answer) + " " + form + "s";
    return s;
}

// ---- Fluids ----

struct FluidPlan {
    int slot = 0;
    Conversion stock;
    int maxVolume = 5;
    int maxSteps = 0;
};

/// The answer for k dose steps, and whether that dose lies above the highest single dose.
struct FluidDose {
    double required = 0.0;
    double answer = 0.0;
    bool fits = false;
};

FluidDose fluidDose(const DrugRecord& drug, const FluidPlan& plan, int k)
{
    const double volume = drug.Volume[static_cast<std::size_t>(plan.slot)];
    FluidDose dose;
    dose.required = k * drug.FluidIncrement;
    dose.answer = dose.required / plan.stock.converted * volume;
    dose.fits = std::isfinite(dose.required) && std::isfinite(dose.answer) && dose.answer > 0.0
        && !(dose.answer / volume * plan.stock.converted > drug.DoseRangeHigh);
    return dose;
}

std::string fluidQuestionText(const UnitTables& tables, const Settings& settings, const DrugRecord& drug,
    const FluidPlan& plan, double requiredDose, const std::string& name)
{
    const auto i = static_cast<std::size_t>(plan.slot);
    const auto formCode = static_cast<std::size_t>(drug.FormCode[i]);
    const double strength = drug.Strength[i];
    const double volume = drug.Volume[i];
    std::string orderUnit;
    std::string stockUnit;
    std::string volumeUnit;
    std::string answerUnit;
    if (settings.abbreviationsOn()) {
        orderUnit = unitSymbol(tables, drug.DoseRangeHighUnit) + (requiredDose != 1.0 ? "'s" : "");
        stockUnit = unitSymbol(tables, drug.StrengthUnit[i]) + (strength != 1.0 ? "'s" : "");
        volumeUnit = volume > 1.0 ? "ml's" : "ml";
        answerUnit = "ml's";
    } else {
        orderUnit = unitWord(tables, drug.DoseRangeHighUnit) + (requiredDose != 1.0 ? "s" : "");
        stockUnit = unitWord(tables, drug.StrengthUnit[i]) + (strength != 1.0 ? "s" : "");
        volumeUnit = volume > 1.0 ? "millilitres" : "millilitre";
        answerUnit = "millilitres";
    }
    return Br + "A client is ordered " + formatNumber(requiredDose) + " " + orderUnit + " of " + name + " "
        + tables.RouteText[formCode] + ". " + formatNumber(strength) + " " + stockUnit + " in " + formatNumber(volume)
        + " " + volumeUnit + " of " + tables.FormName[formCode] + " is available." + Br + "How many " + answerUnit
        + " will you administer?";
}

std::string fluidSolutionText(const UnitTables& tables, const DrugRecord& drug, const FluidPlan& plan,
    double requiredDose, double answer, const std::string& question)
{
    const double volume = drug.Volume[static_cast<std::size_t>(plan.slot)];
    const std::string symbol = unitSymbol(tables, drug.DoseRangeHighUnit);
    const std::string stockText = " X " + formatNumber(volume) + " ml";
    // The no-break spaces keep the dose lines as wide as the rule with the stock volume after it.
    const std::string padding(stockText.size(), NoBreakSpace);
    std::string s = "The question was:" + question + Br;
    s += Br;
    s += "The formula to use is:" + Br;
    s += Br;
    s += "Required dose      Stock Volume" + Br;
    s += std::string(21, '-') + "  X  " + std::string(20, '-') + Br;
    s += "Stock dose" + std::string(21, ' ') + "1" + std::string(7, ' ') + NoBreakSpace + Br;
    s += "= Volume to be given" + Br;
    s += Br;
    appendConversionBlock(s, plan.stock.explanation);
    s += "The numbers are now placed in the formula:" + Br;
    s += Br;
    s += formatNumber(requiredDose) + " " + symbol + " (required dose)" + padding + Br;
    s += std::string(37, '-') + stockText + Br;
    s += formatNumber(plan.stock.converted) + " " + symbol + " (stock dose)" + padding + Br;
    s += Br;
    s += " = " + formatNumber(requiredDose / plan.stock.converted) + " X " + formatNumber(volume) + " = "
        + formatNumber(answer) + " ml.";
    return s;
}

DuplicateKeys keysFor(double answer, int record, int slot)
{
    return { answer, static_cast<double>(record), static_cast<double>(slot) };
}

/// Draws a candidate drug into `drawn`; false, with the problem in `result`, when it cannot be read.
bool drawInto(AppState& state, const std::string& kind, DrawnDrug& drawn, DrugQuestionResult& result)
{
    drawn = drawDrug(state, kind);
    result.record = drawn.record;
    result.problem = drawn.problem;
    return drawn.problem.empty();
}

DrugQuestionResult tabletQuestion(AppState& state)
{
    const std::string kind = "tablet dosage";
    const UnitTables& tables = state.tables;
    DrugQuestionResult result;

    DrawnDrug drawn;
    for (int attempt = 0; attempt < MaxTabletDraws; ++attempt) {
        if (!drawInto(state, kind, drawn, result))
            return result;
        const DrugRecord& drug = drawn.drug;
        std::string fault = highDoseFault(drug);
        if (fault.empty() && !knownUnit(drug.DoseRangeLowUnit))
            fault = "the unit of its lowest single dose is unknown (code " + formatInt(drug.DoseRangeLowUnit) + ")";
        if (fault.empty() && !(std::isfinite(drug.DoseRangeLow) && drug.DoseRangeLow >= 0.0))
            fault = "its lowest single dose is not a number of 0 or more";
        if (!fault.empty()) {
            result.problem = problemFor(kind, drawn, fault);
            return result;
        }

        double lowDose = drug.DoseRangeLow;
        if (drug.DoseRangeLowUnit != drug.DoseRangeHighUnit)
            lowDose = explainConversion(
                tables, drug.DoseRangeLow, drug.DoseRangeLowUnit + 1, MassMeasure, drug.DoseRangeHighUnit + 1, "")
                          .converted;

        // The slot is drawn among every tablet or capsule of a known strength; a slot whose doses
        // all fail the acceptance rule costs a new draw from the drug on, like any rejected dose.
        // Whether any slot can pass at all is worked out first, so that a drug that can never
        // give a question is reported instead of drawn over and over.
        std::vector<TabletPlan> plans;
        bool anyPasses = false;
        for (int i = 0; i < DrugRecord::Slots; ++i) {
            const auto u = static_cast<std::size_t>(i);
            const std::int16_t form = drug.FormCode[u];
            if (!(form == Tablet || form == Capsule) || !positiveNumber(drug.Strength[u])
                || !knownUnit(drug.StrengthUnit[u]))
                continue;
            TabletPlan plan;
            plan.slot = i;
            plan.stock = stockDoseOf(tables, drug, i);
            if (positiveNumber(plan.stock.converted)) {
                const double most = std::floor(drug.DoseRangeHigh / plan.stock.converted);
                plan.maxCount = most > MaxTabletCount ? MaxTabletCount : static_cast<int>(most);
                plan.halves = drug.HalfTablet[u] == 1;
                for (int k = 1; k <= std::max(plan.maxCount, 1) && !anyPasses; ++k)
                    anyPasses = !tabletRejected(drug, plan, lowDose, tabletDose(plan, k) / plan.stock.converted);
            }
            plans.push_back(std::move(plan));
        }
        if (plans.empty()) {
            result.problem = problemFor(kind, drawn,
                "it has no tablet or capsule preparation with a strength above 0 in a "
                "known unit");
            return result;
        }
        if (!anyPasses) {
            result.problem = problemFor(kind, drawn,
                "no order of up to 5 of its tablets or capsules fits its dose range of "
                    + formatNumber(drug.DoseRangeLow) + " " + unitSymbol(tables, drug.DoseRangeLowUnit) + " to "
                    + formatNumber(drug.DoseRangeHigh) + " " + unitSymbol(tables, drug.DoseRangeHighUnit)
                    + " (one tablet of the strength ordered is never asked for)");
            return result;
        }

        state.rng().reseed();
        const TabletPlan& plan
            = plans[static_cast<std::size_t>(randomWhole(state.rng(), static_cast<int>(plans.size())) - 1)];
        if (!positiveNumber(plan.stock.converted))
            continue;

        state.rng().reseed();
        int k = 1;
        if (plan.maxCount == 0)
            state.rng().next();
        else
            k = randomWhole(state.rng(), plan.maxCount);
        const double requiredDose = tabletDose(plan, k);
        const double answer = requiredDose / plan.stock.converted;
        if (tabletRejected(drug, plan, lowDose, answer))
            continue;

        const std::string name = pickDrugName(state, drug);
        GeneratedQuestion q;
        q.question = tabletQuestionText(tables, state.settings, drug, plan, requiredDose, name);
        q.answer = answer;
        q.solution = tabletSolutionText(tables, drug, plan, requiredDose, answer, q.question);
        q.duplicateKeys = keysFor(answer, drawn.record, plan.slot);
        result.question = std::move(q);
        return result;
    }
    result.problem = problemFor(kind, drawn, "no tablet dose was accepted in " + formatInt(MaxTabletDraws) + " draws");
    return result;
}

DrugQuestionResult fluidQuestion(AppState& state)
{
    const std::string kind = "fluid dosage";
    const UnitTables& tables = state.tables;
    DrugQuestionResult result;

    DrawnDrug drawn;
    if (!drawInto(state, kind, drawn, result))
        return result;
    const DrugRecord& drug = drawn.drug;
    std::string fault = highDoseFault(drug);
    if (fault.empty() && drug.FluidIncrement == 0.0)
        fault = "its fluid dose step is 0";
    if (fault.empty() && !positiveNumber(drug.FluidIncrement))
        fault = "its fluid dose step is not a number above 0";
    if (!fault.empty()) {
        result.problem = problemFor(kind, drawn, fault);
        return result;
    }

    bool anyStrength = false;
    bool anyVolume = false;
    std::vector<FluidPlan> plans;
    for (int i = 0; i < DrugRecord::Slots; ++i) {
        const auto u = static_cast<std::size_t>(i);
        if (!isFluidForm(drug.FormCode[u]) || !positiveNumber(drug.Strength[u]) || !knownUnit(drug.StrengthUnit[u]))
            continue;
        anyStrength = true;
        if (!positiveNumber(drug.Volume[u]))
            continue;
        anyVolume = true;
        FluidPlan plan;
        plan.slot = i;
        plan.stock = stockDoseOf(tables, drug, i);
        if (!positiveNumber(plan.stock.converted))
            continue;
        plan.maxVolume = drug.FormCode[u] <= Elixir ? 5 : 3;
        const double steps = std::floor(plan.stock.converted / drug.Volume[u] * plan.maxVolume / drug.FluidIncrement);
        plan.maxSteps = !(steps >= 0.0) ? 0 : steps > INT_MAX ? INT_MAX : static_cast<int>(steps);
        // The smallest dose is one step; when even that lies above the range, no dose ever fits.
        if (fluidDose(drug, plan, 1).fits)
            plans.push_back(std::move(plan));
    }
    if (!anyStrength) {
        result.problem
            = problemFor(kind, drawn, "it has no liquid preparation with a strength above 0 in a known unit");
        return result;
    }
    if (!anyVolume) {
        result.problem = problemFor(kind, drawn, "none of its liquid preparations has a volume above 0 ml");
        return result;
    }
    if (plans.empty()) {
        result.problem = problemFor(kind, drawn,
            "its fluid dose step of " + formatNumber(drug.FluidIncrement) + " "
                + unitSymbol(tables, drug.DoseRangeHighUnit) + " is already above its highest single dose of "
                + formatNumber(drug.DoseRangeHigh) + " " + unitSymbol(tables, drug.DoseRangeHighUnit));
        return result;
    }

    state.rng().reseed();
    const FluidPlan& plan
        = plans[static_cast<std::size_t>(randomWhole(state.rng(), static_cast<int>(plans.size())) - 1)];

    // Doses are drawn again, for the same drug and slot, until one lies within the range.
    FluidDose dose;
    for (int draw = 0; draw < MaxFluidDoseDraws && !dose.fits; ++draw) {
        int k = 1;
        if (plan.maxSteps == 0)
            state.rng().next();
        else
            k = randomWhole(state.rng(), plan.maxSteps);
        dose = fluidDose(drug, plan, k);
    }
    if (!dose.fits)
        dose = fluidDose(drug, plan, 1);

    const std::string name = pickDrugName(state, drug);
    GeneratedQuestion q;
    q.question = fluidQuestionText(tables, state.settings, drug, plan, dose.required, name);
    q.answer = dose.answer;
    q.solution = fluidSolutionText(tables, drug, plan, dose.required, dose.answer, q.question);
    q.duplicateKeys = keysFor(dose.answer, drawn.record, plan.slot);
    result.question = std::move(q);
    return result;
}

/// Runs a generator so that nothing it throws reaches the caller: a failure becomes the problem.
template <typename Generator> DrugQuestionResult guarded(const std::string& kind, Generator generate, AppState& state)
{
    try {
        return generate(state);
    } catch (const std::exception& e) {
        DrugQuestionResult result;
        result.problem = "No " + kind + " question could be made: " + e.what();
        return result;
    }
}

} // namespace

std::string pickDrugName(AppState& state, const DrugRecord& drug)
{
    if (!state.settings.genericAndTradeNamesOn())
        return trimmedRight(drug.GenericName);
    std::vector<std::string> names { drug.GenericName };
    for (const std::string& trade : drug.TradeName)
        if (!trimmedRight(trade).empty())
            names.push_back(trade);
    state.rng().reseed();
    const int k = randomWhole(state.rng(), static_cast<int>(names.size()));
    return trimmedRight(names[static_cast<std::size_t>(k - 1)]);
}

DrugQuestionResult makeTabletQuestion(AppState& state)
{
    return guarded("tablet dosage", tabletQuestion, state);
}

DrugQuestionResult makeFluidQuestion(AppState& state)
{
    return guarded("fluid dosage", fluidQuestion, state);
}

} // namespace tb
