// The shared widgets' texts come from the language module of the program that shows them: the font
// dialog, the progress and search dialogs, the font combos' tips and the help warnings, in German
// under a German module and in English without one.
#include "common/prompter.h"
#include "common/resource_locale.h"
#include "platform/tests/support/test_support.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/cool_menu.h"
#include "uiwidgets/font_dialog.h"
#include "uiwidgets/help.h"
#include "uiwidgets/toolbar_ex.h"
#include "uiwidgets/worker_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct RecordingPrompter : IPrompter {
    std::vector<std::string> boxes;
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        boxes.push_back(text);
        return IDOK;
    }
};

template <typename W>
std::string TextOf(const QWidget& parent, int id)
{
    const W* widget = parent.findChild<W*>(ControlName(id));
    if (!widget)
        return "(no control " + std::to_string(id) + ")";
    if constexpr (std::is_same_v<W, QGroupBox>)
        return Utf8Text(widget->title());
    else
        return Utf8Text(widget->text());
}

std::vector<std::string> SharedTexts(const CSDLocale* locale)
{
    SetCurrentResourceLocale(locale);
    struct Restore {
        ~Restore() { SetCurrentResourceLocale(nullptr); }
    } restore;
    std::vector<std::string> shown;

    const CCustomFontDlg font(gdi::LOGFONTA{}, 100);
    shown.push_back(Utf8Text(font.windowTitle()));
    shown.push_back(TextOf<QLabel>(font, IDC_FONT_FACE_LABEL));
    shown.push_back(TextOf<QLabel>(font, IDC_FONT_SIZE_LABEL)); // not in the German module: English
    shown.push_back(TextOf<QGroupBox>(font, IDC_FONT_EFFECTS));
    shown.push_back(TextOf<QCheckBox>(font, IDC_FONT_STRIKEOUT));
    shown.push_back(TextOf<QLabel>(font, IDC_FONT_SAMPLE));
    const auto* styles = font.findChild<QListWidget*>(ControlName(IDC_FONT_STYLE));
    for (int row : {0, 1})
        shown.push_back(styles && styles->item(row) ? Utf8Text(styles->item(row)->text()) : "(no style)");

    const CDProgress progress;
    shown.push_back(TextOf<QPushButton>(progress, 2));
    shown.push_back(TextOf<QPushButton>(progress, 1));
    const CDDiscover discover;
    shown.push_back(TextOf<QPushButton>(discover, 2));

    CFontToolBar bar;
    bar.LoadButtons(std::vector<int>(CFontToolBar::kSizeSlot + 1, 0), CCoolMenuManager(), {});
    if (bar.CreateFontCombos()) {
        shown.push_back(Utf8Text(bar.NameCombo()->toolTip()));
        shown.push_back(Utf8Text(bar.NameCombo()->statusTip()));
        shown.push_back(Utf8Text(bar.SizeCombo()->toolTip()));
    }

    qelta::test::ScopedStateRoot root;
    qelta::test::writeTextFile(root.path() + "/Present.html", "<html></html>");
    RecordingPrompter prompter;
    OpenHelp(root.path(), "Missing.html", 1, prompter, {"", "Title"});
    OpenHelp(root.path(), "Present.html", 1, prompter, {"", "Title"}, [](const std::string&) { return false; });
    for (std::string& box : prompter.boxes)
        shown.push_back(box.replace(box.find(root.path()), root.path().size(), "<help>"));
    return shown;
}

TEST(SharedTexts, TheSharedDialogsSpeakTheLanguageOfTheProgramsModule)
{
    CSDLocale german(WIDGETSTEST_PROGRAM, "WIDGETSTEST");
    ASSERT_EQ(german.LoadLocale(0x0407), 1);
    EXPECT_EQ(SharedTexts(&german),
              (std::vector<std::string>{"Schriftart", "Schrift&art:", "&Size:", "Effekte", "&Durchgestrichen",
                                        "AaBbÄäÖö", "Regular", "Kursiv", "&Abbrechen", "FERTIG", "Ab&brechen",
                                        "Schriftart", "Schriftart der Auswahl ändern.", "Font size",
                                        "Die Hilfedatei <help>/Missing.html fehlt.",
                                        "Die Hilfedatei <help>/Present.html kann nicht geöffnet werden: der "
                                        "Desktop hat kein Programm dafür."}));
    EXPECT_EQ(SharedTexts(nullptr),
              (std::vector<std::string>{"Font", "&Font:", "&Size:", "Effects", "Stri&keout", "AaBbYyZz", "Regular",
                                        "Italic", "&Cancel", "DONE", "&Cancel", "Font", "Change font of selection.",
                                        "Font size", "The help file <help>/Missing.html is missing.",
                                        "The help file <help>/Present.html cannot be opened: the desktop has no "
                                        "program for it."}));
}

} // namespace
