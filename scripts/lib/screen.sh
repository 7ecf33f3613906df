# Starting the program where it can show its windows. Source it after prepare.sh.

# Runs a command on the display; where there is none (and Qt does not draw offscreen), on a virtual screen, and
# says so, since its windows cannot be seen there.
run_on_screen() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    ensure_packages xvfb xauth
    echo "No display: starting Corvane on a virtual screen (Xvfb), where its windows cannot be seen; Ctrl+C ends it."
    xvfb-run -a "$@"
  else
    "$@"
  fi
}
