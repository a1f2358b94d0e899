# Times the phases of scripts/setup and scripts/test, and prints them when the
# outermost of the two ends (also when a phase fails), so a slow phase shows at
# the end of every log. Sourced. `phase NAME` ends the running phase and
# starts NAME; a phase named "download: ..." is time spent fetching packages,
# which the total shows apart from the rest.

if [ -z "${ZANDREL_PHASE_LOG:-}" ]; then
  ZANDREL_PHASE_LOG=$(mktemp)
  export ZANDREL_PHASE_LOG
  phase_owner=1
else
  phase_owner=0
fi
phase_name=""
phase_start=$SECONDS

phase_close() {
  local status=${1:-0}
  if [ -n "$phase_name" ]; then
    local took=$((SECONDS - phase_start)) mark=""
    [ "$status" -eq 0 ] || mark="  (failed)"
    printf '%s\t%d\t%s\n' "$phase_name" "$took" "$mark" >>"$ZANDREL_PHASE_LOG"
  fi
  phase_name=""
}

phase() {
  phase_close
  phase_name=$1
  phase_start=$SECONDS
}

phase_exit() {
  local status=$?
  phase_close "$status"
  if [ "$phase_owner" -eq 1 ]; then
    awk -F'\t' '
      function clock(s) { return sprintf("%d:%02d", s / 60, s % 60) }
      { printf "  %-46s %7s%s\n", $1, clock($2), $3
        if ($1 ~ /^download: /) fetched += $2; else worked += $2 }
      END { printf "  %-46s %7s\n  %-46s %7s\n", "total without downloads", clock(worked),
                   "downloads", clock(fetched) }' "$ZANDREL_PHASE_LOG" | sed '1i == Phase times'
    rm -f "$ZANDREL_PHASE_LOG"
  fi
  return "$status"
}
trap phase_exit EXIT
