#include "sendwizard/app/main_sheet.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/help.h"
#include "uiwidgets/view_helpers.h"

#include "sendwizard/app/select_dest_page.h"
#include "sendwizard/app/set_params_page.h"
#include "sendwizard/app/wizard_dialogs.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "platform/endpoint.h"
#include "sendwizard/app/pages.h"
#include "uiwidgets/progress_runner.h"
#include "sendwizard/printer_info.h"
#include "sendwizard/wizard_strings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QSocketNotifier>
#include <QTimer>

namespace {

// The pages in the order the sheet shows them: dialog id, title and subtitle texts.
struct PageText {
    int nDialogId;
    uint32_t nTitle, nSubtitle;
};
constexpr PageText kPages[] = {
    {IDD_SELECT_DESTINATION, 301, 302},
    {IDD_SELECT_COVER, 401, 402},
    {IDD_SET_PARAMS, 601, 602},
    {IDD_PREVIEW, 501, 502},
    {IDD_READY_TO_SEND, 700, 0},
};

// The side picture: the watermark bitmap drawn over the whole height of the sheet at any size,
// cut at its sides rather than leaving a gap under it.
class CWatermark : public QWidget {
public:
    explicit CWatermark(QPixmap picture) : m_Picture(std::move(picture))
    {
        setObjectName(QStringLiteral("watermark"));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        setFixedWidth(m_Picture.isNull() ? 0 : m_Picture.width());
    }
    QSize sizeHint() const override { return m_Picture.size(); }
    QSize minimumSizeHint() const override { return {m_Picture.width(), 0}; }

protected:
    void showEvent(QShowEvent* event) override
    {
        // The sheet holds the side widget in a box of its own, whose margins would leave a gap.
        if (QWidget* holder = parentWidget(); holder && holder->layout())
            holder->layout()->setContentsMargins(0, 0, 0, 0);
        QWidget::showEvent(event);
    }
    void paintEvent(QPaintEvent*) override
    {
        if (m_Picture.isNull() || height() <= 0)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const double scale = std::max(static_cast<double>(width()) / m_Picture.width(),
                                      static_cast<double>(height()) / m_Picture.height());
        const QSizeF drawn(m_Picture.width() * scale, m_Picture.height() * scale);
        painter.drawPixmap(QRectF(QPointF((width() - drawn.width()) / 2, 0), drawn), m_Picture, m_Picture.rect());
    }

private:
    QPixmap m_Picture;
};

} // namespace

CWizardPage::CWizardPage(CPSMainuiLogic& sheet, int nDialogId, uint32_t nTitleId, uint32_t nSubtitleId)
    : m_Sheet(sheet), m_nDialogId(nDialogId)
{
    setObjectName(ControlName(nDialogId));
    setTitle(QtText(WizardString(nTitleId)));
    if (nSubtitleId)
        setSubTitle(QtText(WizardString(nSubtitleId)));
}

bool CWizardPage::isComplete() const { return m_Sheet.PrinterKnown() && QWizardPage::isComplete(); }

