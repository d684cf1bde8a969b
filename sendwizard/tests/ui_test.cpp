// The wizard's start-up and sheet offscreen: the work file's fate, the pages, the host endpoint
// and help, with message boxes answered by a script.
#include "common/prompter.h"
#include "common/resource_module.h"
#include "common/registry_helper.h"
#include "devicelist/devicelist.h"
#include "imaging/tests/tiff_pages_support.h"
#include "platform/state.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/tests/support/cups_server.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sendwizard/app/main_sheet.h"
#include "sendwizard/app/page_display.h"
#include "uiwidgets/progress_runner.h"
#include "sendwizard/app/wizard_dialogs.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/page_view.h"
#include "sendwizard/wizard_strings.h"
#include "sendwizard/tests/wizard_test_support.h"
#include "uiwidgets/view_helpers.h"
#include "uiwidgets/worker_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QRegularExpression>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

using wizard_test::ScriptedPrompter;

// Types a destination and clears the skip box, so Next goes on to the cover page.
void LeaveDestinationPage(CPSMainui& wizard)
{
    wizard.findChild<QLineEdit*>("id1008")->setText("123");
    wizard.findChild<QCheckBox*>("id1117")->setChecked(false);
    wizard.next();
}

// Runs the real sheet without a loop of its own: a check, then Cancel.
class CancellingRunner : public ISheetRunner {
public:
    explicit CancellingRunner(IPrompter& prompter) : m_Prompter(prompter) {}
    int Run(CPSMainuiLogic& sheet, platform::Endpoint* host) override
    {
        ++runs;
        hadHost = host != nullptr;
        modelType = sheet.m_nModelType;
        CPSMainui wizard(sheet, m_Prompter);
        wizard.show();
        titles.clear();
        for (int id = wizard.startId(); id != -1; id = wizard.PageOf(id)->SheetNextId())
            titles.push_back(wizard.page(id)->objectName().toStdString() + " " + wizard.page(id)->title().toStdString());
        wizard.QDialog::reject(); // closes without the quit question
        return wizard.result();
    }
    IPrompter& m_Prompter;
    int runs = 0, modelType = -1;
    bool hadHost = false;
    std::vector<std::string> titles;
};

class WizardStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        spooler = platform::RecordingSpooler::install("Fax");
        work = root.path() + "/spool/job.tif";
        ASSERT_TRUE(platform::createDirectories(root.path() + "/spool"));
        imaging_test::writeBilevel(work, {imaging_test::Bits::pattern(1728, 100)}, {COMPRESSION_CCITTFAX4, 200, 100});
    }
    void TearDown() override { platform::setSpooler(nullptr); }
    qelta::test::ScopedStateRoot root;
    std::shared_ptr<platform::RecordingSpooler> spooler;
    std::string work;
};

TEST_F(WizardStart, ClosingTheSheetDeletesTheWorkFileAndShowsThePagesInOrder)
{
    ScriptedPrompter prompter;
    CancellingRunner runner(prompter);
    EXPECT_EQ(RunSendWizard({"/SA4", "-PFax", "-DReport: Q3", work}, prompter, runner), 0);
    EXPECT_EQ(runner.runs, 1);
    EXPECT_TRUE(runner.hadHost);
    EXPECT_EQ(runner.modelType, 0);
    EXPECT_FALSE(platform::pathExists(work));
    EXPECT_EQ(runner.titles, (std::vector<std::string>{"id107 Select Destination", "id110 Select Cover Sheet",
                                                       "id121 Set Job Parameter", "id111 Preview FAX Image",
                                                       "id108 Ready To Send"}));
}

// The help's topic of each page names the page's controls as the wizard shows them: every name the
// topic explains is a control of its page for some printer, every button, box and group the page
// shows is explained, and no topic stands for a page the wizard never shows.
TEST_F(WizardStart, EachPageHelpTopicNamesThePagesControls)
{
    const std::string file = platform::dataFolder() + "/Sendwizard2.html";
    const QString help = QString::fromStdString(qelta::test::readTextFile(file));
    ASSERT_FALSE(help.isEmpty());
    auto plain = [](QString text) {
        return text.remove(QRegularExpression(QStringLiteral("<[^>]*>"))).simplified();
    };
    auto name = [](QString text) {
        text.remove(QLatin1Char('&'));
        text = text.trimmed();
        while (text.endsWith(QLatin1Char(':')) || text.endsWith(QLatin1Char('.')))
            text.chop(1);
        return text.trimmed();
    };
    auto topic = [&](int id) {
        const qsizetype start = help.indexOf(QStringLiteral("<h2 id=\"%1\">").arg(id));
        if (start < 0)
            return QString();
        const qsizetype end = help.indexOf(QStringLiteral("<h2"), start + 4);
        return help.mid(start, end < 0 ? -1 : end - start);
    };
    const std::pair<int, int> pages[] = {{IDD_SELECT_DESTINATION, 131201}, {IDD_SELECT_COVER, 131202},
                                         {IDD_SET_PARAMS, 131203}, {IDD_PREVIEW, 131204}};
    std::map<int, std::set<QString>> shown;   // page -> every control text shown for some printer
    std::map<int, std::set<QString>> buttons; // page -> the buttons, boxes and groups shown
    for (int model : {0, 1, 2, 3, 4}) {
        CPSMainuiLogic sheet;
        sheet.m_nModelType = model;
        ScriptedPrompter prompter;
        CPSMainui wizard(sheet, prompter);
        for (const auto& [page, id] : pages) {
            QWidget* widget = wizard.page(page);
            ASSERT_TRUE(widget) << page;
            for (QWidget* control : widget->findChildren<QWidget*>()) {
                if (!control->isVisibleTo(widget))
                    continue;
                QString text;
                if (auto* button = qobject_cast<QAbstractButton*>(control))
                    text = button->text();
                else if (auto* group = qobject_cast<QGroupBox*>(control))
                    text = group->title();
                else if (auto* label = qobject_cast<QLabel*>(control); label && label->buddy())
                    text = label->text();
                if (name(text).isEmpty())
                    continue;
                shown[page].insert(name(text));
                if (!qobject_cast<QLabel*>(control))
                    buttons[page].insert(name(text));
            }
        }
    }
    for (const auto& [page, id] : pages) {
        const QString section = topic(id);
        ASSERT_FALSE(section.isEmpty()) << "no topic " << id;
        QRegularExpressionMatchIterator it = QRegularExpression(QStringLiteral("<dt>(.*?)</dt>")).globalMatch(section);
        while (it.hasNext())
            for (const QString& explained : plain(it.next().captured(1)).split(QStringLiteral(", ")))
                EXPECT_TRUE(shown[page].count(name(explained)))
                    << id << ": the page shows no \"" << explained.toStdString() << "\"";
        const QString text = plain(section);
        for (const QString& control : buttons[page])
            EXPECT_TRUE(text.contains(control)) << id << ": \"" << control.toStdString() << "\" is not explained";
    }
    EXPECT_TRUE(topic(131205).isEmpty()) << "the wizard shows no Ready To Send page";
}

TEST_F(WizardStart, FailuresBeforeTheSheetKeepTheWorkFile)
{
    ScriptedPrompter prompter;
    CancellingRunner runner(prompter);
    const std::string text = root.path() + "/spool/job.txt";
    qelta::test::writeTextFile(text, "not an image");
    prompter.expected = {"Unknown System Error. Please re install Qelta Driver.\nthe page file " + text
                         + " is not a fax image that can be read"};
    EXPECT_NE(RunSendWizard({text}, prompter, runner), 0);
    EXPECT_TRUE(platform::pathExists(text));

    // A mistyped path reads as a switch: the reason names it, or says that no page file came.
    const std::string missing = root.path() + "/spool/missing.tif";
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } unread[] = {
        {{"-SA4", "-PQelta Fax", missing}, "the page file " + missing + " does not exist"},
        {{"-SA4", "-DReport"}, "no page file was given"},
        {{"-SA4", "/Data/fax.tif"}, "the page file /Data/fax.tif does not exist"},
    };
    for (const auto& row : unread) {
        prompter.expected = {"Unknown System Error. Please re install Qelta Driver.\n" + row.reason};
        EXPECT_NE(RunSendWizard(row.args, prompter, runner), 0) << row.reason;
    }

    // A language override of 0 ends the program without a word.
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::create(platform::Hive::LocalMachine, "SOFTWARE\\Kovra\\TqlStl2\\ResourceLocale", key),
              platform::RegStatus::Ok);
    ASSERT_EQ(key.set("", platform::RegValue::string("0")), platform::RegStatus::Ok);
    EXPECT_NE(RunSendWizard({work}, prompter, runner), 0);
    EXPECT_TRUE(platform::pathExists(work));
    EXPECT_EQ(runner.runs, 0);
}

