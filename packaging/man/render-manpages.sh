#!/bin/sh
# Renders quilso.1 and quilso-cli.1 (plain and gzipped) from their one markdown source:
#   render-manpages.sh SOURCE.md OUTDIR VERSION DATE
set -eu
[ $# -eq 4 ] || { echo "usage: $0 SOURCE.md OUTDIR VERSION DATE" >&2; exit 2; }
source=$1 outdir=$2 version=$3 date=$4
mkdir -p "$outdir"
for page in quilso quilso-cli; do
  # A marker line switches the page the following lines belong to; "all" is both.
  awk -v page="$page" '
    /^<!-- page: [a-z-]+ -->$/ { current = $3; next }
    current == page || current == "all" { print }
  ' "$source" | sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$date/g" >"$outdir/$page.md"
  # man hyphenates with English patterns, which split German words wrongly ("Stilw-erte"), and
  # .TH turns hyphenation back on: off again right after it, with ragged lines instead of
  # the wide gaps justified text gets without hyphens.
  go-md2man -in "$outdir/$page.md" -out "$outdir/$page.roff"
  sed -e '/^\.TH /a .nh' -e '/^\.TH /a .ad l' "$outdir/$page.roff" >"$outdir/$page.1"
  # -n leaves name and time out of the gzip header, so the package is reproducible.
  gzip -9 -n -c "$outdir/$page.1" >"$outdir/$page.1.gz"
done
