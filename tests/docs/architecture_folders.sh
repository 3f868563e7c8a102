#!/usr/bin/env bash
# docs/ARCHITECTURE.md stays true to the tree: every top-level folder that
# holds sources is named in it (as `folder/`), and every folder it names exists.
set -euo pipefail
source_dir=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
doc="$source_dir/docs/ARCHITECTURE.md"
[ -f "$doc" ] || { echo "FAIL: no $doc"; exit 1; }
status=0
for dir in "$source_dir"/*/; do
    name=$(basename "$dir")
    case "$name" in build*|.*) continue ;; esac
    # A folder of sources: C++ files, scripts or build files anywhere inside it.
    if [ -n "$(find "$dir" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.sh' -o -name '*.cmake' -o -name '*.1' \) -print -quit)" ]; then
        grep -q "\`$name/" "$doc" || { echo "FAIL: folder $name/ is not named in docs/ARCHITECTURE.md"; status=1; }
    fi
done
for named in $(grep -o '`[a-z_/]*/`' "$doc" | tr -d '`' | sort -u); do
    [ -d "$source_dir/$named" ] || { echo "FAIL: docs/ARCHITECTURE.md names $named, which does not exist"; status=1; }
done
[ "$status" = 0 ] && echo "docs/ARCHITECTURE.md names every source folder"
exit "$status"
