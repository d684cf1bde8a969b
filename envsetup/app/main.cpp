// envsetup: the driver environment sheet (the driver header and the printer faxes go to).
#include "common/data_folders.h"
#include "uiwidgets/foreign_folders.h"
#include "envsetup/app/envsetup_sheet.h"
#include "uiwidgets/desktop_entry.h"
#include "uiwidgets/qt_prompter.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const auto foreign = MendUserFolders();
    QApplication application(argc, argv);
    NameDesktopEntry("envsetup");
    CQtPrompter prompter;
    WarnOfForeignFolders(foreign, prompter);
    CQtEnvsetupRunner runner(prompter);
    return RunEnvsetup(runner);
}
