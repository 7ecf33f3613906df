#include "TempDir.h"
#include "platform/FileContents.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

mode_t modeOf(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

// A rewrite changes the file that the name stands for: through symbolic links, the target, and the links stay.
TEST(FileContents, ARewriteGoesThroughSymbolicLinksToTheirTarget)
{
    struct Case {
        const char *name;
        std::vector<std::pair<std::string, std::string>> links;   // link -> what it points to
        std::string written;                                      // the name the program writes
        std::string target;                                       // the file that must hold the bytes
    };
    const Case cases[] = {
        {"plain file", {}, "A.INI", "A.INI"},
        {"relative link", {{"A.INI", "real/A.INI"}}, "A.INI", "real/A.INI"},
        {"absolute link", {{"A.INI", "@/real/A.INI"}}, "A.INI", "real/A.INI"},
        {"chain of links", {{"A.INI", "B.INI"}, {"B.INI", "real/A.INI"}}, "A.INI", "real/A.INI"},
        {"link that climbs out of its folder", {{"real/A.INI", "../other/C.INI"}}, "real/A.INI", "other/C.INI"},
    };
    for (const Case &c : cases) {
        TempDir dir;
        fs::create_directories(dir.path() / "real");
        fs::create_directories(dir.path() / "other");
        dir.write(c.target, "old");
        for (const auto &[link, to] : c.links) {
            const std::string where = to[0] == '@' ? dir.file(to.substr(2)) : to;
            fs::create_symlink(where, dir.path() / link);
        }

        ASSERT_TRUE(WriteFileAtomically(dir.file(c.written), "new")) << c.name;
        EXPECT_EQ(dir.read(c.target), "new") << c.name;
        for (const auto &link : c.links) EXPECT_TRUE(fs::is_symlink(dir.path() / link.first)) << c.name;
        EXPECT_EQ(std::distance(fs::recursive_directory_iterator(dir.path()), {}), std::ptrdiff_t(3 + c.links.size()))
            << c.name << ": no temporary file left";
    }
}

TEST(FileContents, ALinkToAMissingFileCreatesItsTarget)
{
    TempDir dir;
    fs::create_symlink("made.ini", dir.path() / "A.INI");
    ASSERT_TRUE(WriteFileAtomically(dir.file("A.INI"), "x"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "A.INI"));
    EXPECT_EQ(dir.read("made.ini"), "x");
}

// A file without any write permission is refused to every user, the superuser included, and stays as it was.
TEST(FileContents, AReadOnlyFileIsNeitherWrittenNorReplaced)
{
    TempDir dir;
    const std::string path = dir.write("A.INI", "old");
    ::chmod(path.c_str(), 0444);
    fs::create_symlink("A.INI", dir.path() / "LINK.INI");
    const fs::file_time_type before = fs::last_write_time(path);

    for (const char *name : {"A.INI", "LINK.INI"}) {
        EXPECT_TRUE(IsReadOnlyFile(dir.file(name))) << name;
        EXPECT_FALSE(WriteFileAtomically(dir.file(name), "new")) << name;
    }
    EXPECT_EQ(dir.read("A.INI"), "old");
    EXPECT_EQ(modeOf(path), 0444u);
    EXPECT_EQ(fs::last_write_time(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);   // no temporary left

    ::chmod(path.c_str(), 0640);   // writable by its owner again: replaced, keeping its mode
    EXPECT_FALSE(IsReadOnlyFile(path));
    EXPECT_FALSE(IsReadOnlyFile(dir.file("missing")));
    ASSERT_TRUE(WriteFileAtomically(path, "new"));
    EXPECT_EQ(dir.read("A.INI"), "new");
    EXPECT_EQ(modeOf(path), 0640u);
}
