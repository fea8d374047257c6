#!/usr/bin/env bash
# scripts/pulse-loopback.sh on a machine without PulseAudio: `start` and `run` exit with 77 (the
# status the live tests take as "skipped") and say why on stderr, so that
# `eval "$(pulse-loopback.sh start)"` does not fail silently. PulseAudio is hidden by running the
# script with a PATH that holds only the basic tools it needs.
set -euo pipefail

script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/pulse-loopback.sh
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in bash env mktemp cat dirname sleep rm mkdir chmod printf sed; do
  ln -s "$(command -v "$tool")" "$bin/$tool"
done

for command in start "run true"; do
  status=0
  # shellcheck disable=SC2086 # the command's words are meant to split
  err=$(PATH=$bin "$bin/bash" "$script" $command 2>&1 >/dev/null) || status=$?
  [ "$status" -eq 77 ] || { echo "FAIL: '$command' exited with $status" >&2; exit 1; }
  [[ $err == *"PulseAudio is not installed"* ]] || {
    echo "FAIL: '$command' said '$err'" >&2
    exit 1
  }
done
echo "ok: start and run say why they skip"
