#!/usr/bin/env bash
# Runs build/bin/bench_pdf_real on PDFs that Debian packages ship, one per producer. Installs
# nothing: it checks that the packages are there and, when some are not, names them and stops.
# Usage: bench/run_pdf_real.sh   (VX_BUILD_DIR picks another build folder)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench="${VX_BUILD_DIR:-$here/build}/bin/bench_pdf_real"

# package | file | producer
corpus=(
  "debian-reference-en|/usr/share/debian-reference/debian-reference.en.pdf|xdvipdfmx (XeTeX)"
  "valgrind|/usr/share/doc/valgrind/valgrind_manual.pdf.gz|Apache FOP 2.6 (DocBook)"
  "nettle-dev|/usr/share/doc/nettle-dev/nettle.pdf.gz|pdfTeX 1.40.21 (Texinfo)"
  "groff|/usr/share/doc/groff-base/pdf/pdfmark.pdf.gz|GPL Ghostscript 10.00.0 (groff)"
  "fonts-sil-charis|/usr/share/doc/fonts-sil-charis/documentation/pdf/features.pdf.gz|cairo 1.16"
  "python-reportlab-doc|/usr/share/doc/python-reportlab-doc/reportlab-userguide.pdf|ReportLab"
  "ghostscript-doc|/usr/share/doc/ghostscript/GS9_Color_Management.pdf|MiKTeX pdfTeX 1.40.21 (pictures, Illustrator figures)"
)

missing=()
for entry in "${corpus[@]}"; do
  IFS='|' read -r package file producer <<< "$entry"
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || [ ! -f "$file" ]; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "run_pdf_real: missing ${missing[*]}; install them with:" >&2
  echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
for tool in gs qpdf; do
  command -v "$tool" > /dev/null || { echo "run_pdf_real: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
[ -x "$bench" ] || { echo "run_pdf_real: build first ($bench is missing)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
inputs=()
for entry in "${corpus[@]}"; do
  IFS='|' read -r package file producer <<< "$entry"
  name="$(basename "$file" .gz)"
  case "$file" in
    *.gz) gzip -dc "$file" > "$work/$name" ;;
    *) cp "$file" "$work/$name" ;;
  esac
  echo "$name: $producer, from $package"
  inputs+=("$work/$name")
done
echo
"$bench" "${inputs[@]}"
