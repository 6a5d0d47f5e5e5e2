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
#
# Then, on that data file: opened and closed with 終了 unchanged, the program
# ends at once. Opened again: a score typed, a block with a quoted line break
# pasted from the X clipboard (the value left out, the rows in place), a score
# typed on the second tab; three undos and two redos (Ctrl+Z, Ctrl+Shift+Z,
# Ctrl+Y) leave the typed score and the paste; a few seconds later the
# recovery file holds that study byte for byte, and PMorvane is killed with
# SIGKILL. Started again, it offers the study (はい), shows it, and 終了 asks
# the question: キャンセル keeps it, 保存 saves the same bytes and the recovery
# folder is left empty.
# Arguments: the PMorvane executable, the morvane tool; a third, a folder,
# receives pictures of the screen (XWD) on the way.
set -euo pipefail
pmorvane=$1
tool=$2
shots=${3:-}
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

# What the second run leaves: a1's (b1, s1) typed over with 99 and the block
# 11 12 / (left out) 14 / 15 16 pasted from (b1, s2).
{
  printf '5\r\n2\r\n3\r\n\r\n \r\n\r\n \r\n \r\n'
  for a in 1 2; do for b in 1 2 3; do for s in 1 2 3 4 5; do
    v=$(score $a $b $s)
    if ((a == 1)); then
      case $b,$s in 1,1) v=99 ;; 1,2) v=11 ;; 2,2) v=12 ;; 2,3) v=14 ;; 1,4) v=15 ;; 2,4) v=16 ;; esac
    fi
    printf '%s\r\n' "$v"
  done; done; done
} >"$work/recovered.dat"

# The recovery files go to the test's own folder.
export XDG_STATE_HOME=$work/state
# The pictures are copies of Xvfb's frame buffer (XWD), what the screen shows.
fb=$(mktemp -d)
trap 'rm -rf "$work" "$fb"' EXIT
export work pmorvane shots fb
xvfb-run -a -s "-screen 0 1024x768x24 -fbdir $fb" bash -c '
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
  # Tab leaves the grid for the buttons from the top: 保存, then 計算, Enter: the file dialog.
  press Tab Tab Return
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
  [ -z "$(ls -A "$XDG_STATE_HOME/pmorvane" 2>/dev/null)" ] || { echo "a recovery file was left after the save"; exit 1; }

  # Unchanged, 終了 (the fifth button from the grid) ends the program without a question.
  "$pmorvane" "$work/saved.dat" & pid=$!
  calc=$(xdotool search --sync --onlyvisible --name "^CalcForm\$" | head -1)
  xdotool windowactivate --sync "$calc"
  sleep 0.5
  press Tab Tab Tab Tab Tab Return
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then echo "an unchanged study asked before it closed"; kill "$pid"; exit 1; fi
  wait "$pid"

  # A score, a paste from the real clipboard, a score on a2; undo and redo.
  "$pmorvane" "$work/saved.dat" & pid=$!
  calc=$(xdotool search --sync --onlyvisible --name "^CalcForm\$" | head -1)
  xdotool windowactivate --sync "$calc"
  sleep 0.5
  xdotool type "99"; press Return
  printf "11\t\"12\"\r\n\"x\ny\"\t14\r\n15\t16\r\n" | xclip -selection clipboard
  press ctrl+v
  # One value held a line break: the warning, closed with Enter.
  for _ in $(seq 50); do [ "$(active)" != "$calc" ] && break; sleep 0.1; done
  [ "$(active)" != "$calc" ] || { echo "no message for the value left out of the paste"; kill "$pid"; exit 1; }
  [ -z "$shots" ] || { sleep 0.5; cp "$fb/Xvfb_screen0" "$shots/paste-left-out.xwd"; }
  press Return
  for _ in $(seq 50); do [ "$(active)" = "$calc" ] && break; sleep 0.1; done
  press shift+Tab Right Tab
  xdotool type "77"; press Return
  press ctrl+z ctrl+z ctrl+z
  press ctrl+shift+z ctrl+y
  [ -z "$shots" ] || { sleep 0.5; cp "$fb/Xvfb_screen0" "$shots/after-undo.xwd"; }
  # Kept three seconds after the last step; then killed.
  kept=""
  for _ in $(seq 100); do
    kept=$(ls "$XDG_STATE_HOME"/pmorvane/pmorvane-"$pid".dat 2>/dev/null || true)
    [ -n "$kept" ] && cmp -s "$kept" "$work/recovered.dat" && break
    sleep 0.1
  done
  if [ -z "$kept" ] || ! cmp "$kept" "$work/recovered.dat"; then
    echo "the recovery file does not hold the study typed, pasted, undone and redone"; kill "$pid"; exit 1
  fi
  kill -KILL "$pid"; wait "$pid" 2>/dev/null || true

  # Started again: offered, はい; 終了 asks, キャンセル keeps it, then 保存.
  "$pmorvane" & pid=$!
  box=$(xdotool search --sync --onlyvisible --name "^PMorvane\$" | head -1)
  xdotool windowactivate --sync "$box"
  sleep 0.5
  [ -z "$shots" ] || { sleep 0.5; cp "$fb/Xvfb_screen0" "$shots/recovery-offered.xwd"; }
  press Return
  calc=$(xdotool search --sync --onlyvisible --name "^CalcForm\$" | head -1)
  xdotool windowactivate --sync "$calc"
  sleep 0.5
  [ -n "$(ls "$XDG_STATE_HOME"/pmorvane/pmorvane-"$pid".dat 2>/dev/null)" ] || { echo "the restored study is not kept"; kill "$pid"; exit 1; }
  press Tab Tab Tab Tab Tab Return
  for _ in $(seq 50); do [ "$(active)" != "$calc" ] && break; sleep 0.1; done
  [ "$(active)" != "$calc" ] || { echo "the restored study closed without the question"; kill "$pid"; exit 1; }
  press Escape
  sleep 1
  kill -0 "$pid" 2>/dev/null || { echo "キャンセル ended the program"; exit 1; }
  press Return
  for _ in $(seq 50); do [ "$(active)" != "$calc" ] && break; sleep 0.1; done
  sleep 0.5
  press Return
  sleep 1
  xdotool type --delay 20 "$work/restored.dat"
  press Return
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then echo "PMorvane still running after 保存"; kill "$pid"; exit 1; fi
  wait "$pid"
'
if ! cmp "$work/restored.dat" "$work/recovered.dat"; then
  echo "the restored study, saved, is not the one that was killed"
  exit 1
fi
if [ -n "$(ls -A "$work/state/pmorvane")" ]; then
  echo "recovery files left after the restored study was saved: $(ls "$work/state/pmorvane")"
  exit 1
fi
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
echo "an unchanged study closed at once; typed, pasted, undone and redone, killed, offered again and saved byte for byte"
