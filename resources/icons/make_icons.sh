#!/usr/bin/env bash
# Draws the three icons anew at every size the shell asks for at the usual display
# scales (100 % to 300 %): a disc with a darker rim, for the two sides with a white
# arrow up or down. Each size is drawn on its own pixel grid, 8 times finer, then
# averaged down, so the arrow's straight edges stay sharp. Needs ImageMagick.
#   resources/icons/make_icons.sh    writes stellmark.ico, highside.ico and lowside.ico here
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
SIZES=(16 20 24 32 40 48)
FINE=8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# icon <name> <disc colour> <rim colour> <none|up|down>
icon() {
    local name=$1 fill=$2 rim=$3 arrow=$4 s files=()
    for s in "${SIZES[@]}"; do
        local n=$((s * FINE)) c=$((s * FINE / 2))
        local rimw=$((s * FINE / 16)) half shaft head tip top bottom base
        # The arrow on whole pixels: a shaft of an even width about the middle, a head
        # whose base spans 5/8 of the icon.
        half=$(((s * 5 + 32) / 64))
        ((half < 1)) && half=1
        shaft=$((half * FINE)) head=$(((s * 10 + 16) / 32 * FINE))
        local draw=(-fill "$rim" -draw "circle $c,$c $c,0"
            -fill "$fill" -draw "circle $c,$c $c,$rimw")
        if [[ $arrow != none ]]; then
            # Measured from the top for "up"; "down" is the same arrow upside down.
            tip=$((s * FINE * 13 / 64)) base=$c bottom=$((s * FINE * 13 / 16))
            draw+=(-fill white -draw "polygon $c,$tip $((c - head)),$base $((c + head)),$base"
                -draw "rectangle $((c - shaft)),$base $((c + shaft)),$bottom")
            [[ $arrow == down ]] && draw+=(-flip)
        fi
        convert -size "${n}x${n}" xc:none "${draw[@]}" -filter box -resize "${s}x${s}" "PNG32:$work/$name-$s.png"
        files+=("$work/$name-$s.png")
    done
    convert "${files[@]}" "$name.ico"
}

icon stellmark '#2F6FD0' '#1A4993' none
icon highside '#E8541C' '#A7330B' up
icon lowside '#2E9E3E' '#1B6A27' down
