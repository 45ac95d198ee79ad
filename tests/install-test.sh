#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed CLI on a
# clip: the layout a package would get, with the tools found from there.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/veltrane bin/veltrane-cli share/veltrane/resources/sniffer share/veltrane/resources/creator \
         share/applications/veltrane.desktop share/icons/hicolor/256x256/apps/veltrane.png; do
  [ -e "$prefix/$f" ] || { echo "missing after install: $f" >&2; exit 1; }
done
[ -L "$prefix/share/veltrane/resources/creator" ] || { echo "creator is not a link to the system's ffmpeg" >&2; exit 1; }
grep -q '^Exec=veltrane %F$' "$prefix/share/applications/veltrane.desktop"

cd "$prefix"
ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 \
  -pix_fmt yuv420p -shortest "clip one.mp4"
# Run from a clean environment so only the installed layout can supply the tools.
env -u VELTRANE_RESOURCES "$prefix/bin/veltrane-cli" probe "clip one.mp4" > probe.json
grep -q '"isValidMediaFile": true' probe.json
env -u VELTRANE_RESOURCES "$prefix/bin/veltrane-cli" compress --size 50 --output out "clip one.mp4" > summary.txt
[ -s "out/clip one.mp4" ] || { echo "installed CLI wrote no output" >&2; cat summary.txt >&2; exit 1; }
echo "installed into $prefix and compressed a clip with the installed CLI"
