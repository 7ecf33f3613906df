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

} // namespace
