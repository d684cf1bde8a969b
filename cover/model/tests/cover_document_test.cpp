#include "cover/model/cover_document.h"
#include "common/resource_locale.h"
#include "cover/model/cover_file.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <map>

using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

class FakeApp : public ICoverSheetApp {
public:
    void SetCurrentDocument(CtqHeaderDoc* document) override { current = document; }
    int GetNoDefaultObjects() const override { return noDefaults; }
    std::string GetProfileString(const std::string& section, const std::string& entry, const std::string& fallback) const override
    {
        const auto found = profile.find(section + "/" + entry);
        return found == profile.end() ? fallback : found->second;
    }

    CtqHeaderDoc* current = nullptr;
    int noDefaults = 0;
    std::map<std::string, std::string> profile;
};

std::vector<std::string> linesOf(const CtqHeaderDoc& doc)
{
    std::vector<std::string> lines;
    for (size_t i = 0; i < doc.m_objects.GetSize(); ++i)
        lines.push_back(doc.m_objects.GetAt(i)->GetFrameLine());
    return lines;
}

// Only the first new document of a process has the default sheet: this test holds when it makes the
// first one, as it does in a process of its own (ctest) and as the binary's first test.
TEST(CoverDocument, FirstNewDocumentIsTheDefaultSheetLaterOnesAreEmpty)
{
    FakeApp app;
    CtqHeaderDoc doc(&app);
    EXPECT_EQ(app.current, &doc);
    ASSERT_EQ(doc.OnNewDocument(), 1);
    EXPECT_EQ(doc.m_nPageWidth, 1728);
    EXPECT_EQ(doc.m_nPageHeight, 2290);
    ASSERT_EQ(doc.m_objects.GetSize(), 11u);
    const char* classes[] = {"CtqDrawingFrameRect", "CtqAddressNameRect", "CtqStaticTextRect", "CtqDrawingLineRect",
                             "CtqStaticTextRect",   "CtqStaticTextRect",  "CtqMemoRect",       "CtqDrawingFrameRect",
                             "CtqDateRect",         "CtqTimeRect",        "CtqStaticTextRect"};
    for (size_t i = 0; i < 11; ++i)
        EXPECT_STREQ(doc.m_objects.GetAt(i)->GetRuntimeClass(), classes[i]) << i;
    EXPECT_EQ(doc.m_objects.GetAt(1)->GetText(), "Name");
    EXPECT_EQ(doc.m_objects.GetAt(1)->GetFrameLine(), "NAME,240,472,469,60,Times New Roman,39,400,0,0,0,0,");
    const std::string greeting = doc.m_objects.GetAt(5)->GetText();
    EXPECT_NE(greeting.find("\n\n    "), std::string::npos); // real line feeds and runs of spaces
    EXPECT_TRUE(greeting.ends_with("Sincerely"));
    EXPECT_FALSE(doc.IsModified());

    ASSERT_EQ(doc.OnNewDocument(), 1);
    EXPECT_EQ(doc.m_objects.GetSize(), 0u);
}

TEST(CoverDocument, EditorStartedWithACommandLineStartsEmpty)
{
    FakeApp app;
    app.noDefaults = 1;
    CtqHeaderDoc doc(&app);
    ASSERT_EQ(doc.OnNewDocument(), 1);
    EXPECT_EQ(doc.m_objects.GetSize(), 0u);
}

TEST(CoverDocument, FactoryCaptions)
{
    FakeApp app;
    app.noDefaults = 1;
    app.profile["TQLCVR/User4"] = "Ann Sender";
    CtqHeaderDoc doc(&app);
    ASSERT_EQ(doc.OnNewDocument(), 1); // loads the recipient captions
    const std::pair<const char*, const char*> cases[] = {
        {"FAX", "Fax number"},  {"TELEPHONE", "Phone number"}, {"Mr", "Title"},       {"COMPANY", "Company name"},
        {"SECTION", "Department name"}, {"POST", "Job title"}, {"NAME", "Name"},      {"ZIP", "Zip code"},
        {"ADDRESS1", "Address 1"}, {"ADDRESS2", "Address 2"}, {"UserName", "Ann Sender"}, {"UserID", ""},
        {"UserCompany", ""},     {"Memo", ""},
    };
    for (const auto& [keyword, caption] : cases) {
        CtqRect* object = doc.CreateFrame(std::string(keyword) + ",1,2,3,4,Arial,33,400,0,0,0,0");
        ASSERT_NE(object, nullptr) << keyword;
        EXPECT_EQ(object->GetText(), caption) << keyword;
    }
    // Removing: an object of the sheet once, a foreign one never.
    CtqRect* last = doc.m_objects.GetAt(doc.m_objects.GetSize() - 1);
    CtqMemoRect foreign;
    EXPECT_EQ(doc.RemoveFrame(&foreign), 0);
    EXPECT_EQ(doc.RemoveFrame(last), 1);
    EXPECT_EQ(doc.m_objects.GetSize(), std::size(cases) - 1);
    doc.DeleteContents();
    EXPECT_EQ(doc.RemoveFrame(&foreign), 0);
}

