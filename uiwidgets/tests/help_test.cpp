// The programs' help opener: where the file is looked for, what is opened, and the warning box for
// a missing file and for one the desktop cannot open; F1 on any control of a window.
#include "uiwidgets/help.h"

#include "common/prompter.h"
#include "common/registry_helper.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/state.h"
#include "platform/tests/support/test_support.h"
#include "uiwidgets/qt_prompter.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

struct RecordingPrompter : IPrompter {
    std::vector<std::string> boxes; // "caption|text|flags"
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override
    {
        boxes.push_back(caption + "|" + text + "|" + std::to_string(flags));
        return IDOK;
    }
};

TEST(Help, OpensTheFileAtItsContextOrTellsWhyNot)
{
    qelta::test::ScopedStateRoot root;
    const std::string folder = root.path() + "/help";
    qelta::test::writeTextFile(folder + "/Present.html", "<html></html>");
    const std::string present = folder + "/Present.html", missing = folder + "/Missing.html";
    struct Case {
        const char* what;
        const char* file;
        std::optional<bool> desktopOpens; // nothing: the opener must not be asked
        const char* programText;
        std::string box;                  // empty: no box
    };
    const Case cases[] = {
        {"opened", "Present.html", true, "Reinstall.", ""},
        {"missing, the program's text", "Missing.html", std::nullopt, "Reinstall.", "Title|Reinstall.|48"},
        {"missing, no text of the program's", "Missing.html", std::nullopt, "",
         "Title|The help file " + missing + " is missing.|48"},
        {"there, but the desktop cannot open it", "Present.html", false, "Reinstall.",
         "Title|The help file " + present + " cannot be opened: the desktop has no program for it.|48"},
    };
    for (const Case& c : cases) {
        RecordingPrompter prompter;
        std::vector<std::string> asked;
        const bool opened = OpenHelp(folder, c.file, 131208, prompter, {c.programText, "Title"},
                                     [&](const std::string& address) {
                                         asked.push_back(address);
                                         return c.desktopOpens.value_or(true);
                                     });
        EXPECT_EQ(opened, c.box.empty()) << c.what;
        EXPECT_EQ(asked, c.desktopOpens ? std::vector<std::string>{folder + "/" + c.file + "#131208"}
                                        : std::vector<std::string>{})
            << c.what;
        EXPECT_EQ(prompter.boxes, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box}) << c.what;
    }
}

