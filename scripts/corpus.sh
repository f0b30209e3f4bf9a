#!/usr/bin/env bash
# The malformed-input corpus, run black-box: builds tolv and the corpus
# generator (Release, build/), writes the damaged program folders into
# build/corpus/ and starts tolv offscreen once in each.  When tolv takes a
# script (--script FILE), each run is the script "quit" and must end on its
# own within SECONDS (default 10) with exit status 0; otherwise tolv runs
# for PLAIN_SECONDS (default 4) and is then ended with SIGTERM.  Afterwards every file that
# was in the folder must be there byte for byte, except "tolvi.ini", which
# must still hold the user's values, and the files the corpus lists as
# rewritable in place (a results file whose records the results table
# repairs) must keep their size.  Prints a table; exits non-zero on any
# crash, hang or changed file.
#
#   scripts/corpus.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
limit=${1:-10}
plain=${PLAIN_SECONDS:-4}
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
nice cmake --build build -j"$jobs" --target tolv nrini make_damaged_folders >/dev/null || exit 1

corpus="$top/build/corpus"
build/tests/make_damaged_folders "$corpus" "$top/data" || exit 1
printf 'quit\n' >"$corpus/quit.txt"
export QT_QPA_PLATFORM=offscreen

# Runs tolv in folder $1; sets rc (exit status, 128+signal) and how
# ("quit", "sigterm" or "hang").
run_tolv() {
  local dir=$1 out=$2
  VARENTA_HOME="$dir" timeout -s TERM -k 5 "$3" "$top/build/tolv" -platform offscreen \
    ${scripted:+--script "$corpus/quit.txt"} >"$out" 2>&1 </dev/null
  rc=$?
}

# Does tolv take a script?  One scripted run on the intact folder tells.
scripted=1
probe=$(mktemp -d)
cp -a "$corpus/00-intact/." "$probe/"
run_tolv "$probe" "$probe.out" "$limit"
if [ "$rc" -ne 0 ]; then
  scripted=
fi
rm -rf "$probe" "$probe.out"
mode=${scripted:+script}
echo "mode: ${mode:-plain start, SIGTERM after $plain s}"
[ -n "$scripted" ] || limit=$plain

tried=0 crashes=0 hangs=0 changed=0
printf '%-34s %-8s %-7s %s\n' folder run files detail
while IFS=$'\t' read -r name description keep rewritable; do
  dir="$corpus/$name"
  sums=$(cd "$dir" && find . -type f ! -name tolvi.ini -print0 | xargs -0 sha256sum)
  inibefore=$( [ -f "$dir/tolvi.ini" ] && sha256sum <"$dir/tolvi.ini" )
  if [ "$rewritable" != "-" ]; then
    mkdir -p "$corpus/.sizes/$name"
    cp "$dir/$rewritable" "$corpus/.sizes/$name/"
  fi
  run_tolv "$dir" "$corpus/$name.out" "$limit"
  tried=$((tried + 1))
  run=ok
  if [ -n "$scripted" ]; then
    case $rc in
      0) ;;
      124|137) run=HANG; hangs=$((hangs + 1)) ;;
      *) run="CRASH($rc)"; crashes=$((crashes + 1)) ;;
    esac
  else
    # timeout's own status 124 means tolv was still running when ended.
    case $rc in
      124|0) ;;
      137) run=HANG; hangs=$((hangs + 1)) ;;
      *) run="CRASH($rc)"; crashes=$((crashes + 1)) ;;
    esac
  fi
  files=same
  detail=
  after=$(cd "$dir" && find . -type f ! -name tolvi.ini -print0 | xargs -0 sha256sum)
  for f in $(grep -vxF -f <(echo "$after") <<<"$sums" | awk '{print $2}'); do
    if [ "./$rewritable" = "$f" ] && [ -f "$dir/$f" ] && \
       [ "$(stat -c %s "$dir/$f")" = "$(stat -c %s "$corpus/.sizes/$name/$f" 2>/dev/null || echo x)" ]; then
      detail="$detail $f repaired in place"
      continue
    fi
    files=CHANGED
    detail="$detail $f"
  done
  iniafter=$( [ -f "$dir/tolvi.ini" ] && sha256sum <"$dir/tolvi.ini" )
  if [ "$iniafter" != "$inibefore" ] && [ "$keep" != "-" ]; then
    IFS=';' read -ra values <<<"$keep"
    for v in "${values[@]}"; do
      [ -n "$v" ] || continue
      read -r item value text <<<"$v"
      got=$("$top/build/nrini" "$dir/tolvi.ini" get "$item" "$value" 2>/dev/null)
      if [ "$got" != "$text" ]; then
        files=CHANGED
        detail="$detail tolvi.ini item $item value $value lost"
      fi
    done
  fi
  [ "$files" = same ] || changed=$((changed + 1))
  if [ -n "$scripted" ] && [ "$run" = ok ] && ! grep -q . "$corpus/$name.out"; then
    detail="$detail (no status line)"
  fi
  printf '%-34s %-8s %-7s %s\n' "$name" "$run" "$files" "$description${detail:+ -$detail}"
done <"$corpus/manifest.tsv"

echo
printf '| inputs tried | crashes | hangs | files changed |\n|---|---|---|---|\n| %d | %d | %d | %d |\n' \
  "$tried" "$crashes" "$hangs" "$changed"
[ $((crashes + hangs + changed)) -eq 0 ]
