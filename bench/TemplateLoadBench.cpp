// Loading a large device template: 10,000 lines of definitions, pages, headers, parameters with conditions and
// value lines of every kind.

#include "TempDir.h"
#include "model/Settings.h"
#include "model/Template.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

constexpr int kLines = 10000;

std::string LargeTemplate()
{
    std::string text = "DEF: OnOff\r\nVAL: Off, 00\r\nVAL: On, 01\r\nDEF: Speeds\r\nNUM: 0..100,$20,0.5,ms\r\n"
                       "STR_99: Large reader, LARGE.CHM, Generated\r\n";
    int lines = 6;
    for (int page = 0; lines < kLines; ++page) {
        text += "PAG: Page " + std::to_string(page) + " #" + std::to_string(100 + page) + "\r\n";
        ++lines;
        for (int group = 0; group < 10 && lines < kLines; ++group) {
            text += "HDR: Group " + std::to_string(group) + " #0\r\n";
            text += "ENT: Switch,1B" + std::to_string(10 + group) + "41=On,01 #0 ; the group's switch\r\n";
            text += "DEF: OnOff\r\n";
            lines += 3;
            for (int n = 0; n < 6 && lines < kLines; ++n) {
                const std::string code = "1B" + std::to_string(10 + group) + std::to_string(10 + n);
                text += "ENT: Item " + std::to_string(n) + "," + code + "=Low,00 @Switch=On|Switch=Auto\r\n";
                text += "VAL: Low, 00\r\nVAL: High, 01 ?Sure\r\nHEX: 10..1F\r\nCHR: 20..7E\r\nDEF: Speeds\r\n";
                lines += 6;
            }
        }
    }
    return text;
}

void BM_LoadTemplate(benchmark::State &state)
{
    testsupport::TempDir dir;
    const std::string text = LargeTemplate();
    dir.write("LARGE.TPL", text);
    Settings.DevPath = dir.path().string() + "/";
    TTemplate tpl;
    for (auto _ : state) {
        if (!tpl.LoadFromFile("LARGE.TPL")) state.SkipWithError("template not loaded");
        benchmark::DoNotOptimize(tpl.PageCount());
    }
    state.counters["lines"] = double(std::count(text.begin(), text.end(), '\n'));
    state.counters["pages"] = tpl.PageCount();
}
BENCHMARK(BM_LoadTemplate)->Unit(benchmark::kMillisecond);

// Hostile templates of growing size: one definition of n values used by n parameters, and n parameters whose
// conditions name no entry. Both load in time linear in the file's size.
void BM_LoadDefinitionUses(benchmark::State &state)
{
    const int n = int(state.range(0));
    std::string text = "DEF: Many\r\n";
    for (int i = 0; i < n; ++i) text += "VAL: v" + std::to_string(i) + ", 01\r\n";
    text += "STR: T\r\nPAG: P\r\n";
    for (int i = 0; i < n; ++i) text += "ENT: E" + std::to_string(i) + ",1B4141=x,00 @Missing=x\r\nDEF: Many\r\n";
    testsupport::TempDir dir;
    dir.write("USES.TPL", text);
    Settings.DevPath = dir.path().string() + "/";
    TTemplate tpl;
    for (auto _ : state) {
        if (!tpl.LoadFromFile("USES.TPL")) state.SkipWithError("template not loaded");
        benchmark::DoNotOptimize(tpl.PageCount());
    }
    state.SetComplexityN(int64_t(text.size()));
}
BENCHMARK(BM_LoadDefinitionUses)->RangeMultiplier(4)->Range(256, 16384)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

} // namespace
