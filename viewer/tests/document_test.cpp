// The viewer's document on real page files: opening every type, link files, conversion, the save
// rules, failures that must leave files and the document as they were, and send registration.
#include "common/resource_locale.h"
#include "imaging/page_qimage.h"
#include "platform/endpoint.h"
#include "viewer/page_file_access.h"
#include "viewer/tests/viewer_test_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace {

using namespace viewer_test;
namespace fs = std::filesystem;

TEST_F(DocumentTest, EachTypeOpens)
{
    // A FAX and a PCX file made by the library from a BMP's page.
    const std::string bmp = writeBmp(path("one.bmp"));
    CPageImageArray source;
    bool busy = false;
    ASSERT_EQ(ReadPages(bmp, source, PF_TYPE_BMP, 0, 1, 0, 0, busy), PF_OK);
    ASSERT_EQ(WritePages({source[0]->Handle()}, path("one.fax"), PF_TYPE_FAX, 0, 0, 0, busy), PF_OK);
    ASSERT_EQ(WritePages({source[0]->Handle()}, path("one.pcx"), PF_TYPE_PCX, 0, 0, 0, busy), PF_OK);
    qelta::test::writeTextFile(path("pages.dcx"), std::string("\xB1\x68\xDE\x3A", 4) + std::string(64, '\0'));

    struct Case {
        std::string file;
        int pages; // 0: refused with the code
        int type, compression, code;
    } cases[] = {
        {writeTiff(path("packbits.tif"), 3), 3, PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, 0},
        {writeTiff(path("g4.tif"), 2, COMPRESSION_CCITTFAX4), 2, PF_TYPE_TIFF, PF_COMPRESSION_G4, 0},
        {writeTiff(path("mh.tif"), 1, COMPRESSION_CCITTRLE), 1, PF_TYPE_TIFF, PF_COMPRESSION_MH, 0},
        {writeTiff(path("doc.TQD"), 2), 2, PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, 0},
        {bmp, 1, PF_TYPE_BMP, 0, 0},
        {path("one.fax"), 1, PF_TYPE_FAX, PF_COMPRESSION_MH, 0},
        {path("one.pcx"), 1, PF_TYPE_PCX, 0, 0},
        {path("pages.dcx"), 0, 0, 0, PF_ERR_OPEN},
        {path("missing.tif"), 0, 0, 0, PF_ERR_OPEN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        LibraryMessages::codes().clear();
        const bool opened = document.OnOpenDocument(c.file);
        ASSERT_EQ(opened, c.pages > 0);
        if (!opened) {
            EXPECT_EQ(LibraryMessages::codes(), std::vector<int>{c.code});
            continue;
        }
        EXPECT_TRUE(LibraryMessages::codes().empty());
        EXPECT_EQ(document.PageCount(), c.pages);
        EXPECT_EQ(document.FormatType(), c.type);
        EXPECT_EQ(document.Compression(), c.compression);
        EXPECT_EQ(document.PathName(), c.file);
        EXPECT_EQ(document.Title(), c.file.substr(c.file.rfind('/') + 1));
        EXPECT_FALSE(document.IsModified());
        EXPECT_EQ(pages.state.GetPageCount(), c.pages);
        EXPECT_EQ(thumbs.state.GetPageCount(), c.pages);
        EXPECT_EQ(app.lastFile, c.file);
        EXPECT_EQ(app.lastDir, dir_.string());
        EXPECT_FALSE(app.busy);
    }
    EXPECT_EQ(document.PageCount(), 1) << "the failed opens left the last document";
}

TEST_F(DocumentTest, LinkFilesOpenTheirPagesOrNothing)
{
    const std::string a = writeTiff(path("a.tif"), 2), b = writeBmp(path("b.bmp"));
    qelta::test::writeTextFile(path("inner.tqs"), b + "\r\n");
    qelta::test::writeTextFile(path("self.lnk"), a + "\n" + path("self.lnk") + "\n");
    qelta::test::writeTextFile(path("loop1.lnk"), path("loop2.LNK") + "\n");
    qelta::test::writeTextFile(path("loop2.LNK"), path("loop1.lnk") + "\n");
    std::string deep = b;
    for (int i = 0; i <= kMaxLinkDepth; ++i) {
        qelta::test::writeTextFile(path("deep" + std::to_string(i) + ".lnk"), deep + "\n");
        deep = path("deep" + std::to_string(i) + ".lnk");
    }
    std::string large = a + "\n";
    while (large.size() <= static_cast<size_t>(kMaxLinkFileBytes))
        large += std::string(200, '\n');
    const std::string repeat = LoadResourceString(IDS_LINK_FILES_REPEAT);
    ASSERT_EQ(repeat, "The document link files repeat: a link file is listed again, by itself or by another link file.");
    struct Case {
        const char* name;
        std::string text;
        int pages;           // 0: refused
        int code;            // the library's message, or
        std::string message; // the viewer's own
    } cases[] = {
        {"crlf.lnk", a + "\r\n" + b + "\r\n", 3, 0, ""},
        {"lf.lnk", a + "\n" + b + "\n", 3, 0, ""},
        {"last.Lnk", a + "\r\n" + b, 3, 0, ""},
        {"cr-cr.lnk", a + "\r\r\n" + b + "\r\n", 3, 0, ""},
        {"nested.lnk", a + "\r\n" + path("inner.tqs") + "\r\n", 3, 0, ""},
        {"list.tqs", b + "\r\n\r\n" + b + "\r\n", 2, 0, ""},
        {"self-link.lnk", path("self.lnk") + "\n", 0, 0, repeat},
        {"cycle.lnk", path("loop1.lnk") + "\n", 0, 0, repeat},
        {"missing.lnk", a + "\r\n" + path("gone.tif") + "\r\n", 0, PF_ERR_OPEN, ""},
        {"text.lnk", path("crlf.lnk.txt") + "\n", 0, PF_ERR_OPEN, ""},
        {"empty.lnk", "", 0, PF_ERR_OPEN, ""},
        {"large.lnk", large, 0, PF_ERR_TOO_LARGE, ""},
    };
    qelta::test::writeTextFile(path("crlf.lnk.txt"), "not a page file");
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("shown.tif"), 4)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qelta::test::writeTextFile(path(c.name), c.text);
        LibraryMessages::codes().clear();
        if (!c.message.empty())
            prompter.script = {{c.message + "\n\n" + path(c.name), IDOK}}; // naming the file opened
        const bool opened = document.OnOpenDocument(path(c.name));
        EXPECT_EQ(opened, c.pages > 0);
        EXPECT_EQ(bytesOf(path(c.name)), c.text) << "the link file is never written";
        EXPECT_TRUE(prompter.script.empty());
        prompter.script.clear();
        if (!opened) {
            EXPECT_EQ(LibraryMessages::codes(), c.code ? std::vector<int>{c.code} : std::vector<int>{});
            EXPECT_EQ(document.PageCount(), 4);
            EXPECT_EQ(document.Title(), "shown.tif");
            continue;
        }
        EXPECT_EQ(document.PageCount(), c.pages);
        EXPECT_EQ(document.Title(), c.name);
        EXPECT_EQ(document.PathName(), document.TemporaryDocument());
        EXPECT_EQ(document.Compression(), PF_COMPRESSION_PACKBITS);
        document.SetModifiedFlag();
        EXPECT_TRUE(document.SaveModified()) << "closing a link file never asks";
        ASSERT_TRUE(document.OnOpenDocument(path("shown.tif")));
    }
    // Nesting is followed to its limit and no further.
    const std::string deepest = path("deep" + std::to_string(kMaxLinkDepth) + ".lnk");
    prompter.script = {{"The document link files are nested too deeply to be opened.\n\n" + deepest, IDOK}};
    EXPECT_FALSE(document.OnOpenDocument(deepest));
    EXPECT_TRUE(prompter.script.empty());
    EXPECT_TRUE(document.OnOpenDocument(path("deep" + std::to_string(kMaxLinkDepth - 1) + ".lnk")));
    EXPECT_EQ(document.PageCount(), 1);
}

