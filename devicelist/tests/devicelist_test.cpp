// devicelistlib over the recording spooler: the stored choice and the list of the last update.
#include "devicelist/devicelist.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

namespace {

using platform::RecordingSpooler;

std::vector<std::string> Listed()
{
    std::vector<std::string> entries;
    const int count = DEVICELISTLIB_GetNumberOfListedPrinter();
    for (int i = 0; i < count; ++i) {
        std::string entry;
        EXPECT_EQ(DEVICELISTLIB_GetPrinterList(i, entry), 1) << i;
        entries.push_back(entry);
    }
    return entries;
}

TEST(DeviceList, TheChoiceIsStoredForTheUser)
{
    qelta::test::ScopedStateRoot root;
    std::string printer = "kept";
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 0);
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(printer), 0);
    EXPECT_EQ(printer, "kept");

    EXPECT_EQ(DEVICELISTLIB_SetIsUseUserDefinedPrinter(7), 1);
    EXPECT_EQ(DEVICELISTLIB_SetUserDefinedPrinter("Office Fax"), 1);
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 1);
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(printer), 1);
    EXPECT_EQ(printer, "Office Fax");
    EXPECT_EQ(DEVICELISTLIB_SetIsUseUserDefinedPrinter(0), 1);
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 0);
}

TEST(DeviceList, EntriesSplitAtTheirFirstTwoColons)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = RecordingSpooler::install("Office");
    spooler->setMakeAndModel("Office", "Qelta: MX-5000");
    spooler->setPlace("Office", "Floor 3: east wing", "The fax by the door");
    spooler->addPrinter("a:b"); // CUPS allows it; its entry could not be split again
    spooler->addPrinter("Plain");

    ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Qelta  MX-5000:Office:Floor 3: east wing", ":Plain:"}));
    std::string entry = "kept";
    EXPECT_EQ(DEVICELISTLIB_GetPrinterList(-1, entry), 0);
    EXPECT_EQ(DEVICELISTLIB_GetPrinterList(2, entry), 0);
    EXPECT_EQ(entry, "kept");
}

TEST(DeviceList, AFailedUpdateKeepsTheLastList)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = RecordingSpooler::install("One");
    ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    spooler->addPrinter("Two");
    spooler->failAt(RecordingSpooler::Step::List);
    EXPECT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 0);
    EXPECT_EQ(Listed(), (std::vector<std::string>{":One:"}));
    EXPECT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    EXPECT_EQ(Listed(), (std::vector<std::string>{":One:", ":Two:"}));
}

TEST(DeviceList, WithoutAnyListTheCountIsNegative)
{
    // A fresh process: no update has been made there yet, and the first one fails.
    EXPECT_EQ(qelta::test::runInChild([] {
        qelta::test::ScopedStateRoot root;
        const auto spooler = RecordingSpooler::install("One");
        spooler->failAt(RecordingSpooler::Step::List, 1);
        spooler->failAt(RecordingSpooler::Step::List, 2);
        std::string entry;
        const bool ok = DEVICELISTLIB_GetNumberOfListedPrinter() < 0 && DEVICELISTLIB_GetPrinterList(0, entry) == 0
                        && DEVICELISTLIB_GetNumberOfListedPrinter() == 1; // the third asking lists
        return ok ? 0 : 1;
    }),
              0);
}

} // namespace
