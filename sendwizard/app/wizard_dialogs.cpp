#include "sendwizard/app/wizard_dialogs.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/frame_placement.h"

#include "sendwizard/wizard_strings.h"
#include "uiwidgets/worker_dialogs.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {



// OK (id 1) and, when asked, Cancel (id 2).
QDialogButtonBox* Buttons(QDialog* dialog, bool cancel)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | (cancel ? QDialogButtonBox::Cancel : QDialogButtonBox::NoButton),
                                     dialog);
    Named(box->button(QDialogButtonBox::Ok), 1);
    if (cancel)
        Named(box->button(QDialogButtonBox::Cancel), 2);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

} // namespace

CDPrinterName::CDPrinterName(IPrompter& prompter, QWidget* parent) : QDialog(parent), m_Logic(prompter)
{
    setObjectName(ControlName(IDD_PRINTER_NAME));
    setWindowTitle(QtText(ControlText(IDD_PRINTER_NAME, 0)));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QtText(ControlText(IDD_PRINTER_NAME, IDC_PRINTER_NAME)), this);
    m_pEdit = Named(new QLineEdit(this), IDC_PRINTER_NAME);
    label->setBuddy(m_pEdit);
    layout->addWidget(label);
    layout->addWidget(m_pEdit);
    layout->addWidget(Buttons(this, true));
}

void CDPrinterName::accept()
{
    m_Logic.SetText(m_pEdit->text().toUtf8().toStdString());
    if (m_Logic.Accept())
        QDialog::accept();
}

CDAbout::CDAbout(const AboutTexts& texts, QWidget* parent) : QDialog(parent)
{
    setObjectName(ControlName(IDD_ABOUTBOX));
    setWindowTitle(QtText(WizardString(IDS_ABOUTBOX)).remove(QLatin1Char('&')));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Named(new QLabel(QtText(texts.strName), this), IDC_ABOUT_NAME));
    layout->addWidget(Named(new QLabel(QtText(texts.strVersion), this), IDC_ABOUT_VERSION));
    layout->addWidget(Named(new QLabel(QtText(texts.strSecond), this), IDC_ABOUT_SECOND));
    layout->addWidget(Buttons(this, false));
    KeepTitleWhole(this);
}

namespace {

// What the busy dialog's thread runs: the worker, whose failure closes the dialog with its code.
int RunDiscoverWorker(void* data, platform::EndpointHandle dialog)
{
    const auto& worker = *static_cast<const IDiscoverRunner::Worker*>(data);
    int code = kListingFailed;
    try {
        code = worker();
    } catch (...) {
        // Nothing may leave the dialog's thread; the worker failed.
    }
    if (code != 0)
        PostToDialog(dialog, DiscoverMessage(), 3, code);
    return code;
}

} // namespace

int CQtDiscoverRunner::Run(const std::string& strCaption, const std::string& strText, int nCancelA, int nCancelB,
                           const Worker& worker)
{
    // The worker is the caller's and outlives the dialog, which waits for its thread when it goes.
    CDDiscover dialog(m_pParent);
    dialog.Run(strCaption, strText, nCancelA, nCancelB, worker ? RunDiscoverWorker : nullptr,
               const_cast<Worker*>(&worker));
    return dialog.ResultCode();
}

bool CQtPrinterNameEntry::Ask(std::string& strText)
{
    CDPrinterName dialog(m_Prompter, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    strText = dialog.Text();
    return true;
}
