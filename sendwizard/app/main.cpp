// sendwizard [-S<paper>] [-C<compression>] [-P<printer>] [-D<text>] <work file>
#include "common/data_folders.h"
#include "sendwizard/app/main_sheet.h"
#include "uiwidgets/foreign_folders.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const auto foreign = MendUserFolders();
    QApplication application(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    CQtPrompter prompter;
    WarnOfForeignFolders(foreign, prompter);
    CQtSheetRunner runner(prompter);
    return RunSendWizard(args, prompter, runner);
}
