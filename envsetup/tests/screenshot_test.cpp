// Saves both pages of the sheet, with sample settings and printers, to screenshots/ in the build
// folder ("envsetup-header-setting.png", "envsetup-printer-setting.png").
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "devicelist/devicelist.h"
#include "envsetup/app/envsetup_sheet.h"
#include "envsetup/tests/envsetup_test_support.h"
#include "platform/files.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"

#include <QCoreApplication>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

TEST(EnvsetupScreenshots, BothPagesAreSaved)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Qelta Fax");
    spooler->setMakeAndModel("Qelta Fax", "Qelta MX-5000 Fax");
    spooler->setPlace("Qelta Fax", "Floor 3: east wing");
    spooler->addPrinter("Lab Printer");
    spooler->setMakeAndModel("Lab Printer", "Generic PCL Laser");
    spooler->setPlace("Lab Printer", "Room 10");
    ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    DEVICELISTLIB_SetIsUseUserDefinedPrinter(1);
    DEVICELISTLIB_SetUserDefinedPrinter("Qelta Fax");
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    user.WriteString(kProductSubkey, kHeaderUserNameValue, "Ann Example");
    user.WriteString(kProductSubkey, kHeaderTelNumberValue, "+1 555 0100");

    envsetup_test::NoQuestions prompter;
    CEnvsetupDlg sheet(prompter);
    sheet.show();
    ASSERT_TRUE(platform::createDirectories(QELTA_SCREENSHOT_DIR));
    auto* tabs = sheet.findChild<QTabWidget*>();
    for (const auto& [index, name] : {std::pair{0, "header-setting"}, std::pair{1, "printer-setting"}}) {
        tabs->setCurrentIndex(index);
        QCoreApplication::processEvents();
        const std::string path = std::string(QELTA_SCREENSHOT_DIR) + "/envsetup-" + name + ".png";
        EXPECT_TRUE(sheet.grab().save(QString::fromStdString(path))) << path;
        EXPECT_TRUE(platform::pathExists(path)) << path;
    }
}

} // namespace
