// The phone book lock between programs: while a phone book dialog that may change the book is open,
// this program holds the endpoint "QELTA-PhoneBookDialogs" (empty title); the phone book editor
// holds "QELTA-PhoneBookEditor" while it runs. Locks die with their process.
#pragma once

#include "platform/endpoint.h"

#include <memory>

inline constexpr const char* kPhoneBookDialogsClass = "QELTA-PhoneBookDialogs";
inline constexpr const char* kPhoneBookEditorClass = "QELTA-PhoneBookEditor";

class CPhoneBookLock {
public:
    /// checkBusy true: takes the lock in one step with the test that neither the dialogs of another
    /// program nor the editor hold the book; Busy() tells when they do. checkBusy false: takes the
    /// lock when it is free and never reports busy, so the dialog runs either way.
    explicit CPhoneBookLock(bool checkBusy);
    /// Releases the lock when held.
    ~CPhoneBookLock();
    CPhoneBookLock(const CPhoneBookLock&) = delete;
    CPhoneBookLock& operator=(const CPhoneBookLock&) = delete;

    /// True when the dialog must not run: another program's dialogs or the editor hold the book.
    bool Busy() const { return m_bBusy; }
    /// True while this object holds the lock.
    bool Held() const { return m_pEndpoint != nullptr; }

private:
    std::unique_ptr<platform::Endpoint> m_pEndpoint;
    bool m_bBusy = false;
};
