// The README's trial run, offscreen: the same set-up as its script, then the wizard's start-up and
// the real sheet run modally as the program runs it, driven from the first page to the job stream
// that the "FileOutput" setting receives while the print system has no queue for the printer.
#include "imaging/tests/tiff_pages_support.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "platform/process.h"
#include "resultmonitor/tests/monitor_process.h"
#include "sample/notice_sender.h"
#include "sample/sample_run.h"
#include "sendwizard/app/main_sheet.h"
#include "sendwizard/app/pages.h"
#include "sendwizard/tests/wizard_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Processes events until done() holds or the time is up.
template <typename Done>
bool WaitFor(Done done, int nMilliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < nMilliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// What a user does once the sheet is up: one typed number, Next (the skip box is checked, so the
// preview follows; beforePreview runs just before it), Finish once the preview is made or has
// failed. Runs inside the sheet's own modal loop.
void DriveTheSheet(const std::function<void()>& beforePreview)
{
    auto* wizard = qobject_cast<CPSMainui*>(QApplication::activeModalWidget());
    ASSERT_TRUE(wizard) << "the sheet is not up";
    ASSERT_EQ(wizard->currentId(), IDD_SELECT_DESTINATION);
    // The page takes typing once the print system has told what the printer is.
    ASSERT_TRUE(WaitFor([&] { return wizard->currentPage()->isEnabled(); }, 20000)) << "the printer is not known";
    ASSERT_TRUE(wizard->findChild<QCheckBox*>("id1117")->isChecked()) << "the skip box starts checked";
    QTest::keyClicks(wizard->findChild<QLineEdit*>("id1008"), "0123456");
    QTest::mouseClick(wizard->findChild<QPushButton*>("id1015"), Qt::LeftButton);
    if (beforePreview)
        beforePreview();
    wizard->next();
    ASSERT_EQ(wizard->currentId(), IDD_PREVIEW);
    auto* preview = qobject_cast<CPPPreview*>(wizard->currentPage());
    ASSERT_TRUE(preview);
    ASSERT_TRUE(WaitFor([&] { return preview->Logic().GetPageCount() == kSamplePages || preview->Logic().HasFailed(); },
                        60000))
        << "no preview";
    QAbstractButton* finish = wizard->button(QWizard::FinishButton);
    ASSERT_TRUE(finish->isVisible() && finish->isEnabled());
    QTest::mouseClick(finish, Qt::LeftButton);
}

// Starts the wizard as the trial run does and drives it to Finish; fails the test when the sheet
// had to be closed, a message box other than boxes appeared, or the program's result is not result.
void SendTheSampleFax(const CSampleRun& run, const std::vector<std::string>& boxes = {}, int result = 0,
                      const std::function<void()>& beforePreview = {})
{
    const auto& args = run.m_Args;
    wizard_test::ScriptedPrompter prompter;
    prompter.expected = boxes;
    CQtSheetRunner runner(prompter);
    bool driven = false;
    QTimer::singleShot(0, [&] {
        DriveTheSheet(beforePreview);
        driven = !::testing::Test::HasFatalFailure();
        if (!driven)
            if (auto* wizard = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                wizard->done(QDialog::Rejected);
    });
    // Whatever happens, the sheet and its progress displays do not stay open.
    bool timedOut = false;
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        guard.setInterval(200);
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->done(QDialog::Rejected);
    });
    guard.start(120000);
    EXPECT_EQ(RunSendWizard(args, prompter, runner), result);
    guard.stop();
    ASSERT_FALSE(timedOut) << "the sheet had to be closed";
    ASSERT_TRUE(driven);
}

