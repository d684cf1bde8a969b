// covereditor [/e | <cover sheet file>]
#include "common/data_folders.h"
#include "uiwidgets/foreign_folders.h"
#include "cover/editor/app/main_frame.h"
#include "uiwidgets/desktop_entry.h"
#include "uiwidgets/qt_prompter.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const auto foreign = MendUserFolders();
    QApplication application(argc, argv);
    NameDesktopEntry("covereditor");
    const std::vector<std::string> args(argv + 1, argv + argc);
    CQtPrompter prompter;
    WarnOfForeignFolders(foreign, prompter);
    cvr::CQtScreenMetrics metrics;
    return cvr::RunCoverEditor(args, prompter, metrics);
}
