#!/usr/bin/env bash
# The Debian package made from this build tree: its file list and dependencies, the desktop
# files' validity, and the unpacked programs answering and reading the sample game.
#   package_test.sh BUILD_DIR SOURCE_DIR   (VELL_SAMPLE_GAME: the sample game folder)
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/vell-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: want one .deb, got: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}

# The files, exactly.
app_id=org.vell.VellModelBrowser
expected=(
    ./usr/bin/VellModelBrowser
    ./usr/bin/vell
    ./usr/lib/vellmodelbrowser/modules/vell_media_ffmpeg.so
    ./usr/share/applications/$app_id.desktop
    ./usr/share/bash-completion/completions/vell
    ./usr/share/doc/vellmodelbrowser/changelog.gz
    ./usr/share/doc/vellmodelbrowser/copyright
    ./usr/share/man/man1/VellModelBrowser.1.gz
    ./usr/share/man/man1/vell.1.gz
    ./usr/share/metainfo/$app_id.metainfo.xml
    ./usr/share/vellmodelbrowser/blender/vell_game.zip
)
for file in __init__.py operators.py stepped.py gltf_io.py vell_cli.py fbx_convert.py; do
    expected+=("./usr/share/vellmodelbrowser/blender/vell_game/$file")
done
for size in 16 22 24 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
want=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$want" ] || fail "file list differs:
$(diff <(echo "$want") <(echo "$actual"))"

# Debian's checks: no error or warning (informational notes aside), hardening included.
if command -v lintian >/dev/null; then
    # -I shows the notes too: the hardening ones are among them.
    lintian -I --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
        fail "lintian: $(grep -E '^[EW]:' "$work/lintian.log" || cat "$work/lintian.log")"
    hardening=$(grep -E 'hardening' "$work/lintian.log" || true)
    [ -z "$hardening" ] || fail "lintian on hardening: $hardening"
else
    fail "lintian is missing: scripts/setup installs it"
fi

# Dependencies: the libraries found by dpkg-shlibdeps and what is loaded at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libqt6widgets6 libqt6openglwidgets6 libdeflate0 libfontconfig1 \
    libwebp7 libwebpmux3 libavcodec59 libavformat59 libavfilter8 libswscale6 \
    fonts-wqy-microhei fonts-dejavu-core qt6-translations-l10n qt6-qpa-plugins libegl-mesa0; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] ||
        fail "Depends lacks $package: $depends"
done

# Blender only suggested: vell and the viewer work without it, vell fbx and the add-on need it.
[[ $(dpkg-deb -f "$deb" Suggests) == *blender* ]] || fail "Suggests lacks blender"

root=$work/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin
share=$root/usr/share

# The unpacked programs run from there (no build paths left in them) and answer without a
# display.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/vell" --version) || fail "vell --version failed"
[[ $version =~ ^vell\ ([0-9.]+)\ \(commit\ [0-9a-f]+ ]] || fail "vell --version: $version"
number=${BASH_REMATCH[1]-}
viewer=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$bin/VellModelBrowser" --version) ||
    fail "VellModelBrowser --version failed"
[[ $viewer == "VellModelBrowser $number (commit "* ]] || fail "VellModelBrowser --version: $viewer"
[ "$(dpkg-deb -f "$deb" Version)" = "$number" ] || fail "package version is not $number"
listing=$("$bin/vell" list "$VELL_SAMPLE_GAME") || fail "vell list failed"
[[ $listing == *$'\t\\chars\\hero\\hero.skn\n'* && $listing =~ [0-9]+\ entries\ in\ 5\ archives$ ]] ||
    fail "vell list: $(tail -n 1 <<<"$listing")"

# GIF and video come from the FFmpeg module, found below the program's own prefix.
"$bin/vell" render "$VELL_SAMPLE_GAME" '\chars\hero\hero.skn' --size 32x32 --turntable 1 \
    -o "$work/turn.gif" >/dev/null || fail "vell render to GIF failed"
[ -s "$work/turn.gif" ] || fail "vell render wrote no GIF"

# The add-on's zip holds the installed add-on, folder and all, as Blender's Install button
# takes it.
addon=$share/vellmodelbrowser/blender
(cd "$work" && mkdir zip && cd zip && unzip -q "$addon/vell_game.zip") || fail "unzip vell_game.zip"
diff -r "$work/zip/vell_game" "$addon/vell_game" >/dev/null || fail "vell_game.zip differs from vell_game/"

# What the desktop reads.
desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
grep -q "<release version=\"$number\"" "$share/metainfo/$app_id.metainfo.xml" ||
    fail "the metainfo's release is not $number"
# The changelog's newest entry is this version, signed by the package's maintainer; the
# metainfo names the package's homepage and shows the README's screenshots.
changelog=$(zcat "$share/doc/vellmodelbrowser/changelog.gz")
head -n 1 <<<"$changelog" | grep -qF "vellmodelbrowser ($number) " ||
    fail "the changelog's newest entry is not $number"
grep -qF " -- $(dpkg-deb -f "$deb" Maintainer)  " <<<"$changelog" ||
    fail "the changelog is not signed by $(dpkg-deb -f "$deb" Maintainer)"
homepage=$(dpkg-deb -f "$deb" Homepage)
grep -qF "<url type=\"homepage\">$homepage</url>" "$share/metainfo/$app_id.metainfo.xml" ||
    fail "the metainfo's homepage is not $homepage"
for shot in $(grep -oE 'docs/screenshot-[a-z]+\.png' "$source/README.md" | sort -u); do
    grep -qF ">$homepage$shot</image>" "$share/metainfo/$app_id.metainfo.xml" ||
        fail "the metainfo lacks the screenshot $shot"
done
for size in 16 22 24 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/$app_id.png
    # The PNG header's width and height, big-endian at bytes 16 and 20.
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [ "$width x $height" = "$size x $size" ] || fail "icon $size is $width x $height"
done

# The copyright file repeats the licence, line by line.
while IFS= read -r line; do
    [ -z "$line" ] && line=.
    grep -qxF " $line" "$share/doc/vellmodelbrowser/copyright" || fail "copyright lacks: $line"
done < <(sed '1d' "$source/LICENSE")

# The man pages: troff finds nothing to warn about, and vell's lists every command and
# every option of the usage.
for page in vell VellModelBrowser; do
    zcat "$share/man/man1/$page.1.gz" | groff -K utf8 -man -Tutf8 -ww -z 2>"$work/groff.log" ||
        true
    [ ! -s "$work/groff.log" ] || fail "$page.1: $(cat "$work/groff.log")"
    zcat "$share/man/man1/$page.1.gz" | grep -q "^\.TH .*\"VellModelBrowser $number\"" ||
        fail "$page.1 is not of version $number"
done
manual=$(zcat "$share/man/man1/vell.1.gz" | groff -K utf8 -man -Tutf8 -P -cbou 2>/dev/null)
usage=$("$bin/vell" --help)
for command in $(awk '$1 == "vell" && $2 !~ /^-/ { print $2 }' <<<"$usage" | sort -u); do
    grep -qE "^ {7}$command( |$)" <<<"$manual" || fail "vell.1 has no entry for $command"
    for option in $("$bin/vell" help "$command" | grep -oE -- '(^|[ [(])--?[a-z][a-z-]*' |
        sed 's/^[ [(]//' | sort -u); do
        grep -qE "^ {7}$option( |$)" <<<"$manual" || fail "vell.1 has no entry for $option"
    done
done

[ "$failures" -eq 0 ]
