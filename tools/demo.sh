#!/usr/bin/env bash
# The main job. Grows with the project: for now it shows what is built.
set -euo pipefail
cd "$(dirname "$0")/.."
for arch in x86_64 i386; do
  echo "== build/$arch"
  file build/$arch/*.so 2>/dev/null || echo "(no plug-in built yet)"
done
