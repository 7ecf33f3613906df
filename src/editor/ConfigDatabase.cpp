#include "ConfigDatabase.h"

#include "OleDate.h"
#include "common/BsTypes.h"
#include "common/Wrn.h"
#include "model/SettingsModule.h"
#include "platform/FileContents.h"
#include "platform/Paths.h"
#include "serial/SerExcept.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kEsc = '\x1B';
constexpr std::size_t kMaxCommandLength = 255;
constexpr std::size_t kFramedLength = 4;

// Runs a positioned read or write until the whole of record n has moved; false on an error or at the file's end.
template <class Io, class Byte>
bool MoveRecord(Io io, Byte *bytes, int32_t n)
{
    const off_t offset = off_t(n - 1) * off_t(kDbRecordSize);
    std::size_t done = 0;
    while (done < kDbRecordSize) {
        errno = 0;
        const ssize_t moved = io(bytes + done, kDbRecordSize - done, offset + off_t(done));
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) return false;
        done += std::size_t(moved);
    }
    return true;
}

// Locks the open database against every other opening; false when another holds it. Where the file system has no
// locks (ENOLCK, EOPNOTSUPP) the file stays unlocked.
bool Lock(int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK; }

std::string Bytes(const CfgDbRecord &rec) { return std::string(rec.Bytes.begin(), rec.Bytes.end()); }

} // namespace

std::string CfgDbRecord::Get(DbTextField field) const
{
    const std::size_t length = std::min<std::size_t>(Bytes[field.Offset], field.MaxLength);
    return std::string(reinterpret_cast<const char *>(&Bytes[field.Offset + 1]), length);
}

void CfgDbRecord::Set(DbTextField field, std::string_view text)
{
    const std::string_view cut = text.substr(0, field.MaxLength);
    Bytes[field.Offset] = uint8_t(cut.size());
    std::memcpy(&Bytes[field.Offset + 1], cut.data(), cut.size());
}

double CfgDbRecord::DateTime() const
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | Bytes[kDateTimeOffset + std::size_t(i)];
    return std::bit_cast<double>(bits);
}

void CfgDbRecord::SetDateTime(double date)
{
    uint64_t bits = std::bit_cast<uint64_t>(date);
    for (std::size_t i = 0; i < 8; ++i, bits >>= 8) Bytes[kDateTimeOffset + i] = uint8_t(bits);
}

int16_t CfgDbRecord::DataLength() const
{
    return int16_t(Bytes[kDataLengthOffset] | Bytes[kDataLengthOffset + 1] << 8);
}

void CfgDbRecord::SetDataLength(int16_t length)
{
    Bytes[kDataLengthOffset] = uint8_t(uint16_t(length));
    Bytes[kDataLengthOffset + 1] = uint8_t(uint16_t(length) >> 8);
}

std::string_view CfgDbRecord::Data() const
{
    const auto used = std::size_t(std::clamp<int>(DataLength(), 0, int(kDbDataSize)));
    return {reinterpret_cast<const char *>(&Bytes[kDataOffset]), used};
}

int CompareDbKeys(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    if (const int c = std::memcmp(a.data(), b.data(), common); c != 0) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

TDBFile::TDBFile() : TDBFile(DefaultPath()) {}

TDBFile::TDBFile(const std::string &path) : path_(path)
{
    // A program that stores replaces the file: a file that lost its name between the opening and the locking is
    // opened again by name.
    do {
        if (fd_ >= 0) ::close(fd_);
        if (IsReadOnlyFile(path_)) throw EInOutError(EACCES, "Cannot open " + path_ + ": " + std::strerror(EACCES));
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int error = errno;
            throw EInOutError(error, "Cannot open " + path_ + ": " + std::strerror(error));
        }
        // Held until the file is closed, so that no other program (nor another window) shifts records under the
        // count and the cache.
        if (!Lock(fd_)) {
            ::close(fd_);
            fd_ = -1;
            throw EInOutError(EWOULDBLOCK, "The configuration database " + path_ + " is in use by another program.");
        }
    } while (!StillNamed());
    RemoveAbandonedTemporaries(path_);   // of a program killed while it stored
    Resync();
}

bool TDBFile::StillNamed() const
{
    struct stat open {}, named {};
    return ::fstat(fd_, &open) != 0 || ::stat(path_.c_str(), &named) != 0 ||
           (open.st_dev == named.st_dev && open.st_ino == named.st_ino);
}

TDBFile::~TDBFile()
{
    if (fd_ >= 0) ::close(fd_);
}

std::string TDBFile::DefaultPath() { return ResolveCaseInsensitive(ExeDir + "/CFGDB.DAT"); }

void TDBFile::Resync()
{
    cachedIndex_ = -1;
    struct stat st {};
    if (::fstat(fd_, &st) == 0) count_ = int32_t(st.st_size / off_t(kDbRecordSize));
}

void TDBFile::CheckRecordNumber(int32_t n, int32_t last) const
{
    if (n < 1 || n > last) throw std::out_of_range("Record " + std::to_string(n) + " is not in " + path_);
}

void TDBFile::Fail(const std::string &action)
{
    const int error = errno ? errno : EIO;
    Resync();
    throw EInOutError(error, action + " " + path_ + ": " + std::strerror(error));
}

