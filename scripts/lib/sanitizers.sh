# Sanitizer and fuzz runs of scripts/test, each in its own build folder. Any report fails the run.

sanitizer_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

run_asan_suite() {
  echo "== AddressSanitizer and UBSan: the whole suite"
  sanitizer_build build-asan -DCORVANE_ASAN=ON
  cmake --build build-asan -j"$(build_jobs)"
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure --no-tests=error --timeout 300 -j"$(nproc)"
}

run_tsan_suite() {
  echo "== ThreadSanitizer: serial, link and download tests"
  sanitizer_build build-tsan -DCORVANE_TSAN=ON
  cmake --build build-tsan -j"$(build_jobs)" \
    --target serial_tests serial_gui_tests link_tests download_tests loader_tests tarsel_module_tests
  # The module test without an application object unloads Qt with the module: nothing threaded to check there.
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/lib/tsan.supp" \
    ctest --test-dir build-tsan --output-on-failure --no-tests=error --timeout 300 -j"$(nproc)" -L '^(serial|link|download)$' \
      -E '^tarsel_module_noapp_tests'
}

run_fuzz_targets() {
  echo "== libFuzzer: every reader of outside input, $1 s each"
  ensure_packages clang libclang-rt-14-dev libfuzzer-14-dev
  CC=clang CXX=clang++ sanitizer_build build-fuzz -DCORVANE_FUZZ=ON
  cmake --build build-fuzz -j"$(build_jobs)" --target fuzz_targets
  source scripts/lib/fuzz.sh
  run_fuzzers "$1"
}
