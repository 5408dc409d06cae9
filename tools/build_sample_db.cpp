// Builds the sample drug database (MXDBASE.FIL, mxdbs1.idx, mxdbs2.idx, mxcat.idx) from its readable
// text source, with the program's own record writer, category creation and index rebuild, and then
// checks that every preparation of every drug yields questions.
//
// Usage: build_sample_db <source text> <output folder>

#include "core/drugdb/drug_file.h"
#include "core/drugdb/weight_doses.h"
#include "core/foundation/file_error.h"
#include "core/foundation/number_format.h"
#include "core/foundation/record_file.h"
#include "core/questions/drug_questions.h"
#include "core/questions/weight_dose_questions.h"
#include "core/startup/startup_loader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tb;

namespace {

/// How many questions of each kind the check asks of every drug; each of up to five preparations
/// is drawn with a chance of at least one in five, so none that can yield a question is missed.
constexpr int ChecksPerDrug = 300;

struct SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Preparation {
    int line = 0;
    std::int16_t form = 0;
    double strength = 0.0;
    std::int16_t unit = Mg;
    double volume = 0.0;
    bool halves = false;
};

struct Drug {
    int line = 0;
    std::string generic;
    std::vector<std::string> trade;
    std::string category;
    bool hasRange = false;
    double low = 0.0;
    std::int16_t lowUnit = Mg;
    double high = 0.0;
    std::int16_t highUnit = Mg;
    bool hasStep = false;
    double step = 0.0;
    std::int16_t stepUnit = Mg;
    int stepLine = 0;
    std::vector<Preparation> preparations;
    std::optional<WeightDose> perKg;
};

const char* const UnitNames[] = { "kg", "hg", "dag", "g", "dg", "cg", "mg", "mcg" };
const char* const FormWords[] = { "tablet", "capsule", "solution", "suspension", "syrup", "emulsion", "liquid-forte",
    "elixir", "im-injection", "sc-injection", "iv-injection" };

class SourceParser {
public:
    explicit SourceParser(std::string fileName)
        : fileName_(std::move(fileName))
    {
    }

    std::vector<Drug> parse(std::istream& in)
    {
        std::string raw;
        while (std::getline(in, raw)) {
            ++line_;
            if (!raw.empty() && raw.back() == '\r')
                raw.pop_back();
            const auto hash = raw.find('#');
            if (hash != std::string::npos)
                raw.erase(hash);
            words_ = split(raw);
            if (words_.empty())
                continue;
            parseLine();
        }
        finishDrug();
        if (drugs_.empty())
            fail("holds no drug");
        return std::move(drugs_);
    }

    [[noreturn]] void failAt(int line, const std::string& what) const
    {
        throw SourceError(fileName_ + ":" + std::to_string(line) + ": " + what);
    }

private:
    [[noreturn]] void fail(const std::string& what) const { failAt(line_, what); }

    static std::vector<std::string> split(const std::string& text)
    {
        std::vector<std::string> words;
        std::istringstream in(text);
        for (std::string w; in >> w;)
            words.push_back(w);
        return words;
    }

    // The rest of the line after the keyword, blanks between words kept single.
    std::string restOfLine() const
    {
        std::string rest;
        for (std::size_t i = 1; i < words_.size(); ++i)
            rest += (i > 1 ? " " : "") + words_[i];
        return rest;
    }

    double number(const std::string& text, const char* what) const
    {
        double value = 0.0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
            fail(std::string(what) + " \"" + text + "\" is not a number");
        if (value <= 0.0)
            fail(std::string(what) + " must be above 0");
        return value;
    }

    std::int16_t unit(const std::string& text) const
    {
        for (std::int16_t u = 0; u < 8; ++u)
            if (text == UnitNames[u])
                return u;
        fail("unknown unit \"" + text + "\" (use kg, hg, dag, g, dg, cg, mg or mcg)");
    }

    Drug& current()
    {
        if (!drug_)
            fail("\"" + words_[0] + "\" must follow a \"drug\" line");
        return *drug_;
    }

