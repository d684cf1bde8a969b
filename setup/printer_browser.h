// The printer browser of setuphelper: the CUPS destinations and the network printers found, one
// of which the user picks.
#pragma once

#include "platform/spooler.h"

#include <optional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

namespace setup {

/// One line of the browser: what it shows and what choosing it gives.
struct BrowserEntry {
    std::string label;
    std::string value; ///< the queue name, or the URI of a network printer without a queue
};

/// The browser's content without widgets.
class CPrinterBrowserLogic {
public:
    /// Queues first (by description and name), then each network device (a URI with "://") that
    /// no queue prints to.
    CPrinterBrowserLogic(const std::vector<platform::Destination>& queues, const std::vector<std::string>& queueUris,
                         const std::vector<std::string>& devices);
    const std::vector<BrowserEntry>& Entries() const { return m_entries; }
    /// The value of the chosen line; nothing for no line or one out of range.
    std::optional<std::string> Choose(int index) const;

private:
    std::vector<BrowserEntry> m_entries;
};

/// The object name of the browser's printer list (its OK and Cancel buttons are ids 1 and 2).
inline constexpr const char* kPrinterListName = "idPrinters";

/// The browser's title.
inline constexpr const char* kBrowserTitle = "プリンタの参照";

/// Runs the browser as a modal dialog; nothing when the user cancels or no display is there.
std::optional<std::string> BrowseForPrinter(void* owner, const CPrinterBrowserLogic& logic);

/// The browser's dialog, for the tests' screenshots: not shown, deleted by the caller.
QDialog* MakePrinterBrowserDialog(const CPrinterBrowserLogic& logic, QWidget* parent);

} // namespace setup
