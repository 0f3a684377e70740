# Shared by the shell tests; source it. Sets root (the repository) and:
#   need FILE...          exits unless every file is built
#   need_wine             starts Wine (tools/wine.sh) unless ./test already has
#   ok / not_ok / check   count results; finish NAME prints the counts and
#                         gives the status
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
me=$(basename "$0" .sh)
passed=0 failed=0
ok() { echo "ok - $1"; passed=$((passed + 1)); }
not_ok() { echo "FAIL - $1"; failed=$((failed + 1)); [ -z "${2:-}" ] || echo "  $2"; }
# check NAME TEST [DETAIL]: TEST is a shell condition, evaluated here.
check() { if eval "$2"; then ok "$1"; else not_ok "$1" "${3:-}"; return 1; fi; }
finish() { echo "$me: $passed passed, $failed failed"; [ "$failed" = 0 ]; }
need() {
  local f
  for f; do [ -f "$f" ] || { echo "$me: missing $f (build it first)" >&2; exit 1; }; done
}
need_wine() {
  [ -n "${DISPLAY:-}" ] && [ -n "${WINEPREFIX:-}" ] && return 0
  source "$root/tools/wine.sh"
  trap tarvo_wine_stop EXIT
  tarvo_wine_start || exit 1
}
