#!/bin/sh
# Pictorix's Print on the default printer, a PDF queue of the print server:
# one landscape page with the snapshot on it, and no error box. The print
# server is the one running, or one of this case's own; the PDF queue is the
# default printer only while the case runs (the previous default comes back).
# Usage: pictorix-print.sh BIN_DIR
CASE="Pictorix print"
. "$(dirname "$0")/session-lib.sh"
require pdfinfo pdftoppm lpstat lpadmin /usr/sbin/cupsd
[ -e /usr/lib/cups/backend/cups-pdf ] || { echo "SKIP: the PDF printer is not installed"; exit 77; }

QUEUE=KorvaneE2ePdf
PREVIOUS_DEFAULT=""
QUEUE_ADDED=""
PDF_WRITTEN=""
# The PDF printer writes into the PDF folder in the printing user's home.
PDF_DIR=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
scheduler_running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }
if ! scheduler_running; then
    (own /usr/sbin/cupsd -f) >"$WORK/cupsd.log" 2>&1 &
    PIDS="$PIDS $!"
fi
restore_printer() {
    if [ -n "$QUEUE_ADDED" ]; then
        [ -n "$PREVIOUS_DEFAULT" ] && lpadmin -d "$PREVIOUS_DEFAULT"
        lpadmin -x "$QUEUE"
    fi
    [ -n "$PDF_WRITTEN" ] && rm -f "$PDF_WRITTEN"
}
at_exit restore_printer
start_display

pictorix
until_ok 30 scheduler_running || fail "the print server did not come up"
current=$(lpstat -d 2>/dev/null)
case "$current" in "system default destination: "*) PREVIOUS_DEFAULT=${current#*: } ;; esac
lpadmin -p "$QUEUE" -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>>"$WORK/lpadmin.log" ||
    fail "cannot add the PDF queue"
QUEUE_ADDED=1
lpadmin -d "$QUEUE" || fail "cannot make the PDF queue the default"
mkdir -p "$PDF_DIR"
ls "$PDF_DIR" >"$WORK/pdf-before.txt"
t0=$(now_ms)
press "$PWIN" Print
new_pdf() {
    PDF_WRITTEN=$(ls "$PDF_DIR" | grep '\.pdf$' | grep -vxF -f "$WORK/pdf-before.txt" | head -n 1)
    [ -n "$PDF_WRITTEN" ] && PDF_WRITTEN=$PDF_DIR/$PDF_WRITTEN
}
printed_or_refused() { new_pdf || message_box; }
until_ok 60 printed_or_refused || fail "no PDF printed"
message_box && fail "Pictorix reported an error on Print"
queue_empty() { [ -z "$(lpstat -o "$QUEUE" 2>/dev/null)" ]; }
until_ok 60 queue_empty || fail "the print job did not finish"
PRINT_MS=$(( $(now_ms) - t0 ))
pdfinfo "$PDF_WRITTEN" >"$WORK/pdfinfo.txt" 2>&1 || fail "pdfinfo cannot read $PDF_WRITTEN"
grep -Eq '^Pages: +1$' "$WORK/pdfinfo.txt" || fail "not one page: $(grep Pages "$WORK/pdfinfo.txt")"
size=$(sed -n 's/^Page size: *\([0-9.]*\) x \([0-9.]*\) pts.*/\1x\2/p' "$WORK/pdfinfo.txt")
# The sheet comes out upright with the landscape page turned on it, so
# landscape shows in the picture: it must read sideways on an upright sheet
# (upright on a wide one). The inked part of the page, turned each way and
# scaled to the inked part of the snapshot, is compared with it.
pdftoppm -r 50 -gray -singlefile "$PDF_WRITTEN" "$WORK/page" || fail "cannot rasterise the printed page"
ink() { /usr/bin/convert "$1" -fuzz 5% -format '%@' info:; }
snap_ink=$(ink "$WORK/Temp.bmp")
page_ink=$(ink "$WORK/page.pgm")
/usr/bin/convert "$WORK/Temp.bmp" -crop "$snap_ink" +repage -colorspace gray "$WORK/snap-ink.png"
# differs TURN: mean difference of the page's picture turned by TURN degrees.
differs() {
    /usr/bin/convert "$WORK/page.pgm" -crop "$page_ink" +repage -rotate "$1" -resize "${snap_ink%%+*}!" \
        "$WORK/snap-ink.png" -compose difference -composite -format '%[fx:mean]' info:
}
d0=$(differs 0)
d90=$(differs 90)
d270=$(differs 270)
echo "$size $d0 $d90 $d270" | awk '{
    split($1, side, "x"); sideways = ($3 < $4 ? $3 : $4)
    exit !(side[1] < side[2] ? sideways < 0.6 * $2 : $2 < 0.6 * sideways)
}' || fail "not a landscape print: $size pts, picture differences upright $d0, turned $d90 and $d270"
echo "Print: one landscape page in ${PRINT_MS} ms ($size pts; the picture differs by $d0 upright, $d90 and $d270 turned)"
pass
