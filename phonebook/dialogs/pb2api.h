/* The phone book dialogs' exports (library bookpicker). Each runs a modal dialog on the calling
 * program's QApplication thread; owner is the calling window (a QWidget*, null for none). Texts are
 * UTF-8; output buffers get a bounded copy that always ends with a zero byte and never splits a
 * character. Results: 1 OK (or done), 2 Cancel, 0 refused or the book not opened, -1 the dialog did
 * not run or an operation failed (also: no QApplication, or called from another thread). */
#ifndef QELTA_PHONEBOOK_DIALOGS_PB2API_H
#define QELTA_PHONEBOOK_DIALOGS_PB2API_H

#ifdef __cplusplus
extern "C" {
#endif

/* A selection handed back by the destination and member exports: allocated by the library, freed
 * only with PB2APIFree. The fields keep this order; nothing may rely on the record's size. */
typedef struct PB2APISelection {
    int flag;  /* 1 when the phone book was changed while the dialog was open */
    int count; /* number of ids */
    int* ids;  /* count record ids, groups already replaced by their members */
} PB2APISelection;

#define PB2API_EXPORT __attribute__((visibility("default")))

/* Copies the phone book directory into buffer; 1. */
PB2API_EXPORT int PB2APIGetPhoneBookDirectory(char* buffer, int size);
/* The address sheet, empty; nothing stored. 1 and the outputs when confirmed. */
PB2API_EXPORT int PB2APICreateNewAddress(void* owner, int deviceClass, char* name, char* number, char* subAddress,
                                         char* passCode, int* isIfax, int* withSubAddress, int size);
/* The address sheet, stored in the folder when confirmed (*newId). 0 book not opened, -1 not stored. */
PB2API_EXPORT int PB2APICreateNewAddressWithPhoneBook(const char* bookName, int folderId, void* owner, int deviceClass,
                                                      char* name, char* number, char* subAddress, char* passCode,
                                                      int* isIfax, int* withSubAddress, int size, int* newId);
/* Select Destination without a book; no ids. */
PB2API_EXPORT int PB2APISelectDestination(void* owner);
/* Select Destination over a book under the phone book lock; on OK *result (free with PB2APIFree) and 1. */
PB2API_EXPORT int PB2APISelectDestinationWithPhoneBook(void* owner, const char* bookName, PB2APISelection** result,
                                                       int deviceClass);
/* Select Member without a book. */
PB2API_EXPORT int PB2APISelectMember(void* owner);
/* Select Member over a book (device class 99, no lock); on OK *result and 1. */
PB2API_EXPORT int PB2APISelectMemberWithPhoneBook(void* owner, const char* bookName, PB2APISelection** result);
/* The folder name dialog without a book; on OK the name (at most size - 2 bytes) and 1. */
PB2API_EXPORT int PB2APICreateNewFolder(void* owner, char* name, int size);
/* The folder name dialog; on OK creates the folder (*newId) and 1; -1 book not opened or not created. */
PB2API_EXPORT int PB2APICreateNewFolderWithPhoneBook(const char* bookName, void* owner, char* name, int size,
                                                     int* newId);
/* The group sheet, empty; nothing stored. 1 and the name when confirmed. */
PB2API_EXPORT int PB2APICreateNewGroup(void* owner, char* name, int size, int deviceClass);
/* The group sheet, stored in the folder when confirmed (*newId). 0 book not opened, -1 not stored. */
PB2API_EXPORT int PB2APICreateNewGroupWithPhoneBook(const char* bookName, int folderId, void* owner, int deviceClass,
                                                    char* name, int size, int* newId);
/* Select Phone Book (under the lock; checkBusy 1 refuses while another program holds it, 0 after
 * the lock message). On OK the book's path and name and 1. */
PB2API_EXPORT int PB2APISelectPhoneBook(void* owner, char* path, char* name, int size, int checkBusy,
                                        int allowDelete);
/* A stored address; *changed 1 when a change was stored. 1 confirmed, -1 not stored again. */
PB2API_EXPORT int PB2APIShowAddressWithPhoneBook(void* owner, int deviceClass, const char* bookName, int recordId,
                                                 int readOnly, int* changed);
/* A stored group; as above, 0 when the book cannot be opened. */
PB2API_EXPORT int PB2APIShowGroupWithPhoneBook(void* owner, int deviceClass, const char* bookName, int recordId,
                                               int readOnly, int* changed);
/* Frees a selection: the ids, then the record; null is ignored. */
PB2API_EXPORT void PB2APIFree(PB2APISelection* selection);

#ifdef __cplusplus
}
#endif

#endif
