#include "phonebook/dialogs/phone_book_lock.h"

CPhoneBookLock::CPhoneBookLock(bool checkBusy)
{
    if (checkBusy)
        // A lock that cannot be set up for another reason (an unusable runtime folder) does not
        // keep the user from the book: the dialog runs without it.
        m_pEndpoint = platform::Endpoint::createUnlessBusy(kPhoneBookDialogsClass, "", {kPhoneBookEditorClass}, &m_bBusy);
    else
        m_pEndpoint = platform::Endpoint::create(kPhoneBookDialogsClass, "");
}

CPhoneBookLock::~CPhoneBookLock() = default;