TEST_F(WizardStart, ASecondWizardRunsWithoutTheHostEndpoint)
{
    const auto first = platform::Endpoint::create(kHostClassName, kHostTitle);
    ASSERT_TRUE(first);
    ScriptedPrompter prompter;
    CancellingRunner runner(prompter);
    EXPECT_EQ(RunSendWizard({work}, prompter, runner), 0);
    EXPECT_EQ(runner.runs, 1);
    EXPECT_FALSE(runner.hadHost);
}

// The wizard's sheet while it is on the screen; null before and after.
CPSMainui* ShownSheet()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* sheet = qobject_cast<CPSMainui*>(widget); sheet && sheet->isVisible())
            return sheet;
    return nullptr;
}

// Sets an environment variable for the object's lifetime.
struct ScopedVariable {
    ScopedVariable(const char* name, const std::string& value) : m_Name(name)
    {
        if (const char* old = std::getenv(name))
            m_Old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_Old)
            ::setenv(m_Name, m_Old->c_str(), 1);
        else
            ::unsetenv(m_Name);
    }
    const char* m_Name;
    std::optional<std::string> m_Old;
};

// The program's own runner, which keeps the sheet's logic for a look.
struct WatchedRunner : CQtSheetRunner {
    using CQtSheetRunner::CQtSheetRunner;
    int Run(CPSMainuiLogic& sheet, platform::Endpoint* host) override
    {
        logic = &sheet;
        return CQtSheetRunner::Run(sheet, host);
    }
    CPSMainuiLogic* logic = nullptr;
};

// When the real sheet was first seen on the screen, first seen with its pages at work, and what
// the pages looked like then; check runs on every look while the sheet is shown.
struct SheetWatch {
    explicit SheetWatch(std::function<void(CPSMainui&, qint64)> check) : m_Check(std::move(check))
    {
        m_Clock.start();
        m_Timer.callOnTimeout([this] {
            CPSMainui* sheet = ShownSheet();
            if (!sheet)
                return;
            const qint64 now = m_Clock.elapsed();
            const bool working = sheet->page(IDD_SELECT_DESTINATION)->isEnabled();
            if (shownAt < 0) {
                shownAt = now;
                waitedAtFirst = !working && !sheet->button(QWizard::NextButton)->isEnabled()
                                && sheet->button(QWizard::CancelButton)->isEnabled();
            }
            if (working && workingAt < 0) {
                workingAt = now;
                nextAtWork = sheet->button(QWizard::NextButton)->isEnabled();
            }
            m_Check(*sheet, now);
        });
        m_Timer.start(20);
    }
    QElapsedTimer m_Clock;
    QTimer m_Timer;
    std::function<void(CPSMainui&, qint64)> m_Check;
    qint64 shownAt = -1, workingAt = -1;
    bool waitedAtFirst = false, nextAtWork = false;
};

// A print server that takes the connection and never answers keeps the pages waiting, not the
// sheet: it is on the screen at once with Cancel at work. Each question still ends at the
// spooler's limit: the user-defined printer's with the box, then the command line printer's
// facts, as for a printer the print system does not know; then the pages work. Cancel, pressed
// while the print server is asked, closes the sheet at once.
TEST_F(WizardStart, TheSheetShowsAtOnceWhileThePrintServerIsSilent)
{
    using namespace std::chrono;
    int port = 0;
    const int listener = qelta::test::listenOnLoopback(16, port);
    ASSERT_GE(listener, 0);
    const ScopedVariable server("CUPS_SERVER", "127.0.0.1:" + std::to_string(port));
    constexpr milliseconds kLimit{1500};
    platform::setSpooler(platform::makeCupsSpooler(kLimit));
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    user.WriteDword(kProductSubkey, kUseUserDefinedPrinterValue, 1);
    user.WriteString(kProductSubkey, kUserDefinedPrinterValue, "Office");

    ScriptedPrompter prompter;
    prompter.expected = {
        "Your defined network printer driver cannot be used now.\nInstead, local printer driver is used."};
    qint64 toldAt = -1;
    int modelType = -1;
    std::string printer;
    WatchedRunner runner(prompter);
    SheetWatch watch([&](CPSMainui& sheet, qint64 now) {
        if (toldAt < 0 && prompter.expected.empty())
            toldAt = now;
        if (sheet.page(IDD_SELECT_DESTINATION)->isEnabled()) {
            modelType = runner.logic->m_nModelType;
            printer = runner.logic->m_strPrinter;
            sheet.QDialog::reject();
        }
    });
    EXPECT_EQ(RunSendWizard({"-PFront Desk", work}, prompter, runner), 0);
    EXPECT_GE(watch.shownAt, 0);
    EXPECT_LT(watch.shownAt, 1000) << "the sheet waits for nobody";
    EXPECT_TRUE(watch.waitedAtFirst) << "the pages wait, Cancel works";
    EXPECT_GE(toldAt, kLimit.count()) << "the user-defined printer's question ran to its limit";
    EXPECT_GE(watch.workingAt, toldAt + kLimit.count() - 100) << "then the command line printer's";
    EXPECT_TRUE(watch.nextAtWork);
    EXPECT_EQ(modelType, 0);
    EXPECT_EQ(printer, "Front Desk");

    watch.m_Timer.stop();
    user.WriteDword(kProductSubkey, kUseUserDefinedPrinterValue, 0);
    imaging_test::writeBilevel(work, {imaging_test::Bits::pattern(1728, 100)}, {COMPRESSION_CCITTFAX4, 200, 100});
    prompter.expected = {"Quit or not?"};
    prompter.answers = {IDYES};
    qint64 cancelledAt = -1;
    bool closedAtOnce = false;
    SheetWatch cancel([&](CPSMainui& sheet, qint64 now) {
        if (cancelledAt < 0) {
            cancelledAt = now;
            sheet.button(QWizard::CancelButton)->click();
            closedAtOnce = !sheet.isVisible();
        }
    });
    EXPECT_EQ(RunSendWizard({"-PFront Desk", work}, prompter, runner), 0);
    EXPECT_GE(cancelledAt, 0);
    EXPECT_LT(cancelledAt, 1000);
    EXPECT_EQ(cancel.workingAt, -1) << "cancelled while the print server was asked";
    EXPECT_TRUE(closedAtOnce) << "Cancel closes the sheet at once";
    EXPECT_FALSE(platform::pathExists(work));
    ::close(listener);
}

// A print server that stops (SIGSTOP) before the wizard starts and goes on a moment later: the
// sheet is there at once, and the printer's facts that come late are the job's.
TEST_F(WizardStart, ALateAnswerOfThePrintServerIsTakenOnceItComes)
{
    qelta::test::CPrivateCupsServer server;
    std::string why;
    if (!server.Start(why))
        return qelta::test::SkipOrFailWithoutCups(why);
    server.UseInThisProcess();
    platform::setSpooler(nullptr);
    ASSERT_EQ(::kill(server.Pid(), SIGSTOP), 0);
    struct Continue {
        int pid;
        ~Continue() { ::kill(pid, SIGCONT); }
    } going{server.Pid()};

    ScriptedPrompter prompter;
    qint64 continuedAt = -1;
    std::string printer, port;
    WatchedRunner runner(prompter);
    SheetWatch* seen = nullptr;
    SheetWatch watch([&](CPSMainui& sheet, qint64 now) {
        if (continuedAt < 0 && now >= seen->shownAt + 1500) {
            continuedAt = now;
            ::kill(server.Pid(), SIGCONT);
        }
        if (sheet.page(IDD_SELECT_DESTINATION)->isEnabled()) {
            printer = runner.logic->m_strPrinter;
            port = runner.logic->m_strPortName;
            sheet.QDialog::reject();
        }
    });
    seen = &watch;
    EXPECT_EQ(RunSendWizard({"-P" + server.Queue(), work}, prompter, runner), 0);
    EXPECT_GE(watch.shownAt, 0);
    EXPECT_LT(watch.shownAt, 1000);
    EXPECT_TRUE(watch.waitedAtFirst);
    EXPECT_GT(watch.workingAt, continuedAt) << "the pages waited for the answer";
    EXPECT_EQ(printer, server.Queue());
    EXPECT_FALSE(port.empty()) << "the queue's device, as the server told it late";
}

