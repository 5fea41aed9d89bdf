#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a while from its seed corpus.
#   scripts/fuzz.sh [SECONDS_EACH] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
scripts/setup.sh
scripts/build.sh --fuzz
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(find build-fuzz/fuzz -maxdepth 2 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
fi
failed=0
for t in "${targets[@]}"; do
  bin=$(find build-fuzz/fuzz -maxdepth 2 -type f -name "$t" | head -n 1)
  work=$(mktemp -d)
  if [ -d "fuzz/corpus/$t" ]; then cp -r "fuzz/corpus/$t/." "$work/"; fi
  extra=()
  if [ -d "build-fuzz/corpus-extra/$t" ]; then extra+=("build-fuzz/corpus-extra/$t"); fi
  echo "fuzz: $t for ${seconds}s"
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
      "$work" "${extra[@]}" >"$work.log" 2>&1; then
    echo "fuzz: $t FAILED"; tail -n 40 "$work.log"; failed=1
  else
    grep -E '^Done|^#[0-9]+.*DONE' "$work.log" | tail -n 1 || true
  fi
  rm -rf "$work" "$work.log"
done
exit $failed
