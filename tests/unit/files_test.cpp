// Folder chains and the recursive delete.
#include <gtest/gtest.h>

#include "helpers.h"
#include "platform/win32api.h"
#include "base/files.h"

TEST(CreateBaseDirectory, CreatesParentsButNotTheLastName) {
    std::string root = NewFolder("chain");
    std::string file = root + "\\a\\b\\c.txt";
    CreateBaseDirectory(file.c_str());
    EXPECT_TRUE(IsFolder(root + "\\a"));
    EXPECT_TRUE(IsFolder(root + "\\a\\b"));
    EXPECT_FALSE(Exists(file));

    std::string folder = root + "\\x\\y\\";
    CreateBaseDirectory(folder.c_str());
    EXPECT_TRUE(IsFolder(root + "\\x\\y")) << "a trailing backslash creates the folder itself";
}

TEST(CreateBaseDirectory, ReportsOnlyFoldersItCreated) {
    std::string root = NewFolder("report");
    ASSERT_TRUE(CreateDirectoryA((root + "\\old").c_str(), nullptr));
    static std::vector<std::string> seen;
    seen.clear();
    CreateBaseDirectory((root + "\\old\\new\\deeper\\f").c_str(), [](const char* f) { seen.push_back(f); });
    std::vector<std::string> expected = {root + "\\old\\new", root + "\\old\\new\\deeper"};
    EXPECT_EQ(expected, seen);
}

// The one walk over a path's folders, which the log, the destination and
// the section reader share: where each folder ends, with the path itself or
// without, past doubled and trailing backslashes, and no folder past 259
// characters.
TEST(NextPathFolder, NamesEachFolderAlongThePathOnce) {
    const std::string deep = "C:\\" + std::string(255, 'd');
    struct Row {
        std::string path;
        size_t from;
        bool whole;
        std::vector<std::string> folders;
    } rows[] = {
        {"C:\\a\\b\\c.txt", 3, false, {"C:\\a", "C:\\a\\b"}},
        {"C:\\a\\b", 3, true, {"C:\\a", "C:\\a\\b"}},
        {"C:\\a\\b\\", 3, true, {"C:\\a", "C:\\a\\b"}},
        {"C:\\a\\\\b", 3, true, {"C:\\a", "C:\\a\\\\b"}},
        {"D:\\a\\b\\c.txt", 0, false, {"D:", "D:\\a", "D:\\a\\b"}},
        {"C:\\", 3, true, {}},
        {"\\\\server\\share\\x\\f.log", 15, false, {"\\\\server\\share\\x"}},
        {deep + "\\e\\f", 3, true, {deep}},
    };
    for (const Row& r : rows) {
        std::vector<std::string> seen;
        char folder[MAX_PATH];
        for (size_t end = r.from; NextPathFolder(r.path.c_str(), r.whole, &end, folder);)
            seen.push_back(folder);
        EXPECT_EQ(r.folders, seen) << r.path;
    }
}

TEST(Katalog, TellsDotEntriesFromNames) {
    EXPECT_EQ(1, katalog("."));
    EXPECT_EQ(1, katalog(".."));
    EXPECT_EQ(2, katalog("..."));
    EXPECT_EQ(2, katalog(".a"));
    EXPECT_EQ(2, katalog("a"));
    EXPECT_EQ(2, katalog(""));
}

TEST(Wyliczpliki, OnAFileReturnsZeroAndDeletesNothing) {
    std::string root = NewFolder("onfile");
    std::string file = root + "\\f.txt";
    ASSERT_TRUE(WriteBytes(file, FromText("keep")));
    EXPECT_EQ(0, wyliczpliki(file.c_str()));
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(0, wyliczpliki((root + "\\missing").c_str()));
}

TEST(Wyliczpliki, EmptiesTheTreeAndKeepsTheFolder) {
    std::string root = NewFolder("tree");
    CreateBaseDirectory((root + "\\a\\b\\c\\").c_str());
    CreateBaseDirectory((root + "\\empty\\").c_str());
    ASSERT_TRUE(WriteBytes(root + "\\top.txt", FromText("1")));
    ASSERT_TRUE(WriteBytes(root + "\\a\\b\\c\\deep.txt", FromText("2")));
    EXPECT_EQ(1, wyliczpliki(root.c_str()));
    EXPECT_TRUE(IsFolder(root));
    EXPECT_EQ(std::vector<std::string>{}, ListTree(root));
}

TEST(Wyliczpliki, ReadOnlyFileStaysAndTheRestGoes) {
    std::string root = NewFolder("readonly");
    CreateBaseDirectory((root + "\\sub\\").c_str());
    ASSERT_TRUE(WriteBytes(root + "\\sub\\locked.txt", FromText("ro")));
    ASSERT_TRUE(WriteBytes(root + "\\sub\\free.txt", FromText("rw")));
    ASSERT_TRUE(WriteBytes(root + "\\other.txt", FromText("rw")));
    ASSERT_TRUE(SetFileAttributesA((root + "\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(1, wyliczpliki(root.c_str()));
    std::vector<std::string> expected = {"sub\\", "sub\\locked.txt"};
    EXPECT_EQ(expected, ListTree(root));
    SetFileAttributesA((root + "\\sub\\locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

#ifndef _WIN32
// Wine cannot make junctions or NT links, so the link rule is held here,
// where a symbolic link stands in for both.
TEST(Wyliczpliki, RemovesALinkNeverWhatItPointsTo) {
    std::string root = NewFolder("links");
    std::string outside = NewFolder("outside");
    ASSERT_TRUE(WriteBytes(outside + "\\precious.txt", FromText("keep me")));
    ASSERT_TRUE(MakeLink(outside, root + "\\junction"));
    ASSERT_TRUE(MakeLink(outside + "\\precious.txt", root + "\\filelink"));
    EXPECT_EQ(1, wyliczpliki(root.c_str()));
    EXPECT_EQ(std::vector<std::string>{}, ListTree(root));
    EXPECT_TRUE(Exists(outside + "\\precious.txt"));
}
#endif
