#!/usr/bin/env bash
# One scripted session under an X server (run by scripts/screenshots.sh): starts the program, clicks
# through its pages with xdotool and photographs each. Argument: the display factor, for the names.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
factor="$1"
out="$here/docs/screenshots"
bin="$here/build/bin"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$out" "$work/输入 文件" "$work/more"
export HOME="$work/home"
mkdir -p "$HOME"
cd "$work"
# A desktop-like background and a compositor, so that the translucent window edges show as they do
# on a desktop instead of black.
xsetroot -solid "#dfe3ea"
xcompmgr &
sleep 1

# Where each button sits in the window at this factor: "page name x y" lines.
"$bin/vx_locate_widgets" > "$work/places"
place() { awk -v p="$1" -v n="$2" '$1 == p && $2 == n { print $3, $4 }' "$work/places"; }

window_id() { xdotool search --sync --onlyvisible --name '^Vornex$' | head -n 1; }
click() { # page, widget
  local id x y wx wy
  id="$(window_id)"
  read -r x y < <(place "$1" "$2")
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + x)) $((Y + y)) click 1
  sleep 1
}
shoot() { # name: the whole screen, cut to the program's window
  xdotool mousemove 1900 1290
  sleep 0.5
  import -window root "$work/screen.png"
  local id
  id="$(window_id)"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1-$factor.png"
}
wait_for_window() { for _ in $(seq 1 60); do xdotool search --onlyvisible --name '^Vornex$' >/dev/null 2>&1 && return 0; sleep 0.5; done; return 1; }
quit_program() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# The home page and the page of each kind.
bash "$here/scripts/run.sh" > "$work/run1.log" 2>&1 &
program=$!
wait_for_window; sleep 2
shoot home
pages=(video image ppt pdf word)
tiles=(frameVideoComp frameImageComp framePPTComp framePDFComp frameWordComp)
for kind in 0 1 2 3 4; do
  click home "${tiles[$kind]}"
  shoot "page-${pages[$kind]}"
  click "$kind" btnReturn
done
quit_program "$program"

# Files in, smaller files out: one picture from the command line, two more through the add dialog
# (typed there, so in a folder with a plain name).
convert -size 800x600 plasma:fractal "$work/输入 文件/照片 一.png"
convert -size 1200x900 plasma:fractal -quality 95 "$work/more/landscape.jpg"
convert -size 640x480 gradient:blue-white "$work/more/icon.bmp"
bash "$here/scripts/run.sh" "$work/输入 文件/照片 一.png" > "$work/run2.log" 2>&1 &
program=$!
wait_for_window; sleep 2
for name in landscape.jpg icon.bmp; do
  click 1 btnAddFile
  sleep 1
  xdotool type --delay 20 "$work/more/$name"
  xdotool key Return
  sleep 1
done
click 1 btnCompress
sleep 12
shoot rows-finished
click 1 btnHistory
xdotool mousemove 1900 1290
sleep 1
import -window root "$work/screen.png"
history_id="$(xdotool search --onlyvisible --name '^HistoryWidget$' | head -n 1)"
eval "$(xdotool getwindowgeometry --shell "$history_id")"
convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/history-session-$factor.png"
quit_program "$program"
