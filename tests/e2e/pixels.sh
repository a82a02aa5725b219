#!/usr/bin/env bash
# What the pages look like on the screen: a see-through pixel of the welcome page shows what
# lies beneath and takes no click; the pictures are drawn exactly; the gauge is dark teal
# (0,64,64) on white inside a black frame during the copy (400 files of 1,000,000 bytes) and
# grows; the finish picture shows at the end.  Usage: pixels.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
e2e_init pixels "$1" 400

# Client 100,300 of the welcome page: inside its window, left of the panel, see-through.
hole_x=$((E2E_WIDE_LEFT + 100)) hole_y=$((E2E_TOP + 300))
beneath=$(e2e_pixel "$hole_x" "$hole_y")
e2e_log "screen pixel $hole_x,$hole_y before the wizard: $beneath"

e2e_start_setup
e2e_wait_page welcome 30
welcome=$(e2e_windows "$E2E_WELCOME_NAME" | head -n 1)
read -r wx wy < <(xwininfo -id "$welcome" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {print x, $4}')
[ "$wx,$wy" = "$E2E_WIDE_LEFT,$E2E_TOP" ] || e2e_fail "the welcome page is at $wx,$wy, expected centred at $E2E_WIDE_LEFT,$E2E_TOP"
shown=$(e2e_pixel "$hole_x" "$hole_y")
[ "$shown" = "$beneath" ] || e2e_fail "the see-through pixel shows $shown, expected what lies beneath ($beneath)"
[ "$shown" != 192,192,192 ] || e2e_fail "the see-through pixel shows the key colour silver"

# The pointer over the hole is over the window beneath; over the Next button, over the page.
xdotool mousemove $((E2E_WIDE_LEFT + 474 + 41)) $((E2E_TOP + 533 + 17))
under_next=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')
[ "$under_next" = "$welcome" ] || e2e_fail "the Next button is not part of the welcome page's window ($under_next)"
xdotool mousemove "$hole_x" "$hole_y"
under_hole=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')
[ "$under_hole" != "$welcome" ] || e2e_fail "the welcome page takes the pointer at its see-through pixel"
e2e_click "$E2E_WIDE_LEFT" 100 300
sleep 1
e2e_picture_matches welcome || e2e_fail "a click on the see-through pixel changed the welcome page"
e2e_not_visible "$E2E_INSTALL_NAME" || e2e_fail "a click on the see-through pixel reached the page"
[ "$(e2e_pixel "$hole_x" "$hole_y")" = "$beneath" ] || e2e_fail "the see-through pixel changed after the click"

e2e_key Return
e2e_wait_page install 15
e2e_key Return

# Samples of gauge row 10 (below the wait label that covers its top rows) during the copy.
gauge_x=$((E2E_INSTALL_LEFT + 293)) gauge_y=$((E2E_TOP + 496 + 10))
teal=0,64,64 white=255,255,255
partial=0 last_fill=0 samples=0
while ! e2e_uninstall_entry_exists && [ "$samples" -lt 400 ]; do
  mapfile -t row < <(e2e_pixel_row "$gauge_x" "$gauge_y" 309)
  samples=$((samples + 1))
  [ "${#row[@]}" -eq 309 ] || continue
  [ "${row[0]}" = 0,0,0 ] && [ "${row[308]}" = 0,0,0 ] || continue  # gauge not shown yet / gone
  # Outside the middle (where the percentage is written) every pixel is fill or background,
  # the fill running from the left without a gap.
  fill=0 seen_white=0
  for x in $(seq 1 307); do
    [ "$x" -ge 100 ] && [ "$x" -le 208 ] && continue
    case ${row[$x]} in
      "$teal") [ "$seen_white" -eq 0 ] || e2e_fail "gauge fill after background at x $x: ${row[*]:1:307}"; fill=$x ;;
      "$white") seen_white=1 ;;
      *) e2e_fail "gauge pixel $x has colour ${row[$x]}, expected dark teal $teal or white" ;;
    esac
  done
  [ "$fill" -ge "$last_fill" ] || e2e_fail "the gauge shrank from $last_fill to $fill pixels"
  last_fill=$fill
  if [ "$fill" -ge 1 ] && [ "$seen_white" -eq 1 ]; then
    partial=$((partial + 1))
    [ "$partial" -eq 1 ] && e2e_shot gauge
  fi
done
e2e_log "$samples gauge samples, $partial of them part-filled"
[ "$partial" -ge 1 ] || e2e_fail "never saw the gauge part-filled (dark teal left, white right) during the copy"

e2e_wait 60 "the uninstall entry (the last step of the installation)" e2e_uninstall_entry_exists
e2e_wait_page finish 15
e2e_shot finish
[ "$(e2e_pixel "$hole_x" "$hole_y")" = "$beneath" ] || e2e_fail "the finish page covers the see-through pixel"
e2e_key Return
e2e_wait_setup_exit 15
e2e_pass
