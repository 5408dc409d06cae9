#pragma once

#include "core/drugdb/drug_file.h"
#include "core/headless/quiet_view.h"
#include "core/headless/scripted_prompts.h"
#include "core/headless/temp_folder.h"
#include "core/startup/startup_loader.h"
#include "core/testbuilder/exam_model.h"
#include "core/testbuilder/exam_platform_export.h"
#include "core/testbuilder/exam_printing.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

namespace tb::testing {

using namespace tb::headless;

/// Every file of a folder by name with its bytes; sub-folders are left out.
using FolderImage = std::map<std::string, std::string>;

inline FolderImage imageOf(const std::filesystem::path& folder)
{
    FolderImage image;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (std::ifstream in(entry.path(), std::ios::binary); entry.is_regular_file())
            image[entry.path().filename().string()].assign(std::istreambuf_iterator<char>(in), {});
    return image;
}

/// A drug with one preparation, in milligrams, in category `category`.
inline DrugRecord drug(const std::string& name, std::int16_t form, double strength, double volume,
    std::int16_t category, double low = 1, double high = 100, double increment = 1)
{
    DrugRecord r;
    r.GenericName = name;
    r.DoseRangeLow = low;
    r.DoseRangeHigh = high;
    r.FluidIncrement = increment;
    r.DoseRangeLowUnit = r.DoseRangeHighUnit = r.StrengthUnit[0] = Mg;
    r.FormCode[0] = form;
    r.Strength[0] = strength;
    r.Volume[0] = volume;
    r.HalfTablet[0] = 1;
    r.DrugCategory = category;
    r.VolumeUnit.fill(6);
    return r;
}

inline std::string dataFile(const std::vector<DrugRecord>& records)
{
    std::string bytes;
    for (const auto& r : records)
        bytes += r.pack();
    return bytes;
}

inline const std::string Illegal = "The file name that you entered was illegal. The file was not saved.";
inline const std::string OneCategory = "1\r\n\"Analgesics          \",1\r\n";

/// The three index files start-up reads, with the tablet and fluid lists given.
inline void writeIndexes(
    const TempFolder& folder, const std::string& tablets = "\r\n", const std::string& fluids = "\r\n")
{
    folder.write("mxdbs1.idx", tablets);
    folder.write("mxdbs2.idx", fluids);
    folder.write("mxcat.idx", OneCategory);
}

/// A test file titled "Week 3" with questions numbered 1 to `questions`.
inline std::string savedTest(int questions)
{
    TestHeader header;
    header.TestTitle = "Week 3";
    header.MenuListed = 1;
    std::string bytes = header.pack();
    for (int k = 1; k <= questions; ++k)
        bytes += QuestionRecord { "Question " + std::to_string(k), "Solution " + std::to_string(k), std::to_string(k) }
                     .pack();
    return bytes;
}

/// One program run on a folder: the test window's model with scripted prompts.
struct Rig {
    explicit Rig(const std::filesystem::path& folder, std::vector<std::string> names = {}, bool startUp = false)
        : state(std::make_unique<ScriptedRandom>(), folder)
        , startedUp(startUp && !loadStartupFiles(state).has_value()) // the drug files are read before the model
        , model(state, prompts, view)
        , printing(model, prompts, view)
        , platformExport(model, prompts, view)
    {
        prompts.fileNames.assign(names.begin(), names.end());
    }
    /// The last message's text and, on the next line, its details.
    std::string lastMessage() const
    {
        if (prompts.messages.empty())
            return "";
        const auto& last = prompts.messages.back();
        return last.details.empty() ? last.text : last.text + "\n" + last.details;
    }
    ScriptedPrompts prompts;
    QuietView view;
    AppState state;
    bool startedUp;
    ExamModel model;
    ExamPrinting printing;
    PlatformExportCommand platformExport;
};

} // namespace tb::testing