CPSMainui::CPSMainui(CPSMainuiLogic& sheet, IPrompter& prompter, HelpOpener opener, QWidget* parent,
                     IProgressRunner* progress)
    : QWizard(parent), m_Sheet(sheet), m_Prompter(prompter), m_Opener(std::move(opener)),
      m_pPhoneBookExports(MakeBookpickerExports())
{
    if (!progress) {
        m_pOwnProgress = std::make_unique<CQtProgressRunner>(this);
        progress = m_pOwnProgress.get();
    }
    setWindowTitle(QtText(WizardString(IDS_CAPTION)));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::HaveHelpButton, true);
    // Finish is pressed as the default button; its "&F" would take Alt+F from Fit to Area, the FAX
    // Number radio and Folder Change.
    setButtonText(QWizard::FinishButton, buttonText(QWizard::FinishButton).remove(QLatin1Char('&')));
    setSideWidget(new CWatermark(LoadResourcePicture(QELTA_RESOURCE_BITMAP, IDB_WATERMARK)));
    setPixmap(QWizard::LogoPixmap, LoadResourcePicture(QELTA_RESOURCE_BITMAP, IDB_HEADER));
    setWindowIcon(QIcon(LoadResourcePicture(QELTA_RESOURCE_ICON, IDI_MAINFRAME)));
    // The pages follow one another in the sheet's order, not in the order of their ids.
    CWizardPage* previous = nullptr;
    for (const PageText& page : kPages) {
        CWizardPage* added = nullptr;
        switch (page.nDialogId) {
        case IDD_SELECT_DESTINATION: added = new CPPSelectDest(sheet, prompter, *m_pPhoneBookExports); break;
        case IDD_SELECT_COVER: added = new CPPSelectCover(sheet, prompter); break;
        case IDD_SET_PARAMS: added = new CPPSetParams(sheet, prompter); break;
        case IDD_PREVIEW: added = new CPPPreview(sheet, prompter, *progress); break;
        case IDD_READY_TO_SEND: added = new CPPFinish(sheet, prompter, *progress); break;
        default: added = new CWizardPage(sheet, page.nDialogId, page.nTitle, page.nSubtitle); break;
        }
        setPage(page.nDialogId, added);
        if (previous)
            previous->SetNextId(page.nDialogId);
        previous = added;
    }
    setStartId(kPages[0].nDialogId);
    // One size for every page, the largest page's: the sheet neither jumps nor grows on the way.
    QSize least;
    for (int id : pageIds())
        least = least.expandedTo(page(id)->minimumSizeHint());
    for (int id : pageIds())
        page(id)->setMinimumSize(least);
    connect(this, &QWizard::currentIdChanged, this, [this](int id) {
        if (CWizardPage* page = PageOf(id))
            page->OnSetActive();
    });
    connect(this, &QWizard::helpRequested, this, &CPSMainui::ShowHelp);
    QAbstractButton* backButton = button(QWizard::BackButton);
    backButton->disconnect(this);
    connect(backButton, &QAbstractButton::clicked, this, &CPSMainui::GoBack);
    QAbstractButton* nextButton = button(QWizard::NextButton);
    nextButton->disconnect(this);
    connect(nextButton, &QAbstractButton::clicked, this, &CPSMainui::GoNext);
    // About: a button of the sheet (there is no system menu), offered when its text is not empty.
    const std::string about = WizardString(IDS_ABOUTBOX);
    if (!about.empty()) {
        // As a button it gets no mnemonic of its own: "&A" is already Add's, Attach's and Actual Size's.
        setButtonText(QWizard::CustomButton1, QtText(about).remove(QLatin1Char('&')));
        setOption(QWizard::HaveCustomButton1, true);
        button(QWizard::CustomButton1)->setObjectName(QStringLiteral("about"));
        connect(this, &QWizard::customButtonClicked, this, [this](int which) {
            if (which == QWizard::CustomButton1)
                ShowAbout();
        });
    }
    // While the print system is asked about the printer the pages wait; Cancel, Help and About work.
    if (!m_Sheet.PrinterKnown()) {
        for (int id : pageIds())
            page(id)->setEnabled(false);
        m_Sheet.SetPrinterWake(
            [this] { QMetaObject::invokeMethod(this, &CPSMainui::OnPrinterAnswer, Qt::QueuedConnection); });
    }
}

void CPSMainui::OnPrinterAnswer()
{
    if (m_Sheet.PrinterKnown() || !m_Sheet.TakePrinterAnswer(m_Prompter))
        return;
    for (int id : pageIds()) {
        CWizardPage* shown = PageOf(id);
        shown->setEnabled(true);
        shown->OnPrinterKnown();
        emit shown->completeChanged();
    }
}

void CPSMainui::ShowAbout()
{
    CDAbout about(AboutTextsOf(m_Sheet), this);
    about.exec();
}

CPSMainui::~CPSMainui() { m_Sheet.SetPrinterWake({}); }

