#!/usr/bin/env bash
# The consumer check: installs the engine from a build directory into a scratch prefix,
# builds the consumer program outside the source tree once through the CMake package and
# once through pkg-config's kve-static (against the static library), and runs both
# headless. With a shared library installed it also builds through kve.pc, runs that
# program through an rpath and through LD_LIBRARY_PATH, and checks that only KVE_ names
# leave the library.
# Usage: tests/consumer/check.sh <build-directory>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
mkdir "$work/src"
cp "$here/consumer.c" "$here/CMakeLists.txt" "$work/src/"
libdir=$(cd "$work/prefix" && ls -d lib*/pkgconfig | head -1 | xargs dirname)

# Headless: no display, the null sound output.
run() {
  (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ALSOFT_DRIVERS=null "$@")
}

echo "-- find_package(KorvaneEngine)"
cmake -S "$work/src" -B "$work/cmake-build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
run "$work/cmake-build/consumer" "$work/cmake.png"

echo "-- pkg-config kve-static"
export PKG_CONFIG_PATH="$work/prefix/$libdir/pkgconfig"
# As the README writes it: the static library, whatever else is installed beside it.
# shellcheck disable=SC2046
${CC:-cc} -std=c99 -Wall -Wextra -Werror -o "$work/pc-consumer" "$work/src/consumer.c" $(pkg-config --cflags --libs kve-static)
run "$work/pc-consumer" "$work/pc.png"
if readelf -d "$work/pc-consumer" | grep -q 'NEEDED.*libkve'; then
  echo "the kve-static consumer links the shared library, not the static one" >&2
  exit 1
fi

shared=$(ls "$work/prefix/$libdir"/libkve.so.* 2>/dev/null | head -1 || true)
if [ -n "$shared" ]; then
  echo "-- shared library $(basename "$shared")"
  readelf -d "$work/cmake-build/consumer" | grep -q "NEEDED.*libkve.so" || {
    echo "Korvane::kve does not name the shared library" >&2
    exit 1
  }
  # As the README writes it: the shared library through kve.pc, found at run time through
  # the rpath, or through the loader's path.
  echo "-- pkg-config kve, shared, with an rpath and with LD_LIBRARY_PATH"
  # shellcheck disable=SC2046
  ${CC:-cc} -std=c99 -Wall -Wextra -Werror -o "$work/rpath-consumer" "$work/src/consumer.c" \
    $(pkg-config --cflags --libs kve) -Wl,-rpath,"$(pkg-config --variable=libdir kve)"
  run "$work/rpath-consumer" "$work/rpath.png"
  # shellcheck disable=SC2046
  ${CC:-cc} -std=c99 -Wall -Wextra -Werror -o "$work/plain-consumer" "$work/src/consumer.c" $(pkg-config --cflags --libs kve)
  run env LD_LIBRARY_PATH="$(pkg-config --variable=libdir kve)" "$work/plain-consumer" "$work/plain.png"
  for program in rpath-consumer plain-consumer; do
    readelf -d "$work/$program" | grep -q "NEEDED.*libkve.so" || {
      echo "$program does not use the shared library" >&2
      exit 1
    }
  done
  others=$(nm -D --defined-only "$shared" | awk '{print $3}' | grep -v '^KVE_' || true)
  if [ -n "$others" ]; then
    echo "the shared library exports names other than KVE_*:" >&2
    echo "$others" | head -20 >&2
    exit 1
  fi
fi
echo "consumer check passed"