TEST_F(WizardStart, AUserLanguageWithoutTextsStartsInEnglish)
{
    // LANG decides only when LC_ALL and LC_MESSAGES are unset; all three are restored afterwards.
    struct Environment {
        std::vector<std::pair<const char*, std::optional<std::string>>> saved;
        Environment()
        {
            for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
                const char* value = std::getenv(name);
                saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
                ::unsetenv(name);
            }
        }
        ~Environment()
        {
            for (const auto& [name, value] : saved) {
                if (value)
                    ::setenv(name, value->c_str(), 1);
                else
                    ::unsetenv(name);
            }
        }
    } environment;
    for (const char* lang : {"hi_IN.UTF-8", "ga_IE.UTF-8"}) {
        SCOPED_TRACE(lang);
        ::setenv("LANG", lang, 1);
        imaging_test::writeBilevel(work, {imaging_test::Bits::pattern(1728, 100)}, {COMPRESSION_CCITTFAX4, 200, 100});
        ScriptedPrompter prompter;
        CancellingRunner runner(prompter);
        EXPECT_EQ(RunSendWizard({work}, prompter, runner), 0);
        EXPECT_EQ(runner.runs, 1);
        EXPECT_FALSE(platform::pathExists(work));
        ASSERT_FALSE(runner.titles.empty());
        EXPECT_EQ(runner.titles.front(), "id107 Select Destination");
    }
}

// Processes events until done() holds or two seconds passed.
template <typename Done>
bool WaitFor(Done done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

int PostFromAnotherProcess(std::vector<std::array<int64_t, 3>> posts)
{
    return qelta::test::runInChild([&] {
        const platform::EndpointHandle handle = platform::findEndpoint(kHostClassName, kHostTitle);
        for (const auto& [message, wParam, lParam] : posts)
            if (!handle || !platform::postMessage(handle, static_cast<uint32_t>(message), static_cast<uint32_t>(wParam),
                                                  static_cast<int32_t>(lParam)))
                return 1;
        return 0;
    });
}

TEST_F(WizardStart, OnlyCoverSheetNoticesOneToThreeReachTheCoverPage)
{
    qelta::test::ScopedStateRoot state;
    CPSMainuiLogic logic;
    ScriptedPrompter prompter;
    CPSMainui wizard(logic, prompter);
    const auto host = platform::Endpoint::create(kHostClassName, kHostTitle);
    ASSERT_TRUE(host);
    new CWizardHostWnd(*host, wizard);
    wizard.show();
    LeaveDestinationPage(wizard);
    ASSERT_EQ(wizard.currentId(), IDD_SELECT_COVER);
    CWizardPage* cover = wizard.PageOf(IDD_SELECT_COVER);

    // Ignored: wParam 0 and 4, another lParam, another message; then one that counts, as a marker.
    ASSERT_EQ(PostFromAnotherProcess({{1124, 0, 1815}, {1124, 4, 1815}, {1124, 2, 1816}, {1125, 2, 1815}, {1124, 3, 1815}}), 0);
    ASSERT_TRUE(WaitFor([&] { return cover->LastCoverNotice() != 0; }));
    EXPECT_EQ(cover->LastCoverNotice(), 3u);
    EXPECT_FALSE(logic.GetRelistFlag()) << "the cover page relisted at once";
    for (uint32_t w : {1u, 2u}) {
        logic.SetRelistFlag(true);
        ASSERT_EQ(PostFromAnotherProcess({{1124, w, 1815}}), 0);
        ASSERT_TRUE(WaitFor([&] { return cover->LastCoverNotice() == w; }));
        EXPECT_FALSE(logic.GetRelistFlag());
    }
    // On another page the flag is set, but the cover page hears nothing.
    wizard.next();
    logic.SetRelistFlag(false);
    ASSERT_EQ(PostFromAnotherProcess({{1124, 1, 1815}}), 0);
    ASSERT_TRUE(WaitFor([&] { return logic.GetRelistFlag(); }));
    EXPECT_EQ(cover->LastCoverNotice(), 2u);
}

TEST_F(WizardStart, PagesAreActivatedOnBackToo)
{
    CPSMainuiLogic logic;
    ScriptedPrompter prompter;
    CPSMainui wizard(logic, prompter);
    wizard.show();
    LeaveDestinationPage(wizard);
    wizard.back();
    EXPECT_EQ(wizard.PageOf(IDD_SELECT_DESTINATION)->Activations(), 2);
    EXPECT_EQ(wizard.PageOf(IDD_SELECT_COVER)->Activations(), 1);
}

TEST_F(WizardStart, F1OpensThePageHelpOrWarns)
{
    CPSMainuiLogic logic;
    ScriptedPrompter prompter;
    std::vector<std::string> opened;
    bool desktopOpens = true;
    CPSMainui wizard(logic, prompter, [&](const std::string& address) {
        opened.push_back(address);
        return desktopOpens;
    });
    wizard.show();
    LeaveDestinationPage(wizard);
    // The page shipped beside the program, at the page's topic.
    QTest::keyClick(&wizard, Qt::Key_F1);
    const std::string shipped = platform::dataFolder() + "/Sendwizard2.html";
    EXPECT_EQ(opened, std::vector<std::string>{shipped + "#131202"});

    // An install folder named in the settings is where the help is looked for; without it, a warning.
    const std::string install = root.path() + "/install";
    CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteString(kProductSubkey, "TQL Directory", install);
    prompter.expected = {"The help file cannot be opened. Please re install Qelta Driver."};
    QTest::keyClick(&wizard, Qt::Key_F1);
    EXPECT_EQ(opened.size(), 1u);
    qelta::test::writeTextFile(install + "/Sendwizard2.html", "<html></html>");
    QTest::keyClick(&wizard, Qt::Key_F1);
    EXPECT_EQ(opened.back(), install + "/Sendwizard2.html#131202");

    // The file is there but no program of the desktop opens it: that is said, not a missing file.
    desktopOpens = false;
    prompter.expected = {"The help file " + install + "/Sendwizard2.html cannot be opened: the desktop has no program "
                         "for it."};
    QTest::keyClick(&wizard, Qt::Key_F1);
    EXPECT_EQ(opened.size(), 3u);
}

TEST_F(WizardStart, EveryPageOfTheSheetHasItsSectionInTheShippedHelp)
{
    CPSMainuiLogic logic;
    ScriptedPrompter prompter;
    CPSMainui wizard(logic, prompter);
    const QList<int> pages = wizard.pageIds();
    ASSERT_FALSE(pages.isEmpty());
    std::vector<uint32_t> topics{HelpTopicFor(0)};
    for (const int page : pages) {
        if (page == IDD_READY_TO_SEND)
            continue; // never shown: the Preview's Finish sends
        const uint32_t topic = HelpTopicFor(0x20000u + static_cast<uint32_t>(page));
        EXPECT_NE(topic, HelpTopicFor(0)) << "page " << page << " has no help topic of its own";
        topics.push_back(topic);
    }
    for (const uint32_t topic : topics) {
        const std::string address = HelpAddress(ProgramHelpFolder(), kWizardHelpFile, topic);
        ASSERT_FALSE(address.empty()) << "no help file beside the program";
        EXPECT_EQ(qelta::test::missingHelpAnchor(address), "");
    }
}

TEST(WizardTexts, EveryTextAndPictureTheWizardUsesIsThere)
{
    for (uint32_t id : {101u, 128u, 301u, 302u, 401u, 402u, 501u, 502u, 601u, 602u, 623u, 700u, 2003u, 2004u, 3000u,
                        3115u, 3200u, 310u, 311u, 403u, 500u, 510u, 511u, 701u, 702u, 706u, 712u, 713u, 714u, 721u,
                        722u, 750u, 2000u, 2002u, 2005u, 610u, 611u, 612u, 613u, 614u, 615u, 620u, 621u, 622u, 624u,
                        2001u, 2006u, 2007u, 2008u, 2009u, 2100u, 2101u, 3001u, 3002u})
        EXPECT_FALSE(WizardString(id).empty()) << id;
    // Every labelled control of the three pages.
    for (int id : {1034, 1025, 1028, 1029, 1026, 1031, 1036, 1032})
        EXPECT_FALSE(ControlText(IDD_SELECT_COVER, id).empty()) << id;
    for (int id : {1043, 1045, 1046, 1047, 1048, 1051, 1052})
        EXPECT_FALSE(ControlText(IDD_PREVIEW, id).empty()) << id;
    for (int id : {1023, 1024, 1064, 1065, 1066, 1070, 1095, 1072})
        EXPECT_FALSE(ControlText(IDD_READY_TO_SEND, id).empty()) << id;
    for (int id : {1072, 1078, 1070, 1104, 1103, 1105, 1106, 1069, 1071, 1073, 1074, 1084, 1083, 1082, 1091, 1087, 1086,
                   1090})
        EXPECT_FALSE(ControlText(IDD_SET_PARAMS, id).empty()) << id;
    EXPECT_EQ(WizardString(IDS_PAGENO), " P.%03d/%03d");
    for (uint32_t id : {130u, 131u, 149u, 151u, 153u, 154u, 155u})
        EXPECT_FALSE(LoadResourcePicture(QELTA_RESOURCE_BITMAP, id).isNull()) << id;
    EXPECT_FALSE(LoadResourcePicture(QELTA_RESOURCE_ICON, IDI_MAINFRAME).isNull());
    // The destination list's icons, the folder icons and the header tag buttons: drawn on a
    // transparent ground, so the corners show the list or button behind them.
    struct Picture {
        uint32_t nKind, nId;
        int nWidth;
    };
    const Picture pictures[] = {
        {QELTA_RESOURCE_ICON, 135, 16}, {QELTA_RESOURCE_ICON, 136, 16}, {QELTA_RESOURCE_ICON, 137, 16},
        {QELTA_RESOURCE_ICON, 138, 16}, {QELTA_RESOURCE_ICON, 131, 16}, {QELTA_RESOURCE_ICON, 134, 16},
        {QELTA_RESOURCE_ICON, 139, 16}, {QELTA_RESOURCE_BITMAP, 141, 24}, {QELTA_RESOURCE_BITMAP, 142, 24},
        {QELTA_RESOURCE_BITMAP, 143, 24}, {QELTA_RESOURCE_BITMAP, 144, 24},
    };
    for (const Picture& picture : pictures) {
        const QImage image = LoadResourcePicture(picture.nKind, picture.nId).toImage();
        ASSERT_FALSE(image.isNull()) << picture.nId;
        EXPECT_EQ(image.size(), QSize(picture.nWidth, 16)) << picture.nId;
        EXPECT_EQ(image.pixelColor(0, 15).alpha(), 0) << picture.nId;
        EXPECT_EQ(image.pixelColor(image.width() - 1, 0).alpha(), 0) << picture.nId;
        EXPECT_EQ(image.pixelColor(image.width() / 2, 11).alpha(), 255) << picture.nId;
    }
}

} // namespace


