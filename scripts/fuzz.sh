#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for a bounded time.
# usage: scripts/fuzz.sh [SECONDS_PER_HARNESS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
out=build/fuzz
mkdir -p "$out"
flags="-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -Isrc/core"
app_srcs=$(ls src/core/app/*.cpp)

build() { # name, extra sources...
  local name=$1; shift
  clang++ $flags "fuzz/$name.cpp" "$@" -o "$out/$name"
}
build fuzz_settings $app_srcs
if ls src/core/mail/*.cpp >/dev/null 2>&1 && [ -f fuzz/fuzz_smtp_reply.cpp ]; then
  build fuzz_smtp_reply $app_srcs src/core/mail/*.cpp \
    $(pkg-config --cflags --libs openssl libsecret-1)
fi

trap 'rm -rf /dev/shm/oculon-fuzz-* /tmp/oculon-fuzz-*' EXIT
for h in "$out"/fuzz_*; do
  name=$(basename "$h")
  corpus="$out/corpus-$name"
  mkdir -p "$corpus"
  [ -d "fuzz/seeds/$name" ] && cp -n fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true
  echo "== $name for ${seconds}s"
  "$h" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 "$corpus" 2>&1 | tail -4
done
