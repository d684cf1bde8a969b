// The trial run's state folder: what the environment setting stores there survives the next
// preparation of a run, and the wizard then sends to the printer chosen.
#include "common/data_folders.h"
#include "common/header_font.h"
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "devicelist/devicelist.h"
#include "envsetup/envsetup_logic.h"
#include "envsetup/tests/envsetup_test_support.h"
#include "platform/files.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "sendwizard/printer_info.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(TrialRun, TheNextRunKeepsTheHeaderAndPrinterChosen)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Lab Fax");
    std::string error;
    ASSERT_TRUE(PrepareSampleRun(error)) << error;
    envsetup_test::NoQuestions prompter;
    EXPECT_EQ(ChoosePrinter(kSamplePrinter, prompter), kSamplePrinter);

    CEnvsetupLogic sheet(prompter, [] { return std::string("DejaVu Sans"); });
    sheet.m_Header.OnInitDialog();
    sheet.m_Header.m_strUserName = "Ann";
    sheet.m_Header.OnEditChanged();
    ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    sheet.m_Printer.OnInitDialog();
    sheet.m_Printer.OnUseUserPrinter(true);
    sheet.m_Printer.OnSelect(0);
    sheet.Apply();

    ASSERT_TRUE(PrepareSampleRun(error)) << error;
    EXPECT_EQ(ChoosePrinter(kSamplePrinter, prompter), "Lab Fax");
    EXPECT_EQ(CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).ReadString(kProductSubkey, kHeaderUserNameValue, ""),
              "Ann");
}

// A user name of 400 bytes and a phone book folder of 300 go through envsetup's OK, the next
// preparation of a run and a reopened sheet whole: nothing is read as missing and written back
// empty, and the sample book is made in the user's folder, not in the default one.
TEST(TrialRun, LongSettingsSurviveTheNextRunAndAReopenedSheet)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Lab Fax");
    std::string error;
    ASSERT_TRUE(PrepareSampleRun(error)) << error;
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    std::string name = "Ann ";
    while (name.size() < 400)
        name += "\xC3\xBC\xE6\x97\xA5"; // two- and three-byte letters
    std::string books = root.path() + "/books";
    while (books.size() < 300)
        books += "/" + std::string(std::min<size_t>(200, 300 - books.size()), 'b');
    ASSERT_EQ(user.WriteString(kProductSubkey, "PhonebookDirectory", books), 1);

    envsetup_test::NoQuestions prompter;
    CEnvsetupLogic sheet(prompter, [] { return std::string("DejaVu Sans"); });
    sheet.m_Header.OnInitDialog();
    sheet.m_Header.m_strUserName = name;
    sheet.m_Header.OnEditChanged();
    ASSERT_TRUE(sheet.Apply());

    ASSERT_TRUE(PrepareSampleRun(error)) << error;
    EXPECT_EQ(user.ReadString(kProductSubkey, "PhonebookDirectory", ""), books);
    EXPECT_TRUE(platform::pathExists(platform::joinPath(books, std::string(kSampleBookName) + ".xml")));
    for (int open = 0; open < 2; ++open) { // shown again, and OK pressed without a change
        CEnvsetupLogic again(prompter, [] { return std::string("DejaVu Sans"); });
        again.m_Header.OnInitDialog();
        EXPECT_EQ(again.m_Header.m_strUserName, name);
        again.m_Header.OnEditChanged();
        ASSERT_TRUE(again.Apply());
    }
    EXPECT_EQ(user.ReadString(kProductSubkey, kHeaderUserNameValue, ""), name);
    EXPECT_EQ(GetPhoneBookDirectory(), books);
}

} // namespace
