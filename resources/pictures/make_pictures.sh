#!/usr/bin/env bash
# Draws the default wizard pictures with ImageMagick:
#   left.jpg  side picture of the welcome and finish pages, drawn at (0, 0);
#             it fills the 110-unit strip left of the white side panel
#   top.jpg   header picture of the inner pages, drawn at (384, 0); it fills
#             the rest of the 36-unit header right of the white panel
# Sizes are in pixels at the standard dialog base units (6 x 13 pixels per
# 4 x 8 units): 110 x 185 units and 76 x 36 units.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
jpeg=(-strip -sampling-factor 4:2:0 -quality 90 -units PixelsPerInch -density 96)

convert -size 165x301 gradient:'#12305f'-'#1f7f8f' \
  -fill '#ffffff22' -draw 'circle 150,40 150,150' \
  -fill '#ffffff18' -draw 'circle 20,250 20,330' \
  -fill none -stroke '#ffffffcc' -strokewidth 3 \
  -draw 'polygon 52,150 82,135 112,150 82,165' \
  -draw 'line 52,150 52,190' -draw 'line 52,190 82,205' -draw 'line 82,205 112,190' -draw 'line 112,190 112,150' \
  -draw 'line 82,165 82,205' \
  -fill '#7fe08a' -stroke none \
  -draw 'polygon 74,80 90,80 90,105 100,105 82,125 64,105 74,105' \
  "${jpeg[@]}" "$here/left.jpg"

convert -size 58x114 gradient:'#ffffff'-'#d6e6f5' -rotate 270 \
  -fill none -stroke '#1f4f8f' -strokewidth 2 \
  -draw 'polygon 57,24 75,15 93,24 75,33' \
  -draw 'line 57,24 57,44' -draw 'line 57,44 75,53' -draw 'line 75,53 93,44' -draw 'line 93,44 93,24' \
  -draw 'line 75,33 75,53' \
  -fill '#2a9d4a' -stroke none \
  -draw 'polygon 71,2 79,2 79,10 84,10 75,19 66,10 71,10' \
  "${jpeg[@]}" "$here/top.jpg"
