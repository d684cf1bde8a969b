// Converters: what the import and export dialogs list from fixture folders beside real modules,
// and conversions run by the document with its backup over the real phone book store.
#include "common/registry_helper.h"
#include "phonebook/editor/bookmanager_doc.h"
#include "phonebook/editor/converter_logic.h"
#include "phonebook/editor/tests/support/converter_fixture.h"
#include "phonebook/editor/tests/support/fake_book.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"

#include <gtest/gtest.h>

using qelta::test::ConverterFixture;
using qelta::test::InlineProgress;
using qelta::test::QueuedPrompter;
using qelta::test::ScriptedBookDialogs;
using qelta::test::readTextFile;
using qelta::test::WriteConverter;
using qelta::test::writeTextFile;

namespace {

std::vector<std::string> Names(const std::vector<ConverterInfo>& list)
{
    std::vector<std::string> names;
    for (const ConverterInfo& info : list)
        names.push_back(info.strDisplayName);
    return names;
}

const std::string kJapanese = "\xE3\x82\xA2\xE3\x83\x89\xE3\x83\xAC\xE3\x82\xB9";

} // namespace

TEST(Converters, EachDialogListsOnlyUsableConvertersSortedWithTheirTranslations)
{
    qelta::test::ScopedStateRoot root;
    const std::string dir = platform::joinPath(root.path(), "conv");
    const std::string lines = QELTA_LINES_CONVERTER, failing = QELTA_FAILING_CONVERTER, half = QELTA_HALF_CONVERTER;
    const std::string longName(300, 'x');
    const std::vector<ConverterFixture> fixtures = {
        {.folder = "lines", .module = lines},
        {.folder = "old", .module = lines, .version = "1.0", .name = "Old"},
        {.folder = "notmx", .module = lines, .name = "No tmx", .tmx = ""},
        {.folder = "nounit", .module = lines, .name = "R&amp;D lines", .nameId = "N9"},
        {.folder = "escape", .module = lines, .moduleName = "../conv.so", .name = "Outside"},
        {.folder = "abs", .module = lines, .moduleName = "/bin/true", .name = "Absolute"},
        {.folder = "long", .module = lines, .name = longName, .nameId = "N9"},
        {.folder = "noexport", .module = lines, .name = "No export node", .nameId = "N9", .exportNode = false},
        {.folder = "half", .module = half, .name = "half", .nameId = "N9", .importFn = "HalfImport",
         .exportFn = "HalfExport"},
        {.folder = "failing", .module = failing, .name = "Failing", .nameId = "N9", .importFn = "FailImport",
         .exportFn = "FailExport"},
        {.folder = "gone", .module = lines, .name = "Gone", .nameId = "N9", .importFn = "Missing"},
        // Beside the folders, in the converter directory itself: never read.
        {.folder = "", .module = lines, .name = "Beside", .nameId = "N9"},
    };
    for (const ConverterFixture& f : fixtures)
        WriteConverter(dir, f);

    struct Case {
        const char* what;
        ConverterKind kind;
        std::string language;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"import, Japanese", ConverterKind::Import, "0011", {"Failing", "half", "R&D lines", kJapanese}},
        {"export, Japanese", ConverterKind::Export, "0011", {"Failing", "Gone", "R&D lines", kJapanese}},
        {"import, no translation", ConverterKind::Import, "0009", {"Failing", "half", "Lines", "R&D lines"}},
        {"no directory", ConverterKind::Import, "0011", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<ConverterInfo> list =
            ListConverters(c.names.empty() ? std::string() : dir, c.kind, c.language);
        EXPECT_EQ(Names(list), c.names);
    }
    const std::vector<ConverterInfo> list = ListConverters(dir, ConverterKind::Import, "0011");
    const ConverterInfo& info = list.back();
    EXPECT_EQ(info.strDirectory, dir + "/lines/");
    EXPECT_EQ(info.strModulePath, dir + "/lines/conv.so");
    EXPECT_EQ(info.strExtension, "txt");
    EXPECT_EQ(info.strDescription, "Lines (JP)");
    EXPECT_EQ(info.strImportFunction, "LinesImport");
    EXPECT_EQ(info.strExportFunction, "");

    // The dialog reads the directory and the language from the registry.
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kovra\\");
    ASSERT_EQ(machine.WriteString("TQLSTL2", "ConverterDirectory", dir), 1);
    ASSERT_EQ(machine.WriteString("TqlStl2\\ResourceLocale", "", "0011"), 1);
    QueuedPrompter prompter;
    InlineProgress progress;
    CDConverterLogic logic(ConverterKind::Export, "/nowhere.xml", {}, prompter, progress);
    logic.Init();
    EXPECT_EQ(Names(logic.Converters()), (std::vector<std::string>{"Failing", "Gone", "R&D lines", kJapanese}));
}