// A frame that records what showed when a conversion began and the progress reported, and that
// cancels once the progress reaches cancelAt.
class ConversionFrame : public ScriptedFrame {
public:
    void SetWaitCursor(bool wait) override { waiting = wait; }
    int16_t RunConversion(const std::function<int16_t(const ConversionProgress&)>& work) override
    {
        waitingAtStart = waiting;
        statusAtStart = status.empty() ? "" : status.back();
        return work([this](int percent) {
            reports.push_back(percent);
            return percent < cancelAt;
        });
    }
    bool waiting = false, waitingAtStart = false;
    std::string statusAtStart;
    std::vector<int> reports;
    int cancelAt = 101;
};

class ConversionTest : public imaging_test::TempFolder {
protected:
    ConversionTest() : document(app, prompter, frame, clipboard) {}
    // A link file of the lines given.
    std::string Link(const std::string& name, const std::vector<std::string>& lines)
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        qelta::test::writeTextFile(path(name), text);
        return path(name);
    }
    qelta::test::ScopedStateRoot root;
    CViewerAppValues app;
    ScriptedPrompter prompter;
    ConversionFrame frame;
    FakeClipboard clipboard;
    LibraryMessages messages;
    CTqlVwTLDoc document;
};

TEST_F(ConversionTest, LinkFilesConvertUnderTheWaitCursorWithinTheirBounds)
{
    const std::string fax = writeTiff(path("five.tif"), 5);
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int pages; // 0: refused with code
        int code;
    };
    const std::string inner = Link("inner.lnk", {fax, fax});
    const Case cases[] = {
        {"the same fax listed up to the page bound", std::vector<std::string>(kMaxConvertedPages / 5, fax),
         kMaxConvertedPages, PF_OK},
        {"one listing more", std::vector<std::string>(kMaxConvertedPages / 5 + 1, fax), 0, PF_ERR_TOO_LARGE},
        {"a link file listed twice fans out", {inner, fax, inner}, 0, kLinkFilesRepeat},
        {"a link file listed once", {fax, inner}, 15, PF_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LibraryMessages::codes().clear();
        frame.reports.clear();
        const std::string link = Link("list.lnk", c.lines);
        if (c.code == kLinkFilesRepeat)
            prompter.script = {{LoadResourceString(IDS_LINK_FILES_REPEAT) + "\n\n" + link, IDOK}};
        const bool opened = document.OnOpenDocument(link);
        EXPECT_TRUE(frame.waitingAtStart);
        EXPECT_EQ(frame.statusAtStart, "Processing ...");
        EXPECT_FALSE(frame.waiting);
        EXPECT_EQ(frame.status.back(), "Press F1 to display Help.");
        EXPECT_FALSE(app.busy);
        EXPECT_EQ(opened, c.pages > 0);
        if (opened) {
            EXPECT_EQ(document.PageCount(), c.pages);
            EXPECT_EQ(tiffFacts(document.TemporaryDocument()).first, c.pages);
            ASSERT_FALSE(frame.reports.empty());
            EXPECT_EQ(frame.reports.back(), 100);
            EXPECT_TRUE(std::is_sorted(frame.reports.begin(), frame.reports.end()));
        } else {
            EXPECT_EQ(LibraryMessages::codes(), c.code < 0 ? std::vector<int>{c.code} : std::vector<int>{});
            EXPECT_TRUE(prompter.script.empty());
            EXPECT_TRUE(frame.reports.empty()) << "refused before any page is read";
        }
    }
}

