#include "phonebook/dialogs/app/dest_dialogs.h"

#include "phonebook/dialogs/app/book_dialogs.h"
#include "phonebook/dialogs/app/bookpicker_app.h"
#include "phonebook/dialogs/pb2api.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/view_helpers.h"
#include "uiwidgets/worker_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kTextBuffer = 260;
// Addresses made from the group page are checked for the device class that allows every kind.
constexpr int kGroupAddressClass = 3;
// The pages' templates, whose ids key their controls' texts.
constexpr int kAddressPage = 3000;
constexpr int kGroupPage = 102;

// The page's static 1003: its own text, or the read-only text from the string table.
QLabel* PageText(QWidget* page, bool readOnly, const QString& text, int readOnlyTextId)
{
    auto* label = new QLabel(readOnly ? BookpickerText(readOnlyTextId) : text, page);
    label->setObjectName(ControlName(1003));
    label->setWordWrap(true);
    return label;
}

QPushButton* Button(QWidget* parent, int id, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(ControlName(id));
    button->setAutoDefault(false);
    return button;
}

QCheckBox* CheckBox(QWidget* parent, int id, const QString& text)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(ControlName(id));
    return box;
}

QTreeWidget* DestinationList(QWidget* parent, int id, int width1, int width2)
{
    return NewReportList(parent, id, BookpickerText(311), BookpickerText(310), width1, width2);
}

int CurrentRow(const QTreeWidget* list)
{
    const QModelIndex index = list->currentIndex();
    return index.isValid() && !list->selectedItems().isEmpty() ? index.row() : -1;
}

// A folder or search listing built on a worker thread; the dialog fills the list afterwards.
struct ListingJob {
    CSelectDestLogic* logic;
    int32_t folder;
    bool search;
    std::string text;
    std::vector<DestinationRow> rows;
};

int ListDestinations(void* data, platform::EndpointHandle /*dialog*/)
{
    auto* job = static_cast<ListingJob*>(data);
    job->rows = job->search ? job->logic->ListSearch(job->folder, job->text.c_str()) : job->logic->ListFolder(job->folder);
    return 0;
}

} // namespace

void FillRows(QTreeWidget* list, const std::vector<DestinationRow>& rows, bool orderKept)
{
    const QSignalBlocker block(list);
    list->clear();
    if (!orderKept)
        list->header()->setSortIndicatorShown(false);
    for (const DestinationRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(row.name), QString::fromStdString(row.second)});
        item->setData(0, Qt::UserRole, row.id);
        item->setIcon(0, list->style()->standardIcon(row.Image() ? QStyle::SP_DirIcon : QStyle::SP_FileIcon));
        list->addTopLevelItem(item);
    }
}

// ---- Select Destination ----

