#include "sendwizard/app/pages.h"
#include "uiwidgets/control_name.h"

#include "common/resource_locale.h"
#include "sendwizard/app/page_display.h"
#include "sendwizard/page_view.h"
#include "sendwizard/printer_info.h"
#include "sendwizard/wizard_strings.h"
#include "uiwidgets/view_helpers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>


namespace {


// A control named by its id.
template <typename W>
W* Make(int nId, QWidget* parent = nullptr)
{
    auto* widget = new W(parent);
    widget->setObjectName(ControlName(nId));
    return widget;
}

// A control with its text, named by its id.
template <typename W>
W* MakeText(int nDialog, int nId, QWidget* parent = nullptr)
{
    auto* widget = Make<W>(nId, parent);
    widget->setText(QtText(ControlText(nDialog, nId)));
    return widget;
}

QGroupBox* MakeGroup(int nDialog, int nId)
{
    auto* group = Make<QGroupBox>(nId);
    group->setTitle(QtText(ControlText(nDialog, nId)));
    return group;
}

// Shows one page of an image file in a display.
void ShowImage(CIkDisp& display, const std::string& path, int nPageIndex, double dZoom, int nMode)
{
    CIkFile file;
    file.SetFileName(path);
    file.SetPageIndex(static_cast<short>(nPageIndex));
    display.SetImageHandle(!path.empty() && file.FileAction(kFileActionRead) ? file.GetImageHandle() : 0);
    display.SetZoom(dZoom);
    display.DisplayAction(nMode);
}

// The page spin button: the arrows alone (the page number has its own field), stepping one page.
class CPageSpin : public QSpinBox {
public:
    CPageSpin()
    {
        setObjectName(ControlName(IDC_PAGE_SPIN));
        lineEdit()->setReadOnly(true);
        setFixedWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) + 8);
    }
    QString textFromValue(int) const override { return {}; }
    int valueFromText(const QString&) const override { return value(); }
};

QSlider* MakeZoomSlider(int nId, Qt::Orientation orientation)
{
    auto* slider = Make<QSlider>(nId);
    slider->setOrientation(orientation);
    slider->setRange(1, 100);
    slider->setTickInterval(10);
    slider->setTickPosition(QSlider::TicksBelow);
    return slider;
}

} // namespace


// ---- Select Cover Sheet ----

