// The configuration database file: the record layout byte for byte, key order, storing, deleting, packing of the
// command strings, and damaged input.

#include "RunAsUser.h"
#include "ScriptedUi.h"
#include "TempDir.h"
#include "common/BsTypes.h"
#include "editor/ConfigDatabase.h"
#include "editor/OleDate.h"
#include "model/SettingsModule.h"
#include "serial/SerExcept.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <functional>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>
#include <set>
#include <vector>
#include <algorithm>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const double kAt1405 = EncodeOleDate({2007, 3, 28, 14, 5, 30, 0});
const double kAt0900 = EncodeOleDate({2007, 3, 28, 9, 0, 0, 0});
const ConfigRecords kTwoCommands = {"\x1B" "AB\x01", "\x1B" "CD\x02"};

std::string Bytes(const CfgDbRecord &rec) { return std::string(rec.Bytes.begin(), rec.Bytes.end()); }

CfgDbRecord MakeRecord(const std::string &serial, double date, const std::string &author = "Bob")
{
    CfgDbRecord rec;
    rec.Set(DbField::Device, "SCAN1");
    rec.Set(DbField::SerialNo, serial);
    rec.SetDateTime(date);
    rec.Set(DbField::Author, author);
    rec.Set(DbField::Description, "Line 3");
    rec.Set(DbField::TemplateName, "MODEL_.TPL");
    EXPECT_EQ(TDBFile::ListToData(rec, kTwoCommands), DbPackResult::Packed);
    TDBFile::MakeKey(rec);
    return rec;
}

// The record of serial number A1 made at 2007-03-28 14:05:30, as it lies in the file.
std::string GoldenRecord()
{
    std::string b(kDbRecordSize, '\0');
    b.replace(0, 23, "\x16" "A1        200703281405");
    b.replace(23, 6, "\x05" "SCAN1");
    b.replace(34, 3, "\x02" "A1");
    b.replace(45, 8, "\x4A\x9F\xF4\xC9\x32\x20\xE3\x40");
    b.replace(53, 4, "\x03" "Bob");
    b.replace(74, 7, "\x06" "Line 3");
    b.replace(200, 11, "\x0A" "MODEL_.TPL");
    b.replace(221, 2, std::string("\x08\x00", 2));
    b.replace(223, 8, "\x1B" "AB\x01\x1B" "CD\x02");
    return b;
}

std::string SerialOf(TDBFile &db, int n) { return db.ReadRecord(n).Get(DbField::SerialNo); }

// Makes every flock of this process fail with `error`, as on a file system without locks.
void FailFileLocks(int error)
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_flock, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | unsigned(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program {std::size(filter), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(3);
}

} // namespace

class DBFileTest : public ::testing::Test {
protected:
    void SetUp() override { ExeDir = dir.path().string(); }
    std::uintmax_t fileSize() const { return std::filesystem::file_size(dir.file("CFGDB.DAT")); }

    testsupport::TempDir dir;
    testsupport::ScriptedUi ui;
};

TEST_F(DBFileTest, MissingFileIsCreatedEmptyInTheProgramFolder)
{
    TDBFile db;
    EXPECT_EQ(db.Path(), dir.file("CFGDB.DAT"));
    EXPECT_TRUE(std::filesystem::exists(db.Path()));
    EXPECT_EQ(db.Count(), 0);
    EXPECT_EQ(db.FindPosition("ANY"), 1);
}

TEST_F(DBFileTest, ExistingFileIsFoundWithoutRegardToCase)
{
    dir.write("cfgdb.dat", GoldenRecord());
    TDBFile db;
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(Bytes(db.ReadRecord(1)), GoldenRecord());
}

TEST_F(DBFileTest, StoredRecordHasTheFileLayoutByteForByte)
{
    {
        TDBFile db;
        db.Store(MakeRecord("A1", kAt1405));
    }
    EXPECT_EQ(dir.read("CFGDB.DAT"), GoldenRecord());
}

