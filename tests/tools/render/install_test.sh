#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what lands there, that the
# desktop entry and the AppStream metadata validate, and that the Debian
# package names the runtime packages it needs.
set -euo pipefail
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
expected=(
  bin/vantrelo-render
  share/applications/vantrelo.desktop
  share/metainfo/example.morvidane.Vantrelo.metainfo.xml
  share/icons/hicolor/16x16/apps/vantrelo.png
  share/icons/hicolor/24x24/apps/vantrelo.png
  share/icons/hicolor/32x32/apps/vantrelo.png
  share/icons/hicolor/48x48/apps/vantrelo.png
  share/icons/hicolor/scalable/apps/vantrelo.svg
  share/man/man1/vantrelo-render.1
)
if grep -q '^VANTRELO_GUI:BOOL=ON' "$build/CMakeCache.txt"; then expected+=(bin/vantrelo); fi
status=0
for f in "${expected[@]}"; do
  if [ ! -e "$prefix/$f" ]; then echo "not installed: $f"; status=1; fi
done
"$prefix/bin/vantrelo-render" --version | grep -q '1.0.0.0' || { echo "installed renderer does not run"; status=1; }
desktop-file-validate "$prefix/share/applications/vantrelo.desktop" || status=1
grep -q '^Name\[zh_CN\]=' "$prefix/share/applications/vantrelo.desktop" || { echo "no Chinese name"; status=1; }
grep -q '^Categories=Graphics;' "$prefix/share/applications/vantrelo.desktop" || { echo "not in Graphics"; status=1; }
grep -q "^X-Vantrelo-Version=1.0.0.0$" "$prefix/share/applications/vantrelo.desktop" || { echo "no version in the desktop entry"; status=1; }
appstreamcli validate --no-net "$prefix/share/metainfo/example.morvidane.Vantrelo.metainfo.xml" >/dev/null || status=1
grep -q 'version="1.0.0.0"' "$prefix/share/metainfo/example.morvidane.Vantrelo.metainfo.xml" || status=1

# The package: built from the same tree into the scratch folder.
( cd "$prefix" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$prefix/pkg" >/dev/null )
deb=$(ls "$prefix"/pkg/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libjpeg62-turbo libgif7 libpng16-16 libfreetype6 libfontconfig1 xfonts-wqy fonts-wqy-microhei; do
  case ", $depends," in *", $p,"*) ;; *) echo "package does not depend on $p: $depends"; status=1 ;; esac
done
listing=$(dpkg-deb -c "$deb")
grep -q './usr/bin/vantrelo-render' <<<"$listing" || { echo "package lacks the renderer"; status=1; }
exit $status
