#include "envsetup/app/envsetup_sheet.h"

#include "common/fax_number.h"
#include "common/prompter.h"
#include "common/resource_locale.h"
#include "common/resource_module.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/view_helpers.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString ControlText(int nDialog, int nId)
{
    return QtText(EnvString(ControlTextId(static_cast<uint32_t>(nDialog), static_cast<uint32_t>(nId))));
}

// A label for a control, its text the control's, its buddy the control.
QLabel* LabelFor(QWidget* control, int nDialog, int nId)
{
    auto* label = new QLabel(ControlText(nDialog, nId));
    label->setBuddy(control);
    return label;
}

// Lets a box hold only what a fax number may hold: a key or a paste of anything else is refused.
// A stored text that is no fax number is shown as it is, and characters may still be taken out of it.
class CFaxNumberValidator : public QValidator {
public:
    explicit CFaxNumberValidator(QLineEdit* box) : QValidator(box), m_shown(box->text())
    {
        connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { m_shown = text; });
    }
    State validate(QString& text, int&) const override
    {
        return IsFaxNumberText(Utf8Text(text)) || IsTakenOutOfShown(text) ? Acceptable : Invalid;
    }

private:
    bool IsTakenOutOfShown(const QString& text) const
    {
        qsizetype at = 0;
        for (const QChar c : text) {
            at = m_shown.indexOf(c, at);
            if (at < 0)
                return false;
            ++at;
        }
        return true;
    }
    QString m_shown; // the text the box shows, before the edit being checked
};

QIcon ListIcon(int nImage)
{
    return QIcon(LoadResourcePicture(QELTA_RESOURCE_ICON, kPrinterListIcons[std::clamp(nImage, 0, 3)]));
}

} // namespace

// ---- Header Setting ----

CPPHeader::CPPHeader(CPPHeaderLogic& logic, QWidget* parent)
    : QWidget(parent), m_Logic(logic), m_pFace(Named(new QLineEdit, IDC_FONT_FACE)),
      m_pSize(Named(new QLineEdit, IDC_FONT_SIZE)), m_pUserName(Named(new QLineEdit, IDC_HEADER_USER_NAME)),
      m_pTelNumber(Named(new QLineEdit, IDC_HEADER_TEL_NUMBER))
{
    setObjectName(ControlName(IDD_HEADER_SETTING));
    constexpr int D = IDD_HEADER_SETTING;
    m_pFace->setReadOnly(true);
    m_pSize->setReadOnly(true);
    m_pTelNumber->setValidator(new CFaxNumberValidator(m_pTelNumber));
    auto* select = Named(new QPushButton(ControlText(D, IDC_SELECT_FONT)), IDC_SELECT_FONT);

    auto* grid = new QGridLayout(this);
    grid->addWidget(LabelFor(m_pFace, D, IDC_FONT_FACE), 0, 0);
    grid->addWidget(m_pFace, 0, 1, 1, 2);
    grid->addWidget(LabelFor(m_pSize, D, IDC_FONT_SIZE), 1, 0);
    grid->addWidget(m_pSize, 1, 1);
    grid->addWidget(select, 1, 2);
    grid->addWidget(LabelFor(m_pUserName, D, IDC_HEADER_USER_NAME), 2, 0);
    grid->addWidget(m_pUserName, 2, 1, 1, 2);
    grid->addWidget(LabelFor(m_pTelNumber, D, IDC_HEADER_TEL_NUMBER), 3, 0);
    grid->addWidget(m_pTelNumber, 3, 1, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
    ChainTabOrder({m_pFace, m_pSize, select, m_pUserName, m_pTelNumber});

    connect(select, &QPushButton::clicked, this, [this] {
        m_Logic.OnSelectFont();
        ShowFont();
        emit Changed();
    });
    connect(m_pUserName, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_Logic.m_strUserName = Utf8Text(text);
        m_Logic.OnEditChanged();
        emit Changed();
    });
    connect(m_pTelNumber, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_Logic.m_strTelNumber = Utf8Text(text);
        m_Logic.OnEditChanged();
        emit Changed();
    });
}