namespace {

TEST(PageDisplay, LoadsAPageAndZoomsByMode)
{
    qelta::test::ScopedStateRoot root;
    BindImageKit();
    const std::string file = root.path() + "/pages.tif";
    imaging_test::writeBilevel(file, {imaging_test::Bits(40, 20), imaging_test::Bits::pattern(200, 400)},
                               {COMPRESSION_CCITTFAX4, 200, 200});
    CIkFile loader;
    loader.SetFileName(file);
    loader.SetPageIndex(1);
    EXPECT_FALSE(loader.FileAction(3));
    ASSERT_TRUE(loader.FileAction(kFileActionRead));
    CIkDisp display;
    display.setFrameShape(QFrame::NoFrame);
    display.resize(100, 100);
    display.show();
    display.SetImageHandle(loader.GetImageHandle());
    ASSERT_EQ(display.Image().size(), QSize(200, 400));
    EXPECT_EQ(display.Image().pixelIndex(0, 0), 1); // the pattern's frame is black
    ASSERT_TRUE(display.DisplayAction(kDisplayWholePage));
    EXPECT_DOUBLE_EQ(display.GetZoom(), 0.25);
    // Filling the view: the width, less the scroll bar that the height then needs.
    ASSERT_TRUE(display.DisplayAction(kDisplayFillArea));
    const int bar = display.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &display);
    EXPECT_DOUBLE_EQ(display.GetZoom(), (100.0 - bar) / 200);
    EXPECT_EQ(display.horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(display.verticalScrollBar()->maximum(), 0);
    display.resize(300, 100); // a fitting mode fits again
    EXPECT_DOUBLE_EQ(display.GetZoom(), (300.0 - bar) / 200);
    display.resize(100, 100);
    display.SetZoom(1.5);
    ASSERT_TRUE(display.DisplayAction(kDisplayZoomFactor));
    EXPECT_DOUBLE_EQ(display.GetZoom(), 1.5);
    EXPECT_FALSE(display.DisplayAction(4));
    // A fax page of 204 x 98 dpi stands in its true proportions: its half-inch square is square.
    const std::string fine = root.path() + "/fine.tif";
    imaging_test::Bits square(408, 196);
    for (uint32_t y = 49; y < 98; ++y)
        for (uint32_t x = 102; x < 204; ++x)
            square.set(x, y);
    imaging_test::writeBilevel(fine, {square}, {COMPRESSION_CCITTFAX4, 204, 98});
    CIkFile fineLoader;
    fineLoader.SetFileName(fine);
    ASSERT_TRUE(fineLoader.FileAction(kFileActionRead));
    display.resize(300, 300);
    display.SetImageHandle(fineLoader.GetImageHandle());
    EXPECT_EQ(display.Image().size(), QSize(408, 196)) << "the pixels stay as they are";
    EXPECT_EQ(display.ShownSize(), QSize(408, 408));
    ASSERT_TRUE(display.DisplayAction(kDisplayWholePage));
    EXPECT_DOUBLE_EQ(display.GetZoom(), 300.0 / 408);
    QRect dark;
    const QImage shown = display.viewport()->grab().toImage();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (qGray(shown.pixel(x, y)) < 128)
                dark |= QRect(x, y, 1, 1);
    EXPECT_NEAR(dark.width(), dark.height(), 1) << dark.width() << " x " << dark.height();
    EXPECT_NEAR(dark.width(), 75, 1);
    display.SetImageHandle(0);
    EXPECT_TRUE(display.Image().isNull());
    loader.SetPageIndex(2);
    EXPECT_FALSE(loader.FileAction(kFileActionRead));
    UnbindImageKit();
}

} // namespace

// ---- the cover, preview and ready pages offscreen ----

#include "platform/known_folders.h"
#include "sendwizard/app/pages.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