CDSelectDest::CDSelectDest(IMessageNotifier& notifier, CSelectDestLogic::Mode mode, int32_t deviceClass,
                           std::string bookName, QWidget* parent)
    : QDialog(parent), m_notifier(notifier),
      m_logic(m_book, notifier, BookpickerString(IDS_SELECT_DESTINATION), mode, deviceClass, this),
      m_strBook(std::move(bookName)), m_nDeviceClass(deviceClass)
{
    setObjectName(ControlName(2000));
    InstallHelp(this, HELP_SELECT_DESTINATION);
    const bool members = mode == CSelectDestLogic::Members;
    setWindowTitle(BookpickerText(members ? IDS_SELECT_MEMBER : IDS_SELECT_DESTINATION));
    auto* text = new QLabel(members ? BookpickerText(IDS_SELECT_MEMBER_TEXT)
                                    : BookpickerControlText(2000, 1003),
                            this);
    text->setObjectName(ControlName(1003));
    m_pToggle = Button(this, 1013, BookpickerControlText(2000, 1013));
    m_pToggle->setCheckable(true);
    m_pSearch = NewLineEdit(this, 1008);
    auto* search = Button(this, 1009, BookpickerControlText(2000, 1009));
    m_pFolders = new QComboBox(this);
    m_pFolders->setObjectName(ControlName(1021));
    m_pAddresses = DestinationList(this, 1002, 140, 150);
    auto* add = Button(this, 1005, BookpickerControlText(2000, 1005));
    auto* chosenLabel = new QLabel(BookpickerControlText(2000, 1011), this);
    chosenLabel->setObjectName(ControlName(1011));
    m_pChosen = DestinationList(this, 1004, 100, 80);
    chosenLabel->setBuddy(m_pChosen);
    auto* remove = Button(this, 1012, BookpickerControlText(2000, 1012));
    m_pNew = Button(this, 1007, BookpickerControlText(2000, 1007));
    auto* property = Button(this, 1006, BookpickerControlText(2000, 1006));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(ControlName(1));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(ControlName(2));

    auto* grid = new QGridLayout(this);
    grid->addWidget(text, 0, 0, 1, 3);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(m_pToggle);
    searchRow->addWidget(m_pSearch, 1);
    searchRow->addWidget(search);
    grid->addLayout(searchRow, 1, 0);
    grid->addWidget(m_pFolders, 2, 0);
    grid->addWidget(m_pAddresses, 3, 0);
    grid->addWidget(add, 3, 1, Qt::AlignVCenter);
    grid->addWidget(chosenLabel, 2, 2);
    grid->addWidget(m_pChosen, 3, 2);
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_pNew);
    actions->addWidget(property);
    actions->addStretch();
    actions->addWidget(remove);
    grid->addLayout(actions, 4, 0, 1, 3);
    grid->addWidget(buttons, 5, 0, 1, 3);
    resize(680, 420);
    // Tab follows the layout: the buttons under the lists from left to right.
    ChainTabOrder({m_pToggle, m_pSearch, search, m_pFolders, m_pAddresses, add, m_pChosen, m_pNew, property, remove});

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(search, &QPushButton::clicked, this, &CDSelectDest::Search);
    connect(add, &QPushButton::clicked, this, &CDSelectDest::Add);
    connect(m_pAddresses, &QTreeWidget::itemDoubleClicked, this, &CDSelectDest::Add);
    connect(remove, &QPushButton::clicked, this, [this] {
        const int row = CurrentRow(m_pChosen);
        if (row >= 0)
            m_logic.Remove(static_cast<size_t>(row));
        FillRows(m_pChosen, m_logic.Chosen(), true);
        m_pAddresses->setFocus();
    });
    connect(m_pNew, &QPushButton::clicked, this, &CDSelectDest::NewDestination);
    connect(property, &QPushButton::clicked, this, &CDSelectDest::Property);
    connect(m_pToggle, &QPushButton::clicked, this, [this](bool on) {
        m_rows = on ? m_logic.ListSearch(m_logic.CurrentFolder(), nullptr) : m_logic.ListFolder(m_logic.CurrentFolder());
        FillRows(m_pAddresses, m_rows);
    });
    // Every choice lists its folder, the one already shown too: after a search it shows the folder again.
    connect(m_pFolders, &QComboBox::activated, this, [this](int index) {
        if (index < 0)
            return;
        m_logic.SetCurrentFolder(m_pFolders->itemData(index).toInt());
        m_pNew->setEnabled(m_logic.CanCreateNew());
        ListCurrentFolder();
    });
    connect(m_pAddresses->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        SortReportList(m_pAddresses, [this, column]() -> const SortState& {
            const SortState& sort = m_logic.SortAddresses(m_rows, column);
            FillRows(m_pAddresses, m_rows);
            return sort;
        });
    });
    connect(m_pChosen->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        SortReportList(m_pChosen, [this, column]() -> const SortState& {
            const SortState& sort = m_logic.SortChosen(column);
            FillRows(m_pChosen, m_logic.Chosen());
            return sort;
        });
    });
}

int CDSelectDest::OpenPhoneBook()
{
    const std::string path = CPickerPhoneBook::GetPhoneBookPath(m_strBook);
    if (path.empty() || m_book.Initiate(path, 0) != 1)
        return -1;
    m_ids.clear();
    Start();
    return exec() == QDialog::Accepted ? 1 : 2;
}

int CDSelectDest::RunWithoutBook()
{
    m_strBook.clear();
    return exec() == QDialog::Accepted ? 1 : 2;
}

void CDSelectDest::Start()
{
    const QSignalBlocker block(m_pFolders);
    m_pFolders->clear();
    for (const FolderItem& folder : m_logic.Folders())
        m_pFolders->addItem(folder.textId ? BookpickerText(folder.textId) : QString::fromStdString(folder.name), folder.id);
    if (m_pFolders->count() > 0) {
        m_pFolders->setCurrentIndex(0);
        m_logic.SetCurrentFolder(m_pFolders->itemData(0).toInt());
    }
    m_pNew->setEnabled(m_logic.CanCreateNew());
    m_rows = m_logic.ListFolder(m_logic.CurrentFolder());
    FillRows(m_pAddresses, m_rows);
}