QSize CPSMainui::sizeHint() const
{
    // The sheet's own hint measures the current page; it is widened to the largest page's.
    QSize hint = QWizard::sizeHint();
    const QSize current = currentPage() ? currentPage()->sizeHint() : QSize(0, 0);
    for (int id : pageIds())
        hint = hint.expandedTo(QWizard::sizeHint() + (page(id)->sizeHint() - current).expandedTo(QSize(0, 0)));
    return hint;
}

CPSMainui::Step::Step(QWizard* sheet) : m_pSheet(qobject_cast<CPSMainui*>(sheet))
{
    if (m_pSheet)
        ++m_pSheet->m_nSteps;
}

CPSMainui::Step::~Step()
{
    if (m_pSheet && --m_pSheet->m_nSteps == 0 && m_pSheet->m_bFinishWaiting) {
        m_pSheet->m_bFinishWaiting = false;
        QTimer::singleShot(0, m_pSheet, [sheet = m_pSheet] { sheet->FinishAfterStep(); });
    }
}

void CPSMainui::reject()
{
    if (!StepRunning() && ConfirmQuitWizard(m_Prompter))
        QWizard::reject();
}

void CPSMainui::done(int result)
{
    if (StepRunning()) {
        if (result == QDialog::Accepted && qobject_cast<CPPPreview*>(currentPage()))
            m_bFinishWaiting = true;
        return;
    }
    Step step(this);
    QWizard::done(result);
}

void CPSMainui::FinishAfterStep()
{
    // Sent only when the image came out whole; otherwise the page shows why it stays.
    auto* preview = qobject_cast<CPPPreview*>(currentPage());
    if (preview && isVisible() && !StepRunning() && preview->ImageCameOutWhole())
        done(QDialog::Accepted);
}

void CPSMainui::GoNext()
{
    if (StepRunning() || !m_Sheet.PrinterKnown())
        return;
    Step step(this);
    next();
}

void CPSMainui::GoBack()
{
    if (StepRunning())
        return;
    Step step(this);
    auto* preview = qobject_cast<CPPPreview*>(currentPage());
    if (preview && preview->Logic().BackToFirstPage())
        restart();
    else
        back();
}

CWizardPage* CPSMainui::PageOf(int nDialogId) const { return qobject_cast<CWizardPage*>(page(nDialogId)); }

void CPSMainui::OnHostMessage(uint32_t nMessage, uint32_t wParam, int32_t lParam)
{
    if (nMessage != MID_CoverSheetSaved || !m_Sheet.OnCoverSheetSaved(wParam, lParam))
        return;
    if (currentId() == IDD_SELECT_COVER)
        PageOf(IDD_SELECT_COVER)->OnCoverSheetSaved(wParam);
}

void CPSMainui::ShowHelp()
{
    const uint32_t topic = HelpTopicFor(0x20000 + static_cast<uint32_t>(currentId()));
    OpenHelp(ProgramHelpFolder(), kWizardHelpFile, topic, m_Prompter,
             {WizardString(IDS_HELP_MISSING), WizardString(IDS_CAPTION)}, m_Opener);
}

void CPSMainui::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        ShowHelp();
        return;
    }
    QWizard::keyPressEvent(event);
}

CWizardHostWnd::CWizardHostWnd(platform::Endpoint& endpoint, CPSMainui& sheet)
    : QObject(&sheet), m_Endpoint(endpoint), m_Sheet(sheet),
      m_pNotifier(new QSocketNotifier(endpoint.descriptor(), QSocketNotifier::Read, this))
{
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CWizardHostWnd::Drain);
}

void CWizardHostWnd::Drain()
{
    platform::PostedMessage message;
    while (m_Endpoint.receive(message, 0))
        m_Sheet.OnHostMessage(message.message, message.wParam, message.lParam);
}

int CQtSheetRunner::Run(CPSMainuiLogic& sheet, platform::Endpoint* host)
{
    CPSMainui wizard(sheet, m_Prompter);
    if (host)
        new CWizardHostWnd(*host, wizard);
    // Started at print time behind the program that printed: the sheet comes to the front once its
    // modal loop has shown it.
    QTimer::singleShot(0, &wizard, [&wizard] {
        wizard.raise();
        wizard.activateWindow();
    });
    return wizard.exec();
}

