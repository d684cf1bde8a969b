// Tables of the viewer's rules: display states, command updates, and every dialog's logic.
#include "common/resource_locale.h"
#include "viewer/display_state.h"
#include "viewer/tests/viewer_test_support.h"
#include "viewer/viewer_dialog_logic.h"

#include <cstring>
#include <filesystem>
#include <functional>

namespace {

using namespace viewer_test;
namespace fs = std::filesystem;

TEST(DisplayState, ZoomFitAndRotationRules)
{
    struct Step {
        const char* op;
        int step, fit;
        bool result;
    };
    struct Case {
        int step, fit;
        std::vector<Step> steps;
    } cases[] = {
        {2, 0, {{"up", 2, 0, false}, {"down", 1, 0, true}, {"down", 0, 0, true}}},
        {-3, 0, {{"down", -3, 0, false}, {"up", -2, 0, true}}},
        {-2, 0, {{"fit", 0, 1, true}, {"up", 1, 0, true}}},
        {-1, 0, {{"up", 0, 0, true}, {"up", 1, 0, true}}},
        {0, 1, {{"down", -1, 0, true}, {"up", 0, 0, true}}},
        {0, 0, {{"toggle", 0, 1, true}, {"toggle", 0, 0, true}, {"step -2", -2, 0, true}, {"step 0", 0, 0, true}}},
        {0, 1, {{"step 0", 0, 1, true}, {"fit off", 0, 0, true}}},
        {-3, 1, {{"up", 1, 0, true}}},
    };
    for (const Case& c : cases) {
        CPageDisplayState state;
        state.SetZoomStep(c.step);
        state.SetFit(c.fit); // a fit page is at step 0
        for (const Step& s : c.steps) {
            const std::string op = s.op;
            bool result = true;
            if (op == "up")
                result = state.StepUp();
            else if (op == "down")
                result = state.StepDown();
            else if (op == "fit")
                state.SetFit(1);
            else if (op == "fit off")
                state.SetFit(0);
            else if (op == "toggle")
                state.ToggleFit();
            else
                state.SetZoomStep(std::stoi(op.substr(5)));
            EXPECT_EQ(result, s.result) << c.step << " " << op;
            EXPECT_EQ(state.GetZoomStep(), s.step) << c.step << " " << op;
            EXPECT_EQ(state.GetFit(), s.fit) << c.step << " " << op;
        }
    }
    CPageDisplayState state;
    for (int i = 0; i < 3; ++i)
        state.RotateRight();
    EXPECT_EQ(state.GetRotation(), 1);
    state.RotateLeft();
    EXPECT_EQ(state.GetRotation(), 2);
    state.Rotate180();
    EXPECT_EQ(state.GetRotation(), 0);
    state.Rotate180();
    state.RotateLeft();
    state.RotateLeft();
    EXPECT_EQ(state.GetRotation(), 0);

    state.SetTool(kToolTilt);
    state.SetSelected(3);
    state.ToggleHideAnnotations();
    state.ToggleInvert();
    state.StartFromSettings(4, 1, 1, false);
    EXPECT_EQ(state.GetZoomStep(), 0);
    EXPECT_EQ(state.GetFit(), 1);
    EXPECT_EQ(state.GetGrey(), 1);
    EXPECT_EQ(state.GetInvert(), 0);
    EXPECT_EQ(state.GetTool(), kToolHand);
    EXPECT_EQ(state.GetSelected(), -1);
    EXPECT_EQ(state.GetHideAnnotations(), 0);
    EXPECT_EQ(state.GetEditingAllowed(), 0);
    state.StartFromSettings(2, 0, 0, true);
    EXPECT_EQ(state.GetZoomStep(), -2);
    EXPECT_EQ(state.GetEditingAllowed(), 1);
}

TEST_F(DocumentTest, CommandUpdatesFollowPagesAndEditing)
{
    const std::string three = writeTiff(path("three.tif"), 3), one = writeTiff(path("one.tif"), 1);
    clipboard.image = QImage(8, 8, QImage::Format_RGB32);
    // Enabled with 0, 1 and 3 pages, editing off and on.
    struct Row {
        int id;
        bool enabled[2][3];
    } rows[] = {
        {ID_FILE_SAVE_AS, {{false, true, true}, {false, true, true}}},
        {ID_FILE_PRINT, {{false, true, true}, {false, true, true}}},
        {ID_FILE_PROPERTIES, {{false, true, true}, {false, true, true}}},
        {ID_PAGE_COPY, {{false, true, true}, {false, true, true}}},
        {ID_PAGE_JUMP, {{false, true, true}, {false, true, true}}},
        {ID_PAGE_DELETE, {{false, false, false}, {false, false, true}}},
        {ID_PAGE_PASTE_BEFORE, {{false, false, false}, {false, true, true}}},
        {ID_PAGE_PASTE_END, {{false, false, false}, {false, true, true}}},
        {ID_PAGE_INSERT_FILES, {{false, false, false}, {false, true, true}}},
        {ID_PAGE_ADD_FILES, {{false, false, false}, {false, true, true}}},
        {ID_PAGE_FIRST, {{false, false, true}, {false, false, true}}},
        {ID_PAGE_LAST, {{false, false, true}, {false, false, true}}},
        {ID_TOOL_SETTINGS, {{true, true, true}, {true, true, true}}},
        {ID_VIEW_ENLARGE, {{false, true, true}, {false, true, true}}},
    };
    for (int editing = 0; editing < 2; ++editing)
        for (int n = 0; n < 3; ++n) {
            if (n == 0)
                document.OnNewDocument();
            else
                ASSERT_TRUE(document.OnOpenDocument(n == 1 ? one : three));
            pages.state.SetEditingAllowed(editing);
            for (const Row& row : rows) {
                CCmdUI ui;
                ASSERT_TRUE(document.OnUpdateCommand(row.id, ui)) << row.id;
                EXPECT_EQ(ui.enabled, row.enabled[editing][n]) << row.id << " editing " << editing << " pages " << n;
            }
            CCmdUI save;
            document.OnUpdateCommand(ID_FILE_SAVE, save);
            EXPECT_FALSE(save.enabled) << "unchanged";
        }
    CCmdUI ui;
    EXPECT_FALSE(document.OnUpdateCommand(12345, ui));

    // Viewing commands reach the views: both for paging, turns, invert and restore (which the
    // thumbnails follow), the page view alone else.
    pages.calls.clear();
    thumbs.calls.clear();
    ASSERT_TRUE(document.OnCommand(ID_PAGE_NEXT));
    ASSERT_TRUE(document.OnCommand(ID_VIEW_ROTATE_LEFT));
    ASSERT_TRUE(document.OnCommand(ID_VIEW_INVERT));
    ASSERT_TRUE(document.OnCommand(ID_VIEW_ENLARGE));
    ASSERT_TRUE(document.OnCommand(ID_PAGE_LAST));
    EXPECT_EQ(pages.calls, (std::vector<std::string>{"32791", "32781", "32785", "32778", "page -1"}));
    EXPECT_EQ(thumbs.calls, (std::vector<std::string>{"32791", "32781", "32785", "page -1"}));
}

TEST_F(DocumentTest, SettingsCommandStoresTheReducedView)
{
    struct SettingsFrame : ScriptedFrame {
        bool Settings(CSettingsValues& values) override
        {
            seen = values;
            values.adjust = 0;
            values.lines = 3;
            return true;
        }
        CSettingsValues seen;
    } settingsFrame;
    CTqlVwTLDoc doc(app, prompter, settingsFrame, clipboard);
    doc.SetViews(&thumbs, &pages);
    std::pair<int, int> stored{-1, -1};
    app.storeReducedView = [&](int justify, int rows) { stored = {justify, rows}; };
    thumbs.state.SetFit(1);
    ASSERT_TRUE(doc.OnCommand(ID_TOOL_SETTINGS));
    EXPECT_EQ(settingsFrame.seen.adjust, 1);
    EXPECT_EQ(settingsFrame.seen.lines, 2);
    EXPECT_EQ(stored, (std::pair<int, int>{0, 3}));
    EXPECT_EQ(app.cmplRow, 3);
    EXPECT_EQ(thumbs.state.GetFit(), 0);
}

TEST(DialogLogic, ChangeFileFormatMapsSubFormats)
{
    CChangeFileFormatLogic logic;
    ASSERT_EQ(logic.Formats().size(), 2u);
    EXPECT_EQ(logic.SelectedFormat(), 0);
    const int expected[] = {PF_COMPRESSION_NONE, PF_COMPRESSION_MH, PF_COMPRESSION_G3_MH, PF_COMPRESSION_G3_MR,
                            PF_COMPRESSION_PACKBITS, PF_COMPRESSION_CLASS_F};
    ASSERT_EQ(logic.SubFormats().size(), 6u);
    for (int i = 0; i < 6; ++i) {
        logic.SelectSubFormat(i);
        EXPECT_EQ(logic.Result(), (CFileFormat{PF_TYPE_TIFF, expected[i]})) << logic.SubFormats()[static_cast<size_t>(i)];
    }
    logic.SelectFormat(1);
    EXPECT_EQ(logic.SubFormats(), std::vector<std::string>{"None"});
    EXPECT_EQ(logic.SelectedSubFormat(), 0);
    EXPECT_EQ(logic.Result(), (CFileFormat{PF_TYPE_FAX, 0}));
    logic.SelectFormat(0);
    EXPECT_EQ(logic.SelectedSubFormat(), 0) << "a new format selects its first sub-format";
}

TEST(DialogLogic, FileInformationTexts)
{
    struct Case {
        uint16_t type, version, compression, colours;
        CFileInfoTexts texts;
    } cases[] = {
        {PF_TYPE_TIFF, 42, PF_COMPRESSION_PACKBITS, 2, {"TIFF file", "42", "PackBits compression", "64", "40", "2", "2/3"}},
        {PF_TYPE_TIFF, 42, PF_COMPRESSION_CLASS_F, 2, {"TIFF file", "42", "CCITT Group 3 MH compression", "64", "40", "2", "2/3"}},
        {PF_TYPE_TIFF, 42, PF_COMPRESSION_G4, 0, {"TIFF file", "42", "", "64", "40", "Full color", "2/3"}},
        {PF_TYPE_TIFF, 42, PF_COMPRESSION_MH, 2, {"TIFF file", "42", "Revised CCITT Group 3 MH compression", "64", "40", "2", "2/3"}},
        {PF_TYPE_BMP, 40, 0, 2, {"Bitmap file", "40", "", "64", "40", "2", "2/3"}},
        {PF_TYPE_PCX, 5, 0, 16, {"PCX file", "5", "", "64", "40", "16", "2/3"}},
        {PF_TYPE_FAX, 26, 0, 0, {"FAX file", "1a", "MH compression", "", "", "2", "2/3"}},
    };
    for (const Case& c : cases) {
        PAGEFILEDOCUMENT record{};
        record.fileType = c.type;
        record.version = c.version;
        record.compression = c.compression;
        record.colours = c.colours;
        const CFileInfoTexts t = FileInfoTexts(record, 64, 40, 2, 3);
        EXPECT_EQ(t.format, c.texts.format);
        EXPECT_EQ(t.version, c.texts.version);
        EXPECT_EQ(t.compression, c.texts.compression) << c.compression;
        EXPECT_EQ(t.width, c.texts.width);
        EXPECT_EQ(t.height, c.texts.height);
        EXPECT_EQ(t.colours, c.texts.colours);
        EXPECT_EQ(t.page, c.texts.page);
    }
}

TEST_F(DocumentTest, FileInformationPagesThroughTheFile)
{
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("three.tif"), 3, COMPRESSION_PACKBITS, 50, 30)));
    CFileInfoLogic logic(document.LoadedFile(), document.Pages());
    ASSERT_TRUE(logic.Open());
    EXPECT_EQ(logic.Texts().page, "1/3");
    EXPECT_EQ(logic.Texts().width, "50");
    EXPECT_EQ(logic.Note(), "");
    EXPECT_FALSE(logic.PreviousEnabled());
    EXPECT_TRUE(logic.NextEnabled());
    EXPECT_EQ(logic.Focus(), IDC_INFO_NEXT);
    logic.Next();
    EXPECT_TRUE(logic.PreviousEnabled() && logic.NextEnabled());
    EXPECT_EQ(logic.Focus(), IDC_INFO_NEXT);
    logic.Next();
    EXPECT_EQ(logic.Texts().page, "3/3");
    EXPECT_FALSE(logic.NextEnabled());
    EXPECT_EQ(logic.Focus(), IDC_INFO_PREVIOUS);
    logic.Next();
    EXPECT_EQ(logic.Page(), 3);
    logic.Previous();
    logic.Previous();
    EXPECT_FALSE(logic.PreviousEnabled());
    EXPECT_EQ(logic.Focus(), IDC_INFO_NEXT);

    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("one.tif"), 1)));
    CFileInfoLogic single(document.LoadedFile(), document.Pages());
    ASSERT_TRUE(single.Open());
    EXPECT_FALSE(single.NextEnabled() || single.PreviousEnabled());

    // A link file describes the document it was converted into; no document is refused with -24.
    qelta::test::writeTextFile(path("list.lnk"), path("three.tif") + "\n");
    ASSERT_TRUE(document.OnOpenDocument(path("list.lnk")));
    CFileInfoLogic link(document.LoadedFile(), document.Pages());
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(link.Texts().page, "1/3");
    EXPECT_EQ(link.Texts().compression, "PackBits compression");
    ASSERT_TRUE(document.OnNewDocument());
    CFileInfoLogic none(document.LoadedFile(), document.Pages());
    LibraryMessages::codes().clear();
    EXPECT_FALSE(none.Open());
    EXPECT_EQ(LibraryMessages::codes(), std::vector<int>{PF_ERR_OPEN});
}