void CPPHeader::Init()
{
    m_Logic.OnInitDialog();
    ShowFont();
    m_pUserName->setText(QtText(m_Logic.m_strUserName));
    m_pTelNumber->setText(QtText(m_Logic.m_strTelNumber));
}

void CPPHeader::ShowFont()
{
    m_pFace->setText(QtText(m_Logic.FontFace()));
    m_pFace->setCursorPosition(0);
    m_pSize->setText(QtText(m_Logic.SizeText()));
}

// ---- Printer Setting ----

CPPPrinter::CPPPrinter(CPPPrinterLogic& logic, QWidget* parent)
    : QWidget(parent), m_Logic(logic), m_pUse(Named(new QCheckBox, IDC_USE_USER_PRINTER)),
      m_pList(Named(new QTreeWidget, IDC_PRINTER_LIST)), m_pNote(Named(new QLabel, IDC_LIST_NOTE)),
      m_pSetDefault(Named(new QPushButton, IDC_SET_DEFAULT)), m_pUpdate(Named(new QPushButton, IDC_UPDATE_LIST))
{
    setObjectName(ControlName(IDD_PRINTER_SETTING));
    constexpr int D = IDD_PRINTER_SETTING;
    m_pUse->setText(ControlText(D, IDC_USE_USER_PRINTER));
    m_pSetDefault->setText(ControlText(D, IDC_SET_DEFAULT));
    m_pUpdate->setText(ControlText(D, IDC_UPDATE_LIST));

    const auto columns = CPPPrinterLogic::Columns();
    QStringList titles;
    std::vector<int> widths;
    for (const PrinterColumn& column : columns) {
        titles << QtText(EnvString(column.nTitle));
        widths.push_back(column.nWidth);
    }
    m_pList->setHeaderLabels(titles);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setSortingEnabled(false); // the logic sorts
    m_pList->header()->setSectionsMovable(true);
    m_pList->header()->setSectionsClickable(true);
    for (int i = 0; i < static_cast<int>(widths.size()); ++i)
        m_pList->setColumnWidth(i, widths[static_cast<size_t>(i)]);

    m_pNote->setWordWrap(true);
    m_pNote->hide();

    auto* box = new QVBoxLayout(this);
    box->addWidget(m_pUse);
    box->addWidget(m_pList, 1);
    box->addWidget(m_pNote);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_pSetDefault);
    buttons->addWidget(m_pUpdate);
    box->addLayout(buttons);
    ChainTabOrder({m_pUse, m_pList, m_pSetDefault, m_pUpdate});

    connect(m_pUse, &QCheckBox::clicked, this, [this](bool checked) { Handle([&] { m_Logic.OnUseUserPrinter(checked); }); });
    connect(m_pSetDefault, &QPushButton::clicked, this, [this] { Handle([&] { m_Logic.OnSetAsDefault(); }); });
    connect(m_pUpdate, &QPushButton::clicked, this, [this] { Handle([&] { m_Logic.OnUpdateList(); }); });
    connect(m_pList->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { Handle([&] { m_Logic.OnColumnClick(column); }); });
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, [this] {
        const auto selected = m_pList->selectedItems();
        m_Logic.OnSelect(selected.isEmpty() ? -1 : m_pList->indexOfTopLevelItem(selected.front()));
    });
}

template <typename Handler>
void CPPPrinter::Handle(Handler&& handler)
{
    handler();
    Refresh();
    emit Changed();
}

void CPPPrinter::Init()
{
    m_Logic.OnInitDialog();
    Refresh();
}

void CPPPrinter::Refresh()
{
    const QSignalBlocker blocker(m_pList);
    m_pUse->setChecked(m_Logic.IsUseUserPrinter());
    m_pList->setEnabled(m_Logic.IsEnabled(IDC_PRINTER_LIST));
    m_pSetDefault->setEnabled(m_Logic.IsEnabled(IDC_SET_DEFAULT));
    m_pUpdate->setEnabled(m_Logic.IsEnabled(IDC_UPDATE_LIST));
    const std::string note = m_Logic.ListNote();
    m_pNote->setText(QtText(note));
    m_pNote->setVisible(!note.empty());
    m_pList->clear();
    for (const PrinterRow& row : m_Logic.Rows()) {
        auto* item = new QTreeWidgetItem({QtText(row.strName), QtText(row.strModel), QtText(row.strLocation)});
        item->setIcon(0, ListIcon(row.nImage));
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled); // the check mark is shown, not clicked
        if (row.bChecked)
            item->setCheckState(0, Qt::Checked);
        m_pList->addTopLevelItem(item);
    }
    if (m_Logic.SelectedRow() >= 0)
        m_pList->setCurrentItem(m_pList->topLevelItem(m_Logic.SelectedRow()));
}

