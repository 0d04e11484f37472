#!/usr/bin/env bash
# Types TEXT into the focused window on $DISPLAY as a person at a keyboard
# would, characters beyond the keyboard's layout included.
#
# xdotool types such a character by remapping a spare key for an instant; the
# program may read the keyboard map after it has been put back and so drop
# the character. Here each such character gets a spare key of its own first,
# the map is left to settle, the text is typed, and the keys are freed again.
set -euo pipefail
export LC_ALL=C.UTF-8
text=$1

mapfile -t spare < <(xmodmap -pke | awk 'NF <= 3 && $1 == "keycode" { print $2 }')
declare -A keysym_of
mapping=()
used=()
for ((i = 0; i < ${#text}; i++)); do
  c=${text:i:1}
  [[ $c == [[:ascii:]] || -n "${keysym_of[$c]:-}" ]] && continue
  # Keep one spare key for xdotool's own use.
  if ((${#used[@]} + 1 >= ${#spare[@]})); then
    break
  fi
  keycode=${spare[${#used[@]}]}
  keysym_of[$c]=$(printf 'U%04X' "'$c")
  mapping+=(-e "keycode $keycode = ${keysym_of[$c]}")
  used+=("$keycode")
done

free_keys() {
  local args=() k
  for k in "${used[@]}"; do args+=(-e "keycode $k ="); done
  ((${#args[@]} == 0)) || xmodmap "${args[@]}"
}
if ((${#mapping[@]} > 0)); then
  trap free_keys EXIT
  xmodmap "${mapping[@]}"
  sleep 0.2
fi
xdotool type --delay 20 "$text"
sleep 0.1
