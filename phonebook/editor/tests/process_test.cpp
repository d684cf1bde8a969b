// The real bookmanager program against other processes: one editor at a time, the lock against
// the phone book dialogs of another program, and the book choice refused while the editor runs.
#include "phonebook/dialogs/phone_book_lock.h"
#include "phonebook/editor/startup.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits up to 10 s for what must come true.
template <typename F>
bool WaitFor(F&& done)
{
    for (int i = 0; i < 500; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

class EditorProcesses : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ASSERT_TRUE(RegisterServerLibraries(std::array{"booktool.dll"}).empty());
        std::string error;
        ASSERT_TRUE(WriteSamplePhoneBook(error)) << error;
    }
    std::optional<platform::StartedProgram> StartEditor()
    {
        return platform::startProgram(qelta::test::helperProgram("bookmanager"), {SamplePhoneBookPath()});
    }
    static bool EditorRuns() { return platform::findEndpointByClass(kPhoneBookEditorClass) != 0; }
    static void Stop(const platform::StartedProgram& program)
    {
        ::kill(program.pid, SIGTERM);
        platform::waitProgram(program);
    }

    qelta::test::ScopedStateRoot root;
};

} // namespace

TEST_F(EditorProcesses, ASecondEditorEndsAndTheFirstIsAskedToComeForward)
{
    // This process stands for the first editor: the real program posts it the front request.
    auto first = platform::Endpoint::create(kPhoneBookEditorClass, kEditorEndpointTitle);
    ASSERT_TRUE(first);
    const auto second = StartEditor();
    ASSERT_TRUE(second);
    EXPECT_EQ(platform::waitProgram(*second), kExitOk);
    platform::PostedMessage message;
    ASSERT_TRUE(first->receive(message, 5000));
    EXPECT_EQ(message.message, platform::registerMessage(kEditorFrontMessage));
    first.reset();

    // Two real editors: the second ends at once, the first keeps running.
    const auto editor = StartEditor();
    ASSERT_TRUE(editor);
    ASSERT_TRUE(WaitFor(EditorRuns));
    const auto again = StartEditor();
    ASSERT_TRUE(again);
    EXPECT_EQ(platform::waitProgram(*again), kExitOk);
    EXPECT_TRUE(EditorRuns());
    // While it runs, the book choice's lock is busy (PB2APISelectPhoneBook with check busy 1
    // refuses); once it has ended, it is free.
    EXPECT_TRUE(CPhoneBookLock(true).Busy());
    Stop(*editor);
    EXPECT_FALSE(CPhoneBookLock(true).Busy());
}

TEST_F(EditorProcesses, NoEditorWhileAnotherProgramShowsAPhoneBookDialog)
{
    const std::string ready = root.path() + "/dialogs-ready";
    const auto dialogs = platform::startProgram(qelta::test::helperProgram("bookpicker_lock_worker"),
                                                {"hold", kPhoneBookDialogsClass, "", ready});
    ASSERT_TRUE(dialogs);
    ASSERT_TRUE(WaitFor([&] { return platform::pathExists(ready); }));
    // The editor shows its lock message (which nobody answers here) and never takes its endpoint.
    const auto editor = StartEditor();
    ASSERT_TRUE(editor);
    std::this_thread::sleep_for(1500ms);
    EXPECT_FALSE(EditorRuns());
    Stop(*editor);
    Stop(*dialogs);
}