    void finishDrug()
    {
        if (!drug_)
            return;
        drugs_.push_back(std::move(*drug_));
        drug_.reset();
    }

    void parseLine()
    {
        const std::string& key = words_[0];
        if (key == "category") {
            finishDrug();
            category_ = restOfLine();
            if (category_.empty())
                fail("a category needs a name");
            if (category_.size() > 20)
                fail("the category name \"" + category_ + "\" is longer than 20 characters");
            if (category_.find('"') != std::string::npos)
                fail("a category name cannot hold a double quote");
        } else if (key == "drug") {
            finishDrug();
            if (category_.empty())
                fail("a drug needs a \"category\" line before it");
            drug_ = Drug {};
            drug_->line = line_;
            drug_->generic = restOfLine();
            drug_->category = category_;
            if (drug_->generic.empty())
                fail("a drug needs its generic name");
            if (drug_->generic.size() > 30)
                fail("the generic name \"" + drug_->generic + "\" is longer than 30 characters");
        } else if (key == "trade") {
            Drug& d = current();
            const std::string name = restOfLine();
            if (name.empty())
                fail("\"trade\" needs a name");
            if (name.size() > 30)
                fail("the trade name \"" + name + "\" is longer than 30 characters");
            if (d.trade.size() == 2)
                fail("a drug has at most two trade names");
            d.trade.push_back(name);
        } else if (key == "range") {
            Drug& d = current();
            if (words_.size() != 6 || words_[3] != "to")
                fail("write the dose range as \"range <low> <unit> to <high> <unit>\"");
            if (d.hasRange)
                fail("the drug already has a dose range");
            d.low = number(words_[1], "the lowest dose");
            d.lowUnit = unit(words_[2]);
            d.high = number(words_[4], "the highest dose");
            d.highUnit = unit(words_[5]);
            d.hasRange = true;
        } else if (key == "perkg") {
            // The side file's line without the name: "10-15 mg/kg; per dose; <source>".
            Drug& d = current();
            if (d.perKg)
                fail("the drug already has a dose per kg");
            std::string why;
            d.perKg = parseWeightDoseLine(d.generic + "; " + restOfLine(), why);
            if (!d.perKg)
                fail("write the dose per kg as \"perkg <low>-<high> mg/kg; per dose (or per day in <n> doses); "
                     "<source>\": "
                    + why);
        } else if (key == "step") {
            Drug& d = current();
            if (words_.size() != 3)
                fail("write the fluid dose step as \"step <amount> <unit>\"");
            if (d.hasStep)
                fail("the drug already has a fluid dose step");
            d.step = number(words_[1], "the fluid dose step");
            d.stepUnit = unit(words_[2]);
            d.stepLine = line_;
            d.hasStep = true;
        } else {
            parsePreparation(key);
        }
    }

    void parsePreparation(const std::string& key)
    {
        std::int16_t form = -1;
        for (std::int16_t f = 0; f <= IVInjection; ++f)
            if (key == FormWords[f])
                form = f;
        if (form < 0)
            fail("unknown keyword \"" + key
                + "\" (expected category, drug, trade, range, perkg, step or a preparation form: tablet, capsule, "
                  "solution, suspension, syrup, emulsion, liquid-forte, elixir, im-injection, sc-injection, "
                  "iv-injection)");
        Drug& d = current();
        if (d.preparations.size() == DrugRecord::Slots)
            fail("a drug has at most five preparations");
        Preparation p;
        p.line = line_;
        p.form = form;
        if (words_.size() < 3)
            fail("write a preparation as \"" + key + " <strength> <unit>"
                + (isFluidForm(form) ? " in <volume> ml\"" : " [halves]\""));
        p.strength = number(words_[1], "the strength");
        p.unit = unit(words_[2]);
        if (isFluidForm(form)) {
            if (words_.size() != 6 || words_[3] != "in" || words_[5] != "ml")
                fail("write a liquid preparation as \"" + key + " <strength> <unit> in <volume> ml\"");
            p.volume = number(words_[4], "the volume");
        } else {
            if (words_.size() == 4 && words_[3] == "halves")
                p.halves = true;
            else if (words_.size() != 3)
                fail("write a solid preparation as \"" + key
                    + " <strength> <unit>\", optionally followed by "
                      "\"halves\"");
        }
        d.preparations.push_back(p);
    }

