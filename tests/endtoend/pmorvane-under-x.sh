#!/usr/bin/env bash
# PMorvane started as a user starts it, under a real X server (Xvfb):
#  - alone, the levels window "Form1" is shown, and closing it by its frame ends
#    the process with status 0;
#  - with the worked example, as the desktop's menu entry opens a file, the data
#    window "CalcForm" is shown and the levels window is not, and closing the
#    data window by its frame ends the process with status 0;
#  - with a file that does not exist, the message box "PMorvane" is shown and,
#    once closed, the levels window, whose frame ends the process.
# Arguments: the PMorvane executable, the close_x_window helper, the worked example.
set -euo pipefail
pmorvane=$1
closer=$2
example=$3
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  pmorvane=$1 closer=$2
  # Starts PMorvane with the arguments after the first; closes the windows named
  # in the first (comma-separated, in order), checking that Form1 is not shown
  # beside CalcForm; then expects the process to end with status 0.
  run() {
    local windows=$1; shift
    "$pmorvane" "$@" & local pid=$!
    local window
    for window in ${windows//,/ }; do
      if [[ $window == CalcForm ]] && ! { "$closer" --keep CalcForm >/dev/null && "$closer" --absent Form1; }; then
        kill "$pid"; return 1
      fi
      if ! "$closer" "$window"; then kill "$pid"; return 1; fi
    done
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then echo "PMorvane $* still running after its window closed"; kill "$pid"; return 1; fi
    wait "$pid"; local status=$?
    echo "PMorvane $*: exited with status $status"
    return "$status"
  }
  run Form1 &&
  run CalcForm "$3" &&
  run PMorvane,Form1 /nonexistent/study.dat
' _ "$pmorvane" "$closer" "$example"
