// The editing commands on a sheet: what each insert makes, reordering, fonts, line types and
// shadings, the sender fields, and the cover sheet clipboard with blocks from other programs.
#include "cover/editor/edit_commands.h"

#include "common/tests/support/scripted_prompter.h"

#include <gtest/gtest.h>

#include <map>

using namespace cvr;

namespace {

struct FixedMetrics : IScreenMetricsProvider {
    ScreenMetrics Metrics() const override { return {}; }
};

struct Profile : ICoverSheetApp {
    std::map<std::string, std::string> values{{"User4", "Kim Lee"}, {"User5", "555-0100"}};
    void SetCurrentDocument(CtqHeaderDoc*) override {}
    int GetNoDefaultObjects() const override { return 1; }
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& defaultValue) const override
    {
        EXPECT_EQ(section, "TQLCVR");
        const auto it = values.find(entry);
        return it == values.end() ? defaultValue : it->second;
    }
};

struct Clipboard : IEditClipboard {
    std::optional<std::string> block, text;
    std::optional<std::string> Block() const override { return block; }
    bool Put(const std::string& b, const std::string& t) override
    {
        block = b;
        text = t;
        return true;
    }
    void Clear() override { block.reset(), text.reset(); }
};

struct Sheet {
    Profile profile;
    CtqHeaderDoc doc{&profile};
    FixedMetrics metrics;
    CHeaderViewLogic view{doc, metrics};
    Clipboard clipboard;
    test_support::ScriptedPrompter prompter{"Paste", {}, MB_ICONEXCLAMATION};
    CEditCommands commands{view, clipboard, prompter, &profile};

    Sheet()
    {
        doc.OnNewDocument();
        doc.SetModifiedFlag(false);
    }
    CtqRect* add(const std::string& line)
    {
        CtqRect* made = doc.CreateFrame(line);
        EXPECT_NE(made, nullptr) << line;
        return made;
    }
};

std::string block(std::string line)
{
    line.resize(line.size() + 16, '\0');
    return line;
}

} // namespace

TEST(CoverEditCommands, EachInsertMakesItsKindWithItsRectangleAndText)
{
    const struct {
        int command;
        const char* kind;
        const char* text; // null: not checked
    } rows[] = {
        {32797, "CtqStaticTextRect", "Text"},      {32799, "CtqMemoRect", ""},
        {32802, "CtqDateRect", nullptr},           {32803, "CtqTimeRect", nullptr},
        {32804, "CtqPageRect", "99"},              {32798, "CtqBitmapRect", ""},
        {32805, "CtqDrawingFrameRect", ""},        {32806, "CtqDrawingLineRect", ""},
        {32807, "CtqDrawingCutterRect", ""},       {32808, "CtqAddressFaxRect", "Fax number"},
        {32813, "CtqAddressNameRect", "Name"},     {32810, "CtqAddressCompanyRect", "Company name"},
        {32811, "CtqAddressSectionRect", "Department name"}, {32812, "CtqAddressPostRect", "Job title"},
        {32814, "CtqAddressTelephoneRect", "Phone number"},  {32809, "CtqAddressMrRect", "Title"},
        {32827, "CtqAddressZipRect", "Zip code"},  {32828, "CtqAddressAddress1Rect", "Address 1"},
        {32829, "CtqAddressAddress2Rect", "Address 2"}, {32817, "CtqUserNameRect", "Kim Lee"},
        {32818, "CtqUserIDRect", "555-0100"},      {32819, "CtqUserCompanyRect", ""},
        {32820, "CtqUserSectionRect", ""},         {32821, "CtqUserPostRect", ""},
        {32822, "CtqUserFaxNumberRect", ""},       {32832, "CtqUserZipRect", ""},
        {32833, "CtqUserAddress1Rect", ""},
    };
    ASSERT_EQ(std::size(rows), kInsertCommands.size());
    for (const ScrollState scroll : {ScrollState{}, ScrollState{-5, 100, 800, 1000}}) {
        for (const auto& r : rows) {
            Sheet s;
            CtqRect* made = s.commands.Insert(r.command, scroll);
            ASSERT_NE(made, nullptr) << r.command;
            EXPECT_STREQ(made->GetRuntimeClass(), r.kind);
            if (r.text) {
                EXPECT_EQ(made->GetText(), r.text) << r.command;
            }
            EXPECT_TRUE(s.doc.IsModified());
            EXPECT_EQ(s.view.Selection(), made);
            // 100 of 1000 down the scroll is 229 of the 2290-pixel page; a negative position is 0.
            const int top = 20 + (scroll.y ? 229 : 0);
            gdi::RECT want{20, top, 334, top + 78};
            if (r.command == 32806)
                want.bottom = top;
            if (r.command == 32807)
                want = {0, top, s.doc.m_nPageWidth, top};
            EXPECT_EQ(made->GetRect(), want) << r.command;
            if (r.command == 32807) {
                EXPECT_EQ(s.doc.m_nPageCut, top);
                EXPECT_FALSE(s.commands.State(32807, false, false).enabled);
                EXPECT_EQ(s.commands.Insert(32807, scroll), nullptr); // one page cut a sheet
                EXPECT_EQ(s.doc.m_objects.GetSize(), 1u);
            }
        }
    }
}

