// Select Destination (and Select Member) and the address and group sheets: thin widgets over
// CSelectDestLogic, CAddressPageLogic and CGroupPageLogic.
#pragma once

#include "phonebook/dialogs/select_dest_logic.h"
#include "phonebook/dialogs/sheet_logic.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

/// Fills a report list with destination rows (name, second column, the row's id as data). The sort
/// indicator is hidden unless orderKept says the rows are still in the order it shows.
void FillRows(QTreeWidget* list, const std::vector<DestinationRow>& rows, bool orderKept = false);

class CDSelectDest : public QDialog {
    Q_OBJECT
public:
    /// bookName empty: no book, the lists stay empty.
    CDSelectDest(IMessageNotifier& notifier, CSelectDestLogic::Mode mode, int32_t deviceClass, std::string bookName,
                 QWidget* parent = nullptr);
    /// Opens the book (-1 when it cannot be opened, nothing shown) and runs: the dialog's result.
    int OpenPhoneBook();
    /// Runs without a book.
    int RunWithoutBook();
    const std::vector<int32_t>& ResultIds() const { return m_ids; }
    bool Changed() const { return m_bChanged; }
    void accept() override;

protected:
    /// Enter in the search box searches; elsewhere it is the dialog's (OK).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Start();
    void ListCurrentFolder();
    void Search();
    void Add();
    void NewDestination();
    void Property();
    void ReloadAfterChange();
    const DestinationRow* SelectedRow() const;

    IMessageNotifier& m_notifier;
    CPickerPhoneBook m_book;
    CSelectDestLogic m_logic;
    std::string m_strBook;
    int32_t m_nDeviceClass;
    std::vector<DestinationRow> m_rows;
    std::vector<int32_t> m_ids;
    bool m_bChanged = false;
    QPushButton* m_pToggle;
    QLineEdit* m_pSearch;
    QComboBox* m_pFolders;
    QTreeWidget* m_pAddresses;
    QTreeWidget* m_pChosen;
    QPushButton* m_pNew;
};

/// The address sheet ("Create a New Address" / "Address"): one page, OK, Cancel and Apply.
class CPSAddress : public QDialog {
    Q_OBJECT
public:
    CPSAddress(CAddressPageLogic& logic, const QString& caption, QWidget* parent = nullptr);
    /// Copies the values into the controls and the enable states.
    void ShowValues();
    bool Apply();
    void accept() override;

private:
    void TakeValues();
    CAddressPageLogic& m_logic;
    QLineEdit *m_pName, *m_pFax, *m_pIfax, *m_pSub, *m_pPass, *m_pInitial;
    QRadioButton *m_pKindFax, *m_pKindIfax;
    QCheckBox *m_pFCode, *m_pFavorite, *m_pConfirm;
    QPushButton* m_pApply;
};

/// The group sheet ("Create a New Group"): name, favourite and members; members come from the book
/// through the library's own Select Member, New Address and Property.
class CPSGroup : public QDialog {
    Q_OBJECT
public:
    /// book: the open book the members are read from (null: no book, the member buttons do nothing).
    CPSGroup(CGroupPageLogic& logic, CPickerPhoneBook* book, std::string bookName, int32_t folderId,
             int32_t deviceClass, QWidget* parent = nullptr);
    void ShowValues();
    bool Apply();
    void accept() override;
    /// True once a member address was created or changed through the sheet.
    bool BookChanged() const { return m_bBookChanged; }

private:
    void SelectMembers();
    void NewAddress();
    CGroupPageLogic& m_logic;
    CPickerPhoneBook* m_pBook;
    std::string m_strBook;
    int32_t m_nFolder, m_nDeviceClass;
    bool m_bBookChanged = false;
    QLineEdit* m_pName;
    QCheckBox* m_pFavorite;
    QTreeWidget* m_pMembers;
};
