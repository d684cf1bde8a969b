#include "sendwizard/app/set_params_page.h"

#include "common/resource_locale.h"
#include "sendwizard/app/pages.h"
#include "sendwizard/app/wizard_dialogs.h"
#include "sendwizard/wizard_strings.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int D = IDD_SET_PARAMS;


template <typename W>
W* Make(int nId)
{
    auto* widget = new W;
    widget->setObjectName(ControlName(nId));
    return widget;
}

template <typename W>
W* MakeText(int nId)
{
    auto* widget = Make<W>(nId);
    widget->setText(QtText(ControlText(D, nId)));
    return widget;
}

QGroupBox* MakeGroup(int nId)
{
    auto* group = Make<QGroupBox>(nId);
    group->setTitle(QtText(ControlText(D, nId)));
    return group;
}

// A label for a control; labels without an id of their own stay out of the enabling.
QLabel* LabelFor(int nTextId, QWidget* buddy, int nId = 0)
{
    auto* label = nId ? Make<QLabel>(nId) : new QLabel;
    label->setText(QtText(ControlText(D, nTextId)));
    label->setBuddy(buddy);
    return label;
}

void SetChecked(QAbstractButton* button, int bChecked) { button->setChecked(bChecked != 0); }

void SetText(QLineEdit* edit, const std::string& text)
{
    const QString shown = QtText(text);
    if (edit->text() != shown) {
        edit->setText(shown);
        edit->setCursorPosition(0); // a new text puts the caret at its start
    }
}

} // namespace

CPPSetParams::CPPSetParams(CPSMainuiLogic& sheet, IPrompter& prompter)
    : CWizardPage(sheet, IDD_SET_PARAMS, 601, 602), m_pDiscover(std::make_unique<CQtDiscoverRunner>(this)),
      m_pEntry(std::make_unique<CQtPrinterNameEntry>(prompter, this)), m_Update(prompter, *m_pEntry, *m_pDiscover),
      m_Logic(sheet, prompter, m_Update, [this] { return WidgetFontFace(*this); })
{
    Build();
    Refresh();
}

CPPSetParams::~CPPSetParams() = default;

