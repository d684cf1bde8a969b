// sendwizard [-S<paper>] [-C<compression>] [-P<printer>] [-D<text>] <work file>
#include "common/data_folders.h"
#include "sendwizard/app/main_sheet.h"

#include <QApplication>

int main(int argc, char** argv)
{
    MendUserFolders();
    QApplication application(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    CQtPrompter prompter;
    CQtSheetRunner runner(prompter);
    return RunSendWizard(args, prompter, runner);
}
