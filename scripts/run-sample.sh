#!/usr/bin/env bash
# The converter's main job on the generated sample map. With a display, the
# sample classes are drawn into a working folder and the window opens there,
# ready for the classes to be picked. Without one, the batch command makes
# the sample database: three classes, each twice the scale of the one above,
# in 16 grey levels with dithering, texts and corner coordinates
# (uncompressed, as the viewer shows a calibrated map fastest); then the
# database is described.
set -euo pipefail
build="${1:-build}"
out="${build}/sample"
mkdir -p "$out"

"$build/plotvane2-sample" classes "$out" >/dev/null
echo "Sample classes: $out/class1.bmp (480x320), class2.bmp (960x640), class3.bmp (1920x1280)"

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  if [[ -x "$build/plotvane2" ]]; then
    program="$(cd "$build" && pwd)/plotvane2"
    echo "Opening the window in $out: pick class1.bmp, class2.bmp and class3.bmp with the Class 1 to 3 buttons."
    cd "$out"
    exec "$program"
  fi
  echo "The window was not built (PLOTVANE_BUILD_QT=OFF); running the batch sample instead."
else
  echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): running the batch sample instead of the window."
fi

rm -f "$out/sample.pdb"
"$build/plotvane2-cli" make -o "$out/sample.pdb" \
  --name "Sample Bay" --version 10023 --mode 4 --dither \
  --upper-left 35:41:20.5,139:41:10 --bottom-right 35:39:50,139:44:30.25 \
  --text 96,36,"North Bay harbour" --text 264,128,"Riverton station" \
  --text 374,198,"Green Wood camp" \
  --view none --edit readonly \
  "$out/class1.bmp" "$out/class2.bmp" "$out/class3.bmp"
echo
"$build/plotvane2-cli" info "$out/sample.pdb"
