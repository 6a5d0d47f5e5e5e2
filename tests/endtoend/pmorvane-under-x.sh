#!/usr/bin/env bash
# PMorvane started as a user starts it, under a real X server (Xvfb): the design
# window "Form1" is shown, and closing it by its frame ends the process with
# status 0. Arguments: the PMorvane executable, the close_x_window helper.
set -euo pipefail
pmorvane=$1
closer=$2
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  "$1" ignored-argument & pid=$!
  if ! "$2" Form1; then kill "$pid"; exit 1; fi
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then echo "PMorvane still running after its window closed"; kill "$pid"; exit 1; fi
  wait "$pid"; status=$?
  echo "PMorvane exited with status $status"
  exit "$status"
' _ "$pmorvane" "$closer"
