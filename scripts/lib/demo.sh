# scripts/demo without its build: the example reader simulated on a pseudo-terminal as COM1, and Corvane in a
# folder of its own with the files of examples/. Source it after prepare.sh and screen.sh, from the repository.

# run_demo BUILD_FOLDER [program arguments...]
run_demo() {
  local build=$1
  shift
  local folder
  folder=$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo.XXXXXX")
  # Corvane keeps its INI beside the program file (a link would be followed back to the build folder).
  cp "$build/src/app/corvane" examples/CORVANE.INI examples/M100.TPL examples/BENCH.CFG "$folder/"
  coproc SIMULATOR { exec "$build/tests/support/reader_sim"; }
  # Ends the simulator however the script ends; the program's copy goes, the files saved in the folder stay.
  trap "kill $SIMULATOR_PID 2>/dev/null || true; wait $SIMULATOR_PID 2>/dev/null || true; rm -f '$folder/corvane'" EXIT
  local device
  if ! read -r device <&"${SIMULATOR[0]}"; then
    echo "The reader simulator did not start." >&2
    return 1
  fi
  echo "A simulated M100 reader answers on COM1 ($device). Corvane works in $folder; press Connect."
  cd "$folder"
  SERIAL_COM1=$device SERIAL_NO_DEFAULT_PORTS=1 run_on_screen ./corvane "$@"
}