void CPPSetParams::Build()
{
    // Compression: the command line's choice, kept out of sight.
    auto* compressionGroup = MakeGroup(IDC_PARAM_COMPRESSION_GROUP);
    m_pCompression = Make<QComboBox>(IDC_PARAM_COMPRESSION);
    (new QVBoxLayout(compressionGroup))->addWidget(m_pCompression);
    compressionGroup->hide();

    auto* headerGroup = MakeGroup(IDC_PARAM_HEADER_GROUP);
    m_pHeader = MakeText<QCheckBox>(IDC_PARAM_HEADER);
    m_pHeaderText = Make<QLineEdit>(IDC_PARAM_HEADER_TEXT);
    auto* tags = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        const int id = IDC_PARAM_TAG_DATE + i;
        auto* button = Make<QPushButton>(id);
        const QPixmap picture = LoadResourcePicture(QELTA_RESOURCE_BITMAP, kTagBitmaps[i]);
        button->setIcon(QIcon(picture));
        if (!picture.isNull())
            button->setIconSize(picture.size());
        button->setMinimumSize(32, 24);
        // A picture alone says nothing to a screen reader or a new user: the tag is the name.
        const QString tag = QtText(CPPSetParamsLogic::TagName(id));
        button->setAccessibleName(tag);
        button->setToolTip(tag);
        connect(button, &QPushButton::clicked, this, [this, id] { InsertTag(id); });
        tags->addWidget(button);
    }
    tags->addStretch(1);
    auto* headerLayout = new QVBoxLayout(headerGroup);
    headerLayout->addWidget(m_pHeader);
    headerLayout->addWidget(m_pHeaderText);
    headerLayout->addLayout(tags);

    m_pUserName = Make<QLineEdit>(IDC_PARAM_USER_NAME);
    m_pJobName = Make<QLineEdit>(IDC_PARAM_JOB_NAME);
    m_pKeepUser = MakeText<QCheckBox>(IDC_PARAM_KEEP_USER);
    m_pKeepJob = MakeText<QCheckBox>(IDC_PARAM_KEEP_JOB);
    auto* jobId = new QGridLayout;
    jobId->addWidget(LabelFor(IDC_PARAM_USER_NAME, m_pUserName), 0, 0);
    jobId->addWidget(m_pUserName, 0, 1);
    jobId->addWidget(m_pKeepUser, 1, 1);
    jobId->addWidget(LabelFor(IDC_PARAM_JOB_NAME, m_pJobName), 2, 0);
    jobId->addWidget(m_pJobName, 2, 1);
    jobId->addWidget(m_pKeepJob, 3, 1);

    m_pBroadcast = MakeText<QCheckBox>(IDC_PARAM_BROADCAST);
    m_pNotify = MakeText<QCheckBox>(IDC_PARAM_NOTIFY);

    auto* accountGroup = MakeGroup(IDC_PARAM_ACCOUNT_GROUP);
    m_pAccount = MakeText<QCheckBox>(IDC_PARAM_ACCOUNT);
    m_pAccountNumber = Make<QLineEdit>(IDC_PARAM_ACCOUNT_NUMBER);
    auto* accountLayout = new QHBoxLayout(accountGroup);
    accountLayout->addWidget(m_pAccount);
    accountLayout->addWidget(m_pAccountNumber);

    auto* filingGroup = Make<QGroupBox>(IDC_PARAM_FILING_GROUP);
    m_pFiling = MakeText<QCheckBox>(IDC_PARAM_FILING);
    const int modeIds[3] = {IDC_PARAM_MODE_QUICK, IDC_PARAM_MODE_FILE, IDC_PARAM_MODE_NAME};
    auto* modes = new QHBoxLayout;
    for (int mode = 0; mode < 3; ++mode) {
        m_pModes[mode] = MakeText<QRadioButton>(modeIds[mode]);
        modes->addWidget(m_pModes[mode]);
        connect(m_pModes[mode], &QRadioButton::clicked, this, [this, mode] {
            Store();
            m_Logic.OnFilingMode(mode);
            Refresh();
        });
    }
    m_pList = Make<QTreeWidget>(IDC_PARAM_FOLDER_LIST);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->header()->setSectionsMovable(true);
    m_pList->setIconSize(QSize(16, 16));
    auto* update = MakeText<QPushButton>(IDC_PARAM_UPDATE_FOLDER);
    m_pFolderName = Make<QLineEdit>(IDC_PARAM_FOLDER_NAME);
    m_pFolderPass = Make<QLineEdit>(IDC_PARAM_FOLDER_PASS);
    m_pFilePass = Make<QLineEdit>(IDC_PARAM_FILE_PASS);
    auto* filingLayout = new QGridLayout(filingGroup);
    filingLayout->addWidget(m_pFiling, 0, 0, 1, 2);
    filingLayout->addLayout(modes, 1, 0, 1, 2);
    filingLayout->addWidget(m_pList, 2, 0, 1, 2);
    filingLayout->addWidget(update, 3, 1, Qt::AlignRight);
    filingLayout->addWidget(m_pFolderName, 4, 0, 1, 2);
    filingLayout->addWidget(LabelFor(IDC_PARAM_FOLDER_PASS_LABEL, m_pFolderPass, IDC_PARAM_FOLDER_PASS_LABEL), 5, 0);
    filingLayout->addWidget(m_pFolderPass, 5, 1);
    filingLayout->addWidget(LabelFor(IDC_PARAM_FILE_PASS_LABEL, m_pFilePass, IDC_PARAM_FILE_PASS_LABEL), 6, 0);
    filingLayout->addWidget(m_pFilePass, 6, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(headerGroup);
    left->addLayout(jobId);
    left->addWidget(m_pBroadcast);
    left->addWidget(m_pNotify);
    left->addWidget(accountGroup);
    left->addWidget(compressionGroup);
    left->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(filingGroup, 1);

    auto handler = [this](auto&& fn) {
        return [this, fn](bool checked) {
            if (m_bUpdating)
                return;
            Store();
            fn(checked ? 1 : 0);
            Refresh();
        };
    };
    connect(m_pHeader, &QCheckBox::clicked, this, handler([this](int on) { m_Logic.OnHeader(on); }));
    connect(m_pFiling, &QCheckBox::clicked, this, handler([this](int on) { m_Logic.OnFiling(on); }));
    connect(m_pAccount, &QCheckBox::clicked, this, handler([this](int on) { m_Logic.OnAccount(on); }));
    connect(update, &QPushButton::clicked, this, handler([this](int) { m_Logic.OnUpdateFolder(); }));
    for (QCheckBox* box : {m_pBroadcast, m_pNotify, m_pKeepUser, m_pKeepJob})
        connect(box, &QCheckBox::clicked, this, handler([this](int) { m_Logic.OnChanged(); }));
    // The folder name marks a change too: a new name must reach the job after a preview.
    for (QLineEdit* edit :
         {m_pHeaderText, m_pFolderName, m_pFolderPass, m_pFilePass, m_pAccountNumber, m_pUserName, m_pJobName})
        connect(edit, &QLineEdit::textEdited, this, [this] {
            Store();
            m_Logic.OnChanged();
        });
    connect(m_pCompression, &QComboBox::activated, this, [this] { m_Logic.OnChanged(); });
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (m_bUpdating)
            return;
        const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
        Store();
        m_Logic.OnFolderSelected(selected.isEmpty() ? -1 : m_pList->indexOfTopLevelItem(selected.front()));
        Refresh();
    });
}

