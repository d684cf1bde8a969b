#include "phonebook/dialogs/app/book_dialogs.h"

#include "phonebook/dialogs/app/bookpicker_app.h"
#include "phonebook/dialogs/select_dest_logic.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/frame_placement.h"
#include "uiwidgets/view_helpers.h"
#include "uiwidgets/worker_dialogs.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

std::string UserDate(std::time_t time)
{
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(time), QLocale::ShortFormat).toStdString();
}

// The listing worker of Select Phone Book: builds the rows off the user-interface thread.
struct ListingJob {
    const CSelectPhoneBookLogic* logic;
    std::vector<BookRow> rows;
};

int ListBooksWorker(void* data, platform::EndpointHandle dialog)
{
    auto* job = static_cast<ListingJob*>(data);
    job->rows = job->logic->ListBooks([dialog](int percent) {
        platform::postMessage(dialog, ProgressMessage(), 1, percent);
    });
    return 0;
}

} // namespace

QTreeWidget* NewReportList(QWidget* parent, int controlId, const QString& first, const QString& second, int width1,
                           int width2)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(ControlName(controlId));
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    list->setHeaderLabels({first, second});
    list->header()->setSectionsClickable(true);
    list->header()->setSortIndicatorShown(false); // until the first sort
    FitColumnsToView(list, {width1, width2});
    return list;
}

void SortReportList(QTreeWidget* list, const std::function<const SortState&()>& sort)
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    const QVariant key = selected.isEmpty() ? QVariant() : selected.front()->data(0, Qt::UserRole);
    const SortState& state = sort();
    list->header()->setSortIndicator(state.column, state.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    list->header()->setSortIndicatorShown(true);
    if (!key.isValid())
        return;
    for (int r = 0; r < list->topLevelItemCount(); ++r)
        if (QTreeWidgetItem* item = list->topLevelItem(r); item->data(0, Qt::UserRole) == key) {
            list->setCurrentItem(item);
            list->scrollToItem(item);
            return;
        }
}

QLineEdit* NewLineEdit(QWidget* parent, int controlId)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(ControlName(controlId));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\\x00-\\x1F\\x7F]*")), edit));
    return edit;
}

std::string EditText(const QLineEdit* edit) { return edit->text().toStdString(); }

// ---- folder name ----