namespace {

// The document over the sample book of the real store, and a converter directory with the lines
// and the failing converter.
class BookConversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterServerLibraries(std::array{"booktool.dll"}).empty());
        std::string error;
        ASSERT_TRUE(WriteSamplePhoneBook(error)) << error;
        path = SamplePhoneBookPath();
        dir = platform::joinPath(root.path(), "conv");
        WriteConverter(dir, {.folder = "lines", .module = QELTA_LINES_CONVERTER});
        WriteConverter(dir, {.folder = "failing", .module = QELTA_FAILING_CONVERTER, .name = "Failing",
                             .importFn = "FailImport", .exportFn = "FailExport"});
        WriteConverter(dir, {.folder = "block", .module = QELTA_FAILING_CONVERTER, .name = "Block",
                             .importFn = "BlockImport", .exportFn = "FailExport"});
        WriteConverter(dir, {.folder = "corrupt", .module = QELTA_FAILING_CONVERTER, .name = "Corrupt",
                             .importFn = "CorruptImport", .exportFn = "FailExport"});
        doc.SetPathName(path);
        doc.SetLoadPause(std::chrono::milliseconds(0));
        doc.ReloadAll();
        ASSERT_NE(doc.BookTool(), nullptr);
        original = readTextFile(path);
        ASSERT_FALSE(original.empty());
    }
    // A dialog that runs the converters named in order ("" for a cancelled file choice).
    ConverterDialog Runs(std::vector<std::string> names)
    {
        return [this, names](ConverterKind kind, const std::string& book, platform::com::Ptr<IBookmanagerTool> tool,
                             IConversionGuard& guard) {
            EXPECT_TRUE(platform::pathExists(book + ".backup"));
            CDConverterLogic logic(kind, book, tool, prompter, progress, &guard);
            logic.SetDonePause(std::chrono::milliseconds(0));
            logic.Init(dir, "0009");
            EXPECT_FALSE(logic.Succeeded() || logic.Failed());
            for (const std::string& name : names) {
                const std::vector<std::string> listed = Names(logic.Converters());
                const auto at = std::find(listed.begin(), listed.end(), name.empty() ? "Lines" : name);
                prompter.openFile = name.empty() ? std::nullopt : std::optional(source);
                prompter.saveFile = name.empty() ? std::nullopt : std::optional(target);
                logic.Convert(static_cast<int>(at - listed.begin()));
            }
            return ConverterOutcome{logic.Succeeded(), logic.Failed()};
        };
    }
    std::vector<std::string> RecordNames() const
    {
        std::vector<std::string> names;
        for (const auto& r : doc.Records())
            names.push_back(r->m_strName);
        return names;
    }
    bool Listed(const std::string& name) const
    {
        const auto names = RecordNames();
        return std::find(names.begin(), names.end(), name) != names.end();
    }

    qelta::test::ScopedStateRoot root;
    ScriptedBookDialogs dialogs;
    InlineProgress progress;
    QueuedPrompter prompter;
    CQeltapbDoc doc{dialogs, progress};
    std::string path, dir, original;
    std::string source = platform::joinPath(root.path(), "in.txt"), target = platform::joinPath(root.path(), "out.txt");
};

} // namespace

TEST_F(BookConversion, AnImportAddsItsRecordsAndReloadsTheList)
{
    // The module moves the bar through the display's handle.
    const auto display = platform::Endpoint::create("QELTA-ConverterTest", root.path());
    ASSERT_TRUE(display);
    progress.handle = display->handle();
    writeTextFile(source, "Imported One,0311\nImported Two,0312\n");
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Import, prompter, Runs({"Lines"})));
    platform::PostedMessage post;
    ASSERT_TRUE(display->receive(post, 1000));
    EXPECT_EQ(post.message, platform::registerMessage(kProgressMessageName));
    EXPECT_EQ(post.wParam, 1u);
    EXPECT_EQ(post.lParam, 50);
    EXPECT_TRUE(Listed("Imported One") && Listed("Imported Two"));
    EXPECT_FALSE(platform::pathExists(path + ".backup"));
    EXPECT_EQ(progress.captions[1], "Importing Address...");
    EXPECT_EQ(progress.progress.back(), 100);
    ASSERT_EQ(prompter.questions.size(), 1u);
    EXPECT_EQ(prompter.questions[0].strFilter, "Line files (*.txt)|*.txt||");
    EXPECT_TRUE(prompter.questions[0].bMustExist);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(BookConversion, AFailedImportPutsTheBookBackAndTheObjectForgetsThePartialImport)
{
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Import, prompter, Runs({"Failing"})));
    EXPECT_EQ(progress.failure, kWorkerFailure);
    EXPECT_EQ(prompter.shown, (std::vector<std::string>{"Importing Address...: Converting Error"}));
    EXPECT_EQ(readTextFile(path), original);
    EXPECT_FALSE(platform::pathExists(path + ".backup"));
    // The next change goes to the restored book: the partial record does not come back.
    writeTextFile(source, "After,0400\n");
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Import, prompter, Runs({"Lines"})));
    EXPECT_TRUE(Listed("After"));
    EXPECT_FALSE(Listed("Partial"));
}