void CDSelectDest::ListCurrentFolder()
{
    m_pToggle->setChecked(false);
    m_rows = m_logic.ListFolder(m_logic.CurrentFolder());
    FillRows(m_pAddresses, m_rows);
}

void CDSelectDest::Search()
{
    if (m_strBook.empty())
        return;
    ListingJob job{&m_logic, m_logic.CurrentFolder(), true, EditText(m_pSearch), {}};
    CDDiscover discover(this);
    discover.Run(BookpickerString(IDS_SELECT_DESTINATION), BookpickerString(IDS_SEARCHING), 0, ListDestinations, &job);
    m_rows = std::move(job.rows);
    FillRows(m_pAddresses, m_rows);
    m_pToggle->setChecked(true);
}

void CDSelectDest::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier && m_pSearch->hasFocus()) {
        Search();
        return;
    }
    QDialog::keyPressEvent(event);
}

const DestinationRow* CDSelectDest::SelectedRow() const
{
    const int row = CurrentRow(m_pAddresses);
    return row >= 0 && static_cast<size_t>(row) < m_rows.size() ? &m_rows[static_cast<size_t>(row)] : nullptr;
}

void CDSelectDest::Add()
{
    if (const DestinationRow* row = SelectedRow())
        if (m_logic.Add(*row))
            FillRows(m_pChosen, m_logic.Chosen());
    m_pAddresses->setFocus();
}

void CDSelectDest::ReloadAfterChange()
{
    m_book.Initiate(CPickerPhoneBook::GetPhoneBookPath(m_strBook), 1);
    m_bChanged = true;
    ListingJob job{&m_logic, m_logic.CurrentFolder(), false, {}, {}};
    CDProgress progress(this);
    progress.Run(BookpickerString(IDS_LOADING_PHONEBOOK), 0, ListDestinations, &job);
    m_pToggle->setChecked(false);
    m_rows = std::move(job.rows);
    FillRows(m_pAddresses, m_rows);
}

void CDSelectDest::NewDestination()
{
    char name[kTextBuffer], number[kTextBuffer], sub[kTextBuffer], pass[kTextBuffer];
    int ifax = 0, withSub = 0, newId = 0;
    if (m_strBook.empty()) {
        PB2APICreateNewAddress(this, m_nDeviceClass, name, number, sub, pass, &ifax, &withSub, kTextBuffer);
    } else if (PB2APICreateNewAddressWithPhoneBook(m_strBook.c_str(), m_logic.CurrentFolder(), this, m_nDeviceClass,
                                                   name, number, sub, pass, &ifax, &withSub, kTextBuffer, &newId) == 1) {
        ReloadAfterChange();
    }
    m_pAddresses->setFocus();
}

void CDSelectDest::Property()
{
    const DestinationRow* selected = SelectedRow();
    if (m_strBook.empty() || !selected)
        return;
    const DestinationRow row = *selected;
    m_book.Initiate(CPickerPhoneBook::GetPhoneBookPath(m_strBook), 1);
    int changed = 0;
    if (row.type == PB_RECORD_GROUP)
        PB2APIShowGroupWithPhoneBook(this, m_nDeviceClass, m_strBook.c_str(), row.id, 1, &changed);
    else
        PB2APIShowAddressWithPhoneBook(this, m_nDeviceClass, m_strBook.c_str(), row.id, 0, &changed);
    if (changed != 1)
        return;
    ReloadAfterChange();
    m_logic.RefreshChosen(row.id);
    FillRows(m_pChosen, m_logic.Chosen());
}

void CDSelectDest::accept()
{
    m_ids = m_logic.Accept(SelectedRow());
    QDialog::accept();
}

// ---- address sheet ----

