#!/usr/bin/env bash
# Renders the editor's pictures temp1.png ... temp10.png from their vector sources in
# resources/artwork with rsvg-convert (Debian package librsvg2-bin). The PNGs are committed,
# so a build never needs this; run it after changing a source and commit both.
# Variants of one source are chosen with a stylesheet that hides the other variants.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
art="$here/artwork"

command -v rsvg-convert >/dev/null || { echo "render-artwork: rsvg-convert not found (apt-get install librsvg2-bin)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# render NAME SOURCE [CSS-RULES]: writes resources/NAME.png, replacing it only once complete.
render() {
    local name="$1" source="$2" rules="${3:-}"
    local css="$work/$name.css"
    printf '%s\n' "$rules" > "$css"
    rsvg-convert --stylesheet "$css" --output "$work/$name.png" "$art/$source"
    mv "$work/$name.png" "$here/$name.png"
    echo "render-artwork: $name.png $(wc -c < "$here/$name.png") bytes"
}

render temp1  panel.svg          '.on { display: none; }'
render temp2  panel.svg          '.off { display: none; }'
render temp3  temp3-switch.svg
render temp4  temp4-logo.svg
render temp5  bronze-button.svg  '.plus, .pressed { display: none; }'
render temp6  bronze-button.svg  '.plus, .released { display: none; }'
render temp7  temp7-glyphs.svg
render temp8  temp8-point.svg
render temp9  bronze-button.svg  '.minus, .pressed { display: none; }'
render temp10 bronze-button.svg  '.minus, .released { display: none; }'
