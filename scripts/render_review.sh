#!/usr/bin/env bash
# Renders every golden DXF of a folder into review images <name>.png and
# writes the manifest of the DXF files' SHA-256 the images show.
#   scripts/render_review.sh drawings   # tests/drawings/golden -> docs/review/drawings
#   scripts/render_review.sh diagrams   # tests/drawings/golden_diagrams -> docs/review/diagrams
# Needs python3-ezdxf and python3-matplotlib (Debian's /usr/bin/python3).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case "${1:-}" in
  drawings) GOLDEN="$ROOT/tests/drawings/golden" ;;
  diagrams) GOLDEN="$ROOT/tests/drawings/golden_diagrams" ;;
  *) echo "usage: $0 drawings|diagrams" >&2; exit 2 ;;
esac
OUT="$ROOT/docs/review/$1"
mkdir -p "$OUT"
manifest="$OUT/manifest.sha256"
: > "$manifest.new"
for f in "$GOLDEN"/*.dxf; do
  name=$(basename "$f" .dxf)
  /usr/bin/python3 -m ezdxf draw -o "$OUT/$name.png" --dpi 100 "$f" > /dev/null 2>&1
  (cd "$GOLDEN" && sha256sum "$name.dxf") >> "$manifest.new"
done
mv -f "$manifest.new" "$manifest"
