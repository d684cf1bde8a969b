#include "phonebook/dialogs/app/bookpicker_app.h"

#include "common/resource_locale.h"
#include "platform/files.h"
#include "platform/library.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>
#include <QWidget>
#include <QThread>

#include <memory>
#include <mutex>

namespace {

std::unique_ptr<CSDLocale>& Locale()
{
    static std::unique_ptr<CSDLocale> locale;
    return locale;
}

// Catches F1 on its dialog and opens the help at the dialog's context.
class CHelpFilter : public QObject {
public:
    CHelpFilter(QObject* parent, int context) : QObject(parent), m_nContext(context) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
            return QObject::eventFilter(watched, event);
        const std::string address = BookpickerHelpAddress(m_nContext);
        const size_t hash = address.rfind('#');
        if (hash != std::string::npos) {
            QUrl url = QUrl::fromLocalFile(QString::fromStdString(address.substr(0, hash)));
            url.setFragment(QString::number(m_nContext));
            QDesktopServices::openUrl(url);
        }
        return true;
    }

private:
    int m_nContext;
};

} // namespace

bool StartBookpicker()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        // The library's own texts are looked up through its own loader, so a program that has a
        // language of its own keeps it.
        auto locale = std::make_unique<CSDLocale>(platform::modulePathOf(reinterpret_cast<const void*>(&StartBookpicker)),
                                                  kBookpickerModuleCode);
        const uint32_t id = CSDLocale::PickStartLocale();
        if (id & 0xFFFF) {
            if (!locale->LoadLocale(static_cast<uint16_t>(id)))
                if (!locale->LoadLocale(static_cast<uint16_t>((id & 0x3FF) | 0x400)))
                    locale->LoadLocale(1033);
            started = true;
        }
        Locale() = std::move(locale);
    });
    return started;
}

std::string BookpickerString(int id)
{
    StartBookpicker();
    if (const auto& locale = Locale())
        if (const std::string_view* text = locale->FindString(static_cast<uint32_t>(id)))
            return std::string(*text);
    return LoadResourceString(static_cast<uint32_t>(id));
}

bool OnApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && qobject_cast<const QApplication*>(app) && QThread::currentThread() == app->thread();
}

void CPrompterNotifier::Notify(void* /*owner*/, int textId, const std::string& caption, unsigned icon)
{
    m_prompter.MessageBox(BookpickerString(textId), caption, icon);
}

bool CPrompterNotifier::AskYesNo(void* /*owner*/, int textId, const std::string& caption)
{
    return m_prompter.MessageBox(BookpickerString(textId), caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

IPrompter& BookpickerPrompter()
{
    static CQtPrompter prompter;
    return prompter;
}

std::string BookpickerHelpAddress(int context)
{
    const std::string library = platform::modulePathOf(reinterpret_cast<const void*>(&BookpickerHelpAddress));
    const std::string file = platform::joinPath(platform::parentPath(library), "Bookmanager.html");
    if (library.empty() || !platform::pathExists(file))
        return {};
    return file + "#" + std::to_string(context);
}

void InstallHelp(QWidget* dialog, int context)
{
    dialog->installEventFilter(new CHelpFilter(dialog, context));
}