namespace {

using wizard_test::RecordingProgress;

// Drives the real sheet through a job: one typed number, the destination page skipping to the
// preview, then Finish (once the image is made, or at once when hurry is set).
class SendingRunner : public ISheetRunner {
public:
    SendingRunner(IPrompter& prompter, std::function<void(CPSMainui&)> check, bool hurry = false,
                  std::function<void(CPSMainui&)> first = {})
        : m_Prompter(prompter), m_Check(check), m_bHurry(hurry), m_First(std::move(first))
    {
    }
    int Run(CPSMainuiLogic& sheet, platform::Endpoint*) override
    {
        sheet.m_nModelType = 0;
        sheet.m_strPrinter = "Fax"; // the device list names no printer here
        sheet.AddDestination({"0123 456", "", kDestinationFax, 0, "", "", 0});
        sheet.m_bSkip = 1;
        RecordingProgress progress;
        CPSMainui wizard(sheet, m_Prompter, {}, nullptr, &progress);
        wizard.show();
        if (m_First)
            m_First(wizard);
        while (wizard.currentId() != IDD_PREVIEW)
            wizard.next();
        if (!m_bHurry) {
            EXPECT_TRUE(WaitFor([&] { return sheet.m_bChanged == 0; })) << "the image is made once the page shows";
        }
        m_Check(wizard);
        wizard.button(QWizard::FinishButton)->click();
        EXPECT_FALSE(wizard.isVisible()) << "Finish closes the sheet";
        return wizard.result();
    }
    IPrompter& m_Prompter;
    std::function<void(CPSMainui&)> m_Check;
    bool m_bHurry;
    std::function<void(CPSMainui&)> m_First; ///< done on the first page
};

class WizardPages : public WizardStart {
protected:
    void SetUp() override
    {
        WizardStart::SetUp();
        platform::com::initializeThread();
        ASSERT_NO_FATAL_FAILURE(wizard_test::RegisterJobServers());
        jobtest::writeFaxTiff(work, 3, 400);
    }
    std::vector<std::string> FaxFiles()
    {
        return platform::listFiles(*platform::knownFolder(platform::KnownFolder::Temp), "FAX*");
    }
};

TEST_F(WizardPages, AThreePageJobGoesOutOnFinishAndLeavesNoFiles)
{
    ScriptedPrompter prompter;
    SendingRunner runner(prompter, [](CPSMainui& wizard) {
        auto* preview = qobject_cast<CPPPreview*>(wizard.currentPage());
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->Logic().GetPageCount(), 3);
        auto* spin = preview->findChild<QSpinBox*>("id1041");
        spin->setValue(3);
        EXPECT_EQ(preview->Logic().GetPageNumber(), 3);
        spin->setValue(4);
        EXPECT_EQ(preview->Logic().GetPageNumber(), 3) << "no page 4";
        EXPECT_EQ(preview->findChild<QLineEdit*>("id1044")->text(), "3 / 3") << "the page once, and the page count";
        EXPECT_TRUE(wizard.button(QWizard::FinishButton)->isVisible());
        // Back with the skip flag set returns to the first page, and forward makes no new image.
        wizard.button(QWizard::BackButton)->click();
        EXPECT_EQ(wizard.currentId(), IDD_SELECT_DESTINATION);
        while (wizard.currentId() != IDD_PREVIEW)
            wizard.next();
        QCoreApplication::processEvents();
        EXPECT_EQ(preview->Logic().GetPageCount(), 3);
    });
    EXPECT_EQ(RunSendWizard({work}, prompter, runner), 0);
    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_TRUE(documents[0].ended);
    platform::com::Ptr<IQeltaLogTool> log;
    ASSERT_EQ(platform::com::createInstance(CLSID_QeltaLogTool, CLSCTX_INPROC_SERVER, log), S_OK);
    int32_t count = 0;
    ASSERT_EQ(log->GetLogCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(platform::pathExists(work));
    EXPECT_EQ(FaxFiles(), std::vector<std::string>{});
}

// Enter in the page's boxes shows the page and sends nothing (only Finish sends), and a page turned
// to starts at its top whatever the previous one was scrolled to.
TEST_F(WizardPages, EnterOnThePreviewShowsThePageAndATurnedPageStartsAtItsTop)
{
    ScriptedPrompter prompter;
    SendingRunner runner(prompter, [](CPSMainui& wizard) {
        auto* preview = qobject_cast<CPPPreview*>(wizard.currentPage());
        ASSERT_TRUE(preview);
        auto* display = preview->findChild<CIkDisp*>("id1039");
        preview->findChild<QRadioButton*>("id1048")->click(); // Actual Size: the page scrolls
        preview->findChild<QSpinBox*>("id1041")->setValue(2);
        QCoreApplication::processEvents();
        display->verticalScrollBar()->setValue(display->verticalScrollBar()->maximum());
        display->horizontalScrollBar()->setValue(display->horizontalScrollBar()->maximum());
        ASSERT_GT(display->ScrollPosition().y(), 0) << "the page is taller than the view";
        for (const char* box : {"id1044", "id1050", "id1048"}) {
            auto* control = preview->findChild<QWidget*>(box);
            control->setFocus();
            QTest::keyClicks(control, "3");
            QTest::keyClick(control, Qt::Key_Return);
            QTest::keyClick(control, Qt::Key_Enter);
            EXPECT_TRUE(wizard.isVisible()) << box << ": Enter sends nothing";
            EXPECT_EQ(wizard.currentId(), IDD_PREVIEW) << box;
        }
        EXPECT_EQ(preview->Logic().GetPageNumber(), 2);
        preview->findChild<QSpinBox*>("id1041")->setValue(3);
        QCoreApplication::processEvents();
        EXPECT_EQ(preview->Logic().GetPageNumber(), 3);
        EXPECT_EQ(display->ScrollPosition(), QPoint(0, 0)) << "page 3 starts at its top";
        EXPECT_GT(display->verticalScrollBar()->maximum(), 0);

        // A page number typed in its box turns to that page with Enter or when the box is left;
        // no number, or one outside the pages, gets the page shown back.
        auto* number = preview->findChild<QLineEdit*>("id1044");
        EXPECT_FALSE(number->isReadOnly());
        const struct {
            const char* typed;
            bool enter;
            int page;
        } typed[] = {{"1", true, 1}, {"9", true, 1}, {"x", true, 1}, {"0", true, 1},
                     {" 2 / 3", true, 2}, {"-3", true, 2}, {"3", false, 3}};
        for (const auto& t : typed) {
            SCOPED_TRACE(t.typed);
            number->setFocus();
            number->selectAll();
            QTest::keyClicks(number, t.typed);
            if (t.enter)
                QTest::keyClick(number, Qt::Key_Return);
            else
                preview->findChild<QWidget*>("id1048")->setFocus();
            QCoreApplication::processEvents();
            EXPECT_EQ(preview->Logic().GetPageNumber(), t.page);
            EXPECT_EQ(number->text().toStdString(), std::to_string(t.page) + " / 3");
            EXPECT_TRUE(wizard.isVisible()) << "Enter sends nothing";
            EXPECT_EQ(wizard.currentId(), IDD_PREVIEW);
        }
    });
    EXPECT_EQ(RunSendWizard({work}, prompter, runner), 0);
    EXPECT_EQ(spooler->documents().size(), 1u) << "Finish alone sent the job, once";
}

TEST_F(WizardPages, ANumberTypedButNotAddedGoesOutWithTheListedOne)
{
    ScriptedPrompter prompter;
    SendingRunner runner(prompter, [](CPSMainui&) {}, false, [](CPSMainui& wizard) {
        QTest::keyClicks(wizard.findChild<QLineEdit*>("id1008"), "999"); // typed, and Next pressed at once
    });
    EXPECT_EQ(RunSendWizard({work}, prompter, runner), 0);
    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), 1u) << "one broadcast to both";
    std::string stream;
    for (const std::string& bytes : documents[0].pages)
        stream += bytes;
    EXPECT_NE(stream.find("0123 456;"), std::string::npos);
    EXPECT_NE(stream.find("999;"), std::string::npos) << "the typed number is sent too";
    EXPECT_NE(stream.find("@PJL SET FAXMEMORYBOXCOUNT=2"), std::string::npos);
}

