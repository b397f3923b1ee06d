#!/usr/bin/env bash
# Release test: what a Windows user downloads (dist/, from scripts/package), used as a user
# and an administrator use it, under Wine and Xvfb, for both architectures, each in a fresh
# Wine prefix:
#   - the zip, unpacked into a fresh folder, runs from its own folder as a double-click starts
#     it, and a real click (xdotool) shows the shipped pictures (screenshot);
#   - the version resource reads back through GetFileVersionInfoW / VerQueryValueW;
#   - the installer with /S /CurrentUser, then with /S /AllUsers, installs what the zip holds
#     into that scope's folder, the scope's Start-menu shortcut (read through IShellLinkW)
#     targets the program with the install folder as working folder, the Apps-and-features
#     entry is the scope's (under HKLM in the registry view of the program's architecture) and
#     no other, and the program started as the shortcut starts it shows the shipped pictures;
#   - /S uninstall removes everything installed and keeps a file the user added;
#   - the installer of the version before this one, made by that version's own scripts/package
#     (see earlier_release), then this one over it with a plain /S: it updates that install in
#     its folder and scope, leaves one Apps entry, of this version, keeps a picture the user
#     replaced and the draw journal byte for byte; the earlier installer then refuses to go
#     back (just for the user for win32, for all users in a folder of the user's for win64);
#   - the installer's manifest declares per-monitor display-scale awareness;
#   - the program is hardened (header flags, stack protector, heap termination, asInvoker
#     manifest) and loads msimg32.dll and dwmapi.dll from the system folder only: copies
#     planted beside it and in the current folder stay unloaded, and pictures with alpha still
#     draw;
#   - the Windows test bundle lists each test program with the cases it runs, and its
#     run-tests.cmd, under Wine's cmd, passes every Windows test, and fails on a listed program
#     that is missing, on one that runs fewer cases than listed, and when no case ran;
#     the picture and window tests pass beside a planted msimg32.dll and dwmapi.dll, unloaded;
#   - release-smoke (what the Windows workflow runs on Windows itself) installs just for the
#     user, starts the program, draws, closes it and uninstalls;
# and, with both architectures:
#   - one architecture per scope: the win32 installer refuses over the win64 install;
#   - the win64 installer in a 32-bit prefix exits non-zero and writes nothing;
#   - scripts/package given a throwaway certificate signs what osslsigncode then accepts;
#   - the installer clicked through ends on a page that starts the program in its folder.
#
#   tests/release/run_release.sh [--package] [win32|win64...]
#
# --package runs scripts/package first and builds the probe and the smoke test; naming
# architectures tests only those. Needs build/win32/bin/release-probe.exe and release-smoke.exe
# and the staged folders scripts/package leaves in build/package; makes the earlier version's
# installers once and keeps them in build/earlier-release (about 5 minutes on two cores the
# first time: see earlier_release). Each architecture, and the cases across both, runs in a
# lane of its own, side by side. Prints "PASS name" or "FAIL name: reason" per case and last
# "N passed, N failed"; exits 1 when a case failed.
set -uo pipefail

top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/vorellis-release.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=" WINEARCH=win64
# A new user's prefix, booted once for the run (while the release is packaged) and copied for
# each use.
(export WINEPREFIX=$work/prefix-pristine && wineboot -i >/dev/null 2>&1 && wineserver -w) &
booting=$!
package=
if [ "${1:-}" = --package ]; then
  shift
  package=yes
  if ! "$top/scripts/package" >/dev/null; then package="scripts/package failed"
  # The probe and the smoke test are no part of the release, so packaging does not build them.
  elif ! BUILD_TARGETS="release-probe release-smoke" "$top/scripts/build" win32 >/dev/null; then
    package="release-probe or release-smoke did not build"
  fi
fi
wait "$booting"
if [ -n "$package" ] && [ "$package" != yes ]; then
  WINEPREFIX=$work/prefix-pristine wineserver -k 2>/dev/null; rm -rf "$work"
  echo "FAIL package: $package"; echo "0 passed, 1 failed"; exit 1
fi
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(win32 win64)
version=$("$top/scripts/version")

