// Every writer of a chosen file (Save As and its text export, Export as PDF, the learning-platform
// export, class versions) refuses the program's own files, the test being edited and a test
// another copy holds, in any spelling, before it asks whether to replace anything.

#include "core/testbuilder/class_versions.h"
#include "hardening_support.h"
#include "testbuilder/model_fixture.h"

#include <unistd.h>

namespace tb::testing {

using namespace tb::headless;
namespace {

namespace fs = std::filesystem;

const auto byName = [](const auto& info) { return std::string(info.param.name); };

enum class Writer { SaveAs, Pdf, Platform, Versions };

// Runs one writer with `typed` as the dialog's answer (for class versions: the base name),
// answering "&Yes" to any "already exists" question.
void runWriter(Rig& rig, Writer writer, const std::string& typed)
{
    FakePrinter printer;
    rig.prompts.fileNames = { typed };
    rig.prompts.yesNoAnswers = { true };
    switch (writer) {
    case Writer::SaveAs:
        rig.model.saveAs();
        break;
    case Writer::Pdf:
        rig.printing.exportPdf(printer);
        break;
    case Writer::Platform:
        rig.platformExport.exportForPlatform();
        break;
    case Writer::Versions: {
        VersionRequest request;
        request.base = typed;
        request.versions = 1;
        request.parallel = false; // the rig's test holds no generated question to make forms of
        makeClassVersions(rig.model, rig.state, rig.prompts, &printer, "1", request);
        break;
    }
    }
}

// What the teacher was told: the text and its details.
std::string told(const Rig& rig)
{
    std::string all;
    for (const auto& m : rig.prompts.messages)
        all += m.text + "\n" + m.details + "\n";
    return all;
}

// ---- the program's own files, by name and through links ----

enum class Link { None, Symbolic, Hard };

struct OwnFileRow {
    const char* name;
    Writer writer;
    std::string typed;
    std::string file; // the file the writer would write: a link to `own`, or `own` itself
    std::string own; // the program's file that must stay as it was
    Link link = Link::None;
};

class OwnFileTarget : public ::testing::TestWithParam<OwnFileRow> { };

TEST_P(OwnFileTarget, IsRefusedNamingTheFileAndLeftAsItWas)
{
    const auto& [name, writer, typed, file, own, link] = GetParam();
    TempFolder folder;
    for (const char* f : { "MXtmp.TMP", "MXDBASE.FIL", "MXDBASE.TMP", "mxdbs1.idx", "mxdbs2.idx", "mxcat.idx", "MX.INI",
             "mxweight.txt", "tutorbench.lock", "week3.dsq.lock", "week3.pdf.new" })
        folder.write(f, std::string("own file ") + f);
    fs::create_directory(folder / "sub");
    Rig rig(folder.path());
    if (link == Link::Symbolic)
        fs::create_symlink(own, folder / file);
    else if (link == Link::Hard)
        fs::create_hard_link(folder / own, folder / file);
    const FolderImage before = imageOf(folder.path());

    runWriter(rig, writer, typed);

    EXPECT_TRUE(rig.prompts.questions.empty()) << "asked to replace " << file;
    ASSERT_EQ(rig.prompts.messages.size(), 1u);
    // Save As keeps its own words; the other writers name the file.
    if (writer == Writer::SaveAs) {
        EXPECT_EQ(rig.lastMessage(), Illegal);
    } else {
        EXPECT_NE(told(rig).find("\"" + fs::path(file).filename().string() + "\""), std::string::npos) << told(rig);
    }
    EXPECT_EQ(imageOf(folder.path()), before);
    if (link == Link::Symbolic) {
        EXPECT_TRUE(fs::is_symlink(folder / file)) << "the link was replaced";
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Writers, OwnFileTarget, ::testing::Values(
    OwnFileRow { "SaveAsSettings", Writer::SaveAs, "mx.ini", "mx.ini", "MX.INI" },
    OwnFileRow { "SaveAsScratch", Writer::SaveAs, "week3.dsq.new", "week3.dsq.new", "week3.dsq.new" },
    OwnFileRow { "SaveAsLinkToFolderLock", Writer::SaveAs, "alias.dsq", "alias.dsq", "tutorbench.lock", Link::Symbolic },
    OwnFileRow { "TextExportLinkToDrugs", Writer::SaveAs, "notes.txt", "notes.txt", "MXDBASE.FIL", Link::Symbolic },
    OwnFileRow { "TextExportHardLinkToIndex", Writer::SaveAs, "drugs.TXT", "drugs.TXT", "mxdbs2.idx", Link::Hard },
    OwnFileRow { "PdfNewTest", Writer::Pdf, "TEST.TMP", "TEST.TMP", "test.tmp" },
    OwnFileRow { "PdfQuestionScratch", Writer::Pdf, "mxtmp.tmp", "mxtmp.tmp", "MXtmp.TMP" },
    OwnFileRow { "PdfDrugs", Writer::Pdf, "MXDBASE.FIL", "MXDBASE.FIL", "MXDBASE.FIL" },
    OwnFileRow { "PdfDrugScratch", Writer::Pdf, "mxdbase.tmp", "mxdbase.tmp", "MXDBASE.TMP" },
    OwnFileRow { "PdfTabletIndex", Writer::Pdf, "mxdbs1.idx", "mxdbs1.idx", "mxdbs1.idx" },
    OwnFileRow { "PdfFluidIndex", Writer::Pdf, "MXDBS2.IDX", "MXDBS2.IDX", "mxdbs2.idx" },
    OwnFileRow { "PdfCategories", Writer::Pdf, "sub/../mxcat.idx", "mxcat.idx", "mxcat.idx" },
    OwnFileRow { "PdfSettings", Writer::Pdf, "MX.INI", "MX.INI", "MX.INI" },
    OwnFileRow { "SaveAsDosesPerKg", Writer::SaveAs, "MXWEIGHT.TXT", "MXWEIGHT.TXT", "mxweight.txt" },
    OwnFileRow { "PdfLinkToDosesPerKg", Writer::Pdf, "doses.pdf", "doses.pdf", "mxweight.txt", Link::Symbolic },
    OwnFileRow { "PdfFolderLock", Writer::Pdf, "tutorbench.lock", "tutorbench.lock", "tutorbench.lock" },
    OwnFileRow { "PdfTestLock", Writer::Pdf, "week3.dsq.LOCK", "week3.dsq.LOCK", "week3.dsq.lock" },
    OwnFileRow { "PdfScratch", Writer::Pdf, "week3.pdf.new", "week3.pdf.new", "week3.pdf.new" },
    OwnFileRow { "PdfLinkToNewTest", Writer::Pdf, "print.pdf", "print.pdf", "test.tmp", Link::Symbolic },
    OwnFileRow { "PlatformLinkToCategories", Writer::Platform, "moodle.xml", "moodle.xml", "mxcat.idx", Link::Symbolic },
    OwnFileRow { "PlatformHardLinkToDrugs", Writer::Platform, "quiz.zip", "quiz.zip", "MXDBASE.FIL", Link::Hard },
    OwnFileRow { "VersionsPdfLinkToSettings", Writer::Versions, "ward", "ward.pdf", "MX.INI", Link::Symbolic },
    OwnFileRow { "VersionsTestHardLinkToDrugs", Writer::Versions, "ward", "ward-01.dsq", "MXDBASE.FIL", Link::Hard }),
    byName);
// clang-format on

// ---- the test being edited ----

TEST(OpenTestTarget, ExportAsPdfNeverReplacesTheTestInAnySpelling)
{
    TempFolder folder;
    folder.write("week3.pdf", savedTest(2)); // Save As keeps any extension
    Rig rig(folder.path(), { "week3.pdf" });
    rig.model.openTest();
    ASSERT_EQ(rig.model.WorkingFile(), "week3.pdf") << rig.lastMessage();
    fs::create_hard_link(folder / "week3.pdf", folder / "copy.pdf");

    for (const std::string& typed :
        std::vector<std::string> { "week3.pdf", "./WEEK3.pdf", (folder / "copy.pdf").string() }) {
        rig.prompts.messages.clear();
        runWriter(rig, Writer::Pdf, typed);
        ASSERT_EQ(rig.prompts.messages.size(), 1u) << typed;
        EXPECT_NE(
            rig.prompts.messages[0].text.find("is the test being edited. Choose another name."), std::string::npos)
            << rig.prompts.messages[0].text;
    }
    EXPECT_EQ(rig.prompts.messages[0].text,
        "The file copy.pdf could not be written.\r\n\r\n\"copy.pdf\" is the test being edited. Choose another name.");
    EXPECT_TRUE(rig.prompts.questions.empty());
    EXPECT_EQ(folder.read("week3.pdf"), savedTest(2));
}

// ---- a test another copy of the program holds ----

struct HeldRow {
    const char* name;
    Writer writer;
    const char* typed; // in the shared folder
    const char* held; // the test the other copy has open there
};

class HeldTarget : public ::testing::TestWithParam<HeldRow> { };

TEST_P(HeldTarget, IsRefusedNamingTheHolder)
{
    const auto& [name, writer, typed, held] = GetParam();
    TempFolder mine, theirs, shared;
    shared.write(held, savedTest(1));
    Rig other(theirs.path(), { (shared / held).string() });
    other.state.lockWorkingFiles = true;
    other.model.openTest();
    ASSERT_EQ(other.lastMessage(), "");
    Rig rig(mine.path());
    rig.state.lockWorkingFiles = true;

    runWriter(rig, writer, (shared / typed).string());

    EXPECT_NE(told(rig).find("\"" + (shared / held).string() + "\" is open in Tutor Bench of "), std::string::npos)
        << told(rig);
    EXPECT_NE(told(rig).find("(process " + std::to_string(::getpid()) + ")"), std::string::npos);
    EXPECT_TRUE(rig.prompts.questions.empty());
    EXPECT_EQ(shared.read(held), savedTest(1));
}

INSTANTIATE_TEST_SUITE_P(Writers, HeldTarget,
    ::testing::Values(HeldRow { "Pdf", Writer::Pdf, "week3.pdf", "week3.pdf" },
        HeldRow { "Platform", Writer::Platform, "week3", "week3.xml" },
        HeldRow { "VersionsPdf", Writer::Versions, "ward", "ward.pdf" }),
    byName);

} // namespace
} // namespace tb::testing
