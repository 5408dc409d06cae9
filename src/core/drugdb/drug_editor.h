#pragma once

#include "core/drugdb/drug_file.h"
#include "core/drugdb/drug_record.h"
#include "core/drugdb/weight_doses.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace tb {

struct AppState;
class Prompts;

/// The items of the editor's unit lists (List1, doseunit): position = MassUnitCode.
inline constexpr std::array<const char*, 8> EditorUnitItems = { "kg", "hg", "dag", "g", "dg", "cg", "mg", "mcg" };

/// The items of the editor's preparation lists (Type): position = FormCode.
inline constexpr std::array<const char*, 11> EditorFormItems = { "Tablet", "Capsule", "Solution", "Suspension", "Syrup",
    "Emulsion", "Liquid Forte", "Elixir", "IM Injection", "SC Injection", "IV Injection" };

inline constexpr const char* EditorTitle = "Drug Database";
inline constexpr const char* SaveQuestionText = "This record has changed. Would you like to save it?";
inline constexpr const char* NewCategoryMessage = "You have created a new category for this drug";

/// What the drug database window shows, as plain values: box texts (Windows-1252),
/// list positions (-1 for none), check values (0 or 1) and which rows show their
/// volume boxes. The window copies its controls into it before every action and
/// back out afterwards.
struct EditorScreen {
    static constexpr int Rows = DrugRecord::Slots;

    std::string Text1; // generic name
    std::array<std::string, 2> Text2; // trade names
    std::array<std::string, 2> Text3; // dose range low / high
    std::array<int, 2> List1 {}; // their units
    std::string Increment; // fluid increment
    std::array<int, Rows> Type {}; // preparation form per row
    std::array<std::string, Rows> Dose;
    std::array<int, Rows> doseunit {};
    std::array<int, Rows> Check1 {}; // half tablet
    std::array<std::string, Rows> noof; // volume in ml
    /// True when row i shows "in", the volume box and "ml"; false when it shows "Half?".
    std::array<bool, Rows> fluidRow {};
    std::string Cbcategory; // the category box's text
    std::vector<std::string> categoryItems; // the category box's list
    std::string Recordno; // "3 / 12"
};

/// The record logic of the drug database editor, frmDrugDatabase, without widgets:
/// it keeps MXDBASE.FIL open while the window is open, shows one record at a time
/// in `screen`, writes a changed record only after the save question and the
/// checks, and rebuilds the index and category files when it closes.
///
/// File problems never escape: each public handler reports a FileError to the
/// teacher in a message naming the file, and keeps the edits on the screen.
class DrugEditor {
public:
    DrugEditor(AppState& state, Prompts& prompts);
    ~DrugEditor();
    DrugEditor(const DrugEditor&) = delete;
    DrugEditor& operator=(const DrugEditor&) = delete;

    /// Loads the categories, opens the data file and shows its last record.
    /// Returns false, after telling the teacher why, when the editor cannot work
    /// (the category file or the data file cannot be read or opened).
    bool Form_Load();
    /// Saves or discards the shown record, rebuilds the index and category files
    /// and closes the data file. Returns false, and stays open, only when a record
    /// the teacher chose to save could not be written. Runs once; later calls
    /// return true and do nothing.
    bool Form_Unload();
    bool isOpen() const { return file_ != nullptr; }
    /// Tests: every write of the editor (a record, a delete, the rebuild) reports its steps to
    /// `hook`. Set before Form_Load.
    void setFaultHook(FaultHook* hook) { hook_ = hook; }

    void Command1_Click(int index); // 2 first, 3 last
    void next_Click(int index); // 0 previous (wraps), 1 next (new record past the last)
    void Delete_Click();
    void Type_Click(int index);

    /// The generic name on the screen, without outer blanks: the key of its dose per kg.
    std::string weightDoseName() const;
    /// The dose per kg the side file holds for the drug on the screen, if any.
    std::optional<WeightDose> shownWeightDose() const;
    /// Stores (or, empty, removes) the dose per kg of the drug on the screen; a file problem
    /// is reported to the teacher naming the file, and false returned.
    bool storeShownWeightDose(const std::optional<WeightDose>& dose);

    /// Key filter of the number boxes: sets k to 0 when the character is dropped.
    static void testkey(int& k);

    // The procedures behind the handlers, public so that tests can drive them one by one.
    void opendatabase();
    void showrecord();
    void readscreen();
    void newcategory();
    bool ischanged() const;
    void checkrecord();
    void saveprompt();

    EditorScreen screen;
    DrugRecord working;
    DrugRecord shownrecord;
    int CurrentRecord = 1;
    int RecordTotal = 1;
    bool recordrejected = false;

private:
    template <typename Action> void guarded(Action&& action);
    /// saveprompt, then `move` unless the record was rejected, then showrecord.
    template <typename Move> void navigate(Move&& move);
    void reportFileProblem(const std::string& what);
    void readCurrent();
    void writeCurrent();
    int recordsInFile() const;
    void showRowKind(int row, bool clear);
    int matchingCategoryCode() const;

    AppState& state_;
    Prompts& prompts_;
    std::unique_ptr<DrugFile> file_;
    FaultHook* hook_ = nullptr;
    bool unloaded_ = false;
    bool writeFailed_ = false;
};

} // namespace tb