// The dialog tells of the document shown, as it was read, whatever became of its file since; a
// file that changed on disk adds a note, and a save makes the saved file the one described.
TEST_F(DocumentTest, FileInformationDescribesTheDocumentShownNotTheFileOnDisk)
{
    const std::string shown = path("fax.tif");
    const std::string changed = LoadResourceString(IDS_FILE_CHANGED_ON_DISK);
    ASSERT_FALSE(changed.empty());
    struct Case {
        const char* name;
        std::function<void()> change; // done to the file after it was opened
        bool note;
    } cases[] = {
        {"unchanged", [] {}, false},
        {"replaced by a 2-page uncompressed TIFF",
         [&] {
             writeTiff(path("other.tif"), 2, COMPRESSION_NONE, 300, 200);
             fs::rename(path("other.tif"), shown);
         },
         true},
        {"cut to 3000 bytes", [&] { fs::resize_file(shown, 3000); }, true},
        {"removed", [&] { fs::remove(shown); }, true},
        {"its mode changed", [&] { fs::permissions(shown, fs::perms::owner_read, fs::perm_options::remove); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(document.OnOpenDocument(writeTiff(shown, 5, COMPRESSION_CCITTFAX4, 80, 50)));
        c.change();
        CFileInfoLogic logic(document.LoadedFile(), document.Pages());
        LibraryMessages::codes().clear();
        ASSERT_TRUE(logic.Open());
        EXPECT_TRUE(LibraryMessages::codes().empty());
        for (int page = 1; page <= 5; ++page, logic.Next()) {
            const CFileInfoTexts& t = logic.Texts();
            EXPECT_EQ(t.format, "TIFF file");
            EXPECT_EQ(t.compression, "") << "G4 has no name of its own";
            EXPECT_EQ(t.colours, "2");
            EXPECT_EQ(t.width, "80");
            EXPECT_EQ(t.height, "50");
            EXPECT_EQ(t.page, std::to_string(page) + "/5");
            EXPECT_EQ(logic.Note(), c.note ? changed : "");
        }
        fs::remove(shown);
    }

    // A save rewrites the file: the saved file is the one described, with no note.
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(shown, 2, COMPRESSION_CCITTRLE, 80, 50)));
    ASSERT_TRUE(document.OnSaveDocument(shown));
    CFileInfoLogic saved(document.LoadedFile(), document.Pages());
    ASSERT_TRUE(saved.Open());
    EXPECT_EQ(saved.Texts().compression, "Revised CCITT Group 3 MH compression");
    EXPECT_EQ(saved.Note(), "");
}

