// envsetup: the driver environment sheet (the driver header and the printer faxes go to).
#include "common/data_folders.h"
#include "envsetup/app/envsetup_sheet.h"
#include "uiwidgets/qt_prompter.h"

#include <QApplication>

int main(int argc, char** argv)
{
    MendUserFolders();
    QApplication application(argc, argv);
    CQtPrompter prompter;
    CQtEnvsetupRunner runner(prompter);
    return RunEnvsetup(runner);
}