CPPSelectCover::CPPSelectCover(CPSMainuiLogic& sheet, IPrompter& prompter)
    : CWizardPage(sheet, IDD_SELECT_COVER, 401, 402), m_Prompter(prompter), m_Logic(sheet, prompter)
{
    constexpr int D = IDD_SELECT_COVER;
    m_pAttach = MakeText<QCheckBox>(D, IDC_ATTACH_COVER);
    auto* coverGroup = MakeGroup(D, IDC_COVER_GROUP);
    m_pList = Make<QListWidget>(IDC_COVER_LIST);
    auto* createNew = MakeText<QPushButton>(D, IDC_CREATE_NEW);
    auto* edit = MakeText<QPushButton>(D, IDC_EDIT_COVER);
    auto* coverLayout = new QGridLayout(coverGroup);
    coverLayout->addWidget(m_pList, 0, 0, 1, 2);
    coverLayout->addWidget(createNew, 1, 0);
    coverLayout->addWidget(edit, 1, 1);

    auto* folderGroup = MakeGroup(D, IDC_FOLDER_GROUP);
    m_pFolder = Make<QLineEdit>(IDC_FOLDER);
    m_pFolder->setReadOnly(true);
    auto* change = MakeText<QPushButton>(D, IDC_FOLDER_CHANGE);
    auto* folderLayout = new QHBoxLayout(folderGroup);
    folderLayout->addWidget(m_pFolder, 1);
    folderLayout->addWidget(change);

    auto* previewGroup = MakeGroup(D, IDC_COVER_PREVIEW_GROUP);
    m_pDisplay = Make<CIkDisp>(IDC_COVER_DISPLAY);
    m_pDisplay->setMinimumSize(120, 150);
    m_pSlider = MakeZoomSlider(IDC_ZOOM_SLIDER, Qt::Vertical);
    m_pPercent = Make<QLabel>(IDC_ZOOM_PERCENT);
    auto* previewLayout = new QGridLayout(previewGroup);
    previewLayout->addWidget(m_pDisplay, 0, 0, 2, 1);
    previewLayout->addWidget(m_pSlider, 0, 1);
    previewLayout->addWidget(m_pPercent, 1, 1);

    auto* descriptionGroup = MakeGroup(D, IDC_DESCRIPTION_GROUP);
    m_pDescription = Make<QPlainTextEdit>(IDC_DESCRIPTION);
    (new QVBoxLayout(descriptionGroup))->addWidget(m_pDescription);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_pAttach, 0, 0, 1, 2);
    layout->addWidget(coverGroup, 1, 0);
    layout->addWidget(previewGroup, 1, 1, 2, 1);
    layout->addWidget(folderGroup, 2, 0);
    layout->addWidget(descriptionGroup, 3, 0, 1, 2);

    connect(m_pAttach, &QCheckBox::toggled, this, [this](bool checked) {
        if (!m_bUpdating) {
            m_Logic.SetAttach(checked);
            Update();
        }
    });
    connect(m_pList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_bUpdating) {
            m_Logic.Select(row);
            Update();
        }
    });
    connect(createNew, &QPushButton::clicked, this, [this] { m_Logic.CreateNew(); });
    connect(edit, &QPushButton::clicked, this, [this] { m_Logic.Edit(); });
    connect(change, &QPushButton::clicked, this, [this] {
        m_Logic.FolderChange();
        Update();
    });
    connect(m_pSlider, &QSlider::valueChanged, this, [this](int position) {
        if (!m_bUpdating) {
            m_Logic.SetZoomPosition(position);
            Update();
        }
    });
    connect(m_pDescription, &QPlainTextEdit::textChanged, this,
            [this] { m_Logic.SetDescription(m_pDescription->toPlainText().toStdString()); });
    connect(m_pDisplay, &CIkDisp::ZoomChanged, this, [this](double zoom) {
        m_Logic.SetShownZoom(zoom);
        ShowZoom();
    });
    m_pDescription->setTabChangesFocus(true);
    ChainTabOrder({m_pAttach, m_pList, createNew, edit, m_pFolder, change, m_pDisplay, m_pSlider, m_pDescription});
    m_Logic.OnInitDialog();
    Update();
}

void CPPSelectCover::ShowZoom()
{
    const bool updating = m_bUpdating;
    m_bUpdating = true;
    m_pSlider->setValue(m_Logic.GetZoomPosition());
    m_pPercent->setText(QtText(m_Logic.GetZoomText()));
    m_bUpdating = updating;
}

void CPPSelectCover::Update()
{
    m_bUpdating = true;
    const bool attach = m_Logic.GetAttach();
    m_pAttach->setChecked(attach);
    for (int id : kCoverControls)
        if (auto* control = findChild<QWidget*>(ControlName(id)))
            control->setEnabled(attach);
    m_pFolder->setText(QtText(m_Logic.GetFolder()));
    QStringList names;
    for (const std::string& name : m_Logic.Files())
        names << QtText(name);
    QStringList shown;
    for (int i = 0; i < m_pList->count(); ++i)
        shown << m_pList->item(i)->text();
    if (shown != names) {
        m_pList->clear();
        m_pList->addItems(names);
    }
    m_pList->setCurrentRow(m_Logic.GetSelection());
    ShowImage(*m_pDisplay, m_Logic.GetPreviewImage(), 0, m_Logic.GetZoom(), m_Logic.GetDisplayMode());
    ShowZoom();
    m_bUpdating = false;
}

