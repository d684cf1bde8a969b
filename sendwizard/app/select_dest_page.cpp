#include "sendwizard/app/select_dest_page.h"
#include "uiwidgets/control_name.h"

#include "common/resource_locale.h"
#include "sendwizard/wizard_strings.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTimer>

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QWizard>

#include <algorithm>

namespace {

// The text of a control of the page, from the language module.
QString Text(int nId) { return QtText(ControlText(IDD_SELECT_DESTINATION, nId)); }


QIcon ListIcon(int nImage) { return QIcon(LoadResourcePicture(QELTA_RESOURCE_ICON, 135 + static_cast<uint32_t>(nImage))); }

} // namespace

CPPSelectDest::CPPSelectDest(CPSMainuiLogic& sheet, IPrompter& prompter, IPhoneBookExports& exports)
    : CWizardPage(sheet, IDD_SELECT_DESTINATION, 301, 302), m_Logic(sheet, prompter, exports, {}, this)
{
    Build();
    Refresh();
}

void CPPSelectDest::Build()
{
    auto* grid = new QGridLayout(this);
    m_pFaxLabel = Named(new QLabel(Text(IDC_FAX_LABEL), this), IDC_FAX_LABEL);
    m_pModeFax = Named(new QRadioButton(Text(IDC_MODE_FAX), this), IDC_MODE_FAX);
    m_pModeIfax = Named(new QRadioButton(Text(IDC_MODE_IFAX), this), IDC_MODE_IFAX);
    m_pNumber = Named(new QLineEdit(this), IDC_FAX_NUMBER);
    m_pFCode = Named(new QCheckBox(Text(IDC_FCODE), this), IDC_FCODE);
    m_pSubLabel = Named(new QLabel(Text(IDC_SUBADDRESS_LABEL), this), IDC_SUBADDRESS_LABEL);
    m_pSubAddress = Named(new QLineEdit(this), IDC_SUBADDRESS);
    m_pPassLabel = Named(new QLabel(Text(IDC_PASSCODE_LABEL), this), IDC_PASSCODE_LABEL);
    m_pPassCode = Named(new QLineEdit(this), IDC_PASSCODE);
    m_pIfax = Named(new QLineEdit(this), IDC_IFAX_ADDRESS);
    m_pConfirm = Named(new QCheckBox(Text(IDC_RECEPTION_CONFIRM), this), IDC_RECEPTION_CONFIRM);
    auto* add = Named(new QPushButton(Text(IDC_ADD), this), IDC_ADD);
    auto* remove = Named(new QPushButton(Text(IDC_DELETE), this), IDC_DELETE);
    auto* removeAll = Named(new QPushButton(Text(IDC_DELETE_ALL), this), IDC_DELETE_ALL);
    auto* phonebook = Named(new QPushButton(Text(IDC_PHONEBOOK), this), IDC_PHONEBOOK);
    m_pSkip = Named(new QCheckBox(Text(IDC_SKIP), this), IDC_SKIP);
    m_pList = Named(new QTreeWidget(this), IDC_DESTINATIONS);
    m_pFaxLabel->setBuddy(m_pNumber);
    m_pSubLabel->setBuddy(m_pSubAddress);
    m_pPassLabel->setBuddy(m_pPassCode);
    // The entry fields never get narrower than the texts they are made for.
    const int digit = m_pNumber->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_pNumber->setMinimumWidth(digit * 20);
    m_pIfax->setMinimumWidth(digit * 20);
    m_pSubAddress->setMinimumWidth(digit * 12);
    m_pPassCode->setMinimumWidth(digit * 12);

    // The entry on top with Add beside it, then the list with the buttons that work on it; without
    // I-FAX the plain label takes the place of the FAX radio.
    grid->addWidget(m_pModeFax, 0, 0);
    grid->addWidget(m_pFaxLabel, 0, 0);
    grid->addWidget(m_pNumber, 0, 1, 1, 2);
    grid->addWidget(add, 0, 3);
    grid->addWidget(m_pFCode, 1, 0);
    grid->addWidget(m_pSubLabel, 1, 1);
    grid->addWidget(m_pSubAddress, 1, 2);
    grid->addWidget(m_pPassLabel, 2, 1);
    grid->addWidget(m_pPassCode, 2, 2);
    grid->addWidget(m_pModeIfax, 3, 0);
    grid->addWidget(m_pIfax, 3, 1, 1, 2);
    grid->addWidget(m_pConfirm, 4, 1, 1, 2);
    grid->addWidget(m_pList, 5, 0, 1, 4);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(phonebook);
    listButtons->addStretch(1);
    listButtons->addWidget(remove);
    listButtons->addWidget(removeAll);
    grid->addLayout(listButtons, 6, 0, 1, 4);
    grid->addWidget(m_pSkip, 7, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(5, 1);
    ShowModelFields();
    ChainTabOrder({m_pModeFax, m_pNumber, add, m_pFCode, m_pSubAddress, m_pPassCode, m_pModeIfax, m_pIfax, m_pConfirm,
                   m_pList, phonebook, remove, removeAll, m_pSkip});

    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setColumnCount(kDestinationColumns);
    QStringList titles;
    for (int c = 0; c < kDestinationColumns; ++c)
        titles << QtText(WizardString(IDS_COLUMN_FIRST + static_cast<uint32_t>(c)));
    m_pList->setHeaderLabels(titles);
    FitColumnsToView(m_pList, {std::begin(kDestinationColumnWidths), std::end(kDestinationColumnWidths)});
    m_pList->header()->setSectionsMovable(true);
    m_pList->header()->setSectionsClickable(true);
    m_pList->header()->setSortIndicatorShown(false);

    m_pModeFax->setChecked(true);
    m_pSkip->setChecked(m_Logic.m_bSkip != 0);
    auto mode = [this](int nMode) {
        Store();
        m_Logic.m_nMode = nMode;
        Refresh();
    };
    connect(m_pModeFax, &QRadioButton::clicked, this, [mode] { mode(0); });
    connect(m_pModeIfax, &QRadioButton::clicked, this, [mode] { mode(1); });
    connect(m_pFCode, &QCheckBox::clicked, this, [this] {
        Store();
        Refresh();
    });
    auto action = [this](auto&& fn) {
        return [this, fn] {
            Store();
            fn();
            Refresh();
        };
    };
    connect(add, &QPushButton::clicked, this, [this] { AddTyped(); });
    connect(remove, &QPushButton::clicked, this, action([this] { DeleteSelected(); }));
    connect(removeAll, &QPushButton::clicked, this, action([this] { m_Logic.DeleteAll(); }));
    connect(phonebook, &QPushButton::clicked, this, [this, phonebook] {
        Store();
        m_Logic.ImportFromPhoneBook();
        Refresh();
        // The phone book's dialogs took the sheet over while they were open: the focus comes back
        // to the button that opened them.
        phonebook->setFocus(Qt::OtherFocusReason);
    });
    connect(m_pList->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const std::vector<const CJobDestination*> selected = SelectedDestinations();
        m_Logic.SortByColumn(column);
        Refresh();
        m_pList->header()->setSortIndicatorShown(true);
        m_pList->header()->setSortIndicator(m_Logic.Sort().column, m_Logic.Sort().descending == 1 ? Qt::DescendingOrder
                                                                                                   : Qt::AscendingOrder);
        Select(selected);
    });
    // Return in an entry field adds the entry; Delete in the list deletes the selected rows.
    for (QLineEdit* edit : {m_pNumber, m_pSubAddress, m_pPassCode, m_pIfax})
        edit->installEventFilter(this);
    m_pList->installEventFilter(this);
}

