// The cover, preview and ready pages' logic with the real components over the recording spooler:
// the cover folder rules, the preview cache, the editor and viewer starts, the job's summary and
// documents, the two workers' progress and failure logs, and the size rule.
#include "common/data_folders.h"
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "cover/editor/file_commands.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/system_info.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sendwizard/cover_page_logic.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/preview_page_logic.h"
#include "sendwizard/ready_page_logic.h"
#include "sendwizard/tests/wizard_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// The reason a failure gives when the spooler cannot open the printer "Fax".
const std::string kUnopenedQueue =
    "the print queue \"Fax\" cannot be opened (no such queue, or the print server cannot be reached)";
// The failure box, with the reason on a line below its text.
std::string FailureBox(const std::string& reason)
{
    return "Unknown System Error. Please re install Qelta Driver.\n" + reason;
}

namespace {

using qelta::test::readTextFile;
using qelta::test::writeTextFile;

constexpr const char* kCoverText = "[TQLCVR]\r\nFrames=1\r\nLang=0\r\n"
                                   "Frame.1=NAME,100,100,800,60,DejaVu Sans,39,400,0,0,0,0,\r\n";

using wizard_test::ScriptedPrompter;

using wizard_test::RecordingProgress;

void SetMachine(const char* name, const std::string& value)
{
    CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteString(kProductSubkey, name, value);
}
void SetUser(const char* name, const std::string& value)
{
    CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, name, value);
}
void SetUserNumber(const char* name, uint32_t value)
{
    CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteDword(kProductSubkey, name, value);
}
std::string UserValue(const char* name)
{
    return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).ReadString(kProductSubkey, name, "");
}