TEST(CoverEditCommands, ReorderingAndRemovingThePageCut)
{
    Sheet s;
    CtqRect* first = s.add("DrawingLine,59,551,649,0,0,2");
    CtqRect* last = s.add("PageCut,0,900,1728,0");
    s.view.Select(first);
    EXPECT_FALSE(s.commands.SendToBack());
    EXPECT_FALSE(s.doc.IsModified());
    s.view.Select(last);
    EXPECT_TRUE(s.commands.BringToFront());
    EXPECT_TRUE(s.doc.IsModified());
    EXPECT_EQ(s.doc.m_objects.GetAt(1), last);
    EXPECT_TRUE(s.commands.SendToBack());
    EXPECT_EQ(s.doc.m_objects.GetAt(0), last);
    EXPECT_EQ(s.view.SelectionIndex(), 0);
    // The page cut is neither copied nor given a context: Cut takes it away and frees its place.
    EXPECT_FALSE(s.commands.State(ID_EDIT_COPY, false, false).enabled);
    EXPECT_EQ(KindStatusText(last), "Page cut position");
    EXPECT_EQ(KindStatusText(first), "Line Frame");
    EXPECT_TRUE(s.commands.Cut());
    EXPECT_EQ(s.doc.m_nPageCut, -1);
    EXPECT_TRUE(s.commands.State(32807, false, false).enabled);
    EXPECT_EQ(s.view.Selection(), nullptr);
}

TEST(CoverEditCommands, FontsLineTypesAndShadingsBySelection)
{
    EXPECT_EQ(ToggledWeight(600), 400);
    EXPECT_EQ(ToggledWeight(400), 700);
    EXPECT_EQ(ToggledWeight(0), 700);
    EXPECT_EQ(HeightOfPoints(12), 33);
    EXPECT_EQ(PointsOfHeight(33), 12);
    EXPECT_EQ(PointsOfHeight(-14), 14);
    EXPECT_EQ(DialogHeight(33, 96), -16);
    EXPECT_EQ(HeightOfTenths(120), 33);

    Sheet s;
    // Without a selection the default font, line type and shading change.
    EXPECT_TRUE(s.commands.FontCommand(ID_FONT_POINTS, 12));
    EXPECT_TRUE(s.commands.FontCommand(ID_FONT_BOLD));
    EXPECT_EQ(s.commands.DefaultFont().lfWeight, 700);
    s.commands.LineType(32784);
    s.commands.Shading(32790);
    EXPECT_TRUE(s.commands.State(32784, false, false).checked);
    CtqRect* frame = s.commands.Insert(32805, {});
    int style = 0, width = 0;
    frame->GetPen(style, width);
    EXPECT_EQ(width, 11);
    EXPECT_EQ(frame->GetFill(), 10);
    CtqRect* text = s.commands.Insert(32797, {});
    gdi::LOGFONTA font;
    text->GetLogFont(font);
    EXPECT_EQ(font.lfHeight, 33);
    EXPECT_EQ(font.lfWeight, 700);

    const struct {
        const char* line;
        bool pen, fill, font;
    } rows[] = {
        {"DrawingFrame,10,10,100,100,1,2,5", true, true, false},
        {"DrawingLine,10,10,100,0,2,1", true, false, false},
        {"StaticText,10,10,100,40,Arial,33,600,0,0,0,0,Hi", false, false, true},
        {"Bitmap,10,10,100,40,", false, false, false},
    };
    for (const auto& r : rows) {
        Sheet t;
        CtqRect* object = t.add(r.line);
        t.view.Select(object);
        EXPECT_EQ(t.commands.LineTypePopupEnabled(), r.pen) << r.line;
        EXPECT_EQ(t.commands.ShadingPopupEnabled(), r.fill) << r.line;
        EXPECT_EQ(t.commands.State(6004, false, false).enabled, r.pen) << r.line;
        EXPECT_EQ(t.commands.State(32837, false, false).enabled, r.fill) << r.line;
        EXPECT_EQ(t.commands.State(ID_FONT_BOLD, false, false).enabled, r.font) << r.line;
        EXPECT_EQ(t.commands.LineType(32785), r.pen) << r.line;
        EXPECT_EQ(t.commands.Shading(32837), r.fill) << r.line;
        EXPECT_EQ(t.commands.FontCommand(ID_FONT_BOLD), r.font) << r.line;
        EXPECT_EQ(t.doc.IsModified(), r.pen || r.font) << r.line;
        if (r.pen) {
            EXPECT_TRUE(t.commands.State(32785, false, false).checked);
        }
        if (r.fill) {
            EXPECT_EQ(object->GetFill(), 100);
        }
        if (r.font) {
            object->GetLogFont(font);
            EXPECT_EQ(font.lfWeight, 400); // from 600
            EXPECT_FALSE(t.commands.State(ID_FONT_BOLD, false, false).checked);
        }
    }
}

