#!/usr/bin/env bash
# Regenerates example/dnb-hot.flac: synthesises the loop, then stores it as FLAC through
# orvan-render with the limiter off (a bit-exact copy).
#   tools/render/example/make-example.sh build/orvan-render
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
render="${1:?usage: make-example.sh PATH/TO/orvan-render}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
python3 "$here/make-example.py" "$tmp/dnb-hot.wav"
"$render" --off "$tmp/dnb-hot.wav" "$here/dnb-hot.flac" > /dev/null
echo "wrote $here/dnb-hot.flac"
