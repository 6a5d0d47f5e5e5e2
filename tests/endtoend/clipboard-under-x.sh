#!/usr/bin/env bash
# The results window under a real X server (Xvfb) with a window manager
# (openbox), on a 1600 x 1200 and on a 1024 x 768 screen: PMorvane opens a
# study, 分析 is pressed with the keyboard, and the results window must lie
# wholly on the screen, beside the data window where there is room for it.
# Ctrl+Shift+C in it must offer the summary table on the clipboard as HTML,
# RTF and plain text (xclip asks for the TARGETS, as a word processor does).
# Arguments: the PMorvane executable, a study; a folder, if given, receives a
# picture of each screen (Xvfb's frame buffer, XWD).
set -euo pipefail
pmorvane=$1
study=$2
pictures=${3:-}
unset QT_QPA_PLATFORM
export pmorvane study pictures

for screen in 1600x1200 1024x768; do
  fb=$(mktemp -d)
  export screen fb
  xvfb-run -a -s "-screen 0 ${screen}x24 -fbdir $fb" bash -c '
    set -euo pipefail
    openbox >/dev/null 2>&1 &
    sleep 1
    "$pmorvane" "$study" & pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    fail() { echo "$screen: $*"; exit 1; }
    geometry() {  # the frame of window $1: X Y WIDTH HEIGHT, the frame included
      local id=$1 frame
      frame=$(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null | grep -o "[0-9, ]*$" || echo "0, 0, 0, 0")
      IFS=", " read -r left right top bottom <<<"$frame"
      local info x y w h
      info=$(xwininfo -id "$id")
      x=$(sed -n "s/.*Absolute upper-left X: *//p" <<<"$info")
      y=$(sed -n "s/.*Absolute upper-left Y: *//p" <<<"$info")
      w=$(sed -n "s/^ *Width: *//p" <<<"$info")
      h=$(sed -n "s/^ *Height: *//p" <<<"$info")
      echo $((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))
    }
    calc=$(xdotool search --sync --onlyvisible --name "^CalcForm\$" | head -1)
    xdotool windowactivate --sync "$calc"
    sleep 0.5
    # The first score has the focus; Tab leaves the grid for the buttons from
    # the top: 保存, 計算, 印刷, 分析.
    xdotool key --delay 80 Tab Tab Tab Tab Return
    analysis=$(xdotool search --sync --onlyvisible --name "^分析結果\$" | head -1)
    sleep 1
    xdotool windowactivate --sync "$analysis"
    sleep 0.3
    read -r ax ay aw ah <<<"$(geometry "$analysis")"
    read -r cx cy cw ch <<<"$(geometry "$calc")"
    read -r sw sh <<<"${screen/x/ }"
    echo "$screen: data window ${cw}x${ch}+${cx}+${cy}, results window ${aw}x${ah}+${ax}+${ay}"
    ((ax >= 0 && ay >= 0 && ax + aw <= sw && ay + ah <= sh)) || fail "the results window is not wholly on the screen"
    if ((sw - cx - cw >= 736)); then
      ((ax >= cx + cw)) || fail "the results window is not to the right of the data window"
    fi

    xdotool key --delay 80 ctrl+shift+c
    sleep 0.5
    targets=$(timeout 5 xclip -selection clipboard -t TARGETS -o) || fail "nothing on the clipboard"
    for wanted in text/html text/rtf application/rtf text/plain; do
      grep -qx "$wanted" <<<"$targets" || fail "the clipboard does not offer $wanted: $(echo $targets)"
    done
    html=$(timeout 5 xclip -selection clipboard -t text/html -o)
    [[ $html == *"<table"* ]] || fail "the HTML on the clipboard has no table: $html"
    if [[ -n $pictures ]]; then cp "$fb/Xvfb_screen0" "$pictures/analysis-under-x-$screen.xwd"; fi
    echo "$screen: the clipboard offers $(echo $targets)"
  '
  rm -rf "$fb"
done
