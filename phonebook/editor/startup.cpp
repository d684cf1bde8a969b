#include "phonebook/editor/startup.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "phonebook/dialogs/phone_book_lock.h"
#include "phonebook/editor/book_dialogs.h"
#include "phonebook/editor/record_list_logic.h"
#include "platform/endpoint.h"
#include "platform/files.h"

namespace {

// The lock message: a phone book dialog of another program holds the book.
int Locked(IPrompter& prompter)
{
    prompter.MessageBox(LoadResourceString(IDS_BOOK_LOCKED), LoadResourceString(IDS_EDITOR_TITLE), MB_ICONWARNING);
    return kExitRefused;
}

} // namespace

bool BringEditorToFront()
{
    const platform::EndpointHandle editor = platform::findEndpointByClass(kPhoneBookEditorClass);
    return editor != 0 && platform::postMessage(editor, platform::registerMessage(kEditorFrontMessage), 0, 0);
}

int RunBookManager(const std::vector<std::string>& args, IPrompter& prompter, IBookDialogs& dialogs,
                   IEditorHost& host)
{
    CSDLocale locale("", kEditorModuleCode);
    if (!locale.StartWithLocale(CSDLocale::PickStartLocale()))
        return kExitRefused;
    struct ResetLocale {
        ~ResetLocale() { SetCurrentResourceLocale(nullptr); }
    } reset;

    if (platform::findEndpointByClass(kPhoneBookDialogsClass) != 0)
        return Locked(prompter);
    if (BringEditorToFront())
        return kExitOk;

    std::string path;
    if (!args.empty()) {
        path = args.front();
        if (!platform::pathExists(path))
            return kExitRefused;
    } else {
        std::string name;
        if (dialogs.SelectPhoneBook(nullptr, path, name, 1, 1) != 1)
            return kExitRefused;
    }

    host.CreateFrame(path);
    // Taken only now that the frame exists: the book choice above would otherwise have found the
    // editor itself busy. Whoever came in between wins.
    bool busy = false;
    const auto endpoint = platform::Endpoint::createUnlessBusy(kPhoneBookEditorClass, kEditorEndpointTitle,
                                                               {kPhoneBookDialogsClass, kPhoneBookEditorClass}, &busy);
    if (!endpoint) {
        if (platform::findEndpointByClass(kPhoneBookDialogsClass) != 0)
            return Locked(prompter);
        BringEditorToFront();
        return busy ? kExitOk : kExitRefused;
    }
    return host.Run(*endpoint);
}
