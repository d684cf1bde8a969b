// The file commands on real files: the cover folder lists, the question to save, a damaged sheet, a
// failed save, the notice the send wizard gets, and the pictures of a sheet opened and saved elsewhere.
#include "cover/editor/file_commands.h"

#include "common/cover_notice.h"
#include "common/data_folders.h"
#include "common/registry_helper.h"
#include "cover/editor/tests/editor_prompter.h"
#include "cover/model/cover_file.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"

#include <QtGui/QImage>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace cvr;
using qelta::test::ScopedStateRoot;
using qelta::test::readTextFile;
using qelta::test::writeTextFile;

namespace {

using cvr_test::EditorPrompter;

struct Fixture {
    ScopedStateRoot root;
    std::string covers = root.path() + "/covers";
    CtqHeaderDoc doc;
    EditorPrompter prompter;
    std::vector<uint32_t> notices;
    int commits = 0, refreshes = 0;
    CFileCommands commands{doc, prompter, [this] { ++commits; }, [this] { ++refreshes; },
                           [this](uint32_t w) { notices.push_back(w); }};

    Fixture()
    {
        platform::createDirectories(covers);
        CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "CvrFile", covers + "/");
        doc.OnNewDocument();
    }
};

const std::string kSheet = "[TQLCVR]\r\nFrames=1\r\nLang=0\r\nFrame.1=DrawingLine,59,551,649,0,0,2\r\n";

} // namespace

TEST(CoverFileCommands, SaveAsAppendsToTheChosenListOnlyAfterTheSheetWasWritten)
{
    const struct {
        const char* what;
        std::optional<std::string> before; // nothing: no list file
        const char* listName;
        int entry;                          // chosen in the folder list
        std::optional<std::string> suffix; // what follows the old bytes; nothing: unchanged
    } rows[] = {
        {"ends with LF", std::string("/a.TQC\r\n"), "Office.fdr", 1, std::string("")},
        {"no LF at the end", std::string("/a.TQC"), "Office.fdr", 1, std::string("\r\n")},
        {"a final 0x1A", std::string("/a.TQC\r\n\x1A"), "Office.fdr", 1, std::string("")},
        {"empty", std::string(""), "Office.fdr", 1, std::string("")},
        {"cover.fdr shows as Cover sheet", std::string("/a.TQC\n"), "cover.fdr", 1, std::string("")},
        {"Do not store", std::string("/a.TQC\n"), "Office.fdr", 0, std::nullopt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Fixture f;
        const std::string list = f.covers + "/" + r.listName;
        if (r.before)
            writeTextFile(list, *r.before);
        const std::string target = f.covers + "/new.TQC";
        f.doc.SetModifiedFlag(true);
        f.prompter.files.push_back({target, r.entry});
        EXPECT_TRUE(f.commands.SaveAs());
        EXPECT_FALSE(f.doc.IsModified());
        EXPECT_EQ(f.doc.GetTitle(), "new.TQC");
        EXPECT_TRUE(platform::pathExists(target));
        ASSERT_EQ(f.prompter.fileQuestions.size(), 1u);
        const FileQuestion& q = f.prompter.fileQuestions[0];
        EXPECT_EQ(q.strFolder, f.covers + "/");
        EXPECT_EQ(q.nExtraListId, 1073);
        ASSERT_EQ(q.extraList.size(), 2u);
        EXPECT_EQ(q.extraList[0], "Do not store");
        EXPECT_EQ(q.extraList[1], std::string(r.listName) == "cover.fdr" ? "Cover sheet" : "Office");
        std::string expected = *r.before;
        if (r.suffix) {
            if (!expected.empty() && expected.back() == '\x1A')
                expected.pop_back();
            expected += *r.suffix + target + "\r\n";
        }
        EXPECT_EQ(readTextFile(list), expected);
        EXPECT_EQ(f.notices, (std::vector<uint32_t>{kCoverSavedBySaveAs}));
    }
}

// In a fresh home Save As opens in the cover folder the send wizard lists, made on first use.
TEST(CoverFileCommands, InAFreshHomeSaveAsOpensInTheFolderTheWizardLists)
{
    Fixture f;
    CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "CvrFile", "");
    char base[kMaxPathBytes] = {};
    ASSERT_EQ(GetDataBaseFolder(base, sizeof base), 1);
    const std::string folder = std::string(base) + "/qelta/cvrfile/";
    ASSERT_FALSE(platform::pathExists(folder));
    f.prompter.files.push_back({folder + "First.TQC", 0});
    EXPECT_TRUE(f.commands.SaveAs());
    ASSERT_EQ(f.prompter.fileQuestions.size(), 1u);
    EXPECT_EQ(f.prompter.fileQuestions[0].strFolder, folder);
    EXPECT_EQ(GetCoverFolder(), folder);
    EXPECT_EQ(platform::listFiles(folder, "*.TQC"), std::vector<std::string>{"First.TQC"});
}

