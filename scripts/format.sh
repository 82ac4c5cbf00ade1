#!/usr/bin/env bash
# Formats every C++ file of the tree with the repository's .clang-format, or with --check lists
# the files that differ (exit status 1 then). Braces around every block (InsertBraces) need
# clang-format 16, which is installed when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

tool=clang-format-16
if ! command -v "$tool" >/dev/null; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$tool"
fi

mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = "--check" ]; then
  differ=0
  for f in "${files[@]}"; do
    if ! "$tool" "$f" | cmp -s - "$f"; then
      echo "$f"
      differ=1
    fi
  done
  exit "$differ"
fi
"$tool" -i "${files[@]}"
