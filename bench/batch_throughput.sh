#!/usr/bin/env bash
# Cards per second of `vantrelo-render batch` for a 1000-row CSV with the
# default avatar, with --jobs 1 and --jobs 2, written as BMP files into a
# fresh folder on disk ($TMPDIR, else /var/tmp); the best of three runs counts.
set -euo pipefail
bin=${1:-build/bin}
rows=${2:-1000}
work=$(mktemp -d "${TMPDIR:-/var/tmp}/vantrelo-batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
{
  echo "file,template,nickname,board,post,contact"
  for ((i = 0; i < rows; i++)); do
    echo "card$i,$((i % 7 + 1)),Member $i,www.morvidane.example,版主,$((10000 + i))@morvidane.example"
  done
} >"$work/rows.csv"
for jobs in 1 2; do
  best=0
  for run in 1 2 3; do
    rate=$("$bin/vantrelo-render" batch "$work/rows.csv" --out-dir "$work/out-$jobs-$run" --jobs "$jobs" 2>&1 |
      sed -n 's/.*(\([0-9]*\) cards\/s).*/\1/p')
    [ "${rate:-0}" -gt "$best" ] && best=$rate
    rm -rf "$work/out-$jobs-$run"
  done
  echo "batch of $rows cards, --jobs $jobs:                ${best} cards/s"
done
