# Sourced by the demos (tools/demo.sh, tests/real_browser/demo.sh):
#   picture_shot PICTURECHECK LOG LENT SECONDS SHOT [GEOMETRY]
# waits until picturecheck (the program PICTURECHECK, in the Wine session of WINE_SESSION)
# finds LENT windows lent to the client whose log is LOG and the client's picture in each one
# in view, or until SECONDS have passed; then prints its report and keeps a screenshot of the
# session's display (cut to GEOMETRY, e.g. 1024x1000+0+0) in SHOT.
picture_shot() {
  local check=$1 log=$2 lent=$3 end=$((SECONDS + $4)) shot=$5 geometry=${6:-} report
  log="Z:${log//\//\\}"
  until report=$(cmake/wine-run.sh "$check" "$log" </dev/null 2>&1) && [[ $report == "$lent windows lent"* ]]; do
    [ "$SECONDS" -lt "$end" ] || break
    sleep 0.5
  done
  echo "== picturecheck: the client's picture in each lent window in view"
  printf '%s\n' "$report" | sed 's/\r$//; s/^/   /'
  DISPLAY=$(cat "$WINE_SESSION/display") import -window root ${geometry:+-crop "$geometry" +repage} "$shot" &&
    echo "== screenshot: $shot"
}

# client_events LOG NAME: what the sample client's log LOG (shown as NAME) tells, by kind.
client_events() {
  echo "== Events in the client's log ($2): objects, windows lent, drawings, ends"
  grep -aoE '^(new|window|paint|drew|data|leave|destroy) ' "$1" | sort | uniq -c | sed 's/^/   /'
}