TEST(DialogLogic, ColourListsSelectBlackForUnknownColours)
{
    CColourListLogic list;
    EXPECT_EQ(list.Count(), 16);
    EXPECT_EQ(list.Select(0x0000FF), 9);
    EXPECT_STREQ(ColourItems()[9].name, "RED");
    EXPECT_EQ(list.Select(0x123456), 0);
    EXPECT_EQ(list.SelectedColour(), 0x000000u);
    CColourListLogic markers(true);
    EXPECT_EQ(markers.Count(), 15);
    EXPECT_EQ(markers.Select(0xFFFFFF), 0) << "WHITE is not in the 15-colour list";
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(ColourItems()[i].colour, AnnotationColours()[i]) << "the list and the palette agree";
}

TEST(DialogLogic, SpinAndRangeChecks)
{
    EXPECT_EQ(SpinValue(3, -1, 1, 4), 4);
    EXPECT_EQ(SpinValue(4, -1, 1, 4), 4);
    EXPECT_EQ(SpinValue(1, 1, 1, 4), 1);
    EXPECT_EQ(SpinValue(3, 1, 1, 4), 2);

    ScriptedPrompter prompter;
    CSettingsLogic settings(1, 7, 5, 9);
    EXPECT_EQ(settings.Lines(), 2);
    EXPECT_TRUE(settings.LinesEnabled());
    settings.SetAdjust(0);
    EXPECT_FALSE(settings.LinesEnabled());
    EXPECT_EQ(CSettingsLogic(0, 4, 0, 0).Lines(), 4);
    EXPECT_TRUE(settings.Accept(prompter));
    EXPECT_EQ(settings.ReadOption(), 5);
    EXPECT_EQ(settings.AppValue(), 9);
    settings.SetLines(5);
    prompter.script = {{"Line numbers exceed range.", IDOK}};
    EXPECT_FALSE(settings.Accept(prompter));

    CPageJumpLogic jump(5, 2);
    EXPECT_EQ(jump.Value(), 3);
    for (int i = 0; i < 9; ++i)
        jump.Spin(-1);
    EXPECT_EQ(jump.Value(), 5);
    for (int i = 0; i < 9; ++i)
        jump.Spin(1);
    EXPECT_EQ(jump.Value(), 1);
    EXPECT_TRUE(jump.Accept(prompter));
    EXPECT_EQ(jump.Current(), 0);
    for (const int bad : {0, 6}) {
        jump.SetValue(bad);
        prompter.script = {{"Page settings exceed range", IDOK}};
        EXPECT_FALSE(jump.Accept(prompter));
    }

    CLineStyleLogic line(40, 0xFF0000);
    EXPECT_EQ(line.Width(), 1);
    EXPECT_EQ(line.Colours().SelectedColour(), 0xFF0000u);
    line.Spin(-1);
    EXPECT_EQ(line.Width(), 2);
    line.SetWidth(33);
    prompter.script = {{"Please enter an integer between 1 and 32.", IDOK}};
    EXPECT_FALSE(line.Accept(prompter));
}

