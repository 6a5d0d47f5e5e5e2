#!/usr/bin/env bash
# A user who only uses the keyboard, under a real X server (Xvfb) with a window
# manager (openbox), driven by xdotool: names two levels of A and three of B
# with the buttons, sets N to 5, presses ＯＫ, types all thirty scores cell by
# cell with the arrows and Enter from the first score, where the data window
# opens, presses 計算 with Enter, types the results file's name into the file
# dialog, and ends the program with Enter on 終了; asked whether to save the
# unsaved scores, answers 保存 with Enter and types the data file's name.
# The results file must be the one `morvane report` writes for the same study,
# and the data file the study itself.
# Arguments: the PMorvane executable, the morvane tool.
set -euo pipefail
pmorvane=$1
tool=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset QT_QPA_PLATFORM

score() {  # level of A, level of B, subject
  echo $((($1 * 7 + $2 * 13 + $3 * $3 * 3 + $1 * $2 * $3) % 17 + 1))
}

# The same study as a data file: N, na, nb, the names (the first level of each
# unnamed, the added ones named by one space), the scores A outermost, subject innermost.
{
  printf '5\r\n2\r\n3\r\n\r\n \r\n\r\n \r\n \r\n'
  for a in 1 2; do for b in 1 2 3; do for s in 1 2 3 4 5; do printf '%s\r\n' "$(score $a $b $s)"; done; done; done
} >"$work/study.dat"
"$tool" report "$work/study.dat" "$work/expected.txt"

# The keys for one level of A, from cell (1, 1): down each column with Enter,
# then Right and Up to the top of the next one.
level_keys() {
  local a=$1 keys=()
  for b in 1 2 3; do
    for s in 1 2 3 4 5; do
      keys+=("type:$(score "$a" "$b" "$s")" Return)
    done
    ((b < 3)) && keys+=(Right Up Up Up Up)
  done
  printf '%s\n' "${keys[@]}"
}
level_keys 1 >"$work/a1.keys"
level_keys 2 >"$work/a2.keys"

export work pmorvane
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  openbox >/dev/null 2>&1 &
  sleep 1
  "$pmorvane" & pid=$!
  press() { xdotool key --delay 60 "$@"; sleep 0.2; }
  play() {  # a file of keys, "type:TEXT" to type a text
    while read -r k; do
      case $k in type:*) xdotool type --delay 40 "${k#type:}" ;; *) xdotool key "$k" ;; esac
      sleep 0.05
    done <"$1"
  }
  active() { xdotool getactivewindow 2>/dev/null || echo none; }
  form1=$(xdotool search --sync --onlyvisible --name "^Form1\$" | head -1)
  xdotool windowactivate --sync "$form1"
  sleep 0.5
  # ＯＫ has the focus: Tab four times to 追加（Ａ）, Enter; twice more to 追加（Ｂ）, Enter twice;
  # on to N (its text selected), 5; on to ＯＫ, Enter.
  press Tab Tab Tab Tab Return
  press Tab Tab Return Return
  press Tab Tab
  xdotool type "5"
  press Tab Tab Return
  calc=$(xdotool search --sync --onlyvisible --name "^CalcForm\$" | head -1)
  xdotool windowactivate --sync "$calc"
  sleep 0.5
  # The first score has the focus: the scores of a1; back to the tabs, Right
  # to a2, into the grid and back to (1, 1) with Left and Up.
  play "$work/a1.keys"
  press shift+Tab Right
  press Tab Left Left Up Up Up Up
  play "$work/a2.keys"
  # Tab leaves the grid for 分析, then 終了, then 計算, Enter: the file dialog.
  press Tab Tab Tab Return
  for _ in $(seq 50); do [ "$(active)" != "$calc" ] && break; sleep 0.1; done
  sleep 0.5
  xdotool type --delay 20 "$work/results.txt"
  press Return
  for _ in $(seq 50); do [ -s "$work/results.txt" ] && [ "$(active)" = "$calc" ] && break; sleep 0.1; done
  sleep 0.3
  # The focus went to 終了: Enter asks whether to save, and Enter on 保存
  # opens the save dialog; the name, Enter, and the program ends.
  press Return
  for _ in $(seq 50); do [ "$(active)" != "$calc" ] && break; sleep 0.1; done
  sleep 0.5
  press Return
  sleep 1
  xdotool type --delay 20 "$work/saved.dat"
  press Return
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then echo "PMorvane still running"; kill "$pid"; exit 1; fi
  wait "$pid"
'
if ! cmp "$work/results.txt" "$work/expected.txt"; then
  echo "the results file differs from what morvane report writes for the typed study"
  diff <(iconv -f CP932 -t UTF-8 "$work/expected.txt") <(iconv -f CP932 -t UTF-8 "$work/results.txt") || true
  exit 1
fi
if ! cmp "$work/saved.dat" "$work/study.dat"; then
  echo "the data file saved on the way out is not the typed study"
  exit 1
fi
echo "30 scores typed with the keyboard alone; the results file and the data file saved on closing are the expected ones"
