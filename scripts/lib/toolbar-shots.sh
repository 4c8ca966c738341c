# shellcheck shell=bash
# Screenshots of KelHost's windows on a virtual X display, cropped to what a user looks at; sourced by
# scripts/demo and scripts/docs-pictures. Needs DISPLAY, xwininfo (x11-utils) and ImageMagick, called by its
# own path: another "convert" may come first on PATH.
#
# Without a window manager the tab windows have no frames and the host opens them cascaded, each 30 pixels
# lower than the last, so each tab's toolbar row stays in view above the next tab.

im_convert=/usr/bin/convert
im_import=/usr/bin/import

# host_windows: one line "ID X Y WIDTH HEIGHT NAME" per viewable top-level window of KelHost: the tab
# windows ("KelHost tab N") and whatever pops up over them (tooltips, the install bubble).
host_windows() {
    local id info
    for id in $(xwininfo -root -children 2>/dev/null | awk '/"kelhost.exe"/ && !/ 1x1\+/ { print $1 }'); do
        info=$(xwininfo -id "$id" 2>/dev/null) || continue
        grep -q 'Map State: IsViewable' <<< "$info" || continue
        printf '%s %s %s %s %s %s\n' "$id" \
            "$(sed -n 's/.*Absolute upper-left X: *//p' <<< "$info")" \
            "$(sed -n 's/.*Absolute upper-left Y: *//p' <<< "$info")" \
            "$(sed -n 's/.*Width: *//p' <<< "$info")" "$(sed -n 's/.*Height: *//p' <<< "$info")" \
            "$(sed -n 's/^xwininfo: Window id: [^ ]* "\(.*\)"$/\1/p' <<< "$info")"
    done
}

# toolbar_row SCREEN X Y WIDTH: "X Y WIDTH HEIGHT" of the toolbar row at the top of a tab window, from the
# lowest drawn pixel of its first 29 rows (the next tab starts 30 rows lower) plus a margin.
toolbar_row() {
    local screen=$1 x=$2 y=$3 width=$4 box content_height content_top height
    box=$("$im_convert" "$screen" -crop "${width}x29+$x+$y" +repage -format '%@' info:)
    content_height=${box#*x}; content_height=${content_height%%+*}
    content_top=${box##*+}
    height=$((content_top + content_height + 5))
    printf '%s %s %s %s\n' "$x" "$y" "$width" "$((height > 29 ? 29 : height))"
}

# shot_toolbars OUTPUT.png: the toolbar row of every tab window, the first tab on top, each in a thin frame.
shot_toolbars() {
    local output=$1 screen parts=() id x y w h name rx ry rw rh
    screen=$(mktemp --suffix=.png)
    "$im_import" -window root "$screen"
    while read -r id x y w h name; do
        [[ "$name" == "KelHost tab "* ]] || continue
        read -r rx ry rw rh <<< "$(toolbar_row "$screen" "$x" "$y" "$w")"
        parts+=("(" "$screen" -crop "${rw}x${rh}+$rx+$ry" +repage -bordercolor gray75 -border 1 ")")
    done < <(host_windows | sort -k6)
    [ ${#parts[@]} -gt 0 ] || { rm -f "$screen"; echo "no KelHost tab window on $DISPLAY" >&2; return 1; }
    "$im_convert" -background white "${parts[@]}" -splice 0x6 -append -chop 0x6 "$output"
    rm -f "$screen"
}

# shot_tab OUTPUT.png TAB [X0 X1]: the tab's toolbar row and every other KelHost window showing over or under
# it (a tooltip, the bubble), cropped to the box around them with a margin. With X0..X1 (screen columns) only
# what is drawn of the row between them counts.
shot_tab() {
    local output=$1 tab=$2 from=${3:-} to=${4:-} screen id x y w h name left top right bottom rx ry rw rh box
    screen=$(mktemp --suffix=.png)
    "$im_import" -window root "$screen"
    left='' top='' right='' bottom=''
    grow() { # grow X Y W H: the box takes in the rectangle
        if [ -z "$left" ]; then left=$1 top=$2 right=$(($1 + $3)) bottom=$(($2 + $4)); return; fi
        left=$(($1 < left ? $1 : left)) top=$(($2 < top ? $2 : top))
        right=$(($1 + $3 > right ? $1 + $3 : right)) bottom=$(($2 + $4 > bottom ? $2 + $4 : bottom))
    }
    while read -r id x y w h name; do
        if [ "$name" = "KelHost tab $tab" ]; then
            read -r rx ry rw rh <<< "$(toolbar_row "$screen" "$x" "$y" "$w")"
            if [ -n "$from" ]; then  # box: WIDTHxHEIGHT+X+Y of what is drawn, within the narrowed row
                box=$("$im_convert" "$screen" -crop "$((to - from))x$rh+$from+$ry" +repage -format '%@' info:)
                rx=$from
                rw=$(( $(cut -d+ -f2 <<< "$box") + ${box%%x*} + 8 ))
            fi
            grow "$rx" "$ry" "$rw" "$rh"
        elif [[ "$name" != "KelHost tab "* ]]; then
            grow "$x" "$y" "$w" "$h"
        fi
    done < <(host_windows)
    [ -n "$left" ] || { rm -f "$screen"; echo "no KelHost tab $tab on $DISPLAY" >&2; return 1; }
    left=$((left < 4 ? 0 : left - 4)) top=$((top < 4 ? 0 : top - 4))
    "$im_convert" "$screen" -crop "$((right - left + 4))x$((bottom - top + 4))+$left+$top" +repage \
        -bordercolor gray75 -border 1 "$output"
    rm -f "$screen"
}
