#include "phonebook/dialogs/app/bookpicker_app.h"

#include "common/resource_locale.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/state.h"
#include "uiwidgets/help.h"

#include <QApplication>
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

std::string BookpickerHelpFolder() { return platform::dataFolder(); }

void InstallHelp(QWidget* dialog, int context)
{
    InstallHelpKey(dialog, [dialog, context] {
        OpenHelp(BookpickerHelpFolder(), kBookpickerHelpFile, static_cast<uint32_t>(context), BookpickerPrompter(),
                 {{}, dialog->windowTitle().toStdString()});
    });
}
