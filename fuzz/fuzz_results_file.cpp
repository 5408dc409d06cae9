// A results file in results/: written by Dosarion, read back by Tutor Bench's results window,
// and open to any student's editor. Any bytes must be read or refused with a FileError; a file
// that reads writes back as text that reads as the same record.

#include "core/foundation/file_error.h"
#include "core/student/results_file.h"
#include "fuzz_support.h"

#include <cstdlib>

using namespace tb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto folder = fuzz::privateFolder().fresh("results");
    const auto file = folder / "ann-week3.csv";
    fuzz::writeBytes(file, bytes);
    ResultsRecord record;
    try {
        record = readResults(file);
    } catch (const FileError&) {
        return 0;
    }
    const std::string text = resultsCsv(record);
    fuzz::writeBytes(file, text);
    try {
        if (resultsCsv(readResults(file)) != text)
            std::abort();
    } catch (const FileError&) {
        std::abort(); // what the writer wrote must read back
    }
    return 0;
}
