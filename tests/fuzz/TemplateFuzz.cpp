// The device template reader (.TPL), with the walk over pages, entries, values and conditions that the editor
// makes after loading. Budgets: the model grows at most linearly with the file, and a NUM line gives no more
// values than a byte code can tell apart in the image.

#include "FuzzTarget.h"

#include "model/Settings.h"
#include "model/Template.h"
#include "model/TplGrammar.h"

namespace {

// Value lines a template may hold per byte of its text: a value line takes at least 4 bytes ("VAL:" and a line
// end), a use of a definition copies lines but must not multiply them beyond this.
constexpr std::size_t kValueLinesPerByte = 1;

std::size_t ValueLines(const TTplDef &def)
{
    for (const TTplVal &v : def.Items) FUZZ_CHECK(v.Kind != trNum || v.Count <= kNumValueLimit);
    return def.Items.size();
}

void Walk(TTemplate &tpl, std::size_t size)
{
    std::size_t lines = 0;
    for (int32_t d = 0; d < tpl.DefCount(); ++d) lines += ValueLines(tpl.Defs(d));
    for (int32_t p = 0; p < tpl.PageCount(); ++p) {
        TTplPag &page = tpl.Pages(p);
        for (int32_t e = 0; e < page.Count(); ++e) {
            TTplEnt &entry = page.Entries(e);
            lines += ValueLines(entry);
            const int32_t count = entry.ValueCount();
            TTplValueInfo info;
            for (int32_t i : {0, count / 2, count - 1}) entry.GetValueInfo(i, info);
            tpl.SetEntryValue(entry, info.Code);
            entry.IsVisible();
        }
    }
    FUZZ_CHECK(lines <= kValueLinesPerByte * size);
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
        Walk(tpl, data.size());
    }
}