TEST_F(BookConversion, ASuccessAfterAFailureInOneDialogReloadsAndDiscards)
{
    writeTextFile(source, "Second Try,0500\n");
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Import, prompter, Runs({"Failing", "Lines"})));
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(Listed("Second Try"));
    EXPECT_FALSE(platform::pathExists(path + ".backup"));
}

TEST_F(BookConversion, ACancelledFileChoiceChangesNothingAndDiscardsTheBackup)
{
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Export, prompter, Runs({""})));
    EXPECT_TRUE(progress.captions.size() == 1u); // the first loading only
    EXPECT_EQ(readTextFile(path), original);
    EXPECT_FALSE(platform::pathExists(path + ".backup"));
    EXPECT_FALSE(platform::pathExists(target));
}

TEST_F(BookConversion, AnExportWritesTheChosenFileAfterTheOverwriteQuestion)
{
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Export, prompter, Runs({"Lines"})));
    EXPECT_EQ(readTextFile(target), original);
    EXPECT_EQ(progress.captions[1], "Exporting Address...");
    ASSERT_EQ(prompter.questions.size(), 1u);
    EXPECT_TRUE(prompter.questions[0].bConfirmOverwrite);
    EXPECT_FALSE(platform::pathExists(path + ".backup"));
}

TEST_F(BookConversion, NoBackupMeansNoDialogAndAWarningThatSaysWhy)
{
    // A folder where the backup belongs: it cannot be replaced by a file.
    writeTextFile(path + ".backup/keep", "x");
    bool opened = false;
    EXPECT_FALSE(doc.OnFileConvert(ConverterKind::Import, prompter,
                                   [&](ConverterKind, const std::string&, platform::com::Ptr<IBookmanagerTool>, IConversionGuard&) {
                                       opened = true;
                                       return ConverterOutcome{};
                                   }));
    EXPECT_FALSE(opened);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.shown[0].find("could not be backed up"), std::string::npos) << prompter.shown[0];
    EXPECT_EQ(readTextFile(path), original);
}

TEST_F(BookConversion, EachRunIsUndoneOnItsOwnWhenItFailsOrLeavesABookThatDoesNotLoad)
{
    // A success, then a failure in the same dialog: the failed run's record goes, the good one stays.
    writeTextFile(source, "Good One,0311\n");
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Import, prompter, Runs({"Lines", "Failing"})));
    EXPECT_TRUE(Listed("Good One"));
    EXPECT_FALSE(Listed("Partial"));
    EXPECT_EQ(readTextFile(path).find("Partial"), std::string::npos);
    EXPECT_FALSE(platform::pathExists(path + ".backup"));
    const std::string afterGood = readTextFile(path);

    // A converter that writes over the book and reports success: the book is put back.
    prompter.shown.clear();
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Import, prompter, Runs({"Corrupt"})));
    EXPECT_EQ(readTextFile(path), afterGood);
    EXPECT_EQ(prompter.shown, (std::vector<std::string>{"Importing Address...: Converting Error"}));
    EXPECT_FALSE(platform::pathExists(path + ".backup"));
    EXPECT_TRUE(Listed("Good One"));
}

TEST_F(BookConversion, ABackupThatCannotBePutBackIsKeptAndTheUserTold)
{
    ASSERT_TRUE(doc.OnFileConvert(ConverterKind::Import, prompter, Runs({"Block", "Lines"})));
    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_EQ(prompter.shown[0].find("Phone Book Editor: The phone book " + path + " could not be put back"), 0u)
        << prompter.shown[0];
    EXPECT_EQ(prompter.shown[1], "Importing Address...: Converting Error");
    // No further run may overwrite the only good copy.
    EXPECT_EQ(prompter.shown[2].find("Phone Book Editor: The backup " + path + ".backup could not be put back"), 0u)
        << prompter.shown[2];
    EXPECT_EQ(readTextFile(path + ".backup"), original);
    // The document shows the book as it is on disk (here: none), not the partial import.
    EXPECT_FALSE(Listed("Partial"));
    EXPECT_TRUE(doc.Records().empty());
}
