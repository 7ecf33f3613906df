#include "RunAsUser.h"
#include "TempDir.h"
#include "platform/FileContents.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::RunAsUser;
using testsupport::TempDir;
using testsupport::UserIds;

namespace {

mode_t modeOf(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

gid_t groupOf(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_gid : gid_t(-1);
}

// The exit code that tells the parent whether the write in the child succeeded.
int written(const std::string &path, const std::string &bytes) { return WriteFileAtomically(path, bytes) ? 0 : 1; }

constexpr gid_t kSharedGroup = 4710;
const UserIds kAnna {4701, 4701, {kSharedGroup}};
const UserIds kBert {4702, 4702, {kSharedGroup}};
const UserIds kNobody {65534, 65534, {}};

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

// A file that a group shares keeps its group when one member saves it, so the next member can still write it.
TEST(FileContents, ASharedFileKeepsItsGroupAndStaysWritableForTheOtherMembers)
{
    if (!testsupport::CanSwitchUser()) GTEST_SKIP() << "needs the superuser to act as two users";
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const std::string path = dir.write("SHARED.INI", "from root");
    ASSERT_EQ(::chown(path.c_str(), kAnna.uid, kSharedGroup), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);

    ASSERT_EQ(RunAsUser(kBert, [&] { return written(path, "from Bert"); }), 0);
    EXPECT_EQ(dir.read("SHARED.INI"), "from Bert");
    EXPECT_EQ(groupOf(path), kSharedGroup);
    EXPECT_EQ(modeOf(path), 0664u);

    ASSERT_EQ(RunAsUser(kAnna, [&] { return written(path, "from Anna"); }), 0) << "the other member may write it";
    EXPECT_EQ(dir.read("SHARED.INI"), "from Anna");
    EXPECT_EQ(groupOf(path), kSharedGroup);
}

// A new file gets the permissions the user's umask allows, as any program's new files do; a rewrite keeps the
// file's own.
TEST(FileContents, ANewFileFollowsTheUmask)
{
    const std::pair<mode_t, mode_t> cases[] = {{022, 0644}, {002, 0664}, {077, 0600}, {0, 0666}};
    for (const auto &[mask, expected] : cases) {
        TempDir dir;
        const mode_t previous = ::umask(mask);
        const bool ok = WriteFileAtomically(dir.file("NEW.INI"), "new");
        const bool rewritten = WriteFileAtomically(dir.file("NEW.INI"), "again");
        ::umask(previous);
        ASSERT_TRUE(ok && rewritten) << std::oct << mask;
        EXPECT_EQ(modeOf(dir.file("NEW.INI")), expected) << std::oct << mask;
    }
}

// A file that the user may write in a folder where the user may create nothing is rewritten in place; a
// read-only file there, and a new one, still fail with the reason.
TEST(FileContents, AWritableFileInAReadOnlyFolderIsSaved)
{
    TempDir dir;
    const std::string path = dir.write("A.INI", "[Port]\nBaud=9600\n");
    const std::string locked = dir.write("LOCKED.INI", "old");
    ::chmod(path.c_str(), 0666);
    ::chmod(locked.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0555);
    const UserIds self {::getuid(), ::getgid(), {}};
    const UserIds &user = testsupport::CanSwitchUser() ? kNobody : self;

    EXPECT_EQ(RunAsUser(user, [&] { return written(path, "short"); }), 0);
    EXPECT_EQ(dir.read("A.INI"), "short") << "cut to its new length";
    EXPECT_EQ(RunAsUser(user, [&] { return written(path, "[Port]\nBaud=1200\n"); }), 0) << "saved again";
    EXPECT_EQ(dir.read("A.INI"), "[Port]\nBaud=1200\n");
    EXPECT_EQ(modeOf(path), 0666u);

    const auto failure = [&](const std::string &target) {
        return RunAsUser(user, [&] { return WriteFileAtomically(target, "x") ? 0 : errno; });
    };
    EXPECT_EQ(failure(locked), EACCES);
    EXPECT_EQ(failure(dir.file("NEW.INI")), EACCES);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(dir.read("LOCKED.INI"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2) << "no temporary file left";
}

// A rewrite in place that fails leaves the file as it was and says why: room is taken before the first byte is
// overwritten (written at the old end where the file system cannot reserve it), and the old bytes are put back
// when the size limit, which no reservation foresees, is reached after the overwrite began.
TEST(FileContents, AFailedRewriteInPlaceLeavesTheFileAsItWas)
{
    if (!testsupport::CanSwitchUser()) GTEST_SKIP() << "needs the superuser to mount and to act as an ordinary user";
    struct Case {
        const char *name, *fileSystem, *options;   // mounted on the folder; nullptr: the folder's own
        rlim_t sizeLimit;                           // of the writing process; 0: none
        int error;
    };
    const Case cases[] = {
        {"full disk", "tmpfs", "size=16k", 0, ENOSPC},
        {"size limit after the overwrite began", nullptr, nullptr, 4096, EFBIG},
        {"size limit where no room can be reserved", "ramfs", "", 4096, EFBIG},
    };
    const std::string old = std::string(4000, 'o') + "\nDownload=TARSEL.DLL $CFG\n";
    const std::string longer(5000, 'n');
    for (const Case &c : cases) {
        TempDir dir;
        if (c.fileSystem && !dir.mount(c.fileSystem, c.options))
            GTEST_SKIP() << "cannot mount " << c.fileSystem << ": " << std::strerror(errno);
        const std::string path = dir.write("A.INI", old);
        if (c.sizeLimit == 0) dir.write("FILLER", std::string(16 * 1024, 'x'));   // takes the room that is left
        ::chmod(path.c_str(), 0666);
        ::chmod(dir.path().c_str(), 0755);   // no new file for an ordinary user
        const auto save = [&](rlim_t limit) {
            return RunAsUser(kNobody, [&] {
                const rlimit size {limit, limit};
                if (limit) {
                    std::signal(SIGXFSZ, SIG_IGN);
                    ::setrlimit(RLIMIT_FSIZE, &size);
                }
                return WriteFileAtomically(path, longer) ? 0 : errno;
            });
        };
        EXPECT_EQ(save(c.sizeLimit), c.error) << c.name;
        EXPECT_TRUE(dir.read("A.INI") == old) << c.name << ": the file changed";
        fs::remove(dir.path() / "FILLER");
        EXPECT_EQ(save(0), 0) << c.name << ": saved once there is room";
        EXPECT_TRUE(dir.read("A.INI") == longer) << c.name << ": not saved";
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << c.name << ": no temporary file left";
    }
}

// What a killed writer left beside the file goes; what a running one writes, and every other file, stays.
TEST(FileContents, TemporariesOfEndedWritersAreRemoved)
{
    TempDir dir;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::string dead = "CFGDB.DAT." + std::to_string(ended) + "-3.tmp";
    const std::string alive = "CFGDB.DAT." + std::to_string(::getpid()) + "-0.tmp";
    for (const std::string &name : {std::string("CFGDB.DAT"), dead, alive, std::string("CFGDB.DAT.x-1.tmp"),
                                    std::string("OTHER.DAT." + std::to_string(ended) + "-1.tmp")})
        dir.write(name, "x");
    RemoveAbandonedTemporaries(dir.file("CFGDB.DAT"));
    std::set<std::string> left;
    for (const auto &entry : fs::directory_iterator(dir.path())) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string> {"CFGDB.DAT", alive, "CFGDB.DAT.x-1.tmp",
                                            "OTHER.DAT." + std::to_string(ended) + "-1.tmp"}));
}
