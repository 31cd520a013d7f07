#!/usr/bin/env bash
# A card made through the window the way a person makes one, under a private X
# server with no window manager: the nickname typed in, another template picked
# from the chooser with the keyboard, an avatar chosen in the open dialog, the
# card saved under a name without extension, the window closed with Esc.
#
# At every step the card on the screen must become the one vantrelo-render
# composes for the same values; the saved file must be that card byte for byte
# and the card on the screen pixel for pixel.
#
# usage: make_card_through_window.sh BIN_DIR WORK_DIR
set -uo pipefail

bin=$1
work=$2
wait_seconds=${VANTRELO_E2E_WAIT:-30}

caption='^Vantrelo v1\.01$'
board='www.morvidane.example'
post=$'\xe7\xae\xa1\xe7\x90\x86\xe5\x91\x98' # 管理员, UTF-8 as vantrelo-render takes it
contact='morvidane@morvidane.example'
nickname='E2E Tester'
template=2

# The card inside the window's client area: the preview area's client area
# starts at (8 + 2, 8 + 2), the card is drawn at (44, 80) inside it.
card_x=54
card_y=90
card_w=300
card_h=140

rm -rf "$work"
mkdir -p "$work/scratch" "$work/expected"
scratch=$work/scratch
log=$work/log
: >"$log"

xvfb_pid=
app_pid=
step='starting'
shot_count=0

note() { echo "[e2e $(date +%T)] $*" | tee -a "$log"; }

screenshot() { # FILE
    import -window root "$1" 2>>"$log"
}

cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
        kill "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT

fail() {
    echo "FAILED while $step: $*" | tee -a "$log" >&2
    if [ -n "${DISPLAY:-}" ] && [ -n "$xvfb_pid" ]; then
        screenshot "$work/failure-screen.png" && echo "screen at the failure: $work/failure-screen.png" >&2
        echo "--- windows ---" >&2
        xwininfo -root -tree 2>&1 | grep -v '  1x1+\|  3x3+' >&2
        echo "--- focus: $(xdotool getwindowfocus 2>&1)" >&2
    fi
    echo "--- scratch folder ---" >&2
    ls -l "$scratch" >&2
    if [ -s "$work/app.stderr" ]; then
        echo "--- program's stderr ---" >&2
        cat "$work/app.stderr" >&2
    fi
    exit 1
}

# poll DESCRIPTION COMMAND...: runs COMMAND until it succeeds, for at most
# $wait_seconds seconds.
poll() {
    local what=$1
    shift
    local deadline=$((SECONDS + wait_seconds))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || fail "waited ${wait_seconds} s for $what"
        sleep 0.1
    done
}

for tool in Xvfb xdotool xwininfo import convert compare cmp od; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
done

# ---- expected cards ----

