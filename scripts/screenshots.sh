#!/usr/bin/env bash
# Pictures of brisco for the README: runs the panel on the simulated camera under a virtual X
# server, opens its pages and main dialogs with the keyboard as a user would (menus by their
# mnemonics, pages with Ctrl+Tab) and writes one PNG per window into docs/screenshots/.
#
# Usage: scripts/screenshots.sh [BRISCO]   (default: build/release/panel/brisco)
# Needs: Xvfb (xvfb-run), xdotool, ImageMagick's import. Re-run it when windows change.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
brisco="$(realpath "${1:-$root/build/release/panel/brisco}")"
out="$root/docs/screenshots"

# One line per picture, fields separated by "|":
#   file name | keys that open the window (xdotool key names, space separated; empty: none) |
#   title of the window to take (extended regular expression) | keys that close it afterwards
# Pages are taken from the main window; keys go to the window that has the focus.
shots=(
    "page-device||^Tavro camera control center|"
    "page-sensor|ctrl+Tab|^Tavro camera control center|"
    "page-camera|ctrl+Tab|^Tavro camera control center|"
    "page-peripherals|ctrl+Tab|^Tavro camera control center|ctrl+Tab"
    "preferences|alt+t r|^Preferences\$|Escape"
    "presets|alt+p p c|^Setup quick-load for presets\$|Escape"
    "color_grading_hue_vs_hue|ctrl+F1|^Hue vs. Hue|Escape"
    "green_screen|F7|^Configure the chroma key enhancer|Escape"
    "cmx|alt+p c|^Color correction matrix\$|Escape"
    "about|alt+h a|^About brisco\$|Return"
)

for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing" >&2; exit 1; }
done
[[ -x "$brisco" ]] || { echo "screenshots.sh: no program at $brisco (build it first)" >&2; exit 1; }

# Inside a virtual X server of its own; the user's display and preferences are never touched.
if [[ -z "${TAVRO_SCREENSHOTS_DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" env TAVRO_SCREENSHOTS_DISPLAY=1 "$0" "$brisco"
fi

config="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$config"' EXIT
mkdir -p "$config/Tavro" "$out"
# Expert and beta menus on, so that every dialog is reachable; no device tracking.
printf '[Tavro%%20camera%%20control%%20center]\nExpert=1\nBetaOn=1\nDevNotify=0\n' \
    >"$config/Tavro/Webcam tools.conf"

XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=xcb TAVRO_SIM="${TAVRO_SIM:-cameras=1}" \
    "$brisco" --simulate >/dev/null 2>&1 &
pid=$!

# The id of the visible window whose title matches, waiting up to ten seconds.
window_named() {
    local id
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n 1 || true)"
        if [[ -n "$id" ]]; then
            echo "$id"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || { echo "screenshots.sh: brisco ended" >&2; return 1; }
        sleep 0.1
    done
    echo "screenshots.sh: no window titled '$1'" >&2
    return 1
}

keys() {
    local window="$1"
    shift
    [[ $# -gt 0 ]] || return 0
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    for key in "$@"; do
        xdotool key --clearmodifiers "$key"
        sleep 0.3
    done
}

main="$(window_named '^Tavro camera control center')"
# The first read of the camera runs behind a splash; let it end.
sleep 2

for shot in "${shots[@]}"; do
    IFS='|' read -r name open title close <<<"$shot"
    # shellcheck disable=SC2086  # the key lists split into keys
    keys "$main" $open
    window="$(window_named "$title")"
    sleep 0.5
    import -window "$window" "$out/$name.png"
    echo "$out/$name.png"
    # shellcheck disable=SC2086
    keys "$window" $close
done
