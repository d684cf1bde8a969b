// The PB2API exports: each checks the thread, opens its book by name, runs its dialog modally and
// turns the outcome into the documented result. No exception leaves an export.
#include "phonebook/dialogs/pb2api.h"
#include "phonebook/dialogs/selection.h"

#include "common/data_folders.h"
#include "phonebook/dialogs/app/book_dialogs.h"
#include "phonebook/dialogs/app/bookpicker_app.h"
#include "phonebook/dialogs/app/dest_dialogs.h"
#include "phonebook/dialogs/phone_book_lock.h"
#include "platform/com.h"

#include <QWidget>

namespace {

QWidget* Owner(void* owner) { return static_cast<QWidget*>(owner); }

// Runs body on the application's thread with the library's language; -1 anywhere else.
template <typename F>
int DialogExport(F&& body) noexcept
{
    return guardedExport(-1, [&]() -> int {
        if (!OnApplicationThread())
            return -1;
        StartBookpicker();
        return body();
    });
}

// Opens a book by name; false when it is no book name or cannot be opened.
bool OpenBook(CPickerPhoneBook& book, const char* bookName)
{
    if (!bookName)
        return false;
    const std::string path = CPickerPhoneBook::GetPhoneBookPath(bookName);
    return !path.empty() && book.Initiate(path, 0) == 1;
}

// The phone book lock for a dialog: null (after the lock message) when another program holds it.
std::unique_ptr<CPhoneBookLock> TakeLock(bool checkBusy, int captionId)
{
    auto lock = std::make_unique<CPhoneBookLock>(checkBusy);
    if (!lock->Busy())
        return lock;
    BookpickerPrompter().MessageBox(BookpickerString(IDS_PHONE_BOOK_LOCKED), BookpickerString(captionId), MB_ICONWARNING);
    return nullptr;
}

void FillAddressOutputs(const AddressValues& v, char* name, char* number, char* subAddress, char* passCode, int* isIfax,
                        int* withSubAddress, int size)
{
    const bool ifax = v.kind == PB_RECORD_IFAX;
    CopyBounded(name, size, v.name);
    CopyBounded(number, size, ifax ? v.mailAddress : v.faxNumber);
    CopyBounded(subAddress, size, v.subAddress);
    CopyBounded(passCode, size, v.passCode);
    if (isIfax)
        *isIfax = ifax ? 1 : 0;
    if (withSubAddress)
        *withSubAddress = v.useFCode ? 1 : 0;
}

// Shows the address sheet over logic; 1 when confirmed, else the sheet's result.
int RunAddressSheet(CAddressPageLogic& logic, void* owner, int captionId)
{
    CPSAddress sheet(logic, BookpickerText(captionId), Owner(owner));
    const int result = sheet.exec() == QDialog::Accepted ? 1 : 2;
    return logic.Confirmed() ? 1 : result;
}

int RunSelectDest(void* owner, const char* bookName, PB2APISelection** result, CSelectDestLogic::Mode mode,
                  int deviceClass)
{
    CPrompterNotifier notifier(BookpickerPrompter());
    CDSelectDest dialog(notifier, mode, deviceClass, bookName ? bookName : "", Owner(owner));
    const int answer = bookName ? dialog.OpenPhoneBook() : dialog.RunWithoutBook();
    if (answer != 1 || !bookName)
        return answer;
    PB2APISelection* selection = NewSelection(dialog.ResultIds(), dialog.Changed());
    if (result)
        *result = selection;
    else
        FreeSelection(selection);
    return 1;
}

} // namespace