bool CPPSelectDest::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return CWizardPage::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool entry = watched == m_pNumber || watched == m_pSubAddress || watched == m_pPassCode || watched == m_pIfax;
    if (entry && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        AddTyped();
        return true; // the sheet's default button is not pressed
    }
    if (watched == m_pList && key == Qt::Key_Delete) {
        Store();
        DeleteSelected();
        Refresh();
        return true;
    }
    return CWizardPage::eventFilter(watched, event);
}

void CPPSelectDest::AddTyped()
{
    Store();
    m_Logic.Add();
    Refresh();
    FocusEntry();
}

void CPPSelectDest::DeleteSelected()
{
    std::vector<int> rows;
    for (QTreeWidgetItem* item : m_pList->selectedItems())
        rows.push_back(m_pList->indexOfTopLevelItem(item));
    m_Logic.Delete(rows);
}

void CPPSelectDest::FocusEntry()
{
    if (auto* field = findChild<QWidget*>(ControlName(m_Logic.FocusField())); field && field->isEnabled())
        field->setFocus(Qt::OtherFocusReason);
}

std::vector<const CJobDestination*> CPPSelectDest::SelectedDestinations() const
{
    std::vector<const CJobDestination*> selected;
    for (QTreeWidgetItem* item : m_pList->selectedItems())
        selected.push_back(&m_Logic.RowDestination(m_pList->indexOfTopLevelItem(item)));
    return selected;
}