    std::string fileName_;
    int line_ = 0;
    std::vector<std::string> words_;
    std::string category_;
    std::optional<Drug> drug_;
    std::vector<Drug> drugs_;
};

/// The amount in grams, to compare doses given in different units.
double inGrams(double amount, std::int16_t unit)
{
    static const double perGram[] = { 1000, 100, 10, 1, 0.1, 0.01, 0.001, 0.000001 };
    return amount * perGram[unit];
}

/// The checks the drug database editor makes before it writes a record, and the ones this
/// source needs besides.
void checkDrug(const SourceParser& parser, const Drug& d)
{
    if (!d.hasRange)
        parser.failAt(d.line, d.generic + " has no dose range");
    if (inGrams(d.low, d.lowUnit) > inGrams(d.high, d.highUnit))
        parser.failAt(d.line, d.generic + " has a lowest dose above its highest dose");
    if (d.preparations.empty())
        parser.failAt(d.line, d.generic + " has no preparation");
    bool fluid = false;
    for (const Preparation& p : d.preparations)
        fluid = fluid || isFluidForm(p.form);
    if (fluid && !d.hasStep)
        parser.failAt(d.line, d.generic + " has a liquid preparation but no fluid dose step");
    if (d.hasStep && d.stepUnit != d.highUnit)
        parser.failAt(d.stepLine,
            "the fluid dose step of " + d.generic + " must be given in " + UnitNames[d.highUnit]
                + ", the unit of its highest dose");
}

DrugRecord recordFor(const Drug& d, std::int16_t categoryCode)
{
    DrugRecord r;
    r.GenericName = d.generic;
    for (std::size_t i = 0; i < d.trade.size(); ++i)
        r.TradeName[i] = d.trade[i];
    r.DoseRangeLow = d.low;
    r.DoseRangeLowUnit = d.lowUnit;
    r.DoseRangeHigh = d.high;
    r.DoseRangeHighUnit = d.highUnit;
    r.FluidIncrement = d.hasStep ? d.step : 0.0;
    for (std::size_t i = 0; i < DrugRecord::Slots; ++i) {
        r.StrengthUnit[i] = Mg;
        r.VolumeUnit[i] = Mg; // the milli- step: millilitres
    }
    for (std::size_t i = 0; i < d.preparations.size(); ++i) {
        const Preparation& p = d.preparations[i];
        r.FormCode[i] = p.form;
        r.Strength[i] = p.strength;
        r.StrengthUnit[i] = p.unit;
        r.Volume[i] = p.volume;
        r.HalfTablet[i] = p.halves ? 1 : 0;
    }
    r.DrugCategory = categoryCode;
    return r;
}

void removeDatabase(const fs::path& folder)
{
    for (const char* name :
        { DrugDataFileName, TabletIndexFileName, FluidIndexFileName, CategoryFileName, WeightDoseFileName }) {
        std::error_code ec;
        fs::remove(findFile(folder, name), ec);
    }
}

/// The side file of doses per kg, for the drugs that have one.
void writeDosesPerKg(const std::vector<Drug>& drugs, const fs::path& folder)
{
    std::string text = "# Doses per kg for weight-based dose questions, one drug a line:\r\n"
                       "# generic name; low-high mg/kg; per dose or per day in N doses; source\r\n"
                       "# Check every line against your local formulary before you rely on it.\r\n";
    bool any = false;
    for (const Drug& d : drugs)
        if (d.perKg) {
            text += formatWeightDose(*d.perKg) + "\r\n";
            any = true;
        }
    if (any)
        writeFileAtomically(folder / WeightDoseFileName, text);
}

/// Asks the generators for questions from every drug; every preparation must be drawn at least once.
void checkQuestions(const SourceParser& parser, const std::vector<Drug>& drugs, const fs::path& folder)
{
    AppState state(std::make_unique<ProductionRandom>(), folder);
    // Every dose per kg must match its drug and give questions.
    const MatchedWeightDoses matched = matchWeightDoses(folder);
    if (!matched.problems.empty())
        throw SourceError(matched.problems.front());
    for (const WeightDoseDrug& drug : matched.drugs)
        for (int i = 0; i < ChecksPerDrug; ++i)
            if (const DrugQuestionResult result = makeWeightDoseQuestion(state, { drug }); !result.question)
                parser.failAt(drugs[static_cast<std::size_t>(drug.record - 1)].line, result.problem);
    state.CandidateRecords = { 0, 0 };
    state.CandidateCount = 1;
    for (std::size_t n = 0; n < drugs.size(); ++n) {
        const Drug& d = drugs[n];
        state.CandidateRecords[1] = static_cast<std::int16_t>(n + 1);
        std::set<int> drawn;
        bool solid = false;
        bool fluid = false;
        for (const Preparation& p : d.preparations)
            (isFluidForm(p.form) ? fluid : solid) = true;
        for (int kind = 0; kind < 2; ++kind) {
            if ((kind == 0 && !solid) || (kind == 1 && !fluid))
                continue;
            for (int i = 0; i < ChecksPerDrug; ++i) {
                const DrugQuestionResult result = kind == 0 ? makeTabletQuestion(state) : makeFluidQuestion(state);
                if (!result.question)
                    parser.failAt(d.line, result.problem);
                drawn.insert(static_cast<int>(*result.question->duplicateKeys[2]));
            }
        }
        for (std::size_t slot = 0; slot < d.preparations.size(); ++slot)
            if (!drawn.count(static_cast<int>(slot)))
                parser.failAt(d.preparations[slot].line,
                    "this preparation of " + d.generic
                        + " never yields a question: no dose of it fits the dose range (an order of one tablet "
                          "of the strength ordered is never asked for)");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: build_sample_db <source text> <output folder>\n";
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path folder = argv[2];
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::cerr << source.string() << ": cannot be opened\n";
        return 1;
    }
    SourceParser parser(source.string());
    try {
        const std::vector<Drug> drugs = parser.parse(in);
        if (drugs.size() > static_cast<std::size_t>(MaxDrugRecords))
            parser.failAt(drugs.back().line, "more than 32767 drugs");
        for (const Drug& d : drugs)
            checkDrug(parser, d);

        CategoryTables categories;
        std::vector<std::int16_t> codes;
        for (const Drug& d : drugs) {
            int slot = 0;
            for (int c = 1; c <= categories.CategoryCount; ++c)
                if (trimmedRight(categories.CategoryName[static_cast<std::size_t>(c)]) == d.category)
                    slot = c;
            if (slot == 0)
                slot = createCategory(categories, d.category);
            if (slot == 0)
                parser.failAt(d.line, "more than 50 categories");
            codes.push_back(categories.CategoryCode[static_cast<std::size_t>(slot)]);
        }

        fs::create_directories(folder);
        removeDatabase(folder);
        try {
            {
                DrugFile file(folder);
                for (std::size_t n = 0; n < drugs.size(); ++n)
                    file.write(static_cast<int>(n + 1), recordFor(drugs[n], codes[n]));
                file.close();
            }
            rebuildIndexes(folder, categories);
            writeDosesPerKg(drugs, folder);
            checkQuestions(parser, drugs, folder);
        } catch (...) {
            // A half-built database must not look like a finished one to the build.
            removeDatabase(folder);
            throw;
        }
        std::cout << "Sample drug database: " << drugs.size() << " drugs in " << categories.CategoryCount
                  << " categories written to " << folder.string() << "\n";
        return 0;
    } catch (const SourceError& e) {
        std::cerr << e.what() << "\n";
    } catch (const FileError& e) {
        std::cerr << e.what() << "\n";
    } catch (const std::exception& e) {
        std::cerr << source.string() << ": " << e.what() << "\n";
    }
    return 1;
}
