// The Set Job Parameter page's logic: the filing mode table, each check of Next with its message and
// the field it empties, the Job ID and header font settings, the compression choice, the model
// types' gating with the folder cache, and the job settings a change after a preview hands on.
#include "sendwizard/set_params_logic.h"

#include "common/registry_helper.h"
#include "platform/system_info.h"
#include "platform/tests/support/test_support.h"
#include "sendwizard/tests/wizard_test_support.h"
#include "sendwizard/wizard_strings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using wizard_test::ScriptedPrompter;

// mfplink answering only its protocol version.
class VersionApi : public IFilingApi {
public:
    explicit VersionApi(int version) : m_nVersion(version) {}
    int Initialize() override { return 1; }
    int Terminate() override { return 1; }
    DfapiListing* ListFile(const char*, int, int) override { return nullptr; }
    int NextFile(DfapiListing*, MFPIF_DFAPI_FileInfo*, int) override { return 0; }
    void CloseFile(DfapiListing*) override {}
    int GetIPAddrByPrinterPort(const char*, const char*, char*, unsigned) override { return 0; }
    int ProtocolVer() override { return m_nVersion; }

private:
    int m_nVersion;
};

struct NoEntry : IPrinterNameEntry {
    bool Ask(std::string&) override
    {
        ADD_FAILURE() << "printer name asked for";
        return false;
    }
};

struct NoDiscover : IDiscoverRunner {
    int Run(const std::string&, const std::string&, int, int, const Worker&) override
    {
        ADD_FAILURE() << "busy dialog run";
        return 1;
    }
};

const CRegistryHelper& User()
{
    static const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    return user;
}

CFilingFolder Folder(std::string name, int password, int type = kFolderListed)
{
    CFilingFolder folder;
    folder.strName = std::move(name);
    folder.bPassword = password;
    folder.nFolderType = type;
    folder.nSize = 3221225472u;
    return folder;
}

class SetParams : public ::testing::Test {
protected:
    void SetUp() override
    {
        sheet.m_nXResolution = 200;
        sheet.m_strCompression = "MMR";
        sheet.m_strPortName = "socket://10.0.0.5:9100";
        sheet.m_strText = "Quarterly report";
        sheet.AddDestination({"0123", "", kDestinationFax, 0, "", "", 0});
        sheet.AddDestination({"0456", "", kDestinationFax, 0, "", "", 0});
    }
    // The page as the sheet first shows it: set up, its compression selected, activated.
    CPPSetParamsLogic& Show(int model, int version = 1)
    {
        sheet.m_nModelType = model;
        update = std::make_unique<CFolderUpdate>(prompter, entry, discover,
                                                 [version] { return std::make_unique<VersionApi>(version); });
        page = std::make_unique<CPPSetParamsLogic>(sheet, prompter, *update, [this] { return defaultFace; });
        page->OnInitDialog();
        page->OnSelectCompression();
        page->OnSetActive();
        return *page;
    }
    // A folder cache of two folders, plain and protected, where the page finds it.
    void WriteCache(const std::vector<CFilingFolder>& folders)
    {
        ASSERT_TRUE(WriteFolderInfo(sheet.GetJobFolder() + "folder.info", sheet.m_strPortName, folders));
    }
    std::map<int, bool> EnabledStates(std::initializer_list<int> ids) const
    {
        std::map<int, bool> states;
        for (int id : ids)
            states[id] = page->IsEnabled(id);
        return states;
    }

    qelta::test::ScopedStateRoot root;
    CPSMainuiLogic sheet;
    ScriptedPrompter prompter;
    NoEntry entry;
    NoDiscover discover;
    std::string defaultFace = "DejaVu Sans";
    std::unique_ptr<CFolderUpdate> update;
    std::unique_ptr<CPPSetParamsLogic> page;
};

