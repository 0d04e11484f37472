# Sourced: starts a virtual display of our own on a free display number and
# exports DISPLAY and XDG_RUNTIME_DIR. stop_virtual_display ends it.
start_virtual_display() {
  local fifo display_file
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/shorturl-xdg.XXXXXX)}
  chmod 700 "$XDG_RUNTIME_DIR"
  display_file=$(mktemp /tmp/shorturl-display.XXXXXX)
  # -displayfd picks a free display number and writes it once the server is ready.
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x1024x24 3>"$display_file" \
    >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    [[ -s "$display_file" ]] && break
    sleep 0.1
  done
  if [[ ! -s "$display_file" ]]; then
    echo "could not start Xvfb" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
}

stop_virtual_display() {
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
