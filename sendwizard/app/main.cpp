// sendwizard [-S<paper>] [-C<compression>] [-P<printer>] [-D<text>] <work file>
#include "sendwizard/app/main_sheet.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    CQtPrompter prompter;
    CQtSheetRunner runner(prompter);
    return RunSendWizard(args, prompter, runner);
}
