# Sourced by the scripts that make something once per machine in a cache folder shared by every
# clone (tests/real_browser/engine.sh, tools/wine10/root.sh):
#   cache_take CACHE ITEM NOTE
# holds CACHE/lock for the rest of the script, waiting (with NOTE on stderr) while another
# holder makes it; then, when the caller's `complete` holds, prints ITEM and exits. Otherwise
# it removes what an interrupted run left (ITEM and any .partial folder) for the caller to
# make ITEM again, in ITEM.partial, renamed when complete.
cache_take() {
  mkdir -p "$1"
  exec 9>"$1/lock"
  if ! flock -n 9; then
    echo "$3" >&2
    flock 9
  fi
  if complete; then echo "$2"; exit 0; fi
  rm -rf "$1"/*.partial "$2"
}