TEST(Help, TheDesktopsOpenerIsHeardOutOffTheWindowsThreadAndOnlyItsFailureShowsTheBox)
{
    // The desktop's opener gets the file's URL as its one argument. F1 never waits for it: one that
    // finds no program for the file ends with a status of its own, and the box then names the file;
    // one that ends well or goes on running (showing the file) shows none.
    using namespace std::chrono;
    qelta::test::ScopedStateRoot root;
    const std::string folder = root.path() + "/help files", asked = root.path() + "/asked",
                      release = root.path() + "/release";
    qelta::test::writeTextFile(folder + "/Present.html", "<html></html>");
    const std::string box =
        "Title|The help file " + folder + "/Present.html cannot be opened: the desktop has no program for it.|48";
    const struct {
        const char* what;
        std::string script; // after the arguments are written
        bool fails;
        int waitMs; // how long the box is waited for
    } cases[] = {
        {"fails", "exit 3", true, 5000},
        {"opens and ends", "exit 0", false, 500},
        // A viewer run by the opener, closed later with a status of its own: no box.
        {"goes on running past the verdict", "while [ ! -e '" + release + "' ]; do sleep 0.05; done\nexit 1", false, 3500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::removeFile(asked);
        platform::removeFile(release);
        qelta::test::ScopedProgramOnPath opener("xdg-open", "printf '%s|' \"$@\" > '" + asked + "'\n" + c.script + "\n");
        RecordingPrompter prompter;
        const auto begun = steady_clock::now();
        EXPECT_TRUE(OpenHelp(folder, "Present.html", 131208, prompter, {"Reinstall.", "Title"}));
        EXPECT_LT(steady_clock::now() - begun, milliseconds(1500)) << "the window is not held";
        // The verdict comes through the event loop.
        static_cast<void>(QTest::qWaitFor([&] { return !prompter.boxes.empty(); }, c.waitMs));
        qelta::test::writeTextFile(release, "");
        QTest::qWait(c.fails ? 0 : 200);
        EXPECT_EQ(prompter.boxes, c.fails ? std::vector<std::string>{box} : std::vector<std::string>{});
        EXPECT_EQ(qelta::test::readTextFile(asked), "file://" + root.path() + "/help%20files/Present.html#131208|");
    }
}

// A program runs one help opener at a time: F1 held down (500 presses) while the desktop's opener
// hangs starts it once and shows no box, and the program's end ends it. The presses are made by a
// run of this test program of its own, told by QELTA_HELP_PRESSES where the help is.
TEST(Help, OnlyOneOpenerRunsAndNoneOutlivesTheProgram)
{
    if (const char* folder = std::getenv("QELTA_HELP_PRESSES")) {
        RecordingPrompter prompter;
        QWidget window;
        InstallHelpKey(&window, [&] { OpenHelp(folder, "Present.html", 131208, prompter, {"Reinstall.", "Title"}); });
        window.show();
        for (int i = 0; i < 500; ++i)
            QTest::keyClick(&window, Qt::Key_F1);
        QTest::qWait(300);
        EXPECT_TRUE(prompter.boxes.empty());
        return; // the program ends with the opener still running
    }
    using namespace std::chrono;
    qelta::test::ScopedStateRoot root;
    const std::string folder = root.path() + "/help", started = root.path() + "/started";
    qelta::test::writeTextFile(folder + "/Present.html", "<html></html>");
    qelta::test::ScopedProgramOnPath opener("xdg-open", "echo $$ >> '" + started + "'\nexec sleep 600\n");
    ::setenv("QELTA_HELP_PRESSES", folder.c_str(), 1);
    const auto begun = steady_clock::now();
    const int status = platform::runProgram(platform::programPath(),
                                            {"--gtest_filter=Help.OnlyOneOpenerRunsAndNoneOutlivesTheProgram"});
    ::unsetenv("QELTA_HELP_PRESSES");
    EXPECT_EQ(status, 0);
    EXPECT_LT(steady_clock::now() - begun, seconds(20));
    const std::string pids = qelta::test::readTextFile(started);
    ASSERT_EQ(std::count(pids.begin(), pids.end(), '\n'), 1) << pids;
    const int pid = std::stoi(pids);
    EXPECT_NE(::kill(pid, 0), 0) << "the opener outlived the program";
}

TEST(Help, TheBoxIsADialogWithoutMinimiseOrMaximise)
{
    // The programs' message boxes have the frame of their dialogs, owner or not.
    qelta::test::ScopedStateRoot root;
    Qt::WindowFlags flags;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        flags = box->windowFlags();
        box->button(QMessageBox::Ok)->click();
    });
    CQtPrompter prompter;
    EXPECT_FALSE(OpenHelp(root.path(), "Missing.html", 131208, prompter, {"Reinstall.", "Title"}));
    EXPECT_EQ(flags & (Qt::WindowType_Mask | Qt::CustomizeWindowHint | Qt::WindowMinMaxButtonsHint |
                       Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
}

TEST(Help, TheProgramsHelpLiesInTheInstallFolderElseInTheDataFolder)
{
    qelta::test::ScopedStateRoot root;
    EXPECT_EQ(ProgramHelpFolder(), platform::dataFolder());
    EXPECT_TRUE(platform::pathExists(platform::joinPath(ProgramHelpFolder(), "Sendwizard2.html")));
    CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteString(kProductSubkey, "TQL Directory", "C:\\Qelta\\");
    EXPECT_EQ(ProgramHelpFolder(), "C:/Qelta/");
}

TEST(Help, F1OnAnyControlOfTheWindowAsksForItsHelp)
{
    QWidget window;
    auto* edit = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(edit);
    int asked = 0;
    InstallHelpKey(&window, [&] { ++asked; });
    window.show();
    QTest::keyClick(edit, Qt::Key_F1);
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(edit->text(), QStringLiteral("a"));
}

} // namespace