class RecordingTilt : public ITiltTool {
public:
    std::optional<std::pair<gdi::POINT, gdi::POINT>> ReferenceLine() override { return line; }
    int LineOrientation() override { return orientation; }
    std::pair<int, int> PageSize() override { return {100, 200}; }
    void Correct(std::optional<std::pair<int, int>> direction) override { corrections.push_back(direction); }
    void End() override { ++ended; }
    std::optional<std::pair<gdi::POINT, gdi::POINT>> line;
    int orientation = 0;
    std::vector<std::optional<std::pair<int, int>>> corrections;
    int ended = 0;
};

TEST(DialogLogic, TiltCorrectionDirections)
{
    struct Case {
        gdi::POINT a, b;
        int orientation;
        std::pair<int, int> direction;
    } cases[] = {
        {{10, 0}, {12, 100}, 0, {-2, 100}},   // nearer vertical, top leaning left
        {{12, 0}, {10, 100}, 0, {2, 100}},    // top leaning right: positive
        {{0, 50}, {100, 53}, 0, {3, 100}},    // right end lower: positive
        {{100, 50}, {0, 53}, 0, {-3, 100}},
        // Drawn a quarter turn left: (x, y) of the line is (100 - y, x) on the page.
        {{0, 10}, {100, 12}, 1, {2, 100}},
    };
    for (const Case& c : cases) {
        RecordingTilt tool;
        ScriptedPrompter prompter;
        CTiltCorrectionLogic logic(tool, prompter);
        tool.line = std::pair{c.a, c.b};
        tool.orientation = c.orientation;
        logic.ManualCorrection();
        ASSERT_EQ(tool.corrections.size(), 1u);
        EXPECT_EQ(tool.corrections[0], std::optional(c.direction)) << c.a.x << "," << c.a.y;
        EXPECT_EQ(tool.ended, 0) << "the tool keeps running";
    }
    RecordingTilt tool;
    ScriptedPrompter prompter;
    CTiltCorrectionLogic logic(tool, prompter);
    prompter.script = {{"Please drag and correct tilt.", IDOK}};
    logic.ManualCorrection();
    EXPECT_TRUE(tool.corrections.empty());
    logic.AutoCorrection();
    EXPECT_EQ(tool.corrections, (std::vector<std::optional<std::pair<int, int>>>{std::nullopt}));
    logic.Close();
    EXPECT_EQ(tool.ended, 1);

    EXPECT_EQ(TurnPoint({10, 20}, 2, 0, 100, 200).x, 90);
    EXPECT_EQ(TurnPoint({10, 20}, 3, 0, 100, 200).y, 190);
    EXPECT_EQ(TurnPoint({10, 20}, 0, 0, 100, 200).x, 10);
}