TEST_F(DBFileTest, RecordsStandInKeyOrderSerialNumberFirst)
{
    const CfgDbRecord r1 = MakeRecord("A10", kAt1405), r2 = MakeRecord("A1", kAt1405), r3 = MakeRecord("A1", kAt0900);
    TDBFile db;
    for (const CfgDbRecord &r : {r1, r2, r3}) db.Store(r);

    EXPECT_EQ(fileSize(), 3 * kDbRecordSize);
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(db.ReadRecord(1).Get(DbField::Key), "A1        200703280900");
    EXPECT_EQ(db.ReadRecord(2).Get(DbField::Key), "A1        200703281405");
    EXPECT_EQ(db.ReadRecord(3).Get(DbField::Key), "A10       200703281405");
    EXPECT_EQ(dir.read("CFGDB.DAT"), Bytes(r3) + GoldenRecord() + Bytes(r1));
    EXPECT_EQ(db.FindPosition("A1        200703281000"), 2);
    EXPECT_EQ(db.FindPosition("B"), 4);
}

TEST_F(DBFileTest, DeleteMovesTheLaterRecordsDownAndShrinksTheFile)
{
    const CfgDbRecord a = MakeRecord("A1", kAt0900), b = MakeRecord("A1", kAt1405), c = MakeRecord("A10", kAt1405);
    TDBFile db;
    for (const CfgDbRecord &r : {a, b, c}) db.Store(r);

    db.DeleteRecord(2);
    EXPECT_EQ(db.Count(), 2);
    EXPECT_EQ(dir.read("CFGDB.DAT"), Bytes(a) + Bytes(c));
    EXPECT_EQ(Bytes(db.ReadRecord(2)), Bytes(c));

    db.DeleteRecord(2);
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(dir.read("CFGDB.DAT"), Bytes(a));
}

TEST_F(DBFileTest, SameKeyReplacesTheRecordOnlyAfterOverwriteYes)
{
    TDBFile db;
    db.Store(MakeRecord("A1", kAt0900));
    db.Store(MakeRecord("A1", kAt1405));
    const std::string before = dir.read("CFGDB.DAT");
    const CfgDbRecord sameMinute = MakeRecord("A1", EncodeOleDate({2007, 3, 28, 14, 5, 50, 0}), "Ann");

    ui.answer(false);
    db.Store(sameMinute);
    EXPECT_EQ(ui.questions(), std::vector<std::string> {"Overwrite?"});
    EXPECT_EQ(dir.read("CFGDB.DAT"), before);

    ui.answer(true);
    db.Store(sameMinute);
    EXPECT_EQ(db.Count(), 2);
    EXPECT_EQ(db.ReadRecord(2).Get(DbField::Author), "Ann");
    EXPECT_EQ(fileSize(), 2 * kDbRecordSize);
}

TEST_F(DBFileTest, KeyTakesTheMinuteOfTheTimeRoundedToTheMillisecond)
{
    CfgDbRecord rec;
    rec.Set(DbField::SerialNo, "X");
    const uint8_t almost1406[] = {0xCB, 0xCC, 0xCC, 0xCC, 0x32, 0x20, 0xE3, 0x40};   // 39169.58749999999
    std::copy(std::begin(almost1406), std::end(almost1406), &rec.Bytes[CfgDbRecord::kDateTimeOffset]);
    TDBFile::MakeKey(rec);
    EXPECT_EQ(rec.Get(DbField::Key), "X         200703281406");

    rec.SetDateTime(std::numeric_limits<double>::quiet_NaN());
    TDBFile::MakeKey(rec);
    EXPECT_EQ(rec.Get(DbField::Key), "X         000000000000");
}

TEST_F(DBFileTest, PartialRecordAtTheEndIsNotCountedAndIsOverwritten)
{
    dir.write("CFGDB.DAT", GoldenRecord() + std::string(100, 'x'));
    TDBFile db;
    EXPECT_EQ(db.Count(), 1);
    db.Store(MakeRecord("B", kAt1405));
    EXPECT_EQ(fileSize(), 2 * kDbRecordSize);
    EXPECT_EQ(SerialOf(db, 2), "B");
}