CfgDbRecord TDBFile::ReadRecord(int32_t n)
{
    CheckRecordNumber(n, count_);
    if (n != cachedIndex_) {
        cachedIndex_ = -1;
        const auto read = [this](uint8_t *bytes, std::size_t size, off_t at) { return ::pread(fd_, bytes, size, at); };
        if (!MoveRecord(read, buffer_.Bytes.data(), n)) Fail("Cannot read");
        cachedIndex_ = n;
    }
    return buffer_;
}

void TDBFile::WriteRecord(int32_t n, const CfgDbRecord &rec)
{
    CheckRecordNumber(n, count_ + 1);
    cachedIndex_ = -1;
    const auto write = [this](const uint8_t *bytes, std::size_t size, off_t at) { return ::pwrite(fd_, bytes, size, at); };
    if (!MoveRecord(write, rec.Bytes.data(), n)) Fail("Cannot write");
    buffer_ = rec;
    cachedIndex_ = n;
    count_ = std::max(count_, n);
}

void TDBFile::MakeKey(CfgDbRecord &rec)
{
    const DateParts d = DecodeOleDate(rec.DateTime()).value_or(DateParts {});
    rec.Set(DbField::Key, PadRight(rec.Get(DbField::SerialNo), ' ', 10) + ZeroPad(d.Year, 4) + ZeroPad(d.Month, 2) +
                              ZeroPad(d.Day, 2) + ZeroPad(d.Hour, 2) + ZeroPad(d.Minute, 2));
}

int32_t TDBFile::FindPosition(std::string_view key)
{
    key = key.substr(0, kDbKeyLength);
    int32_t i = 1;
    while (i <= count_ && CompareDbKeys(ReadRecord(i).Get(DbField::Key), key) < 0) ++i;
    return i;
}

std::string TDBFile::Records()
{
    std::string all;
    all.reserve(std::size_t(count_) * kDbRecordSize);
    for (int32_t i = 1; i <= count_; ++i) all += Bytes(ReadRecord(i));
    return all;
}

void TDBFile::Replace(const std::string &records)
{
    // The new file is locked before it takes the name, so that no other program gets it in between. Changed in
    // place, the records could be left half moved by a kill or a full disk: a folder that takes no new file refuses
    // the change.
    int next = -1;
    const bool ok = ReplaceFile(path_, records, [&next](int fd) {
        next = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        return next >= 0 && Lock(next);
    });
    if (!ok) {
        const int error = errno;
        if (next >= 0) ::close(next);
        const std::string folder = std::filesystem::path(WriteTarget(path_)).parent_path().string();
        if ((error == EACCES || error == EPERM) && ::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0) {
            Resync();
            throw EInOutError(error, "The configuration database " + path_ +
                                         " was not changed: to insert or delete records, its folder must be writable.");
        }
        errno = error;
        Fail("Cannot write");
    }
    ::close(fd_);
    fd_ = next;
    Resync();
}

void TDBFile::InsertAt(const CfgDbRecord &rec, int32_t pos)
{
    CheckRecordNumber(pos, count_ + 1);
    std::string records = Records();
    records.insert(std::size_t(pos - 1) * kDbRecordSize, Bytes(rec));
    Replace(records);
}

void TDBFile::DeleteRecord(int32_t n)
{
    CheckRecordNumber(n, count_);
    std::string records = Records();
    records.erase(std::size_t(n - 1) * kDbRecordSize, kDbRecordSize);
    Replace(records);
}

void TDBFile::Store(const CfgDbRecord &rec)
{
    const std::string key = rec.Get(DbField::Key);
    const int32_t pos = FindPosition(key);
    if (pos <= count_ && ReadRecord(pos).Get(DbField::Key) == key) {
        if (AskYesNo("Overwrite?")) WriteRecord(pos, rec);
        return;
    }
    InsertAt(rec, pos);
}

DbPackResult TDBFile::ListToData(CfgDbRecord &rec, const ConfigRecords &list)
{
    std::size_t total = 0;
    bool escInside = false;
    bool allFramed = true;
    for (const std::string &s : list) {
        total += s.size();
        if (s.empty()) continue;
        escInside = escInside || s.find(kEsc, 1) != std::string::npos;
        allFramed = allFramed && s.size() == kFramedLength;
    }
    if (total > kDbDataSize) return DbPackResult::TooLarge;
    if (escInside && !allFramed) return DbPackResult::Unframeable;

    std::fill_n(&rec.Bytes[CfgDbRecord::kDataOffset], kDbDataSize, uint8_t(0));
    std::size_t used = 0;
    for (const std::string &s : list) {
        std::memcpy(&rec.Bytes[CfgDbRecord::kDataOffset + used], s.data(), s.size());
        used += s.size();
    }
    rec.SetDataLength(int16_t(used));
    rec.Bytes[CfgDbRecord::kReservedOffset] = escInside ? 1 : 0;
    return DbPackResult::Packed;
}

void TDBFile::DataToList(const CfgDbRecord &rec, ConfigRecords &list)
{
    list.clear();
    const std::string_view data = rec.Data();
    if (rec.FixedFraming()) {
        for (std::size_t i = 0; i < data.size(); i += kFramedLength) list.emplace_back(data.substr(i, kFramedLength));
        return;
    }
    std::string segment;
    for (const char byte : data) {
        if (byte == kEsc) {
            if (!segment.empty()) list.push_back(segment);
            segment.assign(1, kEsc);
        } else if (segment.size() < kMaxCommandLength) {
            segment += byte;
        }
    }
    if (!segment.empty()) list.push_back(segment);
}