void CPPSelectCover::OnSetActive()
{
    CWizardPage::OnSetActive();
    m_Logic.OnSetActive();
    Update();
}

void CPPSelectCover::OnCoverSheetSaved(uint32_t wParam)
{
    CWizardPage::OnCoverSheetSaved(wParam);
    m_Logic.OnCoverSheetSaved(wParam);
    Update();
}

bool CPPSelectCover::validatePage() { return m_Logic.OnWizardNext(); }

// ---- Preview ----

CPPPreview::CPPPreview(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress)
    : CWizardPage(sheet, IDD_PREVIEW, 501, 502), m_Prompter(prompter), m_Logic(sheet, prompter, progress)
{
    constexpr int D = IDD_PREVIEW;
    m_pDisplay = Make<CIkDisp>(IDC_PREVIEW_DISPLAY);
    m_pDisplay->setMinimumSize(240, 200);
    auto* pageLabel = MakeText<QLabel>(D, IDC_PAGE_LABEL);
    m_pPageNumber = Make<QLineEdit>(IDC_PAGE_NUMBER);
    m_pPageNumber->setMaximumWidth(60);
    m_pSpin = new CPageSpin;
    m_pSpin->setRange(-1000000, 1000000);
    pageLabel->setBuddy(m_pPageNumber);
    m_pSpin->setAccessibleName(pageLabel->text()); // arrows alone: named after the page number
    auto* modeGroup = MakeGroup(D, IDC_VIEW_MODE_GROUP);
    auto* modeLayout = new QVBoxLayout(modeGroup);
    const int modeIds[3] = {IDC_MODE_SCALE, IDC_MODE_FIT, IDC_MODE_ACTUAL};
    for (int i = 0; i < 3; ++i) {
        m_pModes[i] = MakeText<QRadioButton>(D, modeIds[i]);
        modeLayout->addWidget(m_pModes[i]);
        connect(m_pModes[i], &QRadioButton::clicked, this, [this, i] {
            m_Logic.SetMode(i + 1);
            Update();
            ShowPage();
        });
    }
    m_pSlider = MakeZoomSlider(IDC_PREVIEW_ZOOM_SLIDER, Qt::Horizontal);
    m_pPercent = Make<QLineEdit>(IDC_PREVIEW_ZOOM_PERCENT);
    m_pPercent->setReadOnly(true);
    m_pPercent->setMaximumWidth(60);
    auto* zoom = MakeText<QPushButton>(D, IDC_ZOOM);
    auto* editImage = MakeText<QPushButton>(D, IDC_EDIT_IMAGE);
    editImage->setEnabled(false);
    editImage->hide();

    auto* side = new QVBoxLayout;
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(m_pPageNumber);
    pageRow->addWidget(m_pSpin);
    side->addWidget(pageLabel);
    side->addLayout(pageRow);
    side->addWidget(modeGroup);
    side->addWidget(m_pSlider);
    side->addWidget(m_pPercent);
    side->addWidget(zoom);
    side->addWidget(editImage);
    side->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pDisplay, 1);
    layout->addLayout(side);

    connect(m_pSpin, &QSpinBox::valueChanged, this, [this](int value) {
        if (m_bUpdating)
            return;
        if (m_Logic.StepPage(value - m_Logic.GetPageNumber()))
            QTimer::singleShot(0, this, [this] { ShowPage(); });
        Update();
    });
    // A page number typed in the box turns to that page; anything else gets the page's text back.
    connect(m_pPageNumber, &QLineEdit::editingFinished, this, [this] {
        if (m_bUpdating)
            return;
        const bool turned = m_Logic.GoToPage(Utf8Text(m_pPageNumber->text()));
        Update();
        if (turned)
            ShowPage();
    });
    connect(m_pSlider, &QSlider::valueChanged, this, [this](int position) {
        if (m_bUpdating)
            return;
        m_Logic.SetZoomPosition(position);
        Update();
        ShowPage();
    });
    connect(zoom, &QPushButton::clicked, this, [this] { m_Logic.Zoom(); });
    connect(m_pDisplay, &CIkDisp::ZoomChanged, this, [this](double shown) {
        m_Logic.SetShownZoom(shown);
        if (!m_bUpdating)
            Update();
    });
    Update();
}