void CPPSetParams::BuildColumns()
{
    const std::vector<FolderColumn> columns = m_Logic.Columns();
    m_pList->setColumnCount(static_cast<int>(columns.size()));
    QStringList titles;
    for (const FolderColumn& column : columns)
        titles << QtText(WizardString(column.nTitle));
    m_pList->setHeaderLabels(titles);
    std::vector<int> widths;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        widths.push_back(columns[static_cast<size_t>(c)].nWidth);
        if (columns[static_cast<size_t>(c)].bRightAligned)
            m_pList->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    FitColumnsToView(m_pList, std::move(widths));
}

void CPPSetParams::Store()
{
    m_Logic.m_nCompression = m_pCompression->currentIndex();
    m_Logic.m_bHeader = m_pHeader->isChecked() ? 1 : 0;
    m_Logic.m_strHeaderText = Utf8Text(m_pHeaderText->text());
    m_Logic.m_bBroadcast = m_pBroadcast->isChecked() ? 1 : 0;
    m_Logic.m_bNotification = m_pNotify->isChecked() ? 1 : 0;
    m_Logic.m_bFiling = m_pFiling->isChecked() ? 1 : 0;
    for (int mode = 0; mode < 3; ++mode)
        if (m_pModes[mode]->isChecked())
            m_Logic.m_nFilingMode = mode;
    m_Logic.m_strFolderName = Utf8Text(m_pFolderName->text());
    m_Logic.m_strFolderPassCode = Utf8Text(m_pFolderPass->text());
    m_Logic.m_strFilePassCode = Utf8Text(m_pFilePass->text());
    m_Logic.m_bAccount = m_pAccount->isChecked() ? 1 : 0;
    m_Logic.m_strAccountNumber = Utf8Text(m_pAccountNumber->text());
    m_Logic.m_strUserName = Utf8Text(m_pUserName->text());
    m_Logic.m_strJobName = Utf8Text(m_pJobName->text());
    m_Logic.m_bKeepUserName = m_pKeepUser->isChecked() ? 1 : 0;
    m_Logic.m_bKeepJobName = m_pKeepJob->isChecked() ? 1 : 0;
}

