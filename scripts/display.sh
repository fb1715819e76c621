# Sourced by the scripts that need a display: with none set, starts Xvfb on a
# free display number for the rest of the calling script and exports DISPLAY.
start_xvfb() {
  local n
  for n in $(seq 90 150); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      BRONDALE_XVFB_PID=$!
      for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
      done
      if kill -0 "$BRONDALE_XVFB_PID" 2>/dev/null; then
        export DISPLAY=":$n"
        trap 'kill "$BRONDALE_XVFB_PID" 2>/dev/null || true' EXIT
        return 0
      fi
    fi
  done
  echo "no free display for Xvfb" >&2
  return 1
}
