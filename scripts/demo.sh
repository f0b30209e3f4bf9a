#!/usr/bin/env bash
# Installs what is needed, builds (Release), prepares a demo program folder
# (installation data plus a generated master file pair NR001M.H10 /
# NR001L.H10) and starts tolv on it.  Without a display tolv runs under a
# virtual X server for a short while; the outputs are listed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
bash scripts/install-deps.sh
bash scripts/build.sh

demo="$top/demo"
mkdir -p "$demo"
build/nrinstall data "$demo" >/dev/null
# Two days of hourly 20-minute bursts at 0.5 s: pressure and two current components.
build/nrsynth --out "$demo" --prefix NR001 --bursts 48 --duration 20 --interval 60 --code 1 \
  --channels 1,2,3 --hs 1.6 --tp 9 --dir 200 --depth 12 --current 0.25 --tide 0.6 --seed 7 \
  --start "2026-05-06 00:00" >/dev/null
# The settings name the master file so that tolv opens it at start-up.
cp -f "$demo/tolvi.org" "$demo/tolvi.ini"
build/nrini "$demo/tolvi.ini" set 98 0 "$demo/NR001M.H10"

export VARENTA_HOME="$demo"
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting tolv on $demo"
  exec build/tolv
fi

echo "No display: running tolv under a virtual X server for 20 seconds."
shot="$demo/screenshot.png"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
  build/tolv & pid=\$!
  sleep 15
  import -window root '$shot' || true
  sleep 5
  kill \$pid 2>/dev/null || true
  wait \$pid 2>/dev/null || true
" || true
echo
echo "Outputs in $demo:"
ls -1 "$demo" | grep -E '^NR.*(g\.(txt|bmp|jpg)|h\.htm)$|screenshot\.png' | sed 's/^/  /' || true
echo "Screenshot of the main window: $shot"