CDFolderName::CDFolderName(IMessageNotifier& notifier, QWidget* parent) : QDialog(parent), m_notifier(notifier)
{
    setObjectName(ControlName(1000));
    InstallHelp(this, HELP_FOLDER_NAME);
    setWindowTitle(BookpickerText(IDS_CREATE_FOLDER));
    m_pEdit = NewLineEdit(this, 1001);
    auto* form = new QFormLayout;
    form->addRow(BookpickerControlText(1000, 1001), m_pEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
    KeepTitleWhole(this);
}

int CDFolderName::RunWithoutBook()
{
    m_bWithBook = false;
    return exec() == QDialog::Accepted ? 1 : 2;
}

int CDFolderName::RunWithBook(const std::string& bookName, int32_t& newId)
{
    const std::string path = CPickerPhoneBook::GetPhoneBookPath(bookName);
    if (path.empty() || m_book.Initiate(path, 0) != 1)
        return -1;
    m_bWithBook = true;
    if (exec() != QDialog::Accepted)
        return 2;
    return m_book.CreateNewFolder(m_strName, newId) == 1 ? 1 : -1;
}

void CDFolderName::accept()
{
    const std::string name = EditText(m_pEdit);
    if (!AcceptFolderName(m_notifier, BookpickerString(IDS_CREATE_FOLDER), name, m_bWithBook ? &m_book : nullptr, this))
        return;
    m_strName = name;
    QDialog::accept();
}

// ---- new phone book name ----

CDPhoneBookName::CDPhoneBookName(IMessageNotifier& notifier, QWidget* parent) : QDialog(parent), m_notifier(notifier)
{
    setObjectName(ControlName(5001));
    setWindowTitle(BookpickerControlText(5001, 0));
    m_pEdit = NewLineEdit(this, 1020);
    auto* form = new QFormLayout;
    form->addRow(BookpickerControlText(5001, 1020), m_pEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
}

void CDPhoneBookName::accept()
{
    if (AcceptNewPhoneBook(m_notifier, BookpickerString(IDS_SELECT_PHONE_BOOK), EditText(m_pEdit), this))
        QDialog::accept();
}

// ---- Select Phone Book ----

CDSelectPhoneBook::CDSelectPhoneBook(IMessageNotifier& notifier, bool allowDelete, QWidget* parent)
    : QDialog(parent), m_notifier(notifier),
      m_logic(notifier, BookpickerString(IDS_SELECT_PHONE_BOOK), UserDate, allowDelete, this)
{
    setObjectName(ControlName(5000));
    InstallHelp(this, HELP_SELECT_PHONE_BOOK);
    setWindowTitle(BookpickerText(IDS_SELECT_PHONE_BOOK));
    m_pList = NewReportList(this, 1017, BookpickerText(400), BookpickerText(401), 220, 160);
    m_pPath = new QLineEdit(this);
    m_pPath->setObjectName(ControlName(1018));
    m_pPath->setReadOnly(true);
    auto* buttons = OkCancelButtons(this);
    auto* create = buttons->addButton(BookpickerControlText(5000, 3), QDialogButtonBox::ActionRole);
    create->setObjectName(ControlName(3));
    m_pDelete = buttons->addButton(BookpickerControlText(5000, 1009), QDialogButtonBox::ActionRole);
    m_pDelete->setObjectName(ControlName(1009));
    m_pDelete->setEnabled(allowDelete);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pList);
    layout->addWidget(m_pPath);
    layout->addWidget(buttons);
    resize(440, 320);

    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CDSelectPhoneBook::OnSelection);
    connect(m_pList, &QTreeWidget::itemDoubleClicked, this, [this] {
        OnSelection();
        accept();
    });
    connect(m_pList->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        SortReportList(m_pList, [this, column]() -> const SortState& {
            const SortState& sort = m_logic.Sort(column);
            FillList();
            return sort;
        });
    });
    connect(create, &QPushButton::clicked, this, [this] {
        CDPhoneBookName name(m_notifier, this);
        if (name.exec() == QDialog::Accepted)
            Relist();
    });
    connect(m_pDelete, &QPushButton::clicked, this, [this] {
        if (m_logic.Delete()) {
            m_pPath->clear();
            Relist();
        }
    });
    QMetaObject::invokeMethod(this, &CDSelectPhoneBook::Relist, Qt::QueuedConnection);
}

void CDSelectPhoneBook::Relist()
{
    ListingJob job{&m_logic, {}};
    CDProgress progress(this);
    progress.Run(BookpickerString(IDS_LOADING_PHONEBOOK), 0, ListBooksWorker, &job);
    m_logic.SetRows(std::move(job.rows));
    FillList();
    if (m_pList->topLevelItemCount() == 1 && m_logic.BookPath().empty())
        m_pList->setCurrentItem(m_pList->topLevelItem(0)); // the only book is the choice
}

void CDSelectPhoneBook::FillList()
{
    const QSignalBlocker block(m_pList);
    m_pList->clear();
    m_pList->header()->setSortIndicatorShown(false); // listed in the directory's order
    for (const BookRow& row : m_logic.Rows()) {
        auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(row.name), QString::fromStdString(row.date)});
        item->setData(0, Qt::UserRole, QString::fromStdString(row.name));
        m_pList->addTopLevelItem(item);
    }
}

void CDSelectPhoneBook::OnSelection()
{
    const QModelIndex index = m_pList->currentIndex();
    if (!index.isValid())
        return;
    m_logic.Select(static_cast<size_t>(index.row()));
    m_pPath->setText(QString::fromStdString(m_logic.BookPath()));
}

void CDSelectPhoneBook::accept()
{
    const QModelIndex index = m_pList->currentIndex();
    const size_t row = index.isValid() ? static_cast<size_t>(index.row()) : 0;
    if (!m_logic.Accept(index.isValid() ? &row : nullptr)) {
        m_pPath->setText(QString::fromStdString(m_logic.BookPath()));
        return;
    }
    QDialog::accept();
}
