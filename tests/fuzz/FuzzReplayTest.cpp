// Replays every harness's seed corpus and kept regression inputs, so that the ordinary suite catches a reader that
// breaks on an input the fuzzers once found.

#include "FuzzTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fuzz {

namespace {

std::vector<std::filesystem::path> Inputs(const std::string &name)
{
    std::vector<std::filesystem::path> files;
    for (const char *kind : {"corpus", "regressions"}) {
        const std::filesystem::path dir = std::filesystem::path(FUZZ_DATA_DIR) / kind / name;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto &entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class ReplayTest : public ::testing::Test {
public:
    ReplayTest(std::string name, Harness harness) : name_(std::move(name)), harness_(harness) {}

    void TestBody() override
    {
        const std::vector<std::filesystem::path> files = Inputs(name_);
        ASSERT_FALSE(files.empty()) << "no seed corpus for " << name_;
        for (const std::filesystem::path &file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::string bytes {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            // A failing check aborts: the last name printed is the input.
            std::fprintf(stderr, "%s\n", file.c_str());
            harness_(bytes);
        }
    }

private:
    std::string name_;
    Harness harness_;
};

} // namespace

bool Register(const char *name, Harness harness)
{
    ::testing::RegisterTest("FuzzReplay", name, nullptr, nullptr, __FILE__, __LINE__,
                            [=]() -> ::testing::Test * { return new ReplayTest(name, harness); });
    return true;
}

} // namespace fuzz