class ScriptedStampEditor : public IStampEditor {
public:
    bool Edit(const std::string& caption, CStampRecord& record) override
    {
        captions.push_back(caption);
        if (names.empty())
            return false;
        CEditStampLogic logic(record);
        logic.Accept(names.front(), "text of " + names.front());
        record = logic.Record();
        names.erase(names.begin());
        return true;
    }
    std::vector<std::string> names;
    std::vector<std::string> captions;
};

TEST(DialogLogic, StampListRules)
{
    std::array<CStampRecord, kMaxStamps> none{};
    gdi::LOGFONTA font;
    std::strcpy(font.lfFaceName, "Sans");
    CStampListLogic list(none, 0, -1, font, 0x0000FF);
    EXPECT_FALSE(list.DeleteEnabled() || list.EditEnabled());
    ScriptedStampEditor editor;
    editor.names = {"Paid", "Draft", "Copy"};
    for (int i = 0; i < 3; ++i)
        list.Create(editor);
    EXPECT_EQ(editor.captions, std::vector<std::string>(3, "Create Text Stamp"));
    EXPECT_EQ(list.Names(), (std::vector<std::string>{"Paid", "Draft", "Copy"}));
    EXPECT_EQ(list.Selection(), 2);
    EXPECT_EQ(list.Preview(), "text of Copy");
    EXPECT_EQ(list.Stamps()[0].colour, 0x0000FFu);
    EXPECT_STREQ(list.Stamps()[0].font.lfFaceName, "Sans");

    list.Delete(); // the last of three: the new last is selected
    EXPECT_EQ(list.Selection(), 1);
    EXPECT_EQ(list.Preview(), "text of Draft");
    list.Select(0);
    list.Delete(); // the first: the one that moved up takes its place
    EXPECT_EQ(list.Names(), std::vector<std::string>{"Draft"});
    EXPECT_EQ(list.Selection(), 0);
    EXPECT_EQ(list.Stamps()[1].name[0], 0) << "the freed place is cleared";

    editor.names = {"Final"};
    list.Edit(editor);
    EXPECT_EQ(editor.captions.back(), "Edit Text Stamp Properties");
    EXPECT_EQ(list.Names(), std::vector<std::string>{"Final"});
    EXPECT_EQ(list.Selection(), -1);
    EXPECT_EQ(list.Accept(), -1);

    list.Select(0);
    list.Delete(); // the only one
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Selection(), -1);
    EXPECT_EQ(list.Preview(), "");
    EXPECT_FALSE(list.DeleteEnabled() || list.EditEnabled());

    // Twenty records: a 21st is refused without a word.
    std::array<CStampRecord, kMaxStamps> full{};
    for (int i = 0; i < kMaxStamps; ++i)
        full[static_cast<size_t>(i)].name[0] = static_cast<char>('a' + i);
    CStampListLogic crowded(full, kMaxStamps, 4, font, 0);
    EXPECT_EQ(crowded.Selection(), 4);
    editor.names = {"more"};
    editor.captions.clear();
    crowded.Create(editor);
    EXPECT_TRUE(editor.captions.empty());
    EXPECT_EQ(crowded.Count(), kMaxStamps);
}