TEST(MainJob, TheTrialRunSendsTheSampleFaxToTheStreamFileAndTheLog)
{
    qelta::test::ScopedStateRoot root;
    // The print system knows no queue of the wizard's printer.
    const auto spooler = platform::RecordingSpooler::install("Another Printer");
    std::string error;
    const auto run = PrepareSampleRun(error);
    ASSERT_TRUE(run) << error;
    ASSERT_EQ(imaging_test::readTiff(run->m_strWorkFile).size(), static_cast<size_t>(kSamplePages));

    ASSERT_NO_FATAL_FAILURE(SendTheSampleFax(*run));

    const CSampleResults results = FindSampleResults(*run);
    ASSERT_EQ(results.m_StreamFiles, std::vector<std::string>{run->m_strStreamFile});
    EXPECT_TRUE(results.m_FailureLogs.empty());
    std::string stream;
    ASSERT_EQ(platform::readFile(run->m_strStreamFile, stream, 1 << 26), platform::ReadStatus::Ok);
    EXPECT_TRUE(stream.starts_with("\x1B%-12345X@PJL")) << stream.substr(0, 40);
    EXPECT_NE(stream.find("@PJL SET JOBNAME=\"Sample fax\""), std::string::npos);
    // The fax image ends the stream, before the closing lines: the sample's pages, each its own.
    const std::string trailer = "\x1B%-12345X@PJL EOJ\r\n\x1B%-12345X";
    const size_t sizeAt = stream.find("@PJL SET FAXIMAGESIZE=");
    ASSERT_NE(sizeAt, std::string::npos);
    const size_t imageSize = std::stoul(stream.substr(sizeAt + 22));
    ASSERT_TRUE(stream.ends_with(trailer));
    ASSERT_LE(imageSize + trailer.size(), stream.size());
    const std::string image = root.path() + "/sent.tif";
    qelta::test::writeTextFile(image, stream.substr(stream.size() - trailer.size() - imageSize, imageSize));
    const auto pages = imaging_test::readTiff(image);
    ASSERT_EQ(pages.size(), static_cast<size_t>(kSamplePages));
    EXPECT_FALSE(pages[0].bits == pages[1].bits) << "every page carries its own number";

    ASSERT_EQ(results.m_LogEntries.size(), 1u);
    EXPECT_TRUE(platform::pathExists(results.m_LogEntries[0] + "/desktop.xml")) << results.m_LogEntries[0];
    EXPECT_TRUE(spooler->documents().empty());
    EXPECT_FALSE(platform::pathExists(run->m_strWorkFile)) << "the work file stays behind";
    platform::setSpooler(nullptr);
}