TEST_F(SetParams, FilingModesEnableTheirControlsAndFileModeFollowsTheFolderProtection)
{
    WriteCache({Folder("Main Folder", 0, kFolderMain), Folder("Plain", 0), Folder("Locked", 1)});
    CPPSetParamsLogic& logic = Show(3);
    ASSERT_EQ(logic.RowCount(), 3);
    const std::initializer_list<int> ids = {IDC_PARAM_UPDATE_FOLDER, IDC_PARAM_FOLDER_LIST, IDC_PARAM_FOLDER_NAME, IDC_PARAM_FOLDER_PASS,
                      IDC_PARAM_FOLDER_PASS_LABEL, IDC_PARAM_FILE_PASS, IDC_PARAM_FILE_PASS_LABEL,
                      IDC_PARAM_MODE_QUICK};
    using States = std::map<int, bool>;
    auto row = [](bool update, bool list, bool name, bool folderPass, bool filePass, bool radios) {
        return States{{IDC_PARAM_UPDATE_FOLDER, update}, {IDC_PARAM_FOLDER_LIST, list}, {IDC_PARAM_FOLDER_NAME, name},
                      {IDC_PARAM_FOLDER_PASS, folderPass}, {IDC_PARAM_FOLDER_PASS_LABEL, folderPass},
                      {IDC_PARAM_FILE_PASS, filePass}, {IDC_PARAM_FILE_PASS_LABEL, filePass},
                      {IDC_PARAM_MODE_QUICK, radios}};
    };
    EXPECT_EQ(EnabledStates(ids), row(false, false, false, false, false, false)) << "filing starts off";
    EXPECT_TRUE(logic.IsEnabled(IDC_PARAM_FILING));

    logic.OnFolderSelected(2);
    logic.OnFiling(1); // mode File: the selected row stays, a protected folder asks its pass code
    EXPECT_EQ(logic.SelectedRow(), 2);
    EXPECT_EQ(EnabledStates(ids), row(true, true, false, true, true, true));
    logic.OnFolderSelected(1);
    EXPECT_EQ(EnabledStates(ids), row(true, true, false, false, true, true)) << "a plain folder has no pass code";

    const struct {
        int mode;
        States states;
    } modes[] = {
        {kFilingQuick, row(false, false, false, false, false, true)},
        {kFilingFolderName, row(false, false, true, true, true, true)},
        {kFilingFile, row(true, true, false, false, true, true)}, // back to the plain folder
    };
    for (const auto& m : modes) {
        logic.OnFilingMode(m.mode);
        EXPECT_EQ(EnabledStates(ids), m.states) << "mode " << m.mode;
    }
    EXPECT_EQ(logic.SelectedRow(), 1);
    logic.OnFiling(0);
    EXPECT_EQ(EnabledStates(ids), row(false, false, false, false, false, false));
}