// ---- the sheet ----

CEnvsetupDlg::CEnvsetupDlg(IPrompter& prompter, HelpOpener opener, QWidget* parent)
    : QDialog(parent), m_Prompter(prompter), m_Opener(std::move(opener)),
      m_Logic(prompter, [this] { return WidgetFontFace(*this); }), m_pTabs(new QTabWidget),
      m_pHeader(new CPPHeader(m_Logic.m_Header)), m_pPrinter(new CPPPrinter(m_Logic.m_Printer))
{
    setWindowTitle(QtText(EnvString(IDS_ENVSETUP_CAPTION)));
    setWindowIcon(QIcon(LoadResourcePicture(QELTA_RESOURCE_ICON, IDI_ENVSETUP)));
    m_pTabs->addTab(m_pHeader, QtText(EnvString(IDS_HEADER_PAGE)));
    m_pTabs->addTab(m_pPrinter, QtText(EnvString(IDS_PRINTER_PAGE)));

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QDialogButtonBox::Ok)->setObjectName(ControlName(1));
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(ControlName(2));
    m_pApply = buttons->addButton(QDialogButtonBox::Apply);
    m_pApply->setObjectName(ControlName(ID_APPLY_NOW));
    m_pApply->setText(QtText(EnvString(IDS_APPLY)));
    buttons->addButton(QDialogButtonBox::Help)->setObjectName(ControlName(IDHELP));
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_pTabs, 1);
    box->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CEnvsetupDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CEnvsetupDlg::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &CEnvsetupDlg::ShowHelp);
    connect(m_pApply, &QPushButton::clicked, this, &CEnvsetupDlg::Apply);
    connect(m_pHeader, &CPPHeader::Changed, this, &CEnvsetupDlg::UpdateApply);
    connect(m_pPrinter, &CPPPrinter::Changed, this, &CEnvsetupDlg::UpdateApply);
    // A page reads its settings when it is first shown.
    InitWhenFirstShown(m_pTabs, m_pPrinter, [this] { m_pPrinter->Init(); });
    InstallHelpKey(this, [this] { ShowHelp(); });

    m_pHeader->Init();
    UpdateApply();
    resize(sizeHint().expandedTo(QSize(560, 400)));
    FocusFirstField(m_pHeader); // the sheet opens in its page, not on the tabs
}

void CEnvsetupDlg::ShowHelp()
{
    OpenHelp(ProgramHelpFolder(), kEnvsetupHelpFile, kEnvsetupHelpContext, m_Prompter,
             {"", EnvString(IDS_ENVSETUP_CAPTION)}, m_Opener);
}

void CEnvsetupDlg::Apply()
{
    if (!m_Logic.Apply())
        return ShowPrinterChoice();
    if (m_Logic.m_Printer.IsInitialized())
        m_pPrinter->Refresh();
    UpdateApply();
}

void CEnvsetupDlg::accept()
{
    if (!m_Logic.Apply())
        return ShowPrinterChoice();
    QDialog::accept();
}

void CEnvsetupDlg::ShowPrinterChoice()
{
    m_pTabs->setCurrentWidget(m_pPrinter);
    if (QWidget* list = findChild<QWidget*>(ControlName(IDC_PRINTER_LIST)))
        list->setFocus();
}

void CEnvsetupDlg::UpdateApply() { m_pApply->setEnabled(m_Logic.CanApply()); }

void CQtEnvsetupRunner::Run()
{
    CEnvsetupDlg sheet(m_Prompter);
    sheet.exec();
}
