// The keyboard order of every dialog of the editors: each dialog opens as its editor opens it (the
// phone book dialogs through their exports), and Tab, pressed from the control it opens in, walks
// its controls in the order of the layout (top to bottom, left to right, a label's field after
// the label) and comes back round.
#include "common/prompter.h"
#include "phonebook/dialogs/pb2api.h"
#include "phonebook/editor/app/converter_dialog.h"
#include "phonebook/editor/app/editor_dialogs.h"
#include "phonebook/editor/tests/support/converter_fixture.h"
#include "phonebook/editor/tests/support/fake_book.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "uiwidgets/font_dialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// A control as the tables name it: its object name (id + control id), else its class.
QString NameOf(const QWidget* w)
{
    return !w ? QStringLiteral("none") : w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                                 : w->objectName();
}

// The controls Tab visits, from the one the dialog opened in until the walk comes back to it.
QStringList WalkTabs(QWidget* dialog)
{
    QWidget* start = dialog->focusWidget();
    QStringList chain{NameOf(start)};
    for (int i = 0; start && i < 40; ++i) {
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        if (dialog->focusWidget() == start)
            return chain;
        chain << NameOf(dialog->focusWidget());
    }
    chain << QStringLiteral("(no way back)");
    return chain;
}

// Walks the modal dialog that call opens (after first, when given, has acted on it), then closes it.
QStringList WalkModal(const std::function<void()>& call, const std::function<void(QWidget*)>& first = {})
{
    QStringList chain;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !chain.isEmpty() || !dialog->isVisible())
            return;
        QCoreApplication::processEvents();
        if (first)
            first(dialog);
        chain = WalkTabs(dialog);
        dialog->close();
    });
    timer.start(50);
    call();
    return chain;
}

// The chain turned to start at first (a walk is a ring).
QStringList StartingAt(QStringList chain, const QString& first)
{
    const qsizetype at = chain.indexOf(first);
    return at <= 0 ? chain : chain.mid(at) + chain.first(at);
}

QStringList WalkShown(QWidget& dialog)
{
    dialog.show();
    QCoreApplication::processEvents();
    return WalkTabs(&dialog);
}

} // namespace

TEST(EditorDialogs, TabWalksEachDialogAsItIsLaidOut)
{
    qelta::test::ScopedStateRoot root;
    ASSERT_TRUE(RegisterServerLibraries(std::array{"booktool.dll"}).empty());
    std::string error;
    ASSERT_TRUE(WriteSamplePhoneBook(error)) << error;
    const std::string book = SamplePhoneBookPath();
    qelta::test::QueuedPrompter prompter;
    qelta::test::InlineProgress progress;
    const std::string converters = root.path() + "/converters";
    qelta::test::WriteConverter(converters, {.folder = "lines", .module = QELTA_LINES_CONVERTER});
    char name[260], number[260], sub[260], pass[260];
    int kind = 0, fcode = 0, id = 0;
    char path[260];

    // New Address as the editor's Ctrl+N opens it: a name, Tab, a number (the sheet's Apply is
    // then on).
    QString typedName, typedNumber;
    const auto typeNameAndNumber = [&](QWidget* dialog) {
        QTest::keyClicks(dialog->focusWidget(), QStringLiteral("Anna"));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(dialog->focusWidget(), QStringLiteral("0123"));
        typedName = dialog->findChild<QLineEdit*>(QStringLiteral("id1015"))->text();
        typedNumber = dialog->findChild<QLineEdit*>(QStringLiteral("id1008"))->text();
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier); // back to the name
    };
    struct Case {
        const char* dialog;
        std::function<QStringList()> walk;
        QStringList expected; // from the control the dialog opens in; disabled ones are passed over
        bool opensInFirst = true; // else only the order of the ring is compared
    };
    const Case cases[] = {
        // The phone book editor's own dialogs.
        {"Rename Folder", [&] {
             CDFolderNameLogic logic(prompter, "Customers");
             CDFolderName dialog(logic);
             return WalkShown(dialog);
         }, {"id1001", "id1", "id2"}},
        {"About", [&] {
             CAboutDlg dialog("");
             return WalkShown(dialog);
         }, {"id1"}},
        {"Import", [&] {
             CDConverterLogic logic(ConverterKind::Import, book, {}, prompter, progress);
             logic.Init(converters, "");
             CDConverter dialog(logic);
             return WalkShown(dialog);
         }, {"id1014", "id1017", "id1018"}},
        // The phone book dialogs it opens. New Address: name, number, its kind (the radio button
        // checked), F-Code; the sub-address, pass code and the Internet fax's fields are off.
        {"New Address", [&] {
             return WalkModal([&] {
                 PB2APICreateNewAddressWithPhoneBook(kSampleBookName, 1, nullptr, 99, name, number, sub, pass, &kind,
                                                     &fcode, 260, &id);
             }, typeNameAndNumber);
         }, {"id1015", "id1008", "id1061", "id1013", "id1017", "id1001", "id1", "id2", "id12321", "qt_tabwidget_tabbar"}},
        {"New Group", [&] {
             return WalkModal([&] { PB2APICreateNewGroupWithPhoneBook(kSampleBookName, 1, nullptr, 99, name, 260, &id); });
         }, {"id1011", "id1005", "id1007", "id1008", "id1009", "id1010", "id1001", "id1", "id2", "id12321",
             "qt_tabwidget_tabbar"}},
        {"New Folder", [&] {
             return WalkModal([&] { PB2APICreateNewFolderWithPhoneBook(kSampleBookName, nullptr, name, 260, &id); });
         }, {"id1001", "id1", "id2"}},
        {"Select Phone Book", [&] {
             return WalkModal([&] { PB2APISelectPhoneBook(nullptr, path, name, 260, 0, 1); });
         }, {"id1017", "id1018", "id1", "id3", "id1009", "id2"}},
        {"Select Member", [&] {
             PB2APISelection* chosen = nullptr;
             const QStringList chain = WalkModal([&] { PB2APISelectMemberWithPhoneBook(nullptr, kSampleBookName, &chosen); });
             PB2APIFree(chosen);
             return chain;
         }, {"id1013", "id1008", "id1009", "id1021", "id1002", "id1005", "id1004", "id1007", "id1006", "id1012", "id1",
             "id2"}, false},
        // The cover sheet editor's font dialog (its About box has its OK button alone).
        {"Font", [&] {
             gdi::LOGFONTA font{};
             CCustomFontDlg dialog(font, 100);
             return WalkShown(dialog);
         }, {"id1136", "id1137", "id1138", "id1040", "id1041", "id1139", "id1", "id2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        const QStringList chain = c.walk();
        EXPECT_EQ((c.opensInFirst ? chain : StartingAt(chain, c.expected.front())).join(' ').toStdString(),
                  c.expected.join(' ').toStdString());
    }
    EXPECT_EQ(typedName.toStdString(), "Anna");
    EXPECT_EQ(typedNumber.toStdString(), "0123") << "the digits typed after Tab from the name";
}