TEST(CoverFileCommands, AMissingListIsLeftAloneAndACancelledSaveAsStillNotifies)
{
    Fixture f;
    EXPECT_FALSE(AppendToCoverList(f.covers + "/none.fdr", "/x.TQC"));
    EXPECT_FALSE(platform::pathExists(f.covers + "/none.fdr"));
    f.prompter.files.push_back({std::nullopt, 0});
    f.doc.SetModifiedFlag(true);
    EXPECT_FALSE(f.commands.SaveAs());
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(f.notices, (std::vector<uint32_t>{kCoverSavedBySaveAs}));
}

TEST(CoverFileCommands, AFailedSaveKeepsTheChangesAndTouchesNoList)
{
    Fixture f;
    writeTextFile(f.covers + "/Office.fdr", "/a.TQC\r\n");
    // A read-only folder; the superuser writes there anyway, so it gets a folder that is a file.
    const std::string locked = f.root.path() + "/locked";
    platform::createDirectories(locked);
    std::string target = locked + "/new.TQC";
    if (::geteuid() == 0) {
        writeTextFile(locked + "/file", "x");
        target = locked + "/file/new.TQC";
    } else {
        ::chmod(locked.c_str(), 0555);
    }
    f.doc.SetModifiedFlag(true);
    f.prompter.files.push_back({target, 1});
    f.prompter.expected.push_back("'" + target + "' could not be saved. The cover sheet is still open with its changes.");
    EXPECT_FALSE(f.commands.SaveAs());
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(readTextFile(f.covers + "/Office.fdr"), "/a.TQC\r\n");
    ::chmod(locked.c_str(), 0755);

    // Closing with Yes while the save fails stops the close.
    f.prompter.expected.push_back("Do you want to save 'Untitled'?");
    f.prompter.answers.push_back(IDYES);
    f.prompter.files.push_back({target, 0});
    if (::geteuid() != 0)
        ::chmod(locked.c_str(), 0555);
    f.prompter.expected.push_back("'" + target + "' could not be saved. The cover sheet is still open with its changes.");
    EXPECT_FALSE(f.commands.AskToSave());
    EXPECT_TRUE(f.doc.IsModified());
    ::chmod(locked.c_str(), 0755);
}

TEST(CoverFileCommands, TheQuestionToSaveBeforeNewOpenAndClose)
{
    // Each row: the command, the answer, whether it goes on, whether the sheet stays modified.
    enum Command { New, Open, Close };
    const struct {
        Command command;
        int answer;
        bool goesOn;
    } rows[] = {
        {New, IDNO, true}, {New, IDCANCEL, false}, {New, IDYES, true},
        {Open, IDNO, true}, {Open, IDCANCEL, false}, {Close, IDNO, true},
        {Close, IDCANCEL, false}, {Close, IDYES, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.command) + " " + std::to_string(r.answer));
        Fixture f;
        const std::string saved = f.covers + "/saved.TQC";
        const std::string other = f.covers + "/other.TQC";
        writeTextFile(other, kSheet);
        f.doc.CreateFrame("DrawingLine,10,10,100,0,0,2");
        const size_t objects = f.doc.m_objects.GetSize();
        f.doc.SetModifiedFlag(true);
        f.prompter.expected.push_back("Do you want to save 'Untitled'?");
        f.prompter.answers.push_back(r.answer);
        if (r.answer == IDYES)
            f.prompter.files.push_back({saved, 0});
        if (r.command == Open && r.goesOn)
            f.prompter.files.push_back({other, 0});
        bool result = false;
        switch (r.command) {
        case New: result = f.commands.New(); break;
        case Open: result = f.commands.Open(); break;
        case Close: result = f.commands.AskToSave(); break;
        }
        EXPECT_EQ(result, r.goesOn);
        EXPECT_EQ(f.commits, r.command == Close ? (r.answer == IDYES ? 2 : 0) : (r.answer == IDYES ? 3 : 1));
        if (!r.goesOn) {
            EXPECT_TRUE(f.doc.IsModified());
            EXPECT_EQ(f.doc.m_objects.GetSize(), objects);
            continue;
        }
        EXPECT_FALSE(f.doc.IsModified());
        if (r.answer == IDYES) {
            EXPECT_TRUE(platform::pathExists(saved));
        }
        if (r.command == New) {
            EXPECT_EQ(f.doc.m_objects.GetSize(), 0u) << "the default sheet only comes with the first new sheet";
        }
        if (r.command == Open) {
            EXPECT_EQ(f.doc.GetPathName(), other);
            EXPECT_EQ(f.doc.m_objects.GetSize(), 1u);
            EXPECT_EQ(f.prompter.fileQuestions.back().strTitle, "Open");
        }
    }
}

