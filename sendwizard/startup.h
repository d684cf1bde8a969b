// The send wizard's start-up without widgets: imaging check, language, command line, printer,
// the work file's facts, the host endpoint, the sheet run and the work file's deletion.
#pragma once

#include "sendwizard/sheet_logic.h"

#include <string>
#include <vector>

class IPrompter;
namespace platform {
class Endpoint;
}

/// The program code of the wizard's language modules.
inline constexpr const char* kWizardModuleCode = "SENDWIZARD2";

/// Runs the wizard sheet over a prepared sheet logic (the program's sheet, or a test's).
class ISheetRunner {
public:
    virtual ~ISheetRunner() = default;
    /// Shows the sheet modally; host is the endpoint held while it runs (null when another wizard
    /// holds it). Returns the sheet's result.
    virtual int Run(CPSMainuiLogic& sheet, platform::Endpoint* host) = 0;
    /// True when the sheet is shown while the print system is still asked about the printer (the
    /// sheet then takes the answers itself, see CPSMainuiLogic::PrinterKnown); false: the sheet
    /// is run once the printer is known.
    virtual bool ShowsBeforePrinterKnown() const { return false; }
};

/// The whole start-up. Returns the program's exit code: 0 after the sheet ran (the work file is
/// then deleted unless a send failed), 1 when the sheet ended on a job that could not be made or
/// sent (sheet's m_bJobFailed), non-zero when start-up failed before it (the work file is kept).
int RunSendWizard(const std::vector<std::string>& args, IPrompter& prompter, ISheetRunner& runner);

/// The wizard's help file, in the programs' help folder.
inline constexpr const char* kWizardHelpFile = "Sendwizard2.html";