TEST_F(DBFileTest, FailedWriteLeavesCountAndRecordsAsTheFileHasThem)
{
    TDBFile db;
    db.Store(MakeRecord("B", kAt1405));
    db.Store(MakeRecord("C", kAt1405));
    const std::string before = dir.read("CFGDB.DAT");

    // The file may not grow: inserting in front fails when the last record moves up.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = 2 * kDbRecordSize;
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_THROW(db.Store(MakeRecord("A", kAt1405)), EInOutError);
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_EQ(db.Count(), 2);
    EXPECT_EQ(dir.read("CFGDB.DAT"), before);
    EXPECT_EQ(SerialOf(db, 1), "B");
    EXPECT_EQ(SerialOf(db, 2), "C");
}

// In a folder where the user may create no file (a program folder shared read-only) an insert or a deletion could
// only move the records in place, which a kill or a full disk leaves half done: both are refused with the reason
// and change nothing, here on a full disk too; a record overwritten in its place is still stored.
TEST_F(DBFileTest, InAFolderTheUserCannotWriteInsertsAndDeletesAreRefused)
{
    if (!testsupport::CanSwitchUser()) GTEST_SKIP() << "needs the superuser to mount and to act as an ordinary user";
    testsupport::TempDir folder;
    if (!folder.mount("tmpfs", "size=16k")) GTEST_SKIP() << "cannot mount tmpfs: " << std::strerror(errno);
    ExeDir = folder.path().string();
    {
        TDBFile db;
        db.Store(MakeRecord("B", kAt0900));
        db.Store(MakeRecord("C", kAt0900));
    }
    ::chmod(folder.file("CFGDB.DAT").c_str(), 0666);
    ::chmod(folder.path().c_str(), 0755);
    folder.write("FILLER", std::string(16 * 1024, 'x'));   // takes the room that is left
    const std::string before = folder.read("CFGDB.DAT");
    const std::string refusal = "The configuration database " + folder.file("CFGDB.DAT") +
                                " was not changed: to insert or delete records, its folder must be writable.";
    const CfgDbRecord edited = MakeRecord("C", kAt0900, "Ann");
    const auto refused = [&](const std::function<void()> &change) {
        try {
            change();
        } catch (const EInOutError &e) {
            return e.what() == refusal && folder.read("CFGDB.DAT") == before;
        }
        return false;
    };
    ui.answer(true);
    EXPECT_EQ(testsupport::RunAsUser({65534, 65534, {}}, [&] {
        TDBFile db;
        if (!refused([&] { db.Store(MakeRecord("A", kAt0900)); }) || !refused([&] { db.DeleteRecord(1); })) return 1;
        db.Store(edited);   // "Overwrite?" Yes
        return 0;
    }), 0) << "an insert or a deletion changed the file or was not refused with the reason";
    EXPECT_TRUE(folder.read("CFGDB.DAT") == before.substr(0, kDbRecordSize) + Bytes(edited));
}

// Where the file system has no locks (flock fails, as on NFS without its lock service), the database is opened
// and changed unlocked.
TEST_F(DBFileTest, WithoutFileLocksTheDatabaseIsChangedUnlocked)
{
    for (const int error : {ENOLCK, EOPNOTSUPP}) {
        EXPECT_EQ(testsupport::RunInChild([&] {
            FailFileLocks(error);
            TDBFile db;
            db.Store(MakeRecord("B", kAt0900));
            db.Store(MakeRecord("A", kAt0900));
            db.DeleteRecord(2);
            return db.Count() == 1 && SerialOf(db, 1) == "A" ? 0 : 1;
        }), 0) << std::strerror(error);
        std::filesystem::remove(dir.file("CFGDB.DAT"));
    }
}