TEST_F(WizardPages, FinishBeforeTheImageIsMadeMakesItFirstAndSendsIt)
{
    ScriptedPrompter prompter;
    SendingRunner runner(prompter, [](CPSMainui& wizard) {
        auto* preview = qobject_cast<CPPPreview*>(wizard.currentPage());
        ASSERT_TRUE(preview);
        EXPECT_EQ(preview->Logic().GetPageCount(), 0) << "no image yet";
    }, true);
    EXPECT_EQ(RunSendWizard({work}, prompter, runner), 0);
    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_TRUE(documents[0].ended);
    ASSERT_FALSE(documents[0].pages.empty());
    EXPECT_GT(documents[0].pages[0].size(), 4096u) << "the stream carries the image";
}

TEST_F(WizardPages, ARefusedJobSaysSoAndLogsTheFlush)
{
    spooler->failAt(platform::RecordingSpooler::Step::Open, 2); // the registration's check passes
    ScriptedPrompter prompter;
    const std::string reason =
        "the print queue \"Fax\" cannot be opened (no such queue, or the print server cannot be reached)";
    SendingRunner runner(prompter, [&](CPSMainui&) {
        prompter.expected = {"Unknown System Error. Please re install Qelta Driver.\n" + reason};
    });
    EXPECT_EQ(RunSendWizard({work}, prompter, runner), 1) << "the failure is the program's result too";
    EXPECT_TRUE(spooler->documents().empty());
    CPSMainuiLogic sheet;
    EXPECT_EQ(qelta::test::readTextFile(sheet.GetJobFolder() + kSendJobLog),
              "FAILED - SendJobData2\nNOT SENT - 0123 456\nKEPT - " + work + "\nREASON - " + reason + "\n")
        << qelta::test::readTextFile(sheet.GetJobFolder() + kSendJobDataLog);
    EXPECT_TRUE(platform::pathExists(work)) << "the fax did not go out: its pages stay";
    EXPECT_EQ(FaxFiles(), std::vector<std::string>{});
}

// Runs the real sheet through a test's own steps.
class StepsRunner : public ISheetRunner {
public:
    explicit StepsRunner(std::function<int(CPSMainuiLogic&)> steps) : m_Steps(std::move(steps)) {}
    int Run(CPSMainuiLogic& sheet, platform::Endpoint*) override { return m_Steps(sheet); }

private:
    std::function<int(CPSMainuiLogic&)> m_Steps;
};

// The sheet's buttons reached from the event loop of the dialog behind which the image is being
// made, as a button's shortcut pressed just before that dialog showed clicks it: no second worker
// starts inside the first, Finish waits for the image and sends it, Back and Cancel are not taken.
TEST_F(WizardPages, ButtonsClickedWhileTheImageIsMadeStartNoSecondWorker)
{
    const struct {
        const char* name;
        QWizard::WizardButton button;
    } cases[] = {
        {"Finish", QWizard::FinishButton},
        {"Back", QWizard::BackButton},
        {"Cancel", QWizard::CancelButton},
    };
    for (const auto& c : cases) {
        jobtest::writeFaxTiff(work, 3, 400);
        const size_t sentBefore = spooler->documents().size();
        ScriptedPrompter prompter;
        bool duringImage = false, closedByRequest = false;
        StepsRunner runner([&](CPSMainuiLogic& sheet) {
            sheet.m_nModelType = 0;
            sheet.m_strPrinter = "Fax";
            sheet.AddDestination({"0123 456", "", kDestinationFax, 0, "", "", 0});
            sheet.m_bSkip = 1;
            CPSMainui wizard(sheet, prompter); // the real progress dialogs
            wizard.show();
            while (wizard.currentId() != IDD_PREVIEW)
                wizard.next();
            // Queued behind the page's own start of the image.
            QTimer::singleShot(0, &wizard, [&] {
                duringImage = qobject_cast<CDProgress*>(QApplication::activeModalWidget()) != nullptr;
                wizard.button(c.button)->click();
            });
            QElapsedTimer timer;
            timer.start();
            auto* preview = qobject_cast<CPPPreview*>(wizard.currentPage());
            while (wizard.isVisible() && (preview->Logic().GetPageCount() == 0 || wizard.StepRunning())
                   && timer.elapsed() < 20000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            EXPECT_TRUE(c.button != QWizard::FinishButton || WaitFor([&] { return !wizard.isVisible(); }))
                << "Finish sends once the image is made";
            closedByRequest = !wizard.isVisible();
            if (wizard.isVisible()) {
                EXPECT_EQ(wizard.currentId(), IDD_PREVIEW) << c.name;
                EXPECT_EQ(preview->Logic().GetPageCount(), 3) << c.name;
                wizard.button(QWizard::FinishButton)->click();
            }
            EXPECT_FALSE(wizard.isVisible()) << c.name;
            return wizard.result();
        });
        EXPECT_EQ(RunSendWizard({work}, prompter, runner), 0) << c.name;
        EXPECT_TRUE(duringImage) << c.name;
        EXPECT_EQ(closedByRequest, c.button == QWizard::FinishButton) << c.name;
        const auto documents = spooler->documents();
        ASSERT_EQ(documents.size(), sentBefore + 1) << c.name << ": the job goes out once";
        EXPECT_TRUE(documents.back().ended) << c.name;
        EXPECT_FALSE(documents.back().pages.empty()) << c.name;
    }
}

TEST_F(WizardPages, AFailedImageLeavesOnlyFinishWhichSendsNothing)
{
    // What the page shows behind the failure's box, and after it: no pages, and no Zoom.
    struct LookingPrompter : ScriptedPrompter {
        int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override
        {
            if (look)
                look();
            return ScriptedPrompter::MessageBox(strText, strCaption, nFlags);
        }
        std::function<void()> look;
    } prompter;
    std::vector<std::string> looks;
    StepsRunner runner([&](CPSMainuiLogic& sheet) {
        sheet.m_nModelType = 0;
        sheet.m_strPrinter = "Fax";
        sheet.AddDestination({"0123", "", kDestinationFax, 0, "", "", 0});
        sheet.m_bSkip = 1;
        RecordingProgress progress;
        CPSMainui wizard(sheet, prompter, {}, nullptr, &progress);
        // A cover chosen on the cover page whose file was removed since.
        sheet.m_bAttachCover = 1;
        sheet.m_strCoverPath = root.path() + "/removed/Sales.TQC";
        wizard.show();
        prompter.expected = {"Unknown System Error. Please re install Qelta Driver.\nthe cover sheet "
                             + sheet.m_strCoverPath + " cannot be drawn"};
        const auto look = [&] {
            looks.push_back(wizard.findChild<QLineEdit*>("id1044")->text().toStdString() + "|"
                            + (wizard.findChild<QPushButton*>("id1051")->isEnabled() ? "zoom" : "no zoom"));
        };
        prompter.look = look;
        while (wizard.currentId() != IDD_PREVIEW)
            wizard.next();
        EXPECT_TRUE(WaitFor([&] { return prompter.expected.empty(); }));
        QCoreApplication::processEvents();
        look();
        prompter.look = nullptr;
        EXPECT_EQ(looks, (std::vector<std::string>{"|no zoom", "|no zoom"}));
        // Back would lead to a job the failed image never stood for.
        EXPECT_FALSE(wizard.button(QWizard::BackButton)->isEnabled());
        wizard.button(QWizard::BackButton)->click();
        EXPECT_EQ(wizard.currentId(), IDD_PREVIEW);
        EXPECT_TRUE(wizard.button(QWizard::FinishButton)->isEnabled());
        wizard.button(QWizard::FinishButton)->click();
        EXPECT_FALSE(wizard.isVisible());
        return wizard.result();
    });
    EXPECT_EQ(RunSendWizard({work}, prompter, runner), 1) << "nothing was sent";
    EXPECT_TRUE(spooler->documents().empty());
    EXPECT_TRUE(platform::pathExists(work)) << "no destination got the fax: its pages stay";
}

TEST_F(WizardPages, CoverPageControlsFollowTheAttachBoxAndItsNotices)
{
    const std::string covers = root.path() + "/covers/";
    for (const char* name : {"Alpha.TQC", "Beta.TQC"})
        qelta::test::writeTextFile(covers + name, "[TQLCVR]\r\nFrames=0\r\nLang=0\r\n");
    CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "CvrFile", covers);
    CPSMainuiLogic logic;
    ScriptedPrompter prompter;
    RecordingProgress progress;
    CPSMainui wizard(logic, prompter, {}, nullptr, &progress);
    const auto host = platform::Endpoint::create(kHostClassName, kHostTitle);
    ASSERT_TRUE(host);
    new CWizardHostWnd(*host, wizard);
    wizard.show();
    LeaveDestinationPage(wizard);
    auto* page = qobject_cast<CPPSelectCover*>(wizard.currentPage());
    ASSERT_TRUE(page);
    for (int id : kCoverControls) {
        auto* control = page->findChild<QWidget*>(QStringLiteral("id%1").arg(id));
        ASSERT_TRUE(control) << id;
        EXPECT_FALSE(control->isEnabled()) << id;
    }
    auto* attach = page->findChild<QCheckBox*>("id1034");
    attach->click();
    for (int id : kCoverControls)
        EXPECT_TRUE(page->findChild<QWidget*>(QStringLiteral("id%1").arg(id))->isEnabled()) << id;
    auto* list = page->findChild<QListWidget*>("id1027");
    ASSERT_EQ(list->count(), 2);
    list->setCurrentRow(1);
    EXPECT_EQ(logic.m_strCoverPath, covers + "Beta.TQC");

    // The editor saved a new sheet from another process: the list grows, Beta stays selected.
    qelta::test::writeTextFile(covers + "Aardvark.TQC", "[TQLCVR]\r\nFrames=0\r\nLang=0\r\n");
    ASSERT_EQ(PostFromAnotherProcess({{1124, 1, 1815}}), 0);
    ASSERT_TRUE(WaitFor([&] { return list->count() == 3; }));
    EXPECT_EQ(list->currentItem()->text(), "Beta.TQC");
    EXPECT_EQ(logic.m_strCoverPath, covers + "Beta.TQC");

    // Attached with no cover chosen (an empty folder): Next shows why and stays on the page.
    CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "CvrFile", root.path() + "/none/");
    CPSMainuiLogic empty;
    CPSMainui other(empty, prompter, {}, nullptr, &progress);
    other.show();
    LeaveDestinationPage(other);
    other.currentPage()->findChild<QCheckBox*>("id1034")->click();
    prompter.expected = {"No cover sheet was selected. Please select the cover sheet."};
    other.next();
    EXPECT_EQ(other.currentId(), IDD_SELECT_COVER);
    // Cancel asks; No keeps the sheet, Yes closes it.
    prompter.expected = {"Quit or not?", "Quit or not?"};
    prompter.answers = {IDNO, IDYES};
    other.button(QWizard::CancelButton)->click();
    EXPECT_TRUE(other.isVisible());
    other.button(QWizard::CancelButton)->click();
    EXPECT_FALSE(other.isVisible());
    EXPECT_TRUE(prompter.expected.empty());
}

} // namespace

