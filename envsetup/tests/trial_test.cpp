// The trial run's state folder: what the environment setting stores there survives the next
// preparation of a run, and the wizard then sends to the printer chosen.
#include "common/header_font.h"
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "devicelist/devicelist.h"
#include "envsetup/envsetup_logic.h"
#include "envsetup/tests/envsetup_test_support.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "sendwizard/printer_info.h"

#include <gtest/gtest.h>

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

} // namespace
