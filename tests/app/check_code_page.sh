#!/usr/bin/env bash
# Under the traditional-Chinese locale (ANSI code page 950) the program shows message 90020,
# in traditional script, as soon as its message loop runs, and closes after it is confirmed.
set -u
exe=$1 wintool=$2
: "${DISPLAY:?an X display is needed (the test script starts Xvfb)}"
LC_ALL=zh_TW.UTF-8 wine "$exe" >/dev/null 2>&1 &
pid=$!
box=$(LC_ALL=zh_CN.UTF-8 wine "$wintool" msgbox CorvaneTidemark 20000 2>/dev/null | tr -d '\r')
status=0
expected_caption='CorvaneTidemark提示'
expected_text='該軟體版本不支援該作業系統！請下載正確的版本使用'
caption=$(printf '%s\n' "$box" | sed -n 1p)
text=$(printf '%s\n' "$box" | sed -n 2p)
echo "message box: [$caption] [$text]"
[ "$caption" = "$expected_caption" ] || { echo "FAIL: caption is not $expected_caption"; status=1; }
[ "$text" = "$expected_text" ] || { echo "FAIL: text is not $expected_text"; status=1; }
for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
if kill -0 $pid 2>/dev/null; then
  echo "FAIL: the program is still running after the message"; kill $pid; status=1
else
  wait $pid; echo "program ended with status $?"
fi
exit $status