void CPPSetParams::Refresh()
{
    m_bUpdating = true;
    m_pCompression->setCurrentIndex(m_Logic.m_nCompression);
    SetChecked(m_pHeader, m_Logic.m_bHeader);
    SetText(m_pHeaderText, m_Logic.m_strHeaderText);
    SetChecked(m_pBroadcast, m_Logic.m_bBroadcast);
    SetChecked(m_pNotify, m_Logic.m_bNotification);
    SetChecked(m_pFiling, m_Logic.m_bFiling);
    m_pModes[std::clamp(m_Logic.m_nFilingMode, 0, 2)]->setChecked(true);
    SetText(m_pFolderName, m_Logic.m_strFolderName);
    SetText(m_pFolderPass, m_Logic.m_strFolderPassCode);
    SetText(m_pFilePass, m_Logic.m_strFilePassCode);
    SetChecked(m_pAccount, m_Logic.m_bAccount);
    SetText(m_pAccountNumber, m_Logic.m_strAccountNumber);
    SetText(m_pUserName, m_Logic.m_strUserName);
    SetText(m_pJobName, m_Logic.m_strJobName);
    SetChecked(m_pKeepUser, m_Logic.m_bKeepUserName);
    SetChecked(m_pKeepJob, m_Logic.m_bKeepJobName);
    for (QWidget* control : findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (name.startsWith(QLatin1String("id")))
            control->setEnabled(m_Logic.IsEnabled(name.mid(2).toInt()));
    }

    std::vector<FolderRowView> rows;
    for (int r = 0; r < m_Logic.RowCount(); ++r)
        rows.push_back(m_Logic.Row(r));
    if (rows != m_Shown) {
        m_pList->clear();
        for (const FolderRowView& row : rows) {
            auto* item = new QTreeWidgetItem(m_pList);
            item->setText(0, QtText(row.strName));
            item->setIcon(0, QIcon(LoadResourcePicture(QELTA_RESOURCE_ICON, kFolderIcons[row.nImage])));
            if (m_pList->columnCount() >= 3) {
                item->setText(1, QtText(row.strSize));
                item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
                item->setText(2, QtText(row.strDate));
            }
        }
        m_Shown = std::move(rows);
    }
    const int selected = m_Logic.SelectedRow();
    m_pList->clearSelection();
    if (QTreeWidgetItem* item = selected >= 0 ? m_pList->topLevelItem(selected) : nullptr) {
        item->setSelected(true);
        m_pList->setCurrentItem(item);
    }
    m_bUpdating = false;
}

void CPPSetParams::InsertTag(int nButtonId)
{
    Store();
    const QString text = m_pHeaderText->text();
    const int caret = m_pHeaderText->hasSelectedText() ? m_pHeaderText->selectionStart() : m_pHeaderText->cursorPosition();
    const size_t after = m_Logic.InsertTag(nButtonId, static_cast<size_t>(text.left(caret).toUtf8().size()));
    Refresh();
    const std::string& header = m_Logic.m_strHeaderText;
    m_pHeaderText->setCursorPosition(static_cast<int>(QtText(header.substr(0, after)).size()));
    m_pHeaderText->setFocus();
}

void CPPSetParams::OnSetActive()
{
    CWizardPage::OnSetActive();
    if (!m_Logic.IsInitialized()) {
        m_Logic.OnInitDialog();
        for (const std::string& item : m_Logic.CompressionItems())
            m_pCompression->addItem(QtText(item));
        BuildColumns();
        // The page's own message: the compression is selected once the page is up.
        QTimer::singleShot(0, this, [this] {
            m_Logic.OnSelectCompression();
            Refresh();
        });
    }
    m_Logic.OnSetActive();
    Refresh();
}

bool CPPSetParams::validatePage()
{
    Store();
    const bool next = m_Logic.OnWizardNext();
    Refresh();
    return next;
}
