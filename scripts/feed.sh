#!/usr/bin/env bash
# Tells the capture feeder what to feed: feed.sh sequence 1|2, feed.sh file PATH,
# feed.sh silence, feed.sh stop. Needs SONDREL_FEED (set by the project's scripts).
# Waits (at most 3 s) for the feeder's answer; exit status 0 when it switched.
set -euo pipefail
[ -n "${SONDREL_FEED:-}" ] || { echo "feed.sh: SONDREL_FEED is not set (no capture device)" >&2; exit 2; }
rm -f "$SONDREL_FEED.ack"
echo "$*" >"$SONDREL_FEED.tmp$$"
mv -f "$SONDREL_FEED.tmp$$" "$SONDREL_FEED"
for _ in $(seq 300); do
  if [ -f "$SONDREL_FEED.ack" ]; then
    read -r answer <"$SONDREL_FEED.ack"
    [ "$answer" = ok ] && exit 0
    echo "feed.sh: $answer" >&2
    exit 1
  fi
  sleep 0.01
done
echo "feed.sh: the feeder did not answer" >&2
exit 1
