#!/usr/bin/env bash
# Draws the three icons anew at every size the shell asks for at the usual display
# scales (100 % to 300 %), the large icon at 200 % (64) and Explorer's large views
# (256): a disc with a darker rim, for the two sides with a white arrow up or down. Each
# size is drawn on its own pixel grid, 8 times finer, then averaged down, so the arrow's
# straight edges stay sharp. Needs ImageMagick.
#   resources/icons/make_icons.sh    writes stellmark.ico, highside.ico and lowside.ico here
#
# The images up to 48 px are uncompressed 32-bit bitmaps, which every Windows reads;
# the two large ones are PNG images, as Windows reads them since Vista, at a tenth of
# the size (ImageMagick compresses only the 256 px one, so the file is put together here).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
SIZES=(16 20 24 32 40 48 64 256)
FIRST_PNG=64
FINE=8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Little-endian numbers of 2 and 4 bytes.
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

# ico <out> <size:file>...: an icon file of the given images, in that order. An image
# entry gives its width and height (0 for 256), 32 bits a pixel, its length and offset.
ico() {
    local out=$1 entry size file length offset
    shift
    offset=$((6 + 16 * $#))
    {
        le16 0 && le16 1 && le16 $#
        for entry in "$@"; do
            size=${entry%%:*} file=${entry#*:}
            length=$(stat -c %s "$file")
            printf "\\x$(printf %02x $((size & 255)))\\x$(printf %02x $((size & 255)))\\x00\\x00"
            le16 1 && le16 32 && le32 "$length" && le32 "$offset"
            offset=$((offset + length))
        done
        for entry in "$@"; do cat "${entry#*:}"; done
    } >"$out"
}

# icon <name> <disc colour> <rim colour> <none|up|down>
icon() {
    local name=$1 fill=$2 rim=$3 arrow=$4 s images=()
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
        local png=$work/$name-$s.png
        convert -size "${n}x${n}" xc:none "${draw[@]}" -filter box -resize "${s}x${s}" "PNG32:$png"
        if ((s >= FIRST_PNG)); then
            images+=("$s:$png")
        else
            # The bitmap as ImageMagick writes it into a one-image icon, past its
            # 22 bytes of header and directory.
            convert "$png" "$work/$name-$s.ico"
            tail -c +23 "$work/$name-$s.ico" >"$work/$name-$s.dib"
            images+=("$s:$work/$name-$s.dib")
        fi
    done
    ico "$name.ico" "${images[@]}"
}

icon stellmark '#2F6FD0' '#1A4993' none
icon highside '#E8541C' '#A7330B' up
icon lowside '#2E9E3E' '#1B6A27' down