TEST(CoverDocument, SaveAndReopenGiveTheSameSheet)
{
    ScopedStateRoot root;
    const std::string path = root.path() + "/sheet.TQC";
    CtqHeaderDoc doc;
    ASSERT_EQ(doc.OnNewDocument(), 1);
    // The default sheet's lines, made here: only the process's first new document has them.
    doc.DeleteContents();
    for (int i = 0; i < kDefaultFrameCount; ++i)
        doc.CreateFrame(LoadResourceString(IDS_DEFAULT_FRAME_FIRST + i));
    ASSERT_EQ(doc.m_objects.GetSize(), 11u);
    doc.CreateFrame("PageCut,0,2000,1728,0,2,1");
    doc.CreateFrame("StaticText,1,2,3,4,Arial,33,400,0,0,0,0,a\\\\b\\054c\\nd \\054");
    doc.m_bLang = 1;
    doc.SetModifiedFlag();
    ASSERT_EQ(doc.OnSaveDocument(path), 1);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), path);

    CtqHeaderDoc reopened;
    ASSERT_EQ(reopened.OnOpenDocument(path), 1);
    EXPECT_EQ(linesOf(reopened), linesOf(doc));
    EXPECT_EQ(reopened.m_bLang, 1);
    EXPECT_EQ(reopened.m_nPageCut, 2000);
    EXPECT_EQ(reopened.m_objects.GetAt(12)->GetText(), "a\\b,c\nd ,");

    // Fewer objects: no stale keys survive.
    reopened.RemoveFrame(reopened.m_objects.GetAt(12));
    reopened.RemoveFrame(reopened.m_objects.GetAt(11));
    ASSERT_EQ(reopened.OnSaveDocument(path), 1);
    const std::string text = readTextFile(path);
    EXPECT_EQ(text.find("Frame.12"), std::string::npos);
    EXPECT_NE(text.find("Frames=11"), std::string::npos);
}

TEST(CoverDocument, OpeningOddFiles)
{
    ScopedStateRoot root;
    const std::string twoCuts = root.path() + "/cuts.tqc", none = root.path() + "/none.tqc", empty = root.path() + "/empty.tqc";
    writeTextFile(twoCuts, "[TQLCVR]\r\nFrames=4\r\nLang=0\r\nFrame.1=PageCut,0,1500,1728,0,2,1\r\n"
                           "Frame.2=Bogus,1,2,3,4\r\nFrame.3=pagecut,0,1800,1728,0,2,1\r\nFrame.4=DrawingLine,1,2,3,4,0,1\r\n");
    writeTextFile(none, "[TQLCVR]\r\nLang=1\r\nFrame.1=DrawingLine,1,2,3,4,0,1\r\n");
    writeTextFile(empty, "[TQLCVR]\r\nFrames=0\r\n");
    CtqHeaderDoc doc;
    ASSERT_EQ(doc.OnOpenDocument(twoCuts), 1);
    ASSERT_EQ(doc.m_objects.GetSize(), 2u);
    EXPECT_EQ(doc.m_nPageCut, 1500);
    ASSERT_EQ(doc.OnSaveDocument(twoCuts), 1);
    cover::CoverSheetFile file;
    ASSERT_EQ(cover::readCoverSheetFile(twoCuts, -1, file), cover::CoverReadStatus::Ok);
    EXPECT_EQ(file.lines, (std::vector<std::string>{"PageCut,0,1500,1728,0,2,1", "DrawingLine,1,2,3,4,0,1"}));

    // No object count, or a missing file: nothing changes, the page cut position neither (the
    // sheet shown keeps its page cut).
    EXPECT_EQ(doc.OnOpenDocument(none), 0);
    EXPECT_EQ(doc.OnOpenDocument(root.path() + "/missing.tqc"), 0);
    EXPECT_EQ(doc.m_objects.GetSize(), 2u);
    EXPECT_EQ(doc.m_nPageCut, 1500);
    EXPECT_EQ(doc.GetPathName(), twoCuts);
    // Busy: open and save are refused.
    doc.m_bBusy = 1;
    EXPECT_EQ(doc.OnOpenDocument(empty), 0);
    EXPECT_EQ(doc.OnSaveDocument(empty), 0);
    doc.m_bBusy = 0;
    ASSERT_EQ(doc.OnOpenDocument(empty), 1);
    EXPECT_EQ(doc.m_objects.GetSize(), 0u);
    ASSERT_EQ(doc.OnSaveDocument(empty), 1);
    EXPECT_NE(readTextFile(empty).find("Frames=0"), std::string::npos);
}

TEST(CoverDocument, FailedSaveReportsItAndKeepsTheFile)
{
    ScopedStateRoot root;
    CtqHeaderDoc doc;
    doc.CreateFrame("DrawingLine,1,2,3,4,0,1");
    doc.SetModifiedFlag();
    writeTextFile(root.path() + "/plain", "a file, no folder");
    EXPECT_EQ(doc.OnSaveDocument(root.path() + "/plain/sheet.tqc"), 0);
    EXPECT_TRUE(doc.IsModified());
    // A face name that cannot stand in a frame line is refused, and the file on disk stays.
    const std::string path = root.path() + "/sheet.tqc";
    ASSERT_EQ(doc.OnSaveDocument(path), 1);
    const std::string before = readTextFile(path);
    CtqRect* text = doc.CreateFrame("NAME,1,2,3,4,Arial,33,400,0,0,0,0");
    gdi::LOGFONTA font;
    text->GetLogFont(font);
    std::strcpy(font.lfFaceName, "Bad,Face");
    text->SetLogFont(font);
    EXPECT_EQ(doc.OnSaveDocument(path), 0);
    EXPECT_EQ(readTextFile(path), before);
}

} // namespace
