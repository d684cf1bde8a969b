// Saves a picture of every page of the wizard sheet into the build folder's "screenshots": the
// cover page with a cover chosen, the preview of a three-page job, and the ready page.
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/files.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sendwizard/app/main_sheet.h"
#include "sendwizard/app/pages.h"
#include "sendwizard/folder_info.h"
#include "uiwidgets/progress_runner.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/tests/wizard_test_support.h"
#include "sendwizard/app/wizard_dialogs.h"
#include "sendwizard/wizard_strings.h"
#include "uiwidgets/worker_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct SilentPrompter : IPrompter {
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        ADD_FAILURE() << "unexpected message box: " << text;
        return IDOK;
    }
};

void Save(CPSMainui& wizard, const std::string& folder, const std::string& name)
{
    QCoreApplication::processEvents();
    const std::string file = folder + "/sendwizard-" + name + ".png";
    platform::removeFile(file);
    EXPECT_TRUE(wizard.grab().save(QString::fromStdString(file))) << file;
    EXPECT_TRUE(platform::pathExists(file)) << file;
}

// The file name of a page: its title as the user reads it ("select-destination").
std::string PageFileName(const CPSMainui& wizard, int id)
{
    std::string name;
    for (const QChar c : wizard.page(id)->title().toLower())
        name += c.isLetterOrNumber() ? static_cast<char>(c.unicode()) : '-';
    return name;
}

void Save(CPSMainui& wizard, const std::string& folder, int id) { Save(wizard, folder, PageFileName(wizard, id)); }

TEST(Screenshots, EveryPageOfTheSheet)
{
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    QApplication::setCursorFlashTime(0);
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));

    wizard_test::JobEnvironment job;
    const std::string covers = job.root.path() + "/covers/";
    for (const char* name : {"Sales.TQC", "Support.TQC"})
        qelta::test::writeTextFile(covers + name, "[TQLCVR]\r\nFrames=2\r\nLang=0\r\n"
                                                  "Frame.1=NAME,100,100,1200,160,DejaVu Sans,120,700,0,0,0,0,\r\n"
                                                  "Frame.2=FAX Number,100,400,1200,160,DejaVu Sans,120,400,0,0,0,0,\r\n");
    CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "CvrFile", covers);

    SilentPrompter prompter;
    wizard_test::RecordingProgress progress;
    CPSMainuiLogic logic;
    ASSERT_TRUE(logic.SetCommandLineValues(job.work, "A4", "MMR", "Fax", "Report", prompter));
    logic.m_nModelType = 0;
    logic.m_strPortName = "socket://127.0.0.1";
    logic.AddDestination({"0123 456 789", "Ann Example", kDestinationFax, 0, "", "", 0});
    logic.AddDestination({"0987 654 321", "Bob Example", kDestinationFax, 0, "", "", 0});
    {
        CPSMainui wizard(logic, prompter, {}, nullptr, &progress);
        wizard.resize(720, 540);
        wizard.show();
        wizard.findChild<QCheckBox*>("id1117")->setChecked(false);
        for (int id = wizard.startId(); id != -1; id = wizard.page(id)->nextId()) {
            while (wizard.currentId() != id)
                wizard.next();
            if (auto* cover = qobject_cast<CPPSelectCover*>(wizard.currentPage())) {
                cover->findChild<QAbstractButton*>("id1034")->click();
                cover->findChild<QPlainTextEdit*>("id1033")->setPlainText("Quarterly figures, as promised.");
            }
            Save(wizard, folder, id);
        }
        ASSERT_EQ(wizard.currentId(), IDD_PREVIEW);
        // The ready page lies in the sheet's order but no button leads there.
        wizard.setStartId(IDD_READY_TO_SEND);
        wizard.restart();
        Save(wizard, folder, IDD_READY_TO_SEND);
    }
    logic.DropDocuments();
}

TEST(Screenshots, TheSetJobParameterPageWithDocumentFiling)
{
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));
    qelta::test::ScopedStateRoot root;
    CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteDword(kProductSubkey, "EnablePCHeader", 1);
    SilentPrompter prompter;
    CPSMainuiLogic logic;
    logic.m_nModelType = 3;
    logic.m_nXResolution = 200;
    logic.m_strCompression = "MMR";
    logic.m_strPortName = "socket://127.0.0.1";
    logic.m_strText = "Quarterly figures";
    logic.AddDestination({"0123 456 789", "Ann Example", kDestinationFax, 0, "", "", 0});
    ASSERT_TRUE(WriteFolderInfo(logic.GetJobFolder() + "folder.info", logic.m_strPortName,
                                {{"Main Folder", 0, 0, 0, 0, kFolderMain}, {"Sales", 40960, 0, 0, 0, kFolderListed},
                                 {"Board", 1024, 0, 0, 1, kFolderListed}}));
    CPSMainui wizard(logic, prompter);
    wizard.resize(720, 540);
    wizard.show();
    wizard.findChild<QCheckBox*>("id1117")->setChecked(false);
    while (wizard.currentId() != IDD_SET_PARAMS)
        wizard.next();
    for (const char* box : {"id1070", "id1084", "id1074"})
        wizard.currentPage()->findChild<QAbstractButton*>(box)->click();
    Save(wizard, folder, "set-job-parameter-filing");
}

TEST(Screenshots, TheWizardDialogs)
{
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));
    SilentPrompter prompter;
    CDPrinterName printer(prompter);
    // The About box as the program shows it: its texts from the install tag file beside the
    // program, as the start-up reads them.
    CPSMainuiLogic sheet;
    sheet.ReadTagInfo(platform::parentPath(platform::programPath()));
    CDAbout about(AboutTextsOf(sheet));
    for (const auto& [dialog, name] : {std::pair<QDialog*, const char*>{&printer, "printer-name"}, {&about, "about"}}) {
        dialog->show();
        QCoreApplication::processEvents();
        const std::string file = folder + "/sendwizard-" + name + ".png";
        platform::removeFile(file);
        EXPECT_TRUE(dialog->grab().save(QString::fromStdString(file))) << file;
    }

    // The progress display of the send step, half-way: saved while the worker waits.
    qelta::test::ScopedStateRoot root;
    const std::string file = folder + "/sendwizard-progress.png";
    platform::removeFile(file);
    std::atomic<bool> saved{false};
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CDProgress*>(QApplication::activeModalWidget());
        if (!dialog || dialog->Position() != 49)
            return;
        timer.stop();
        EXPECT_TRUE(dialog->grab().save(QString::fromStdString(file))) << file;
        saved = true;
    });
    timer.start(10);
    CQtProgressRunner runner;
    runner.Run(WizardString(IDS_SENDING), [&](IProgressSink& sink) {
        sink.Progress(49);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!saved && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 1;
    });
    EXPECT_TRUE(saved) << file;
}

} // namespace
