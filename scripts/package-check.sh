#!/usr/bin/env bash
# Checks the Debian package: builds it, validates the desktop entries, runs
# lintian (errors fail), unpacks it into a temporary root with dpkg-deb -x and
# runs the processing program from there as a new user would: HOME is a fresh
# folder, VARENTA_HOME is unset, the demo master file is opened and the
# program quits.  The per-user folder must be prepared and the start-up views
# written into it.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
bash scripts/package.sh >/dev/null
deb=$(ls build/varenta_*.deb)
echo "package: $deb"

desktop-file-validate packaging/tolv.desktop packaging/brenlo24.desktop
lintian_out=$(lintian --tag-display-limit 0 "$deb" || true)
[ -n "$lintian_out" ] && echo "$lintian_out"
if echo "$lintian_out" | grep -q '^E:'; then
  echo "lintian reports errors" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
mkdir -p "$work/home" "$work/demo"
for f in usr/bin/tolv usr/bin/brenlo24 usr/lib/varenta/emep2 usr/lib/varenta/bayes2 usr/share/varenta/tolvi.org \
         usr/share/applications/tolv.desktop usr/share/icons/hicolor/256x256/apps/tolv.png usr/share/man/man1/tolv.1.gz; do
  [ -e "$work/root/$f" ] || { echo "the package lacks /$f" >&2; exit 1; }
done
"$work/root/usr/bin/nrsynth" --out "$work/demo" --prefix NR001 --bursts 6 --duration 20 --interval 60 --code 1 \
  --channels 1,2,3 --hs 1.6 --tp 9 --dir 200 --depth 12 --current 0.25 --seed 7 --start "2026-05-06 00:00" >/dev/null
printf 'open %s\nwait-idle\nquit\n' "$work/demo/NR001M.H10" > "$work/run.script"
folder="$work/home/.local/share/varenta"
set +e
out=$(env -u VARENTA_HOME -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  "$work/root/usr/bin/tolv" -platform offscreen --script "$work/run.script" 2>&1)
rc=$?
set -e
echo "$out" | sed 's/^/  tolv: /'
[ $rc -eq 0 ] || { echo "the installed tolv ended with status $rc" >&2; exit 1; }
echo "$out" | grep -q "プログラムフォルダを準備しました: $folder" || { echo "no preparation notice" >&2; exit 1; }
for f in tolvi.org tolvf.org tolvg.org emep2.org bayes2.org tolvu.org help/brenlo24.html tolvi.ini NR22g.txt NR23g.txt NR24g.txt NR24g.bmp; do
  [ -e "$folder/$f" ] || { echo "the per-user folder lacks $f" >&2; ls "$folder" >&2; exit 1; }
done
echo "package check passed: per-user folder $folder prepared, start-up views written"