extern "C" {

int PB2APIGetPhoneBookDirectory(char* buffer, int size)
{
    return guardedExport(-1, [&] {
        CopyBounded(buffer, size, GetPhoneBookDirectory());
        return 1;
    });
}

int PB2APICreateNewAddress(void* owner, int deviceClass, char* name, char* number, char* subAddress, char* passCode,
                           int* isIfax, int* withSubAddress, int size)
{
    return DialogExport([&] {
        CPrompterNotifier notifier(BookpickerPrompter());
        CAddressPageLogic logic(notifier, BookpickerString(IDS_CREATE_ADDRESS), deviceClass, false, owner);
        const int result = RunAddressSheet(logic, owner, IDS_CREATE_ADDRESS);
        if (result == 1)
            FillAddressOutputs(logic.Accepted(), name, number, subAddress, passCode, isIfax, withSubAddress, size);
        return result;
    });
}

int PB2APICreateNewAddressWithPhoneBook(const char* bookName, int folderId, void* owner, int deviceClass, char* name,
                                        char* number, char* subAddress, char* passCode, int* isIfax,
                                        int* withSubAddress, int size, int* newId)
{
    return DialogExport([&] {
        CPickerPhoneBook book;
        if (!OpenBook(book, bookName))
            return 0;
        CPrompterNotifier notifier(BookpickerPrompter());
        CAddressPageLogic logic(notifier, BookpickerString(IDS_CREATE_ADDRESS), deviceClass, false, owner);
        const int result = RunAddressSheet(logic, owner, IDS_CREATE_ADDRESS);
        if (result != 1)
            return result;
        int32_t id = 0;
        if (StoreAddressRecord(book, logic.Accepted(), folderId, id, 0) != 1)
            return -1;
        if (newId)
            *newId = id;
        FillAddressOutputs(logic.Accepted(), name, number, subAddress, passCode, isIfax, withSubAddress, size);
        return 1;
    });
}

int PB2APISelectDestination(void* owner)
{
    return DialogExport([&] { return RunSelectDest(owner, nullptr, nullptr, CSelectDestLogic::Destinations, 99); });
}

int PB2APISelectDestinationWithPhoneBook(void* owner, const char* bookName, PB2APISelection** result, int deviceClass)
{
    return DialogExport([&] {
        const auto lock = TakeLock(true, IDS_APP_TITLE);
        if (!lock)
            return 0;
        if (!bookName)
            return -1;
        return RunSelectDest(owner, bookName, result, CSelectDestLogic::Destinations, deviceClass);
    });
}

int PB2APISelectMember(void* owner)
{
    return DialogExport([&] { return RunSelectDest(owner, nullptr, nullptr, CSelectDestLogic::Members, 99); });
}

int PB2APISelectMemberWithPhoneBook(void* owner, const char* bookName, PB2APISelection** result)
{
    return DialogExport([&] {
        if (!bookName)
            return -1;
        return RunSelectDest(owner, bookName, result, CSelectDestLogic::Members, kDeviceClassUnspecified);
    });
}

int PB2APICreateNewFolder(void* owner, char* name, int size)
{
    return DialogExport([&] {
        CPrompterNotifier notifier(BookpickerPrompter());
        CDFolderName dialog(notifier, Owner(owner));
        const int result = dialog.RunWithoutBook();
        if (result == 1)
            CopyBounded(name, size, dialog.FolderName(), 2);
        return result;
    });
}

int PB2APICreateNewFolderWithPhoneBook(const char* bookName, void* owner, char* name, int size, int* newId)
{
    return DialogExport([&] {
        if (!bookName)
            return -1;
        CPrompterNotifier notifier(BookpickerPrompter());
        CDFolderName dialog(notifier, Owner(owner));
        int32_t id = 0;
        const int result = dialog.RunWithBook(bookName, id);
        if (result == 1) {
            if (newId)
                *newId = id;
            CopyBounded(name, size, dialog.FolderName(), 2);
        }
        return result;
    });
}

int PB2APICreateNewGroup(void* owner, char* name, int size, int deviceClass)
{
    return DialogExport([&] {
        CPrompterNotifier notifier(BookpickerPrompter());
        CGroupPageLogic logic(notifier, BookpickerString(IDS_CREATE_GROUP), false, owner);
        CPSGroup sheet(logic, nullptr, {}, kRootFolderId, deviceClass, Owner(owner));
        const int result = sheet.exec() == QDialog::Accepted ? 1 : 2;
        if (!logic.Confirmed())
            return result;
        CopyBounded(name, size, logic.AcceptedName());
        return 1;
    });
}

int PB2APICreateNewGroupWithPhoneBook(const char* bookName, int folderId, void* owner, int deviceClass, char* name,
                                      int size, int* newId)
{
    return DialogExport([&] {
        CPickerPhoneBook book;
        if (!OpenBook(book, bookName))
            return 0;
        CPrompterNotifier notifier(BookpickerPrompter());
        CGroupPageLogic logic(notifier, BookpickerString(IDS_CREATE_GROUP), false, owner);
        CPSGroup sheet(logic, &book, bookName, folderId, deviceClass, Owner(owner));
        const int result = sheet.exec() == QDialog::Accepted ? 1 : 2;
        if (!logic.Confirmed())
            return result;
        book.Initiate(CPickerPhoneBook::GetPhoneBookPath(bookName), 1); // members may have been added meanwhile
        int32_t id = 0;
        if (StoreGroupRecord(book, logic.AcceptedName(), logic.AcceptedFavorite(), logic.MemberIds(), folderId, id, 0) != 1)
            return -1;
        if (newId)
            *newId = id;
        CopyBounded(name, size, logic.AcceptedName());
        return 1;
    });
}

int PB2APISelectPhoneBook(void* owner, char* path, char* name, int size, int checkBusy, int allowDelete)
{
    return DialogExport([&] {
        const auto lock = TakeLock(checkBusy == 1, IDS_SELECT_PHONE_BOOK);
        if (!lock)
            return 0;
        CPrompterNotifier notifier(BookpickerPrompter());
        CDSelectPhoneBook dialog(notifier, allowDelete != 0, Owner(owner));
        if (dialog.exec() != QDialog::Accepted)
            return 2;
        CopyBounded(path, size, dialog.BookPath());
        CopyBounded(name, size, dialog.BookName());
        return 1;
    });
}

int PB2APIShowAddressWithPhoneBook(void* owner, int deviceClass, const char* bookName, int recordId, int readOnly,
                                   int* changed)
{
    return DialogExport([&] {
        if (changed)
            *changed = 0;
        CPickerPhoneBook book;
        if (!OpenBook(book, bookName))
            return -1;
        CPrompterNotifier notifier(BookpickerPrompter());
        CAddressPageLogic logic(notifier, BookpickerString(IDS_CREATE_ADDRESS), deviceClass, readOnly == 1, owner);
        logic.Load(book, recordId); // a partly readable record shows the fields read
        const int result = RunAddressSheet(logic, owner, readOnly == 1 ? IDS_ADDRESS : IDS_CREATE_ADDRESS);
        if (!logic.Changed())
            return result;
        int32_t type = 0, parent = 0;
        std::string stored;
        book.Initiate(CPickerPhoneBook::GetPhoneBookPath(bookName), 1);
        int32_t id = recordId;
        if (!book.GetRecordInfo(recordId, type, stored, parent) ||
            StoreAddressRecord(book, logic.Accepted(), parent, id, 1) != 1)
            return -1;
        if (changed)
            *changed = 1;
        return result;
    });
}

int PB2APIShowGroupWithPhoneBook(void* owner, int deviceClass, const char* bookName, int recordId, int readOnly,
                                 int* changed)
{
    return DialogExport([&] {
        if (changed)
            *changed = 0;
        CPickerPhoneBook book;
        if (!OpenBook(book, bookName))
            return 0;
        CPrompterNotifier notifier(BookpickerPrompter());
        CGroupPageLogic logic(notifier, BookpickerString(IDS_CREATE_GROUP), readOnly == 1, owner);
        if (!logic.Load(book, recordId))
            return -1;
        int32_t type = 0, parent = 0;
        std::string stored;
        book.GetRecordInfo(recordId, type, stored, parent);
        CPSGroup sheet(logic, &book, bookName, parent, deviceClass, Owner(owner));
        const int result = sheet.exec() == QDialog::Accepted ? 1 : 2;
        if (changed && sheet.BookChanged())
            *changed = 1;
        if (!logic.Changed())
            return logic.Confirmed() ? 1 : result;
        book.Initiate(CPickerPhoneBook::GetPhoneBookPath(bookName), 1);
        int32_t id = recordId;
        if (StoreGroupRecord(book, logic.AcceptedName(), logic.AcceptedFavorite(), logic.MemberIds(), parent, id, 1) != 1)
            return -1;
        if (changed)
            *changed = 1;
        return logic.Confirmed() ? 1 : result;
    });
}

void PB2APIFree(PB2APISelection* selection)
{
    guardedExport(0, [&] {
        FreeSelection(selection);
        return 0;
    });
}

} // extern "C"
