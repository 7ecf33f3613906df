// The device template reader (.TPL), with the walk over pages, entries, values and conditions that the editor
// makes after loading. Budgets: a NUM line gives no more values than kNumValueLimit; a use of a definition, and a
// condition naming an entry, cost the same whatever the template's size, so that loading stays linear in the
// file's size (run with -timeout=1; tests/model checks it on large files).

#include "FuzzTarget.h"

#include "model/Settings.h"
#include "model/Template.h"
#include "model/TplGrammar.h"

namespace {

void CheckNumLines(const TTplDef &def)
{
    def.AnyValue([](const TTplVal &v) {
        FUZZ_CHECK(v.Kind != trNum || (v.Count >= 1 && v.Count <= kNumValueLimit));
        return false;
    });
}

void Walk(TTemplate &tpl)
{
    for (int32_t d = 0; d < tpl.DefCount(); ++d) CheckNumLines(tpl.Defs(d));
    for (int32_t p = 0; p < tpl.PageCount(); ++p) {
        TTplPag &page = tpl.Pages(p);
        for (int32_t e = 0; e < page.Count(); ++e) {
            TTplEnt &entry = page.Entries(e);
            CheckNumLines(entry);
            const int32_t count = entry.ValueCount();
            TTplValueInfo info;
            for (int32_t i : {0, count / 2, count - 1}) entry.GetValueInfo(i, info);
            tpl.SetEntryValue(entry, info.Code);
            entry.IsVisible();
        }
    }
    tpl.UpdateVisible();
    tpl.GetConfiguration();
}

} // namespace

FUZZ_TARGET(tpl_reader)
{
    fuzz::WriteFile("FUZZ.TPL", data);
    // Read for both user levels, so that level blocks and the plain one are taken.
    for (int32_t level : {99, 1}) {
        Settings = TCVSetup {};
        Settings.DevPath = fuzz::WorkDir() + "/";
        Settings.Level = level;
        TTemplate tpl(TemplateScope::Private);
        FUZZ_CHECK(tpl.LoadFromFile("FUZZ.TPL"));
        Walk(tpl);
    }
}
