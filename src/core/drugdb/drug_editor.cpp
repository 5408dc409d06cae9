#include "core/drugdb/drug_editor.h"

#include "core/drugdb/index_files.h"
#include "core/foundation/app_state.h"
#include "core/foundation/cp1252.h"
#include "core/foundation/file_error.h"
#include "core/foundation/folder_lock.h"
#include "core/foundation/number_format.h"
#include "core/foundation/prompts.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

namespace tb {

namespace {

constexpr std::size_t NameLength = 30;
constexpr int MassUnitMg = 6;

std::string boxName(std::string_view text)
{
    return trimmedRight(trimmedRight(text).substr(0, NameLength));
}

// A list position for a stored code; a code outside the list selects nothing.
int listPosition(std::int16_t code, std::size_t items)
{
    return code >= 0 && static_cast<std::size_t>(code) < items ? code : -1;
}

std::int16_t storedPosition(int position)
{
    return static_cast<std::int16_t>(std::clamp(position, -1, 32767));
}

} // namespace

DrugEditor::DrugEditor(AppState& state, Prompts& prompts)
    : state_(state)
    , prompts_(prompts)
{
}

DrugEditor::~DrugEditor() = default;

template <typename Action> void DrugEditor::guarded(Action&& action)
{
    const int before = CurrentRecord;
    try {
        action();
    } catch (const std::exception& e) {
        // Nothing was read: the screen keeps the record and the edits it showed.
        CurrentRecord = before;
        reportFileProblem(e.what());
    }
}

void DrugEditor::reportFileProblem(const std::string& what)
{
    prompts_.message(what, EditorTitle);
}

bool DrugEditor::Form_Load()
{
    // Closing the editor rebuilds the index files, which a folder this user cannot write refuses:
    // records changed in place would then disagree with the indexes, so nothing is edited there.
    if (const auto problem = folderWriteProblem(state_.dataFolder)) {
        reportFileProblem("The drug database cannot be edited: you cannot write in the folder \""
            + toCp1252(state_.dataFolder.string()) + "\" (" + *problem + ").");
        return false;
    }
    try {
        state_.categories = loadCategories(state_.dataFolder);
    } catch (const std::exception& e) {
        reportFileProblem(std::string(e.what()) + " The drug database cannot be edited until the file is replaced.");
        return false;
    }
    screen.categoryItems.clear();
    for (int c = 1; c <= state_.categories.CategoryCount; ++c)
        screen.categoryItems.push_back(trimmedRight(state_.categories.CategoryName[static_cast<std::size_t>(c)]));
    try {
        opendatabase();
        readCurrent();
    } catch (const std::exception& e) {
        file_.reset();
        reportFileProblem(std::string(e.what()) + " The drug database cannot be edited.");
        return false;
    }
    showrecord();
    return true;
}

void DrugEditor::opendatabase()
{
    file_ = std::make_unique<DrugFile>(state_.dataFolder, hook_);
    RecordTotal = std::max(1, file_->RecordTotal());
    CurrentRecord = RecordTotal;
}

bool DrugEditor::Form_Unload()
{
    if (unloaded_ || !file_)
        return true;
    writeFailed_ = false;
    guarded([&] { saveprompt(); });
    if (writeFailed_) {
        // The edits exist only on the screen: keep the window open rather than lose them.
        reportFileProblem("The record was not saved, so the window stays open. Answer No to the save question "
                          "to close it without saving the record.");
        return false;
    }
    unloaded_ = true;
    try {
        rebuildIndexes(state_.dataFolder, state_.categories, hook_);
    } catch (const std::exception& e) {
        reportFileProblem(std::string(e.what())
            + " The drug records are saved, but the index files may still describe the database as it "
              "was before; they are rebuilt the next time the drug database window closes, and a rebuild "
              "stopped part way is finished when Tutor Bench next starts.");
    }
    try {
        file_->close();
    } catch (const std::exception& e) {
        reportFileProblem(e.what());
    }
    file_.reset();
    return true;
}

void DrugEditor::readCurrent()
{
    working = file_ ? file_->read(CurrentRecord) : DrugRecord {};
}

int DrugEditor::recordsInFile() const
{
    if (!file_)
        return 0;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(file_->path(), ec);
    if (ec || bytes == 0)
        return 0;
    return recordTotalFor(bytes);
}

void DrugEditor::writeCurrent()
{
    try {
        if (!file_)
            throw FileError(std::string(DrugDataFileName), "The drug data file MXDBASE.FIL is not open.");
        // A new record is stored right after the last one in the file, never behind a gap of blank records.
        CurrentRecord = std::min(CurrentRecord, recordsInFile() + 1);
        file_->write(CurrentRecord, working);
        RecordTotal = std::max(RecordTotal, file_->RecordTotal());
    } catch (const std::exception& e) {
        writeFailed_ = true;
        recordrejected = true;
        reportFileProblem(std::string(e.what()) + " The record was not saved; it is still on the screen.");
    }
}

void DrugEditor::showRowKind(int row, bool clear)
{
    const auto i = static_cast<std::size_t>(row);
    screen.fluidRow[i] = screen.Type[i] > 1;
    if (!clear)
        return;
    if (screen.fluidRow[i])
        screen.Check1[i] = 0;
    else
        screen.noof[i].clear();
}

void DrugEditor::showrecord()
{
    screen.Text1 = boxName(working.GenericName);
    for (std::size_t t = 0; t < 2; ++t)
        screen.Text2[t] = boxName(working.TradeName[t]);

    screen.Text3[0] = formatNumber(working.DoseRangeLow);
    screen.Text3[1] = formatNumber(working.DoseRangeHigh);
    screen.List1[0] = listPosition(working.DoseRangeLowUnit, EditorUnitItems.size());
    screen.List1[1] = listPosition(working.DoseRangeHighUnit, EditorUnitItems.size());
    screen.Increment = formatNumber(working.FluidIncrement);

    for (int row = 0; row < EditorScreen::Rows; ++row) {
        const auto i = static_cast<std::size_t>(row);
        screen.Check1[i] = working.HalfTablet[i] != 0 ? 1 : 0;
        screen.Type[i] = listPosition(working.FormCode[i], EditorFormItems.size());
        screen.Dose[i] = formatNumber(working.Strength[i]);
        screen.doseunit[i] = listPosition(working.StrengthUnit[i], EditorUnitItems.size());
        screen.noof[i] = formatNumber(working.Volume[i]);
        showRowKind(row, true);
    }

    if (screen.Text1.empty()) {
        screen.List1 = { MassUnitMg, MassUnitMg };
        screen.doseunit.fill(MassUnitMg);
    }

    screen.Cbcategory.clear();
    const auto& cats = state_.categories;
    for (int c = 1; c <= cats.CategoryCount; ++c) {
        const auto code = cats.CategoryCode[static_cast<std::size_t>(c)];
        if (code != 0 && code == working.DrugCategory)
            screen.Cbcategory = fitCategoryName(cats.CategoryName[static_cast<std::size_t>(c)]);
    }

    screen.Recordno = formatInt(CurrentRecord) + " / " + formatInt(RecordTotal);

    readscreen();
    shownrecord = working;
}

int DrugEditor::matchingCategoryCode() const
{
    const auto& cats = state_.categories;
    const std::string typed = trimmedRight(screen.Cbcategory);
    int code = 0;
    for (int c = 1; c <= cats.CategoryCount; ++c)
        if (trimmedRight(cats.CategoryName[static_cast<std::size_t>(c)]) == typed)
            code = cats.CategoryCode[static_cast<std::size_t>(c)];
    return code;
}

void DrugEditor::readscreen()
{
    newcategory();

    working.GenericName = boxName(screen.Text1);
    for (std::size_t t = 0; t < 2; ++t)
        working.TradeName[t] = boxName(screen.Text2[t]);

    working.DoseRangeLow = readNumber(screen.Text3[0]);
    working.DoseRangeHigh = readNumber(screen.Text3[1]);
    working.FluidIncrement = readNumber(screen.Increment);
    working.DoseRangeLowUnit = storedPosition(screen.List1[0]);
    working.DoseRangeHighUnit = storedPosition(screen.List1[1]);

    for (std::size_t i = 0; i < EditorScreen::Rows; ++i) {
        working.HalfTablet[i] = static_cast<std::int16_t>(screen.Check1[i]);
        working.FormCode[i] = storedPosition(screen.Type[i]);
        working.Strength[i] = readNumber(screen.Dose[i]);
        working.StrengthUnit[i] = storedPosition(screen.doseunit[i]);
        working.Volume[i] = readNumber(screen.noof[i]);
        working.VolumeUnit[i] = MassUnitMg;
    }

    const auto& cats = state_.categories;
    const std::string typed = trimmedRight(screen.Cbcategory);
    for (int c = 1; c <= cats.CategoryCount; ++c)
        if (trimmedRight(cats.CategoryName[static_cast<std::size_t>(c)]) == typed)
            working.DrugCategory = cats.CategoryCode[static_cast<std::size_t>(c)];
}

void DrugEditor::newcategory()
{
    const std::string typed = trimmedRight(screen.Cbcategory);
    if (typed.empty())
        return;
    auto listed = [&](const std::string& name) {
        return std::any_of(screen.categoryItems.begin(), screen.categoryItems.end(),
            [&](const std::string& item) { return trimmedRight(item) == name; });
    };
    if (listed(typed))
        return;
    // A category name holds 20 characters; the box is given the name as stored so that
    // the record finds its new category.
    const std::string name = trimmedRight(std::string_view(typed).substr(0, 20));
    if (name != typed && listed(name)) {
        screen.Cbcategory = name;
        return;
    }
    if (createCategory(state_.categories, name) == 0) {
        prompts_.message("The drug database holds at most " + std::to_string(MaxCategories) + " categories, so \""
                + name + "\" was not added as a new category. Choose one of the categories in the list.",
            EditorTitle);
        return;
    }
    screen.Cbcategory = name;
    screen.categoryItems.push_back(name);
    prompts_.notice(NewCategoryMessage, EditorTitle);
}

bool DrugEditor::ischanged() const
{
    const DrugRecord& s = shownrecord;
    if (boxName(screen.Text1) != boxName(s.GenericName))
        return true;
    for (std::size_t t = 0; t < 2; ++t)
        if (boxName(screen.Text2[t]) != boxName(s.TradeName[t]))
            return true;
    if (readNumber(screen.Text3[0]) != s.DoseRangeLow || readNumber(screen.Text3[1]) != s.DoseRangeHigh
        || readNumber(screen.Increment) != s.FluidIncrement)
        return true;
    if (screen.List1[0] != s.DoseRangeLowUnit || screen.List1[1] != s.DoseRangeHighUnit)
        return true;
    for (std::size_t i = 0; i < EditorScreen::Rows; ++i) {
        if (screen.Check1[i] != s.HalfTablet[i] || screen.Type[i] != s.FormCode[i]
            || screen.doseunit[i] != s.StrengthUnit[i] || readNumber(screen.Dose[i]) != s.Strength[i]
            || readNumber(screen.noof[i]) != s.Volume[i])
            return true;
    }
    return matchingCategoryCode() != s.DrugCategory;
}

void DrugEditor::checkrecord()
{
    recordrejected = false;
    auto fail = [&](const char* text, const char* title) {
        prompts_.message(text, title);
        recordrejected = true;
    };
    if (trimmedRight(screen.Text1).empty())
        fail("A drug title must be entered!", "");
    if (readNumber(screen.Text3[0]) == 0 || readNumber(screen.Text3[1]) == 0)
        fail("Dose range and increment values must be included!", EditorTitle);
    bool fluidWithVolume = false;
    bool anyDose = false;
    for (std::size_t i = 0; i < EditorScreen::Rows; ++i) {
        const bool fluid = screen.Type[i] > 1;
        const double volume = readNumber(screen.noof[i]);
        if (fluid && volume == 0)
            fail("All fluid doses must include a volume 'in' value!", EditorTitle);
        if (fluid && volume > 0)
            fluidWithVolume = true;
        if (readNumber(screen.Dose[i]) != 0)
            anyDose = true;
    }
    if (fluidWithVolume && readNumber(screen.Increment) == 0)
        fail("An 'increment value' must be included when using fluid preparations", "Drug Databas");
    if (!anyDose)
        fail("At least one dose must be included!", EditorTitle);
}

void DrugEditor::saveprompt()
{
    readscreen();
    if (!ischanged())
        return;
    state_.saveanswer = prompts_.askYesNo(SaveQuestionText, state_.saveanswer);
    if (state_.saveanswer) {
        checkrecord();
        if (!recordrejected)
            writeCurrent();
    } else {
        recordrejected = false;
    }
}

template <typename Move> void DrugEditor::navigate(Move&& move)
{
    const DrugRecord previous = shownrecord;
    writeFailed_ = false;
    guarded([&] {
        saveprompt();
        if (!recordrejected)
            move();
    });
    showrecord();
    // A record the file refused stays changed, so that leaving it again asks again.
    if (writeFailed_)
        shownrecord = previous;
    recordrejected = false;
}

void DrugEditor::Command1_Click(int index)
{
    if (!file_ || (index != 2 && index != 3))
        return;
    navigate([&] {
        CurrentRecord = index == 2 ? 1 : RecordTotal;
        readCurrent();
    });
}

void DrugEditor::next_Click(int index)
{
    if (!file_ || (index != 0 && index != 1))
        return;
    navigate([&] {
        if (index == 0) {
            CurrentRecord = CurrentRecord > 1 ? CurrentRecord - 1 : RecordTotal;
            readCurrent();
            return;
        }
        ++CurrentRecord;
        if (CurrentRecord <= RecordTotal) {
            readCurrent();
            return;
        }
        // Past the last record: a new blank record, but only when the record just left passes its checks.
        checkrecord();
        if (!recordrejected)
            RecordTotal = CurrentRecord;
        else
            CurrentRecord = std::max(1, CurrentRecord - 1);
        readCurrent();
    });
}

void DrugEditor::Delete_Click()
{
    if (!file_)
        return;
    bool done = false;
    guarded([&] {
        // A new record that was never saved is not in the file: deleting it just drops it.
        if (CurrentRecord <= recordsInFile())
            file_->deleteRecord(CurrentRecord);
        RecordTotal = std::max(1, file_->RecordTotal());
        CurrentRecord = std::min(CurrentRecord, RecordTotal);
        readCurrent();
        done = true;
    });
    if (!done)
        return; // the screen keeps what it showed
    showrecord();
    recordrejected = false;
}

void DrugEditor::Type_Click(int index)
{
    if (index < 0 || index >= EditorScreen::Rows)
        return;
    showRowKind(index, false);
}

void DrugEditor::testkey(int& k)
{
    if (k == 13)
        return;
    if ((k >= 33 && k <= 45) || k == 47 || (k >= 58 && k <= 127))
        k = 0;
}

std::string DrugEditor::weightDoseName() const
{
    return stripBlanks(screen.Text1);
}

std::optional<WeightDose> DrugEditor::shownWeightDose() const
{
    const std::string name = weightDoseName();
    for (const WeightDose& dose : readWeightDoses(state_.dataFolder).doses)
        if (sameNameIgnoringCase(dose.genericName, name))
            return dose;
    return std::nullopt;
}

bool DrugEditor::storeShownWeightDose(const std::optional<WeightDose>& dose)
{
    try {
        storeWeightDose(state_.dataFolder, weightDoseName(), dose, hook_);
        return true;
    } catch (const FileError& e) {
        prompts_.message(e.what(), EditorTitle);
        return false;
    }
}

} // namespace tb