namespace {

// Answers the quit question with a given button and counts it.
struct QuitPrompter : IPrompter {
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override
    {
        EXPECT_EQ(strText, "Quit or not?");
        EXPECT_EQ(strCaption, "Qelta Driver");
        EXPECT_EQ(nFlags, unsigned{MB_YESNO | MB_ICONQUESTION});
        ++asked;
        return answer;
    }
    int answer = IDNO, asked = 0;
};

TEST_F(WizardStart, SelectDestinationAddsATypedNumberAndRefusesAnEmptyNext)
{
    CPSMainuiLogic logic;
    ScriptedPrompter prompter;
    CPSMainui wizard(logic, prompter);
    wizard.show();
    auto* list = wizard.findChild<QTreeWidget*>("id1018");
    ASSERT_TRUE(list);
    EXPECT_FALSE(wizard.findChild<QWidget*>("id1021")->isVisible()); // no I-FAX on model type 99
    EXPECT_FALSE(wizard.button(QWizard::BackButton)->isEnabled());

    prompter.expected = {"The destination address does not reserved. Please add destination address."};
    wizard.next();
    EXPECT_EQ(wizard.currentId(), IDD_SELECT_DESTINATION);
    EXPECT_TRUE(prompter.expected.empty());

    QTest::keyClicks(wizard.findChild<QLineEdit*>("id1008"), "0123");
    QTest::mouseClick(wizard.findChild<QPushButton*>("id1015"), Qt::LeftButton);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "0123");
    EXPECT_TRUE(wizard.findChild<QLineEdit*>("id1008")->text().isEmpty());
    ASSERT_EQ(logic.m_Destinations.size(), 1u);

    // Skip is checked: Next goes straight to the preview.
    wizard.next();
    EXPECT_EQ(wizard.currentId(), IDD_PREVIEW);
    EXPECT_EQ(logic.m_bSkip, 1);
}

TEST_F(WizardStart, SelectDestinationShowsItsTextsFromTheLanguageModule)
{
    CPSMainuiLogic logic;
    logic.m_nModelType = 3; // every control, the I-FAX ones included
    ScriptedPrompter prompter;
    CPSMainui wizard(logic, prompter);
    QWidget* page = wizard.PageOf(IDD_SELECT_DESTINATION);
    const std::pair<int, const char*> texts[] = {
        {1007, "FA&X Number:"}, {1061, "&FAX Number:"}, {1062, "&I-FAX Address:"}, {1013, "&Use F-Code"},
        {1009, "S&UB Address:"}, {1011, "P&ASS-Code:"}, {1096, "R&eception Confirm"}, {1015, "&Add"},
        {1020, "&Delete"}, {1016, "De&lete All"}, {1060, "&Phonebook..."},
        {1117, "S&kip set-up and use default settings."},
    };
    for (const auto& [id, text] : texts) {
        QWidget* control = page->findChild<QWidget*>(QStringLiteral("id%1").arg(id));
        ASSERT_TRUE(control) << id;
        EXPECT_EQ(ControlText(IDD_SELECT_DESTINATION, id), text) << id;
        if (auto* label = qobject_cast<QLabel*>(control))
            EXPECT_EQ(label->text().toStdString(), text) << id;
        else
            EXPECT_EQ(qobject_cast<QAbstractButton*>(control)->text().toStdString(), text) << id;
    }
    auto* list = page->findChild<QTreeWidget*>("id1018");
    for (int column = 0; column < 5; ++column)
        EXPECT_EQ(list->headerItem()->text(column).toStdString(), WizardString(310 + static_cast<uint32_t>(column)));
}

TEST_F(WizardStart, EscapeAsksBeforeTheSheetCloses)
{
    CPSMainuiLogic logic;
    QuitPrompter prompter;
    CPSMainui wizard(logic, prompter);
    wizard.show();
    QTest::keyClick(&wizard, Qt::Key_Escape);
    EXPECT_TRUE(wizard.isVisible());
    prompter.answer = IDYES;
    QTest::mouseClick(wizard.button(QWizard::CancelButton), Qt::LeftButton);
    EXPECT_FALSE(wizard.isVisible());
    EXPECT_EQ(wizard.result(), QDialog::Rejected);
    EXPECT_EQ(prompter.asked, 2);
}

} // namespace

