#!/usr/bin/env bash
# Checks the code's form: every C++ file as .clang-format lays it out, and every project header
# included by its bare name ("Tool.h", never "core/Tool.h"), which is what keeps the layers apart.
# Names each file that fails and exits non-zero; changes nothing. To format: clang-format -i FILE.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is missing (run scripts/setup.sh)" >&2; exit 1; }

status=0
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
unformatted=()
for file in "${files[@]}"; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ "${#unformatted[@]}" -gt 0 ]; then
  echo "check-format: not formatted with .clang-format:" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  status=1
fi

if pathed=$(git grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/' -- '*.cpp' '*.h' '*.c'); then
  echo "check-format: project headers are included by their bare names:" >&2
  printf '%s\n' "$pathed" | sed 's/^/  /' >&2
  status=1
fi
exit $status