CPSAddress::CPSAddress(CAddressPageLogic& logic, const QString& caption, QWidget* parent)
    : QDialog(parent), m_logic(logic)
{
    setObjectName(ControlName(3000));
    InstallHelp(this, HELP_SELECT_DESTINATION);
    setWindowTitle(caption);
    auto* page = new QWidget;
    page->setObjectName(ControlName(101));
    m_pName = NewLineEdit(page, IDC_ADDRESS_NAME);
    m_pKindFax = new QRadioButton(BookpickerControlText(kAddressPage, IDC_KIND_FAX), page);
    m_pKindFax->setObjectName(ControlName(IDC_KIND_FAX));
    m_pKindIfax = new QRadioButton(BookpickerControlText(kAddressPage, IDC_KIND_IFAX), page);
    m_pKindIfax->setObjectName(ControlName(IDC_KIND_IFAX));
    m_pFax = NewLineEdit(page, IDC_FAX_NUMBER);
    m_pIfax = NewLineEdit(page, IDC_IFAX_ADDRESS);
    m_pFCode = CheckBox(page, IDC_USE_FCODE, BookpickerControlText(kAddressPage, IDC_USE_FCODE));
    m_pSub = NewLineEdit(page, IDC_SUBADDRESS);
    m_pPass = NewLineEdit(page, IDC_PASSCODE);
    m_pConfirm = CheckBox(page, IDC_RECEPTION_CONFIRM, BookpickerControlText(kAddressPage, IDC_RECEPTION_CONFIRM));
    m_pInitial = NewLineEdit(page, IDC_INITIAL);
    m_pFavorite = CheckBox(page, IDC_FAVORITE, BookpickerControlText(kAddressPage, IDC_FAVORITE));
    auto* subLabel = new QLabel(BookpickerControlText(kAddressPage, IDC_SUBADDRESS_LABEL), page);
    subLabel->setObjectName(ControlName(IDC_SUBADDRESS_LABEL));
    subLabel->setBuddy(m_pSub);
    auto* passLabel = new QLabel(BookpickerControlText(kAddressPage, IDC_PASSCODE_LABEL), page);
    passLabel->setObjectName(ControlName(IDC_PASSCODE_LABEL));
    passLabel->setBuddy(m_pPass);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(PageText(page, m_logic.ReadOnly(), BookpickerControlText(kAddressPage, 1003),
                                   IDS_ADDRESS_READ_ONLY_TEXT));
    auto* form = new QFormLayout;
    pageLayout->addLayout(form);
    form->addRow(BookpickerControlText(kAddressPage, IDC_ADDRESS_NAME), m_pName);
    form->addRow(m_pKindFax, m_pFax);
    form->addRow(QString(), m_pFCode);
    form->addRow(subLabel, m_pSub);
    form->addRow(passLabel, m_pPass);
    form->addRow(m_pKindIfax, m_pIfax);
    form->addRow(QString(), m_pConfirm);
    form->addRow(BookpickerControlText(kAddressPage, IDC_INITIAL), m_pInitial);
    form->addRow(QString(), m_pFavorite);
    // The number follows the name, whichever kind it is; the kind's choice (arrow keys between the
    // two) follows its number box.
    ChainTabOrder({m_pName, m_pFax, m_pKindFax, m_pFCode, m_pSub, m_pPass, m_pIfax, m_pKindIfax, m_pConfirm, m_pInitial,
                   m_pFavorite});
    auto* tabs = new QTabWidget(this);
    tabs->addTab(page, BookpickerText(IDS_ADDRESS));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(ControlName(1));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(ControlName(2));
    m_pApply = buttons->button(QDialogButtonBox::Apply);
    m_pApply->setObjectName(ControlName(0x3021)); // ID_APPLY_NOW
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pApply, &QPushButton::clicked, this, &CPSAddress::Apply);
    for (QLineEdit* edit : {m_pName, m_pFax, m_pIfax, m_pSub, m_pPass, m_pInitial})
        connect(edit, &QLineEdit::textEdited, this, [this] {
            m_logic.MarkModified();
            m_pApply->setEnabled(true);
        });
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{m_pKindFax, m_pKindIfax, m_pFCode, m_pFavorite, m_pConfirm})
        connect(button, &QAbstractButton::clicked, this, [this] {
            m_logic.MarkModified();
            TakeValues();
            ShowValues();
            m_pApply->setEnabled(true);
        });
    ShowValues();
    m_pApply->setEnabled(false);
    // The sheet opens in its first field, so the first text typed is its name.
    m_pName->setFocus();
}