// The trial run with the component servers' registrations emptied, all of them or the sending log's
// alone, or with the job builder's naming a library that is not there: the Preview or the Finish
// fails, the box and the failure log name the component and why it cannot be had, the program ends
// non-zero and the sample fax's pages stay. With the registrations the same walk sends.
TEST(MainJob, AWalkWhoseServersCannotBeHadKeepsThePagesAndNamesTheComponent)
{
    const std::string box = "Unknown System Error. Please re install Qelta Driver.\n";
    const struct {
        const char* name;
        std::vector<std::string> emptied; // registration keys removed after the set-up
        const char* library;              // the job builder's library as its registration names it
        const char* log;
        std::string reason;
    } cases[] = {
        {"every registration", {"*"}, nullptr, kCreateJobLog, "the component jobbuilder.QeltaJobTool is not registered"},
        {"the sending log's", {"CLSID\\" + platform::com::guidToString(CLSID_QeltaLogTool), kQeltaLogToolProgId},
         nullptr, kSendJobLog,
         "the job cannot be recorded in the sending log: the component sendlog.QeltaLogTool is not registered"},
        {"a library that is not there", {}, "/opt/qelta/lib/libjobbuilder-gone.so", kCreateJobLog,
         "the component jobbuilder.QeltaJobTool cannot be loaded: library not found in " + platform::libraryFolder()
             + ": libjobbuilder-gone.so"},
        {"none", {}, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qelta::test::ScopedStateRoot root;
        const auto spooler = platform::RecordingSpooler::install("Another Printer");
        std::string error;
        const auto run = PrepareSampleRun(error);
        ASSERT_TRUE(run) << error;
        for (const std::string& key : c.emptied) {
            std::vector<std::string> keys{key};
            platform::RegistryKey classes;
            if (key == "*") {
                ASSERT_EQ(platform::RegistryKey::open(platform::Hive::ClassesRoot, "", classes),
                          platform::RegStatus::Ok);
                ASSERT_EQ(classes.subKeys(keys), platform::RegStatus::Ok);
            }
            for (const std::string& name : keys)
                ASSERT_EQ(platform::deleteKeyTree(platform::Hive::ClassesRoot, name), platform::RegStatus::Ok) << name;
        }
        platform::RegistryKey server;
        if (c.library) {
            ASSERT_EQ(platform::RegistryKey::open(platform::Hive::ClassesRoot,
                                                  "CLSID\\" + platform::com::guidToString(CLSID_QeltaJobTool)
                                                      + "\\InprocServer32",
                                                  server),
                      platform::RegStatus::Ok);
            ASSERT_EQ(server.set("", platform::RegValue::string(c.library)), platform::RegStatus::Ok);
        }

        ::testing::internal::CaptureStderr();
        SendTheSampleFax(*run, c.log ? std::vector{box + c.reason} : std::vector<std::string>{}, c.log ? 1 : 0);
        const std::string said = ::testing::internal::GetCapturedStderr();
        ASSERT_FALSE(HasFatalFailure());
        const CSampleResults results = FindSampleResults(*run);
        if (!c.log) {
            EXPECT_EQ(results.m_StreamFiles, std::vector<std::string>{run->m_strStreamFile});
            EXPECT_TRUE(results.m_FailureLogs.empty());
            EXPECT_FALSE(platform::pathExists(run->m_strWorkFile)) << "the sent fax's pages stay behind";
            continue;
        }
        EXPECT_TRUE(results.m_StreamFiles.empty());
        EXPECT_TRUE(results.m_LogEntries.empty()) << "a fax that never left is in the sending log";
        EXPECT_TRUE(spooler->documents().empty());
        ASSERT_EQ(results.m_FailureLogs.size(), 1u);
        EXPECT_TRUE(results.m_FailureLogs[0].first.ends_with(c.log)) << results.m_FailureLogs[0].first;
        const std::string& text = results.m_FailureLogs[0].second;
        EXPECT_TRUE(text.ends_with("\nKEPT - " + run->m_strWorkFile + "\nREASON - " + c.reason + "\n")) << text;
        const std::string told =
            "sendwizard: " + c.reason + "\nsendwizard: the pages are kept in " + run->m_strWorkFile;
        EXPECT_NE(said.find(told + "\n"), std::string::npos) << said;
        ASSERT_TRUE(platform::pathExists(run->m_strWorkFile)) << "the pages were lost";
        EXPECT_EQ(imaging_test::readTiff(run->m_strWorkFile).size(), static_cast<size_t>(kSamplePages));
        platform::setSpooler(nullptr);
    }
    platform::setSpooler(nullptr);
}

// A page file whose name holds a line break and a "REASON - " of its own meets a failure that names
// it: the box, stderr and the failure log each tell the reason on one line, the name quoted with
// the break escaped, and only the log's own last line starts with "REASON - ".
TEST(MainJob, AReasonNamingAPageFileStaysOneLineWhateverTheNameHolds)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Another Printer");
    std::string error;
    auto run = PrepareSampleRun(error);
    ASSERT_TRUE(run) << error;
    const std::string folder = platform::parentPath(run->m_strWorkFile);
    const std::string named = platform::joinPath(folder, "page\nREASON - all fine.tif");
    ASSERT_EQ(::rename(run->m_strWorkFile.c_str(), named.c_str()), 0);
    run->m_strWorkFile = named;
    run->m_Args.back() = named;
    const std::string quoted = "\"" + folder + "/page\\nREASON - all fine.tif\"";
    const std::string reason = "page 1 of " + quoted + " cannot be read (it is missing or its coding is damaged)";
    const std::string aside = root.path() + "/pages-moved-aside.tif";

    ::testing::internal::CaptureStderr();
    // The pages go once the start has found them, before the preview reads them.
    SendTheSampleFax(*run, {"Unknown System Error. Please re install Qelta Driver.\n" + reason}, 1,
                     [&] { ASSERT_EQ(::rename(named.c_str(), aside.c_str()), 0); });
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_FALSE(HasFatalFailure());
    auto linesStartingWithReason = [](const std::string& text) {
        std::istringstream lines(text);
        int n = 0;
        for (std::string line; std::getline(lines, line);)
            n += line.starts_with("REASON - ") ? 1 : 0;
        return n;
    };
    EXPECT_NE(said.find("sendwizard: " + reason + "\nsendwizard: the pages are kept in " + quoted + "\n"),
              std::string::npos)
        << said;
    EXPECT_EQ(linesStartingWithReason(said), 0) << said;
    const CSampleResults results = FindSampleResults(*run);
    ASSERT_EQ(results.m_FailureLogs.size(), 1u);
    const std::string& log = results.m_FailureLogs[0].second;
    EXPECT_NE(log.find("\nKEPT - " + quoted + "\nREASON - " + reason), std::string::npos) << log;
    EXPECT_EQ(linesStartingWithReason(log), 1) << log;
    EXPECT_TRUE(results.m_StreamFiles.empty());
    EXPECT_EQ(imaging_test::readTiff(aside).size(), static_cast<size_t>(kSamplePages));
    platform::setSpooler(nullptr);
}

