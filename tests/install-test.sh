#!/usr/bin/env bash
# Installs the build the two ways a user gets it, and runs what was installed.
#   install-test.sh BUILD prefix  ID   cmake --install into a temporary prefix;
#                                      the installed CLI compresses a clip
#   install-test.sh BUILD package ID   cpack -G DEB; as root, apt-get installs
#                                      the .deb, the installed CLI probes a clip,
#                                      man finds its page, and after a purge
#                                      nothing of the package is left
# ID is the application ID that names the desktop files. Exit 77: skipped.
set -euo pipefail
build=$1 mode=$2 id=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*" >&2; exit 1; }

# Everything an installation holds, under its prefix.
installed=(
  bin/veltrane bin/veltrane-cli
  share/veltrane/resources/sniffer share/veltrane/resources/creator
  "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$id.svg"
  share/man/man1/veltrane.1.gz share/man/man1/veltrane-cli.1.gz
  share/bash-completion/completions/veltrane-cli
)
icon_sizes=(16 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  installed+=("share/icons/hicolor/${size}x$size/apps/$id.png")
done

# The layout under prefix, the desktop files' contents, and the installed
# programs at work, found from there alone.
check_installation() { # prefix, then the ffprobe / ffmpeg the links must name
  local prefix=$1 ffprobe=$2 ffmpeg=$3 f
  for f in "${installed[@]}"; do
    [ -e "$prefix/$f" ] || fail "missing after install: $prefix/$f"
  done
  [ "$(readlink "$prefix/share/veltrane/resources/sniffer")" = "$ffprobe" ] || fail "sniffer does not link to $ffprobe"
  [ "$(readlink "$prefix/share/veltrane/resources/creator")" = "$ffmpeg" ] || fail "creator does not link to $ffmpeg"
  for size in "${icon_sizes[@]}"; do
    file "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png" | grep -q "PNG image data, $size x $size," \
      || fail "the ${size}x$size icon is not a PNG of that size"
  done
  local desktop="$prefix/share/applications/$id.desktop"
  grep -qx 'Exec=veltrane %F' "$desktop" && grep -qx "Icon=$id" "$desktop" || fail "desktop entry: wrong Exec or Icon"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$scratch/appstream.txt" \
      || { cat "$scratch/appstream.txt" >&2; fail "AppStream metadata does not validate"; }
  fi
  # Without any display: --version must not reach for one.
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/veltrane" --version | grep -qx "Veltrane [0-9.]*" \
    || fail "veltrane --version did not answer without a display"
  # The translations are inside the executable, wherever it is installed; -h is
  # found among Qt's own options too.
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LANGUAGE LC_ALL=de_DE.UTF-8 "$prefix/bin/veltrane" -platform xcb -h 2>/dev/null \
    | grep -q "Macht Videodateien kleiner." || fail "the installed veltrane does not speak German, or -h reached for a display"
  (
    cd "$scratch"
    ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 \
      -pix_fmt yuv420p -shortest "clip one.mp4"
    env -u VELTRANE_RESOURCES "$prefix/bin/veltrane-cli" probe "clip one.mp4" > probe.json
    grep -q '"isValidMediaFile": true' probe.json || fail "the installed CLI could not probe a clip: $(cat probe.json)"
  )
}

case $mode in
prefix)
  cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
  check_installation "$scratch/prefix" "$(readlink "$build/bin/resources/sniffer")" "$(readlink "$build/bin/resources/creator")"
  cd "$scratch"
  env -u VELTRANE_RESOURCES prefix/bin/veltrane-cli compress --size 50 --output out "clip one.mp4" > summary.txt
  [ -s "out/clip one.mp4" ] || { cat summary.txt >&2; fail "installed CLI wrote no output"; }
  echo "installed into a prefix; the installed CLI compressed a clip"
  ;;
package)
  chmod 755 "$scratch" # apt-get reads the .deb as its own user
  (cd "$build" && cpack -G DEB -B "$scratch" >"$scratch/cpack.txt" 2>&1) || { cat "$scratch/cpack.txt" >&2; fail "cpack failed"; }
  deb=$(echo "$scratch"/veltrane_*.deb)
  [ -f "$deb" ] || fail "cpack wrote no .deb"
  dpkg-deb -f "$deb" Depends | grep -q '\bffmpeg\b' || fail "the package does not depend on ffmpeg"
  dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "the package's library dependencies are missing"
  if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    echo "built $(basename "$deb"); installing it needs root and apt-get: skipped"
    exit 77
  fi
  apt() { apt-get -y -q -o DPkg::Lock::Timeout=300 "$@" >>"$scratch/apt.txt" 2>&1 || { cat "$scratch/apt.txt" >&2; fail "apt-get $* failed"; }; }
  # One package test on this machine at a time: another build's would purge ours.
  exec 9>/run/lock/veltrane-package-test
  flock 9
  is_installed() { dpkg-query -W -f='${Status}' veltrane 2>/dev/null | grep -q 'ok installed'; }
  if is_installed; then
    echo "a veltrane package is installed already; purging it first"
    apt purge veltrane
  fi
  # A failed check leaves no package behind either.
  trap 'if is_installed; then apt-get -y -q purge veltrane >/dev/null 2>&1 || true; fi; rm -rf "$scratch"' EXIT
  apt install --no-install-recommends "$deb"
  check_installation /usr /usr/bin/ffprobe /usr/bin/ffmpeg
  [ "$(man -w veltrane-cli)" = /usr/share/man/man1/veltrane-cli.1.gz ] || fail "man does not find veltrane-cli(1)"
  dpkg -L veltrane > "$scratch/files.txt"
  # What is not a folder is the package's alone; folders may be shared.
  owned=()
  while read -r f; do
    [ -d "$f" ] && [ ! -L "$f" ] || owned+=("$f")
  done < "$scratch/files.txt"
  [ ${#owned[@]} -ge ${#installed[@]} ] || fail "dpkg lists fewer files than were installed"
  apt purge veltrane
  for f in "${owned[@]}" /usr/share/veltrane; do
    [ ! -e "$f" ] && [ ! -L "$f" ] || fail "left after purge: $f"
  done
  ! is_installed || fail "dpkg still lists veltrane as installed"
  echo "installed $(basename "$deb") with apt-get, ran it, purged it: nothing left"
  ;;
*) fail "mode: prefix or package" ;;
esac
