#!/bin/sh
# Runs a command on a virtual X display of its own, with a window manager,
# as a person's desktop has: the display-needing tests run under this.
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" sh -c '
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  # The window manager is ready when it has claimed the root window.
  for i in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  "$@"
  status=$?
  kill $wm 2>/dev/null
  exit $status' sh "$@"
