#!/usr/bin/env bash
# Checks a built quorvane .deb: its control fields and Depends, that it holds
# exactly the expected files (no test or benchmark program slips in), that
# the programs are stripped and start from the extracted tree, and that the
# desktop file and AppStream metadata validate (when the validators exist).
#   tools/package/check.sh build-package/quorvane_VERSION_ARCH.deb
set -euo pipefail

deb=${1:?usage: check.sh PACKAGE.deb}
id=org.quorvane.Quorvane
fail() { echo "package check: $*" >&2; exit 1; }

dpkg-deb -I "$deb"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# dpkg-shlibdeps ran: the libraries the programs link are there.
# libqt6sql6-sqlite: the plugin of the default ledger, loaded at run time.
for lib in libc6 libqt6core6 libqt6widgets6 libcurl4 libqt6sql6-sqlite; do
    grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib"
done

expected="./usr/bin/quorvane
./usr/bin/quorvane-sim
./usr/share/applications/$id.desktop
./usr/share/doc/quorvane/copyright
./usr/share/icons/hicolor/128x128/apps/$id.png
./usr/share/icons/hicolor/16x16/apps/$id.png
./usr/share/icons/hicolor/256x256/apps/$id.png
./usr/share/icons/hicolor/32x32/apps/$id.png
./usr/share/icons/hicolor/48x48/apps/$id.png
./usr/share/icons/hicolor/64x64/apps/$id.png
./usr/share/icons/hicolor/scalable/apps/$id.svg
./usr/share/man/man1/quorvane-sim.1.gz
./usr/share/man/man1/quorvane.1.gz
./usr/share/metainfo/$id.metainfo.xml
./usr/share/quorvane/web_template.html"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)
if [ "$files" != "$(LC_ALL=C sort <<<"$expected")" ]; then
    diff <(LC_ALL=C sort <<<"$expected") <(echo "$files") >&2 || true
    fail "the files differ from the expected list (< expected, > in the package)"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for program in quorvane quorvane-sim; do
    ! readelf -S "$root/usr/bin/$program" | grep -q '\.debug_info' || fail "$program is not stripped"
done
for page in quorvane quorvane-sim; do
    gzip -t "$root/usr/share/man/man1/$page.1.gz" || fail "$page.1.gz is not a valid gzip file"
done
said=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quorvane" --version) || fail "quorvane --version failed"
[ "$said" = "Quorvane $version" ] || fail "quorvane --version says '$said', the package is $version"
"$root/usr/bin/quorvane-sim" --help >/dev/null || fail "quorvane-sim --help failed"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "the desktop file does not validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" \
        || fail "the AppStream metadata does not validate"
fi
echo "package check: $deb ($version) is complete"
