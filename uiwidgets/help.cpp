#include "uiwidgets/help.h"

#include "common/prompter.h"
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/state.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

// How long an opener has to tell whether it could open a file. Failing openers end at once; one
// that goes on running is showing the file (some run the viewer itself until it is closed).
constexpr std::chrono::seconds kOpenerVerdictTime{3};

// How long an opener asked to end at the program's end has before it is ended outright.
constexpr std::chrono::seconds kOpenerEndGrace{2};

// The one help opener a program runs at a time, and the thread that hears it out. At the
// program's end an opener still running is ended and its thread waited for, so a hanging opener
// never outlives the program.
class COpenerSlot {
public:
    ~COpenerSlot() { End(); }

    // Starts program with its one argument unless an opener is still running (then nothing
    // happens); failed as OpenWithProgram says.
    void Start(const std::string& program, const std::string& argument, HelpFailure failed)
    {
        std::unique_lock lock(m_Mutex);
        if (m_Running || m_bEnding)
            return;
        if (m_Waiter.joinable())
            m_Waiter.join(); // its opener has ended: it only reports, without the lock
        const auto child = platform::startProgram(program, {argument});
        if (!child) {
            lock.unlock();
            failed();
            return;
        }
        // The verdict goes back to the application's thread; without an application it is dropped.
        auto report = [failed = std::move(failed)] {
            if (QCoreApplication* application = QCoreApplication::instance())
                QMetaObject::invokeMethod(application, failed, Qt::QueuedConnection);
        };
        m_Running = *child;
        try {
            m_Waiter = std::thread([this, started = *child, report] { Hear(started, report); });
        } catch (const std::system_error&) {
            lock.unlock();
            Hear(*child, report); // no thread to wait in: wait here
            return;
        }
        if (!m_bEndsWithApplication && QCoreApplication::instance()) {
            // The application's end is the program's, while the event loop's objects still stand.
            m_bEndsWithApplication = true;
            qAddPostRoutine([] { Slot().End(); });
        }
    }

    // Ends a running opener (asked first, then outright) and waits for its thread.
    void End()
    {
        std::unique_lock lock(m_Mutex);
        m_bEnding = true;
        if (m_Running) {
            platform::endProgram(*m_Running);
            if (!m_Ended.wait_for(lock, kOpenerEndGrace, [this] { return !m_Running; }))
                platform::endProgram(*m_Running, true);
        }
        std::thread waiter = std::move(m_Waiter);
        lock.unlock();
        if (waiter.joinable())
            waiter.join();
        lock.lock();
        m_bEnding = false;
        m_bEndsWithApplication = false;
    }

    static COpenerSlot& Slot()
    {
        static COpenerSlot slot;
        return slot;
    }

private:
    // Waits for the opener; one that fails within the verdict time is reported, unless the
    // program's end ended it. The slot is free before the opener is reaped, so its process id is
    // never another's while the slot holds it.
    void Hear(const platform::StartedProgram& started, const std::function<void()>& report)
    {
        const auto begun = std::chrono::steady_clock::now();
        platform::waitProgramEnded(started);
        bool ended = false;
        {
            std::lock_guard lock(m_Mutex);
            m_Running.reset();
            ended = m_bEnding;
            m_Ended.notify_all();
        }
        const int status = platform::waitProgram(started);
        if (!ended && status != 0 && std::chrono::steady_clock::now() - begun < kOpenerVerdictTime)
            report();
    }

    std::mutex m_Mutex;
    std::condition_variable m_Ended;
    std::optional<platform::StartedProgram> m_Running;
    bool m_bEnding = false, m_bEndsWithApplication = false;
    std::thread m_Waiter;
};

QUrl FileUrlOf(const std::string& address)
{
    const size_t hash = address.rfind('#');
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(address.substr(0, hash)));
    if (hash != std::string::npos)
        url.setFragment(QString::fromStdString(address.substr(hash + 1)));
    return url;
}

// Catches F1 on its window and calls the window's help.
class CHelpKey : public QObject {
public:
    CHelpKey(QObject* parent, std::function<void()> show) : QObject(parent), m_Show(std::move(show)) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
            return QObject::eventFilter(watched, event);
        m_Show();
        return true;
    }

private:
    std::function<void()> m_Show;
};

} // namespace

std::string ProgramHelpFolder()
{
    const std::string install =
        CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "TQL Directory", "");
    return install.empty() ? platform::dataFolder() : platform::nativePath(install);
}

std::string HelpAddress(const std::string& folder, const std::string& file, uint32_t context)
{
    if (folder.empty())
        return {};
    const std::string path = platform::joinPath(folder, file);
    if (!platform::pathExists(path))
        return {};
    return path + "#" + std::to_string(context);
}

void OpenWithDesktop(const std::string& address, HelpFailure failed)
{
    // Qt starts the desktop's opener without waiting for it, so an opener that finds no program for
    // the file would count as success: it is run here and its exit status heard.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        OpenWithProgram(opener.toStdString(), address, std::move(failed));
    else if (!QDesktopServices::openUrl(FileUrlOf(address)))
        failed();
}

void OpenWithProgram(const std::string& program, const std::string& address, HelpFailure failed)
{
    COpenerSlot::Slot().Start(program, FileUrlOf(address).toEncoded().toStdString(), std::move(failed));
}

bool OpenHelp(const std::string& folder, const std::string& file, uint32_t context, IPrompter& prompter,
              const HelpWarning& warning, const HelpOpener& opener)
{
    const std::string address = HelpAddress(folder, file, context);
    const std::string path = folder.empty() ? file : platform::joinPath(folder, file);
    const auto text = [&path](unsigned id) {
        std::string text = LoadResourceString(id);
        if (const size_t at = text.find("%s"); at != std::string::npos)
            text.replace(at, 2, path);
        return text;
    };
    if (address.empty()) {
        prompter.MessageBox(warning.strMissing.empty() ? text(IDS_SHARED_HELP_MISSING) : warning.strMissing,
                            warning.strCaption, MB_ICONWARNING);
        return false;
    }
    const auto notOpened = [&prompter, message = text(IDS_SHARED_HELP_NOT_OPENED), caption = warning.strCaption] {
        prompter.MessageBox(message, caption, MB_ICONWARNING);
    };
    if (!opener) {
        OpenWithDesktop(address, notOpened);
        return true;
    }
    if (!opener(address)) {
        notOpened();
        return false;
    }
    return true;
}

void InstallHelpKey(QWidget* window, std::function<void()> show)
{
    window->installEventFilter(new CHelpKey(window, std::move(show)));
}
