// Saves pictures of the editor into the build folder's "screenshots": the frame with the sample
// book loaded, Rename Folder and About (no DATA.TAG: an empty notice line); and checks that Tab
// goes through each as it is laid out.
#include "phonebook/editor/app/editor_dialogs.h"
#include "phonebook/editor/app/main_frame.h"
#include "phonebook/editor/tests/support/fake_book.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/tests/support/layout_order.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

void Save(QWidget& widget, const std::string& name)
{
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));
    widget.show();
    QCoreApplication::processEvents();
    const std::string file = folder + "/bookmanager-" + name + ".png";
    platform::removeFile(file);
    EXPECT_TRUE(widget.grab().save(QString::fromStdString(file))) << file;
    EXPECT_TRUE(platform::pathExists(file)) << file;
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(&widget)) << name;
}

} // namespace

TEST(Screenshots, FrameAndDialogs)
{
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    QApplication::setCursorFlashTime(0);
    qelta::test::ScopedStateRoot root;
    ASSERT_TRUE(RegisterServerLibraries(std::array{"booktool.dll"}).empty());
    std::string error;
    ASSERT_TRUE(WriteSamplePhoneBook(error)) << error;
    qelta::test::QueuedPrompter prompter;
    qelta::test::ScriptedBookDialogs dialogs;
    CMainFrame frame(prompter, dialogs, SamplePhoneBookPath());
    frame.Document().SetLoadPause(std::chrono::milliseconds(0));
    frame.show();
    frame.Document().ReloadAll();
    frame.ListView()->setCurrentIndex(frame.ListView()->model()->index(0, 0));
    Save(frame, "frame");

    CDFolderNameLogic rename(prompter, "Customers");
    CDFolderName renameDialog(rename, &frame);
    Save(renameDialog, "rename-folder");

    // No DATA.TAG beside the test: the notice line is empty.
    CAboutDlg about(ReadAboutNotice(root.path()), &frame);
    EXPECT_EQ(about.findChild<QLabel*>(ControlName(IDC_ABOUT_NOTICE))->text(), QString());
    Save(about, "about");
}
