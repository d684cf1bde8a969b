#include "setup/printer_browser.h"

#include "setup/setup_core.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace setup {

CPrinterBrowserLogic::CPrinterBrowserLogic(const std::vector<platform::Destination>& queues,
                                           const std::vector<std::string>& queueUris,
                                           const std::vector<std::string>& devices)
{
    for (const auto& queue : queues)
        m_entries.push_back({queue.info.empty() || queue.info == queue.name ? queue.name : queue.info + " (" + queue.name + ")",
                             queue.name});
    for (const auto& uri : devices) {
        if (uri.find("://") == std::string::npos
            || std::find(queueUris.begin(), queueUris.end(), uri) != queueUris.end()
            || std::any_of(m_entries.begin(), m_entries.end(), [&](const BrowserEntry& e) { return e.value == uri; }))
            continue;
        m_entries.push_back({uri, uri});
    }
}

std::optional<std::string> CPrinterBrowserLogic::Choose(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return std::nullopt;
    return m_entries[static_cast<size_t>(index)].value;
}

QDialog* MakePrinterBrowserDialog(const CPrinterBrowserLogic& logic, QWidget* parent)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName("PrinterBrowser");
    dialog->setWindowTitle(QString::fromUtf8(kBrowserTitle));
    auto* layout = new QVBoxLayout(dialog);
    auto* list = new QListWidget(dialog);
    list->setObjectName(kPrinterListName);
    for (const auto& entry : logic.Entries())
        list->addItem(QString::fromStdString(entry.label));
    layout->addWidget(list);
    auto* buttons = OkCancelButtons(dialog);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    QObject::connect(list, &QListWidget::currentRowChanged, dialog,
                     [buttons](int row) { buttons->button(QDialogButtonBox::Ok)->setEnabled(row >= 0); });
    QObject::connect(list, &QListWidget::itemDoubleClicked, dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog->resize(420, 300);
    return dialog;
}

std::optional<std::string> BrowseForPrinter(void*, const CPrinterBrowserLogic& logic)
{
    if (!DisplayAvailable())
        return std::nullopt;
    const auto application = EnsureApplication();
    std::unique_ptr<QDialog> dialog(MakePrinterBrowserDialog(logic, nullptr));
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return logic.Choose(dialog->findChild<QListWidget*>(kPrinterListName)->currentRow());
}

} // namespace setup