TEST_F(SetParams, EachCheckOfNextShowsItsTextAndEmptiesItsField)
{
    // Names count UTF-8 bytes: eight two-byte letters fill 16 bytes, nine do not.
    const std::string sixteenBytes = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    struct Case {
        const char* name;
        std::function<void(CPPSetParamsLogic&)> set;
        uint32_t text; // 0: Next passes
        std::function<void(const CPPSetParamsLogic&)> check;
    };
    const Case cases[] = {
        {"user name of 18 bytes", [&](auto& p) { p.m_bKeepUserName = 1; p.m_strUserName = sixteenBytes + "\xC3\xA9"; },
         IDS_BAD_USER_NAME, [](auto& p) { EXPECT_EQ(p.m_bKeepUserName, 0); }},
        {"user name of 16 bytes", [&](auto& p) { p.m_bKeepUserName = 1; p.m_strUserName = sixteenBytes; }, 0, {}},
        {"empty kept user name", [](auto& p) { p.m_bKeepUserName = 1; p.m_strUserName.clear(); }, IDS_BAD_USER_NAME,
         [](auto& p) { EXPECT_EQ(p.m_bKeepUserName, 0); }},
        {"job name of 81", [](auto& p) { p.m_bKeepJobName = 1; p.m_strJobName = std::string(81, 'j'); },
         IDS_BAD_JOB_NAME, [](auto& p) { EXPECT_EQ(p.m_bKeepJobName, 0); }},
        {"folder name of 29", [](auto& p) { p.OnFiling(1); p.OnFilingMode(kFilingFolderName); p.m_strFolderName = std::string(29, 'f'); },
         IDS_BAD_FOLDER_NAME, [](auto& p) { EXPECT_EQ(p.m_strFolderName.size(), 29u) << "kept for mending"; }},
        {"empty folder name", [](auto& p) { p.OnFiling(1); p.OnFilingMode(kFilingFolderName); }, IDS_BAD_FOLDER_NAME, {}},
        // The job stream carries no quotation mark: a typed or listed name with one would fail the send.
        {"typed folder name with a quotation mark", [](auto& p) { p.OnFiling(1); p.OnFilingMode(kFilingFolderName); p.m_strFolderName = "Q\"3"; },
         IDS_BAD_FOLDER_NAME, {}},
        {"listed folder name with a quotation mark", [](auto& p) { p.OnFiling(1); p.OnFolderSelected(1); },
         IDS_BAD_FOLDER_NAME, [](auto& p) { EXPECT_EQ(p.SelectedRow(), 1); }},
        {"listed folder name without one", [](auto& p) { p.OnFiling(1); p.OnFolderSelected(2); }, 0, {}},
        {"folder pass code of four digits", [](auto& p) { p.OnFiling(1); p.m_strFolderPassCode = "1234"; },
         IDS_BAD_FOLDER_PASSCODE, [](auto& p) { EXPECT_EQ(p.m_strFolderPassCode, ""); }},
        {"folder pass code with a letter", [](auto& p) { p.OnFiling(1); p.OnFilingMode(kFilingFolderName); p.m_strFolderName = "Sales"; p.m_strFolderPassCode = "12a45"; },
         IDS_BAD_FOLDER_PASSCODE, [](auto& p) { EXPECT_EQ(p.m_strFolderPassCode, ""); }},
        {"file pass code of six digits", [](auto& p) { p.OnFiling(1); p.m_strFolderPassCode = "12345"; p.m_strFilePassCode = "123456"; },
         IDS_BAD_FILE_PASSCODE, [](auto& p) { EXPECT_EQ(p.m_strFilePassCode, ""); EXPECT_EQ(p.m_strFolderPassCode, "12345"); }},
        {"quick file takes no pass codes", [](auto& p) { p.OnFiling(1); p.OnFilingMode(kFilingQuick); p.m_strFilePassCode = "x"; },
         0, {}},
        {"empty account number", [](auto& p) { p.OnAccount(1); }, IDS_BAD_ACCOUNT_NUMBER, {}},
        {"account number with a letter", [](auto& p) { p.OnAccount(1); p.m_strAccountNumber = "1234x"; },
         IDS_BAD_ACCOUNT_NUMBER, [](auto& p) { EXPECT_EQ(p.m_strAccountNumber, ""); }},
        {"account number of five digits, empty pass codes", [](auto& p) { p.OnFiling(1); p.OnAccount(1); p.m_strAccountNumber = "00042"; },
         0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qelta::test::ScopedStateRoot fresh;
        WriteCache({Folder("Main Folder", 0, kFolderMain), Folder("Q\"3", 0), Folder("Q3", 0)});
        CPPSetParamsLogic& logic = Show(3);
        c.set(logic);
        if (c.text)
            prompter.expected = {WizardString(c.text)};
        EXPECT_EQ(logic.OnWizardNext(), c.text == 0);
        EXPECT_TRUE(prompter.expected.empty());
        if (c.check)
            c.check(logic);
        // A refused Next stores nothing.
        EXPECT_EQ(User().ReadDword(kProductSubkey, "JobIDAlwaysUse", 7), c.text ? 7u : 0u);
    }
}

TEST_F(SetParams, TheJobIdIsSavedAndComesBackAndTheHeaderFontFollowsItsDefaultRule)
{
    // No stored header font: the page's face is stored with size 240; 240 tenths on a 200 dpi work
    // file make a 12-point font, 16 pixels at 96 per inch.
    CPPSetParamsLogic& first = Show(0);
    EXPECT_EQ(User().ReadString(kProductSubkey, "HeaderFontFace", ""), "DejaVu Sans");
    EXPECT_EQ(User().ReadDword(kProductSubkey, "HeaderFontSize", 0), 240u);
    EXPECT_EQ(first.HeaderFont().lfHeight, -16);
    EXPECT_STREQ(first.HeaderFont().lfFaceName, "DejaVu Sans");
    // The defaults of an activation: the login name and the document text.
    EXPECT_EQ(first.m_strUserName, platform::userName());
    EXPECT_EQ(first.m_strJobName, "Quarterly report");
    first.m_bKeepUserName = first.m_bKeepJobName = 1;
    first.m_strUserName = "ann";
    first.m_strJobName = "Budget";
    ASSERT_TRUE(first.OnWizardNext());
    EXPECT_EQ(User().ReadString(kProductSubkey, "JobIDUserName", ""), "ann");
    EXPECT_EQ(User().ReadString(kProductSubkey, "JobIDPassCode", ""), "Budget");
    EXPECT_EQ(User().ReadDword(kProductSubkey, "JobIDAlwaysUseName", 0), 1u);
    EXPECT_EQ(User().ReadDword(kProductSubkey, "JobIDAlwaysUse", 0), 1u);

    // A stored face and size are taken as they stand; 100 tenths make 5 points, 7 pixels rounded.
    User().WriteDword(kProductSubkey, "HeaderFontSize", 100);
    sheet.m_strText.clear();
    CPPSetParamsLogic& second = Show(0);
    EXPECT_EQ(second.HeaderFont().lfHeight, -7);
    EXPECT_EQ(second.m_strUserName, "ann");
    EXPECT_EQ(second.m_strJobName, "Budget");
    EXPECT_EQ(second.m_bKeepUserName + second.m_bKeepJobName, 2);
    second.m_bKeepJobName = 0;
    second.m_strJobName.clear();
    ASSERT_TRUE(second.OnWizardNext());
    EXPECT_EQ(User().ReadDword(kProductSubkey, "JobIDAlwaysUse", 1), 0u);
    EXPECT_EQ(User().ReadString(kProductSubkey, "JobIDPassCode", ""), "Budget") << "not kept, not written";

    // A job name that stays empty clears its box; a face without a size takes the default again,
    // and with no default face known "Tahoma" is used and nothing stored.
    User().WriteDword(kProductSubkey, "JobIDAlwaysUse", 1);
    User().WriteString(kProductSubkey, "JobIDPassCode", "");
    User().WriteDword(kProductSubkey, "HeaderFontSize", 0);
    defaultFace.clear();
    CPPSetParamsLogic& third = Show(0);
    EXPECT_EQ(third.m_bKeepJobName, 0);
    EXPECT_STREQ(third.HeaderFont().lfFaceName, "Tahoma");
    EXPECT_EQ(User().ReadString(kProductSubkey, "HeaderFontFace", ""), "DejaVu Sans");
    EXPECT_EQ(User().ReadDword(kProductSubkey, "HeaderFontSize", 7), 0u);
}

TEST_F(SetParams, TheCommandLineCompressionIsSelectedAndMrIsRefusedOnModelThree)
{
    const struct {
        int model;
        const char* compression;
        int index;
        bool refused;
        size_t items;
    } cases[] = {
        {0, "MMR", 0, false, 3}, {0, "MH", 1, false, 3}, {2, "MR", 2, false, 3}, {0, "", 2, false, 3},
        {3, "MH", 1, false, 2},  {3, "MR", 0, true, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.compression) + " on model " + std::to_string(c.model));
        sheet.m_strCompression = c.compression;
        if (c.refused)
            prompter.expected = {WizardString(IDS_NO_MR)};
        const CPPSetParamsLogic& logic = Show(c.model);
        EXPECT_EQ(logic.m_nCompression, c.index);
        EXPECT_EQ(logic.CompressionItems().size(), c.items);
        EXPECT_FALSE(logic.IsEnabled(IDC_PARAM_COMPRESSION));
    }
}

