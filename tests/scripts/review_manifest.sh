#!/usr/bin/env bash
# The review images of the drawings show the golden DXF files as they are:
# every golden DXF has its PNG and a manifest line with its SHA-256, and
# every manifest line matches. Re-render with scripts/render_drawings_review.sh
# and look at the images again when this fails.
set -u
ROOT=$1
GOLDEN="${2:-$ROOT/tests/drawings/golden}"
REVIEW="${3:-$ROOT/docs/review/drawings}"
status=0
for f in "$GOLDEN"/*.dxf; do
  name=$(basename "$f")
  if ! grep -q "  $name\$" "$REVIEW/manifest.sha256"; then
    echo "$name: not in the review manifest" >&2
    status=1
  fi
  if [ ! -s "$REVIEW/${name%.dxf}.png" ]; then
    echo "$name: no review image" >&2
    status=1
  fi
done
(cd "$GOLDEN" && sha256sum --quiet -c "$REVIEW/manifest.sha256") >&2 || status=1
exit $status