TEST_F(ConversionTest, ACancelledConversionLeavesTheDocumentAndNoPartialFile)
{
    const std::string fax = writeTiff(path("five.tif"), 5);
    ASSERT_TRUE(document.OnOpenDocument(fax));
    frame.cancelAt = 50;
    const std::string link = Link("list.lnk", std::vector<std::string>(40, fax));
    EXPECT_FALSE(document.OnOpenDocument(link));
    EXPECT_TRUE(LibraryMessages::codes().empty()) << "the user knows why it stopped";
    EXPECT_EQ(frame.reports.back(), 50);
    EXPECT_EQ(document.PageCount(), 5);
    EXPECT_EQ(document.PathName(), fax);
    EXPECT_FALSE(fs::exists(document.TemporaryDocument()));
    EXPECT_FALSE(frame.waiting);
    frame.cancelAt = 101;
    EXPECT_TRUE(document.OnOpenDocument(link));
    EXPECT_EQ(document.PageCount(), 200);
}

TEST_F(DocumentTest, TheTemporaryDocumentIsPrivateAndRemoved)
{
    const std::string temp = document.TemporaryDocument();
    ASSERT_FALSE(temp.empty());
    struct stat st {};
    ASSERT_EQ(::stat(fs::path(temp).parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    CViewerAppValues otherApp;
    ScriptedFrame otherFrame;
    auto other = std::make_unique<CTqlVwTLDoc>(otherApp, prompter, otherFrame, clipboard);
    EXPECT_NE(other->TemporaryDocument(), temp);
    const std::string gone = other->TemporaryDocument();
    other.reset();
    EXPECT_FALSE(fs::exists(fs::path(gone).parent_path()));
}

TEST_F(DocumentTest, ConversionsJoinFilesAndWriteLinkLists)
{
    const std::string a = writeBmp(path("a.bmp"), 40, 20), b = writeBmp(path("b.bmp"), 24, 16);
    bool busy = false;
    ASSERT_EQ(ConvertFiles({a, b}, path("joined.tif"), PF_TYPE_TIFF, PF_COMPRESSION_PACKBITS, 0, busy), PF_OK);
    EXPECT_FALSE(busy);
    EXPECT_EQ(tiffFacts(path("joined.tif")), (std::pair<int, uint16_t>{2, COMPRESSION_PACKBITS}));
    EXPECT_EQ(CountPages(a, PF_TYPE_BMP), 1);
    EXPECT_EQ(CountPages(a, 0), -1);

    qelta::test::writeTextFile(path("inner.lnk"), b + "\n" + a);
    ASSERT_EQ(ConvertFiles({path("joined.tif"), path("inner.lnk")}, path("out.lnk"), PF_TYPE_LINK, 0, 0, busy), PF_OK);
    EXPECT_EQ(bytesOf(path("out.lnk")), path("joined.tif") + "\r\n" + b + "\r\n" + a + "\r\n");
    EXPECT_EQ(ConvertFiles({path("nothing.lnk")}, path("x.lnk"), PF_TYPE_LINK, 0, 0, busy), PF_ERR_OPEN);
}

TEST_F(DocumentTest, SaveRulesForSinglePageFormats)
{
    pages.state.SetEditingAllowed(1);
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, int>> script;
        std::optional<CFileFormat> format;
        int pagesWritten;
        uint16_t compression;
    } cases[] = {
        {"cancel writes the current page",
         {{"Do you want to change file format to that multi-page can be saved.", IDCANCEL}, {"Save current page.", IDOK}},
         std::nullopt, 1, 0},
        {"a new format writes every page",
         {{"Do you want to change file format to that multi-page can be saved.", IDOK}},
         CFileFormat{PF_TYPE_TIFF, PF_COMPRESSION_G3_MR}, 3, COMPRESSION_CCITTFAX3},
        {"the format dialog's cancel writes the first page",
         {{"Do you want to change file format to that multi-page can be saved.", IDOK}}, std::nullopt, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("two.tif"), 2)));
        frame.open = writeBmp(path("add.bmp"));
        ASSERT_TRUE(document.OnCommand(ID_PAGE_ADD_FILES));
        ASSERT_EQ(document.PageCount(), 3);
        ASSERT_EQ(document.FormatType(), PF_TYPE_BMP);
        ASSERT_TRUE(document.IsModified());
        pages.state.SetCurrentPage(2);
        prompter.script.assign(c.script.begin(), c.script.end());
        frame.format = c.format;
        const std::string target = path(std::string(c.name) + ".out");
        ASSERT_TRUE(document.OnSaveDocument(target));
        EXPECT_FALSE(document.IsModified());
        if (c.pagesWritten == 1 && !c.format) {
            EXPECT_EQ(GetFileType(target), PF_TYPE_BMP);
        } else {
            EXPECT_EQ(tiffFacts(target), (std::pair<int, uint16_t>{c.pagesWritten, c.compression}));
        }
    }
    // Link files are never written.
    prompter.script = {{"Saving Document Link File (*.LNK, *.TQS) is not supported.", IDOK}};
    EXPECT_FALSE(document.OnSaveDocument(path("list.LNK")));
    EXPECT_FALSE(fs::exists(path("list.LNK")));
}

