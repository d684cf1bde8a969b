// "folder.info" byte for byte against texts written by hand: stale keys, nameless entries, sizes
// above 2 GiB, old signed texts, device URIs as sections, and where the file lies.
#include "sendwizard/folder_info.h"

#include "common/registry_helper.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

namespace {

CFilingFolder Folder(std::string name, uint32_t size, int password = 0, int type = kFolderListed)
{
    CFilingFolder folder;
    folder.strName = std::move(name);
    folder.nSize = size;
    folder.bPassword = password;
    folder.nFolderType = type;
    return folder;
}

TEST(FolderInfo, TwoFoldersAfterThreeKeepTheStaleKeys)
{
    qelta::test::ScopedStateRoot root;
    const std::string path = root.path() + "/folder.info";
    ASSERT_TRUE(WriteFolderInfo(path, "lpt", {Folder("A", 1), Folder("B", 2, 1), Folder("C", 3)}));
    ASSERT_TRUE(WriteFolderInfo(path, "lpt", {Folder("Main Folder", 0, 0, kFolderMain), Folder("X", 3221225472u)}));
    EXPECT_EQ(qelta::test::readTextFile(path), "[lpt]\n"
                                               "FolderCount=2\n"
                                               "0-Name=Main Folder\n0-Pass=0\n0-SizeLow=0\n0-LowDateTime=0\n"
                                               "0-HighDateTime=0\n0-FolderType=2\n"
                                               "1-Name=X\n1-Pass=0\n1-SizeLow=3221225472\n1-LowDateTime=0\n"
                                               "1-HighDateTime=0\n1-FolderType=1\n"
                                               "2-Name=C\n2-Pass=0\n2-SizeLow=3\n2-LowDateTime=0\n"
                                               "2-HighDateTime=0\n2-FolderType=1\n");
    const auto folders = ReadFolderInfo(path, "LPT");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[1].nSize, 3221225472u);
    EXPECT_EQ(folders[1].bPassword, 0); // every key of a written folder is replaced
}

TEST(FolderInfo, ReadsOldSignedTextsAndSkipsNamelessEntries)
{
    qelta::test::ScopedStateRoot root;
    const std::string path = root.path() + "/folder.info";
    qelta::test::writeTextFile(path, "[other]\nFolderCount=9\n"
                                     "[IP_10.0.0.5]\r\nFolderCount=3\r\n0-Name=\r\n0-Pass=1\r\n"
                                     "1-Name=Sales\r\n1-Pass=1\r\n1-SizeLow=-1073741824\r\n1-LowDateTime=-2\r\n"
                                     "1-HighDateTime=30000000\r\n1-FolderType=1\r\n2-Name=Old\r\n");
    const auto folders = ReadFolderInfo(path, "IP_10.0.0.5");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].strName, "Sales");
    EXPECT_EQ(folders[0].nSize, 3221225472u);
    EXPECT_EQ(folders[0].nLowDateTime, 0xFFFFFFFEu);
    EXPECT_EQ(folders[0].nHighDateTime, 30000000u);
    EXPECT_EQ(folders[1].strName, "Old");
    EXPECT_EQ(folders[1].nFolderType, 0);
    EXPECT_TRUE(ReadFolderInfo(path, "missing").empty());
    EXPECT_TRUE(ReadFolderInfo(root.path() + "/none.info", "IP_10.0.0.5").empty());
}

TEST(FolderInfo, DeviceUrisMakeSectionsOfTheirOwn)
{
    qelta::test::ScopedStateRoot root;
    const std::string path = root.path() + "/folder.info";
    ASSERT_TRUE(WriteFolderInfo(path, "socket://[fe80::1]:9100", {Folder("V6", 1)}));
    ASSERT_TRUE(WriteFolderInfo(path, "socket://[fe80::1%eth0]:9100", {Folder("Zone", 2)}));
    EXPECT_EQ(qelta::test::readTextFile(path).substr(0, 31), "[socket://%5Bfe80::1%5D:9100]\nF");
    ASSERT_EQ(ReadFolderInfo(path, "socket://[fe80::1]:9100").size(), 1u);
    EXPECT_EQ(ReadFolderInfo(path, "socket://[fe80::1]:9100")[0].strName, "V6");
    EXPECT_EQ(ReadFolderInfo(path, "socket://[fe80::1%eth0]:9100")[0].strName, "Zone");
    // A name that cannot be stored leaves the file as it was.
    const std::string before = qelta::test::readTextFile(path);
    EXPECT_FALSE(WriteFolderInfo(path, "lpt", {Folder("two\nlines", 1)}));
    EXPECT_EQ(qelta::test::readTextFile(path), before);
}

TEST(FolderInfo, ThePathIsStoredWhenEmpty)
{
    qelta::test::ScopedStateRoot root;
    const CRegistryHelper user(HKEY_CURRENT_USER, "SOFTWARE\\KOVRA\\");
    EXPECT_EQ(FolderInfoPath("/jobs/QELTA/"), "/jobs/QELTA/folder.info");
    EXPECT_EQ(user.ReadString("TQLSTL2", "DocuinfoPath", ""), "/jobs/QELTA/folder.info");
    user.WriteString("TQLSTL2", "DocuinfoPath", "/elsewhere/f.info");
    EXPECT_EQ(FolderInfoPath("/jobs/QELTA/"), "/elsewhere/f.info");
}

} // namespace