TEST(DialogLogic, EditStampKeepsItsBounds)
{
    EXPECT_EQ(ReplaceSelection("Paid on  by", 8, 8, "%x"), "Paid on %x by");
    EXPECT_EQ(ReplaceSelection("Paid on DATE", 8, 12, "%x"), "Paid on %x");
    EXPECT_EQ(ReplaceSelection("at TIME", 7, 3, "%X"), "at %X");

    CStampRecord record;
    std::memset(record.reserved, 0x55, sizeof record.reserved);
    CEditStampLogic logic(record);
    logic.Accept(std::string(300, 'n'), std::string(400, 't'));
    const CStampRecord& out = logic.Record();
    EXPECT_EQ(std::string(out.name, 256), std::string(256, 'n'));
    EXPECT_EQ(out.reserved[0] | out.reserved[3], 0);
    EXPECT_EQ(out.reserved[4], 0x55) << "only the first four bytes are cleared";
    EXPECT_EQ(CEditStampLogic(out).Text().size(), static_cast<size_t>(kMaxStampText));
    // A character across the last byte kept goes whole: 254 bytes and a two-byte character, or
    // 255 and a three-byte one, keep none of it.
    logic.Accept(std::string(255, 'n') + "\xc3\xa9", std::string(254, 't') + "\xc3\xa9");
    EXPECT_EQ(CEditStampLogic(logic.Record()).Text(), std::string(254, 't'));
    EXPECT_EQ(CEditStampLogic(logic.Record()).Name(), std::string(255, 'n'));
    logic.Accept("stamp", std::string(253, 't') + "\xe2\x82\xac" + "x");
    EXPECT_EQ(CEditStampLogic(logic.Record()).Text(), std::string(253, 't'));
    EXPECT_EQ(offsetof(CStampRecord, text), 264u);
    EXPECT_EQ(offsetof(CStampRecord, font), 784u);
    EXPECT_EQ(offsetof(CStampRecord, colour), 844u);
}

} // namespace