TEST_F(DocumentTest, SaveAsMapsFormatsBothWays)
{
    for (int entry = 0; entry < 10; ++entry) {
        const CFileFormat format = SaveAsFormatOfEntry(entry);
        EXPECT_EQ(SaveAsEntryOfFormat(format.type, format.compression), entry == 0 ? 1 : entry) << entry;
    }
    EXPECT_EQ(SaveAsFormatOfEntry(0), (CFileFormat{PF_TYPE_TIFF, PF_COMPRESSION_NONE}));
    EXPECT_EQ(SaveAsEntryOfFormat(PF_TYPE_TIFF, PF_COMPRESSION_G4), 0);
    EXPECT_EQ(SaveAsEntryOfFormat(0, 0), 0);

    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("fax page.tif"), 2, COMPRESSION_CCITTFAX3)));
    struct Case {
        int entry;
        const char* file;
        int type;
        uint16_t tiffCompression; // 0: not a TIFF
    } cases[] = {
        {2, "mh.tif", PF_TYPE_TIFF, COMPRESSION_CCITTRLE},
        {5, "packbits.tif", PF_TYPE_TIFF, COMPRESSION_PACKBITS},
        {0, "doc.tqd", PF_TYPE_TIFF, COMPRESSION_NONE},
        {9, "page.fax", PF_TYPE_FAX, 0},
        {7, "page.bmp", PF_TYPE_BMP, 0},
    };
    int offered = 3; // G3 MH
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        frame.saveAs = std::pair<std::string, int>{path(c.file), c.entry};
        ASSERT_TRUE(document.OnCommand(ID_FILE_SAVE_AS));
        EXPECT_EQ(frame.offeredEntry, offered);
        EXPECT_EQ(GetFileType(path(c.file)), c.type);
        if (c.tiffCompression != 0) {
            EXPECT_EQ(tiffFacts(path(c.file)), (std::pair<int, uint16_t>{2, c.tiffCompression}));
        }
        EXPECT_EQ(document.PathName(), path(c.file));
        offered = SaveAsEntryOfFormat(document.FormatType(), document.Compression());
    }
    EXPECT_EQ(frame.offeredName, "page") << "the current file's name without its extension";
}

