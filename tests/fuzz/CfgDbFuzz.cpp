// The configuration database (CFGDB.DAT): every record as the database window reads, lists and sorts it.

#include "FuzzTarget.h"

#include "editor/ConfigDatabase.h"
#include "editor/OleDate.h"

#include <algorithm>

FUZZ_TARGET(cfgdb_file)
{
    TDBFile db(fuzz::WriteFile("CFGDB.DAT", data));
    FUZZ_CHECK(std::size_t(db.Count()) == data.size() / kDbRecordSize);
    for (int32_t n = 1; n <= std::min(db.Count(), 8); ++n) {
        CfgDbRecord rec = db.ReadRecord(n);
        for (DbTextField field : {DbField::Key, DbField::Device, DbField::SerialNo, DbField::Author,
                                  DbField::Description, DbField::TemplateName})
            FUZZ_CHECK(rec.Get(field).size() <= field.MaxLength);
        if (const auto date = DecodeOleDate(rec.DateTime())) EncodeOleDate(*date);
        FUZZ_CHECK(rec.Data().size() <= kDbDataSize);

        ConfigRecords list;
        TDBFile::DataToList(rec, list);
        std::size_t bytes = 0;
        for (const std::string &s : list) {
            FUZZ_CHECK(!s.empty() && s.size() <= 255);
            bytes += s.size();
        }
        FUZZ_CHECK(bytes <= rec.Data().size());

        TDBFile::MakeKey(rec);
        FUZZ_CHECK(db.FindPosition(rec.Get(DbField::Key)) <= db.Count() + 1);
    }
}
