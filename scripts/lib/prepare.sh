# Shared by the scripts: installs missing Debian packages, then configures and builds in build/.
# Usage: source it, then call `prepare_build [target...]`.

ensure_packages() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Parallel build jobs: CMAKE_BUILD_PARALLEL_LEVEL when set, else one per core.
build_jobs() {
  echo "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
}

# Builds the given targets, or everything (tests and benchmarks too) when none is given.
prepare_build() {
  ensure_packages cmake make g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build build -j"$(build_jobs)" "${targets[@]}"
}
