#!/usr/bin/env bash
# End-to-end tests: the real vorellis.exe in folders of test pictures, under Wine and Xvfb,
# driven with real mouse and keyboard input (xdotool), checked by screenshots (ImageMagick),
# by the window manager's own view of the windows (winprobe.exe), by the exit code, by the
# journal's bytes and by a spreadsheet (Gnumeric's ssconvert) opening the history's export. A
# program the test must end is ended by its own process id, and no other (end_program).
#
#   tests/e2e/run_e2e.sh win32|win64 [BUILD_DIR]
#
# BUILD_DIR defaults to build/<name>. The test pictures come from make-demo-pictures --coded
# (build/native/bin, or $MAKE_DEMO_PICTURES): every picture is an opaque square whose colour
# stands for its value, so a screenshot reads back as the values on show. Prints one line per
# case, "PASS name" or "FAIL name: reason", and last "N passed, N failed"; exits 1 when a
# case failed. Uses $WINEPREFIX if set (else build/e2e-wine-NAME) and its own Xvfb display
# ($E2E_DISPLAY, else a free one the server picks), and for the full-screen view two more of the
# screen sizes it is tried on; E2E_KEEP=1 keeps the screenshots;
# E2E_ONLY="case_partial_files ..." runs only the cases named.
set -uo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
name=${1:-}
case $name in
  win32|win64) ;;
  *) echo "usage: run_e2e.sh win32|win64 [BUILD_DIR]" >&2; exit 2 ;;
esac
build=$(cd "${2:-$top/build/$name}" 2>/dev/null && pwd) || { echo "run_e2e: no build folder ${2:-$top/build/$name}" >&2; exit 2; }
exe=$build/bin/vorellis.exe
probe=$build/bin/winprobe.exe
pictures=$(realpath -m "${MAKE_DEMO_PICTURES:-$top/build/native/bin/make-demo-pictures}")
for f in "$exe" "$probe" "$pictures"; do
  [ -x "$f" ] || { echo "run_e2e: missing $f (build it first)" >&2; exit 2; }
done

given_prefix=${WINEPREFIX:-}
export WINEPREFIX=${WINEPREFIX:-$top/build/e2e-wine-$name} WINEDEBUG=-all
work=$(mktemp -d /tmp/vorellis-e2e.XXXXXX)
title="Tirage Vorellis"
passed=0
failed=0
xvfb_pid=
program_pid=

cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ "${dpi_set:-0}" = 1 ] && set_dpi 96
  [ -n "${list_was:-}" ] && list_separator "$list_was"
  [ -n "${decoy_pid:-}" ] && kill "$decoy_pid" 2>/dev/null
  [ "${unmanaged_on:-0}" = 1 ] && unmanaged off
  [ "${own_server:-0}" = 1 ] && wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "${room_xvfb:-}" ] && kill "$room_xvfb" 2>/dev/null
  if [ -n "${E2E_KEEP:-}" ]; then echo "run_e2e: screenshots kept in $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

# --- display and Wine --------------------------------------------------------------------

# Our own display, so that no other window with the program's title can be mistaken for ours.
# Wide enough for the window at 200 % (1520 pixels), which Wine would squeeze onto a narrower one.
. "$top/tests/support/xvfb.sh"
screen=1600x1200x24
if [ -n "${E2E_DISPLAY:-}" ]; then
  Xvfb ":$E2E_DISPLAY" -screen 0 $screen -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$E2E_DISPLAY"
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
else
  start_xvfb $screen || { echo "run_e2e: Xvfb did not start" >&2; exit 2; }
fi

# A prefix given by the caller may have its own persistent server, which stays; a prefix of our
# own gets one for the run and loses it at the end.
own_server=0
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w  # a new prefix must settle before the first program runs
fi
if [ -z "$given_prefix" ]; then
  wineserver -p >/dev/null 2>&1 </dev/null &
  own_server=1
fi

# --- helpers -----------------------------------------------------------------------------

pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1: $2"; failed=$((failed + 1)); }

# make_set DIR: a complete coded picture set under DIR/GFX.
make_set() { "$pictures" --coded "$1" >/dev/null; }

# start DIR: runs the program with DIR as its current folder; its exit code goes to DIR.exit.
# Its environment carries DIR as a mark, by which program_process finds the program's process.
start() {
  local dir=$1
  rm -f "$dir.exit"
  (cd "$dir" && VORELLIS_E2E_STARTED=$dir wine "$exe" >/dev/null 2>&1 & pid=$!; echo "$pid" >"$dir.pid"; wait "$pid"; echo $? >"$dir.exit") &
  for _ in $(seq 50); do [ -s "$dir.pid" ] && break; sleep 0.05; done
  program_pid=$(cat "$dir.pid" 2>/dev/null)
}

# wait_exit DIR [TENTHS]: the program's exit code, or "timeout" when it has not ended within
# TENTHS tenths of a second (default 100: 10 s); then it is ended (end_program).
wait_exit() {
  local dir=$1
  for _ in $(seq "${2:-100}"); do
    if [ -s "$dir.exit" ]; then cat "$dir.exit"; program_pid=; return; fi
    sleep 0.1
  done
  echo timeout
  end_program "$dir" >/dev/null
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  program_pid=
}