TEST(CoverFileCommands, ADamagedSheetIsRefusedAndLeftByteIdentical)
{
    const std::string damaged[] = {"[TQLCVR]\r\nLang=0\r\nFrame.1=DrawingLine,59,551,649,0,0,2\r\n",
                                   std::string("\x00\xff\x10garbage", 10), ""};
    for (const std::string& bytes : damaged) {
        Fixture f;
        const std::string good = f.covers + "/good.TQC";
        writeTextFile(good, kSheet);
        ASSERT_TRUE(f.commands.OpenPath(good));
        const std::string path = f.covers + "/bad.TQC";
        writeTextFile(path, bytes);
        f.prompter.expected.push_back("'" + path + "' is not a cover sheet file or cannot be read.");
        EXPECT_FALSE(f.commands.OpenPath(path));
        EXPECT_EQ(f.doc.GetPathName(), good) << "the sheet shown stays";
        EXPECT_EQ(f.doc.m_objects.GetSize(), 1u);
        EXPECT_EQ(readTextFile(path), bytes);
    }
    Fixture f;
    f.prompter.expected.push_back("'" + f.covers + "' is not a cover sheet file or cannot be read.");
    EXPECT_FALSE(f.commands.OpenPath(f.covers)) << "a folder";
}

TEST(CoverFileCommands, TheWizardHearsOfEverySaveAndNothingIsPostedWithoutIt)
{
    ScopedStateRoot root;
    EXPECT_FALSE(NotifyCoverSheetSaved(kCoverSavedBySave)) << "no wizard";
    auto wizard = platform::Endpoint::create(kHostClassName, kHostTitle);
    ASSERT_TRUE(wizard);
    EXPECT_TRUE(NotifyCoverSheetSaved(kCoverSavedBySave));
    EXPECT_TRUE(NotifyCoverSheetSaved(kCoverSavedBySaveAs));
    platform::PostedMessage m;
    ASSERT_TRUE(wizard->receive(m, 1000));
    EXPECT_EQ(m.message, 1124u);
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_EQ(m.lParam, 1815);
    ASSERT_TRUE(wizard->receive(m, 1000));
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(m.lParam, 1815);
}

TEST(CoverFileCommands, StartArguments)
{
    ScopedStateRoot root;
    const struct {
        std::vector<std::string> args;
        StartRequest::Kind kind;
        std::string path;
    } rows[] = {
        {{}, StartRequest::Sample, ""},
        {{"/e"}, StartRequest::Empty, ""},
        {{"-E"}, StartRequest::Empty, ""},
        {{"/edit"}, StartRequest::Empty, ""},
        {{"\"/tmp/a b.TQC\""}, StartRequest::Path, "/tmp/a b.TQC"},
        {{"/tmp/a", "b.TQC"}, StartRequest::Path, "/tmp/a b.TQC"},
        {{"/etc/passwd"}, StartRequest::Path, "/etc/passwd"}, // "/e" naming a file is a path
    };
    for (const auto& r : rows) {
        const StartRequest request = ParseStartArguments(r.args);
        EXPECT_EQ(request.kind, r.kind) << (r.args.empty() ? "" : r.args[0]);
        EXPECT_EQ(request.path, r.path);
    }
}

