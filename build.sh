#!/usr/bin/env bash
# Set-up, build and run on a fresh Debian 12 machine.
#   ./build.sh run [ARGS...]   build and start the desktop program zdl410-config when a display
#                              is available; without one, run the zdl410 command line (default:
#                              dump the sample file). ARGS go to the program that runs.
#   ./build.sh test            check the layers (tools/check_layers.sh), then
#                              build and run every test under AddressSanitizer and
#                              UndefinedBehaviorSanitizer, build the Release configuration
#                              (the tests too, not run), then the fuzz targets for a bounded
#                              time, seeded from ../shared/fuzz-corpus/<target>/ when it is
#                              there
# Both build with warnings as errors (ZDL_WERROR); a plain cmake build does not.
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)

packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-serialport-dev
          qt6-translations-l10n libgtest-dev googletest libgl-dev)

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

configure_and_build() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$top" -B "$dir" -G Ninja -DZDL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}

run_fuzzers() {
  local dir=$top/build/fuzz seconds=${ZDL_FUZZ_SECONDS:-30}
  CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZDL_FUZZ=ON -DZDL_TESTS=OFF -DZDL_BENCH=OFF -DZDL_WERROR=ON >/dev/null
  local targets=()
  for src in "$top"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
  cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
  for target in "${targets[@]/#/$dir/}"; do
    [ -x "$target" ] || continue
    local name corpus seeds
    name=$(basename "$target")
    corpus=$dir/corpus-$name
    # Seeds: the sample files, and the minimised corpus of a long campaign kept beside the
    # project (read-only: it is copied, never written), so the bounded run starts deep.
    seeds=$top/../shared/fuzz-corpus/$name
    mkdir -p "$corpus"
    cp -n "$top"/tests/data/*.ncf "$corpus"/ 2>/dev/null || true
    if [ -d "$seeds" ]; then
      find "$seeds" -maxdepth 1 -type f -exec cp --no-preserve=mode -t "$corpus" {} +
    fi
    echo "== fuzzing $name for ${seconds}s ($(find "$corpus" -type f | wc -l) inputs)"
    "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 "$corpus" 2>&1 | tail -n 3
  done
}

case "${1:-}" in
  run)
    shift
    install_packages
    configure_and_build "$top/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZDL_TESTS=OFF
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec "$top/build/release/zdl410-config" "$@"
    fi
    echo "No display: running the zdl410 command line instead of the desktop program." >&2
    [ $# -gt 0 ] || set -- dump "$top/examples/plant.ncf"
    exec "$top/build/release/zdl410" "$@"
    ;;
  test)
    # The layers hold before anything is built: an include going up or sideways, or a
    # source no target lists, fails at once.
    "$top/tools/check_layers.sh"
    # The suite runs once, in the stricter build: AddressSanitizer and
    # UndefinedBehaviorSanitizer on, any report fails the test that caused it.
    export QT_QPA_PLATFORM=offscreen
    unset QT_QPA_PLATFORMTHEME
    install_packages
    configure_and_build "$top/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DZDL_SANITIZE=ON -DZDL_BENCH=OFF
    (cd "$top/build/sanitize" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --output-on-failure -j2 --timeout 300)
    # The optimiser finds warnings a Debug build does not: the Release build must stay clean,
    # the tests' sources included (they are built here, not run).
    configure_and_build "$top/build/release-check" -DCMAKE_BUILD_TYPE=Release -DZDL_BENCH=OFF
    run_fuzzers
    ;;
  *)
    echo "usage: ./build.sh run [ARGS...] | ./build.sh test" >&2
    exit 2
    ;;
esac