void CPPSelectDest::Select(const std::vector<const CJobDestination*>& destinations)
{
    for (int r = 0; r < m_Logic.RowCount(); ++r)
        if (std::find(destinations.begin(), destinations.end(), &m_Logic.RowDestination(r)) != destinations.end()) {
            QTreeWidgetItem* item = m_pList->topLevelItem(r);
            item->setSelected(true);
            if (destinations.front() == &m_Logic.RowDestination(r))
                m_pList->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        }
}

void CPPSelectDest::Store()
{
    m_Logic.m_bFCode = m_pFCode->isChecked() ? 1 : 0;
    m_Logic.m_strNumber = Utf8Text(m_pNumber->text());
    m_Logic.m_strSubAddress = Utf8Text(m_pSubAddress->text());
    m_Logic.m_strPassCode = Utf8Text(m_pPassCode->text());
    m_Logic.m_strIfaxAddress = Utf8Text(m_pIfax->text());
    m_Logic.m_bReceptionConfirm = m_pConfirm->isChecked() ? 1 : 0;
    m_Logic.m_bSkip = m_pSkip->isChecked() ? 1 : 0;
}

void CPPSelectDest::Refresh()
{
    m_pFCode->setChecked(m_Logic.m_bFCode != 0);
    m_pNumber->setText(QtText(m_Logic.m_strNumber));
    m_pSubAddress->setText(QtText(m_Logic.m_strSubAddress));
    m_pPassCode->setText(QtText(m_Logic.m_strPassCode));
    m_pIfax->setText(QtText(m_Logic.m_strIfaxAddress));
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QString name = w->objectName();
        if (name.startsWith(QLatin1String("id")))
            w->setEnabled(m_Logic.IsEnabled(name.mid(2).toInt()));
    }
    m_pList->clear();
    for (int r = 0; r < m_Logic.RowCount(); ++r) {
        const DestinationRowView view = m_Logic.Row(r);
        auto* item = new QTreeWidgetItem(m_pList);
        for (int c = 0; c < kDestinationColumns; ++c)
            item->setText(c, QtText(view.strColumns[c]));
        item->setIcon(0, ListIcon(view.nImage));
        item->setIcon(4, ListIcon(view.nConfirmImage));
    }
}

void CPPSelectDest::ShowModelFields()
{
    const bool ifax = m_Logic.ShowsIfax();
    for (QWidget* w : {static_cast<QWidget*>(m_pModeFax), static_cast<QWidget*>(m_pModeIfax),
                       static_cast<QWidget*>(m_pIfax), static_cast<QWidget*>(m_pConfirm)})
        w->setVisible(ifax);
    m_pFaxLabel->setVisible(!ifax);
}

void CPPSelectDest::OnPrinterKnown()
{
    ShowModelFields();
    Refresh();
    if (isVisible())
        FocusEntry();
}

void CPPSelectDest::OnSetActive()
{
    CWizardPage::OnSetActive();
    // Next only: the first page offers no Back.
    if (QWizard* sheet = wizard())
        sheet->button(QWizard::BackButton)->setEnabled(false);
    // Typing starts in the entry field, once the sheet has given the page its focus.
    FocusEntry();
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && (!focusWidget() || !isAncestorOf(QApplication::focusWidget())))
            FocusEntry();
    });
}

bool CPPSelectDest::validatePage()
{
    Store();
    const int next = m_Logic.OnWizardNext();
    Refresh();
    if (next < 0) {
        FocusEntry();
        return false;
    }
    SetNextId(next);
    return true;
}
