// The configuration file reader (.cfg), and the records applied to a template as the editor does.

#include "FuzzTarget.h"

#include "model/CfgFile.h"
#include "model/Settings.h"
#include "model/Template.h"

namespace {

// A small template with 3-byte codes, so that records can find their parameters.
const char *const kTemplate =
    "STR: Fuzz\r\n"
    "PAG: One\r\n"
    "ENT: A,1B4141=Off,00\r\n"
    "VAL: Off, 00\r\n"
    "VAL: On, 01\r\n"
    "ENT: B,1B4242=$00,00 @A=On\r\n"
    "HEX: 00..7F\r\n"
    "ENT: C,1B4343=0,20\r\n"
    "NUM: 0..300,$20,1,ms\r\n";

} // namespace

FUZZ_TARGET(cfg_file)
{
    CfgFileContents contents;
    try {
        contents = ReadCfgFile(fuzz::WriteFile("FUZZ.cfg", data));
    } catch (const CfgFileError &) {
        FUZZ_CHECK(data.size() < kCfgNameSize || (data.size() - kCfgNameSize) % kCfgRecordSize != 0);
        return;
    }
    FUZZ_CHECK(contents.Records.size() == (data.size() - kCfgNameSize) / kCfgRecordSize);
    FUZZ_CHECK(contents.TemplateName.size() <= kCfgNameSize);

    Settings = TCVSetup {};
    Settings.DevPath = fuzz::WorkDir() + "/";
    static const std::string tplPath = fuzz::WriteFile("CFGFUZZ.TPL", kTemplate);
    TTemplate tpl(TemplateScope::Private);
    FUZZ_CHECK(tpl.LoadFromFile("CFGFUZZ.TPL"));
    tpl.ApplyConfiguration(contents.Records);
    FUZZ_CHECK(tpl.Cfg.Count <= kCfgMaxRecords);
    FUZZ_CHECK(tpl.GetConfiguration().size() <= contents.Records.size());
}