void CPSAddress::ShowValues()
{
    const AddressValues& v = m_logic.Values();
    m_pName->setText(QString::fromStdString(v.name));
    m_pKindFax->setChecked(v.kind != PB_RECORD_IFAX);
    m_pKindIfax->setChecked(v.kind == PB_RECORD_IFAX);
    m_pFax->setText(QString::fromStdString(v.faxNumber));
    m_pIfax->setText(QString::fromStdString(v.mailAddress));
    m_pFCode->setChecked(v.useFCode);
    m_pSub->setText(QString::fromStdString(v.subAddress));
    m_pPass->setText(QString::fromStdString(v.passCode));
    m_pConfirm->setChecked(v.receptionConfirm);
    m_pInitial->setText(QString::fromStdString(v.initial));
    m_pFavorite->setChecked(v.favorite);
    const std::pair<QWidget*, int> controls[] = {
        {m_pName, IDC_ADDRESS_NAME}, {m_pKindFax, IDC_KIND_FAX}, {m_pKindIfax, IDC_KIND_IFAX},
        {m_pFax, IDC_FAX_NUMBER},    {m_pIfax, IDC_IFAX_ADDRESS}, {m_pFCode, IDC_USE_FCODE},
        {m_pSub, IDC_SUBADDRESS},    {m_pPass, IDC_PASSCODE},     {m_pConfirm, IDC_RECEPTION_CONFIRM},
        {m_pInitial, IDC_INITIAL},   {m_pFavorite, IDC_FAVORITE}};
    for (const auto& [widget, id] : controls) {
        widget->setEnabled(m_logic.IsEnabled(id));
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            edit->setReadOnly(m_logic.IsReadOnly(id));
    }
    for (int id : {IDC_SUBADDRESS_LABEL, IDC_PASSCODE_LABEL})
        findChild<QLabel*>(ControlName(id))->setEnabled(m_logic.IsEnabled(id));
}

void CPSAddress::TakeValues()
{
    AddressValues& v = m_logic.Values();
    v.name = EditText(m_pName);
    v.kind = m_pKindIfax->isChecked() ? PB_RECORD_IFAX : PB_RECORD_FAX;
    v.faxNumber = EditText(m_pFax);
    v.mailAddress = EditText(m_pIfax);
    v.useFCode = m_pFCode->isChecked();
    v.subAddress = EditText(m_pSub);
    v.passCode = EditText(m_pPass);
    v.receptionConfirm = m_pConfirm->isChecked();
    v.initial = EditText(m_pInitial);
    v.favorite = m_pFavorite->isChecked();
}

bool CPSAddress::Apply()
{
    TakeValues();
    const bool applied = m_logic.Apply();
    ShowValues(); // a refusal restored the saved values
    m_pApply->setEnabled(!applied);
    return applied;
}

void CPSAddress::accept()
{
    if (Apply())
        QDialog::accept();
}

// ---- group sheet ----

CPSGroup::CPSGroup(CGroupPageLogic& logic, CPickerPhoneBook* book, std::string bookName, int32_t folderId,
                   int32_t deviceClass, QWidget* parent)
    : QDialog(parent), m_logic(logic), m_pBook(book), m_strBook(std::move(bookName)), m_nFolder(folderId),
      m_nDeviceClass(deviceClass)
{
    setObjectName(ControlName(4000));
    InstallHelp(this, HELP_GROUP);
    setWindowTitle(BookpickerText(IDS_CREATE_GROUP));
    auto* page = new QWidget;
    page->setObjectName(ControlName(102));
    m_pName = NewLineEdit(page, IDC_GROUP_NAME);
    m_pFavorite = CheckBox(page, IDC_FAVORITE, BookpickerControlText(kGroupPage, IDC_FAVORITE));
    m_pMembers = DestinationList(page, IDC_GROUP_MEMBERS, 140, 150);
    auto* select = Button(page, IDC_GROUP_SELECT, BookpickerControlText(kGroupPage, IDC_GROUP_SELECT));
    auto* create = Button(page, IDC_GROUP_NEW_ADDRESS, BookpickerControlText(kGroupPage, IDC_GROUP_NEW_ADDRESS));
    auto* remove = Button(page, IDC_GROUP_DELETE, BookpickerControlText(kGroupPage, IDC_GROUP_DELETE));
    auto* property = Button(page, IDC_GROUP_PROPERTY, BookpickerControlText(kGroupPage, IDC_GROUP_PROPERTY));
    auto* form = new QFormLayout;
    form->addRow(BookpickerControlText(kGroupPage, IDC_GROUP_NAME), m_pName);
    auto* row = new QHBoxLayout;
    for (QPushButton* b : {select, create, remove, property})
        row->addWidget(b);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(PageText(page, m_logic.ReadOnly(), BookpickerControlText(kGroupPage, 1003),
                                   IDS_GROUP_READ_ONLY_TEXT));
    pageLayout->addLayout(form);
    pageLayout->addWidget(m_pMembers);
    pageLayout->addLayout(row);
    pageLayout->addWidget(m_pFavorite);
    ChainTabOrder({m_pName, m_pMembers, select, create, remove, property, m_pFavorite});
    auto* tabs = new QTabWidget(this);
    tabs->addTab(page, BookpickerControlText(kGroupPage, 0));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(ControlName(1));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(ControlName(2));
    buttons->button(QDialogButtonBox::Apply)->setObjectName(ControlName(0x3021));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, &CPSGroup::Apply);
    connect(m_pName, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_logic.Name() = text.toStdString();
        m_logic.MarkModified();
    });
    connect(m_pFavorite, &QCheckBox::clicked, this, [this](bool on) {
        m_logic.Favorite() = on;
        m_logic.MarkModified();
    });
    connect(select, &QPushButton::clicked, this, &CPSGroup::SelectMembers);
    connect(create, &QPushButton::clicked, this, &CPSGroup::NewAddress);
    connect(remove, &QPushButton::clicked, this, [this] {
        const int index = CurrentRow(m_pMembers);
        if (index < 0)
            return;
        m_logic.Remove(static_cast<size_t>(index));
        m_logic.MarkModified();
        FillRows(m_pMembers, m_logic.Members(), true);
    });
    connect(property, &QPushButton::clicked, this, [this] {
        const int index = CurrentRow(m_pMembers);
        if (index < 0 || m_strBook.empty())
            return;
        int changed = 0;
        PB2APIShowAddressWithPhoneBook(this, m_nDeviceClass, m_strBook.c_str(),
                                       m_logic.Members()[static_cast<size_t>(index)].id, 1, &changed);
        m_bBookChanged = m_bBookChanged || changed == 1;
    });
    connect(m_pMembers->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        SortReportList(m_pMembers, [this, column]() -> const SortState& {
            const SortState& sort = m_logic.Sort(column);
            FillRows(m_pMembers, m_logic.Members());
            return sort;
        });
    });
    ShowValues();
    m_pName->setFocus();
}