void CPPPreview::Update()
{
    m_bUpdating = true;
    const bool enabled = m_Logic.AreControlsEnabled();
    for (int id : {IDC_PREVIEW_DISPLAY, IDC_PAGE_LABEL, IDC_PAGE_NUMBER, IDC_PAGE_SPIN, IDC_VIEW_MODE_GROUP,
                   IDC_MODE_SCALE, IDC_MODE_FIT, IDC_MODE_ACTUAL})
        if (auto* control = findChild<QWidget*>(ControlName(id)))
            control->setEnabled(enabled);
    if (auto* zoom = findChild<QWidget*>(ControlName(IDC_ZOOM)))
        zoom->setEnabled(m_Logic.IsViewerEnabled());
    m_pModes[m_Logic.GetMode() - 1]->setChecked(true);
    m_pSlider->setEnabled(m_Logic.IsZoomEnabled());
    m_pPercent->setEnabled(m_Logic.IsZoomEnabled());
    m_pSlider->setValue(m_Logic.GetZoomPosition());
    m_pPercent->setText(QtText(m_Logic.GetZoomText()));
    m_pSpin->setValue(m_Logic.GetPageNumber());
    m_pPageNumber->setText(QtText(m_Logic.GetPageText()));
    m_bUpdating = false;
    if (QWizard* sheet = wizard()) {
        // The sheet enables Back again whenever it updates its buttons; on this last page the
        // option keeps Back as the page allows it.
        const bool back = (m_Logic.GetButtons() & PSWIZB_BACK) != 0;
        sheet->setOption(QWizard::DisabledBackButtonOnLastPage, !back);
        if (QAbstractButton* button = sheet->button(QWizard::BackButton))
            button->setEnabled(back);
    }
    emit completeChanged();
}

void CPPPreview::ShowPage()
{
    const int page = m_Logic.GetPageNumber();
    if (page > 0)
        ShowImage(*m_pDisplay, m_Logic.GetImagePath(), page - 1, m_Logic.GetZoom(), m_Logic.GetMode());
    else
        m_pDisplay->SetImageHandle(0);
    if (page != m_nShownPage)
        m_pDisplay->ScrollToTop();
    m_nShownPage = page;
}

void CPPPreview::keyPressEvent(QKeyEvent* event)
{
    // Enter that no control of the page took (the page number, the zoom percentage, a mode) shows
    // the page; it never reaches the sheet's default button, so only Finish itself sends.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_Logic.AreControlsEnabled())
            ShowPage();
        event->accept();
        return;
    }
    CWizardPage::keyPressEvent(event);
}

void CPPPreview::OnSetActive()
{
    CWizardPage::OnSetActive();
    m_Logic.OnSetActive();
    Update();
    // The image is made once the page is on the screen.
    m_bImagePending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_bImagePending)
            CreateImage();
    });
}

void CPPPreview::CreateImage()
{
    CPSMainui::Step step(wizard());
    m_bImagePending = false;
    m_Logic.CreateImage();
    Update();
    ShowPage();
}

bool CPPPreview::isComplete() const { return (m_Logic.GetButtons() & PSWIZB_FINISH) != 0; }

bool CPPPreview::validatePage()
{
    // Finish pressed before the image was made: make it first, and send only when that left the
    // page as it is after a good image (a failure or the size rule is shown, and the page stays).
    if (m_bImagePending) {
        CreateImage();
        if (!ImageCameOutWhole())
            return false;
    }
    const bool close = m_Logic.OnWizardFinish();
    Update();
    return close;
}

