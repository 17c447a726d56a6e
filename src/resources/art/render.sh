#!/usr/bin/env bash
# Re-renders Tessivo's artwork from the hand-written SVG sources in this
# folder and checks every output's size and format:
#   key_icon.svg -> key_icon.png   32 x 32, 24-bit RGB PNG, no alpha
#   emblem.svg   -> emblem.bmp     122 x 124, 24-bit BMP (V3), no alpha
#   banner.svg   -> banner.jpg     303 x 206, baseline RGB JPEG, 72 dpi
# (key_icon_scalable.svg is used as it is and only checked for validity.)
#
# Needs the Debian packages librsvg2-bin (rsvg-convert) and imagemagick
# (/usr/bin/convert, /usr/bin/identify, /usr/bin/compare). ImageMagick is
# always called by its full path under /usr/bin on purpose.
set -euo pipefail

cd "$(dirname "$(readlink -f "$0")")"

RSVG=rsvg-convert
CONVERT=/usr/bin/convert
IDENTIFY=/usr/bin/identify
COMPARE=/usr/bin/compare

fail() {
    echo "render.sh: ERROR: $*" >&2
    exit 1
}

command -v "$RSVG" >/dev/null 2>&1 \
    || fail "rsvg-convert not found (install the Debian package librsvg2-bin)"
[[ -x $CONVERT && -x $IDENTIFY && -x $COMPARE ]] \
    || fail "$CONVERT / $IDENTIFY / $COMPARE not found (install the Debian package imagemagick)"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# render SVG -> RGBA PNG at an exact pixel size
rasterise() { # svg width height out
    "$RSVG" --width "$2" --height "$3" --format png --output "$4" "$1" \
        || fail "rsvg-convert could not render $1"
}

# flatten onto a solid colour and drop the alpha channel
flatten() { # in background out-with-prefix [extra convert options...]
    local in=$1 bg=$2 out=$3
    shift 3
    "$CONVERT" "$in" -background "$bg" -alpha remove -alpha off -strip "$@" "$out" \
        || fail "convert could not write ${out#*:}"
}

# compare an identify -format result with what is expected
expect() { # file format expected
    local got
    got=$("$IDENTIFY" -format "$2" "$1" 2>/dev/null) || fail "identify cannot read $1"
    [[ $got == "$3" ]] || fail "$1: expected '$3' for '$2' but got '$got'"
}

# read a little-endian unsigned integer from a file
le_uint() { # file offset bytes
    od -An -tu"$3" -j "$2" -N "$3" "$1" | tr -d ' '
}

check_png_rgb() { # file width height
    expect "$1" '%m %wx%h' "PNG ${2}x${3}"
    expect "$1" '%A' 'False'
    # IHDR: bit depth 8, colour type 2 (RGB, no alpha, no palette)
    expect "$1" '%[png:IHDR.bit-depth-orig] %[png:IHDR.color-type-orig]' '8 2'
    [[ $(od -An -tu1 -j 24 -N 2 "$1" | tr -s ' ' | sed 's/^ //') == "8 2" ]] \
        || fail "$1: PNG header is not 8-bit RGB (colour type 2)"
}

check_bmp24() { # file width height
    expect "$1" '%m %wx%h' "BMP3 ${2}x${3}"
    expect "$1" '%A' 'False'
    [[ $(le_uint "$1" 14 4) == 40 ]] \
        || fail "$1: not a plain V3 BMP (info header is not 40 bytes)"
    [[ $(le_uint "$1" 28 2) == 24 ]] \
        || fail "$1: BMP is not 24 bits per pixel"
    [[ $(le_uint "$1" 30 4) == 0 ]] \
        || fail "$1: BMP is compressed"
}

check_jpeg() { # file width height
    expect "$1" '%m %wx%h' "JPEG ${2}x${3}"
    expect "$1" '%[colorspace] %[channels] %A' 'sRGB srgb False'
    expect "$1" '%[interlace]' 'None'
    expect "$1" '%x %y %U' '72 72 PixelsPerInch'
    # walk the header segments up to the image data: the frame must be
    # baseline (SOF0, FF C0) with 3 colour components
    local -a b
    read -r -a b <<<"$(od -An -tu1 -v -N 65536 "$1" | tr -s ' \n' ' ')"
    (( b[0] == 255 && b[1] == 216 )) || fail "$1: not a JPEG file"
    local i=2 marker len sof=""
    while (( i + 3 < ${#b[@]} )); do
        (( b[i] == 255 )) || fail "$1: damaged JPEG header"
        marker=${b[i+1]}
        len=$(( b[i+2] * 256 + b[i+3] ))
        if (( marker >= 192 && marker <= 207 && marker != 196 && marker != 200 && marker != 204 )); then
            sof=$marker
            (( b[i+9] == 3 )) || fail "$1: JPEG has ${b[i+9]} colour components, not 3"
        fi
        (( marker == 218 )) && break   # SOS: image data follows
        i=$(( i + 2 + len ))
    done
    [[ -n $sof ]] || fail "$1: no JPEG frame header found"
    (( sof == 192 )) || fail "$1: JPEG frame is not baseline (marker FF $(printf '%X' "$sof"))"
}

check_svg() { # file
    grep -q '<svg' "$1" || fail "$1: not an SVG file"
    ! grep -qE 'href="[^#]' "$1" \
        || fail "$1: contains an external reference"
    "$RSVG" --width 16 --height 16 --format png --output "$tmp/check.png" "$1" \
        || fail "$1: rsvg-convert cannot render it"
}

echo "Rendering key_icon.png"
rasterise key_icon.svg 32 32 "$tmp/key_icon.png"
flatten "$tmp/key_icon.png" '#1d4f86' key_icon.png -define png:color-type=2 -define png:bit-depth=8
check_png_rgb key_icon.png 32 32

echo "Checking key_icon_scalable.svg"
check_svg key_icon_scalable.svg

echo "Rendering emblem.bmp"
rasterise emblem.svg 122 124 "$tmp/emblem.png"
flatten "$tmp/emblem.png" '#87ceeb' "$tmp/emblem_flat.png" -define png:color-type=2 -define png:bit-depth=8
flatten "$tmp/emblem_flat.png" '#87ceeb' BMP3:emblem.bmp -type TrueColor
check_png_rgb "$tmp/emblem_flat.png" 122 124
check_bmp24 emblem.bmp 122 124
# compare prints the number of differing pixels on stderr
diff_px=$("$COMPARE" -metric AE "$tmp/emblem_flat.png" emblem.bmp null: 2>&1) \
    || fail "the emblem lost pixels on its way to BMP (compare says: $diff_px)"
[[ $diff_px == 0 ]] || fail "the emblem lost $diff_px pixels on its way to BMP"

echo "Rendering banner.jpg"
rasterise banner.svg 303 206 "$tmp/banner.png"
flatten "$tmp/banner.png" '#1d1b52' banner.jpg -type TrueColor -interlace none \
    -units PixelsPerInch -density 72 -quality 90
check_jpeg banner.jpg 303 206

echo "All artwork rendered and checked."