// The README's trial run with the result monitor running as a process of its own: the job carries
// the monitor's address, and the notice qelta-sample sends for it sets its log entry to finished.
TEST(MainJob, AJobSentWhileTheMonitorRunsIsReportedFinishedInTheLog)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Another Printer");
    std::string error;
    const auto run = PrepareSampleRun(error);
    ASSERT_TRUE(run) << error;
    monitor_test::MonitorProcess monitor;
    const int port = monitor.WaitUntilListening();
    ASSERT_NE(port, 0);

    ASSERT_NO_FATAL_FAILURE(SendTheSampleFax(*run));
    const auto job = NewestSampleJob(*run);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->m_strStreamFile, run->m_strStreamFile);
    EXPECT_EQ(job->m_strNotify, "127.0.0.1:" + std::to_string(port));
    const std::string cookie = job->m_strJobName + "-" + job->m_strSpoolTime;
    const auto sent = FindSampleLogEntry(cookie);
    ASSERT_TRUE(sent) << cookie;
    EXPECT_NE(sent->m_nStatus, 2);

    // The device's notice, as the README sends it.
    EXPECT_EQ(platform::runProgram(qelta::test::helperProgram("qelta-sample"), {"notice"}), 0);
    const auto finished = FindSampleLogEntry(cookie);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->m_strFolder, sent->m_strFolder);
    EXPECT_EQ(finished->m_nStatus, 2);
    // A notice for a job the log does not know changes nothing there.
    EXPECT_TRUE(SendNotice("127.0.0.1", port, BuildNoticeRecord(2, 0x1130, "Unknown", job->m_strSpoolTime, "P", "")));

    ::kill(monitor.Pid(), SIGTERM);
    EXPECT_EQ(monitor.WaitForEnd(), 0);
    EXPECT_EQ(monitor_test::ReadPublished(), monitor_test::kCleared);
    platform::setSpooler(nullptr);
}

// Every folder and file the trial run makes (the set-up, the wizard's send, the result monitor and
// the device's notice), under umask 000 as under 022: another user, tried in a process of its own,
// may write none of them, and may read nothing of the user's own folders nor of the run's spool,
// job streams, sending log and cover sheets, whose files and folders give others nothing by their
// modes either.
TEST(MainJob, NothingTheTrialRunMakesIsOpenToOtherUsersWhateverTheUmask)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "trying as another user takes root";
    for (const mode_t umask : {mode_t{0}, mode_t{022}}) {
        SCOPED_TRACE("umask " + std::to_string(umask));
        const mode_t previous = ::umask(umask);
        qelta::test::ScopedStateRoot root;
        ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0); // a folder the user made for the run
        const auto spooler = platform::RecordingSpooler::install("Another Printer");
        std::string error;
        const auto run = PrepareSampleRun(error);
        ASSERT_TRUE(run) << error;
        {
            monitor_test::MonitorProcess monitor;
            ASSERT_NE(monitor.WaitUntilListening(), 0);
            ASSERT_NO_FATAL_FAILURE(SendTheSampleFax(*run));
            EXPECT_EQ(platform::runProgram(qelta::test::helperProgram("qelta-sample"), {"notice"}), 0);
            ::kill(monitor.Pid(), SIGTERM);
            EXPECT_EQ(monitor.WaitForEnd(), 0);
        }
        platform::setSpooler(nullptr);
        ::umask(previous);

        const std::string privateFolders[] = {"user", "home/.local/share", "home/.local/state", "spool", "out", "log",
                                              "covers"};
        struct Made {
            std::string path;
            bool folder, own;
        };
        std::vector<Made> made;
        for (const auto& e : std::filesystem::recursive_directory_iterator(root.path())) {
            if (e.is_symlink())
                continue;
            const std::string path = e.path().string();
            const std::string inRoot = path.substr(root.path().size() + 1);
            const bool own = std::any_of(std::begin(privateFolders), std::end(privateFolders), [&](const std::string& f) {
                return inRoot.starts_with(f + "/");
            });
            made.push_back({path, e.is_directory(), own});
            // The files themselves give others nothing, should a folder above them be opened.
            struct stat st {};
            EXPECT_TRUE(!own || (::lstat(path.c_str(), &st) == 0 && (st.st_mode & 077) == 0))
                << "open to others by its mode: " << path;
        }
        ASSERT_GT(made.size(), 30u);
        const int openToOthers = qelta::test::runInChild([&] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                return 255;
            int faults = 0;
            for (const Made& m : made) {
                const std::string probe = m.path + "/.probe";
                const int w = m.folder ? ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600)
                                       : ::open(m.path.c_str(), O_WRONLY | O_NONBLOCK);
                const int r = m.folder ? ::open(m.path.c_str(), O_RDONLY | O_DIRECTORY)
                                       : ::open(m.path.c_str(), O_RDONLY | O_NONBLOCK);
                const bool fault = w >= 0 || (m.own && r >= 0);
                if (fault) {
                    std::fprintf(stderr, "open to another user (%s): %s\n", w >= 0 ? "write" : "read", m.path.c_str());
                    ++faults;
                }
                for (const int fd : {w, r})
                    if (fd >= 0)
                        ::close(fd);
            }
            return std::min(faults, 254);
        });
        EXPECT_EQ(openToOthers, 0) << "of " << made.size() << " folders and files";
    }
}
} // namespace
