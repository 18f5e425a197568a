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
#                              there; then builds the Debian package and checks it
#                              (check_package below: it installs and removes the package)
#   ./build.sh package         build build/package/zdl410_<version>_<arch>.deb from the
#                              Release build (CPack's DEB generator)
# Both build with warnings as errors (ZDL_WERROR); a plain cmake build does not.
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)

packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-serialport-dev
          qt6-translations-l10n libgtest-dev googletest libgl-dev
          # The report's tests read its PDF's text back (pdftotext).
          poppler-utils
          # The package and its checks: dpkg-shlibdeps, the validators, lintian, the manual
          # pages' renderers, the file-type lookup (xdg-mime asks `mimetype` outside a desktop).
          dpkg-dev file desktop-file-utils appstream lintian groff-base man-db xdg-utils
          shared-mime-info libfile-mimeinfo-perl)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

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

# The Release build (the tests' sources built too, not run) and the package made from it.
build_package() {
  configure_and_build "$top/build/release-check" -DCMAKE_BUILD_TYPE=Release -DZDL_BENCH=OFF
  rm -rf "$top/build/package"
  (cd "$top/build/release-check" && cpack -G DEB -B "$top/build/package" >/dev/null)
  rm -rf "$top/build/package/_CPack_Packages"
  ls "$top"/build/package/zdl410_*.deb
}

# The package's checks: its files validate, lintian finds no error, every manual page renders
# without a warning, and it installs, works from /usr/bin, gives .ncf files their type and
# purges leaving none of its files behind.
check_package() {
  local deb build=$top/build/release-check
  deb=$(ls "$top"/build/package/zdl410_*.deb)
  echo "== checking $deb"
  desktop-file-validate "$top"/packaging/*.desktop
  appstreamcli validate --no-net --explain "$build"/*.metainfo.xml
  local page warnings
  for page in "$top"/man/*.1 "$top"/man/es/*.1; do
    warnings=$(LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || { echo "$page: $warnings" >&2; return 1; }
  done
  # Lintian is bounded; its warnings are shown, an error fails the check. Suppressed, being
  # wrong for a package built by CPack outside a Debian source tree: none so far.
  timeout 600 lintian --fail-on error --tag-display-limit 0 "$deb"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
  # From here the package is installed: every check runs and records its failure, and the
  # package is purged whatever they found.
  local files sample type failed=0
  files=$(dpkg -L zdl410 | while read -r f; do [ -d "$f" ] || echo "$f"; done)
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/zdl410 --version || failed=1
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/zdl410-config --version || failed=1
  sample=$(mktemp -d)
  cp "$top/examples/plant.ncf" "$sample/plant.ncf"
  type=$(xdg-mime query filetype "$sample/plant.ncf") || true
  rm -rf "$sample"
  if [ "$type" != application/x-norvik-ncf ]; then echo "plant.ncf has type '$type'" >&2; failed=1; fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq zdl410 >/dev/null
  [ $failed -eq 0 ] || return 1
  local left=0 f
  for f in $files /usr/share/doc/zdl410; do
    if [ -e "$f" ]; then echo "left behind: $f" >&2; left=1; fi
  done
  ! dpkg-query -W zdl410 2>/dev/null | grep -q . || { echo "zdl410 still registered" >&2; left=1; }
  [ $left -eq 0 ] && echo "== package checks passed ($(echo "$files" | wc -l) files installed and removed)"
}

run_fuzzers() {
  local dir=$top/build/fuzz seconds=${ZDL_FUZZ_SECONDS:-30} running=()
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
    # As many targets at once as there are cores: each still gets its seconds of a core.
    "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 "$corpus" \
      >"$corpus.log" 2>&1 &
    running+=("$!:$corpus.log")
    [ ${#running[@]} -lt "$(nproc)" ] || wait_fuzzers
  done
  wait_fuzzers
}

# Waits for the fuzz targets started so far; prints each one's last lines, fails on a finding.
wait_fuzzers() {
  local entry log name failed=0
  for entry in "${running[@]}"; do
    log=${entry#*:}
    name=$(basename "$log" .log)
    wait "${entry%%:*}" || { failed=1; echo "== fuzzing failed: ${name#corpus-} (see $log)" >&2; }
    echo "-- ${name#corpus-}:"
    tail -n 3 "$log"
  done
  running=()
  [ $failed -eq 0 ]
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
    # The package is made from that Release build, so only CPack runs here.
    build_package
    check_package
    ;;
  package)
    install_packages
    build_package
    ;;
  *)
    echo "usage: ./build.sh run [ARGS...] | ./build.sh test | ./build.sh package" >&2
    exit 2
    ;;
esac
