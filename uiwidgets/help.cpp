#include "uiwidgets/help.h"

#include "common/prompter.h"
#include "common/registry_helper.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/state.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

namespace {

// How long an opener has to tell whether it could open a file. Failing openers end at once; one
// that goes on running is showing the file (some run the viewer itself until it is closed).
constexpr std::chrono::seconds kOpenerVerdictTime{3};

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

bool OpenWithDesktop(const std::string& address)
{
    // Qt starts the desktop's opener without waiting for it, so an opener that finds no program for
    // the file would count as success: it is run here and its exit status heard.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty())
        return OpenWithProgram(opener.toStdString(), address);
    return QDesktopServices::openUrl(FileUrlOf(address));
}

bool OpenWithProgram(const std::string& program, const std::string& address)
{
    const auto child = platform::startProgram(program, {FileUrlOf(address).toEncoded().toStdString()});
    if (!child)
        return false;
    auto verdict = std::make_shared<std::promise<int>>();
    std::future<int> status = verdict->get_future();
    try {
        // The waiter reaps the opener whenever it ends, after this call if need be.
        std::thread([verdict, started = *child] { verdict->set_value(platform::waitProgram(started)); }).detach();
    } catch (const std::system_error&) {
        return platform::waitProgram(*child) == 0; // no thread to wait in: wait here
    }
    if (status.wait_for(kOpenerVerdictTime) != std::future_status::ready)
        return true;
    return status.get() == 0;
}

bool OpenHelp(const std::string& folder, const std::string& file, uint32_t context, IPrompter& prompter,
              const HelpWarning& warning, const HelpOpener& opener)
{
    const std::string address = HelpAddress(folder, file, context);
    const std::string path = folder.empty() ? file : platform::joinPath(folder, file);
    if (address.empty()) {
        prompter.MessageBox(warning.strMissing.empty() ? "The help file " + path + " is missing." : warning.strMissing,
                            warning.strCaption, MB_ICONWARNING);
        return false;
    }
    if (!(opener ? opener(address) : OpenWithDesktop(address))) {
        prompter.MessageBox("The help file " + path + " cannot be opened: the desktop has no program for it.",
                            warning.strCaption, MB_ICONWARNING);
        return false;
    }
    return true;
}

void InstallHelpKey(QWidget* window, std::function<void()> show)
{
    window->installEventFilter(new CHelpKey(window, std::move(show)));
}
