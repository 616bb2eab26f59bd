#!/usr/bin/env bash
# velmora-card over a whole log, as a user runs it: wall time, CPU time (user + system), cards
# per second of wall time and peak memory (maximum resident set) of each run.
#
#   bench/cli/batch.sh [CONTACTS] [REPEATS] [PER_CARD] [JOBS]
#
# CONTACTS (1000) contacts, each station about four times; REPEATS (3) runs of each case; the
# second case groups PER_CARD (4) contacts per card; JOBS composing threads (velmora-card's
# default, one per core, when not given). CPU time counts the system's work for the run too:
# on a file system without a journal, making a file skips every inode freed in the last minutes,
# so runs shortly after many files were removed (a previous run's cards) pay more. Needs the
# release build:
#   cmake --preset release && cmake --build --preset release --target velmora-card make_batch_input
# and /usr/bin/time (Debian package "time"). The cards go to a scratch folder on the same disk
# as TMPDIR, since flushing card files to the disk is part of the cost.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VELMORA_BUILD:-$here/../../build/release}"
contacts="${1:-1000}"
repeats="${2:-3}"
perCard="${3:-4}"
jobs=()
[ -n "${4:-}" ] && jobs=(--jobs "$4")
jobsLabel="${4:-default}"
card="$build/src/cli/velmora-card"
maker="$build/bench/make_batch_input"
for tool in "$card" "$maker" /usr/bin/time; do
    [ -x "$tool" ] || { echo "batch.sh: $tool is missing; build the release preset" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-batch.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$maker" "$work/log.adi" "$contacts" "$work/background.jpg"
printf '[User]\nCALLID=DL0BEN\nName=Bench Operator\nTKS=TNX FER QSO\nCountry=Germany\n' \
    >"$work/velmora.ini"

# One run: prints "cards wall cpu rss_kib".
run() {
    # A fresh folder per run: removing the last run's cards first would time the file system
    # skipping the inodes it just freed, not the program.
    local out
    out="$(mktemp -d "$work/cards.XXXXXX")"
    /usr/bin/time -f '%e %U %S %M' -o "$work/time.txt" \
        "$card" --adif "$work/log.adi" --out "$out" --background "$work/background.jpg" \
        --profile "$work/velmora.ini" "${jobs[@]}" "$@" >"$work/out.txt" 2>"$work/err.txt" || {
        echo "batch.sh: velmora-card failed:" >&2
        cat "$work/err.txt" >&2
        exit 1
    }
    local cards
    cards=$(find "$out" -name '*.jpg' | wc -l)
    read -r wall user sys rss <"$work/time.txt"
    echo "$cards $wall $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $rss"
}

report() {
    local label="$1"
    shift
    echo "== $label: $contacts contacts, $(nproc) cores, jobs $jobsLabel, load $(cut -d' ' -f1-3 /proc/loadavg)"
    for ((i = 1; i <= repeats; ++i)); do
        read -r cards wall cpu rss < <(run "$@")
        awk -v c="$cards" -v n="$contacts" -v w="$wall" -v u="$cpu" -v m="$rss" 'BEGIN {
            printf "  %d cards  wall %.2f s  cpu %.2f s  %.0f cards/s wall  %.0f cards/s cpu  %.1f us/contact wall  peak %.1f MiB\n",
                c, w, u, (w > 0 ? c / w : 0), (u > 0 ? c / u : 0), (w * 1e6) / n, m / 1024 }'
    done
}

report "one card per contact"
report "--per-card $perCard" --per-card "$perCard"
