// The phone book lock between programs, with real second processes.
#include "phonebook/dialogs/phone_book_lock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sstream>
#include <thread>

using qelta::test::helperProgram;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;

namespace {

// Starts a program holding an endpoint of that class and title and waits until it does.
platform::StartedProgram startHolder(const ScopedStateRoot& root, const std::string& className, const std::string& title)
{
    static int serial = 0;
    const std::string ready = root.path() + "/ready-" + std::to_string(++serial);
    auto p = platform::startProgram(helperProgram("bookpicker_lock_worker"), {"hold", className, title, ready});
    EXPECT_TRUE(p);
    for (int i = 0; i < 500 && !platform::pathExists(ready); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(platform::pathExists(ready));
    return *p;
}

void kill(const platform::StartedProgram& p)
{
    ::kill(p.pid, SIGKILL);
    platform::waitProgram(p);
}

} // namespace

TEST(PhoneBookLock, AnotherProgramsHolderMakesItBusyUnlessNotChecked)
{
    ScopedStateRoot root;
    // The editor is found by its class alone, whatever its title; the dialogs by class and empty title.
    const struct {
        const char* className;
        const char* title;
        bool heldWithoutCheck;
    } holders[] = {
        {kPhoneBookEditorClass, "Phone book editor - Office", true},
        {"qelta-phonebookeditor", "", true},
        {kPhoneBookDialogsClass, "", false},
    };
    for (const auto& h : holders) {
        const platform::StartedProgram holder = startHolder(root, h.className, h.title);
        {
            CPhoneBookLock checked(true);
            EXPECT_TRUE(checked.Busy()) << h.className;
            EXPECT_FALSE(checked.Held()) << h.className;
        }
        {
            CPhoneBookLock unchecked(false);
            EXPECT_FALSE(unchecked.Busy()) << h.className;
            EXPECT_EQ(unchecked.Held(), h.heldWithoutCheck) << h.className;
        }
        kill(holder);
        // A lock dies with its process.
        CPhoneBookLock after(true);
        EXPECT_FALSE(after.Busy()) << h.className;
        EXPECT_TRUE(after.Held()) << h.className;
    }
    // Another class and title of the editor's program is no lock.
    const platform::StartedProgram other = startHolder(root, "QELTA-UI2APP_CLASS", "QELTA-UI2APP_MAIN");
    EXPECT_TRUE(CPhoneBookLock(true).Held());
    kill(other);
}

TEST(PhoneBookLock, OneProgramTakesItAgainAfterReleasingIt)
{
    ScopedStateRoot root;
    {
        CPhoneBookLock first(false);
        EXPECT_TRUE(first.Held());
        CPhoneBookLock nested(true);
        EXPECT_TRUE(nested.Busy()) << "the program's own open dialog holds the book";
    }
    CPhoneBookLock second(true);
    EXPECT_FALSE(second.Busy());
    EXPECT_TRUE(second.Held());
}

TEST(PhoneBookLock, DialogsAndEditorRacingAreNeverInsideTogether)
{
    ScopedStateRoot root;
    const std::string log = root.path() + "/inside.log";
    constexpr int kRounds = 200;
    auto dialogs = platform::startProgram(helperProgram("bookpicker_lock_worker"), {"race", "dialogs", std::to_string(kRounds), log});
    auto editor = platform::startProgram(helperProgram("bookpicker_lock_worker"), {"race", "editor", std::to_string(kRounds), log});
    ASSERT_TRUE(dialogs && editor);
    EXPECT_EQ(platform::waitProgram(*dialogs), 0);
    EXPECT_EQ(platform::waitProgram(*editor), 0);
    std::istringstream lines(readTextFile(log));
    std::string line, inside;
    int entries = 0;
    while (std::getline(lines, line)) {
        if (line[0] == '+') {
            ASSERT_TRUE(inside.empty()) << line << " entered while " << inside << " was inside";
            inside = line.substr(1);
            ++entries;
        } else {
            ASSERT_EQ(line.substr(1), inside);
            inside.clear();
        }
    }
    EXPECT_EQ(entries, 2 * kRounds);
}
