#!/bin/sh
# BibTeX in today's style: "BibTeX (any style)" read + write against a
# std::getline copy, its growth from 50,000 to 200,000 entries, and the
# cost of messages in the BibTeX format (150,000 of them against none).
#   bench-bibtex-any.sh BUILD_DIR
set -eu
build=$1
data="$build/bench-data"
mkdir -p "$data"
convert="$build/tools/refloom-convert"
gen="$build/bench/gen_bibtex_any"

[ -s "$data/any50k.bib" ] || "$gen" any 50000 1 >"$data/any50k.bib"
[ -s "$data/any50k-crlf.bib" ] || "$gen" crlf 50000 1 >"$data/any50k-crlf.bib"
[ -s "$data/any200k.bib" ] || "$gen" any 200000 2 >"$data/any200k.bib"
[ -s "$data/unknown50k.bib" ] || "$gen" unknown 50000 3 >"$data/unknown50k.bib"
[ -s "$data/known50k.bib" ] || "$gen" known 50000 3 >"$data/known50k.bib"

# Median wall-clock time of five runs, in seconds; messages go to a file,
# as they would to a terminal or a log.
median() {
  : >"$data/times"
  for run in 1 2 3 4 5; do
    /usr/bin/time -f "%e" -o "$data/time" "$@" >/dev/null 2>"$data/messages.txt"
    cat "$data/time" >>"$data/times"
  done
  sort -n "$data/times" | sed -n 3p
}
ratio() { echo "scale=2; $1 / $2" | bc; }
size_mb() { echo "scale=1; $(stat -c %s "$1") / 1048576" | bc; }

echo "BibTeX (any style): 50,000 entries $(size_mb "$data/any50k.bib") MB, 200,000 entries $(size_mb "$data/any200k.bib") MB"
t_copy=$(median "$build/bench/getline_copy" "$data/any50k.bib" "$data/copy.bib")
t_50=$(median "$convert" -f bibtex-any "$data/any50k.bib" -o "$data/out.bib")
echo "  getline copy, 50,000 entries:        ${t_copy} s"
echo "  read + write, 50,000 entries:        ${t_50} s ($(ratio "$t_50" "$t_copy")x the copy)"
echo "    its messages: $(cat "$data/messages.txt")"
t_copy_crlf=$(median "$build/bench/getline_copy" "$data/any50k-crlf.bib" "$data/copy.bib")
t_crlf=$(median "$convert" -f bibtex-any "$data/any50k-crlf.bib" -o "$data/out.bib")
echo "  the CRLF copy:                       ${t_crlf} s ($(ratio "$t_crlf" "$t_copy_crlf")x its copy, ${t_copy_crlf} s)"
t_200=$(median "$convert" -f bibtex-any "$data/any200k.bib" -o "$data/out.bib")
echo "  read + write, 200,000 entries:       ${t_200} s ($(ratio "$t_200" "$t_50")x the 50,000 time)"

t_known=$(median "$convert" "$data/known50k.bib" -o "$data/out.bib")
t_unknown=$(median "$convert" "$data/unknown50k.bib" -o "$data/out.bib")
echo "BibTeX format, 50,000 entries without / with three unknown fields each:"
echo "  ${t_known} s / ${t_unknown} s with $(wc -l <"$data/messages.txt") messages ($(ratio "$t_unknown" "$t_known")x)"

# The window's message collector in front of the stream: the same 150,000
# messages, loaded without writing the database (bench/message_bench).
echo "BibTeX format, 150,000 messages through the message dialog's collector (load only):"
"$build/bench/message_bench" "$data/known50k.bib" "$data/unknown50k.bib" "$data/messages.txt"