TEST_F(SetParams, OnlyModelThreeOffersHeaderFilingAndAccountAndReadsTheFolderCache)
{
    CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteDword(kProductSubkey, "EnablePCHeader", 1);
    const std::initializer_list<int> gated = {IDC_PARAM_HEADER_GROUP, IDC_PARAM_HEADER, IDC_PARAM_HEADER_TEXT, IDC_PARAM_TAG_DATE,
                        IDC_PARAM_TAG_PAGENO, IDC_PARAM_FILING_GROUP, IDC_PARAM_FILING, IDC_PARAM_MODE_FILE,
                        IDC_PARAM_FOLDER_LIST, IDC_PARAM_UPDATE_FOLDER, IDC_PARAM_ACCOUNT_GROUP, IDC_PARAM_ACCOUNT,
                        IDC_PARAM_ACCOUNT_NUMBER};
    for (int model : {0, 1, 2, 4}) {
        SCOPED_TRACE(model);
        CPPSetParamsLogic& logic = Show(model);
        for (int id : gated)
            EXPECT_FALSE(logic.IsEnabled(id)) << id;
        const bool notifies = model == 0;
        EXPECT_EQ(logic.IsEnabled(IDC_PARAM_NOTIFY), notifies);
        EXPECT_EQ(logic.m_bNotification, notifies ? 1 : 0);
        EXPECT_EQ(logic.RowCount(), 0);
        // Without filing no folder is asked for, though the mode is File and no folder is listed.
        EXPECT_TRUE(logic.OnWizardNext());
        EXPECT_EQ(sheet.m_JobParameters.m_nFolderType, 0);
    }
    EXPECT_EQ(User().ReadString(kProductSubkey, "DocuinfoPath", ""), "") << "only model 3 has a cache";

    // Model 3: the header follows its box, the cache beside the job folder is read and its path stored.
    WriteCache({Folder("Main Folder", 0, kFolderMain), Folder("Locked", 1)});
    CPPSetParamsLogic& logic = Show(3);
    EXPECT_EQ(User().ReadString(kProductSubkey, "DocuinfoPath", ""), sheet.GetJobFolder() + "folder.info");
    EXPECT_TRUE(logic.IsEnabled(IDC_PARAM_HEADER));
    EXPECT_FALSE(logic.IsEnabled(IDC_PARAM_HEADER_TEXT));
    logic.OnHeader(1);
    EXPECT_TRUE(logic.IsEnabled(IDC_PARAM_HEADER_TEXT));
    EXPECT_TRUE(logic.IsEnabled(IDC_PARAM_TAG_PAGENO));
    EXPECT_TRUE(logic.IsEnabled(IDC_PARAM_ACCOUNT));
    EXPECT_FALSE(logic.IsEnabled(IDC_PARAM_ACCOUNT_NUMBER));
    EXPECT_TRUE(logic.IsEnabled(IDC_PARAM_NOTIFY));
    ASSERT_EQ(logic.RowCount(), 2);
    EXPECT_EQ(logic.SelectedRow(), 0);
    // Protocol version 1: one wide Name column, rows without size or date.
    const std::vector<FolderColumn> columns = logic.Columns();
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0].nTitle, IDS_FOLDER_COLUMN_NAME);
    EXPECT_EQ(columns[0].nWidth, 310);
    EXPECT_EQ(logic.Row(1), (FolderRowView{"Locked", "", "", 1}));
    EXPECT_EQ(logic.Row(0).nImage, 2);

    // A stored path is where the cache is read from.
    const std::string elsewhere = root.path() + "/cache/elsewhere.info";
    ASSERT_TRUE(WriteFolderInfo(elsewhere, sheet.m_strPortName, {Folder("Other", 0)}));
    User().WriteString(kProductSubkey, "DocuinfoPath", elsewhere);
    EXPECT_EQ(Show(3).Row(0).strName, "Other");
}

