# Sourced by the test scripts. start_xvfb [WxHxD] starts an Xvfb display of the caller's own
# (1024x768x24 unless given) and exports DISPLAY; its pid is left in xvfb_pid. The server picks
# a free display number itself (-displayfd), so runs side by side never end up sharing one, and
# writes it once it accepts connections.
start_xvfb() {
  local file n=
  file=$(mktemp /tmp/xvfb-display.XXXXXX)
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768x24}" -nolisten tcp 3>"$file" >/dev/null 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 150); do
    n=$(sed -n '1{/^[0-9][0-9]*$/p}' "$file" 2>/dev/null)
    [ -n "$n" ] && [ "$(wc -l <"$file")" -ge 1 ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$file"
  if [ -z "$n" ]; then
    kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=
    return 1
  fi
  export DISPLAY=":$n"
}
