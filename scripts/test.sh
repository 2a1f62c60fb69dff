#!/usr/bin/env bash
# Builds dsnconf and runs every test. This is the README's test command and
# what CI runs. Stages: the build and its tests (unit, end-to-end, fault);
# the Ansible example playbook run against that build on localhost; the same
# tests built with AddressSanitizer and UndefinedBehaviorSanitizer; each fuzzer
# for a bounded time (FUZZ_SECONDS, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh native fuzz ansible

stage_start=$SECONDS
stage_done() {
  echo "== $1 took $((SECONDS - stage_start))s"
  stage_start=$SECONDS
}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j2
stage_done "build and tests"

# examples/ansible/linux.yml with Debian's ansible-core, on a scratch registry:
# --check writes nothing, the first run changes, the second does not.
bash tests/ansible/run.sh build
stage_done "ansible"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDSNCONF_SANITIZE=ON
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2
stage_done "sanitizer build and tests"

bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
stage_done "fuzzing"

# The Windows program, built with MinGW-w64 and run under Wine.
bash scripts/test-windows.sh
stage_done "Windows stage under Wine"