# --- the version before this one, as its users got it --------------------------------------
# version_at COMMIT: the project's version at COMMIT.
version_at() { git -C "$top" show "$1:CMakeLists.txt" 2>/dev/null | sed -n 's/^project(vorellis VERSION \([0-9.]*\).*/\1/p'; }
# earlier_commit: the last commit at the version before this tree's: HEAD while the new version
# is not committed yet, else the parent of the commit that set it.
earlier_commit() {
  local c v
  if [ "$(version_at HEAD)" != "$version" ]; then git -C "$top" rev-parse HEAD; return; fi
  for c in $(git -C "$top" log --format=%H -G'^project.vorellis VERSION' -- CMakeLists.txt); do
    v=$(version_at "$c^")
    if [ -n "$v" ] && [ "$v" != "$version" ]; then git -C "$top" rev-parse "$c^"; return; fi
  done
  return 1
}
# earlier_release: sets earlier_version and earlier_dir, the folder that holds that version's
# installers, made by its own scripts/package in a worktree of that commit, as it was shipped
# (the same commit gives the same bytes); or earlier_problem. A release takes minutes to make
# (both builds, the test programs and their bundles), so it is kept under
# build/earlier-release/COMMIT: made once per machine, by one run at a time.
earlier_version="" earlier_dir="" earlier_problem=""
earlier_release() {
  local commit src keep=$top/build/earlier-release t0=$SECONDS
  # A shallow clone lacks the earlier version's commits: its whole history is fetched first.
  if [ "$(git -C "$top" rev-parse --is-shallow-repository 2>/dev/null)" = true ]; then
    git -C "$top" fetch --quiet --unshallow >/dev/null 2>&1
  fi
  if ! commit=$(earlier_commit); then
    earlier_problem="no commit of a version before $version in the history (a shallow clone?)"; return
  fi
  earlier_version=$(version_at "$commit")
  earlier_dir=$keep/$commit
  mkdir -p "$keep"
  (
    flock 9
    [ -f "$earlier_dir/made" ] && exit 0
    rm -rf "$earlier_dir" "$earlier_dir.log"
    src=$work/earlier-src
    git -C "$top" worktree add --detach "$src" "$commit" >"$earlier_dir.log" 2>&1 || exit 1
    # The libpng source and the workflow checker this tree has, rather than fetched again.
    mkdir -p "$src/build"
    [ -d "$top/third_party" ] && cp -a "$top/third_party" "$src/"
    [ -d "$top/build/npm" ] && cp -a "$top/build/npm" "$src/build/"
    (cd "$src" && env -u SOURCE_DATE_EPOCH -u BUILD_TARGETS scripts/package) >>"$earlier_dir.log" 2>&1
    local rc=$?
    if [ $rc = 0 ]; then
      mkdir -p "$earlier_dir" && cp "$src"/dist/*-setup.exe "$src/dist/SHA256SUMS" "$earlier_dir/" && touch "$earlier_dir/made"
      echo "run_release: made the $earlier_version release (${commit:0:7}) in $((SECONDS - t0)) s, kept in $earlier_dir" >&2
    fi
    git -C "$top" worktree remove --force "$src" >/dev/null 2>&1
    exit $rc
  ) 9>"$keep/$commit.lock" ||
    earlier_problem="the $earlier_version release (${commit:0:7}) could not be made: $earlier_dir.log"
}
dist=$top/dist
probe=$top/build/win32/bin/release-probe.exe
smoke=$top/build/win32/bin/release-smoke.exe
for f in "$dist/SHA256SUMS" "$probe" "$smoke"; do
  [ -f "$f" ] || { echo "run_release: missing $f (run scripts/package)" >&2; rm -rf "$work"; exit 2; }
done

title="Tirage Vorellis"
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Tirage Vorellis'

cleanup() {
  local p
  for p in "$work"/prefix-*/; do WINEPREFIX=$p wineserver -k 2>/dev/null; done
  [ -f "$work/xvfb.pids" ] && kill $(cat "$work/xvfb.pids") 2>/dev/null
  [ -d "$work/earlier-src" ] && git -C "$top" worktree remove --force "$work/earlier-src" >/dev/null 2>&1
  if [ -n "${RELEASE_KEEP:-}" ]; then echo "run_release: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
earlier_release

# Each lane prints its cases; the closing count is taken from those lines.
pass() { echo "PASS $1"; }
fail() { local name=$1; shift; echo "FAIL $name: $*"; }

# own_display: a display of its own for the caller's lane, so that no window of another lane
# with the program's title is mistaken for its own.
. "$top/tests/support/xvfb.sh"
own_display() {
  start_xvfb || { echo "run_release: Xvfb did not start" >&2; return 1; }
  echo "$xvfb_pid" >>"$work/xvfb.pids"
}

# fresh_prefix NAME: a new user's Wine prefix, copied from one booted once for the run (a boot
# takes 15-20 s, a copy well under one); exported as WINEPREFIX.
fresh_prefix() {
  export WINEPREFIX=$work/prefix-$1
  rm -rf "$WINEPREFIX" && cp -a "$work/prefix-pristine" "$WINEPREFIX"
}

# --- helpers -----------------------------------------------------------------------------

wine_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
reg_value() {  # reg_value VIEW NAME [HIVE]: the value's data in the Apps entry (HKLM's by default), or nothing
  wine reg query "${3:-HKLM}\\$key" /v "$2" "/reg:$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# tree DIR: every file under DIR with its checksum, sorted.
tree() { (cd "$1" && find . -type f -exec sha256sum {} + | sort -k2); }

window() {  # window [TRIES]: the 760x140 window titled $title, waiting up to TRIES/10 s (15 s)
  local id w h
  for _ in $(seq "${1:-150}"); do
    for id in $(xdotool search --name "^$title\$" 2>/dev/null); do
      read -r w h < <(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{w=$2}/Height:/{h=$2}END{print w, h}')
      [ "$w" = 760 ] && [ "$h" = 140 ] && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

# slot_matches SHOT K GFX: the slot K picture of SHOT is one of the numbered pictures of GFX
# (laid over the window's background, as the program draws it); prints its value.
slot_matches() {
  local shot=$1 k=$2 gfx=$3 x folder count bg pic v slot=$work/slot-$BASHPID.png want=$work/want-$BASHPID.png
  if [ "$k" -le 5 ]; then x=$((110 * (k - 1))); folder=Balls; count=50
  else x=$((550 + 110 * (k - 7))); folder=Stars; count=12; fi
  bg=$(convert "$shot" -format '%[pixel:p{105,50}]' info:)
  convert "$shot" -crop "100x100+$x+0" +repage "$slot"
  for v in $(seq 0 $((count - 1))); do
    pic=$gfx/$folder/$v.png
    convert "$pic" -background "$bg" -flatten "$want"
    if [ "$(compare -metric AE -fuzz 3% "$slot" "$want" null: 2>&1)" = 0 ]; then
      rm -f "$slot" "$want"; echo "$v"; return 0
    fi
  done
  rm -f "$slot" "$want"
  return 1
}

# run_and_click NAME DIR EXE GFX: starts EXE with DIR as current folder, clicks the button,
# checks the screenshot shows a draw of pictures from GFX, closes the window; exit code 0.
run_and_click() {
  local name=$1 dir=$2 exe=$3 gfx=$4 id shot k v balls="" stars="" code
  local file=$work/${name//\//-}
  (cd "$dir" && wine "$exe" >/dev/null 2>&1; echo $? >"$file.exit") &
  local started=$!
  # A program that does not start (it happens under Wine now and then) gets one more start,
  # as scripts/test gives its programs.
  if ! id=$(window); then
    wineserver -k; wait "$started"; rm -f "$file.exit"
    (cd "$dir" && wine "$exe" >/dev/null 2>&1; echo $? >"$file.exit") &
    if ! id=$(window); then fail "$name" "no window titled '$title'"; wineserver -k; return; fi
  fi
  xdotool mousemove --window "$id" 380 122 click 1
  # The draw has happened once the first slot shows a shipped ball (at most 10 s).
  shot=$file.png
  for _ in $(seq 20); do
    sleep 0.5
    import -window "$id" "$shot" 2>/dev/null || continue
    slot_matches "$shot" 1 "$gfx" >/dev/null && { sleep 0.5; import -window "$id" "$shot" 2>/dev/null; break; }
  done
  [ -f "$shot" ] || { fail "$name" "no screenshot"; return; }
  for k in 1 2 3 4 5 7 8; do
    v=$(slot_matches "$shot" "$k" "$gfx") || { v=none; }
    if [ "$k" -le 5 ]; then balls+="$v "; else stars+="$v "; fi
  done
  xdotool windowfocus "$id" 2>/dev/null; xdotool key alt+F4
  for _ in $(seq 100); do [ -s "$file.exit" ] && break; sleep 0.1; done
  code=$(cat "$file.exit" 2>/dev/null)
  if [[ "$balls$stars" == *none* ]]; then fail "$name" "slots show balls [$balls] stars [$stars] (none: not a shipped picture)"
  elif [ "$(tr ' ' '\n' <<<"$balls" | sort -u | grep -c .)" != 5 ] || [ "$(tr ' ' '\n' <<<"$stars" | sort -u | grep -c .)" != 2 ]; then
    fail "$name" "not a draw: balls [$balls] stars [$stars]"
  elif [ "$code" != 0 ]; then fail "$name" "exit code '${code:-none}'"
  else pass "$name"; fi
}

# --- one install scope ---------------------------------------------------------------------

# scope_paths SCOPE: sets the caller's hive, base, win_base (the folder that holds the install
# folder, Unix and Windows path) and lnk (the Start-menu shortcut) for AllUsers or CurrentUser.
scope_paths() {
  local user=$WINEPREFIX/drive_c/users/$(id -un)
  if [ "$1" = AllUsers ]; then
    hive=HKLM base=$WINEPREFIX/drive_c/$pf win_base="C:\\$pf"
    lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tirage Vorellis.lnk"
  else
    hive=HKCU base=$user/AppData/Local/Programs win_base="C:\\users\\$(id -un)\\AppData\\Local\\Programs"
    lnk="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tirage Vorellis.lnk"
  fi
}

# scope_test ARCH SCOPE ROOT: the installer with /S /SCOPE (AllUsers or CurrentUser) installs
# what ROOT (the unpacked zip) holds into that scope's folder, with that scope's Start-menu
# shortcut (read through IShellLinkW: the program, the install folder as working folder) and
# Apps entry, and no other; the program started as the shortcut starts it draws; /S uninstall
# removes everything installed and keeps a file the user added. Uses release_test's setup,
# view, other and pf.
scope_test() {
  local arch=$1 scope=$2 root=$3 name=$1/${2,,} hive base win_base lnk rc got want info target workdir
  scope_paths "$scope"
  local inst="$base/Tirage Vorellis" win_inst="$win_base\\Tirage Vorellis"

  wine "$setup" /S "/$scope" >/dev/null 2>&1; rc=$?
  wineserver -w
  got=$(tree "$inst" | grep -v ' ./uninstall.exe$')
  if [ "$rc" != 0 ]; then fail "$name/install_silent" "exit code $rc"
  elif [ "$got" != "$(tree "$root")" ] || [ ! -f "$inst/uninstall.exe" ]; then
    fail "$name/install_silent" "the install folder '$inst' does not hold what the zip holds plus uninstall.exe"
  else pass "$name/install_silent"; fi

  info=$(wine "$probe" shortcut "$(winepath -w "$lnk" 2>/dev/null | tr -d '\r')" 2>/dev/null | tr -d '\r')
  target=$(sed -n 's/^target=//p' <<<"$info"); workdir=$(sed -n 's/^workdir=//p' <<<"$info")
  if [ "${target,,}" != "${win_inst,,}\\vorellis.exe" ] || [ "${workdir,,}" != "${win_inst,,}" ]; then
    fail "$name/shortcut" "read through IShellLinkW: [$info], expected target $win_inst\\vorellis.exe, working folder $win_inst"
  else pass "$name/shortcut"; fi

  local problems="" size_kb
  [ "$(reg_value $view DisplayName $hive)" = "Tirage Vorellis" ] || problems+=" DisplayName"
  [ "$(reg_value $view DisplayVersion $hive)" = "$version" ] || problems+=" DisplayVersion"
  [ "$(reg_value $view DisplayIcon $hive)" = "$win_inst\\vorellis.exe,0" ] || problems+=" DisplayIcon"
  [ "$(reg_value $view UninstallString $hive)" = "\"$win_inst\\uninstall.exe\"" ] || problems+=" UninstallString"
  [ "$(reg_value $view QuietUninstallString $hive)" = "\"$win_inst\\uninstall.exe\" /S" ] || problems+=" QuietUninstallString"
  size_kb=$(find "$root" -type f -printf '%s\n' | awk '{s += $1} END {print int((s + 1023) / 1024)}')
  [ "$(reg_value $view EstimatedSize $hive)" = "$(printf '0x%x' "$size_kb")" ] || problems+=" EstimatedSize"
  [ "$(reg_value $view NoModify $hive)" = 0x1 ] || problems+=" NoModify"
  [ "$(reg_value $view NoRepair $hive)" = 0x1 ] || problems+=" NoRepair"
  # The other scope has none; under HKLM the other view has none either (HKCU's is shared).
  if [ $hive = HKLM ]; then
    [ -z "$(reg_value $other DisplayName)$(reg_value $view DisplayName HKCU)" ] || problems+=" (also in HKCU or the $other-bit view)"
  else
    [ -z "$(reg_value 32 DisplayName)$(reg_value 64 DisplayName)" ] || problems+=" (also under HKLM)"
  fi
  if [ -n "$problems" ]; then fail "$name/apps_entry" "wrong or missing in $hive, $view-bit view:$problems"
  else pass "$name/apps_entry"; fi

  # Started as the shortcut starts it: its target, in its working folder.
  run_and_click "$name/shortcut_click_draws" "$(wine_path "$workdir")" "$target" "$inst/GFX"

  # Uninstall, silent, with a file of the user's in the install folder.
  convert -size 100x100 xc:green "$inst/GFX/Balls/mine.png"
  wine "$inst/uninstall.exe" /S >/dev/null 2>&1; rc=$?
  wineserver -w  # the uninstaller runs from a copy of itself and returns at once
  got=$(cd "$base" && find "Tirage Vorellis" 2>/dev/null | sort | tr '\n' ' ')
  want="Tirage Vorellis Tirage Vorellis/GFX Tirage Vorellis/GFX/Balls Tirage Vorellis/GFX/Balls/mine.png "
  if [ "$rc" != 0 ]; then fail "$name/uninstall_silent" "exit code $rc"
  elif [ "$got" != "$want" ]; then fail "$name/uninstall_silent" "left [$got], expected [$want]"
  elif [ -e "$lnk" ] || [ -n "$(reg_value $view DisplayName $hive)" ]; then fail "$name/uninstall_silent" "shortcut or Apps entry left"
  else pass "$name/uninstall_silent"; fi
  rm -rf "$inst"
}

# --- hardening -----------------------------------------------------------------------------

# hardening_test ARCH ROOT: the header flags, stack protector, heap and library-search calls
# and manifest of ROOT/vorellis.exe; then msimg32.dll and dwmapi.dll planted beside it and in
# the current folder, native preferred, are never loaded, and the pictures still draw with alpha.
hardening_test() {
  local arch=$1 root=$2 head want=(DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE HeapSetInformation
    SetDllDirectoryW 'MajorSubsystemVersion.6' 'MinorSubsystemVersion.1' 'MajorOSystemVersion.6'
    'MinorOSystemVersion.1') missing="" w manifest
  [ "$arch" = win64 ] && want+=(HIGH_ENTROPY_VA)
  head=$(x86_64-w64-mingw32-objdump -p "$root/vorellis.exe" | tr '\t' ' ' | tr -s ' ')
  for w in "${want[@]}"; do grep -q "${w/./ }" <<<"$head" || missing+=" $w"; done
  grep -q 'stack smashing detected' "$root/vorellis.exe" || missing+=" stack-protector"
  manifest=$(wine "$probe" manifest "$(winepath -w "$root/vorellis.exe" 2>/dev/null | tr -d '\r')" 2>/dev/null)
  grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$manifest" || missing+=" asInvoker"
  [ "$(grep -c '<supportedOS Id=' <<<"$manifest")" = 4 ] || missing+=" supportedOS"
  if [ -n "$missing" ]; then fail "$arch/hardened" "missing:$missing"; else pass "$arch/hardened"; fi

  local cwd=$work/cwd-$arch
  mkdir -p "$cwd" && cp -r "$root/GFX" "$cwd/"
  plant "$arch" "$cwd" program && cp "$cwd"/*.dll "$root/"
  WINEDLLOVERRIDES=$WINEDLLOVERRIDES$prefer_planted run_and_click "$arch/planted_msimg32_alpha_draws" "$cwd" "$root/vorellis.exe" "$root/GFX"
  planted_check "$arch/planted" "$arch" program "$cwd" "the program loaded a LIB.dll planted beside it or in the current folder"
  rm -f "$root"/*.dll
}

# The system libraries the runtime loads at run time, and the overrides that make Wine prefer a
# copy planted beside a program to its own: what a planted copy would need to be loaded.
planted_libs="msimg32 dwmapi"
prefer_planted=";msimg32=n,b;dwmapi=n,b"

# plant ARCH DIR TAG: into DIR, a copy of each of planted_libs that writes the marker
# $work/planted-ARCH-TAG-LIB when something loads it.
plant() {
  local arch=$1 dir=$2 tag=$3 lib cc=i686-w64-mingw32-gcc
  [ "$arch" = win64 ] && cc=x86_64-w64-mingw32-gcc
  if [ ! -f "$work/loader-$arch.exe" ]; then
    printf '#include <windows.h>\nint main(int c, char** v) { return c != 2 || !LoadLibraryA(v[1]); }\n' >"$work/loader-$arch.c"
    $cc -o "$work/loader-$arch.exe" "$work/loader-$arch.c" || return 1
  fi
  for lib in $planted_libs; do
    printf '#include <windows.h>\nBOOL WINAPI DllMain(HINSTANCE h, DWORD r, LPVOID p) {\n  if (r == DLL_PROCESS_ATTACH)\n    CloseHandle(CreateFileA("Z:%s", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0));\n  return TRUE;\n}\n' \
      "$work/planted-$arch-$tag-$lib" >"$work/planted-$arch-$tag-$lib.c"
    $cc -shared -o "$dir/$lib.dll" "$work/planted-$arch-$tag-$lib.c" || return 1
  done
}

# planted_check CASE ARCH TAG DIR REASON: one case CASE_LIB_not_loaded per library that plant
# put into DIR: passed when its marker is absent, and yet present once the control loads it.
planted_check() {
  local name=$1 arch=$2 tag=$3 dir=$4 reason=$5 lib loaded
  for lib in $planted_libs; do
    loaded=no
    [ -e "$work/planted-$arch-$tag-$lib" ] && loaded=yes
    # The control: loaded on purpose, it writes its marker (three tries: under Wine a program
    # fails to start now and then).
    for _ in 1 2 3; do
      WINEDLLOVERRIDES=$WINEDLLOVERRIDES$prefer_planted wine "$work/loader-$arch.exe" "$(winepath -w "$dir/$lib.dll" 2>/dev/null | tr -d '\r')" >/dev/null 2>&1
      [ -e "$work/planted-$arch-$tag-$lib" ] && break
    done
    if [ "$loaded" = yes ]; then fail "${name}_${lib}_not_loaded" "${reason//LIB/$lib}"
    elif [ ! -e "$work/planted-$arch-$tag-$lib" ]; then fail "${name}_${lib}_not_loaded" "the planted library writes no marker even when loaded"
    else pass "${name}_${lib}_not_loaded"; fi
  done
}

# case_count EXE: how many test cases the program lists. A program that lists nothing did not
# start (it happens under Wine now and then): it gets two more starts, as scripts/test gives it.
case_count() {
  local n=0 try
  for try in 1 2 3; do
    n=$(wine "$1" --gtest_list_tests 2>/dev/null | grep -c '^  ')
    [ "$n" -gt 0 ] && break
  done
  echo "$n"
}

# bundle_guards_test ARCH DIR SMALL CASES: run-tests.cmd, under Wine's cmd, fails on a listed
# program that is missing, on one that runs fewer cases than listed, and when no case ran (a
# bundle listing no program); each in a folder of its own with DIR's program SMALL, of CASES cases.
bundle_guards_test() {
  local arch=$1 dir=$2 small=$3 n=$4 guard g rc
  local -A list=([missing]="$small $n\r\nunit_gone_test 3\r\n" [fewer]="$small $((n + 1))\r\n" [nothing]="")
  local -A said=([missing]="FAIL  unit_gone_test  missing: listed with 3 cases"
    [fewer]="FAIL  $small  $n passed, 1 failed, ran $n of the $((n + 1)) cases listed: see logs\\$small.log"
    [nothing]="FAIL  no test case ran")
  for g in missing fewer nothing; do
    guard=$work/guard-$arch-$g
    mkdir -p "$guard" && cp "$dir/run-tests.cmd" "$dir/$small.exe" "$guard/"
    printf "${list[$g]}" >"$guard/test-programs.txt"
    (cd "$guard" && wine cmd /c run-tests.cmd 2>/dev/null) | tr -d '\r' >"$guard.out"
    rc=${PIPESTATUS[0]}
    if [ "$rc" != 0 ] && grep -qxF "${said[$g]}" "$guard.out" && tail -1 "$guard.out" | grep -qE '^[0-9]+ passed, [1-9][0-9]* failed$'; then
      pass "$arch/test_bundle_fails_$g"
    else fail "$arch/test_bundle_fails_$g" "exit $rc, expected a line '${said[$g]}':" $(tr '\n' ' ' <"$guard.out"); fi
  done
}

# bundle_test ARCH: the test bundle holds every Windows test program scripts/test runs, listed
# in its test-programs.txt with as many cases as each lists itself, and its run-tests.cmd under
# Wine's cmd passes as many cases as those programs list.
bundle_test() {
  local arch=$1 dir=$work/tests-$arch t n want=0 last short="" lines=""
  local -A listed=()
  mkdir -p "$dir" && (cd "$dir" && unzip -q "$dist/tirage-vorellis-$version-$arch-tests.zip")
  dir+=/tirage-vorellis-$version-$arch-tests
  for t in "$top/build/$arch/bin"/{unit,win}_*.exe; do
    [ -f "$dir/$(basename "$t")" ] || { fail "$arch/test_bundle" "$(basename "$t") missing"; return; }
    n=$(case_count "$t")
    listed[$(basename "$t" .exe)]=$n
    lines+="$(basename "$t" .exe) $n"$'\n'
    want=$((want + n))
  done
  if [ "$(tr -d '\r' <"$dir/test-programs.txt" | sort)" = "$(sort <<<"${lines%$'\n'}")" ]; then
    pass "$arch/test_bundle_list"
  else fail "$arch/test_bundle_list" "test-programs.txt is not each program with the cases it lists:" $(tr -d '\r' <"$dir/test-programs.txt"); fi
  bundle_guards_test "$arch" "$dir" unit_text_test "${listed[unit_text_test]}"
  # Unmanaged windows spare Wine's X11 driver a wait of about 2 s per window, as in scripts/test;
  # but an unmanaged window's X window takes in its frame.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  (cd "$dir" && wine cmd /c run-tests.cmd 2>/dev/null | tr -d '\r' >"$work/tests-$arch.out")
  # The programs that load msimg32 (the picture tests) and dwmapi (the window tests), with
  # copies planted beside them: they load them as the program does, but without its
  # process-wide restriction of the search, which could hide a loader that looks beside them.
  plant "$arch" "$dir" bundle
  for t in win_image_test win_window_test; do
    (cd "$dir" && WINEDLLOVERRIDES=$WINEDLLOVERRIDES$prefer_planted wine "$t.exe" >"logs/$t-planted.log" 2>&1) ||
      fail "$arch/test_bundle_planted_$t" "failed beside the planted libraries (logs/$t-planted.log)"
  done
  # Back to managed windows: the cases after this one find the program's window by its size.
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
  last=$(tail -1 "$work/tests-$arch.out")
  # The programs whose line does not say as many cases as they list.
  for t in "${!listed[@]}"; do
    grep -qE "^ok +$t +${listed[$t]} passed\$" "$work/tests-$arch.out" || short+=" $t(${listed[$t]})"
  done
  if [ "$last" != "$want passed, 0 failed" ] || [ -n "$short" ]; then
    fail "$arch/test_bundle" "run-tests.cmd ended '$last', expected '$want passed, 0 failed'; not as listed:$short;" $(grep '^FAIL' "$work/tests-$arch.out")
    # The failing programs' own logs, where scripts/test keeps its logs.
    mkdir -p "$top/build/test-logs/bundle-$arch" && cp "$dir"/logs/*.log "$work/tests-$arch.out" "$top/build/test-logs/bundle-$arch/"
  else pass "$arch/test_bundle"; fi
  planted_check "$arch/test_bundle_planted" "$arch" bundle "$dir" "a test program loaded a LIB.dll planted beside it"
}

# --- one architecture ----------------------------------------------------------------------

release_test() {
  local arch=$1 view pf other zip setup unz root inst info got want win_inst
  zip=$dist/tirage-vorellis-$version-$arch.zip
  setup=$dist/tirage-vorellis-$version-$arch-setup.exe
  if [ "$arch" = win64 ]; then view=64; other=32; pf="Program Files"; else view=32; other=64; pf="Program Files (x86)"; fi
  fresh_prefix "$arch"

  # The checksums: what a user checks a download against.
  if (cd "$dist" && sha256sum --quiet -c SHA256SUMS) >/dev/null 2>&1 && grep -q " tirage-vorellis-$version-$arch.zip\$" "$dist/SHA256SUMS" &&
    grep -q " tirage-vorellis-$version-$arch-setup.exe\$" "$dist/SHA256SUMS"; then pass "$arch/sha256sums"
  else fail "$arch/sha256sums" "SHA256SUMS does not match the $arch artefacts"; fi

  # The zip: one top folder; the guide and what each version added, for Notepad (UTF-8
  # marked, CRLF, this version); run from its own folder.
  unz=$work/unzip-$arch
  mkdir -p "$unz" && (cd "$unz" && unzip -q "$zip")
  root="$unz/Tirage Vorellis"
  got=$(cd "$unz" && find . -type f | sort | tr '\n' ' ')
  local top_entries
  top_entries=$(ls -A "$unz")
  if [ "$top_entries" != "Tirage Vorellis" ] || [ ! -f "$root/vorellis.exe" ] || [ ! -f "$root/Guide.txt" ] ||
    [ ! -f "$root/LICENSE.txt" ] || ! grep -q libpng "$root/THIRD-PARTY-NOTICES.txt" || ! grep -q zlib "$root/THIRD-PARTY-NOTICES.txt" ||
    [ "$(ls "$root/GFX/Balls" | wc -l)" != 102 ] || [ "$(ls "$root/GFX/Stars" | wc -l)" != 26 ] ||
    [ "$(identify -format %wx%h "$root/GFX/Stars/7.png" "$root/GFX/Stars/7.scale-200.png")" != 100x100200x200 ] ||
    ! head -1 "$root/Guide.txt" | grep -q $'^\xef\xbb\xbfTIRAGE VORELLIS '"$version"$'.*\r$' ||
    ! head -1 "$root/CHANGES.txt" | grep -q $'^\xef\xbb\xbfTIRAGE VORELLIS .*\r$' || ! grep -qx "Version $version"$'\r' "$root/CHANGES.txt"; then
    fail "$arch/zip_contents" "unexpected contents (top: $top_entries): $(head -c 300 <<<"$got")"
  else pass "$arch/zip_contents"; fi
  run_and_click "$arch/zip_click_draws" "$root" vorellis.exe "$root/GFX"

  # The installer's pages and the program draw themselves at the display's scale (their
  # manifests say so: per monitor, the system's where that is unknown), rather than being
  # stretched by Windows.
  local manifest what
  for what in installer:"$setup" program:"$root/vorellis.exe"; do
    manifest=$(wine "$probe" manifest "$(winepath -w "${what#*:}" 2>/dev/null | tr -d '\r')" 2>/dev/null | tr -d ' ')
    if grep -q '<dpiAware[^>]*>true</dpiAware>' <<<"$manifest" && grep -q '<dpiAwareness[^>]*>PerMonitorV2,System<' <<<"$manifest"; then
      pass "$arch/${what%%:*}_dpi_aware"
    else fail "$arch/${what%%:*}_dpi_aware" "the ${what%%:*}'s manifest declares no per-monitor awareness"; fi
  done
  hardening_test "$arch" "$root"

  # The version resource, through the platform's version API, and the manifest's.
  info=$(wine "$probe" version "$(winepath -w "$root/vorellis.exe" 2>/dev/null | tr -d '\r')" 2>/dev/null | tr -d '\r')
  local assembly
  assembly=$(wine "$probe" manifest "$(winepath -w "$root/vorellis.exe" 2>/dev/null | tr -d '\r')" 2>/dev/null |
    grep -o '<assemblyIdentity [^>]*name="Vorellis.Tirage"[^>]*>')
  want="fixed=$version.0
product=$version.0
ProductName=Tirage Vorellis
ProductVersion=$version
FileVersion=$version"
  local pe=PE32; [ "$arch" = win64 ] && pe=PE32+
  if [ "$(head -5 <<<"$info")" != "$want" ] || ! grep -q '^FileDescription=.' <<<"$info" ||
    ! grep -q '^OriginalFilename=vorellis.exe$' <<<"$info" || ! grep -q '^LegalCopyright=.*MIT' <<<"$info" ||
    ! grep -q " version=\"$version.0\"" <<<"$assembly"; then
    fail "$arch/version_resource" "read back [$info], manifest's [$assembly]"
  elif ! file "$root/vorellis.exe" | grep -q "$pe executable (GUI)"; then
    fail "$arch/version_resource" "not a $pe GUI program: $(file -b "$root/vorellis.exe")"
  else pass "$arch/version_resource"; fi

  scope_test "$arch" CurrentUser "$root"
  scope_test "$arch" AllUsers "$root"

  # The version before this one, then this one over it as its user runs it (a plain /S, which
  # finds that install): see the header. A journal of draws made with it lies where the
  # program keeps it; a replaced picture has a time of its own, not the release's.
  local rc hive base win_base lnk scope=AllUsers folder=() name problems=""
  [ "$arch" = win32 ] && scope=CurrentUser
  scope_paths $scope
  inst="$base/Tirage Vorellis" win_inst="$win_base\\Tirage Vorellis"
  if [ "$arch" = win64 ]; then inst=$WINEPREFIX/drive_c/Loterie/Tirage win_inst='C:\Loterie\Tirage' folder=("/D=$win_inst"); fi
  name=$arch/${scope,,}/upgrade_in_place
  local old_setup=$earlier_dir/tirage-vorellis-$earlier_version-$arch-setup.exe
  local journal="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Tirage Vorellis/tirages.csv"
  if [ -n "$earlier_problem" ]; then
    fail "$name" "$earlier_problem"; fail "$arch/${scope,,}/no_downgrade" "$earlier_problem"
    wine "$setup" /S /$scope "${folder[@]}" >/dev/null 2>&1; wineserver -w
  else
    wine "$old_setup" /S /$scope "${folder[@]}" >/dev/null 2>&1; wineserver -w
    [ "$(reg_value $view DisplayVersion $hive)" = "$earlier_version" ] && [ -f "$inst/vorellis.exe" ] ||
      problems+=" the $earlier_version installer did not install into $win_inst;"
    convert -size 100x100 xc:red "$inst/GFX/Balls/3.png"
    mkdir -p "$(dirname "$journal")" && printf '1,draws of %s\r\n' "$earlier_version" >"$journal"
    local mine kept
    mine=$(sha256sum <"$inst/GFX/Balls/3.png"); kept=$(sha256sum <"$journal")
    # The files, their bytes and times, but for the uninstaller and the replaced picture.
    stamped() { (cd "$1" && find . -type f ! -name uninstall.exe ! -path ./GFX/Balls/3.png | sort |
      while read -r f; do echo "$(stat -c %Y "$f") $(sha256sum <"$f") $f"; done); }
    wine "$setup" /S >/dev/null 2>&1; rc=$?; wineserver -w
    [ "$rc" = 0 ] || problems+=" exit code $rc;"
    [ "$(find "$WINEPREFIX/drive_c" -name vorellis.exe)" = "$inst/vorellis.exe" ] ||
      problems+=" the program is not in $win_inst alone: $(find "$WINEPREFIX/drive_c" -name vorellis.exe | tr '\n' ' ');"
    [ "$(stamped "$inst")" = "$(stamped "$root")" ] || problems+=" the install folder does not hold this release's files;"
    [ "$(sha256sum <"$inst/GFX/Balls/3.png" 2>&1)" = "$mine" ] || problems+=" the replaced GFX/Balls/3.png was overwritten;"
    [ "$(sha256sum <"$journal" 2>&1)" = "$kept" ] || problems+=" the journal tirages.csv changed;"
    # One Apps entry: this scope's, in this architecture's view, for this version and folder
    # (HKCU's two views are one key).
    local entries
    entries=$(for h in HKLM:32 HKLM:64 HKCU:$view; do [ -n "$(reg_value ${h#*:} DisplayName ${h%:*})" ] && echo "$h"; done | tr '\n' ' ')
    [ "$entries" = "$hive:$view " ] && [ "$(reg_value $view DisplayVersion $hive)" = "$version" ] &&
      [ "$(reg_value $view InstallLocation $hive)" = "$win_inst" ] ||
      problems+=" Apps entries [$entries], expected $hive:$view for $version in $win_inst;"
    if [ -n "$problems" ]; then fail "$name" "over $earlier_version:$problems"; else pass "$name"; fi
    wine "$old_setup" /S >/dev/null 2>&1; rc=$?; wineserver -w
    if [ "$rc" = 0 ] || [ "$(reg_value $view DisplayVersion $hive)" != "$version" ] ||
      [ "$(stat -c %Y "$inst/vorellis.exe")" != "$(stat -c %Y "$root/vorellis.exe")" ]; then
      fail "$arch/${scope,,}/no_downgrade" "the $earlier_version installer ran over this version: exit $rc, Apps entry version" \
        "'$(reg_value $view DisplayVersion $hive)', vorellis.exe of $(stat -c %y "$inst/vorellis.exe" 2>&1)"
    else pass "$arch/${scope,,}/no_downgrade"; fi
    # Not a journal the program can continue: the test programs of the bundle, run in this
    # prefix, would set it aside and wait on the box that says so.
    rm -rf "$(dirname "$journal")"
  fi
  # A second copy in another folder (/D=) would leave the first one with no Apps entry.
  wine "$setup" /S '/D=C:\Elsewhere' >/dev/null 2>&1; rc=$?; wineserver -w
  if [ "$rc" = 0 ] || [ -e "$WINEPREFIX/drive_c/Elsewhere" ] ||
    [ "$(reg_value $view UninstallString $hive)" != "\"$win_inst\\uninstall.exe\"" ]; then
    fail "$arch/${scope,,}/no_second_copy" "installed again into C:\\Elsewhere: exit $rc, Apps entry '$(reg_value $view UninstallString $hive)'"
  else pass "$arch/${scope,,}/no_second_copy"; fi
  bundle_test "$arch"
  wineserver -k 2>/dev/null
}

# --- across architectures, and signing ---------------------------------------------------

# other_arch_test: one architecture per scope. In the win64 prefix, where release_test left the
# 64-bit program installed for all users, the 32-bit installer refuses and writes nothing; the
# same just for the user, where both architectures share one Apps entry key.
other_arch_test() {
  export WINEPREFIX=$work/prefix-win64
  local setup32=$dist/tirage-vorellis-$version-win32-setup.exe rc exe before
  exe="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Tirage Vorellis/vorellis.exe"
  wine "$setup32" /S /AllUsers >/dev/null 2>&1; rc=$?; wineserver -w
  if [ "$rc" != 7 ] || [ -e "$WINEPREFIX/drive_c/Program Files (x86)/Tirage Vorellis" ] ||
    [ -n "$(reg_value 32 DisplayName)" ] || [ "$(reg_value 64 Architecture)" != win64 ]; then
    fail other_arch/allusers "the win32 installer over the win64 install: exit $rc, 32-bit entry '$(reg_value 32 DisplayName)'"
  else pass other_arch/allusers; fi
  wine "$dist/tirage-vorellis-$version-win64-setup.exe" /S /CurrentUser >/dev/null 2>&1; wineserver -w
  before=$(sha256sum <"$exe")
  wine "$setup32" /S /CurrentUser >/dev/null 2>&1; rc=$?; wineserver -w
  if [ "$rc" != 7 ] || [ "$(sha256sum <"$exe")" != "$before" ] || [ "$(reg_value 32 Architecture HKCU)" != win64 ]; then
    fail other_arch/currentuser "the win32 installer over the win64 one: exit $rc, entry's architecture '$(reg_value 32 Architecture HKCU)'"
  else pass other_arch/currentuser; fi
  wineserver -k 2>/dev/null
}

# wrong_windows_test: the win64 installer on 32-bit Windows (a WINEARCH=win32 prefix) exits
# non-zero and writes nothing.
wrong_windows_test() {
  local -x WINEPREFIX=$work/prefix-32bit-windows WINEARCH=win32
  local before rc
  wineboot -i >/dev/null 2>&1; wineserver -w
  before=$(cd "$WINEPREFIX/drive_c" && find . | sort)
  wine "$dist/tirage-vorellis-$version-win64-setup.exe" /S >/dev/null 2>&1; rc=$?; wineserver -w
  if [ "$rc" = 0 ] || [ "$(cd "$WINEPREFIX/drive_c" && find . | sort)" != "$before" ] ||
    wine reg query "HKLM\\$key" >/dev/null 2>&1 || wine reg query "HKCU\\$key" >/dev/null 2>&1; then
    fail win64_on_32bit_windows "exit $rc; files or Apps entry written"
  else pass win64_on_32bit_windows; fi
  wineserver -k 2>/dev/null
}

# signing_test: scripts/package given a throwaway certificate signs; osslsigncode accepts each
# installer, vorellis.exe in each zip, and what the win32 installer installs: that same
# vorellis.exe, and the uninstaller signed before it was packed.
signing_test() {
  local s=$work/signing arch f inst bad=""
  mkdir -p "$s"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tirage Vorellis test" \
    -addext extendedKeyUsage=codeSigning -keyout "$s/key.pem" -out "$s/cert.pem" >/dev/null 2>&1
  if ! "$top/scripts/package" --out "$s/dist" --cert "$s/cert.pem" --key "$s/key.pem" >"$s/package.log" 2>&1; then
    fail signing "scripts/package with a certificate: $(tail -3 "$s/package.log")"; return
  fi
  verified() { osslsigncode verify -CAfile "$s/cert.pem" -in "$1" 2>&1 | grep -q '^Signature verification: ok'; }
  for arch in win32 win64; do
    unzip -q -d "$s/$arch" "$s/dist/tirage-vorellis-$version-$arch.zip"
    for f in "$s/dist/tirage-vorellis-$version-$arch-setup.exe" "$s/$arch/Tirage Vorellis/vorellis.exe"; do
      verified "$f" || bad+=" $f"
    done
  done
  fresh_prefix signing
  inst="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Programs/Tirage Vorellis"
  wine "$s/dist/tirage-vorellis-$version-win32-setup.exe" /S /CurrentUser >/dev/null 2>&1; wineserver -w
  verified "$inst/uninstall.exe" || bad+=" the installed uninstall.exe"
  cmp -s "$inst/vorellis.exe" "$s/win32/Tirage Vorellis/vorellis.exe" || bad+=" (the installed vorellis.exe is not the zip's)"
  if [ -n "$bad" ]; then fail signing "not signed:$bad"; else pass signing; fi
  wineserver -k 2>/dev/null
}

# finish_page_test: the installer clicked through as a user does (Enter on every page) ends on a
# page that starts the program in its folder: its window opens, so it found its pictures.
finish_page_test() {
  fresh_prefix finish-page
  local id="" s
  wine "$dist/tirage-vorellis-$version-win32-setup.exe" /CurrentUser >/dev/null 2>&1 &
  for _ in $(seq 60); do
    id=$(window 10) && break
    for s in $(xdotool search --name "^$title $version Setup" 2>/dev/null); do xdotool key --window "$s" Return 2>/dev/null; done
  done
  if [ -z "$id" ]; then fail finish_page_starts_program "no program window after Enter on every installer page"
  else pass finish_page_starts_program; xdotool windowfocus "$id" 2>/dev/null; xdotool key alt+F4; fi
  wineserver -k 2>/dev/null
}

# smoke_test ARCH: release-smoke, which the Windows workflow runs on Windows itself, in a new
# user's prefix: the installer just for the user, the program started, a draw, closed, and the
# uninstaller; one case per step.
smoke_test() {
  local arch=$1 out=$work/smoke-$1.out
  fresh_prefix "smoke-$arch"
  wine "$smoke" "$(winepath -w "$dist/tirage-vorellis-$version-$arch-setup.exe" 2>/dev/null | tr -d '\r')" 2>/dev/null |
    tr -d '\r' >"$out"
  sed -nE "s#^(PASS|FAIL) #\1 $arch/smoke/#p" "$out"
  grep -qE '^[0-9]+ passed, 0 failed$' "$out" || grep -q '^FAIL' "$out" ||
    fail "$arch/smoke" "release-smoke ended without its count: $(tail -1 "$out")"
  wineserver -k 2>/dev/null
}

for arch in "${arches[@]}"; do
  case $arch in win32|win64) ;; *) echo "run_release: unknown architecture '$arch'" >&2; exit 2 ;; esac
done

# The lanes run side by side, each on its own display and in prefixes of its own: most of their
# time is spent waiting on Wine, not on the processor.
lane_arch() {
  release_test "$1"
  smoke_test "$1"
  # The win64 install that release_test leaves is what the other architecture meets.
  if [ "$1" = win64 ] && [ ${#arches[@]} = 2 ]; then other_arch_test; fi
}
lane_across() {
  wrong_windows_test
  signing_test
  finish_page_test
}
lanes=()
run_lane() {
  local name=$1; shift
  (own_display && "$@" && echo "lane $name ended") >"$work/lane-$name.out" 2>&1 </dev/null &
  lanes+=("$name")
}
for arch in "${arches[@]}"; do run_lane "$arch" lane_arch "$arch"; done
[ ${#arches[@]} = 2 ] && run_lane across lane_across
wait
for name in "${lanes[@]}"; do
  # A lane that stopped half-way would otherwise just have fewer cases.
  grep -q "^lane $name ended\$" "$work/lane-$name.out" ||
    echo "FAIL lane-$name: ended early: $(grep -vE '^(PASS|FAIL) ' "$work/lane-$name.out" | tail -3 | tr '\n' ' ')" >>"$work/lane-$name.out"
  grep -E '^(PASS|FAIL) ' "$work/lane-$name.out"
done
passed=$(cat "$work"/lane-*.out | grep -c '^PASS ')
failed=$(cat "$work"/lane-*.out | grep -c '^FAIL ')
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
