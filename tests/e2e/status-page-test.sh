#!/usr/bin/env bash
# The page for people at "/" in a real headless Chromium: an alarm and its return, then the page shows the
# state, the chart of the last 24 hours and the alarm in its table. With a status token the page holds no
# data and the rest is refused without the token.
#   status-page-test.sh QUIETMON [SCREENSHOT.png]   (the page's picture is kept where the second names)
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")
picture=${2:-$work/page.png}

free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
status_port=$(free_port)
token=a-token-of-24-characters
start_pulse
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  'Title=Radio One Studio' "StatusAddress=127.0.0.1:$status_port" "StatusToken=$token" '[Activation]' Silence=4 Return=1)"
check "the endpoint listens" wait_for 10 logged "Status endpoint listening on 127.0.0.1:$status_port"
play 6 0.5
sleep 6
play 8 0
check "the alarm is raised" wait_for 15 logged 'Alarm activated (silent channel(s): Left and Right)'
wait_for 10 gone "$PLAYER_PID" || true
play 30 0.5
check "the return" wait_for 15 logged 'Returned from alarm condition'

url=http://127.0.0.1:$status_port
check "the page needs no token: it holds no data" sh -c "curl -sf $url/ | grep -q '<svg id=\"chart\"' &&
  ! curl -sf $url/ | grep -q 'Radio One'"
check "the history does need it" test "$(curl -s -o /dev/null -w '%{http_code}' "$url/history?hours=24")" = 401
check "junk hours are a clear 400" sh -c "curl -s -H 'Authorization: Bearer $token' '$url/history?hours=lots' |
  grep -qx 'hours must be a whole number from 1 to 744 (31 days).'"
check "the page refers to nothing outside the program" sh -c "! curl -sf $url/ | grep -Eq '(src|href)=\"?(https?:)?//'"

# The page as a browser shows it, given the token as it asks for it once.
browser() { chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$work/chromium" \
  --virtual-time-budget=8000 "$@" "$url/#token=$token" 2>>"$work/chromium.log"; }
browser --dump-dom >"$work/page.html"
check "the page shows the title" grep -q '<h1 id="title">Radio One Studio</h1>' "$work/page.html"
check "the chart has both channels' lines" test "$(grep -o '<polyline class="level"' "$work/page.html" | wc -l)" -ge 2
check "the chart shades the alarm" grep -q '<rect class="alarm"' "$work/page.html"
check "the alarm table lists the story's alarm" \
  grep -Eq "<td>$(date +%F) [0-9:]{8}</td><td>$(date +%F) [0-9:]{8}</td><td>Left and Right</td><td>[0-9]+ s</td><td>no</td>" "$work/page.html"
browser --screenshot="$picture" --window-size=1000,760 >/dev/null
check "a screenshot of the page is taken" test -s "$picture"
# The chart's shading of the alarm is on the picture.
alarm_shown() {
  ffmpeg -nostdin -v error -i "$picture" -f rawvideo -pix_fmt rgb24 - | /usr/bin/python3 -c '
import sys
pixels = sys.stdin.buffer.read()
sys.exit(0 if any(abs(pixels[i] - 0xf6) < 8 and abs(pixels[i + 1] - 0xd0) < 8 and abs(pixels[i + 2] - 0xd0) < 8
                  for i in range(0, len(pixels) - 2, 3)) else 1)'
}
check "the screenshot shows the chart with the alarm" alarm_shown
kill -TERM "$QUIETMON_PID"
check "the program ends" wait_for 15 gone "$QUIETMON_PID"
[ "$failures" -eq 0 ]
