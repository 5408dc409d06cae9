// mxcat.idx: the category file read at start-up and by the drug database editor, and
// rewritten by the index rebuild. Whatever parses must survive a create and a rebuild,
// and the rewritten file must read back to the same categories.

#include "core/drugdb/drug_file.h"
#include "core/foundation/file_error.h"
#include "core/startup/startup_loader.h"
#include "fuzz_support.h"

#include <cstdlib>

using namespace tb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CategoryTables categories;
    try {
        categories = parseCategoryFile(text, "mxcat.idx");
    } catch (const FileError& e) {
        if (std::string_view(e.what()).find("mxcat.idx") == std::string_view::npos)
            std::abort(); // the message names the file
        return 0;
    }
    if (categories.CategoryCount < 0 || categories.CategoryCount > MaxCategories)
        std::abort();
    for (int k = 1; k <= categories.CategoryCount; ++k)
        if (categories.CategoryName[static_cast<std::size_t>(k)].size() != 20)
            std::abort();

    // The editor may add a category; then the rebuild writes what the records use.
    createCategory(categories, "new category");
    const auto folder = fuzz::privateFolder().fresh("category");
    // One record per category slot, so that every category is used and written back.
    std::string records;
    for (int k = 1; k <= categories.CategoryCount; ++k) {
        DrugRecord r;
        r.GenericName = "drug " + std::to_string(k);
        r.DoseRangeLow = 1;
        r.DoseRangeHigh = 2;
        r.DoseRangeLowUnit = r.DoseRangeHighUnit = Mg;
        r.Strength[0] = 1;
        r.StrengthUnit[0] = Mg;
        r.DrugCategory = categories.CategoryCode[static_cast<std::size_t>(k)];
        records += r.pack();
    }
    fuzz::writeBytes(folder / "MXDBASE.FIL", records);
    try {
        rebuildIndexes(folder, categories);
    } catch (const FileError&) {
        std::abort(); // a good folder and good tables always rebuild
    }

    // What the rebuild wrote, start-up must read: every used category back with its code.
    CategoryTables reread;
    try {
        reread = parseCategoryFile(fuzz::readBytes(folder / "mxcat.idx"), "mxcat.idx");
        parseIndexFile(fuzz::readBytes(folder / "mxdbs1.idx"), "mxdbs1.idx");
        parseIndexFile(fuzz::readBytes(folder / "mxdbs2.idx"), "mxdbs2.idx");
    } catch (const FileError& e) {
        std::fprintf(stderr, "rewritten file does not read back: %s\n", e.what());
        std::abort();
    }
    // Every slot is used by a record, so every one comes back in order with its code and its
    // name as the file can hold it (a double quote as an apostrophe, a line break or NUL as a blank).
    auto storable = [](std::string name) {
        for (char& c : name)
            c = c == '"' ? '\'' : (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
        return name;
    };
    int expected = 0;
    for (int k = 1; k <= categories.CategoryCount; ++k) {
        ++expected;
        if (expected > reread.CategoryCount)
            std::abort();
        if (reread.CategoryName[static_cast<std::size_t>(expected)]
                != storable(categories.CategoryName[static_cast<std::size_t>(k)])
            || reread.CategoryCode[static_cast<std::size_t>(expected)]
                != categories.CategoryCode[static_cast<std::size_t>(k)]) {
            std::fprintf(stderr, "category %d came back as [%s] %d instead of [%s] %d\n", k,
                reread.CategoryName[static_cast<std::size_t>(expected)].c_str(),
                reread.CategoryCode[static_cast<std::size_t>(expected)],
                categories.CategoryName[static_cast<std::size_t>(k)].c_str(),
                categories.CategoryCode[static_cast<std::size_t>(k)]);
            std::abort();
        }
    }
    if (reread.CategoryCount != expected)
        std::abort();
    return 0;
}