// ---- Ready To Send ----

CPPFinish::CPPFinish(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress)
    : CWizardPage(sheet, IDD_READY_TO_SEND, 700, 0), m_Prompter(prompter), m_Logic(sheet, prompter, progress)
{
    constexpr int D = IDD_READY_TO_SEND;
    auto* picture = m_pPicture = Make<QLabel>(IDC_MODEL_PICTURE);
    auto field = [](int nId) {
        auto* edit = Make<QLineEdit>(nId);
        edit->setReadOnly(true);
        return edit;
    };
    m_pPrinter = field(IDC_PRINTER_TEXT);
    m_pSize = field(IDC_SIZE_TEXT);
    m_pCover = field(IDC_COVER_TEXT);
    m_pFiling = field(IDC_FILING_TEXT);
    auto* sizeLabel = MakeText<QLabel>(D, IDC_SIZE_LABEL);
    m_pFilingLabel = MakeText<QLabel>(D, IDC_FILING_LABEL);
    m_pList = Make<QTreeWidget>(IDC_DESTINATION_LIST);
    m_pList->setRootIsDecorated(false);
    m_pList->setHeaderLabels({QtText(WizardString(IDS_FAX_NUMBER)), QtText(WizardString(IDS_NAME))});
    FitColumnsToView(m_pList, {170, 160});
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->header()->setSectionsMovable(true);
    auto* logViewer = MakeText<QCheckBox>(D, IDC_LOG_VIEWER);

    auto* form = new QGridLayout;
    form->addWidget(MakeText<QLabel>(D, IDC_PRINTER_LABEL), 0, 0);
    form->addWidget(m_pPrinter, 0, 1);
    form->addWidget(sizeLabel, 1, 0);
    form->addWidget(m_pSize, 1, 1);
    form->addWidget(MakeText<QLabel>(D, IDC_COVER_LABEL), 2, 0);
    form->addWidget(m_pCover, 2, 1);
    form->addWidget(m_pFilingLabel, 3, 0);
    form->addWidget(m_pFiling, 3, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(MakeText<QLabel>(D, IDC_READY_TEXT));
    auto* warning = MakeText<QLabel>(D, IDC_READY_WARNING);
    warning->setWordWrap(true);
    right->addWidget(warning);
    right->addLayout(form);
    right->addWidget(MakeText<QLabel>(D, IDC_DESTINATION_LABEL));
    right->addWidget(m_pList, 1);
    right->addWidget(logViewer);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(picture, 0, Qt::AlignTop);
    layout->addLayout(right, 1);

    sizeLabel->hide();
    m_pSize->hide();
    OnPrinterKnown();
    connect(logViewer, &QCheckBox::toggled, this, [this](bool checked) { m_Logic.SetLogViewer(checked); });
}

void CPPFinish::OnPrinterKnown()
{
    m_pPicture->setPixmap(
        LoadResourcePicture(QELTA_RESOURCE_BITMAP, static_cast<uint32_t>(ModelPictureFor(m_Sheet.m_nModelType))));
    m_pFilingLabel->setVisible(m_Logic.ShowsFiling());
    m_pFiling->setVisible(m_Logic.ShowsFiling());
}

void CPPFinish::OnSetActive()
{
    CWizardPage::OnSetActive();
    m_Logic.OnSetActive();
    m_pPrinter->setText(QtText(m_Logic.GetPrinterText()));
    m_pSize->setText(QtText(m_Logic.GetSizeText()));
    m_pCover->setText(QtText(m_Logic.GetCoverText()));
    m_pFiling->setText(QtText(m_Logic.GetFilingText()));
    m_pList->clear();
    for (const auto& [number, name] : m_Logic.GetRows())
        m_pList->addTopLevelItem(new QTreeWidgetItem({QtText(number), QtText(name)}));
}

bool CPPFinish::validatePage() { return m_Logic.OnWizardFinish(); }
