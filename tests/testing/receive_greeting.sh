# shellcheck shell=bash disable=SC2154  # the caller provides the variables named below
# Sourced by the window tests (the Qt window on Linux, the Win32 window under wine): receives the
# greeting ｺﾝﾆﾁﾊ played into the window's input, with screenshots.
#
#   receive_greeting SHOT.png PLAYER [ARGS...]
#
# PLAYER ARGS plays the greeting once. The window shows one receive tick's text at a time, and
# the next empty tick clears it, so a screenshot is taken right after each tick that appends to
# "receive.txt" (in the current directory); SHOT.png is the one of the tick that received the
# most bytes. Five symbols last about 0.3 s, so the greeting can fall into one tick; whether it
# does depends on where the 500 ms tick grid lies, so it is played up to three times, each a
# third of a tick later than the one before, until one tick has shown it whole.
#
# The caller provides $work, $window_pid, kWaitTicks, kPaintDelay and the functions fail and
# take_screenshot FILE. Afterwards $work/expected holds the bytes played, and shots and best
# count the screenshots and the bytes of the best one.

readonly kGreeting=$'\xba\xdd\xc6\xc1\xca'  # ｺﾝﾆﾁﾊ in CP932: half-width katakana, one byte each
readonly kGreetingDelays=(0 0.17 0.34)      # s before each playing

received=0
best=0
shots=0

# Takes a screenshot after every tick that appends to receive.txt until it holds $1 bytes.
receive_until() {
  local want=$1 shot=$2 tick size chunk
  for ((tick = 0; tick < kWaitTicks * 5 && received < want; tick++)); do
    kill -0 "$window_pid" 2>/dev/null || fail "the window died while receiving"
    size=$([ -f receive.txt ] && wc -c <receive.txt || echo 0)
    if ((size > received)); then
      chunk=$(tail -c +$((received + 1)) receive.txt | head -c $((size - received)) | od -An -tx1)
      sleep "$kPaintDelay"
      shots=$((shots + 1))
      echo "tick with $((size - received)) bytes:$chunk"
      take_screenshot "$work/shot-$shots.png"
      if ((size - received > best)); then
        best=$((size - received))
        cp "$work/shot-$shots.png" "$shot"
      fi
      received=$size
    fi
    sleep 0.01
  done
  ((received >= want)) || fail "timed out waiting for the text ($received of $want bytes)"
}

receive_greeting() {
  local shot=$1 delay player_pid size
  shift
  size=$(printf '%s' "$kGreeting" | wc -c)
  : >"$work/expected"
  for delay in "${kGreetingDelays[@]}"; do
    printf '%s' "$kGreeting" >>"$work/expected"
    # Played in the background: the first ticks arrive while it still plays.
    (sleep "$delay" && exec "$@") &
    player_pid=$!
    receive_until "$(wc -c <"$work/expected")" "$shot"
    wait "$player_pid" || fail "playing the message failed"
    ((best < size)) || break
  done
}
