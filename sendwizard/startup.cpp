#include "sendwizard/startup.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/library.h"
#include "sendwizard/command_line.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/printer_info.h"
#include "sendwizard/wizard_strings.h"

namespace {

bool FileExists(const std::string& path) { return platform::pathExists(path); }

std::string ProgramFolder() { return platform::parentPath(platform::programPath()); }

} // namespace

int RunSendWizard(const std::vector<std::string>& args, IPrompter& prompter, ISheetRunner& runner)
{
    // The program's own English texts serve the first message.
    if (!ImageKitPresent()) {
        prompter.MessageBox(WizardString(IDS_IMAGEKIT_FAILED), WizardString(IDS_CAPTION), MB_ICONWARNING);
        return 1;
    }
    BindImageKit();
    struct Unbind {
        ~Unbind() { UnbindImageKit(); }
    } unbind;

    CSDLocale locale("", kWizardModuleCode);
    if (!locale.StartWithLocale(CSDLocale::PickStartLocale()))
        return 1; // no usable language
    struct Restore {
        ~Restore() { SetCurrentResourceLocale(nullptr); }
    } restore;

    const CWizardCommandLineInfo info = ParseWizardCommandLine(args, FileExists);

    CPSMainuiLogic sheet;
    // Without a page file, a path that names none is the one the failure names.
    const std::string& page = info.m_strFilePath.empty() ? info.m_strMissingPath : info.m_strFilePath;
    if (!sheet.SetCommandLineValues(page, info.m_strPaper, info.m_strCompression, info.m_strPrinter,
                                    info.m_strText, prompter))
        return 1;

    // Another wizard holding the endpoint keeps it; this one runs without.
    const std::unique_ptr<platform::Endpoint> host = platform::Endpoint::create(kHostClassName, kHostTitle);
    const std::string folder = ProgramFolder();
    sheet.ReadTagInfo(folder);
    // The job folder carries the company of the wizard's own tag file, which may not be the one the
    // other programs mend at start.
    platform::mendPrivateFolder(sheet.GetJobFolder());
    // A print server that is slow to answer must not keep the sheet off the screen: the sheet shows
    // at once and its pages wait for the answers, unless the runner wants the printer first.
    sheet.AskPrinter(info.m_strPrinter, folder);
    if (!runner.ShowsBeforePrinterKnown())
        sheet.WaitForPrinter(prompter);
    runner.Run(sheet, host.get());
    sheet.DropDocuments();
    sheet.DeleteWorkFile();
    // A job that could not be made or sent ends the program as a failure; a Cancel does not.
    return sheet.m_bJobFailed ? 1 : 0;
}
