#include "ExampleReader.h"

#include "ReaderConfigStore.h"

namespace testsupport {

std::string ExampleFile(const std::string &name) { return std::string(CORVANE_EXAMPLES_DIR) + "/" + name; }

void MakeExampleReader(ReaderSim &sim)
{
    // A value for every parameter of M100.TPL.
    ReaderConfigStore records {readerRecord("AA", 1),   readerRecord("AB", 0x14), readerRecord("BA", 'T'),
                               readerRecord("BB", 'o'), readerRecord("BC", ' '),  readerRecord("BD", '\r'),
                               readerRecord("BE", 0x20), readerRecord("BF", 0x03)};
    for (char page = 'C'; page <= 'L'; ++page) records.apply(readerRecord(std::string {page, 'A'}, 2));
    sim.setFactory(records);
    // CustomBtn1 of CORVANE.INI.
    sim.addCustomCommand("\x1B[V", "M100 V1.2\r\n");
}

} // namespace testsupport
