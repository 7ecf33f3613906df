#pragma once
// The configuration database CFGDB.DAT in the program folder: records of 2048 bytes back to back, no header,
// sorted by a key of serial number and creation minute, each holding one reader configuration.

#include "model/ConfigImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::size_t kDbRecordSize = 2048;
constexpr std::size_t kDbDataSize = 1825;
constexpr std::size_t kDbKeyLength = 22;

// A length-prefixed text field of a record: the length byte at Offset, then up to MaxLength bytes.
struct DbTextField {
    std::size_t Offset;
    std::size_t MaxLength;
};

namespace DbField {
constexpr DbTextField Key {0, kDbKeyLength};
constexpr DbTextField Device {23, 10};
constexpr DbTextField SerialNo {34, 10};
constexpr DbTextField Author {53, 20};
constexpr DbTextField Description {74, 30};
constexpr DbTextField TemplateName {200, 20};
} // namespace DbField

// One record as it lies in the file, little-endian. Replacing a text writes its length and characters and leaves
// the bytes behind it as they were, so an edited record keeps the tail of an earlier, longer text.
class CfgDbRecord {
public:
    static constexpr std::size_t kDateTimeOffset = 45;
    static constexpr std::size_t kReservedOffset = 105;
    static constexpr std::size_t kDataLengthOffset = 221;
    static constexpr std::size_t kDataOffset = 223;

    std::array<uint8_t, kDbRecordSize> Bytes {};   // a new record is all zero

    // A length byte beyond the field counts as the field's size.
    std::string Get(DbTextField field) const;
    void Set(DbTextField field, std::string_view text);

    double DateTime() const;   // an OLE date (OleDate.h)
    void SetDateTime(double date);
    int16_t DataLength() const;   // as stored, possibly out of range in a damaged file
    void SetDataLength(int16_t length);
    // The used bytes of the data area: DataLength kept within 0..kDbDataSize.
    std::string_view Data() const;
    // Reserved byte 0 set to 1: the data holds command strings of exactly 4 bytes, one of which has the byte
    // 27 after its first byte, so that splitting at every 27 would break it. Zero in every other record.
    bool FixedFraming() const { return Bytes[kReservedOffset] == 1; }
};

enum class DbPackResult {
    Packed,
    TooLarge,      // more than kDbDataSize bytes
    Unframeable,   // a string holds the byte 27 after its first byte, and not all strings are 4 bytes long
};

// Key order: bytes compared unsigned over the common length, then the shorter key first.
int CompareDbKeys(std::string_view a, std::string_view b);

// The open database file with a one-record cache, locked against every other opening while it is open. Every
// file error is raised as EInOutError; Count and the cache are then taken again from the file as it is.
class TDBFile {
public:
    // Opens ExeDir/CFGDB.DAT, or creates it empty. A read-only file, and a file that another TDBFile (of any
    // program) has open, raise EInOutError; the latter says the database is in use by another program.
    TDBFile();
    explicit TDBFile(const std::string &path);
    ~TDBFile();
    TDBFile(const TDBFile &) = delete;
    TDBFile &operator=(const TDBFile &) = delete;

    static std::string DefaultPath();
    const std::string &Path() const { return path_; }
    // Whole records in the file; a partial record at its end does not count.
    int32_t Count() const { return count_; }

    // Record n, 1..Count.
    CfgDbRecord ReadRecord(int32_t n);
    // Writes record n, 1..Count + 1 (Count + 1 extends the file).
    void WriteRecord(int32_t n, const CfgDbRecord &rec);
    // Key := SerialNo padded with blanks to 10, then year, month, day, hour and minute of DateTime.
    static void MakeKey(CfgDbRecord &rec);
    // The first record whose key is not less than the key (taken to 22 bytes); Count + 1 when there is none.
    int32_t FindPosition(std::string_view key);
    // Inserts the record as number pos; the records from there on move up by one.
    void InsertAt(const CfgDbRecord &rec, int32_t pos);
    // Removes record n; the later records move down by one and the file shrinks by one record.
    void DeleteRecord(int32_t n);
    // Both replace the whole file at once (a new file renamed over it), so that a program killed in the middle
    // leaves the records as they were before or as they are after; a partial record at the end is dropped. In a
    // folder where no file may be created both are refused: the error says that the folder must be writable.
    // Stores the record at its place in key order; a record with the same key is replaced only when the
    // question "Overwrite?" is answered Yes.
    void Store(const CfgDbRecord &rec);

    // Packs the command strings into Data and DataLength, zeroing the rest of the data area. When the result is
    // not Packed the record is left as it was.
    static DbPackResult ListToData(CfgDbRecord &rec, const ConfigRecords &list);
    // The record's command strings: a new string begins at every byte 27 (at every fourth byte for a record with
    // FixedFraming); a string keeps at most 255 bytes.
    static void DataToList(const CfgDbRecord &rec, ConfigRecords &list);

private:
    void CheckRecordNumber(int32_t n, int32_t last) const;
    [[noreturn]] void Fail(const std::string &action);
    void Resync();
    bool StillNamed() const;
    // All whole records, and the file replaced by new records.
    std::string Records();
    void Replace(const std::string &records);

    std::string path_;
    int fd_ = -1;
    CfgDbRecord buffer_;
    int32_t cachedIndex_ = -1;
    int32_t count_ = 0;
};
