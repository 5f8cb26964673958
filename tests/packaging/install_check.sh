#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a fresh root and checks it as a
# user's system would see it: the programs run from there on the installed data files, the
# desktop entry, software-centre entry and manual pages are valid, and lintian finds no error
# or warning.
#   install_check.sh BUILD_DIR VERSION APP_ID SOURCE_DIR
set -euo pipefail
# Pipes into grep below leave out -q: an early exit would fail the writer with SIGPIPE.
build=$1 version=$2 app_id=$3 source=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; exit 1; }
deb=$work/out/quilso_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work/out" >&2; echo "FAIL: no $deb" >&2; exit 1; }
root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr

echo "== package contents"
for f in bin/quilso bin/quilso-cli share/quilso/default.js share/quilso/quilso_functions.js \
  share/quilso/hilfe.htm share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
  share/icons/hicolor/scalable/apps/quilso.svg share/man/man1/quilso.1.gz share/man/man1/quilso-cli.1.gz \
  share/doc/quilso/copyright; do
  [ -f "$usr/$f" ] || fail "$f is not in the package"
done
# The demo site whole, sub folders included: the preview follows its links.
(cd "$source/examples/demo" && find . -type f -regex '.*\.\(htm\|css\|js\|json\)' -printf '%P\n') | while read -r f; do
  [ -f "$usr/share/quilso/demo/$f" ] || echo "demo/$f"
done >"$work/missing-demo"
[ ! -s "$work/missing-demo" ] || fail "demo files not in the package: $(tr '\n' ' ' <"$work/missing-demo")"
for size in 48 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/quilso.png
  file -b "$png" | grep "^PNG image data, $size x $size," >/dev/null || fail "$png is not a $size px PNG: $(file -b "$png")"
done
deps=$(dpkg-deb -f "$deb" Depends)
for dep in qt6-translations-l10n libqt6widgets6 libc6; do
  [[ "$deps" == *"$dep"* ]] || fail "Depends lacks $dep: $deps"
done

echo "== installed programs"
[ "$("$usr/bin/quilso-cli" --version)" = "quilso-cli $version" ] || fail "quilso-cli --version"
[ "$("$usr/bin/quilso" --version)" = "quilso $version" ] || fail "quilso --version"
# The shipped new project written again by the installed program with the installed script
# library: the same bytes, under the fixed time the data files are generated with.
export SOURCE_DATE_EPOCH=1767225600 TZ=UTC
"$usr/bin/quilso-cli" dump "$usr/share/quilso/default.js" >"$work/default.json" || fail "dump default.js"
(cd "$work" && "$usr/bin/quilso-cli" build default.json rebuilt.js) || fail "build from the installed data"
cmp "$work/rebuilt.js" "$usr/share/quilso/default.js" || fail "build did not reproduce the installed default.js"
# Every shipped look is found by the installed program; the user's own folder stays empty.
looks=$(XDG_DATA_HOME="$work/data" "$usr/bin/quilso-cli" styles) || fail "quilso-cli styles"
for look in "$source"/data/styles/*.json; do
  name=$(basename "$look" .json)
  grep "^$name  *mitgeliefert " <<<"$looks" >/dev/null || fail "the installed quilso-cli does not list the look $name"
done

echo "== metadata"
# Hints too: a missing main category hides the program in a catch-all menu section.
hints=$(desktop-file-validate "$usr/share/applications/$app_id.desktop" 2>&1) || fail "desktop-file-validate"
[ -z "$hints" ] || fail "desktop-file-validate: $hints"
appstreamcli validate --pedantic --no-net "$usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
# The tree as a whole: the metainfo's launchable entry and icon are really installed.
appstreamcli validate-tree --pedantic --no-net "$root" || fail "appstreamcli validate-tree"
metainfo=$usr/share/metainfo/$app_id.metainfo.xml
for pattern in '<summary xml:lang="de">' '<p xml:lang="de">' '<screenshot type="default">' '<content_rating ' \
  "<release version=\"$version\" date=\"[0-9-]*\""; do
  grep -q "$pattern" "$metainfo" || fail "the metainfo lacks $pattern"
done
for key in 'GenericName\[de\]' 'GenericName' 'Keywords\[de\]' 'Keywords' 'Categories'; do
  grep -q "^$key=" "$usr/share/applications/$app_id.desktop" || fail "the desktop entry lacks $key"
done

echo "== manual pages"
for page in quilso quilso-cli; do
  man_file=$usr/share/man/man1/$page.1.gz
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$man_file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
  lexgrog "$man_file" | grep "\"$page - " >/dev/null || fail "$page.1 has no whatis entry"
  zcat "$man_file" | grep "^\.TH .*\"quilso $version\"" >/dev/null || fail "$page.1 does not carry version $version"
done
# Every command the help lists is documented in the manual page.
commands=$("$usr/bin/quilso-cli" --help | sed -n 's/^  quilso-cli \([a-z][a-z-]*\).*/\1/p' | sort -u)
[ -n "$commands" ] || fail "quilso-cli --help lists no command"
for command in $commands; do
  zcat "$usr/share/man/man1/quilso-cli.1.gz" | grep "^\\\\fB$command\\\\fP" >/dev/null ||
    fail "quilso-cli.1 does not document the command $command"
done

echo "== lintian"
# The package is clean today; a new warning is a fault to fix or to override with a reason.
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || fail "lintian reports errors or warnings"
grep -v "^running with root privileges" "$work/lintian.log" >&2 || true

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package $deb installs and checks out"