TEST(CoverFileCommands, PicturesThatCannotBeReadAreNamedOnceWhenTheSheetOpens)
{
    Fixture f;
    const std::string shipped = f.root.path() + "/shipped";
    platform::createDirectories(shipped + "/pics");
    ASSERT_TRUE(QImage(4, 4, QImage::Format_Mono).save(QString::fromStdString(shipped + "/pics/logo.bmp")));
    const std::string sheet = shipped + "/letter.TQC";
    writeTextFile(sheet, "[TQLCVR]\r\nFrames=4\r\nLang=0\r\nFrame.1=Bitmap,0,0,40,40,pics\\logo.bmp\r\n"
                         "Frame.2=Bitmap,0,0,40,40,gone.bmp\r\nFrame.3=Bitmap,50,0,40,40,gone.bmp\r\n"
                         "Frame.4=Bitmap,0,0,40,40,/no/such/stamp.tif\r\n");
    f.prompter.expected.push_back("Pictures of this cover sheet cannot be found or read:\n" + shipped
                                  + "/gone.bmp\n/no/such/stamp.tif\nTheir frames show a crossed box, and the sheet "
                                    "keeps their names. \"Open image file...\" chooses a picture again.");
    ASSERT_TRUE(f.commands.OpenPath(sheet));
    EXPECT_EQ(f.doc.m_objects.GetSize(), 4u);
    EXPECT_TRUE(f.prompter.expected.empty()) << "one message, when the sheet opens";
    EXPECT_EQ(f.refreshes, 1);
}

TEST(CoverFileCommands, SaveAsIntoAnotherFolderKeepsTheSheetsPictures)
{
    // Each row: where the sheet is saved (below the state root) and the names it then stores for a
    // picture named beside the old sheet, one named by its full path, and one found nowhere.
    const struct {
        const char* target;
        const char* besideName; // "=": as the old sheet named it; "~": its absolute path
    } rows[] = {
        {"shipped/copy.TQC", "="},                       // the same folder: no name changes
        {"elsewhere/letter.TQC", "~"},                    // beside no common folder: absolute
        {"letter.TQC", "shipped\\pics\\logo.bmp"},        // above the picture: relative again
        {"shipped/pics/letter.TQC", "logo.bmp"},          // the picture's own folder
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.target);
        Fixture f;
        const std::string shipped = f.root.path() + "/shipped";
        platform::createDirectories(shipped + "/pics");
        platform::createDirectories(f.root.path() + "/elsewhere");
        const std::string logo = shipped + "/pics/logo.bmp", stamp = f.root.path() + "/stamp.bmp";
        ASSERT_TRUE(QImage(4, 4, QImage::Format_Mono).save(QString::fromStdString(logo)));
        ASSERT_TRUE(QImage(4, 4, QImage::Format_Mono).save(QString::fromStdString(stamp)));
        const std::string sheet = shipped + "/letter.TQC";
        writeTextFile(sheet, "[TQLCVR]\r\nFrames=3\r\nLang=0\r\nFrame.1=Bitmap,0,0,40,40,pics\\logo.bmp\r\n"
                             "Frame.2=Bitmap,50,0,40,40," + stamp + "\r\nFrame.3=Bitmap,0,50,40,40,gone.bmp\r\n");
        f.prompter.expected.push_back("Pictures of this cover sheet cannot be found or read:\n" + shipped
                                      + "/gone.bmp\nTheir frames show a crossed box, and the sheet keeps their "
                                        "names. \"Open image file...\" chooses a picture again.");
        ASSERT_TRUE(f.commands.OpenPath(sheet));
        const std::string target = f.root.path() + "/" + r.target;
        f.prompter.files.push_back({target, 0});
        ASSERT_TRUE(f.commands.SaveAs());

        const std::string beside = std::string(r.besideName) == "=" ? "pics\\logo.bmp"
                                   : std::string(r.besideName) == "~" ? logo
                                                                       : r.besideName;
        cover::CoverSheetFile saved;
        ASSERT_EQ(cover::readCoverSheetFile(target, -1, saved), cover::CoverReadStatus::Ok);
        EXPECT_EQ(saved.lines, (std::vector<std::string>{"Bitmap,0,0,40,40," + beside, "Bitmap,50,0,40,40," + stamp,
                                                         "Bitmap,0,50,40,40,gone.bmp"}));
        // Reopened, the sheet finds both pictures; the one found nowhere stays as it was named.
        CtqHeaderDoc reopened;
        ASSERT_TRUE(reopened.OnOpenDocument(target));
        EXPECT_EQ(reopened.MissingPictures(), (std::vector<std::string>{platform::parentPath(target) + "/gone.bmp"}));
        EXPECT_EQ(f.doc.m_objects.GetAt(0)->GetFrameLine(), "Bitmap,0,0,40,40," + beside) << "the sheet open now too";
    }
}
