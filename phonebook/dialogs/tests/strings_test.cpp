// Every text id the phone book dialogs show has its English text, and the help address follows
// the help file beside the library.
#include "phonebook/dialogs/app/book_dialogs.h"
#include "phonebook/dialogs/app/bookpicker_app.h"
#include "phonebook/dialogs/sheet_logic.h"
#include "platform/state.h"
#include "platform/files.h"
#include "platform/library.h"
#include "uiwidgets/help.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

TEST(BookpickerTexts, EveryIdTheDialogsUseHasEnglishText)
{
    const int ids[] = {310, 311, 400, 401, IDS_CREATE_FOLDER, IDS_NO_FOLDER_NAME, IDS_FOLDER_EXISTS,
        IDS_SELECT_DESTINATION, IDS_ADDRESS_LISTS, IDS_FAVORITE, IDS_SEARCHING, IDS_LOADING_PHONEBOOK,
        IDS_SELECT_MEMBER_TEXT, IDS_SELECT_MEMBER, IDS_ALREADY_CHOSEN, IDS_CREATE_ADDRESS, IDS_ADDRESS,
        IDS_ADDRESS_READ_ONLY_TEXT, IDS_ADDRESS_IFAX_UNSUPPORTED, IDS_NO_ADDRESS, IDS_BAD_FAX_NUMBER, IDS_BAD_SUBADDRESS,
        IDS_BAD_PASSCODE, IDS_PASSCODE_WITHOUT_SUBADDRESS, IDS_TOO_LONG_CLASS_0_3, IDS_TOO_LONG_CLASS_1,
        IDS_TOO_LONG_CLASS_2, IDS_TOO_LONG_OTHER, IDS_NO_NAME, IDS_IFAX_TOO_LONG, IDS_NO_IFAX, IDS_CREATE_GROUP,
        IDS_GROUP_READ_ONLY_TEXT, IDS_GROUP_INCOMPLETE, IDS_SELECT_PHONE_BOOK, IDS_NO_BOOK_SELECTED, IDS_DELETE_BOOK,
        IDS_NO_BOOK_NAME, IDS_BOOK_EXISTS, IDS_PHONE_BOOK_LOCKED};
    for (const int id : ids)
        EXPECT_FALSE(BookpickerString(id).empty()) << id;
    // The texts the users see exactly, blanks included.
    EXPECT_EQ(BookpickerString(IDS_FOLDER_EXISTS), "The folder name was already existed. ");
    EXPECT_EQ(BookpickerString(IDS_PHONE_BOOK_LOCKED), "The phone book was locked.  You can open phonebook after it was closed.");
    EXPECT_EQ(BookpickerString(IDS_APP_TITLE), ""); // only a language module carries it
    // The controls' texts, by dialog and control id.
    EXPECT_EQ(BookpickerControlText(2000, 1005).toStdString(), "&Add  ->");
    EXPECT_EQ(BookpickerControlText(3000, 1061).toStdString(), "&FAX Number:");
    EXPECT_EQ(BookpickerControlText(102, 0).toStdString(), "Group");
}

TEST(BookpickerTexts, HelpIsTheFileOfTheDataFolderAtTheDialogsContext)
{
    // The shipped file of the data folder, left as it is: other tests and programs of the tree
    // open it at the same time.
    const std::string shipped = platform::joinPath(platform::dataFolder(), "Bookmanager.html");
    EXPECT_EQ(BookpickerHelpFolder(), platform::dataFolder());
    EXPECT_EQ(HelpAddress(BookpickerHelpFolder(), kBookpickerHelpFile, HELP_GROUP), shipped + "#131210");
    // Without the file there is no address: tried in a folder of the test's own.
    char folder[] = "/tmp/qelta-help-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string file = platform::joinPath(folder, kBookpickerHelpFile);
    EXPECT_EQ(HelpAddress(folder, kBookpickerHelpFile, HELP_GROUP), "");
    ASSERT_TRUE(platform::writeFileAtomic(file, "<html></html>"));
    EXPECT_EQ(HelpAddress(folder, kBookpickerHelpFile, HELP_GROUP), file + "#131210");
    std::filesystem::remove_all(folder);
}