// Two programs on one database: while the first has it open, the second is told that it is in use and stores
// nothing; once the first has closed it, the second stores its record. No record of either is lost.
TEST_F(DBFileTest, ASecondProgramStoresOnlyAfterTheFirstHasClosedTheDatabase)
{
    {
        TDBFile db;
        db.Store(MakeRecord("B", kAt0900));
        db.Store(MakeRecord("D", kAt0900));
    }
    // Started before the window opens, so that it holds no copy of the window's open file.
    int opened[2], report[2];
    ASSERT_EQ(::pipe(opened), 0);
    ASSERT_EQ(::pipe(report), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {   // the second program: stores E as soon as it can open the database
        char go = 0;
        if (::read(opened[0], &go, 1) != 1) ::_exit(3);
        const std::string inUse =
            "The configuration database " + dir.file("CFGDB.DAT") + " is in use by another program.";
        for (int attempt = 0; attempt < 1000; ++attempt) {
            try {
                TDBFile db;
                db.Store(MakeRecord("E", kAt0900));
                if (attempt == 0 && ::write(report[1], "s", 1) != 1) ::_exit(2);   // stored at once
                ::_exit(0);
            } catch (const EInOutError &e) {
                const char *seen = e.what() == inUse ? "u" : "x";
                if (attempt == 0 && ::write(report[1], seen, 1) != 1) ::_exit(2);
            }
            ::usleep(10000);
        }
        ::_exit(1);
    }
    std::optional<TDBFile> window(std::in_place);   // the first program's database window, showing B and D
    ASSERT_EQ(window->Count(), 2);
    ASSERT_EQ(::write(opened[1], "o", 1), 1);
    char first = 0;
    ASSERT_EQ(::read(report[0], &first, 1), 1);
    for (int fd : {opened[0], opened[1], report[0], report[1]}) ::close(fd);
    EXPECT_EQ(first, 'u') << "s: the second program stored while the first had the database open";
    window->Store(MakeRecord("C", kAt0900));
    window.reset();
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    TDBFile db;
    std::vector<std::string> serials;
    for (int n = 1; n <= db.Count(); ++n) serials.push_back(SerialOf(db, n));
    EXPECT_EQ(serials, (std::vector<std::string> {"B", "C", "D", "E"}));
}

// Storing and deleting put a new file in place of the old one; the database stays locked all the same.
TEST_F(DBFileTest, TheDatabaseStaysInUseAcrossEachChange)
{
    TDBFile db;
    const std::string inUse = "The configuration database " + dir.file("CFGDB.DAT") + " is in use by another program.";
    const auto refused = [&] {
        try {
            TDBFile other;
        } catch (const EInOutError &e) {
            return e.what() == inUse;
        }
        return false;
    };
    db.Store(MakeRecord("B", kAt0900));
    EXPECT_TRUE(refused()) << "after an insert";
    db.Store(MakeRecord("A", kAt0900));
    db.DeleteRecord(2);
    EXPECT_TRUE(refused()) << "after a deletion";
    EXPECT_EQ(SerialOf(db, 1), "A");
    EXPECT_EQ(db.Count(), 1);
}

// The changes a program makes in one round: inserts of new serial numbers, every third change a deletion. The
// same generator drives the program and the list that says what the file may hold.
class ChangeSequence {
public:
    ChangeSequence(int round, std::vector<std::string> serials) : random_(unsigned(round)), round_(round),
        serials_(std::move(serials)) {}

    const std::vector<std::string> &serials() const { return serials_; }
    // Applies change k to the database when there is one, and to the list.
    void apply(int k, TDBFile *db)
    {
        if (k % 3 == 2 && !serials_.empty()) {
            const int32_t n = int32_t(random_() % serials_.size()) + 1;
            if (db) db->DeleteRecord(n);
            serials_.erase(serials_.begin() + (n - 1));
            return;
        }
        const std::string serial = ZeroPad(int(random_() % 1000), 3) + ZeroPad(round_, 2) + ZeroPad(k, 4);
        if (db) db->Store(MakeRecord(serial, kAt0900));
        serials_.insert(std::lower_bound(serials_.begin(), serials_.end(), serial), serial);
    }

private:
    std::mt19937 random_;
    int round_;
    std::vector<std::string> serials_;
};

// Inserts and deletions replace the file at once: a program killed at any moment of one leaves the records as they
// were before it or as they are after it, never a record twice or one missing, and its lock goes with it.
TEST_F(DBFileTest, AProgramKilledWhileChangingTheDatabaseLeavesItAsBeforeOrAfterEachChange)
{
    constexpr int kRecords = 300, kRounds = 30, kChanges = 60;
    std::vector<std::string> serials;
    {
        TDBFile db;
        for (int n = 1; n <= kRecords; ++n) {
            serials.push_back("A" + ZeroPad(n, 4));
            db.WriteRecord(n, MakeRecord(serials.back(), kAt0900));
        }
    }
    std::random_device entropy;
    int rounds_cut_off = 0;
    for (int round = 0; round < kRounds; ++round) {
        const pid_t other = ::fork();
        ASSERT_GE(other, 0);
        if (other == 0) {
            TDBFile db;
            ChangeSequence changes(round, serials);
            for (int k = 0; k < kChanges; ++k) changes.apply(k, &db);
            ::_exit(0);
        }
        ::usleep(entropy() % 40000);   // anywhere in the run of changes
        ::kill(other, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(other, &status, 0), other);
        if (WIFSIGNALED(status)) ++rounds_cut_off;

        TDBFile db;   // not refused: the killed program's lock is gone
        std::vector<std::string> found;
        for (int n = 1; n <= db.Count(); ++n) found.push_back(SerialOf(db, n));
        EXPECT_EQ(fileSize(), std::uintmax_t(db.Count()) * kDbRecordSize) << "round " << round;
        ChangeSequence expected(round, serials);
        for (int k = 0; expected.serials() != found && k < kChanges; ++k) expected.apply(k, nullptr);
        ASSERT_EQ(found, expected.serials()) << "round " << round << ": not the records before or after a change";
        serials = found;
    }
    EXPECT_GT(rounds_cut_off, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "the new files of killed programs are gone once the database is opened again";
}

TEST_F(DBFileTest, AReadOnlyDatabaseIsNotOpenedEvenByTheSuperuser)
{
    const std::string path = dir.write("CFGDB.DAT", std::string(kDbRecordSize, '\0'));
    ::chmod(path.c_str(), 0444);
    EXPECT_THROW(TDBFile db, EInOutError);
}

TEST_F(DBFileTest, DamagedFieldsAreReadWithinTheirBounds)
{
    CfgDbRecord rec = MakeRecord("A1", kAt1405);
    rec.Bytes[DbField::Device.Offset] = 0xFF;
    EXPECT_EQ(rec.Get(DbField::Device), std::string("SCAN1\0\0\0\0\0", 10));

    ConfigRecords list;
    rec.SetDataLength(32767);
    TDBFile::DataToList(rec, list);
    // The zero bytes behind the commands join the last string, which stops at 255 bytes and at the record's end.
    EXPECT_EQ(rec.Data().size(), kDbDataSize);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], "\x1B" "CD\x02" + std::string(251, '\0'));

    rec.SetDataLength(-5);
    TDBFile::DataToList(rec, list);
    EXPECT_TRUE(list.empty());

    EXPECT_FALSE(DecodeOleDate(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(DecodeOleDate(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(DecodeOleDate(1e300));
    EXPECT_FALSE(DecodeOleDate(-700000.0));
}

TEST(OleDate, PartsOfKnownDates)
{
    struct Case {
        double date;
        DateParts parts;
    };
    const Case cases[] = {
        {39169.58715277778, {2007, 3, 28, 14, 5, 30, 0}},
        {39169.375, {2007, 3, 28, 9, 0, 0, 0}},
        {0.0, {1899, 12, 30, 0, 0, 0, 0}},
        {-1.25, {1899, 12, 29, 6, 0, 0, 0}},
        {2958465.999988426, {9999, 12, 31, 23, 59, 59, 0}},
    };
    for (const Case &c : cases) {
        const std::optional<DateParts> p = DecodeOleDate(c.date);
        ASSERT_TRUE(p) << c.date;
        EXPECT_EQ((std::array {p->Year, p->Month, p->Day, p->Hour, p->Minute, p->Second, p->Millisecond}),
                  (std::array {c.parts.Year, c.parts.Month, c.parts.Day, c.parts.Hour, c.parts.Minute,
                               c.parts.Second, c.parts.Millisecond}))
            << c.date;
        EXPECT_NEAR(EncodeOleDate(c.parts), c.date, 1e-8) << c.date;
    }
}

TEST(DbDataPacking, CommandStringsRoundTripThroughTheDataArea)
{
    struct Case {
        const char *name;
        std::string data;
        ConfigRecords strings;
    };
    const Case cases[] = {
        {"two records", "\x1B" "AB\x01\x1B" "CD\x02", kTwoCommands},
        {"first without ESC", "AB\x1B" "C", {"AB", "\x1B" "C"}},
        {"empty", "", {}},
    };
    for (const Case &c : cases) {
        CfgDbRecord rec;
        rec.Bytes.fill(0xEE);
        ASSERT_EQ(TDBFile::ListToData(rec, c.strings), DbPackResult::Packed) << c.name;
        EXPECT_EQ(rec.Data(), c.data) << c.name;
        EXPECT_EQ(std::count(&rec.Bytes[CfgDbRecord::kDataOffset + c.data.size()], rec.Bytes.end(), 0),
                  long(kDbDataSize - c.data.size()))
            << c.name;
        ConfigRecords back;
        TDBFile::DataToList(rec, back);
        EXPECT_EQ(back, c.strings) << c.name;
        EXPECT_FALSE(rec.FixedFraming()) << c.name;
    }
}

TEST(DbDataPacking, LongSegmentKeepsItsFirst255Bytes)
{
    CfgDbRecord rec;
    ASSERT_EQ(TDBFile::ListToData(rec, {"\x1B" + std::string(299, 'x'), "\x1B" "AB\x01"}), DbPackResult::Packed);
    ConfigRecords back;
    TDBFile::DataToList(rec, back);
    EXPECT_EQ(back, (ConfigRecords {"\x1B" + std::string(254, 'x'), "\x1B" "AB\x01"}));
}

TEST(DbDataPacking, ConfigurationLargerThanTheDataAreaIsRefusedUntouched)
{
    CfgDbRecord rec;
    ASSERT_EQ(TDBFile::ListToData(rec, kTwoCommands), DbPackResult::Packed);
    const CfgDbRecord before = rec;
    const ConfigRecords tooMany(kDbDataSize / 4 + 1, std::string("\x1B" "AB\x01"));
    EXPECT_EQ(TDBFile::ListToData(rec, tooMany), DbPackResult::TooLarge);
    EXPECT_EQ(rec.Bytes, before.Bytes);
    EXPECT_EQ(TDBFile::ListToData(rec, ConfigRecords(kDbDataSize / 4, std::string("\x1B" "AB\x01"))),
              DbPackResult::Packed);
}

TEST(DbDataPacking, ValueByteEscKeepsFourByteRecordsWhole)
{
    const ConfigRecords withEsc = {"\x1B" "AB\x1B", "\x1B" "CD\x02"};
    CfgDbRecord rec;
    ASSERT_EQ(TDBFile::ListToData(rec, withEsc), DbPackResult::Packed);
    EXPECT_TRUE(rec.FixedFraming());
    EXPECT_EQ(rec.Bytes[CfgDbRecord::kReservedOffset], 1);
    ConfigRecords back;
    TDBFile::DataToList(rec, back);
    EXPECT_EQ(back, withEsc);

    // A record without the mark splits at every ESC, as stored records always did.
    rec.Bytes[CfgDbRecord::kReservedOffset] = 0;
    TDBFile::DataToList(rec, back);
    EXPECT_EQ(back, (ConfigRecords {"\x1B" "AB", "\x1B", "\x1B" "CD\x02"}));

    // Strings of other lengths cannot be kept apart.
    const CfgDbRecord before = rec;
    EXPECT_EQ(TDBFile::ListToData(rec, {"\x1B" "A\x1B", "\x1B" "CD\x02"}), DbPackResult::Unframeable);
    EXPECT_EQ(rec.Bytes, before.Bytes);
}
