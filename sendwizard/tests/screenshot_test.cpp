// Saves a picture of every page of the wizard sheet into the build folder's "screenshots".
#include "common/prompter.h"
#include "platform/files.h"
#include "sendwizard/app/main_sheet.h"
#include "sendwizard/app/wizard_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <gtest/gtest.h>


namespace {

struct SilentPrompter : IPrompter {
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        ADD_FAILURE() << "unexpected message box: " << text;
        return IDOK;
    }
};

TEST(Screenshots, EveryPageOfTheSheet)
{
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    QApplication::setCursorFlashTime(0);
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));
    CPSMainuiLogic logic;
    logic.m_nModelType = 3; // every control of the destination page shows
    logic.AddDestination(CJobDestination("0123456789", "Sales", kDestinationFax, 1, "12", "34", 0));
    logic.AddDestination(CJobDestination("fax@example.com", "Office", kDestinationIFax, 0, "", "", 1));
    SilentPrompter prompter;
    CPSMainui wizard(logic, prompter);
    wizard.resize(640, 480);
    wizard.show();
    wizard.findChild<QCheckBox*>("id1117")->setChecked(false);
    for (int id = wizard.startId(); id != -1; id = wizard.page(id)->nextId()) {
        while (wizard.currentId() != id)
            wizard.next();
        QCoreApplication::processEvents();
        const std::string file = folder + "/sendwizard-" + std::to_string(id) + ".png";
        platform::removeFile(file);
        EXPECT_TRUE(wizard.grab().save(QString::fromStdString(file))) << file;
        EXPECT_TRUE(platform::pathExists(file)) << file;
    }
}

TEST(Screenshots, TheWizardDialogs)
{
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));
    SilentPrompter prompter;
    CDPrinterName printer(prompter);
    CDAbout about({"Version 2.1", "Build 0412"});
    for (const auto& [dialog, name] : {std::pair<QDialog*, const char*>{&printer, "printername"}, {&about, "about"}}) {
        dialog->show();
        QCoreApplication::processEvents();
        const std::string file = folder + "/sendwizard-" + name + ".png";
        platform::removeFile(file);
        EXPECT_TRUE(dialog->grab().save(QString::fromStdString(file))) << file;
    }
}

} // namespace