# program_process DIR: the Unix process id of the program that start DIR started, while it runs:
# the process of this prefix whose environment carries start's mark for DIR and which runs
# vorellis.exe. Only the 32-bit build's is the process start launched: that process becomes the
# 64-bit build's start.exe (Wine's 32-bit loader), which runs the program as a new process, a
# child of init, and waits for it. The windows of the program carry the same id (_NET_WM_PID).
program_process() {
  local f p cmd
  for f in $(grep -lzxF "VORELLIS_E2E_STARTED=$1" /proc/[0-9]*/environ 2>/dev/null); do
    p=${f#/proc/}; p=${p%/environ}
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "$f" 2>/dev/null || continue
    IFS= read -r -d '' cmd <"/proc/$p/cmdline" 2>/dev/null
    [[ $cmd = *vorellis.exe ]] && { echo "$p"; return 0; }
  done
  return 1
}

# alive PID: the process is there, and not a zombie.
alive() {
  local stat
  { IFS= read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
  stat=${stat##*) }
  [ "${stat:0:1}" != Z ]
}

# window_process ID: the process id an X window belongs to, as Wine gives it (_NET_WM_PID).
window_process() { xprop -id "$1" _NET_WM_PID 2>/dev/null | sed -n 's/^_NET_WM_PID(CARDINAL) = //p'; }

# A stand-in for a copy of this very build that someone else runs on the machine (a user, or
# another checkout's tests): a process whose command line starts with the program's path, which
# lasts as long as this script. A test that ended programs by name would end it too; end_program
# checks that it lives on.
(exec -a "$exe" bash -c 'while kill -0 "$1" 2>/dev/null; do sleep 1; done' decoy "$$") </dev/null >/dev/null 2>&1 &
decoy_pid=$!

# end_program DIR [OTHER_DIR...]: SIGKILL to the program that start DIR started, by its own
# process id, never by its name: other copies of the program are not the test's to end. Then
# checks that it was that process which ended, and no other: its process gone within 2 s and its
# launcher told so, while the programs started in OTHER_DIR... and the decoy run on. Prints what
# went wrong, nothing when all is well.
end_program() {
  local dir=$1 pid="" other problems=""
  local -A others=()
  shift
  for _ in $(seq 50); do pid=$(program_process "$dir") && break; sleep 0.1; done
  if [ -z "$pid" ]; then echo "no running program started in $(basename "$dir") found"; return; fi
  for other in "$@"; do others[$other]=$(program_process "$other"); done
  kill -9 "$pid"
  for _ in $(seq 20); do ! alive "$pid" && [ -s "$dir.exit" ] && break; sleep 0.1; done
  alive "$pid" && problems+="its process $pid still runs 2 s after SIGKILL; "
  [ -s "$dir.exit" ] || problems+="its launcher did not see it end; "
  for other in "$@"; do
    if [ -z "${others[$other]}" ] || ! alive "${others[$other]}" || [ -s "$other.exit" ]; then
      problems+="the program started in $(basename "$other") ended with it; "
    fi
  done
  alive "$decoy_pid" || problems+="another copy of the program (the decoy, $decoy_pid) ended with it; "
  [ -z "$problems" ] || echo "ending the program started in $(basename "$dir") (process $pid): ${problems%; }"
}

# window W H: the X window titled $title of that size, waiting up to 10 s for it.
window() {
  local w h id
  for _ in $(seq 100); do
    for id in $(xdotool search --name "^$title\$" 2>/dev/null); do
      read -r w h < <(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{w=$2}/Height:/{h=$2}END{print w, h}')
      if [ "$w" = "$1" ] && [ "$h" = "$2" ]; then echo "$id"; return 0; fi
    done
    sleep 0.1
  done
  return 1
}

probe() { wine "$probe" "$title" 2>/dev/null | tr -d '\r'; }
# private_memory: the program's private bytes, as winprobe reads them from outside.
private_memory() { wine "$probe" --memory "$title" 2>/dev/null | tr -d '\r' | sed -n 's/^private=//p'; }

# fill_png FILE WIDTH HEIGHT R,G,B,A [FILE ...]: RGBA PNGs of one colour, compressed row by
# row, so that even a huge one is small on disk and in the writer's memory.
fill_png() {
  python3 - "$@" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
args = sys.argv[1:]
for i in range(0, len(args), 4):
    w, h, colour = int(args[i + 1]), int(args[i + 2]), bytes(map(int, args[i + 3].split(",")))
    packer, row = zlib.compressobj(9), b"\0" + colour * w
    pixels = b"".join(packer.compress(row) for _ in range(h)) + packer.flush()
    header = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    open(args[i], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))
PY
}
clear_png() { fill_png "$1" "$2" "$3" 0,0,0,0; }

# main_window: the X window of the program's main window once it is up, whatever its size
# (an unmanaged window's X window takes in the frame too), waiting up to 10 s for it.
main_window() {
  for _ in $(seq 50); do
    if probe | grep -q '^window class=WindowClass_0 '; then
      xdotool search --name "^$title\$" 2>/dev/null | head -1
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# pixels FILE X,Y...: "r,g,b" for each point, space separated.
pixels() {
  local file=$1 fmt="" p x y
  shift
  for p in "$@"; do
    x=${p%,*}; y=${p#*,}
    fmt+="%[fx:int(255*p{$x,$y}.r+0.5)],%[fx:int(255*p{$x,$y}.g+0.5)],%[fx:int(255*p{$x,$y}.b+0.5)] "
  done
  convert "$file" -format "$fmt" info:
}

near() {  # near R,G,B R,G,B: every channel within 2
  local IFS=, a b c d e f
  read -r a b c <<<"$1"; read -r d e f <<<"$2"
  [ $((a - d)) -le 2 ] && [ $((d - a)) -le 2 ] && [ $((b - e)) -le 2 ] && [ $((e - b)) -le 2 ] &&
    [ $((c - f)) -le 2 ] && [ $((f - c)) -le 2 ]
}

# scaled V [DPI]: V design units in pixels at DPI (96 unless given), rounded as the program does.
scaled() { echo $((($1 * ${2:-96} + 48) / 96)); }
# slot_x K [DPI]: the left edge of slot K.
slot_x() { scaled $((110 * ($1 - ($1 <= 5 ? 1 : 2)))) "${2:-96}"; }
SLOTS="1 2 3 4 5 7 8"

# layout DPI: winprobe's view of the window at start-up, with both placeholders there (without
# the window's place on the screen).
layout() {
  local k
  echo "window class=WindowClass_0 client=$(scaled 760 "$1")x$(scaled 140 "$1")"
  for k in $SLOTS; do
    echo "child class=Static id=$k x=$(slot_x $k "$1") y=0 w=$(scaled 90 "$1") h=$(scaled 100 "$1") visible=1 text=$([ $k -le 5 ] && echo Boule || echo Étoile) à tirer"
  done
  echo "child class=Button id=9 x=$(scaled 5 "$1") y=$(scaled 110 "$1") w=$(scaled 750 "$1") h=$(scaled 25 "$1") visible=1 text=Lancer un tirage"
}

# read_slots FILE: one token per slot 1-5, 7, 8: bN (ball N), sN (star N), P (the group's
# placeholder), T (a value written as text, on the placeholder or on a white card), E (nothing
# there) or ? (anything else). A drawn picture is 100 pixels wide and a placeholder 90, which
# the pixel at (x + 95, 95) tells apart; text is dark, which no picture of the coded set is.
read_slots() {
  local file=$1 points=(105,50) k x
  for k in $SLOTS; do x=$(slot_x "$k"); points+=("$((x + 4)),4" "$((x + 95)),95"); done
  local values=($(pixels "$file" "${points[@]}"))
  local bg=${values[0]} out=() i=1 a wide r g b
  for k in $SLOTS; do
    a=${values[i]}; wide=${values[i + 1]}; i=$((i + 2))
    IFS=, read -r r g b <<<"$a"
    if near "$a" "$bg"; then out+=(E)
    elif { near "$a" 90,90,90 || near "$a" 160,160,160 || near "$a" 255,255,255; } && has_text "$file" "$x"; then out+=(T)
    elif near "$a" 90,90,90 && [ "$k" -le 5 ] && near "$wide" "$bg"; then out+=(P)
    elif near "$a" 160,160,160 && [ "$k" -ge 7 ] && near "$wide" "$bg"; then out+=(P)
    elif [ "$k" -le 5 ] && near "$r,0,$b" 200,0,40 && [ $(((g - 20 + 1) % 4)) -le 2 ] && near "$wide" "$a"; then
      out+=("b$(((g - 20 + 1) / 4))")
    elif [ "$k" -ge 7 ] && near "$r,0,$b" 40,0,200 && near "$wide" "$a"; then
      out+=("s$(((g - 20 + 8) / 16))")
    else out+=("?"); fi
  done
  echo "${out[*]}"
}

# has_text FILE X [Y W H]: the slot at X (at the top, 90 x 100, unless given) holds dark text
# (over 1% of its pixels nearly black).
has_text() {
  local dark
  dark=$(convert "$1" -crop "${4:-90}x${5:-100}+$2+${3:-0}" +repage -colorspace gray -threshold 15% -negate -format '%[fx:mean]' info:)
  awk -v d="$dark" 'BEGIN { exit !(d > 0.01) }'
}

# flat FILE X W H: "r,g,b" when the top and bottom quarters of the W x H slot at X (where a
# coded picture has no digits) are that colour in every pixel, edges and corners too, else "mixed".
flat() {
  local q=$(($4 / 4))
  convert "$1" \( -clone 0 -crop "$3x$q+$2+0" \) \( -clone 0 -crop "$3x$q+$2+$(($4 - q))" \) -delete 0 +repage \
    -append -format '%k %[fx:int(255*p{0,0}.r+0.5)],%[fx:int(255*p{0,0}.g+0.5)],%[fx:int(255*p{0,0}.b+0.5)]' info: 2>/dev/null |
    sed -E 's/^1 //; s/^[0-9]+ .*/mixed/'
}

# button_ink FILE X Y W H: "TOP BOTTOM FOCUS_TOP FOCUS_BOTTOM", the first and last rows of the
# button's dark text and of its dotted focus rectangle (-1 when none), counted from the button's
# top edge. Read between the focus rectangle's sides; in a dotted row, ink on the dots' gaps is
# text.
button_ink() {
  convert "$1" -crop "$(($4 - 8))x$5+$(($2 + 4))+$3" +repage -colorspace gray -compress none pgm:- |
    tr -s ' \n' '\n\n' | awk 'NR == 2 { w = $1 } NR == 3 { h = $1 } NR > 4 {
      i = NR - 5; r = int(i / w)
      if ($1 < 128) dark[r, i % 2]++ }
    END {
      t = b = ft = fb = -1
      for (r = 1; r < h - 1; r++) {
        ink = dark[r, 0] + dark[r, 1]
        for (p = 0; p < 2; p++) if (dark[r, p] >= int(w / 2) - 1) {
          ink = dark[r, 1 - p]; if (ft < 0) ft = r; fb = r
        }
        if (ink > 0) { if (t < 0) t = r; b = r }
      }
      print t, b, ft, fb }'
}

# read_names: the slots' accessible names as tokens, as read_slots gives them: "Boule N" is bN,
# "Étoile N" sN, "Boule à tirer" and "Étoile à tirer" P, no control E.
read_names() {
  local line name k out=()
  local -A by=()
  while IFS= read -r line; do
    [[ $line =~ ^id=([0-9]+)\ name=(.*)$ ]] || continue
    name=${BASH_REMATCH[2]}
    case $name in
      "Boule à tirer" | "Étoile à tirer") by[${BASH_REMATCH[1]}]=P ;;
      Boule\ [0-9]*) by[${BASH_REMATCH[1]}]=b${name#Boule } ;;
      Étoile\ [0-9]*) by[${BASH_REMATCH[1]}]=s${name#Étoile } ;;
      *) by[${BASH_REMATCH[1]}]="?" ;;
    esac
  done < <(wine "$probe" --names "$title" 2>/dev/null | tr -d '\r')
  for k in $SLOTS; do out+=("${by[$k]:-E}"); done
  echo "${out[*]}"
}

# copied ID: Ctrl+C in the window, then the clipboard's text as tokens (five balls, two stars),
# or "raw:TEXT" when it is not seven numbers separated by tabs.
copied() {
  local text v i=0 out=()
  xdotool windowfocus "$1" 2>/dev/null
  xdotool key ctrl+c
  sleep 0.3
  text=$(wine "$probe" --clipboard 2>/dev/null | tr -d '\r')
  if ! grep -qP '^\d+(\t\d+){6}$' <<<"$text"; then echo "raw:$text"; return; fi
  for v in $text; do
    if [ $i -lt 5 ]; then out+=("b$v"); else out+=("s$v"); fi
    i=$((i + 1))
  done
  echo "${out[*]}"
}

# shoot ID NAME: a screenshot of the window, settled: taken again until two agree.
shoot() {
  local id=$1 file=$work/$2.png prev="" now
  sleep 0.3
  for _ in $(seq 15); do
    import -window "$id" "$file" 2>/dev/null
    now=$(md5sum <"$file")
    [ "$now" = "$prev" ] && break
    prev=$now
    sleep 0.2
  done
  echo "$file"
}

click_button() { xdotool mousemove --window "$1" "$(scaled 380 "${2:-96}")" "$(scaled 122 "${2:-96}")" click 1; }
close_window() { xdotool windowfocus "$1" 2>/dev/null; xdotool key alt+F4; }

# next_draw BEFORE: the slots' names once they show a whole draw other than BEFORE, waiting up
# to 10 s (a loaded machine may take a while over a first draw and its journal).
next_draw() {
  local names
  for _ in $(seq 50); do
    names=$(read_names)
    valid_draw "$names" && [ "$names" != "$1" ] && break
    sleep 0.2
  done
  echo "$names"
}

# valid_draw "TOKENS": five distinct balls in slots 1-5 and two distinct stars in 7, 8.
valid_draw() {
  local t=($1)
  local balls=("${t[@]:0:5}") stars=("${t[@]:5:2}") v
  for v in "${balls[@]}"; do [[ $v =~ ^b([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -le 49 ] || return 1; done
  for v in "${stars[@]}"; do [[ $v =~ ^s([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -le 11 ] || return 1; done
  [ "$(printf '%s\n' "${balls[@]}" | sort -u | wc -l)" = 5 ] && [ "${stars[0]}" != "${stars[1]}" ]
}

# --- cases -------------------------------------------------------------------------------

# The full set: start-up layout, real clicks, keyboard, a click on a picture, Alt+F4.
case_full_set() {
  local dir=$work/full id shot slots first second third
  make_set "$dir"
  start "$dir"
  if ! id=$(window 760 140); then fail startup_layout "no 760x140 window titled '$title'"; wait_exit "$dir" >/dev/null; return; fi

  local want got
  want=$(layout 96)
  got=$(probe | sed -E 's/ x=[0-9-]+ y=[0-9-]+ client=/ client=/')
  shot=$(shoot "$id" start)
  slots=$(read_slots "$shot")
  # The button's edges, from pixels: inside at its corners, background just outside them.
  local edge=($(pixels "$shot" 105,50 5,110 754,134 4,110 755,134 5,109 5,135))
  local button_ok=1 p
  for p in 1 2; do near "${edge[p]}" "${edge[0]}" && button_ok=0; done
  for p in 3 4 5 6; do near "${edge[p]}" "${edge[0]}" || button_ok=0; done
  if [ "$got" != "$want" ]; then fail startup_layout "controls: expected [$want] got [$got]"
  elif [ "$slots" != "P P P P P P P" ]; then fail startup_layout "slots show '$slots', expected placeholders"
  elif [ $button_ok = 0 ]; then fail startup_layout "button not at (5,110) 750x25 on screen: ${edge[*]}"
  else pass startup_layout; fi
  # At 96 dpi the start screen is 1.0.0's to the pixel. The reference is 1.0.0's own: remade with
  # E2E_KEEP=1 E2E_ONLY=case_full_set run on a folder whose bin/ holds 1.0.0's vorellis.exe and
  # this build's winprobe.exe, by copying the kept start.png to tests/e2e/reference/.
  local reference=$top/tests/e2e/reference/start-96-$name.png
  [ -f "$reference" ] || reference=${reference%-*}-win32.png
  got=$(compare -metric AE "$reference" "$shot" null: 2>&1)
  if [ "$got" = 0 ]; then pass start_screen_as_1_0_0
  else fail start_screen_as_1_0_0 "$got pixels differ from $(basename "$reference")"; fi

  # The keyboard from the first moment: Ctrl+C before any draw leaves the clipboard alone, and
  # Enter draws without a Tab first. What the slots show, their names and the copy agree.
  wine "$probe" --set-clipboard avant >/dev/null 2>&1
  local before_copy names copy spaced
  before_copy=$(copied "$id")
  # The button has the focus from the start: Space presses it before any Tab or click.
  xdotool key space
  spaced=$(read_slots "$(shoot "$id" space)")
  if valid_draw "$spaced"; then pass space_draws_at_start
  else fail space_draws_at_start "after Space at start the slots show '$spaced'"; fi
  xdotool key Return
  first=$(read_slots "$(shoot "$id" enter)")
  names=$(read_names)
  copy=$(copied "$id")
  if [ "$before_copy" != "raw:avant" ]; then fail enter_names_copy "Ctrl+C before a draw changed the clipboard to '$before_copy'"
  elif ! valid_draw "$first"; then fail enter_names_copy "after Enter the slots show '$first'"
  elif [ "$names" != "$first" ] || [ "$copy" != "$first" ]; then
    fail enter_names_copy "slots show '$first', names say '$names', the copy says '$copy'"
  else pass enter_names_copy; fi

  # Each draw tells an assistive technology that every slot's name changed: an out-of-process
  # listener counts the changes per slot over two draws.
  wine "$probe" --name-events 8000 "$title" >"$work/events" 2>/dev/null &
  local listener=$! events
  for _ in $(seq 50); do grep -q listening "$work/events" && break; sleep 0.1; done
  click_button "$id"
  first=$(read_slots "$(shoot "$id" draw1)")
  got=$(probe | grep -c 'class=Static id=[1-8] .* w=100 h=100 visible=1')
  if valid_draw "$first" && [ "$got" = 7 ]; then pass click_draws
  else fail click_draws "after a click the slots show '$first', $got of 7 slots sized 100x100"; fi

  # That a second draw starts again from the refilled pools cannot be told from two screens
  # (a pool shuffled again differs too): the seeded draws of the soak test check it by name.
  click_button "$id"
  second=$(read_slots "$(shoot "$id" draw2)")
  wait "$listener"
  events=$(grep -o 'id=[0-9]* changes=[0-9]*' "$work/events" | tr '\n' ' ')
  if [ "$events" = "id=1 changes=2 id=2 changes=2 id=3 changes=2 id=4 changes=2 id=5 changes=2 id=7 changes=2 id=8 changes=2 " ]; then
    pass name_change_events
  else fail name_change_events "over two draws: '$events'"; fi

  # A click on a picture slot reports a gadget event, which must not start a draw.
  xdotool mousemove --window "$id" 50 50 click 1 mousemove --window "$id" 600 50 click 1
  slots=$(read_slots "$(shoot "$id" picture_click)")
  if [ "$slots" = "$second" ]; then pass picture_click_no_draw
  else fail picture_click_no_draw "clicking pictures changed '$second' to '$slots'"; fi

  xdotool windowfocus "$id" 2>/dev/null
  xdotool key Tab
  sleep 0.2
  xdotool key space
  third=$(read_slots "$(shoot "$id" keyboard)")
  if valid_draw "$third" && [ "$third" != "$second" ]; then pass tab_space_draws
  else fail tab_space_draws "before '$second', after Tab and Space '$third'"; fi

  click_button "$id"
  close_window "$id"  # at once, while the draw's repaint may still be under way
  local code
  code=$(wait_exit "$dir")
  if [ "$code" = 0 ]; then pass alt_f4_after_draw; else fail alt_f4_after_draw "exit code $code"; fi
}

# set_dpi DPI: the prefix's resolution for the programs started from now on.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  if [ "$1" = 96 ]; then dpi_set=0; else dpi_set=1; fi
}

# At 144 and 192 dpi: the window and its controls at the resolution's size; beside every ball
# picture (and placeholder) the same at 125, 200 and 400 % in colours of their own (blue 160, 100
# and 220), of which the program must choose the 200 % one, the smallest above the display's
# scale; every star's scale-200 file is not a picture, so the plain one must be scaled up
# instead. Each slot is filled to its edges with its picture's one colour. The button's text
# stays clear of the button's edges and focus rectangle, which 1.0.0 cut at 192 dpi.
case_high_dpi() {
  local dir=$work/dpi dpi q v args=()
  make_set "$dir"
  for q in 125:160 200:100 400:220; do
    args+=("$dir/GFX/Balls/vide.scale-${q%:*}.png" $((90 * ${q%:*} / 100)) "${q%:*}" "90,90,${q#*:},255")
    for v in $(seq 0 49); do args+=("$dir/GFX/Balls/$v.scale-${q%:*}.png" "${q%:*}" "${q%:*}" "200,$((20 + 4 * v)),${q#*:},255"); done
  done
  fill_png "${args[@]}"
  for v in vide $(seq 0 11); do printf 'not a picture\n' >"$dir/GFX/Stars/$v.scale-200.png"; done
  for dpi in 144 192; do
    set_dpi $dpi
    high_dpi_run "$dir" $dpi
    set_dpi 96  # whatever failed: the other cases run at 96 dpi
  done
}

high_dpi_run() {
  local dir=$1 dpi=$2 id shot got k x want side names code problem=""
  start "$dir"
  if ! id=$(main_window); then fail "dpi${dpi}_layout" "no window"; wait_exit "$dir" >/dev/null; return; fi
  for _ in $(seq 50); do  # the button comes last in start-up
    got=$(probe | sed -E 's/ x=[0-9-]+ y=[0-9-]+ client=/ client=/')
    [[ $got = *Button* ]] && break
    sleep 0.1
  done
  shot=$(shoot "$id" "dpi$dpi")
  for k in $SLOTS; do
    if [ "$k" -le 5 ]; then want=90,90,100; else want=160,160,160; fi
    x=$(flat "$shot" "$(slot_x $k "$dpi")" "$(scaled 90 "$dpi")" "$(scaled 100 "$dpi")")
    [ "$x" = "$want" ] || problem+=" slot $k shows $x, not $want;"
  done
  if [ "$got" != "$(layout "$dpi")" ]; then fail "dpi${dpi}_layout" "controls: expected [$(layout "$dpi")] got [$got]"
  elif [ -n "$problem" ]; then fail "dpi${dpi}_layout" "placeholders:$problem"
  else pass "dpi${dpi}_layout"; fi

  # The button where it is, so that the text is judged even when the button is misplaced.
  local button=($(sed -nE 's/^child class=Button id=9 x=([0-9]+) y=([0-9]+) w=([0-9]+) h=([0-9]+) .*/\1 \2 \3 \4/p' <<<"$got"))
  local h=${button[3]:-0} ink
  ink=($(button_ink "$shot" "${button[@]}"))
  if [ "${ink[0]}" -ge 2 ] && [ "${ink[1]}" -lt $((h - 4)) ] &&
    { [ "${ink[2]}" -lt 0 ] || { [ "${ink[0]}" -gt "${ink[2]}" ] && [ "${ink[1]}" -lt "${ink[3]}" ]; }; }; then
    pass "dpi${dpi}_button_text"
  else fail "dpi${dpi}_button_text" "text rows ${ink[0]}-${ink[1]}, focus rectangle rows ${ink[2]} and ${ink[3]} of a $h-row button"; fi

  click_button "$id" "$dpi"
  shot=$(shoot "$id" "dpi${dpi}draw")
  names=($(read_names))
  side=$(scaled 100 "$dpi")
  got=$(probe | grep -c "^child class=Static id=[1-8] .* w=$side h=$side visible=1")
  problem=""
  valid_draw "${names[*]}" || problem=" names '${names[*]}';"
  for k in 0 1 2 3 4 5 6; do
    v=${names[k]:1}
    if [ "$k" -lt 5 ]; then want=200,$((20 + 4 * v)),100; else want=40,$((20 + 16 * v)),200; fi
    x=$(flat "$shot" "$(slot_x $((k < 5 ? k + 1 : k + 2)) "$dpi")" "$side" "$side")
    [ "$x" = "$want" ] || problem+=" ${names[k]} shows $x, not $want;"
  done
  settings_change "$dir" "$id" "$dpi" "${names[@]:0:5}"
  close_window "$id"
  code=$(wait_exit "$dir")
  if [ "$got" != 7 ]; then fail "dpi${dpi}_pictures" "$got of 7 slots sized ${side}x$side after a draw"
  elif [ -n "$problem" ]; then fail "dpi${dpi}_pictures" "after a draw:$problem"
  elif [ "$code" != 0 ]; then fail "dpi${dpi}_pictures" "exit code $code"
  else pass "dpi${dpi}_pictures"; fi
}

# settings_change DIR ID DPI BALL...: the drawn balls' files rewritten in another colour show at
# once when the system's settings change, without a draw; the files are then put back.
settings_change() {
  local dir=$1 id=$2 dpi=$3 side k v x problem="" files=() back=()
  shift 3
  side=$(scaled 100 "$dpi")
  for v in "${@#b}"; do
    files+=("$dir/GFX/Balls/$v.scale-200.png" 200 200 10,200,30,255)
    back+=("$dir/GFX/Balls/$v.scale-200.png" 200 200 "200,$((20 + 4 * v)),100,255")
  done
  fill_png "${files[@]}"
  wine "$probe" --ask settings "$title" >/dev/null 2>&1
  local shot=$(shoot "$id" "dpi${dpi}settings")
  for k in 1 2 3 4 5; do
    x=$(flat "$shot" "$(slot_x $k "$dpi")" "$side" "$side")
    [ "$x" = 10,200,30 ] || problem+=" slot $k shows $x;"
  done
  fill_png "${back[@]}"
  if [ -z "$problem" ]; then pass "dpi${dpi}_settings_change"
  else fail "dpi${dpi}_settings_change" "rewritten pictures not shown:$problem"; fi
}

case_close_at_start() {
  local dir=$work/close id code
  make_set "$dir"
  start "$dir"
  if ! id=$(window 760 140); then fail alt_f4_at_start "no window"; wait_exit "$dir" >/dev/null; return; fi
  close_window "$id"
  code=$(wait_exit "$dir")
  if [ "$code" = 0 ]; then pass alt_f4_at_start; else fail alt_f4_at_start "exit code $code"; fi
}

# unmanaged on|off: the program's windows unmanaged, or Wine's default again. Without a window
# manager Wine's X11 driver waits about 2 s for one to withdraw every managed window that is
# hidden; on a user's desktop a window manager answers at once, so the cases that time the
# end of the program run with unmanaged windows, which end as fast.
unmanaged() {
  local key='HKCU\Software\Wine\AppDefaults\vorellis.exe\X11 Driver'
  unmanaged_on=0
  if [ "$1" = on ]; then wine reg add "$key" /v Managed /d N /f >/dev/null 2>&1 && unmanaged_on=1
  else wine reg delete "${key%\\*}" /f >/dev/null 2>&1; fi
}

# Close requests from another process, as task bars, automation tools and session managers
# make them (WM_CLOSE sent or posted, WM_SYSCOMMAND SC_CLOSE sent), and Alt+F4. Each ends the
# program within a second, with exit code 0.
case_close_requests() {
  local dir=$work/ask request id code
  make_set "$dir"
  for request in close sysclose post-close alt-f4; do
    start "$dir"
    if ! id=$(main_window); then fail "ask_$request" "no window"; wait_exit "$dir" >/dev/null; continue; fi
    if [ "$request" = alt-f4 ]; then
      close_window "$id"
    elif ! wine "$probe" --ask "$request" "$title" >/dev/null 2>&1; then
      fail "ask_$request" "the window did not take the request within a second"
      wait_exit "$dir" >/dev/null
      continue
    fi
    code=$(wait_exit "$dir" 10)
    if [ "$code" = 0 ]; then pass "ask_$request"; else fail "ask_$request" "exit code $code (1 s allowed)"; fi
  done
}

# A session end: the program answers WM_QUERYENDSESSION (yes) and WM_ENDSESSION at once, and
# ends within a second, with exit code 0, when the session manager ends the session. Last, as
# it ends the prefix's session.
case_session_end() {
  local dir=$work/session answer code
  make_set "$dir"
  start "$dir"
  if ! main_window >/dev/null; then fail session_end "no window"; wait_exit "$dir" >/dev/null; return; fi
  answer=$(wine "$probe" --ask endsession "$title" 2>/dev/null | tr -d '\r')
  local asked=$?
  wine wineboot --end-session >/dev/null 2>&1
  code=$(wait_exit "$dir" 10)
  if [ "$asked" != 0 ] || [ "$answer" != queryendsession=1 ]; then
    fail session_end "session-end messages not answered at once: '$answer'"
  elif [ "$code" != 0 ]; then fail session_end "exit code $code (1 s allowed after the session ended)"
  else pass session_end; fi
}

case_no_gfx() {
  local dir=$work/nogfx id box code listing
  mkdir -p "$dir"
  start "$dir"
  for _ in $(seq 100); do
    listing=$(probe)
    grep -q '^window class=#32770' <<<"$listing" && break
    sleep 0.1
  done
  local text ok main
  text=$(awk '/^window class=#32770/{m=1;next}/^window/{m=0}m' <<<"$listing")
  main=$(awk '/^window class=WindowClass_0/{m=1;next}/^window/{m=0}m' <<<"$listing")
  ok=1
  grep -q 'class=Static .*text=Information\. Dossier GFX non trouver\.$' <<<"$text" || ok=0
  grep -q 'class=Button id=1 .*text=OK$' <<<"$text" || ok=0
  [ "$(grep -c 'class=Button' <<<"$text")" = 1 ] || ok=0
  if [ $ok = 0 ]; then fail no_gfx_message "message box titled '$title' not as expected: [$listing]"
  elif [ -n "$main" ]; then fail no_gfx_message "the main window has controls: [$main]"
  else pass no_gfx_message; fi

  # Enter dismisses the box, as for a user whose keyboard focus it has.
  for id in $(xdotool search --name "^$title\$"); do
    xwininfo -id "$id" | grep -q 'Width: 760' || box=$id
  done
  [ -n "${box:-}" ] && xdotool windowfocus "$box" 2>/dev/null
  sleep 0.2
  xdotool key Return
  code=$(wait_exit "$dir")
  if [ "$code" = 0 ]; then pass no_gfx_enter_exits; else fail no_gfx_enter_exits "exit code $code"; fi
}

# An empty balls folder: no ball slots at start, and a draw shows the balls drawn as text on
# plain cards, since none has a picture.
case_empty_balls() {
  local dir=$work/emptyballs id got slots code
  make_set "$dir"
  rm -f "$dir"/GFX/Balls/*
  start "$dir"
  if ! id=$(window 760 140); then fail empty_balls_folder "no window"; wait_exit "$dir" >/dev/null; return; fi
  got=$(probe | grep '^child' | sed -E 's/ x=.*//' | tr '\n' ' ')
  click_button "$id"
  slots=$(read_slots "$(shoot "$id" emptyballs)")
  local after
  after=$(probe | grep -c '^child class=Static id=[1-5] ')
  close_window "$id"
  code=$(wait_exit "$dir")
  if [ "$got" != "child class=Static id=7 child class=Static id=8 child class=Button id=9 " ]; then
    fail empty_balls_folder "controls at start: $got"
  elif [[ ! "$slots" =~ ^T\ T\ T\ T\ T\ s[0-9]+\ s[0-9]+$ ]] || [ "$after" != 5 ]; then
    fail empty_balls_folder "after a draw the slots show '$slots' ($after ball controls)"
  elif [ "$code" != 0 ]; then fail empty_balls_folder "exit code $code"
  else pass empty_balls_folder; fi
}

case_no_placeholders() {
  local dir=$work/novide id got slots code v
  make_set "$dir"
  # One placeholder missing, the other there but not a picture: both leave their slots out.
  rm -f "$dir"/GFX/Balls/vide.png
  printf 'not a picture\n' >"$dir"/GFX/Stars/vide.png
  start "$dir"
  if ! id=$(window 760 140); then fail no_placeholder "no window"; wait_exit "$dir" >/dev/null; return; fi
  got=$(probe | grep '^child' | sed -E 's/ x=.*//' | tr '\n' ' ')
  local before memory
  before=$(read_slots "$(shoot "$id" novide0)")
  memory=$(private_memory)
  click_button "$id"
  slots=$(read_slots "$(shoot "$id" novide1)")
  # Undecodable pictures with no placeholder: the values as text on plain 100 x 100 cards.
  for v in $(seq 0 49); do printf 'not a picture\n' >"$dir/GFX/Balls/$v.png"; done
  for v in $(seq 0 11); do printf 'not a picture\n' >"$dir/GFX/Stars/$v.png"; done
  click_button "$id"
  local gone controls
  gone=$(read_slots "$(shoot "$id" novide2)")
  controls=$(probe | grep '^child' | sed -E 's/ x=[0-9]+ y=0 / /; s/ visible=.*//' | tr '\n' ' ')
  close_window "$id"
  code=$(wait_exit "$dir")
  if [ "$got" != "child class=Button id=9 " ] || [ "$before" != "E E E E E E E" ]; then
    fail no_placeholder "at start: controls '$got', slots '$before'"
  elif ! valid_draw "$slots"; then fail no_placeholder "after a draw the slots show '$slots'"
  elif [ "$gone" != "T T T T T T T" ] || [ "$(grep -o 'class=Static id=[0-9] w=100 h=100' <<<"$controls" | wc -l)" != 7 ]; then
    fail no_placeholder "after undecodable files: slots '$gone', controls '$controls'"
  elif [ "$code" != 0 ]; then fail no_placeholder "exit code $code"
  else pass no_placeholder; fi

  # Placeholders a pixel over the slot size limit (1025 x 4000, 16 MB decoded) are refused as
  # the missing ones are: no slots, and no more memory at start-up than without them.
  local big
  for v in Balls Stars; do clear_png "$dir/GFX/$v/vide.png" 1025 4000; done
  start "$dir"
  if ! id=$(main_window); then fail oversized_placeholder "no window"; wait_exit "$dir" >/dev/null; return; fi
  for _ in $(seq 50); do  # the button comes last in start-up
    got=$(probe | grep '^child' | sed -E 's/ x=.*//' | tr '\n' ' ')
    [[ $got = *Button* ]] && break
    sleep 0.1
  done
  big=$(private_memory)
  close_window "$id"
  code=$(wait_exit "$dir")
  echo "oversized_placeholder: private memory at start $memory without placeholders, $big with oversized ones" >&2
  if [ "$got" != "child class=Button id=9 " ]; then fail oversized_placeholder "controls at start: '$got'"
  elif [ -z "$memory" ] || [ -z "$big" ] || [ $((big - memory)) -ge $((8 << 20)) ]; then
    fail oversized_placeholder "private memory at start $memory without placeholders, $big with oversized ones"
  elif [ "$code" != 0 ]; then fail oversized_placeholder "exit code $code"
  else pass oversized_placeholder; fi
}

# Only even balls and stars 0-5 exist: a slot whose file is missing shows its drawn value as
# text, never an earlier picture; the names and the copy give the same values.
case_partial_files() {
  local dir=$work/partial id v code now names copy i problem="" texts=0
  make_set "$dir"
  for v in $(seq 1 2 49); do rm -f "$dir/GFX/Balls/$v.png"; done
  for v in $(seq 6 11); do rm -f "$dir/GFX/Stars/$v.png"; done
  start "$dir"
  if ! id=$(window 760 140); then fail partial_files "no window"; wait_exit "$dir" >/dev/null; return; fi
  for round in 1 2 3 4; do
    click_button "$id"
    now=($(read_slots "$(shoot "$id" partial$round)"))
    names=$(read_names)
    copy=$(copied "$id")
    local named=($names)
    valid_draw "$names" && [ "$copy" = "$names" ] || problem="round $round: names '$names', copy '$copy'"
    for i in 0 1 2 3 4 5 6; do
      v=${named[i]:1}
      if { [ "$i" -le 4 ] && [ $((v % 2)) = 1 ]; } || { [ "$i" -ge 5 ] && [ "$v" -ge 6 ]; }; then
        [ "${now[i]}" = T ] && texts=$((texts + 1)) || problem="round $round slot $i: ${named[i]} has no file, shows ${now[i]}"
      else
        [ "${now[i]}" = "${named[i]}" ] || problem="round $round slot $i: ${named[i]} drawn, shows ${now[i]}"
      fi
    done
  done
  close_window "$id"
  code=$(wait_exit "$dir")
  if [ -n "$problem" ]; then fail partial_files "$problem"
  elif [ "$texts" = 0 ]; then fail partial_files "no missing file drawn in four draws"
  elif [ "$code" != 0 ]; then fail partial_files "exit code $code"
  else pass partial_files; fi
}

# Files that exist but cannot be decoded: the slot shows the value as text on its placeholder
# rather than keep a picture whose bitmap the failed load has freed; the program goes on and
# closes cleanly.
case_corrupt_files() {
  local dir=$work/corrupt id v first second third code
  make_set "$dir"
  start "$dir"
  if ! id=$(window 760 140); then fail corrupt_file "no window"; wait_exit "$dir" >/dev/null; return; fi
  click_button "$id"
  first=$(read_slots "$(shoot "$id" corrupt1)")
  for v in $(seq 0 49); do printf 'not a picture\n' >"$dir/GFX/Balls/$v.png"; done
  for v in $(seq 0 11); do : >"$dir/GFX/Stars/$v.png"; done
  click_button "$id"
  second=$(read_slots "$(shoot "$id" corrupt2)")
  local sizes
  sizes=$(probe | grep -c '^child class=Static id=[1-8] .* w=90 h=100 visible=1')
  click_button "$id"
  third=$(read_slots "$(shoot "$id" corrupt3)")
  close_window "$id"
  code=$(wait_exit "$dir")
  if ! valid_draw "$first"; then fail corrupt_file "first draw showed '$first'"
  elif [ "$second" != "T T T T T T T" ] || [ "$sizes" != 7 ]; then
    fail corrupt_file "after undecodable files the slots show '$second' ($sizes placeholder-sized), expected values as text"
  elif [ "$third" != "T T T T T T T" ]; then fail corrupt_file "a further draw shows '$third'"
  elif [ "$code" != 0 ]; then fail corrupt_file "exit code $code"
  else pass corrupt_file; fi
}

# detail FILE [OPTIONS]: how much of FILE (after OPTIONS) is finer than its 2:1 box shrink can
# hold, as the RMSE between it and that shrink doubled back by pixels.
detail() {
  convert "$@" \( +clone -filter box -resize 50% -filter point -resize 200% \) -metric RMSE -compare \
    -format '%[distortion]' info: 2>/dev/null
}

# demo_scale_200 DIR: the demo set's scale-200 files, one beside each picture, twice its size
# each way. Shrunk 2:1, each is the plain picture (both softened first: the type falls on the
# pixel grid differently at each size; RMSE 0.03 at most, 0.06 with the type left at its plain
# size), and drawn at its size, not enlarged: 1.6 times the fine detail of a Catmull-Rom
# enlargement of the plain file or more, where enlargements have at most 1.1 (doubling: 0).
demo_scale_200() {
  local dir=$1 f big plain want got same fine enlarged problems=""
  local balls=("$dir"/GFX/Balls/*.scale-200.png) stars=("$dir"/GFX/Stars/*.scale-200.png)
  [ "${#balls[@]}/${#stars[@]}" = 51/13 ] || problems+="${#balls[@]} and ${#stars[@]} files, not 51 and 13; "
  for f in Balls/5 Stars/11 Stars/vide; do
    big=$dir/GFX/$f.scale-200.png plain=$dir/GFX/$f.png
    want=$(identify -format '%[fx:2*w]x%[fx:2*h]' "$plain") got=$(identify -format '%wx%h' "$big" 2>/dev/null)
    same=$(convert "$big" -filter box -resize 50% -blur 0x1 \( "$plain" -blur 0x1 \) -metric RMSE -compare \
      -format '%[distortion]' info: 2>/dev/null)
    fine=$(detail "$big") enlarged=$(detail "$plain" -filter catrom -resize 200%)
    [ "$got" = "$want" ] && awk -v s="$same" -v f="$fine" -v e="$enlarged" 'BEGIN { exit !(s < 0.05 && f > 1.3 * e) }' ||
      problems+="$f: ${got:-no file} for $want, shrunk $same from the plain file, detail $fine against $enlarged enlarged; "
  done
  if [ -z "$problems" ]; then pass demo_scale_200; else fail demo_scale_200 "${problems%; }"; fi
}

# Pictures with soft edges (the demo set) repainted from outside: each slot invalidated alone
# ten times, then the window covered and uncovered, gives the first paint's pixels exactly.
# Then event messages forged from another process: the program ignores them and ends
# cleanly when closed.
case_repaint_and_forgery() {
  local dir=$work/demo id first again uncovered code alive
  "$pictures" "$dir" >/dev/null
  demo_scale_200 "$dir"
  start "$dir"
  if ! id=$(window 760 140); then fail repaint_same_pixels "no window"; wait_exit "$dir" >/dev/null; return; fi
  click_button "$id"
  first=$(shoot "$id" repaint0)
  wine "$probe" --invalidate 10 "$title" >/dev/null 2>&1
  again=$(compare -metric AE "$first" "$(shoot "$id" repaint1)" null: 2>&1)
  wine "$probe" --cover "$title" >/dev/null 2>&1
  uncovered=$(compare -metric AE "$first" "$(shoot "$id" repaint2)" null: 2>&1)
  if [ "$again" = 0 ] && [ "$uncovered" = 0 ]; then pass repaint_same_pixels
  else fail repaint_same_pixels "pixels changed: $again after invalidating each slot, $uncovered after covering"; fi

  local v
  for v in 0x10 0x7ffe0000 0xdeadbeef; do wine "$probe" --post-event "$v" "$title" >/dev/null 2>&1; done
  sleep 0.5
  alive=$(probe | grep -c '^window class=WindowClass_0 ')
  close_window "$id"
  code=$(wait_exit "$dir")
  if [ "$alive" = 1 ] && [ "$code" = 0 ]; then pass forged_event_posts
  else fail forged_event_posts "after forged posts: window there $alive, exit code $code"; fi
}

# Ball files that declare 11000 x 11000 pixels (470 KB each, a 484 MB bitmap if decoded): the
# slots show the values as text, and the process's private memory grows by far less than the
# budget of seven slots at the size limit (1024 x 1024 x 4 bytes, twice: 56 MiB).
case_huge_picture() {
  local dir=$work/huge id v before after slots names code
  make_set "$dir"
  clear_png "$dir/huge.png" 11000 11000
  for v in $(seq 0 49); do ln -f "$dir/huge.png" "$dir/GFX/Balls/$v.png"; done
  start "$dir"
  if ! id=$(window 760 140); then fail huge_picture "no window"; wait_exit "$dir" >/dev/null; return; fi
  before=$(private_memory)
  click_button "$id"
  slots=$(read_slots "$(shoot "$id" huge)")
  names=$(read_names)
  after=$(private_memory)
  close_window "$id"
  code=$(wait_exit "$dir")
  local grown=$(((${after:-0} - ${before:-0}) / 1024))
  echo "huge_picture: private memory $before -> $after bytes ($grown KiB) over one draw" >&2
  if [[ ! "$slots" =~ ^T\ T\ T\ T\ T\ s[0-9]+\ s[0-9]+$ ]] || ! valid_draw "$names" || [ "${names#* * * * * }" != "${slots#* * * * * }" ]; then
    fail huge_picture "slots show '$slots', names '$names'"
  elif [ "${before:-0}" = 0 ] || [ "${after:-0}" = 0 ] || [ "$grown" -ge $((56 * 1024)) ]; then
    fail huge_picture "private memory $before -> $after bytes"
  elif [ "$code" != 0 ]; then fail huge_picture "exit code $code"
  else pass huge_picture; fi
}

journal="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/Tirage Vorellis/tirages.csv"
windows_titled() { xdotool search --name "^$title\$" | wc -l; }
# The history window's X window, the newest: one just closed may linger a moment in Wine.
history_window() { xdotool search --name "^Historique des tirages\$" | sort -n | tail -1; }
# history_footer TENTHS: the text below the history's list, as Windows sees the window, waiting
# up to TENTHS tenths of a second for it; nothing once the window is gone.
history_footer() {
  local text
  for _ in $(seq 0 "$1"); do
    text=$(wine "$probe" --names "Historique des tirages" 2>/dev/null | tr -d '\r' | sed -n 's/^id=21 name=//p')
    [ -n "$text" ] && break; [ "$1" = 0 ] || sleep 0.1
  done
  echo "$text"
}

# footer_by T0 WANT: the history's footer read from outside until it is WANT, for 2 s from T0
# (microseconds, as EPOCHREALTIME without its point); footer_seen is then the milliseconds it
# took (empty when it never came) and footer_last the last text read.
footer_by() {
  local late
  footer_seen=
  while late=$(((${EPOCHREALTIME/./} - $1) / 1000)); [ "$late" -le 2000 ]; do
    footer_last=$(history_footer 0)
    [ "$footer_last" = "$2" ] && { footer_seen=$late; return; }
    sleep 0.05
  done
}

# journal_check FILE: "ok N" and one line of tokens a record ("b3 b17 b22 b41 b48 s2 s9") when
# the file is a journal whose numbers run from 1 and whose every fingerprint holds, recomputed
# here from the format's definition with Python's own SHA-256; else "bad REASON".
journal_check() {
  python3 - "$1" <<'PY'
import hashlib, sys
try: data = open(sys.argv[1], 'rb').read()
except OSError as e: sys.exit(print('bad unreadable', e))
lines = data.split(b'\r\n')
if lines[0] != b'numero,date,boule1,boule2,boule3,boule4,boule5,etoile1,etoile2,empreinte' or lines[-1]:
    sys.exit(print('bad header or last line'))
previous, rows = b'0' * 64, []
for n, line in enumerate(lines[1:-1], 1):
    body, _, print_ = line.rpartition(b',')
    f = body.split(b',')
    if int(f[0]) != n or hashlib.sha256(previous + b'\n' + body).hexdigest().encode() != print_:
        sys.exit(print('bad record', n, line.decode()))
    previous = print_
    rows.append(' '.join(['b' + v.decode() for v in f[2:7]] + ['s' + v.decode() for v in f[7:9]]))
print('ok', len(rows)); print('\n'.join(rows))
PY
}

# other_window ID: the newest window titled as the program other than ID (a message box of its),
# waiting up to 10 s for one; nothing when none came.
other_window() {
  local box
  for _ in $(seq 50); do
    box=$(xdotool search --name "^$title\$" 2>/dev/null | grep -v "^$1\$" | sort -n | tail -1)
    [ -n "$box" ] && break; sleep 0.2
  done
  echo "$box"
}

# The journal: a file at its path that the program did not write (here one saved again with LF
# line ends, as an editor may) is set aside at the first draw, its bytes untouched, under
# tirages-illisible-DATE-TIME.csv, and a new journal begun; a message says so, once. Each draw
# shown is in the file in slot order, chained as defined; a program killed at once after a click
# loses no draw it showed, and the kill ends that program and no other; a read-only journal
# leaves the draws shown, says so once, and its bytes are untouched. (Two programs:
# case_two_programs and the soak test.)
case_journal() {
  local dir=$work/journal id shown=() check i code
  local file=$journal folder
  folder=$(dirname "$journal")
  rm -rf "$folder"; mkdir -p "$folder"
  tr -d '\r' <"$top/tests/data/journal/tirages.csv" >"$file"
  cp "$file" "$work/foreign.csv"
  make_set "$dir"
  start "$dir"
  if ! id=$(window 760 140); then fail journal "no window"; wait_exit "$dir" >/dev/null; return; fi
  local before="" box told later
  click_button "$id"
  box=$(other_window "$id")
  [ -n "$box" ] && xdotool key --window "$box" Return
  for _ in $(seq 30); do [ "$(windows_titled)" = 1 ] && break; sleep 0.1; done
  before=$(next_draw ""); shown+=("$before")
  for i in 2 3; do click_button "$id"; before=$(next_draw "$before"); shown+=("$before"); done
  later=$(windows_titled)
  click_button "$id"
  # SIGKILL to the program's own process, at once after the click.
  local ended
  ended=$(end_program "$dir"); wait_exit "$dir" 20 >/dev/null
  if [ -z "$ended" ]; then pass journal_killed_by_pid; else fail journal_killed_by_pid "$ended"; fi
  check=$(journal_check "$file")
  local aside=("$folder"/tirages-illisible-*) stamp
  stamp=$(basename "${aside[0]}" | sed -nE 's/^tirages-illisible-([0-9]{8})-([0-9]{2})([0-9]{2})([0-9]{2})\.csv$/\1 \2:\3:\4/p')
  if [ -z "$box" ]; then fail journal_set_aside "no message box at the first draw"
  elif [ "$later" != 1 ]; then fail journal_set_aside "$later windows titled '$title' after two more draws: told more than once"
  elif [ "${#aside[@]}" != 1 ] || [ -z "$stamp" ] || ! date -d "$stamp" >/dev/null 2>&1; then
    fail journal_set_aside "the folder holds [$(cd "$folder" && echo *)], not tirages.csv and one tirages-illisible-YYYYMMDD-HHMMSS.csv"
  elif ! cmp -s "${aside[0]}" "$work/foreign.csv"; then
    fail journal_set_aside "$(basename "${aside[0]}") is not the foreign file's bytes: $(cmp "${aside[0]}" "$work/foreign.csv" 2>&1)"
  elif [ "$(sed -n 2p <<<"$check")" != "${shown[0]}" ]; then
    fail journal_set_aside "the first draw '${shown[0]}' is not the new journal's record 1: '$check'"
  else pass journal_set_aside; fi
  if [ "$(sed -n 2,4p <<<"$check")" != "$(printf '%s\n' "${shown[@]}")" ] || [[ "$check" != ok\ [34]* ]]; then
    fail journal "shown '${shown[*]}', journal '$check'"; return
  fi
  local sum=$(md5sum <"$file")
  chmod 444 "$file"
  start "$dir"; id=$(window 760 140)
  click_button "$id"
  local boxes names first
  for _ in $(seq 50); do boxes=$(windows_titled); [ "$boxes" = 2 ] && break; sleep 0.2; done
  xdotool key --window "$(xdotool search --name "^$title\$" | grep -v "^$id\$" | head -1)" Return
  sleep 0.5; first=$(read_names)
  click_button "$id"; sleep 1
  local later=$(windows_titled)
  [ "$later" = 1 ] || xdotool key --window "$(xdotool search --name "^$title\$" | grep -v "^$id\$" | head -1)" Return
  names=$(next_draw "$first")
  close_window "$id"; code=$(wait_exit "$dir")
  if [ "$boxes" != 2 ] || [ "$later" != 1 ] || ! valid_draw "$first" || [ "$names" = "$first" ]; then
    fail journal "unwritable journal: $boxes then $later windows, names '$first' then '$names'"
  elif [ "$(md5sum <"$file")" != "$sum" ] || [ "$code" != 0 ]; then
    fail journal "the read-only journal changed, or exit code $code"
  else pass journal; fi
  chmod 644 "$file"
}

# Two programs drawing in turn, each appending on its own handle: one sequence of numbers, one
# chain (a program that kept the last number to itself would number a record twice). With A's
# history open, B draws: A's history shows B's draw within 2 s, A drawing nothing. Each program
# is ended by its own process id, the other running on.
case_two_programs() {
  local dir=$work/two first second records i
  rm -rf "$(dirname "$journal")"
  make_set "$dir.a"; make_set "$dir.b"
  start "$dir.a"; first=$(window 760 140)
  start "$dir.b"
  for _ in $(seq 100); do
    second=$(xdotool search --name "^$title\$" | grep -v "^$first\$" | tail -1)
    [ -n "$second" ] && break; sleep 0.1
  done
  xdotool windowmove "$second" 0 0; sleep 0.5
  for i in 1 2 3 4 5 6; do
    if [ $((i % 2)) = 1 ]; then click_button "$first"; else click_button "$second"; fi
    for _ in $(seq 50); do [ "$(grep -c '' "$journal" 2>/dev/null)" -gt "$i" ] && break; sleep 0.1; done
  done
  records=$(journal_check "$journal"); records=${records%%$'\n'*}

  # A's history, then a draw of B's: from the moment its record is in the file, A's footer is
  # read from outside until it names that record, for 2 s.
  # (A takes the keys once clicked: a click on a picture, which draws nothing.)
  local footer opened want t0 seen="" owner
  xdotool mousemove --window "$first" 50 50 click 1; xdotool key --window "$first" ctrl+h
  opened=$(history_footer 50)
  # Under load the key can come before the click has given A the focus: pressed once more.
  [ -n "$opened" ] || { xdotool key --window "$first" ctrl+h; opened=$(history_footer 50); }
  owner=$(window_process "$(history_window)")
  click_button "$second"
  for _ in $(seq 100); do [ "$(grep -c '' "$journal" 2>/dev/null)" -gt 7 ] && break; sleep 0.05; done
  t0=${EPOCHREALTIME/./}
  local last=$(sed -n 8p "$journal" | tr -d '\r')
  want="Dernier tirage : n° ${last%%,*}, empreinte $(cut -c1-16 <<<"${last##*,}")"
  footer_by "$t0" "$want"; seen=$footer_seen footer=$footer_last

  # A, then B, each by its own process id, which their windows carry too.
  local ids="$(window_process "$first") $(window_process "$second")" pids ended
  pids="$(program_process "$dir.a") $(program_process "$dir.b")"
  ended=$(end_program "$dir.a" "$dir.b"; end_program "$dir.b")
  wait_exit "$dir.a" 20 >/dev/null; wait_exit "$dir.b" 20 >/dev/null
  if [ -z "$second" ] || [ "$records" != "ok 6" ]; then
    fail two_programs "second window '$second', journal '$records'"
  else pass two_programs; fi
  if [ "$ids" != "$pids" ]; then
    fail two_programs_killed_by_pid "the windows belong to processes $ids, the programs started are $pids"
  elif [ -n "$ended" ]; then fail two_programs_killed_by_pid "${ended//$'\n'/; }"
  else pass two_programs_killed_by_pid; fi
  if [ -z "$opened" ] || [ "$owner" != "${pids%% *}" ]; then
    fail history_follows_other_program "A's history did not open: footer '$opened', window of process '$owner', A is ${pids%% *}"
  elif [ -n "$seen" ]; then pass history_follows_other_program
  else
    fail history_follows_other_program "A's history footer '${footer:-}' 2 s after B's draw was recorded, not '$want' (at opening: '$opened')"
  fi
}

# list_separator SEP: the user locale's list separator (sList) in the prefix, which the programs
# started from now on read (Wine reads it once per process); the first call keeps the prefix's
# own, which cleanup puts back.
list_separator() {
  local key='HKCU\Control Panel\International'
  if [ -z "${list_was:-}" ]; then
    list_was=$(wine reg query "$key" /v sList 2>/dev/null | tr -d '\r' | sed -nE 's/^ *sList +REG_SZ +//p')
    list_was=${list_was:-,}
  fi
  wine reg add "$key" /v sList /d "$1" /f >/dev/null 2>&1
}

# history_aside: the history window moved below the main window, whose button it covers.
history_aside() { xdotool windowmove "$(history_window)" 1000 780 2>/dev/null; }

# history_press TEXT: a click on the history's button labelled TEXT, where Windows says it is.
history_press() {
  local b
  b=($(wine "$probe" "Historique des tirages" 2>/dev/null | tr -d '\r' |
    sed -nE "s/^child class=Button id=[0-9]+ x=([0-9]+) y=([0-9]+) w=([0-9]+) h=([0-9]+) visible=1 text=$1\$/\1 \2 \3 \4/p"))
  [ ${#b[@]} = 4 ] && xdotool mousemove --window "$(history_window)" $((b[0] + b[2] / 2)) $((b[1] + b[3] / 2)) click 1
}

# export_from CSV: "Exporter…" pressed in the history, and the save dialog's offer, CSV
# (tirages.csv in the user's documents), taken with Enter (again if the dialog was not ready for
# it); returns once CSV is written.
export_from() {
  local save
  history_press "Exporter…"
  for _ in $(seq 50); do save=$(xdotool search --name "^Save As\$|^Enregistrer sous\$" | head -1); [ -n "$save" ] && break; sleep 0.1; done
  for _ in 1 2 3; do
    sleep 1; xdotool key --window "$save" Return 2>/dev/null
    for _ in $(seq 30); do [ -s "$1" ] && break 2; sleep 0.1; done
  done
  sleep 0.3
}

# close_from_outside DIR: the history and the main window asked to close by another process (after
# the save dialog the keys sent to the window no longer reach it, and Wine's X11 driver may hold
# the program for a moment as the managed window goes); the program's exit code.
close_from_outside() {
  wine "$probe" --ask close "Historique des tirages" >/dev/null 2>&1
  for _ in 1 2 3 4 5; do wine "$probe" --ask close "$title" >/dev/null 2>&1 && break; sleep 0.5; done
  wait_exit "$1"
}

# spreadsheet_locale SEP: the environment (env arguments) of a Linux locale whose list separator
# is SEP, as Gnumeric takes it from the decimal separator: C for ",", French for ";" (compiled
# once into the run's folder from the locales package's sources).
spreadsheet_locale() {
  if [ "$1" = "," ]; then echo LC_ALL=C.UTF-8; return; fi
  [ -d "$work/locale/fr_FR.UTF-8" ] || { mkdir -p "$work/locale"; localedef -i fr_FR -f UTF-8 "$work/locale/fr_FR.UTF-8" >/dev/null 2>&1; }
  echo "LOCPATH=$work/locale LC_ALL=fr_FR.UTF-8"
}

# export_check CSV JOURNAL SEP: "ok" when CSV, JOURNAL's export, opens in a spreadsheet as its
# records, else what differs (its exact bytes are the soak test's). Gnumeric's ssconvert opens it
# as a user whose list separator SEP is: in such a locale, and as text (its CSV import splits at
# commas whatever the locale; its text import splits at the locale's list separator, as the
# Windows spreadsheets do with a CSV). It is saved in Gnumeric's own file, where each cell gives
# its type (ValueType 40 a number, 60 a string) and its number format: the header must be the
# export's, each date a number in a date format (with a year or day) whose value is the record's
# local time as a spreadsheet counts it (days since 1899-12-30), and each ball and star a number
# of its value.
export_check() {
  local csv=$1 journal_copy=$2 sep=$3 sheet=$work/export.gnumeric text=$work/export.txt
  rm -f "$sheet"; cp "$csv" "$text" 2>/dev/null
  # shellcheck disable=SC2046
  env $(spreadsheet_locale "$sep") ssconvert --import-type=Gnumeric_stf:stf_csvtab "$text" "$sheet" >/dev/null 2>&1
  python3 - "$csv" "$journal_copy" "$sep" "$sheet" <<'PY' 2>&1 | tail -1
import datetime, gzip, re, sys
import xml.etree.ElementTree as ET
path, journal_path, sep, sheet = sys.argv[1:5]
header = ['numero', 'date'] + ['boule%d' % i for i in range(1, 6)] + ['etoile1', 'etoile2', 'empreinte', 'date_iso']
journal = [l.split(',') for l in open(journal_path, newline='').read().split('\r\n')[1:-1]]
want = [f[:1] + [f[1][:19].replace('T', ' ')] + f[2:10] + [f[1]] for f in journal]
try:
    root = ET.parse(gzip.open(sheet)).getroot()
except Exception as e:
    sys.exit(print('the spreadsheet did not open it:', e))
ns = {'g': 'http://www.gnumeric.org/v10.dtd'}
s = root.find('g:Sheets/g:Sheet', ns)
cells = {(int(c.get('Row')), int(c.get('Col'))): c for c in s.iterfind('g:Cells/g:Cell', ns)}
regions = [(int(r.get('startRow')), int(r.get('endRow')), int(r.get('startCol')), int(r.get('endCol')),
            r.find('g:Style', ns).get('Format')) for r in s.iterfind('g:Styles/g:StyleRegion', ns)]
def fmt(r, c, cell):
    if cell.get('ValueFormat'): return cell.get('ValueFormat')
    return next((f for r0, r1, c0, c1, f in regions if r0 <= r <= r1 and c0 <= c <= c1), 'General')
def is_date(f):  # a year or a day outside quoted text, escapes and [] sections
    return re.search('[yd]', re.sub(r'"[^"]*"|\\.|\[[^]]*\]', '', f), re.I) is not None
def show(r, c):
    cell = cells.get((r, c))
    return 'nothing' if cell is None else '%s (ValueType %s, format %s)' % (cell.text, cell.get('ValueType'), fmt(r, c, cell))
top = [cells[(0, c)].text if (0, c) in cells else None for c in range(len(header))]
if top != header:
    sys.exit(print('the spreadsheet\'s first row is %r' % top))
epoch = datetime.datetime(1899, 12, 30)
for r, w in enumerate(want, 1):
    c = 1; cell = cells.get((r, c))
    when = (datetime.datetime.strptime(w[1], '%Y-%m-%d %H:%M:%S') - epoch) / datetime.timedelta(days=1)
    if cell is None or cell.get('ValueType') != '40' or not is_date(fmt(r, c, cell)) or abs(float(cell.text) - when) > 0.5 / 86400:
        sys.exit(print('row %d: the date %s is %s, not a date cell of value %.6f' % (r, w[1], show(r, c), when)))
    for c in range(2, 9):
        cell = cells.get((r, c))
        if cell is None or cell.get('ValueType') != '40' or is_date(fmt(r, c, cell)) or cell.text != w[c]:
            sys.exit(print('row %d: %s %s is %s, not a number cell' % (r, header[c], w[c], show(r, c))))
print('ok')
PY
}

# The history window by keyboard: Ctrl+H and Alt+Space then H open it; below the list the last
# draw's number and the first 16 digits of its fingerprint; Ctrl+C copies the newest row; Esc
# closes it. The journal moved away while it is open: within 2 s the window shows the path's
# journal, none ("Aucun tirage enregistré."), and after a draw that new journal's record 1. The
# export, saved through the system's dialog, is the journal's records as a spreadsheet takes
# them (export_check): once with the list separator "," and once, from a second program, ";".
case_history() {
  local dir=$work/history id list copied footer keys last
  # Wine links the user's documents to the home folder, which both builds' runs share: the
  # prefix gets a documents folder of its own.
  local documents="$WINEPREFIX/drive_c/users/$(whoami)/Documents" csv
  [ -L "$documents" ] && rm "$documents"
  mkdir -p "$documents"; csv=$documents/tirages.csv
  rm -f "$csv"
  local file=$journal
  make_set "$dir"
  list_separator ","
  start "$dir"
  if ! id=$(window 760 140); then fail history "no window"; wait_exit "$dir" >/dev/null; return; fi
  # A draw on screen is in the journal: the second one shown is its last line.
  local drawn
  click_button "$id"; drawn=$(next_draw "")
  click_button "$id"; drawn=$(next_draw "$drawn")
  last=$(tail -1 "$file" | tr -d '\r')
  local values=$(cut -d, -f1-9 <<<"$last" | tr ',' '\t')
  for keys in ctrl+h "alt+space h"; do
    for k in $keys; do xdotool key --window "$id" "$k"; sleep 0.5; done
    footer=$(history_footer 30)
    list=$(history_window)
    [ -n "$footer" ] || { list=; break; }
    xdotool key --window "$list" ctrl+c
    for _ in $(seq 10); do
      copied=$(wine "$probe" --clipboard 2>/dev/null | tr -d '\r'); [ "$copied" = "$values" ] && break
    done
    xdotool key --window "$list" Escape
    [ -z "$(history_footer 0; sleep 1; history_footer 0)" ] || { list=; break; }
  done
  xdotool key --window "$id" ctrl+h
  history_footer 50 >/dev/null
  history_aside
  export_from "$csv"
  cp "$file" "$work/journal-comma.csv"; cp "$csv" "$work/export-comma.csv" 2>/dev/null

  # The journal moved away, the history open: the footer is read from outside until it says the
  # path holds none, for 2 s from the move; then a draw begins a new journal there.
  local moved="" t0 empty first
  t0=${EPOCHREALTIME/./}
  mv "$file" "$(dirname "$file")/tirages-avant.csv"
  footer_by "$t0" "Aucun tirage enregistré."; moved=$footer_seen empty=$footer_last
  click_button "$id"; drawn=$(next_draw "$drawn")
  for _ in $(seq 30); do [ -s "$file" ] && break; sleep 0.1; done
  first=$(sed -n 2p "$file" 2>/dev/null | tr -d '\r')
  local want_first="Dernier tirage : n° 1, empreinte $(cut -c1-16 <<<"${first##*,}")" after
  for _ in $(seq 30); do after=$(history_footer 0); [ "$after" = "$want_first" ] && break; sleep 0.1; done
  local new=$(journal_check "$file")
  local code=$(close_from_outside "$dir")
  local n=${last%%,*} print=${last##*,}
  if [ -z "$list" ]; then fail history "the window did not open by $keys, or Esc left it"
  elif [ "$footer" != "Dernier tirage : n° $n, empreinte ${print:0:16}" ]; then fail history "footer '$footer'"
  elif [ "$copied" != "$values" ]; then fail history "copied '$copied', not '$values'"
  elif [ "$code" != 0 ]; then fail history "exit code $code"
  else pass history; fi
  if [ -z "$moved" ]; then fail history_journal_moved "2 s after the journal was moved away the footer says '${empty:-}'"
  elif [ "$new" != "ok 1"$'\n'"$drawn" ] || [ "$after" != "$want_first" ]; then
    fail history_journal_moved "after a draw ('$drawn') the footer says '$after', the new journal '$new'"
  else pass history_journal_moved; fi

  # A second program, whose list separator is ";", exports the new journal.
  list_separator ";"
  rm -f "$csv"
  start "$dir"
  if id=$(window 760 140); then
    xdotool key --window "$id" ctrl+h
    history_footer 50 >/dev/null
    export_from "$csv"
  fi
  cp "$file" "$work/journal-semicolon.csv"
  close_from_outside "$dir" >/dev/null
  list_separator "$list_was"; list_was=
  local read
  read=$(export_check "$work/export-comma.csv" "$work/journal-comma.csv" ,)
  if [ "$read" = ok ]; then pass export_spreadsheet_comma; else fail export_spreadsheet_comma "$read"; fi
  read=$(export_check "$csv" "$work/journal-semicolon.csv" ";")
  if [ "$read" = ok ]; then pass export_spreadsheet_semicolon; else fail export_spreadsheet_semicolon "$read"; fi
}

# --- the room's view (full screen) ----------------------------------------------------------

# new_session: the prefix's server ended (no program runs then; a caller's own persistent server is
# not started again), so that the next program starts Wine's desktop anew on $DISPLAY, whose
# monitor is then the one reported.
new_session() { wineserver -k; wineserver -w; [ "$own_server" = 1 ] && { wineserver -p >/dev/null 2>&1 </dev/null & }; }

# room_screen WxH DPI FUNCTION DIR: FUNCTION DIR W H DPI, at DPI on an Xvfb display of that size
# of its own; the script's display stays as the other cases expect it.
room_screen() {
  local -x DISPLAY
  read -r DISPLAY room_xvfb < <(start_xvfb "${1}x24" && echo "$DISPLAY $xvfb_pid")
  [ -n "${room_xvfb:-}" ] || { fail "room_$1" "Xvfb did not start"; return; }
  new_session; set_dpi "$2"
  "$3" "$4" "${1%x*}" "${1#*x}" "$2"
  set_dpi 96; new_session
  kill "$room_xvfb"; room_xvfb=
}

# until_window RE: winprobe's first line once it matches RE, for about 5 s; else the last read.
until_window() {
  local line
  for _ in $(seq 12); do line=$(probe | head -1); [[ $line =~ $1 ]] && break; sleep 0.1; done
  echo "$line"
}
# record: the journal's last record, "N TOKENS": its number, then its values as read_names has them.
record() { tail -1 "$journal" | tr -d '\r' | awk -F, '{ print $1, "b"$3, "b"$4, "b"$5, "b"$6, "b"$7, "s"$8, "s"$9 }'; }
# midway: the slots' names once they show a draw being revealed (values, then placeholders), for about 5 s.
revealing='^([bs][0-9]+ )+P( P)*$'
midway() { local got; for _ in $(seq 12); do got=$(read_names); [[ $got =~ $revealing ]] && break; done; echo "$got"; }
# listen MS: winprobe --name-events MS in the background from now, into $work/heard; its pid in listener.
listen() {
  wine "$probe" --name-events "$1" "$title" >"$work/heard" 2>/dev/null &
  listener=$!
  for _ in $(seq 50); do grep -qs listening "$work/heard" && break; sleep 0.1; done
}

# paced FILE N PACE: nothing when the listener's FILE has the first N slots named with their values
# in slot order, the first within 500 ms of the draw, each next PACE ms (+-400) later; else SLOT@MS...
paced() {
  tr -d '\r' <"$1" | awk -F'[ =]' '/^change/ { if (t0 == "" || $3 < t0) t0 = $3; if ($8 ~ /^[0-9]+$/) at[$5] = $3 }
    END { for (k in at) print at[k] - t0, k }' | sort -n | awk -v n="$2" -v p="$3" '{ split("1 2 3 4 5 7 8", want, " ")
      heard = heard " " $2 "@" $1; d = $1 - t; t = $1
      if (NR <= n && ($2 != want[NR] || (NR == 1 ? d > 500 : d < p - 400 || d > p + 400))) bad = 1 }
    END { if (bad || NR < n) print heard }'
}

# room_problems W H DPI SHOT: what winprobe and SHOT, a screenshot, show wrong in the room on a W x H
# screen: the window covers it; the slots, squares of one size over twice the window's, in one row,
# evenly spaced but for a wider gap before the stars, centred inside a margin of 4 % of H, each its
# named value's colour to its corners; the caption below them, the journal's last record and time.
room_problems() {
  local w=$1 h=$2 m=$(($2 * 4 / 100)) listing names r=() p=(1,1) want=() c i d v ok=1 out=""
  listing=$(probe); names=($(read_names))
  [[ $listing = "window class=WindowClass_0 x=0 y=0 client=${w}x$h"$'\n'* ]] || out+="${listing%%$'\n'*}; "
  for i in $SLOTS 10; do
    r+=($(sed -nE "s/^child class=Static id=$i x=([0-9]+) y=([0-9]+) w=([0-9]+) h=([0-9]+) visible=1 .*/\1 \2 \3 \4/p" <<<"$listing"))
  done
  [ ${#r[@]} = 32 ] || { echo "controls [$listing]"; return; }
  local x y=${r[1]} s=${r[2]} g=$((r[4] - r[0]))
  for i in 0 1 2 3 4 5 6; do
    x=${r[i * 4]} d=$((r[i * 4] - r[i * 4 - 4] - g)) v=${names[i]:1}
    [ "${r[*]:i*4+1:3}" = "$y $s $s" ] && ((i == 5 ? d > g / 3 : i == 0 || d * d <= 1)) || ok=0
    p+=("$x,$y" "$((x + s - 1)),$((y + s - 1))" "$((x - 1)),$((y + s / 2))" "$((x + s)),$((y + s / 2))")
    want+=("$((i < 5 ? 200 : 40)),$((20 + (i < 5 ? 4 : 16) * v)),$((i < 5 ? 40 : 200))")
  done
  d=$((r[0] - (w - r[24] - s)))
  ((ok && d * d <= 1 && r[0] >= m && y >= m && s >= $(scaled 200 "$3"))) || out+="slots at ${r[*]:0:28}; "
  c=($(pixels "$4" "${p[@]}"))
  for i in 0 1 2 3 4 5 6; do
    near "${c[i * 4 + 1]}" "${want[i]}" && near "${c[i * 4 + 2]}" "${want[i]}" && near "${c[i * 4 + 3]}" "$c" &&
      near "${c[i * 4 + 4]}" "$c" || out+="${names[i]} shows ${c[*]:i*4+1:4}; "
  done
  local last=$(tail -1 "$journal" | tr -d '\r') caption=$(sed -n 's/^child class=Static id=10 .* text=//p' <<<"$listing")
  local at=$(cut -d, -f2 <<<"$last")
  [ "${r[29]}" = $((y + s)) ] && [[ $caption = "Tirage n° ${last%%,*} — "*"${at:13:6}"* ]] ||
    out+="caption '$caption' at y=${r[29]}, the journal's last record $last; "
  echo "${out%; }"
}

# 1920 x 1080 at 96 dpi: F11 and Esc; "1 s" then "Plein écran" from the system menu, and a draw
# revealed in slot order 1 s apart, recorded by the time its first values show; a press (a click)
# during a reveal shows the rest at once, drawing nothing; a kill during one leaves it recorded.
room_1080() {
  local dir=$1 w=$2 h=$3 id before shot again n mid now names kind=room_${2}x${3}_$4
  start "$dir"
  if ! id=$(main_window); then fail "$kind" "no window"; wait_exit "$dir" >/dev/null; return; fi
  xdotool windowfocus "$id" 2>/dev/null
  click_button "$id"; next_draw "" >/dev/null
  before=$(probe | head -1); shot=$(shoot "$id" window0)
  xdotool key --window "$id" F11; until_window "client=${w}x$h" >/dev/null
  local problems=$(room_problems "$w" "$h" "$4" "$(shoot "$id" "$kind")")
  if [ -z "$problems" ]; then pass "$kind"; else fail "$kind" "$problems"; fi
  xdotool key --window "$id" Escape; again=$(until_window "^$before\$")
  local differ=$(compare -metric AE "$shot" "$(shoot "$id" window1)" null: 2>&1)
  if [ "$again" = "$before" ] && [ "$differ" = 0 ]; then pass room_esc_gives_back
  else fail room_esc_gives_back "[$before] before F11, [$again] after Esc, $differ pixels differ"; fi

  wine "$probe" --syscommand 0x170 "$title" >/dev/null 2>&1 # "Dévoilement", "1 s"
  local pace=$(wine reg query 'HKCU\Software\Tirage Vorellis' /v DevoilementMs 2>/dev/null | grep -o '0x[0-9a-f]*')
  wine "$probe" --syscommand 0x130 "$title" >/dev/null 2>&1 # "Plein écran"
  until_window "client=${w}x$h" >/dev/null
  local listener; listen 7500
  n=$(record); n=${n%% *}
  xdotool key --window "$id" space; mid=$(midway); now=$(record)
  wait "$listener"; names=$(read_names)
  local heard=$(paced "$work/heard" 7 1000)
  if [ "$pace" = 0x3e8 ] && [[ $mid =~ $revealing ]] && [[ $now = "$((n + 1)) ${mid%% P*}"* ]] && [ -z "$heard" ] &&
    [ "$(record)" = "$((n + 1)) $names" ]; then pass reveal_in_order
  else fail reveal_in_order "DevoilementMs $pace; on show '$mid' with record '$now', then '$names' with '$(record)'; heard$heard"; fi

  xdotool key --window "$id" space; mid=$(midway)
  xdotool mousemove --window "$id" 10 10 click 1; local t0=${EPOCHREALTIME/./}
  for _ in $(seq 10); do names=$(read_names); [[ $names = *P* ]] || break; done
  local late=$(((${EPOCHREALTIME/./} - t0) / 1000)); now=$(record)
  if [[ $mid =~ $revealing ]] && [ "$now" = "$((n + 2)) $names" ] && [ "$late" -lt 2000 ]; then pass reveal_press_shows_rest
  else fail reveal_press_shows_rest "on show '$mid', then '$names' $late ms after a click; the journal's last record '$now'"; fi

  xdotool key --window "$id" space; mid=$(midway)
  local ended=$(end_program "$dir"); wait_exit "$dir" 20 >/dev/null; now=$(record)
  if [[ $mid =~ $revealing ]] && [[ $now = "$((n + 3)) ${mid%% P*}"* ]] && [ -z "$ended" ]; then pass reveal_killed_recorded
  else fail reveal_killed_recorded "on show '$mid' when killed ($ended); the journal's last record '$now'"; fi
}

# 3840 x 2160 at 144 dpi, a new run: the pace the last run chose; without the stars' files, their
# placeholder too, plain value cards of the other slots' size; F11 gives the window back.
room_2160() {
  local dir=$1 w=$2 h=$3 id before names star got shot again kind=room_${2}x${3}_$4
  start "$dir"
  if ! id=$(main_window); then fail "$kind" "no window"; wait_exit "$dir" >/dev/null; return; fi
  xdotool windowfocus "$id" 2>/dev/null
  before=$(probe | head -1)
  xdotool key --window "$id" F11; until_window "client=${w}x$h" >/dev/null
  local listener; listen 2500
  xdotool key --window "$id" space; wait "$listener"
  got=$(paced "$work/heard" 2 1000)
  if [ -z "$got" ]; then pass reveal_pace_kept; else fail reveal_pace_kept "after a restart, heard$got"; fi
  xdotool key --window "$id" space; names=$(next_draw "")
  got=$(room_problems "$w" "$h" "$4" "$(shoot "$id" "$kind")")
  if [ -z "$got" ]; then pass "$kind"; else fail "$kind" "$got"; fi

  rm -f "$dir"/GFX/Stars/*.png
  xdotool key --window "$id" space space  # a draw, and the rest of it at once
  names=$(next_draw "$names"); got=$(probe)
  local side=$(sed -nE 's/^child class=Static id=1 .* (w=[0-9]+ h=[0-9]+) .*/\1/p' <<<"$got")
  star=($(sed -nE "s/^child class=Static id=8 x=([0-9]+) y=([0-9]+) $side visible=1 .*/\1 \2/p" <<<"$got"))
  shot=$(shoot "$id" cards)
  if [ -n "${star[1]:-}" ] && near "$(pixels "$shot" "$((star + 2)),$((star[1] + 2))")" 255,255,255 &&
    has_text "$shot" "${star[@]}" ${side//[wh=]/}; then pass room_value_card
  else fail room_value_card "${names##* }: [$(grep 'id=8 ' <<<"$got")], not $side as slot 1"; fi
  xdotool key --window "$id" F11; again=$(until_window "^$before\$")
  close_window "$id"; got=$(wait_exit "$dir")
  if [ "$again" = "$before" ] && [ "$got" = 0 ]; then pass room_f11_gives_back
  else fail room_f11_gives_back "[$before] before F11, [$again] after F11 again, exit code $got"; fi
}

case_full_screen() {
  local dir=$work/room
  make_set "$dir"
  rm -rf "$(dirname "$journal")"
  wine reg delete 'HKCU\Software\Tirage Vorellis' /v DevoilementMs /f >/dev/null 2>&1
  room_screen 1920x1080 96 room_1080 "$dir"
  room_screen 3840x2160 144 room_2160 "$dir"
}

all_cases=(case_full_set case_high_dpi case_close_at_start case_no_gfx case_empty_balls case_no_placeholders
  case_partial_files case_corrupt_files case_repaint_and_forgery case_huge_picture case_journal case_two_programs case_history
  case_full_screen)
# The last ones end the program in ways that need unmanaged windows; the session end comes last.
ending_cases=(case_close_requests case_session_end)
for c in ${E2E_ONLY:-${all_cases[*]}}; do [[ " ${ending_cases[*]} " = *" $c "* ]] || "$c"; done
unmanaged on
for c in ${E2E_ONLY:-${ending_cases[*]}}; do [[ " ${ending_cases[*]} " = *" $c "* ]] && "$c"; done
unmanaged off

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