TEST_F(DocumentTest, FailedSavesLeaveTheTargetAndTheDocument)
{
    const std::string target = writeTiff(path("target.tif"), 1);
    const std::string before = bytesOf(target);

    // A page that cannot be written (the second of three).
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("three.tif"), 3)));
    document.SetModifiedFlag();
    const IKHANDLE gone = IKCreateImage(30, 20, 1, 255, 255, 255, 0, nullptr, nullptr, nullptr);
    IKFreeMemory(gone);
    document.Pages()[1]->SetBitmap(gone); // a page the library no longer holds
    frame.saveAs = std::pair<std::string, int>{target, 5};
    LibraryMessages::codes().clear();
    EXPECT_FALSE(document.OnCommand(ID_FILE_SAVE_AS) && document.PathName() == target);
    EXPECT_EQ(LibraryMessages::codes().size(), 1u);
    EXPECT_EQ(bytesOf(target), before);
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(document.PathName(), path("three.tif"));

    // G4 is read only: its Save fails and the file stays.
    const std::string g4 = writeTiff(path("g4.tif"), 2, COMPRESSION_CCITTFAX4);
    const std::string g4Bytes = bytesOf(g4);
    ASSERT_TRUE(document.OnOpenDocument(g4));
    document.SetModifiedFlag();
    CCmdUI ui;
    ASSERT_TRUE(document.OnUpdateCommand(ID_FILE_SAVE, ui));
    EXPECT_TRUE(ui.enabled);
    LibraryMessages::codes().clear();
    ASSERT_TRUE(document.OnCommand(ID_FILE_SAVE));
    EXPECT_EQ(LibraryMessages::codes(), std::vector<int>{PF_ERR_COMPRESSION});
    EXPECT_EQ(bytesOf(g4), g4Bytes);
    EXPECT_TRUE(document.IsModified());
    // Save As offers the first entry for it.
    frame.saveAs.reset();
    document.OnCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(frame.offeredEntry, 0);
}

TEST_F(DocumentTest, DamagedFilesLeaveTheDocument)
{
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("good.tif"), 2)));
    const std::string whole = bytesOf(writeTiff(path("whole.tif"), 3, COMPRESSION_CCITTFAX4, 300, 200));
    std::string zeroed = whole;
    std::fill(zeroed.begin() + 8, zeroed.begin() + 200, '\0'); // the first page's coding
    for (const std::string& damaged : {whole.substr(0, whole.size() - 9), whole.substr(0, 16), zeroed}) {
        qelta::test::writeTextFile(path("damaged.tif"), damaged);
        LibraryMessages::codes().clear();
        EXPECT_FALSE(document.OnOpenDocument(path("damaged.tif"))) << damaged.size();
        EXPECT_EQ(LibraryMessages::codes().size(), 1u);
        EXPECT_EQ(document.PageCount(), 2);
        EXPECT_EQ(document.PathName(), path("good.tif"));
        EXPECT_EQ(bytesOf(path("damaged.tif")), damaged);
    }
}

