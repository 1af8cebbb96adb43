#!/usr/bin/env bash
# Renders every golden DXF of the diagrams into docs/review/diagrams/<name>.png
# and writes the manifest of the DXF files' SHA-256 the review images show.
# Needs python3-ezdxf and python3-matplotlib (Debian's /usr/bin/python3).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
GOLDEN="$ROOT/tests/drawings/golden_diagrams"
OUT="$ROOT/docs/review/diagrams"
mkdir -p "$OUT"
manifest="$OUT/manifest.sha256"
: > "$manifest.new"
for f in "$GOLDEN"/*.dxf; do
  name=$(basename "$f" .dxf)
  /usr/bin/python3 -m ezdxf draw -o "$OUT/$name.png" --dpi 100 "$f" > /dev/null 2>&1
  (cd "$GOLDEN" && sha256sum "$name.dxf") >> "$manifest.new"
done
mv -f "$manifest.new" "$manifest"