render() { # OUT TEMPLATE NICKNAME [AVATAR]
    local args=(card --template "$2" --nickname "$3" --board "$board" --post "$post" --contact "$contact")
    [ $# -ge 4 ] && args+=(--avatar "$4")
    "$bin/vantrelo-render" "${args[@]}" --output "$1" >>"$log" 2>&1 || fail "vantrelo-render could not make $1"
}

# A person's avatar: a 96 x 96 24-bit BMP, not square to the avatar box's scale.
avatar=$scratch/avatar.bmp
convert -size 96x96 gradient:'#d02020-#2040e0' -fill yellow -draw 'circle 48,48 48,20' \
    -fill black -draw 'rectangle 10,70 40,85' -type TrueColor BMP3:"$avatar" 2>>"$log" ||
    fail "convert could not make the avatar"

step='composing the expected cards'
start_card=$work/expected/start.bmp
typed_card=$work/expected/typed.bmp
chosen_card=$work/expected/template.bmp
final_card=$work/expected/final.bmp
render "$start_card" 1 Morvidane
render "$typed_card" 1 "$nickname"
render "$chosen_card" "$template" "$nickname"
render "$final_card" "$template" "$nickname" "$avatar"
# Each step must change the card, or waiting for it would prove nothing.
cmp -s "$start_card" "$typed_card" && fail "the typed nickname does not change the card"
cmp -s "$typed_card" "$chosen_card" && fail "template $template looks like template 1"
cmp -s "$chosen_card" "$final_card" && fail "the avatar does not change the card"

# ---- the X server ----

step='starting Xvfb'
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.stderr" &
xvfb_pid=$!
display_known() { [ -n "$(head -n 1 "$work/display" 2>/dev/null)" ] || { kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended"; false; }; }
poll "Xvfb to report its display" display_known
export DISPLAY=:$(head -n 1 "$work/display")
unset QT_QPA_PLATFORM WAYLAND_DISPLAY XAUTHORITY
note "Xvfb on $DISPLAY"

# ---- the program ----

step='starting the program'
(cd "$scratch" && exec "$bin/vantrelo") >"$work/app.stdout" 2>"$work/app.stderr" &
app_pid=$!

# The program runs while its process is there and has not ended.
running() { kill -0 "$app_pid" 2>/dev/null && [ "$(ps -o stat= -p "$app_pid" 2>/dev/null | cut -c1)" != Z ]; }

main_window=
find_main() {
    running || fail "the program ended at start"
    main_window=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | head -n 1)
    [ -n "$main_window" ]
}
poll "the window \"Vantrelo v1.01\"" find_main
note "main window $main_window"

focused_on() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }

# Where the card is on the screen (no window manager: the window is its client area).
card_geometry=
locate_card() {
    local X Y
    eval "$(xdotool getwindowgeometry --shell "$main_window" | grep -E '^(X|Y)=')"
    card_geometry=${card_w}x${card_h}+$((X + card_x))+$((Y + card_y))
}

# shows_card EXPECTED: the card on the screen is EXPECTED pixel for pixel.
shows_card() {
    shot_count=$((shot_count + 1))
    local shot=$work/screen.png
    screenshot "$shot" || return 1
    convert "$shot" -crop "$card_geometry" +repage "$work/card-on-screen.png" 2>>"$log" || return 1
    local differing
    differing=$(compare -metric AE "$work/card-on-screen.png" "$1" null: 2>&1)
    local same=$?
    echo "card on the screen against $(basename "$1"): $differing pixels differ" >>"$log"
    return $same
}

step='waiting for the start card'
locate_card
note "card on the screen at $card_geometry"
poll "the start card (template 1, \"Morvidane\") at $card_geometry" shows_card "$start_card"
poll "the focus on the main window at start" focused_on "$main_window"

# ---- nickname ----

step='typing the nickname'
xdotool key ctrl+a
xdotool type --delay 30 "$nickname"
poll "the card with the typed nickname" shows_card "$typed_card"

# ---- template: four Tabs from the nickname to the chooser, then Down ----

step="picking template $template"
xdotool key --delay 50 Tab Tab Tab Tab Down
poll "the card on template $template" shows_card "$chosen_card"

# ---- dialogs ----

dialog=
find_dialog() {
    running || fail "the program ended"
    local w
    for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        [ "$w" != "$main_window" ] && xdotool getwindowname "$w" 2>/dev/null | grep -q . && { dialog=$w; return 0; }
    done
    return 1
}
dialog_gone() { ! xwininfo -id "$dialog" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# With no window manager nobody gives a closed dialog's focus back to the
# window; a person would click on it.
main_focused() {
    running || fail "the program ended"
    focused_on "$main_window"
}
back_to_main() {
    running || fail "the program ended"
    focused_on "$main_window" || timeout "$wait_seconds" xdotool windowfocus --sync "$main_window"
    poll "the focus back on the main window" main_focused
}

# use_dialog WHAT PATH: in the dialog that has just opened, the file name typed
# over whatever is filled in, then Return.
use_dialog() {
    poll "the $1 dialog" find_dialog
    note "$1 dialog $dialog \"$(xdotool getwindowname "$dialog")\""
    focused_on "$dialog" || timeout "$wait_seconds" xdotool windowfocus --sync "$dialog"
    poll "the focus on the $1 dialog" focused_on "$dialog"
    xdotool key ctrl+a
    xdotool type --delay 30 "$2"
    xdotool key Return
    poll "the $1 dialog to close" dialog_gone
}

# ---- avatar: Tab to 编辑框5, Tab to 选择头像, space ----

step='cancelling the open dialog with Esc'
xdotool key --delay 50 Tab Tab space
poll "the open dialog" find_dialog
focused_on "$dialog" || timeout "$wait_seconds" xdotool windowfocus --sync "$dialog"
poll "the focus on the open dialog" focused_on "$dialog"
# Esc in a dialog answers the dialog; it does not close the window behind it.
xdotool key Escape
poll "the open dialog to close" dialog_gone
running || fail "Esc in the open dialog ended the program"
back_to_main
shows_card "$chosen_card" || fail "the cancelled dialog changed the card"

step='choosing the avatar'
xdotool key space
use_dialog open "$avatar"
poll "the card with the chosen avatar" shows_card "$final_card"

# ---- save: Tab to 制作名片, space, a name without extension ----

step='saving the card'
back_to_main
xdotool key --delay 50 Tab space
use_dialog save "$scratch/mycard"
saved=$scratch/mycard.bmp
# The file is written in place once the dialog has gone: wait for all of it.
full_size=$(stat -c %s "$final_card")
written() { [ -f "$saved" ] && [ "$(stat -c %s "$saved")" -ge "$full_size" ]; }
poll "$saved to be written with $full_size bytes" written

step='checking the saved file'
[ -e "$scratch/mycard" ] && fail "a file without extension was written as well"
le() { od -An -t"$1" -j "$2" -N "$3" "$saved" | tr -d ' '; }
[ "$(head -c 2 "$saved")" = BM ] || fail "the saved file does not start with BM"
[ "$(le u4 18 4)" = 300 ] || fail "the saved card is $(le u4 18 4) pixels wide, not 300"
[ "$(le d4 22 4)" = 140 ] || fail "the saved card's height field is $(le d4 22 4), not 140 (bottom-up)"
[ "$(le u2 28 2)" = 24 ] || fail "the saved card has $(le u2 28 2) bits a pixel, not 24"
cmp "$saved" "$final_card" >>"$log" 2>&1 ||
    fail "the saved card is not the card vantrelo-render makes for the same values ($final_card)"
# The saved file is the card still shown on the screen.
shows_card "$saved" || fail "the saved card differs from the card on the screen"
note "saved $saved: 24-bit 300 x 140, the composed card, the card on the screen"

# ---- Esc closes the window with status 0 ----

step='closing with Esc'
back_to_main
xdotool key Escape
ended() { ! running; }
poll "the program to end after Esc" ended
wait "$app_pid"
status=$?
app_pid=
[ $status -eq 0 ] || fail "the program ended with status $status after Esc"

note "passed ($shot_count screenshots)"
exit 0