void CPSGroup::ShowValues()
{
    m_pName->setText(QString::fromStdString(m_logic.Name()));
    m_pFavorite->setChecked(m_logic.Favorite());
    FillRows(m_pMembers, m_logic.Members());
    for (int id : {IDC_GROUP_NAME, IDC_FAVORITE, IDC_GROUP_SELECT, IDC_GROUP_NEW_ADDRESS, IDC_GROUP_DELETE, IDC_GROUP_PROPERTY})
        findChild<QWidget*>(ControlName(id))->setEnabled(m_logic.IsEnabled(id));
}

void CPSGroup::SelectMembers()
{
    if (m_strBook.empty() || !m_pBook) {
        PB2APISelectMember(this);
        return;
    }
    PB2APISelection* selection = nullptr;
    if (PB2APISelectMemberWithPhoneBook(this, m_strBook.c_str(), &selection) != 1 || !selection)
        return;
    const std::vector<int32_t> ids(selection->ids, selection->ids + selection->count);
    PB2APIFree(selection);
    m_pBook->Initiate(CPickerPhoneBook::GetPhoneBookPath(m_strBook), 1);
    if (m_logic.AddMembers(*m_pBook, ids) > 0)
        m_logic.MarkModified();
    FillRows(m_pMembers, m_logic.Members());
}

void CPSGroup::NewAddress()
{
    char name[kTextBuffer], number[kTextBuffer], sub[kTextBuffer], pass[kTextBuffer];
    int ifax = 0, withSub = 0, newId = 0;
    if (m_strBook.empty() || !m_pBook) {
        PB2APICreateNewAddress(this, kGroupAddressClass, name, number, sub, pass, &ifax, &withSub, kTextBuffer);
        return;
    }
    if (PB2APICreateNewAddressWithPhoneBook(m_strBook.c_str(), m_nFolder, this, kGroupAddressClass, name, number, sub, pass,
                                            &ifax, &withSub, kTextBuffer, &newId) != 1)
        return;
    m_bBookChanged = true;
    m_pBook->Initiate(CPickerPhoneBook::GetPhoneBookPath(m_strBook), 1);
    if (m_logic.AddMembers(*m_pBook, {newId}) > 0)
        m_logic.MarkModified();
    FillRows(m_pMembers, m_logic.Members());
}

bool CPSGroup::Apply() { return m_logic.Apply(); }

void CPSGroup::accept()
{
    if (Apply())
        QDialog::accept();
}
