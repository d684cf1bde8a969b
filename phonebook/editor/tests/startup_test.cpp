// The editor's start-up decisions over real endpoints in a private state root.
#include "common/resource_locale.h"
#include "phonebook/dialogs/phone_book_lock.h"
#include "phonebook/editor/startup.h"
#include "phonebook/editor/tests/support/fake_book.h"
#include "platform/endpoint.h"
#include "platform/registry.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

using qelta::test::QueuedPrompter;
using qelta::test::ScriptedBookDialogs;

namespace {

// Records the frame made and checks that the editor's endpoint is held while it runs.
class RecordingHost : public IEditorHost {
public:
    std::string frame = "none";
    bool ran = false;
    void CreateFrame(const std::string& path) override { frame = path; }
    int Run(platform::Endpoint& endpoint) override
    {
        ran = true;
        EXPECT_EQ(platform::findEndpointByClass(kPhoneBookEditorClass), endpoint.handle());
        return 0;
    }
};

} // namespace

TEST(EditorStartup, EndsOrOpensAsTheDecisionsSay)
{
    struct Case {
        const char* what;
        const char* held;   // the class of an endpoint held meanwhile, or null
        bool pathArgument;  // a book named on the command line
        bool pathExists;
        int choice;         // the book choice's answer
        const char* locale; // the override key's value, or null
        int exit;
        bool frame;
        std::vector<std::string> shown;
        std::vector<std::string> dialogCalls;
    };
    const std::string locked = "Phone Book Editor: The phone book was locked.  You can open phonebook after it was closed.";
    const Case cases[] = {
        {"dialogs held", kPhoneBookDialogsClass, true, true, 1, nullptr, kExitRefused, false, {locked}, {}},
        {"editor held", kPhoneBookEditorClass, true, true, 1, nullptr, kExitOk, false, {}, {}},
        {"missing path", nullptr, true, false, 1, nullptr, kExitRefused, false, {}, {}},
        {"path given", nullptr, true, true, 1, nullptr, 0, true, {}, {}},
        {"choice cancelled", nullptr, false, false, 2, nullptr, kExitRefused, false, {}, {"SelectPhoneBook(1,1)"}},
        {"choice refused", nullptr, false, false, 0, nullptr, kExitRefused, false, {}, {"SelectPhoneBook(1,1)"}},
        {"book chosen", nullptr, false, false, 1, nullptr, 0, true, {}, {"SelectPhoneBook(1,1)"}},
        {"LANGID 0", kPhoneBookDialogsClass, true, true, 1, "10000", kExitRefused, false, {}, {}},
    };
    for (const Case& c : cases) {
        qelta::test::ScopedStateRoot root;
        const std::string book = root.path() + "/Office.xml";
        if (c.pathExists)
            qelta::test::writeTextFile(book, "<x/>");
        if (c.locale) {
            platform::RegistryKey key;
            ASSERT_EQ(platform::RegistryKey::create(platform::Hive::LocalMachine, CSDLocale::kOverrideKey, key),
                      platform::RegStatus::Ok);
            ASSERT_EQ(key.set("", platform::RegValue::string(c.locale)), platform::RegStatus::Ok);
        }
        std::unique_ptr<platform::Endpoint> held;
        if (c.held)
            held = platform::Endpoint::create(c.held, "");
        QueuedPrompter prompter;
        ScriptedBookDialogs dialogs;
        dialogs.answer = c.choice;
        dialogs.path = book;
        dialogs.name = "Office";
        RecordingHost host;
        std::vector<std::string> args;
        if (c.pathArgument)
            args.push_back(book);
        EXPECT_EQ(RunBookManager(args, prompter, dialogs, host), c.exit) << c.what;
        EXPECT_EQ(host.ran, c.frame) << c.what;
        EXPECT_EQ(host.frame, c.frame ? book : "none") << c.what;
        EXPECT_EQ(prompter.shown, c.shown) << c.what;
        EXPECT_EQ(dialogs.calls, c.dialogCalls) << c.what;
        // The running editor hears the second one's front request.
        if (held && std::string(c.held) == kPhoneBookEditorClass) {
            platform::PostedMessage message;
            ASSERT_TRUE(held->receive(message, 1000)) << c.what;
            EXPECT_EQ(message.message, platform::registerMessage(kEditorFrontMessage)) << c.what;
        }
        EXPECT_EQ(platform::findEndpointByClass(kPhoneBookEditorClass) != 0,
                  held && std::string(c.held) == kPhoneBookEditorClass)
            << c.what << ": the endpoint outlives the run";
    }
}
