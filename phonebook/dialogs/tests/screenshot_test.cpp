// Saves a picture of every dialog of the phone book library, in a typical state, into the build
// folder's "screenshots", and checks on each that Tab goes through its controls as they are laid out.
#include "phonebook/dialogs/app/book_dialogs.h"
#include "phonebook/dialogs/app/dest_dialogs.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"
#include "uiwidgets/tests/support/layout_order.h"
#include "uiwidgets/worker_dialogs.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct SilentNotifier : IMessageNotifier {
    void Notify(void*, int textId, const std::string&, unsigned) override { ADD_FAILURE() << "unexpected message " << textId; }
};

void Save(QWidget& widget, const std::string& name, bool bTabs = true)
{
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));
    widget.show();
    QCoreApplication::processEvents();
    const std::string file = folder + "/bookpicker-" + name + ".png";
    platform::removeFile(file);
    EXPECT_TRUE(widget.grab().save(QString::fromStdString(file))) << file;
    EXPECT_TRUE(platform::pathExists(file)) << file;
    if (bTabs) {
        EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(&widget)) << name;
    }
    widget.hide();
}

TEST(Screenshots, EveryDialog)
{
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
    QApplication::setCursorFlashTime(0);
    qelta::test::ScopedStateRoot root;
    CPickerPhoneBook book;
    ASSERT_EQ(book.CreatePhoneBook("Office"), 1);
    int32_t anna = 0, team = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Anna", kRootFolderId, anna, 0), 1);
    ASSERT_EQ(book.AddRecordValue(anna, PB_RECORD_FAX, "faxNumber", "0123-456"), 1);
    ASSERT_EQ(book.FlushRecord(anna, 0), 1);
    ASSERT_EQ(StoreGroupRecord(book, "Team", false, {anna}, kRootFolderId, team, 0), 1);
    SilentNotifier notifier;

    CDFolderName folder(notifier);
    Save(folder, "folder-name");
    CDPhoneBookName bookName(notifier);
    Save(bookName, "new-phone-book");
    CDSelectPhoneBook select(notifier, true);
    QCoreApplication::processEvents(); // the listing runs under its progress dialog
    Save(select, "select-phone-book");

    CDSelectDest dest(notifier, CSelectDestLogic::Destinations, 99, "Office");
    QTimer::singleShot(0, &dest, [&] {
        Save(dest, "select-destination");
        dest.reject();
    });
    EXPECT_EQ(dest.OpenPhoneBook(), 2);

    CAddressPageLogic address(notifier, "Create a New Address", 99, false);
    address.Load(book, anna);
    CPSAddress addressSheet(address, "Address");
    Save(addressSheet, "address-sheet");
    CGroupPageLogic group(notifier, "Create a New Group", false);
    group.Load(book, team);
    CPSGroup groupSheet(group, &book, "Office", kRootFolderId, 99);
    Save(groupSheet, "group-sheet");

    CDProgress progress;
    QTimer::singleShot(0, &progress, [&] { Save(progress, "progress", false); });
    progress.Run("Loading PhoneBook...", 1, [](void*, platform::EndpointHandle h) {
        platform::postMessage(h, ProgressMessage(), 1, 40);
        return 0;
    }, nullptr);
    CDDiscover discover;
    QTimer::singleShot(0, &discover, [&] { Save(discover, "discover", false); });
    discover.Run("Select Destination", "Searching Address Records...", 0,
                 [](void*, platform::EndpointHandle) { return 0; }, nullptr);
}

} // namespace