// A program that writes its arguments, one a line, to a file once it has them all.
std::string FakeProgram(const std::string& folder, const std::string& out)
{
    const std::string program = folder + "/fake-program";
    writeTextFile(program, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + out + ".tmp'\nmv '" +
                               out + ".tmp' '" + out + "'\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    return program;
}

// The arguments the fake program was started with; "(not started)" when it was not within 5 s.
std::string StartedWith(const std::string& out)
{
    for (int i = 0; i < 500 && !platform::pathExists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!platform::pathExists(out))
        return "(not started)";
    std::string args = readTextFile(out);
    platform::removeFile(out);
    return args;
}

// A state root with the real components registered and a three-page work file.
class Pages : public ::testing::Test {
protected:
    void SetUp() override
    {
        spooler = platform::RecordingSpooler::install("Fax");
        platform::com::initializeThread();
        ASSERT_NO_FATAL_FAILURE(wizard_test::RegisterJobServers());
        BindImageKit();
        work = root.path() + "/work.tif";
        jobtest::writeFaxTiff(work, 3, 400);
        ASSERT_TRUE(sheet.SetCommandLineValues(work, "A4", "MMR", "Fax", "Report", prompter));
        sheet.m_nModelType = 0;
    }
    void TearDown() override
    {
        sheet.DropDocuments();
        UnbindImageKit();
        platform::setSpooler(nullptr);
    }
    void AddDestinations(int n)
    {
        for (int i = 0; i < n; ++i)
            sheet.AddDestination({"012345" + std::to_string(i), "Name " + std::to_string(i), kDestinationFax, 0, "", "", 0});
    }
    std::string JobLog(const char* name) { return readTextFile(sheet.GetJobFolder() + name); }

    qelta::test::ScopedStateRoot root;
    std::shared_ptr<platform::RecordingSpooler> spooler;
    std::string work;
    ScriptedPrompter prompter;
    RecordingProgress progress;
    CPSMainuiLogic sheet;
};

// ---- the cover page ----

TEST(CoverFolder, AValueEndingInASlashNamesItselfAnyOtherItsParent)
{
    const struct {
        const char* value;
        const char* folder;
    } cases[] = {
        {"/data/covers/", "/data/covers/"}, {"/data/covers", "/data/"},       {"/data/covers/Sales.TQC", "/data/covers/"},
        {"C:\\cvr\\", "C:/cvr/"},           {"Sales.TQC", "./"},              {"", ""},
        {"/data//qelta//cvrfile/", "/data/qelta/cvrfile/"}, {"C:\\\\cvr\\\\Sales.TQC", "C:/cvr/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CoverFolderOfValue(c.value), c.folder) << c.value;
}

// Every form of the setting names one folder, and the cover page, the cover sheet editor and the
// driver setup's removal of the previews all take that one.
TEST_F(Pages, TheCoverPageTheEditorAndTheRemovalTakeOneCoverFolder)
{
    const auto setup = platform::Library::loadPath(DRIVERSETUPNT_PATH);
    ASSERT_TRUE(setup) << platform::Library::lastError();
    const auto DPD = reinterpret_cast<int (*)()>(setup->symbol("DPD"));
    ASSERT_TRUE(DPD);
    SetMachine("TQL Directory", root.path() + "/install/");
    const std::string d = root.path();
    char base[kMaxPathBytes] = {};
    ASSERT_EQ(GetDataBaseFolder(base, sizeof base), 1);
    const std::string covers = d + "/covers/", fresh = std::string(base) + "/qelta/cvrfile/";
    const struct {
        std::string value, folder;
    } rows[] = {
        {covers, covers},
        {covers + "Sales.TQC", covers},
        {d + "/covers", d + "/"},
        {d + "//covers//Sales.TQC", covers},
        {d + "\\covers\\", covers},
        {d + "\\covers\\Sales.TQC", covers},
        {"", fresh}, // the default, stored by the first user
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("CvrFile=" + row.value);
        for (const std::string& folder : {covers, d + "/", fresh})
            writeTextFile(folder + "TMP/Sales.TQC.TIF", "picture");
        writeTextFile(covers + "Sales.TQC", kCoverText);
        writeTextFile(covers + "Office.fdr", "");
        SetUser("CvrFile", row.value);

        CPPSelectCoverLogic page(sheet, prompter);
        page.OnInitDialog();
        page.OnSetActive();
        EXPECT_EQ(page.GetFolder(), row.folder) << "the cover page";
        EXPECT_EQ(page.Files(), row.folder == covers ? std::vector<std::string>{"Sales.TQC"} : std::vector<std::string>{});

        const cvr::CoverFolders editor = cvr::ReadCoverFolders();
        EXPECT_EQ(editor.coverFolder, row.folder) << "the editor's Save As";
        EXPECT_EQ(cvr::ListCoverFolderLists(editor.coverFolder).files.size(), row.folder == covers ? 2u : 1u);

        writeTextFile(d + "/install/prname.ini", "[Printer]\nNum=0\n");
        EXPECT_EQ(DPD(), 0);
        for (const std::string& folder : {covers, d + "/", fresh})
            EXPECT_EQ(std::filesystem::exists(folder + "TMP"), folder != row.folder) << "the removal in " << folder;
        EXPECT_TRUE(platform::pathExists(covers + "Sales.TQC"));
    }
}

TEST_F(Pages, CoverFolderComesFromTheUserThenTheMachineElseTheDefault)
{
    const std::string covers = root.path() + "/covers/";
    writeTextFile(covers + "Sales.TQC", kCoverText);
    const struct {
        std::string user, machine, folder, stored;
    } cases[] = {
        {"", "", "", ""}, // the default, filled in below
        {"", covers, covers, covers},
        {covers + "Sales.TQC", "", covers, covers + "Sales.TQC"},
        {root.path() + "/covers", "", root.path() + "/", root.path() + "/covers"},
    };
    char base[kMaxPathBytes] = {};
    ASSERT_EQ(GetDataBaseFolder(base, sizeof base), 1);
    // The default takes the installed product's company, not the one beside the program.
    const std::string install = root.path() + "/install/";
    SetMachine("TQL Directory", install);
    writeTextFile(install + "DATA.TAG", "[TagInfo]\nCompany=ACME\n");
    sheet.m_strCompany = "KOVRA";
    for (const auto& c : cases) {
        SetUser("CvrFile", c.user);
        SetMachine("CvrFile", c.machine);
        CPPSelectCoverLogic cover(sheet, prompter);
        cover.OnInitDialog();
        cover.OnSetActive();
        const std::string expected = c.folder.empty() ? std::string(base) + "/ACME/qelta/cvrfile/" : c.folder;
        EXPECT_EQ(cover.GetFolder(), expected) << c.user << "|" << c.machine;
        EXPECT_EQ(UserValue("CvrFile"), c.stored.empty() ? expected : c.stored) << "stored in HKCU";
        EXPECT_FALSE(sheet.GetRelistFlag());
    }

    // A fresh home with no company: the default has no empty level and the folder is made, so
    // the editor's first sheet saved there is listed.
    writeTextFile(install + "DATA.TAG", "[TagInfo]\n");
    SetUser("CvrFile", "");
    SetMachine("CvrFile", "");
    CPPSelectCoverLogic fresh(sheet, prompter);
    fresh.OnInitDialog();
    fresh.OnSetActive();
    EXPECT_EQ(fresh.GetFolder(), std::string(base) + "/qelta/cvrfile/");
    EXPECT_TRUE(platform::isDirectory(fresh.GetFolder()));
    EXPECT_EQ(UserValue("CvrFile"), fresh.GetFolder());
}

TEST_F(Pages, CoverListIsCaselessSortedAndKeepsItsSelectionByPrefix)
{
    const std::string covers = root.path() + "/covers/";
    for (const char* name : {"b.tqc", "A.TQC", "c.Tqc"})
        writeTextFile(covers + name, kCoverText);
    writeTextFile(covers + "notes.txt", "x");
    SetUser("CvrFile", covers);
    CPPSelectCoverLogic cover(sheet, prompter);
    cover.OnInitDialog();
    cover.OnSetActive();
    EXPECT_EQ(cover.Files(), (std::vector<std::string>{"A.TQC", "b.tqc", "c.Tqc"}));
    EXPECT_EQ(cover.GetCoverPath(), "") << "nothing attached";
    cover.SetAttach(true);
    cover.Select(1);
    EXPECT_EQ(sheet.m_strCoverPath, covers + "b.tqc");

    // The editor saved a new sheet: the list grows, the selection stays (1 and 2), or goes to the first (3).
    writeTextFile(covers + "a0.TQC", kCoverText);
    sheet.SetRelistFlag(true);
    cover.OnCoverSheetSaved(2);
    EXPECT_EQ(cover.Files().size(), 4u);
    EXPECT_EQ(cover.GetCoverPath(), covers + "b.tqc");
    EXPECT_FALSE(sheet.GetRelistFlag());
    cover.OnCoverSheetSaved(3);
    EXPECT_EQ(cover.GetCoverPath(), covers + "A.TQC");

    // Back on the page with the re-list flag set: the earlier name is selected again.
    cover.Select(2);
    platform::removeFile(covers + "a0.TQC");
    sheet.SetRelistFlag(true);
    cover.OnSetActive();
    EXPECT_EQ(cover.GetCoverPath(), covers + "b.tqc");
    cover.SetAttach(false);
    EXPECT_EQ(sheet.m_strCoverPath, "");
}

TEST_F(Pages, CoverPreviewIsRenderedAgainOnlyWhenTheCoverChanged)
{
    const std::string covers = root.path() + "/covers/";
    writeTextFile(covers + "Sales.TQC", kCoverText);
    SetUser("CvrFile", covers);
    CPPSelectCoverLogic cover(sheet, prompter);
    cover.OnInitDialog();
    cover.OnSetActive();
    cover.SetAttach(true);
    const std::string picture = covers + "TMP/Sales.TQC.TIF";
    ASSERT_EQ(cover.GetPreviewImage(), picture);
    IKFILEINFO info{};
    ASSERT_EQ(ImageKitFileType(picture, info), 1);
    EXPECT_EQ(cover.GetZoom(), 0.2);
    EXPECT_EQ(cover.GetZoomText(), "20 %");
    EXPECT_EQ(platform::listFiles(covers + "TMP", "*"), std::vector<std::string>{"Sales.TQC.TIF"})
        << "no temporary file left";

    const platform::FileStamp first = platform::fileStamp(picture);
    cover.Select(0);
    EXPECT_EQ(platform::fileStamp(picture), first) << "untouched: not rendered again";
    std::filesystem::last_write_time(covers + "Sales.TQC",
                                     std::filesystem::last_write_time(picture) + std::chrono::seconds(2));
    cover.Select(0);
    EXPECT_NE(platform::fileStamp(picture).inode, first.inode) << "touched: rendered again and put in place";

    cover.SetZoomPosition(45);
    EXPECT_EQ(cover.GetZoomText(), "45 %");
    EXPECT_EQ(cover.GetDisplayMode(), 3);
}

TEST_F(Pages, CoverPreviewGoesToTheUsersFolderWhenTheCoverFolderTakesNoFiles)
{
    // A shared cover folder (open to all, or another user's) whose "TMP" is no folder of this user:
    // nothing is written into it or through it.
    constexpr uid_t kOther = 65534;
    enum class Tmp { File, OthersLink, OthersFolder, OwnLink };
    const struct {
        Tmp tmp;
        bool coversOthers; // the cover folder belongs to another user
    } cases[] = {{Tmp::File, false}, {Tmp::OthersLink, false}, {Tmp::OthersFolder, true}, {Tmp::OwnLink, false}};
    char local[kMaxPathBytes] = {};
    ASSERT_EQ(LoadShellFolderPath(local, sizeof local, CSIDL_LOCAL_APPDATA), 1);
    int n = 0;
    for (const auto& c : cases) {
        const bool others = c.tmp == Tmp::OthersLink || c.tmp == Tmp::OthersFolder || c.coversOthers;
        if (others && ::geteuid() != 0)
            continue; // only root can make files of another user
        const std::string covers = root.path() + "/shared" + std::to_string(++n) + "/";
        const std::string theirs = root.path() + "/theirs" + std::to_string(n);
        writeTextFile(covers + "Sales.TQC", kCoverText);
        ASSERT_TRUE(platform::createDirectories(theirs));
        ASSERT_EQ(::chmod(covers.c_str(), 0777), 0);
        const std::string tmp = covers + "TMP";
        switch (c.tmp) {
        case Tmp::File:
            writeTextFile(tmp, "a file where the folder would be");
            break;
        case Tmp::OthersLink:
        case Tmp::OwnLink:
            ASSERT_EQ(::symlink(theirs.c_str(), tmp.c_str()), 0);
            if (c.tmp == Tmp::OthersLink) {
                ASSERT_EQ(::lchown(tmp.c_str(), kOther, kOther), 0);
            }
            break;
        case Tmp::OthersFolder:
            ASSERT_TRUE(platform::createDirectories(tmp));
            ASSERT_EQ(::chmod(tmp.c_str(), 0777), 0);
            ASSERT_EQ(::chown(tmp.c_str(), kOther, kOther), 0);
            break;
        }
        if (c.coversOthers) {
            ASSERT_EQ(::chown(covers.c_str(), kOther, kOther), 0);
        }
        const std::string picture = CoverPreviewImage(covers + "Sales.TQC");
        ASSERT_FALSE(picture.empty()) << n;
        EXPECT_TRUE(picture.starts_with(std::string(local) + "/")) << n << " " << picture;
        EXPECT_TRUE(picture.ends_with("/Sales.TQC.TIF")) << picture;
        EXPECT_TRUE(std::filesystem::is_empty(theirs)) << n << ": written through the link";
        if (c.tmp == Tmp::OthersFolder) {
            EXPECT_TRUE(std::filesystem::is_empty(tmp)) << n << ": written into another's folder";
        }
        EXPECT_EQ(CoverPreviewImage(covers + "Sales.TQC"), picture) << "the same picture again";
    }
    EXPECT_EQ(CoverPreviewImage(root.path() + "/missing.TQC"), "");
}

TEST_F(Pages, CoverEditorAndFolderChange)
{
    const std::string covers = root.path() + "/covers/";
    writeTextFile(covers + "Sales.TQC", kCoverText);
    SetUser("CvrFile", covers);
    const std::string out = root.path() + "/args";
    CPPSelectCoverLogic cover(sheet, prompter);
    cover.OnInitDialog();
    cover.OnSetActive();
    cover.CreateNew(); // no editor set: nothing happens
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(platform::pathExists(out));

    SetMachine("CvrEditor", FakeProgram(root.path(), out));
    cover.CreateNew();
    EXPECT_EQ(StartedWith(out), "");
    cover.Edit();
    EXPECT_EQ(StartedWith(out), covers + "Sales.TQC\n");

    // Attached without a cover: Next stays; another folder with no covers; cancel keeps the folder.
    const std::string empty = root.path() + "/empty";
    ASSERT_TRUE(platform::createDirectories(empty));
    prompter.folders = {empty, std::nullopt};
    cover.FolderChange();
    EXPECT_EQ(UserValue("CvrFile"), empty + "/");
    EXPECT_TRUE(cover.Files().empty());
    cover.FolderChange();
    EXPECT_EQ(cover.GetFolder(), empty + "/");
    EXPECT_EQ(prompter.starts, (std::vector<std::string>{covers, empty + "/"})) << "opens at the current folder";
    prompter.expected = {"No cover sheet was selected. Please select the cover sheet.",
                         "No cover sheet was selected. Please select the cover sheet."};
    cover.Edit();
    cover.SetAttach(true);
    EXPECT_FALSE(cover.OnWizardNext());
    cover.SetAttach(false);
    sheet.m_bChanged = 0;
    EXPECT_TRUE(cover.OnWizardNext());
    EXPECT_EQ(sheet.m_bChanged, 1);
}

// ---- the preview page ----

TEST_F(Pages, CompressionCodes)
{
    const struct {
        const char* name;
        int model, code;
        bool refused;
    } cases[] = {{"MMR", 3, 0, false}, {"MH", 3, 1, false}, {"MR", 0, 2, false}, {"", 1, 2, false}, {"MR", 3, 0, true}};
    for (const auto& c : cases) {
        sheet.m_strCompression = c.name;
        sheet.m_nModelType = c.model;
        if (c.refused)
            prompter.expected = {"You can not use the \"MR\" compression because this model does not support the "
                                 "\"MR\" compression."};
        CPPPreviewLogic preview(sheet, prompter, progress);
        EXPECT_EQ(preview.CompressionCode(), c.code) << c.name << " " << c.model;
    }
}

TEST_F(Pages, SummaryTakesTheUsersSettings)
{
    SetUser("UserIDString", "U1");
    // 400 bytes: a long name is read whole, never as missing.
    std::string headerName = "Ann A.";
    while (headerName.size() < 400)
        headerName += "\xC3\xBC";
    SetUser("HeaderUserName", headerName);
    SetUser("HeaderTelNumber", "555");
    SetUser("JobIDPassCode", "Kept job");
    SetUser("JobIDUserName", "kept user");
    const struct {
        uint32_t alwaysJob, alwaysName;
        const char* userName;
        std::string job, user;
    } cases[] = {
        {0, 0, "ann", "Report", "ann"},
        {1, 0, "ann", "Kept job", "ann"},
        {0, 1, "ann", "Report", "kept user"},
        {0, 0, "", "Report", platform::userName()},
    };
    for (const auto& c : cases) {
        SetUserNumber("JobIDAlwaysUse", c.alwaysJob);
        SetUserNumber("JobIDAlwaysUseName", c.alwaysName);
        SetUser("UserName", c.userName);
        CPPPreviewLogic preview(sheet, prompter, progress);
        const auto summary = preview.BuildSummary();
        EXPECT_EQ(summary->m_strJobName, c.job);
        EXPECT_EQ(summary->m_strUserName, c.user);
        EXPECT_EQ(summary->m_strUserID, "U1");
        EXPECT_EQ(summary->m_strHeaderUserName, headerName);
        EXPECT_EQ(summary->m_strHeaderTelNumber, "555");
    }
}

TEST_F(Pages, NamesLoseWhatTheJobStreamRefusesAndTheJobGoesOut)
{
    // The document text of the command line and the user name, with quotation marks and a tab.
    sheet.m_strText = "\"Q3\" re\tport";
    SetUserNumber("JobIDAlwaysUse", 0);
    SetUserNumber("JobIDAlwaysUseName", 0);
    SetUser("UserName", "O\"Neil");
    AddDestinations(1);
    CPPPreviewLogic preview(sheet, prompter, progress);
    preview.OnSetActive();
    preview.CreateImage();
    ASSERT_EQ(sheet.GetJobSummary()->m_strJobName, "Q3 report");
    EXPECT_EQ(sheet.GetJobSummary()->m_strUserName, "ONeil");
    EXPECT_TRUE(preview.OnWizardFinish());
    ASSERT_EQ(spooler->documents().size(), 1u);
    EXPECT_EQ(spooler->documents()[0].name, "Q3 report");
}

TEST_F(Pages, OneDocumentForABroadcastElseOnePerDestination)
{
    AddDestinations(3);
    sheet.m_bAttachCover = 1; // attached, but no cover chosen: no cover flag
    sheet.m_strCoverMemo = "Memo";
    for (int broadcast : {1, 0}) {
        sheet.DropDocuments();
        sheet.m_JobParameters.m_bBroadcast = broadcast;
        CPPPreviewLogic preview(sheet, prompter, progress);
        preview.BuildDocuments();
        ASSERT_EQ(sheet.GetDocumentCount(), broadcast ? 1 : 3);
        for (int i = 0; i < sheet.GetDocumentCount(); ++i) {
            const CFaxDocument& document = *sheet.GetDocument(i);
            EXPECT_EQ(document.m_Destinations.size(), broadcast ? 3u : 1u);
            EXPECT_EQ(document.m_Destinations[0].m_strName, broadcast ? "Name 0" : "Name " + std::to_string(i));
            EXPECT_EQ(document.m_bCover, 0);
            EXPECT_EQ(document.m_strMemo, "Memo");
            EXPECT_EQ(document.m_strSourcePath, work);
        }
    }
}

TEST_F(Pages, ImageAndSendWorkersReportTheirProgress)
{
    const std::vector<int> image[] = {
        {5, 30, 50, 75, 100, 100},
        {5, 17, 30, 37, 50, 62, 75, 87, 100, 100},
        {5, 13, 21, 30, 33, 41, 50, 58, 66, 75, 83, 91, 100, 100},
    };
    for (int n = 1; n <= 3; ++n) {
        sheet.m_Destinations.clear();
        AddDestinations(n);
        sheet.m_JobParameters.m_bBroadcast = 0;
        sheet.m_bChanged = 1;
        CPPPreviewLogic preview(sheet, prompter, progress);
        preview.OnSetActive();
        preview.CreateImage();
        EXPECT_EQ(progress.values, image[n - 1]) << n;
        EXPECT_EQ(progress.captions.back(), "Creating FAX Image ...");
        EXPECT_EQ(preview.GetPageCount(), 3);
        EXPECT_EQ(preview.GetPageNumber(), 1);
        EXPECT_EQ(sheet.m_bChanged, 0);
        // The pages: spin stops at both ends.
        EXPECT_FALSE(preview.StepPage(-1));
        EXPECT_TRUE(preview.StepPage(2));
        EXPECT_EQ(preview.GetPageNumber(), 3);
        EXPECT_FALSE(preview.StepPage(1));
        if (n == 3) {
            EXPECT_TRUE(preview.OnWizardFinish());
            EXPECT_EQ(progress.captions.back(), "Sending Job Data");
            EXPECT_EQ(progress.values, (std::vector<int>{16, 33, 49, 66, 82, 100, 100}));
            EXPECT_EQ(spooler->documents().size(), 3u);
        }
    }
}

TEST_F(Pages, EveryWorkerFailureLeavesItsTextAndEveryFailedSendItsReason)
{
    // The reason is the log's last line and the box's second; only a queue that failed is named.
    const struct {
        const char* text;
        bool send;
        std::function<void(CPSMainuiLogic&)> breakIt;
        std::function<std::string(const CPSMainuiLogic&)> reason;
    } cases[] = {
        {"FAILED - CreateJobData1", false, [](CPSMainuiLogic& s) {
             s.m_bAttachCover = 1;
             s.m_strCoverPath = "/nonexistent/Sales.TQC";
         },
         [](const CPSMainuiLogic&) { return std::string("the cover sheet /nonexistent/Sales.TQC cannot be drawn"); }},
        {"FAILED - CreateJobData2", false, [](CPSMainuiLogic& s) { s.m_nPageCount = 0; },
         [](const CPSMainuiLogic& s) { return "the page file " + s.m_strFilePath + " has no pages"; }},
        {"FAILED - SendJobData1", true, [](CPSMainuiLogic& s) { s.SetJobSummary(nullptr); },
         [](const CPSMainuiLogic&) { return std::string("no job summary"); }},
        // The queue cannot be opened when the job is registered.
        {"FAILED - SendJobData1", true, [this](CPSMainuiLogic&) {
             spooler->failAt(platform::RecordingSpooler::Step::Open, 1);
         }, [](const CPSMainuiLogic&) { return kUnopenedQueue; }},
        // The job tool refuses the job: its page file went.
        {"FAILED - SendJobData1", true, [](CPSMainuiLogic& s) {
             platform::removeFile(s.GetDocument(0)->m_strImagePath);
         },
         [](const CPSMainuiLogic& s) { return "the page file " + s.GetDocument(0)->m_strImagePath + " is not there"; }},
        {"FAILED - SendJobData2", true, [this](CPSMainuiLogic&) {
             spooler->failAt(platform::RecordingSpooler::Step::Open, 2);
         }, [](const CPSMainuiLogic&) { return kUnopenedQueue; }},
    };
    AddDestinations(1);
    for (const auto& c : cases) {
        CPSMainuiLogic job;
        ASSERT_TRUE(job.SetCommandLineValues(work, "A4", "MMR", "Fax", "Report", prompter));
        job.m_Destinations = sheet.m_Destinations;
        job.m_nModelType = 0;
        CPPPreviewLogic preview(job, prompter, progress);
        if (!c.send)
            c.breakIt(job);
        preview.OnSetActive();
        if (!c.send)
            prompter.expected = {FailureBox(c.reason(job))};
        preview.CreateImage();
        const std::string kept = "\nKEPT - " + work + "\nREASON - ";
        if (c.send) {
            c.breakIt(job);
            prompter.expected = {FailureBox(c.reason(job))};
            EXPECT_TRUE(preview.OnWizardFinish());
            EXPECT_EQ(preview.GetButtons(), PSWIZB_FINISH);
            EXPECT_EQ(readTextFile(job.GetJobFolder() + kSendJobLog),
                      std::string(c.text) + "\nNOT SENT - 0123450 Name 0" + kept + c.reason(job) + "\n");
        } else {
            EXPECT_EQ(preview.GetButtons(), PSWIZB_FINISH) << c.text;
            EXPECT_FALSE(preview.AreControlsEnabled());
            EXPECT_EQ(readTextFile(job.GetJobFolder() + kCreateJobLog), c.text + kept + c.reason(job) + "\n");
            const size_t before = spooler->documents().size();
            EXPECT_TRUE(preview.OnWizardFinish()) << "Finish closes without sending";
            EXPECT_EQ(spooler->documents().size(), before);
        }
        EXPECT_EQ(progress.failure, kWorkerFailure);
        job.DropDocuments();
    }
}

TEST_F(Pages, AJobRebuiltAfterAFailedImageIsMadeAndSentAnew)
{
    // A cover whose file was removed after it was chosen: making the image fails.
    AddDestinations(1);
    sheet.m_bAttachCover = 1;
    sheet.m_strCoverPath = root.path() + "/removed/Sales.TQC";
    CPPPreviewLogic preview(sheet, prompter, progress);
    preview.OnSetActive();
    prompter.expected = {FailureBox("the cover sheet " + sheet.m_strCoverPath + " cannot be drawn")};
    preview.CreateImage();
    ASSERT_TRUE(preview.HasFailed());

    // The cover is taken off and the preview rebuilds the job: it is made and sent like any other.
    sheet.m_bAttachCover = 0;
    sheet.m_strCoverPath.clear();
    sheet.m_bChanged = 1;
    preview.OnSetActive();
    preview.CreateImage();
    EXPECT_FALSE(preview.HasFailed());
    EXPECT_TRUE(preview.AreControlsEnabled());
    EXPECT_EQ(preview.GetButtons(), PSWIZB_BACK | PSWIZB_FINISH);
    EXPECT_EQ(preview.GetPageCount(), 3);
    EXPECT_TRUE(preview.OnWizardFinish());
    EXPECT_EQ(spooler->documents().size(), 1u) << "the fax goes out";
}

TEST_F(Pages, AFailedSendNamesWhatWentOutAndKeepsTheWorkFile)
{
    // One job per destination; the second cannot reach the printer (each job opens it to register,
    // then to print).
    AddDestinations(3);
    sheet.m_Destinations[1].m_strName.clear();
    sheet.m_JobParameters.m_bBroadcast = 0;
    CPPPreviewLogic preview(sheet, prompter, progress);
    preview.OnSetActive();
    preview.CreateImage();
    spooler->failAt(platform::RecordingSpooler::Step::Open, 4);
    prompter.expected = {FailureBox(kUnopenedQueue)};
    EXPECT_TRUE(preview.OnWizardFinish());
    ASSERT_EQ(spooler->documents().size(), 1u);
    EXPECT_EQ(JobLog(kSendJobLog), "FAILED - SendJobData2\nSENT - 0123450 Name 0\nNOT SENT - 0123451\n"
                                   "NOT SENT - 0123452 Name 2\nKEPT - " + work + "\nREASON - " + kUnopenedQueue + "\n");
    sheet.DeleteWorkFile();
    EXPECT_TRUE(platform::pathExists(work)) << "a destination still waits for these pages";

    // A send that went out whole lets the work file go.
    CPSMainuiLogic whole;
    ASSERT_TRUE(whole.SetCommandLineValues(work, "A4", "MMR", "Fax", "Report", prompter));
    whole.m_Destinations = sheet.m_Destinations;
    whole.m_nModelType = 0;
    CPPPreviewLogic again(whole, prompter, progress);
    again.OnSetActive();
    again.CreateImage();
    EXPECT_TRUE(again.OnWizardFinish());
    EXPECT_EQ(spooler->documents().size(), 2u) << "one broadcast job for the three";
    whole.DeleteWorkFile();
    EXPECT_FALSE(platform::pathExists(work));
    whole.DropDocuments();
}

TEST_F(Pages, SendingWithoutAJobBuilderFailsAtOnce)
{
    qelta::test::ScopedStateRoot empty; // no component registered here
    CPSMainuiLogic job;
    RecordingProgress sink;
    EXPECT_EQ(SendJobWorker(job, sink), 0);
    EXPECT_EQ(sink.failure, kWorkerFailure);
    EXPECT_TRUE(sink.values.empty());
    const std::string unregistered = "the component jobbuilder.QeltaJobTool is not registered";
    EXPECT_EQ(readTextFile(job.GetJobFolder() + kSendJobLog), "FAILED - SendJobData0\nREASON - " + unregistered + "\n");
    CPPPreviewLogic preview(job, prompter, sink);
    prompter.expected = {FailureBox(unregistered)};
    preview.OnSetActive();
    preview.CreateImage();
    EXPECT_EQ(readTextFile(job.GetJobFolder() + kCreateJobLog),
              "FAILED - CreateJobData0\nREASON - " + unregistered + "\n");
}

TEST_F(Pages, ModelsOneAndTwoRefuseAJobImageOfFourMebibytes)
{
    sheet.AddDocument(std::make_unique<CFaxDocument>(work, sheet.m_Destinations, 0, "", "", platform::localTime()));
    const std::string image = root.path() + "/big.tif";
    sheet.GetDocument(0)->m_strImagePath = image;
    for (int model : {0, 1, 2, 3})
        for (uint32_t size : {4194303u, 4194304u}) {
            writeTextFile(image, "");
            std::filesystem::resize_file(image, size);
            sheet.m_nModelType = model;
            sheet.m_bChanged = 0;
            const bool refused = (model == 1 || model == 2) && size == 4194304u;
            if (refused)
                prompter.expected = {
                    "The FAX image size TOO LARGE. Please change the compression type or cut some pages."};
            CPPPreviewLogic preview(sheet, prompter, progress);
            preview.OnSetActive();
            preview.CreateImage();
            EXPECT_EQ(preview.GetButtons(), refused ? PSWIZB_BACK : PSWIZB_BACK | PSWIZB_FINISH) << model << " " << size;
        }
    EXPECT_TRUE(progress.captions.empty()) << "nothing was rebuilt";
}

TEST_F(Pages, ZoomStartsTheViewerWithTitleAndImage)
{
    AddDestinations(1);
    CPPPreviewLogic preview(sheet, prompter, progress);
    preview.OnSetActive();
    preview.CreateImage();
    EXPECT_FALSE(preview.Zoom()) << "no viewer set";
    const std::string out = root.path() + "/args";
    SetMachine("Viewer", FakeProgram(root.path(), out));
    EXPECT_TRUE(preview.Zoom());
    EXPECT_EQ(StartedWith(out), "/T\"Qelta Driver - Preview\"\n/P\n\"" + sheet.m_strPreviewImagePath + "\"\n");
    preview.SetMode(2);
    EXPECT_FALSE(preview.IsZoomEnabled());
    preview.SetZoomPosition(35);
    EXPECT_EQ(preview.GetMode(), 3);
    EXPECT_EQ(preview.GetZoomText(), "35 %");
}

// ---- the ready page ----

TEST_F(Pages, ReadyToSendShowsTheJob)
{
    sheet.m_strPortName = "socket://10.0.0.9";
    sheet.AddDestination({"0123", "Ann", kDestinationFax, 0, "", "", 0});
    sheet.AddDestination({std::string(300, 'a') + "@example.com", "Bob", kDestinationIFax, 0, "", "", 1});
    const struct {
        int model, cover, filing, folderType;
        std::string coverText, filingText;
    } cases[] = {
        {0, 0, 1, 1, "No cover sheet was selected.", ""},
        {3, 1, 0, 0, "/covers/Sales.TQC", "OFF"},
        {3, 0, 1, 0, "No cover sheet was selected.", "ON , TempFolder"},
        {3, 0, 1, 1, "No cover sheet was selected.", "ON , FolderName = Box 1"},
    };
    for (const auto& c : cases) {
        sheet.DropDocuments();
        sheet.m_nModelType = c.model;
        sheet.AddDocument(std::make_unique<CFaxDocument>(work, sheet.m_Destinations, c.cover,
                                                         c.cover ? "/covers/Sales.TQC" : "", "", platform::localTime()));
        auto summary = std::make_unique<CJobSummary>();
        summary->m_nCompression = 1;
        summary->m_bFiling = c.filing;
        summary->m_nFolderType = c.folderType;
        summary->m_strFolderName = "Box 1";
        sheet.SetJobSummary(std::move(summary));
        CPPFinishLogic ready(sheet, prompter, progress);
        ready.OnSetActive();
        EXPECT_EQ(ready.GetPrinterText(), "Fax , socket://10.0.0.9");
        EXPECT_EQ(ready.GetSizeText(), "A4 , MH");
        EXPECT_EQ(ready.GetCoverText(), c.coverText);
        EXPECT_EQ(ready.GetFilingText(), c.filingText);
        EXPECT_EQ(ready.ShowsFiling(), c.model == 3);
        ASSERT_EQ(ready.GetRows().size(), 2u);
        EXPECT_EQ(ready.GetRows()[0], (std::pair<std::string, std::string>{"0123", "Ann"}));
        EXPECT_EQ(ready.GetRows()[1].first.size(), 259u);
        EXPECT_EQ(ready.GetButtons(), PSWIZB_BACK | PSWIZB_FINISH);
    }
}

TEST_F(Pages, ReadyToSendStartsTheLogViewerWhenAskedAndSends)
{
    AddDestinations(2);
    CPPPreviewLogic preview(sheet, prompter, progress);
    preview.OnSetActive();
    preview.CreateImage();
    const std::string out = root.path() + "/args";
    SetMachine("LogBrowser", FakeProgram(root.path(), out));
    CPPFinishLogic ready(sheet, prompter, progress);
    ready.OnSetActive();
    ready.SetLogViewer(true);
    EXPECT_TRUE(ready.OnWizardFinish());
    EXPECT_EQ(StartedWith(out), "");
    EXPECT_EQ(progress.captions.back(), "Sending Job Data");
    EXPECT_EQ(progress.values, (std::vector<int>{50, 100, 100}));
    EXPECT_EQ(spooler->documents().size(), 1u) << "broadcast: one job for both";

    spooler->failAt(platform::RecordingSpooler::Step::Open, 2);
    prompter.expected = {FailureBox(kUnopenedQueue)};
    ready.SetLogViewer(false);
    EXPECT_TRUE(ready.OnWizardFinish());
    EXPECT_EQ(ready.GetButtons(), PSWIZB_FINISH);
    EXPECT_EQ(JobLog(kSendJobLog), "FAILED - SendJobData2\nNOT SENT - 0123450 Name 0\nNOT SENT - 0123451 Name 1"
                                   "\nKEPT - " + sheet.m_strFilePath + "\nREASON - " + kUnopenedQueue + "\n");
    EXPECT_FALSE(platform::pathExists(out)) << "no log viewer this time";
}

} // namespace