TEST_F(SetParams, LaterProtocolVersionsShowSizeAndDate)
{
    auto folder = Folder("Main Folder", 0, kFolderMain);
    // 2026-01-02 12:00 UTC as a FILETIME.
    const uint64_t fileTime = (uint64_t{1767355200} + 11644473600u) * 10000000u;
    folder.nLowDateTime = static_cast<uint32_t>(fileTime);
    folder.nHighDateTime = static_cast<uint32_t>(fileTime >> 32);
    WriteCache({folder, Folder("Plain", 0)});
    CPPSetParamsLogic& logic = Show(3, 2);
    if (logic.Columns().size() == 1)
        GTEST_SKIP() << "the Update Folder library reports no protocol version yet";
    ASSERT_EQ(logic.Columns().size(), 3u);
    EXPECT_TRUE(logic.Columns()[1].bRightAligned);
    EXPECT_EQ(logic.Row(0).strSize, "3221225472 bytes");
    EXPECT_EQ(logic.Row(0).strDate, platform::formatLocalDate(platform::localTimeOf(1767355200)));
    EXPECT_EQ(logic.Row(1).strDate, "") << "a folder without a time stamp shows no date";
}

TEST_F(SetParams, AChangeAfterAPreviewReachesTheJobSettingsInOrder)
{
    WriteCache({Folder("Main Folder", 0, kFolderMain), Folder("Sales", 1)});
    CPPSetParamsLogic& logic = Show(3);
    sheet.m_JobParameters.m_bNotification = 7; // what an earlier page might have left
    ASSERT_TRUE(logic.OnWizardNext());
    EXPECT_EQ(sheet.m_JobParameters.m_bNotification, 1) << "the first Next fills the settings";

    // The preview has been made; the user comes back and changes the filing.
    sheet.m_bChanged = 0;
    logic.OnSetActive();
    logic.OnFiling(1);
    logic.OnFolderSelected(1);
    logic.m_strFolderPassCode = "24680";
    logic.m_strFilePassCode = "13579";
    logic.OnAccount(1);
    logic.m_strAccountNumber = "00042";
    logic.OnHeader(1);
    logic.m_strHeaderText = "x";
    EXPECT_EQ(logic.InsertTag(IDC_PARAM_TAG_USER, 1), 8u);
    EXPECT_EQ(logic.InsertTag(IDC_PARAM_TAG_DATE, 0), 7u);
    ASSERT_TRUE(logic.OnWizardNext());
    EXPECT_EQ(sheet.m_bChanged, 1) << "the preview rebuilds the job";
    const CJobParameters& p = sheet.m_JobParameters;
    EXPECT_EQ(p.m_bBroadcast, 1);
    EXPECT_EQ(p.m_bNotification, 1);
    EXPECT_EQ(p.m_bHeader, 1);
    EXPECT_EQ(p.m_strHeaderText, " $DATE x $USER ");
    EXPECT_EQ(p.m_bFiling, 1);
    EXPECT_EQ(p.m_nFolderType, kFolderListed);
    EXPECT_EQ(p.m_strFolderName, "Sales");
    EXPECT_EQ(p.m_strFolderPassword, "24680");
    EXPECT_EQ(p.m_strFilePassword, "13579");
    EXPECT_EQ(p.m_bAccount, 1);
    EXPECT_EQ(p.m_strAccountNumber, "00042");
    ASSERT_TRUE(p.m_HeaderFont.has_value());
    EXPECT_EQ(std::memcmp(&*p.m_HeaderFont, &logic.HeaderFont(), sizeof(LOGFONTA)), 0);

    // Unchanged, Next still hands the settings on without asking for a new preview; a cover
    // attached on the cover page turns broadcasting off.
    sheet.m_bChanged = 0;
    sheet.m_bAttachCover = 1;
    sheet.m_strCoverPath = root.path() + "/a.TQC";
    logic.OnSetActive();
    EXPECT_FALSE(logic.IsEnabled(IDC_PARAM_BROADCAST));
    logic.OnFilingMode(kFilingFolderName);
    logic.m_strFolderName = "Typed";
    sheet.m_bChanged = 0;
    logic.OnChanged(); // the folder name's edit
    ASSERT_TRUE(logic.OnWizardNext());
    EXPECT_EQ(sheet.m_bChanged, 1);
    EXPECT_EQ(p.m_bBroadcast, 0);
    EXPECT_EQ(p.m_strFolderName, "Typed");
    EXPECT_EQ(p.m_nFolderType, kFolderListed);

    // Mode File without a selected folder keeps the page.
    logic.OnFolderSelected(-1);
    logic.m_nFilingMode = kFilingFile;
    prompter.expected = {WizardString(IDS_NO_USER_FOLDER)};
    EXPECT_FALSE(logic.OnWizardNext());
}

} // namespace