// The file with the link from its page `page` (1-based) to the next pointing at `to`.
std::string withNextPageAt(const std::string& file, int page, uint32_t to)
{
    std::string bytes = bytesOf(file);
    TIFFSetErrorHandler(nullptr);
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    if (!tif || !TIFFSetDirectory(tif, static_cast<tdir_t>(page - 1))) {
        ADD_FAILURE() << "no page " << page << " in " << file;
        return bytes;
    }
    const auto directory = static_cast<size_t>(TIFFCurrentDirOffset(tif));
    TIFFClose(tif);
    const size_t entries = static_cast<uint8_t>(bytes[directory]) | static_cast<uint8_t>(bytes[directory + 1]) << 8;
    for (size_t i = 0; i < 4; ++i)
        bytes[directory + 2 + 12 * entries + i] = static_cast<char>((to >> (8 * i)) & 0xFF);
    return bytes;
}

TEST_F(DocumentTest, AFaxWhosePageChainBreaksIsDamagedNotShort)
{
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("good.tif"), 2)));
    const std::string five = writeTiff(path("five.tif"), 5, COMPRESSION_CCITTFAX4, 1728, 300);
    const auto size = static_cast<uint32_t>(bytesOf(five).size());
    // After page 3: past the end, into the middle of the pages' coding, at the file's last bytes.
    for (const uint32_t to : {size + 4096, size / 2 + 1, size - 3}) {
        const std::string broken = withNextPageAt(five, 3, to);
        qelta::test::writeTextFile(path("broken.tif"), broken);
        LibraryMessages::codes().clear();
        EXPECT_FALSE(document.OnOpenDocument(path("broken.tif"))) << "link to " << to << " of " << size;
        EXPECT_EQ(LibraryMessages::codes(), std::vector<int>{PF_ERR_CORRUPT}) << "link to " << to;
        EXPECT_EQ(document.PageCount(), 2);
        EXPECT_EQ(bytesOf(path("broken.tif")), broken);
    }
    // The chain ended on purpose after page 3 is a 3-page file.
    qelta::test::writeTextFile(path("three.tif"), withNextPageAt(five, 3, 0));
    EXPECT_TRUE(document.OnOpenDocument(path("three.tif")));
    EXPECT_EQ(document.PageCount(), 3);
}

TEST_F(DocumentTest, SaveModifiedAsks)
{
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("p.tif"), 1)));
    EXPECT_TRUE(document.SaveModified()) << "unchanged: no question";
    document.SetModifiedFlag();
    const std::string question = "Do you want to save the changes to " + path("p.tif") + "?";
    prompter.script = {{question, IDCANCEL}};
    EXPECT_FALSE(document.SaveModified());
    EXPECT_TRUE(document.IsModified());
    prompter.script = {{question, IDNO}};
    EXPECT_TRUE(document.SaveModified());
    EXPECT_FALSE(document.IsModified());
    document.SetModifiedFlag();
    prompter.script = {{question, IDYES}};
    EXPECT_TRUE(document.SaveModified());
    EXPECT_FALSE(document.IsModified());
}

