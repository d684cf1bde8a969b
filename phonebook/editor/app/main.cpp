// bookmanager [book file]: the phone book editor.
#include "common/data_folders.h"
#include "uiwidgets/foreign_folders.h"
#include "phonebook/editor/app/main_frame.h"
#include "phonebook/editor/book_dialogs.h"
#include "uiwidgets/desktop_entry.h"
#include "uiwidgets/qt_prompter.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const auto foreign = MendUserFolders();
    QApplication application(argc, argv);
    NameDesktopEntry("bookmanager");
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1))
        args.push_back(arg.toStdString());
    CQtPrompter prompter;
    WarnOfForeignFolders(foreign, prompter);
    CBookpickerDialogs dialogs;
    CQtEditorHost host(prompter, dialogs);
    return RunBookManager(args, prompter, dialogs, host);
}
