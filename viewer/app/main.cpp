// pageviewer [/T<title>] [/P] [/S] [<file>]
#include "common/data_folders.h"
#include "uiwidgets/foreign_folders.h"
#include "viewer/app/main_frame.h"
#include "uiwidgets/desktop_entry.h"
#include "uiwidgets/qt_prompter.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const auto foreign = MendUserFolders();
    QApplication application(argc, argv);
    NameDesktopEntry("pageviewer");
    const std::vector<std::string> args(argv + 1, argv + argc);
    CQtPrompter prompter;
    WarnOfForeignFolders(foreign, prompter);
    return viewer::RunPageViewer(args, prompter);
}