TEST_F(DocumentTest, SendRegistrationAnnouncesAndListsTheFile)
{
    app.sendRegistration = true;
    app.installDir = path("install") + "/";
    fs::create_directories(app.installDir);
    const uint32_t message = platform::registerMessage(kSaveAnnounceMessage);
    ASSERT_NE(message, 0u);

    // A listener in another process takes the two posts in order.
    std::atomic<int> listener{-2};
    std::thread child([&] {
        listener = qelta::test::runInChild([message] {
            auto endpoint = platform::Endpoint::create("QeltaTestListener", "listener");
            if (!endpoint)
                return 10;
            platform::PostedMessage first, second;
            if (!endpoint->receive(first, 15000) || !endpoint->receive(second, 15000))
                return 11;
            return first.message == message && first.wParam == 120 && second.message == message && second.wParam == 121
                       ? 0
                       : 12;
        });
    });
    for (int i = 0; i < 500 && platform::findEndpoint("QeltaTestListener", "listener") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("sent.tif"), 1)));
    prompter.script = {{"Do you want to register saved file in sending document folder?", IDOK}};
    ASSERT_TRUE(document.OnSaveDocument(path("sent.tif")));
    child.join();
    EXPECT_EQ(listener.load(), 0);
    EXPECT_EQ(bytesOf(app.installDir + "send.lnk"), path("sent.tif") + "\n");

    // Listed already (in any case): nothing asked, nothing added.
    std::string upper = path("sent.tif");
    for (char& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    qelta::test::writeTextFile(app.installDir + "send.lnk", upper + "\n");
    ASSERT_TRUE(document.OnSaveDocument(path("sent.tif")));
    EXPECT_EQ(bytesOf(app.installDir + "send.lnk"), upper + "\n");

    // Cancel adds nothing.
    prompter.script = {{"Do you want to register saved file in sending document folder?", IDCANCEL}};
    ASSERT_TRUE(document.OnSaveDocument(path("other.tif")));
    EXPECT_EQ(bytesOf(app.installDir + "send.lnk"), upper + "\n");
}

TEST_F(DocumentTest, InsertAndAddCheckTheFileFirst)
{
    pages.state.SetEditingAllowed(1);
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("two.tif"), 2)));
    pages.state.SetCurrentPage(1);
    struct Case {
        std::string file;
        std::string message; // empty: inserted
    } cases[] = {
        {path("gone.tif"), "Cannot open file"},
        {writeTiff(path("page.png"), 1), "This file format is not supported"},
        {writeBmp(path("page.Bmp")), ""},
    };
    for (const Case& c : cases) {
        frame.open = c.file;
        if (!c.message.empty())
            prompter.script = {{c.message, IDOK}};
        ASSERT_TRUE(document.OnCommand(ID_PAGE_INSERT_FILES));
        EXPECT_EQ(frame.openTitle, "Insert from files");
        EXPECT_EQ(document.PageCount(), c.message.empty() ? 3 : 2) << c.file;
    }
    EXPECT_EQ(document.Pages()[1]->Width(), 48) << "inserted before the current page";
    EXPECT_EQ(document.FormatType(), PF_TYPE_BMP);
    EXPECT_EQ(app.lastFile, path("page.Bmp"));
}

TEST_F(DocumentTest, PagesGoToAndComeFromTheClipboard)
{
    pages.state.SetEditingAllowed(1);
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("three.tif"), 3)));
    pages.state.SetCurrentPage(1);
    ASSERT_TRUE(document.OnCommand(ID_PAGE_COPY));
    ASSERT_TRUE(clipboard.image);
    EXPECT_EQ(*clipboard.image, document.Pages()[1]->Bitmap());

    // A colour picture is pasted as a bilevel page made at half brightness.
    QImage picture(10, 4, QImage::Format_RGB32);
    picture.fill(qRgb(200, 200, 200));
    picture.setPixel(3, 2, qRgb(100, 100, 100));
    clipboard.image = picture;
    ASSERT_TRUE(document.OnCommand(ID_PAGE_PASTE_BEFORE));
    ASSERT_EQ(document.PageCount(), 4);
    const QImage pasted = document.Pages()[1]->Bitmap();
    EXPECT_EQ(pasted.size(), QSize(10, 4));
    EXPECT_EQ(pasted.pixelIndex(3, 2), 1);
    EXPECT_EQ(pasted.pixelIndex(4, 2), 0);
    EXPECT_TRUE(document.IsModified());
    ASSERT_TRUE(document.OnCommand(ID_PAGE_PASTE_END));
    EXPECT_EQ(document.Pages()[4]->Width(), 10);

    ASSERT_TRUE(document.OnCommand(ID_PAGE_DELETE));
    EXPECT_EQ(document.PageCount(), 4);
    EXPECT_EQ(pages.state.GetPageCount(), 4);

    clipboard.image.reset();
    CCmdUI ui;
    document.OnUpdateCommand(ID_PAGE_PASTE_END, ui);
    EXPECT_FALSE(ui.enabled);
    clipboard.openable = false;
    prompter.script = {{"Clipboard cannot be opened.", IDOK}};
    ASSERT_TRUE(document.OnCommand(ID_PAGE_COPY));
}

} // namespace
