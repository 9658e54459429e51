#!/usr/bin/env bash
# Validates the .ttl files of an LV2 bundle with lv2_validate; fails on any error or warning
# but one accepted finding: the framework marks a switch parameter (an lv2:Parameter, not a
# port) lv2:toggled and lv2:enumeration through lv2:portProperty, whose schema domain is
# lv2:Port. The hint is kept for the hosts that show such a parameter as a switch.
set -euo pipefail
bundle="$1"
shopt -s nullglob
files=("$bundle"/*.ttl)
if [ ${#files[@]} -eq 0 ]; then
    echo "validate: no .ttl files in $bundle" >&2
    exit 1
fi
status=0
report=$(lv2_validate "${files[@]}" 2>&1) || status=$?
echo "$report"

# Each finding is a line "error: ..." or "warning: ..." followed by its indented triple.
unexpected=$(awk '
    /^(error|warning):/ { if (block != "") print block; block = $0; next }
    /^[[:space:]]/ && block != "" { block = block " | " $1; next }
    { if (block != "") print block; block = "" }
    END { if (block != "") print block }' <<<"$report" \
    | grep -E '^(error|warning):' \
    | grep -vE '^error: Subject not in domain <http://lv2plug.in/ns/lv2core#Port> \| [^|]+:db[A-Za-z]+ \| http://lv2plug.in/ns/lv2core#portProperty \|' || true)

if [ -n "$unexpected" ]; then
    echo "validate: unexpected findings:" >&2
    echo "$unexpected" >&2
    exit 1
fi
if [ $status -ne 0 ] && ! grep -q '^Found [0-9]* errors' <<<"$report"; then
    echo "validate: lv2_validate failed ($status)" >&2
    exit 1
fi
echo "validate: $bundle is valid (apart from the accepted parameter hint)"
