#include "common/prompter.h"
#include "common/registry_helper.h"
#include "devicelist/devicelist.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sendwizard/printer_info.h"
#include "sendwizard/sheet_logic.h"

#include <gtest/gtest.h>

namespace {

// Answers every message box with OK and keeps the texts shown.
class RecordingPrompter : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override
    {
        shown.push_back(strCaption + "|" + strText + "|" + std::to_string(nFlags));
        return IDOK;
    }
    std::vector<std::string> shown;
};

TEST(DeviceEnv, OnlyALineTwoLongerThanTheDriverNameEndingInADigitMatches)
{
    struct Row {
        const char* table;
        int model;
    };
    const Row rows[] = {
        {"Qelta MX-5000 3\n", 3},
        {"Qelta MX-5000 3\r\n", 3},                          // the line end is not counted
        {"Qelta MX-5000 3", 3},                              // nor missing on the last line
        {"Qelta MX-5000 13\n", kUnknownModelType},           // two digits
        {"Qelta MX-50003\n", kUnknownModelType},             // digit right after the name
        {"Qelta MX-5000 x\nQelta MX-5000=2\n", 2},           // last character not a digit: next line
        {"Qelta MX-500 1\nQelta MX-5000 2\nQelta MX-5000 1\n", 2}, // the first match wins
        {"qelta mx-5000 3\n", kUnknownModelType},            // names compare exactly
        {"", kUnknownModelType},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FindModelType(row.table, "Qelta MX-5000"), row.model) << row.table;
    EXPECT_EQ(FindModelType(" 3\n", ""), kUnknownModelType);
}

TEST(PrinterFacts, PortAndDriverComeFromTheSpoolerAndAnUnknownModelBecomesZero)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Fax");
    spooler->addPrinter("Fax", "socket://192.0.2.7:9100");
    spooler->setMakeAndModel("Fax", "Qelta MX-5000");
    spooler->addPrinter("Plain");
    qelta::test::writeTextFile(root.path() + "/prog/device.env", "Qelta MX-4000 1\r\nQelta MX-5000 3\r\n");

    struct Row {
        const char* printer;
        const char* port;
        const char* driver;
        int model;
    };
    const Row rows[] = {
        {"Fax", "socket://192.0.2.7:9100", "Qelta MX-5000", 3},
        {"Plain", "", "", 0},
        {"Missing", "", "", 0},
    };
    for (const Row& row : rows) {
        CPSMainuiLogic sheet;
        sheet.m_strPrinter = row.printer;
        sheet.ReadPrinterInfo(root.path() + "/prog");
        EXPECT_EQ(sheet.m_strPortName, row.port);
        EXPECT_EQ(sheet.m_strDriverName, row.driver);
        EXPECT_EQ(sheet.m_nModelType, row.model) << row.printer;
    }
    spooler->setMakeAndModel("Plain", "Qelta MX-4000");
    CPSMainuiLogic noTable;
    noTable.m_strPrinter = "Plain";
    noTable.ReadPrinterInfo(root.path() + "/elsewhere");
    EXPECT_EQ(noTable.m_nModelType, 0);
    platform::setSpooler(nullptr);
}

TEST(PrinterChoice, TheUserDefinedPrinterIsUsedOnlyWhenSetAndKnown)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Office");
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    RecordingPrompter prompter;

    EXPECT_EQ(ChoosePrinter("FromDriver", prompter), "FromDriver"); // nothing stored
    user.WriteString(kProductSubkey, kUserDefinedPrinterValue, "Office");
    EXPECT_EQ(ChoosePrinter("FromDriver", prompter), "FromDriver"); // stored but not in use
    user.WriteDword(kProductSubkey, kUseUserDefinedPrinterValue, 1);
    EXPECT_EQ(ChoosePrinter("FromDriver", prompter), "Office");
    EXPECT_TRUE(prompter.shown.empty());

    user.WriteString(kProductSubkey, kUserDefinedPrinterValue, "Gone");
    EXPECT_EQ(ChoosePrinter("FromDriver", prompter), "FromDriver");
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0], "Qelta Driver|Your defined network printer driver cannot be used now.\n"
                                 "Instead, local printer driver is used.|48");
    EXPECT_EQ(DEVICELISTLIB_ValidPrinter(""), 0);
    platform::setSpooler(nullptr);
}

TEST(ModelType, PictureAndDestinationLimit)
{
    const int pictures[] = {154, 153, 149, 151, 155};
    const int limits[] = {300, 200, 200, 500, 200};
    for (int model = 0; model < 5; ++model) {
        EXPECT_EQ(ModelPictureFor(model), pictures[model]);
        EXPECT_EQ(DestinationLimitFor(model), limits[model]);
    }
    EXPECT_EQ(ModelPictureFor(99), 155);
}

TEST(HelpMap, PagesMapToTheirTopics)
{
    EXPECT_EQ(HelpTopicFor(0x20000 + 107), 131201u);
    EXPECT_EQ(HelpTopicFor(0x20000 + 110), 131202u);
    EXPECT_EQ(HelpTopicFor(0x20000 + 121), 131203u);
    EXPECT_EQ(HelpTopicFor(0x20000 + 111), 131204u);
    EXPECT_EQ(HelpTopicFor(0x20000 + 108), 131205u);
    EXPECT_EQ(HelpTopicFor(0x20000 + 109), 131200u);
    EXPECT_EQ(HelpTopicFor(107), 131200u);
}

} // namespace