TEST(CoverEditCommands, SenderFieldsFollowTheLanguageCommands)
{
    Sheet s;
    CtqRect* name = s.add("UserName,10,10,100,40,Arial,33,400,0,0,0,0");
    CtqRect* company = s.add("UserCompany,10,60,100,40,Arial,33,400,0,0,0,0");
    CtqRect* other = s.add("StaticText,10,110,100,40,Arial,33,400,0,0,0,0,Keep");
    company->SetText("Old");
    s.profile.values["User4"] = "Ann Roe";
    const auto changed = s.commands.SetSenderLanguage(1);
    EXPECT_EQ(changed.size(), 2u);
    EXPECT_EQ(s.doc.m_bLang, 1);
    EXPECT_EQ(name->GetText(), "Ann Roe");
    EXPECT_EQ(company->GetText(), "");
    EXPECT_EQ(other->GetText(), "Keep");
    EXPECT_TRUE(s.commands.State(ID_SENDER_LANG1, false, false).checked);
    EXPECT_FALSE(s.commands.State(ID_SENDER_LANG0, false, false).checked);
}

TEST(CoverEditClipboard, BlocksOfEachKindPasteOnceMovedByTen)
{
    const char* lines[] = {
        "StaticText,10,20,100,40,Arial,33,400,0,0,0,0,Hello",
        "DrawingFrame,10,20,100,40,6,2,5",
        "DrawingLine,10,20,100,0,0,2",
        "Memo,10,20,100,40,Times New Roman,33,0,0,0,0,0",
        "Bitmap,10,20,100,40,",
    };
    for (const char* line : lines) {
        Sheet s;
        CtqRect* object = s.add(line);
        s.view.Select(object);
        ASSERT_TRUE(s.commands.Copy()) << line;
        ASSERT_TRUE(s.clipboard.block);
        EXPECT_EQ(*s.clipboard.block, block(object->GetFrameLine())) << line;
        EXPECT_EQ(*s.clipboard.text, object->GetFrameLine());
        CtqRect* pasted = s.commands.Paste();
        ASSERT_NE(pasted, nullptr) << line;
        EXPECT_EQ(pasted->GetRect(), (gdi::RECT{20, 30, 120, object->GetRect().bottom + 10})) << line;
        EXPECT_EQ(s.view.Selection(), object);
        EXPECT_FALSE(s.clipboard.block); // once
        EXPECT_EQ(s.commands.Paste(), nullptr);
        EXPECT_EQ(s.doc.m_objects.GetSize(), 2u);
    }
    // The bytes as a hand-built block.
    Sheet s;
    s.view.Select(s.add("DrawingLine,10,20,100,0,0,2"));
    s.commands.Copy();
    EXPECT_EQ(*s.clipboard.block, std::string("DrawingLine,10,20,100,0,0,2\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 43));
}

TEST(CoverEditClipboard, ASecondPageCutIsRefusedAndKeptOnTheClipboard)
{
    Sheet s;
    CtqRect* cut = s.add("PageCut,0,900,1728,0");
    s.view.Select(cut);
    EXPECT_TRUE(s.commands.Cut()); // copies, then removes: the place is free again
    s.add("PageCut,0,500,1728,0");
    s.prompter.expected = {"Page cut position frame has already been created"};
    EXPECT_EQ(s.commands.Paste(), nullptr);
    EXPECT_TRUE(s.clipboard.block);
    EXPECT_EQ(s.doc.m_objects.GetSize(), 1u);
    // With the sheet's own cut gone, it pastes and the page ends at the pasted cut.
    s.view.Select(s.doc.m_objects.GetAt(0));
    s.commands.Remove();
    CtqRect* pasted = s.commands.Paste();
    ASSERT_NE(pasted, nullptr);
    EXPECT_EQ(s.doc.m_nPageCut, 910);
}

TEST(CoverEditClipboard, BlocksFromOtherProgramsPasteNothing)
{
    const std::string line = "DrawingLine,10,20,100,0,0,2";
    const struct {
        std::string block;
        bool pastes;
    } rows[] = {
        {line, false},                                  // no NUL
        {std::string(1, '\0') + line, false},           // NUL first
        {std::string(), false},                         // empty
        {line + std::string(kMaxClipboardBlock + 1 - line.size(), '\0'), false}, // 64 KiB + 1
        {line + std::string(kMaxClipboardBlock - line.size(), '\0'), true},
        {line + '\0' + "garbage,without,end", true},    // the text ends at the first NUL
        {std::string("Nothing,1,2\0", 12), false},      // makes no object: the clipboard stays
    };
    for (const auto& r : rows) {
        Sheet s;
        s.clipboard.block = r.block;
        CtqRect* pasted = s.commands.Paste();
        EXPECT_EQ(pasted != nullptr, r.pastes) << r.block.size();
        EXPECT_EQ(s.clipboard.block.has_value(), !r.pastes);
        EXPECT_EQ(s.doc.IsModified(), r.pastes);
    }
}
