#include "core/launcher/desktop_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace tb {
namespace {

namespace fs = std::filesystem;

std::string fileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// The installed menu entry must name the class the windows carry, or docks show a second icon.
TEST(PackageFiles, DesktopEntryMatchesTheWindowsAndTheMetainfoTheProgram)
{
    const fs::path packaging = fs::path(TB_SOURCE_DIR) / "packaging";
    const std::string entry = fileBytes(packaging / (std::string(DesktopEntryId) + ".desktop"));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(entry, match, std::regex("\nStartupWMClass=([^\n]*)\n")));
    EXPECT_EQ(match[1].str(), WindowClass);

    const std::string metainfo = fileBytes(packaging / (std::string(DesktopEntryId) + ".metainfo.xml"));
    EXPECT_NE(metainfo.find("in eight\n      categories"), std::string::npos);
    EXPECT_EQ(metainfo.find("plain text for printing"), std::string::npos);
}

} // namespace
} // namespace tb
