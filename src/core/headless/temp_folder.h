#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace tb::headless {

/// A fresh folder under the system's temporary folder, removed with everything in it
/// when the object goes.
class TempFolder {
public:
    TempFolder()
    {
        std::random_device device;
        path_ = std::filesystem::temp_directory_path()
            / ("tutorbench-test-" + std::to_string(device()) + "-" + std::to_string(device()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path_ / name, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path_ / name, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    /// Copies the sample drug database (built by the sample_database target) into the folder.
    void copySampleDatabase(const std::filesystem::path& sampleDir) const
    {
        for (const char* name : { "MXDBASE.FIL", "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx", "mxweight.txt" })
            std::filesystem::copy_file(
                sampleDir / name, path_ / name, std::filesystem::copy_options::overwrite_existing);
    }

private:
    std::filesystem::path path_;
};

} // namespace tb::headless
