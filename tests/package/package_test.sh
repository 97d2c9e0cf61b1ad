#!/usr/bin/env bash
# Builds the Debian package from a release tree and checks it as a user would get it: its
# control fields, lintian (no errors, no warnings), the desktop entry, the AppStream metadata,
# the score type, the icons and the manual pages; then unpacks it into a throwaway root and runs
# the command line from there.
#
# usage: package_test.sh <source folder> <work folder> <version>
set -euo pipefail

source_dir=$1
work=$2
version=$3
maintainer='QUAVREX developers <quavrex@example.org>'

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

mkdir -p "$work"
deb=$(bash "$source_dir/scripts/package.sh" "$work/build" "$work/out" | tail -n1)
[ -f "$deb" ] || fail "no package was made"
echo "package: $deb"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quavrex ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
  fail "architecture $(field Architecture)"
[ "$(field Maintainer)" = "$maintainer" ] || fail "maintainer $(field Maintainer)"
[ -n "$(field Description)" ] || fail "no description"
depends=$(field Depends)
for needed in fonts-ipafont-gothic libc6 libqt6widgets6 libqt6network6; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done

# Lintian's errors and warnings; those that cannot apply are none so far.
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

root="$work/root"
rm -rf "$root"
dpkg -x "$deb" "$root"
share="$root/usr/share"
desktop=("$share"/applications/*.desktop)
metainfo=("$share"/metainfo/*.metainfo.xml)
desktop-file-validate "${desktop[@]}" || fail "desktop-file-validate"
appstreamcli validate --no-net "${metainfo[@]}" || fail "appstreamcli validate"
for line in 'Exec=quavrex %F' 'Categories=AudioVideo;Audio;Music;' 'Name=.*' 'Name\[ja\]=.*' \
  'Comment=.*' 'Comment\[ja\]=.*'; do
  grep -qx "$line" "${desktop[@]}" || fail "the desktop entry has no line $line"
done
grep -q "<launchable type=\"desktop-id\">$(basename "${desktop[@]}")</launchable>" \
  "${metainfo[@]}" || fail "the metadata names another desktop entry"

# The score type: the desktop entry opens it, and a file manager gives scores that type while a
# MathML document (.mml too) keeps its own.
score_type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$share/mime/packages/quavrex.xml")
grep -qx "MimeType=$score_type;" "${desktop[@]}" || fail "the desktop entry does not open $score_type"
update-mime-database "$share/mime" >"$work/mime.log" 2>&1 || fail "update-mime-database: $(cat "$work/mime.log")"
files="$work/files"
rm -rf "$files"
mkdir -p "$files"
cp "$source_dir/examples/overture.mml" "$source_dir/examples/minuet.mml" "$files/"
cp "$files/minuet.mml" "$files/LOUD.MML"
cp "$files/minuet.mml" "$files/song.mus"
printf '<?xml version="1.0"?>\n<math xmlns="http://www.w3.org/1998/Math/MathML"><mi>x</mi></math>\n' \
  >"$files/formula.mml"
type_of() {
  XDG_DATA_DIRS="$share:/usr/share" XDG_DATA_HOME="$work/no-home" \
    gio info -a standard::content-type "$1" | sed -n 's/.*standard::content-type: //p'
}
for score in minuet.mml LOUD.MML song.mus; do
  [ "$(type_of "$files/$score")" = "$score_type" ] ||
    fail "$score has the type $(type_of "$files/$score")"
done
[ "$(type_of "$files/formula.mml")" = application/mathml+xml ] ||
  fail "a MathML document has the type $(type_of "$files/formula.mml")"

# Icons: each picture has the size its folder names.
for png in "$share"/icons/hicolor/*/apps/quavrex.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  file "$png" | grep -q "${size/x/ x }," || fail "$png is not $size: $(file "$png")"
done
[ -f "$share/icons/hicolor/scalable/apps/quavrex.svg" ] || fail "no scalable icon"

# Manual pages, without complaints from the formatter.
for page in quavrexc quavrex; do
  text=$(MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>"$work/man-warnings")
  # The formatter's complaints, not man's own notes about the locale.
  if grep -q 'troff' "$work/man-warnings"; then
    fail "man warns about $page.1: $(cat "$work/man-warnings")"
  fi
  grep -q "^NAME" <<<"$text" || fail "$page.1 has no NAME section"
done
man -l "$share/man/man1/quavrexc.1.gz" | grep -q -- '--octave-check' ||
  fail "quavrexc.1 does not describe the options"

# The programs run from the unpacked root.
[ "$("$root/usr/bin/quavrexc" --version)" = "quavrexc $version" ] || fail "quavrexc --version"
if ldd "$root/usr/bin/quavrex" | grep -q 'not found'; then
  fail "quavrex lacks libraries: $(ldd "$root/usr/bin/quavrex" | grep 'not found')"
fi
# The packaged command line compiles an example beside it.
line=$("$root/usr/bin/quavrexc" --ma2 "$files/overture.mml") || fail "the packaged quavrexc failed"
[ "$line" = "overture.mml は正しく処理されました。" ] || fail "log line: $line"
[ -s "$files/overture.MMF" ] || fail "the packaged quavrexc wrote no overture.MMF"
echo "PASS"
