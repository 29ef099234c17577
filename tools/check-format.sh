#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it
# with the tree's .clang-format; lists the files and how to fix them.
# Checks every file git knows or would add, or every file under the source
# folders outside a git checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
format="${CLANG_FORMAT:-clang-format}"
if ! command -v "$format" >/dev/null; then
    echo "check-format: $format is missing (apt-get install clang-format)" >&2
    exit 1
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | sort -u)
else
    mapfile -t files < <(find src tests tools fuzz bench -name '*.cpp' -o -name '*.h' | sort)
fi
# clang-format names each file it would change as "FILE:LINE:COLUMN: error: ...".
mapfile -t unformatted < <(printf '%s\0' "${files[@]}" |
    xargs -0 -n 40 -P "$(nproc)" "$format" --style=file --dry-run -Werror 2>&1 |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ "${#unformatted[@]}" -gt 0 ]; then
    echo "check-format: not formatted as .clang-format asks:" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    echo "fix with: $format -i --style=file FILE..." >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"
