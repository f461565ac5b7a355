#!/usr/bin/env bash
# Shows the extension's entry "用Vornex打开" in Thunar's context menu for a PNG file, under Xvfb,
# and saves the screen as docs/screenshots/shellext-context-menu.png. Registration goes to a
# temporary home, never the user's own.
# Usage: scripts/screenshot-shellext.sh   (after a build into build/, or VX_BUILD_DIR)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${VX_BUILD_DIR:-$here/build}/bin"
out="$here/docs/screenshots/shellext-context-menu.png"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export HOME="$work/home" XDG_DATA_DIRS="$work/share:/usr/share" XDG_CONFIG_DIRS="$work/etc:/etc/xdg"
export XDG_RUNTIME_DIR="$work/runtime" VX_MACHINE_STATE="$work/machine"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_STATE_HOME
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/share" "$work/etc" "$work/样例"
chmod 700 "$XDG_RUNTIME_DIR"
"$bin/VornixExplorer" --register --user
convert -size 96x96 xc:'#1E7AE0' "$work/样例/假期照片.png"

# Inside the virtual display: open the folder, select its one file, open its context menu.
cat > "$work/show.sh" <<'INNER'
set -euo pipefail
thunar "$1" >/dev/null 2>&1 &
thunar_pid=$!
window=$(xdotool search --sync --onlyvisible --name ' - Thunar$' | head -1)
# No window manager runs: place and focus the window directly.
xdotool windowsize "$window" 900 600 windowmove "$window" 40 40 windowfocus --sync "$window"
sleep 2
xdotool key --window "$window" Home
sleep 0.5
xdotool key --window "$window" shift+F10
sleep 1.5
import -window root "$2"
kill "$thunar_pid"
INNER
xvfb-run -a -s "-screen 0 1000x700x24" dbus-run-session -- bash "$work/show.sh" "$work/样例" "$out"
"$bin/VornixExplorer" --unregister --user
echo "saved $out"
