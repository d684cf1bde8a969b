// What the viewer's tests share: scripted answers for the document's questions and dialogs, views
// and a clipboard that record what the document asks of them, and the library's messages caught.
#pragma once

#include "common/prompter.h"
#include "imaging/pagefilelib.h"
#include "imaging/tests/tiff_pages_support.h"
#include "platform/tests/support/test_support.h"
#include "viewer/viewer_document.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace viewer_test {

using namespace viewer;

// Message boxes answered in turn: each expected text with the answer to give. An unexpected box and
// an unused answer fail the test.
class ScriptedPrompter : public IPrompter {
public:
    ~ScriptedPrompter() override { EXPECT_TRUE(script.empty()) << "not shown: " << script.front().first; }
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override
    {
        shown.push_back(text);
        flagsShown.push_back(flags);
        EXPECT_EQ(caption, expectedCaption);
        if (script.empty()) {
            ADD_FAILURE() << "unexpected message box: " << text;
            return IDCANCEL;
        }
        EXPECT_EQ(text, script.front().first);
        const int answer = script.front().second;
        script.pop_front();
        return answer;
    }
    std::deque<std::pair<std::string, int>> script;
    std::vector<std::string> shown;
    std::vector<unsigned> flagsShown;
    std::string expectedCaption = "Qelta Viewer";
};

// The library's messages, by code, while the object lives.
class LibraryMessages {
public:
    LibraryMessages();
    ~LibraryMessages();
    static std::vector<int>& codes();
};

class RecordingView : public IViewerView {
public:
    CThumbDisplayState& State() override { return state; }
    void OnReinitialise() override { calls.push_back("reinit"); }
    void OnRefresh() override { calls.push_back("refresh"); }
    void OnCommand(int id) override { calls.push_back(std::to_string(id)); }
    void GoToPage(int page) override { calls.push_back("page " + std::to_string(page)); }
    CThumbDisplayState state;
    std::vector<std::string> calls;
};

class RecordingPageView : public IPageView {
public:
    CPageDisplayState& PageState() override { return state; }
    void OnReinitialise() override { calls.push_back("reinit"); }
    void OnRefresh() override { calls.push_back("refresh"); }
    void OnCommand(int id) override { calls.push_back(std::to_string(id)); }
    void GoToPage(int page) override { calls.push_back("page " + std::to_string(page)); }
    CPageDisplayState state;
    std::vector<std::string> calls;
};

class ScriptedFrame : public IViewerFrame {
public:
    std::optional<std::pair<std::string, int>> SaveAsFile(const std::string& filter, int entry,
                                                          const std::string& name) override
    {
        EXPECT_EQ(filter, kSaveAsFilter);
        offeredEntry = entry;
        offeredName = name;
        return saveAs;
    }
    std::optional<std::string> OpenFile(const std::string& title, const std::string&, const std::string&) override
    {
        openTitle = title;
        return open;
    }
    std::optional<CFileFormat> ChangeFileFormat() override
    {
        ++formatAsked;
        return format;
    }
    void SetStatusText(int pane, const std::string& text) override
    {
        if (pane == 0)
            status.push_back(text);
    }
    std::optional<std::pair<std::string, int>> saveAs;
    std::optional<std::string> open;
    std::optional<CFileFormat> format;
    int formatAsked = 0;
    int offeredEntry = -1;
    std::string offeredName, openTitle;
    std::vector<std::string> status;
};

class FakeClipboard : public IPageClipboard {
public:
    bool Open() override { return openable; }
    void SetImage(const QImage& picture) override { image = picture; }
    std::optional<QImage> Image() override { return image; }
    bool openable = true;
    std::optional<QImage> image;
};

// A document with its views and recorders, in a temporary folder of its own.
class DocumentTest : public imaging_test::TempFolder {
protected:
    DocumentTest() : document(app, prompter, frame, clipboard) { document.SetViews(&thumbs, &pages); }

    qelta::test::ScopedStateRoot root;
    CViewerAppValues app;
    ScriptedPrompter prompter;
    ScriptedFrame frame;
    FakeClipboard clipboard;
    RecordingView thumbs;
    RecordingPageView pages;
    LibraryMessages messages;
    CTqlVwTLDoc document;
};

// Page files written by libtiff and by hand.
/// A TIFF of n pattern pages (width x height) with a libtiff compression.
std::string writeTiff(const std::string& path, int pages, uint16_t compression = COMPRESSION_PACKBITS,
                      uint32_t width = 64, uint32_t height = 40);
/// A one-bit BMP of a pattern.
std::string writeBmp(const std::string& path, uint32_t width = 48, uint32_t height = 30);
/// The file's bytes.
std::string bytesOf(const std::string& path);
/// Pages and compression libtiff finds in a TIFF (0 pages for none).
std::pair<int, uint16_t> tiffFacts(const std::string& path);

} // namespace viewer_test