namespace {

TEST_F(WizardStart, ThePrinterNameEntryRefusesAnEmptyText)
{
    ScriptedPrompter prompter;
    CDPrinterName dialog(prompter);
    dialog.show();
    // Its caption and label come from the language module.
    EXPECT_EQ(ControlText(IDD_PRINTER_NAME, 0), "Enter the Printer Name or IP address.");
    EXPECT_EQ(dialog.windowTitle().toStdString(), ControlText(IDD_PRINTER_NAME, 0));
    ASSERT_TRUE(dialog.findChild<QLabel*>());
    EXPECT_EQ(dialog.findChild<QLabel*>()->text().toStdString(), ControlText(IDD_PRINTER_NAME, IDC_PRINTER_NAME));
    prompter.expected = {"The printer name or ip address do not reserved. Please add printer name or ip address."};
    QTest::mouseClick(dialog.findChild<QPushButton*>("id1"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(prompter.expected.empty());
    QTest::keyClicks(dialog.findChild<QLineEdit*>("id1113"), "mfp-3.example");
    QTest::mouseClick(dialog.findChild<QPushButton*>("id1"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Text(), "mfp-3.example");
}

} // namespace

// ---- the Set Job Parameter page offscreen ----

#include "sendwizard/app/set_params_page.h"

namespace {

TEST_F(WizardStart, SetJobParameterFilesIntoAProtectedFolderAndRefusesAShortPassCode)
{
    CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteDword(kProductSubkey, "EnablePCHeader", 1);
    CPSMainuiLogic logic;
    logic.m_nModelType = 3;
    logic.m_nXResolution = 200;
    logic.m_strCompression = "MR";
    logic.m_strPortName = "usb://Qelta/MFP?serial=1";
    CFilingFolder main{"Main Folder", 0, 0, 0, 0, kFolderMain}, locked{"Locked", 5, 0, 0, 1, kFolderListed};
    ASSERT_TRUE(WriteFolderInfo(logic.GetJobFolder() + "folder.info", logic.m_strPortName, {main, locked}));
    ScriptedPrompter prompter;
    CPSMainui wizard(logic, prompter);
    wizard.show();
    LeaveDestinationPage(wizard);
    // The page's own message selects the compression once it is up: model 3 refuses "MR".
    prompter.expected = {WizardString(IDS_NO_MR)};
    wizard.next();
    auto* page = qobject_cast<CPPSetParams*>(wizard.currentPage());
    ASSERT_TRUE(page);
    EXPECT_TRUE(WaitFor([&] { return prompter.expected.empty(); }));
    EXPECT_EQ(page->findChild<QComboBox*>("id1077")->currentIndex(), 0);

    auto* text = page->findChild<QLineEdit*>("id1079");
    EXPECT_FALSE(text->isEnabled());
    page->findChild<QCheckBox*>("id1070")->click();
    EXPECT_TRUE(text->isEnabled());
    page->findChild<QPushButton*>("id1100")->click();
    EXPECT_EQ(text->text(), " $USER ");
    EXPECT_EQ(text->cursorPosition(), 7);

    auto* list = page->findChild<QTreeWidget*>("id1081");
    auto* pass = page->findChild<QLineEdit*>("id1085");
    EXPECT_FALSE(list->isEnabled());
    page->findChild<QCheckBox*>("id1084")->click();
    EXPECT_TRUE(list->isEnabled());
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_FALSE(pass->isEnabled()) << "the main folder has no pass code";
    list->setCurrentItem(list->topLevelItem(1));
    EXPECT_TRUE(pass->isEnabled());

    QTest::keyClicks(pass, "123");
    prompter.expected = {WizardString(IDS_BAD_FOLDER_PASSCODE)};
    EXPECT_FALSE(page->validatePage());
    EXPECT_EQ(pass->text(), "");
    QTest::keyClicks(pass, "12345");
    ASSERT_TRUE(page->validatePage());
    const CJobParameters& job = logic.m_JobParameters;
    EXPECT_EQ(job.m_strFolderName, "Locked");
    EXPECT_EQ(job.m_strFolderPassword, "12345");
    EXPECT_EQ(job.m_strHeaderText, " $USER ");
    EXPECT_EQ(job.m_bFiling, 1);
    wizard.QDialog::reject();
}

TEST_F(WizardStart, UpdateFoldersBusyDialogEndsWithTheWorkersFailureCode)
{
    const struct {
        const char* name;
        std::function<int()> worker;
        int result;
    } cases[] = {
        {"success", [] { return 0; }, 0},
        {"failure", [] { return 999; }, 999},
        {"a throwing worker fails", []() -> int { throw std::runtime_error("lost"); }, 999},
    };
    CQtDiscoverRunner runner;
    for (const auto& c : cases)
        EXPECT_EQ(runner.Run("Updating Folder List...", "Updating...", 0, 0, c.worker), c.result) << c.name;
}

} // namespace

namespace {

// The program's progress display: the workers' reports reach the shared progress dialog as posts
// from the worker's thread, and the dialog's result code is the answer.
TEST(ProgressRunner, WorkersReportThroughTheProgressDialog)
{
    qelta::test::ScopedStateRoot root;
    struct Case {
        const char* name;
        IProgressRunner::Worker worker;
        int nResult, nPosition;
    };
    const Case cases[] = {
        {"Sending Job Data",
         [](IProgressSink& sink) {
             for (int percent : {16, 33, 49, 66, 82, 100})
                 sink.Progress(percent);
             return 1;
         },
         0, 100},
        // A fresh dialog each run: the bar starts at 0 again.
        {"a failure closes at once",
         [](IProgressSink& sink) {
             sink.Progress(40);
             sink.Fail(kWorkerFailure);
             sink.Progress(90);
             return 0;
         },
         kWorkerFailure, 40},
        // Far more posts than a socket queue holds: none is lost, the failure least of all.
        {"a failure behind a flood of reports",
         [](IProgressSink& sink) {
             for (int i = 0; i < 300; ++i)
                 sink.Progress(i % 101);
             sink.Fail(7);
             return 0;
         },
         7, 97},
        // The thread's own end post may find the queue full; the dialog closes all the same.
        {"a flood of reports, then the end",
         [](IProgressSink& sink) {
             for (int i = 0; i < 300; ++i)
                 sink.Progress(i % 101);
             return 1;
         },
         0, 97},
        {"a throwing worker",
         [](IProgressSink& sink) -> int {
             sink.Progress(5);
             throw std::runtime_error("lost");
         },
         kWorkerFailure, 5},
        {"a worker without reports", [](IProgressSink&) { return 0; }, 0, 0},
    };
    QWidget owner;
    CQtProgressRunner runner(&owner);
    EXPECT_EQ(runner.LastDialog(), nullptr);
    for (const Case& c : cases) {
        std::thread::id worker;
        const int result = runner.Run(c.name, [&](IProgressSink& sink) {
            worker = std::this_thread::get_id();
            return c.worker(sink);
        });
        EXPECT_EQ(result, c.nResult) << c.name;
        const CDProgress* dialog = runner.LastDialog();
        ASSERT_TRUE(dialog) << c.name;
        EXPECT_EQ(dialog->Position(), c.nPosition) << c.name;
        EXPECT_EQ(dialog->windowTitle().toStdString(), c.name);
        EXPECT_EQ(dialog->parentWidget(), &owner);
        EXPECT_FALSE(dialog->isVisible()) << c.name;
        EXPECT_TRUE(dialog->findChild<QPushButton*>("id2")->isHidden()) << "no Cancel: " << c.name;
        EXPECT_NE(worker, std::this_thread::get_id()) << c.name;
    }
}

// A run started from the event loop of a running dialog, as the sheet's event loop would start one:
// each run keeps its own dialog until it returns, and each answer is its own worker's.
TEST(ProgressRunner, ARunStartedInsideAnotherLeavesTheRunningDialogAlone)
{
    QWidget owner;
    CQtProgressRunner runner(&owner);
    std::atomic<bool> innerEnded{false};
    int inner = -1;
    const CDProgress* innerDialog = nullptr;
    QTimer::singleShot(0, &owner, [&] {
        inner = runner.Run("inner", [](IProgressSink& sink) {
            sink.Progress(30);
            sink.Fail(5);
            return 0;
        });
        innerDialog = runner.LastDialog();
        innerEnded = true;
    });
    const int outer = runner.Run("outer", [&](IProgressSink& sink) {
        // Still running while the inner run comes and goes (not forever should it never come).
        for (int i = 0; i < 5000 && !innerEnded; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sink.Progress(60);
        sink.Fail(innerEnded ? 8 : 1);
        return 0;
    });
    EXPECT_EQ(inner, 5);
    EXPECT_EQ(outer, 8);
    ASSERT_TRUE(innerDialog);
    const CDProgress* last = runner.LastDialog();
    ASSERT_TRUE(last);
    EXPECT_NE(last, innerDialog);
    EXPECT_EQ(last->windowTitle().toStdString(), "outer");
    EXPECT_EQ(last->Position(), 60);
    EXPECT_EQ(owner.findChildren<CDProgress*>().size(), 1u) << "the ended dialogs are not kept";
}

} // namespace
