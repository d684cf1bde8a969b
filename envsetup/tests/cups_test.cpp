// The Printer Setting page over a private CUPS server: what Apply stores is what the send wizard,
// in a process of its own, sends to.
#include "devicelist/devicelist.h"
#include "envsetup/envsetup_logic.h"
#include "envsetup/tests/envsetup_test_support.h"
#include "platform/process.h"
#include "platform/spooler.h"
#include "platform/tests/support/cups_server.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

TEST(EnvsetupCups, TheWizardSendsToThePrinterApplyStored)
{
    qelta::test::CPrivateCupsServer server;
    std::string why;
    if (!server.Start(why))
        return qelta::test::SkipOrFailWithoutCups(why);
    ASSERT_TRUE(server.AddQueue("qelta_fax", "Qelta MX-5000", "Room 3", why)) << why;
    // This process and the probe talk to the private server only.
    ::setenv("CUPS_SERVER", server.Address().c_str(), 1);
    platform::setSpooler(nullptr);
    qelta::test::ScopedStateRoot root;

    envsetup_test::NoQuestions prompter;
    CPPPrinterLogic page(prompter);
    ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    page.OnInitDialog();
    const auto row = std::find_if(page.Rows().begin(), page.Rows().end(),
                                  [](const PrinterRow& r) { return r.strName == "qelta_fax"; });
    ASSERT_NE(row, page.Rows().end());
    EXPECT_EQ(row->strModel, "Qelta MX-5000");
    EXPECT_EQ(row->strLocation, "Room 3");
    page.OnUseUserPrinter(true);
    page.OnSelect(static_cast<int>(row - page.Rows().begin()));
    page.OnApply();

    const std::string out = root.path() + "/chosen.txt";
    ASSERT_EQ(platform::runProgram(PRINTER_PROBE, {"Command Line Printer", out}), 0);
    EXPECT_EQ(qelta::test::readTextFile(out), "qelta_fax");

    // Once the queue is gone the wizard says so and keeps its command line's printer.
    ASSERT_TRUE(server.RemoveQueue("qelta_fax"));
    ASSERT_EQ(platform::runProgram(PRINTER_PROBE, {"Command Line Printer", out}), 0);
    const std::string told = qelta::test::readTextFile(out);
    EXPECT_EQ(told.rfind("message: ", 0), 0u) << told;
    EXPECT_TRUE(told.ends_with("\nCommand Line Printer")) << told;
}

} // namespace
