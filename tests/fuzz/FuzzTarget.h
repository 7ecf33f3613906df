#pragma once
// One harness per reader of outside input. The same harness code runs under libFuzzer (CORVANE_LIBFUZZER) and in
// the ordinary test suite, which replays the seed corpus and the kept regression inputs through it.
//
//   FUZZ_TARGET(name) { ... uses `data` (std::string_view of the input) ... }

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzz {

using Harness = void (*)(std::string_view data);

// Registers a harness for the replay test; returns true so that it can initialise a static.
bool Register(const char *name, Harness harness);

// A fresh folder for the process's files, in memory where the system allows, removed at exit.
const std::string &WorkDir();
// Writes the bytes to WorkDir()/name and returns the path.
std::string WriteFile(const std::string &name, std::string_view bytes);

// A broken budget or invariant: reported like a sanitizer finding, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

} // namespace fuzz

#define FUZZ_CHECK(cond) ((cond) ? void(0) : ::fuzz::Fail(#cond, __FILE__, __LINE__))

#ifdef CORVANE_LIBFUZZER
#define FUZZ_TARGET(name)                                                                                     \
    static void FuzzOne_##name(std::string_view data);                                                       \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)                                 \
    {                                                                                                         \
        FuzzOne_##name(std::string_view(reinterpret_cast<const char *>(bytes), size));                        \
        return 0;                                                                                             \
    }                                                                                                         \
    static void FuzzOne_##name(std::string_view data)
#else
#define FUZZ_TARGET(name)                                                                                     \
    static void FuzzOne_##name(std::string_view data);                                                       \
    [[maybe_unused]] static const bool registered_##name = ::fuzz::Register(#name, FuzzOne_##name);          \
    static void FuzzOne_##name(std::string_view data)
#endif
