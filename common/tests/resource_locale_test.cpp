#include "common/resource_locale.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/state.h"
#include "platform/tests/support/test_support.h"

#include <QtGui/QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using qelta::test::ScopedStateRoot;
namespace fs = std::filesystem;

namespace {

std::string text(std::span<const unsigned char> data) { return {reinterpret_cast<const char*>(data.data()), data.size()}; }

// A program "prog" in a temporary folder with the given modules in its "resources" folder, each
// copied from a built module and named as the loader looks for it.
class ResourceLocale : public ::testing::Test {
protected:
    void install(const char* built, const std::string& name)
    {
        fs::create_directories(folder() + "/resources");
        fs::copy_file(built, folder() + "/resources/" + name, fs::copy_options::overwrite_existing);
    }
    std::string folder() const { return root_.path() + "/app"; }
    std::string program() const { return folder() + "/prog"; }
    void TearDown() override
    {
        SetCurrentResourceLocale(nullptr);
        QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    }

    ScopedStateRoot root_;
};

TEST_F(ResourceLocale, FallbackChainFromLocaleToDefaultSublanguageToEnglishToOwn)
{
    install(DEU_MODULE, "resLOCALETESTDEU.so");
    struct Case {
        uint32_t locale;
        uint16_t loaded; // 0: the program's own resources
        const char* hello;
    } const cases[] = {
        {0x0407, 0x0407, "Hallo"}, // German (Germany): its own module
        {0x0C07, 0x0407, "Hallo"}, // German (Austria): no DEA module, the default sublanguage loads
        {0x0409, 0, "Hello"},      // English (United States): nothing loaded
        {0x040C, 0, "Hello"},      // French: no module, English is the program's own
        {0x1234, 0, "Hello"},      // a locale the suite does not know
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        CSDLocale loader(program(), "LOCALETEST");
        ASSERT_TRUE(loader.StartWithLocale(c.locale));
        EXPECT_EQ(loader.GetModule() != nullptr, c.loaded != 0);
        EXPECT_EQ(loader.OwnsLibrary(), c.loaded != 0);
        if (c.loaded) {
            EXPECT_EQ(loader.GetLocaleId(), c.loaded);
        }
        EXPECT_EQ(LoadResourceString(1), c.hello);
        // What the module lacks comes from the program's own tables.
        EXPECT_EQ(LoadResourceString(2), "Only in English");
        EXPECT_EQ(LoadResourceString(99), "");
        EXPECT_EQ(text(LoadResourceData(QELTA_RESOURCE_ICON, 1)), c.loaded ? std::string("DEU\0ICON", 8) : "ENU-ICON");
        EXPECT_EQ(text(LoadResourceData(QELTA_RESOURCE_SOUND, 7)), c.loaded ? std::string("DEU\0ICON", 8) : "");
        EXPECT_FALSE(loader.IsRightToLeft());
    }
    // Escapes and UTF-8 survive the module build.
    CSDLocale loader(program(), "LOCALETEST");
    ASSERT_EQ(loader.LoadLocale(0x0C07), 0);
    EXPECT_EQ(loader.GetAbbreviation(), "DEA");
    ASSERT_EQ(loader.LoadLocale(0x0407), 1);
    SetCurrentResourceLocale(&loader);
    EXPECT_EQ(LoadResourceString(3), "Zeile eins\nZeile zwei: Gr\xC3\xB6\xC3\x9F" "e");
    SetCurrentResourceLocale(nullptr);
    EXPECT_EQ(LoadResourceString(3), "Line one\nLine two, with a comma; and a \\ backslash");
    // A locale with no language is refused before anything is tried.
    CSDLocale none(program(), "LOCALETEST");
    EXPECT_FALSE(none.StartWithLocale(0x00010000));
}

TEST_F(ResourceLocale, ModulesThatAreNotThisProgramsAreRefused)
{
    // Another program's module under this program's name, and a file that is no library.
    install(OTHER_MODULE, "resLOCALETESTDEU.so");
    CSDLocale loader(program(), "LOCALETEST");
    EXPECT_EQ(loader.LoadLocale(0x0407), 0);
    qelta::test::writeTextFile(folder() + "/resources/resLOCALETESTDEU.so", "not a library");
    EXPECT_EQ(loader.LoadLocale(0x0407), 0);
    EXPECT_EQ(loader.GetModule(), nullptr);
    // The program code is cut at 64 bytes.
    EXPECT_EQ(CSDLocale(program(), std::string(80, 'A')).GetProgramCode().size(), 64u);
}

TEST_F(ResourceLocale, ArabicAndHebrewSwitchToRightToLeft)
{
    install(ARA_MODULE, "resLOCALETESTARA.so");
    install(ARA_MODULE, "resLOCALETESTHEB.so"); // refused: its data names Arabic
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    CSDLocale hebrew(program(), "LOCALETEST");
    EXPECT_EQ(hebrew.LoadLocale(0x040D), 0);
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    CSDLocale arabic(program(), "LOCALETEST");
    ASSERT_TRUE(arabic.StartWithLocale(0x0C01)); // Arabic (Egypt) falls back to Arabic (Saudi Arabia)
    EXPECT_TRUE(arabic.IsRightToLeft());
    EXPECT_EQ(arabic.GetCodePage(), 65001);
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(LoadResourceString(1), "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7");
}

TEST_F(ResourceLocale, ResourcesFolderBesideTheModule)
{
    EXPECT_EQ(CSDLocale("/prog", "X").ResourceFolder(), "/resources");
    EXPECT_EQ(CSDLocale("/opt/qelta/bin/prog", "X").ResourceFolder(), "/opt/qelta/bin/resources");
    EXPECT_EQ(CSDLocale("", "X").ResourceFolder(), platform::dataFolder() + "/resources");
}

TEST_F(ResourceLocale, StartLocaleFromOverrideKeyOrEnvironment)
{
    struct Case {
        const char* lang;
        uint32_t locale;
    } const cases[] = {
        {"de_AT.UTF-8", 0x0C07}, {"de_LI.UTF-8", 0x0407}, {"fr", 0x040C}, {"he_IL", 0x040D},
        {"C", 0x0409},           {"POSIX", 0x0409},
        // Languages the suite has no texts for start in English, the program's own.
        {"xx_YY", 0x0409},       {"hi_IN.UTF-8", 0x0409}, {"ga_IE.UTF-8", 0x0409},
    };
    const char* saved[] = {std::getenv("LC_ALL"), std::getenv("LC_MESSAGES")};
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        ::setenv("LANG", c.lang, 1);
        EXPECT_EQ(CSDLocale::PickStartLocale(), c.locale);
        CSDLocale loader(program(), "LOCALETEST");
        EXPECT_TRUE(loader.StartWithLocale(CSDLocale::PickStartLocale()));
    }
    // The override key wins, read as hexadecimal text; text that is no number gives 0.
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::create(platform::Hive::LocalMachine, CSDLocale::kOverrideKey, key),
              platform::RegStatus::Ok);
    ASSERT_EQ(key.set("", platform::RegValue::string("0401")), platform::RegStatus::Ok);
    EXPECT_EQ(CSDLocale::PickStartLocale(), 0x0401u);
    ASSERT_EQ(key.set("", platform::RegValue::string("German")), platform::RegStatus::Ok);
    EXPECT_EQ(CSDLocale::PickStartLocale(), 0u);
    if (saved[0])
        ::setenv("LC_ALL", saved[0], 1);
    if (saved[1])
        ::setenv("LC_MESSAGES", saved[1], 1);
}

} // namespace
