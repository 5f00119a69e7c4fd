#!/usr/bin/env bash
# `cmake --install` puts both programs, the menu entry and the icon where a desktop finds
# them, and the manual pages, copyright, changelog and metainfo where Debian keeps them.
#
# usage: install.sh BUILD_DIR
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
for file in bin/orven bin/orven-cli share/applications/orven.desktop \
  share/icons/hicolor/scalable/apps/orven.svg share/man/man1/orven.1.gz \
  share/man/man1/orven-cli.1.gz share/metainfo/example.orven.orven.metainfo.xml \
  share/doc/orven/copyright share/doc/orven/changelog.gz; do
  [ -e "$prefix/$file" ] || { echo "FAIL: $file was not installed"; exit 1; }
done
[ -x "$prefix/bin/orven" ] && [ -x "$prefix/bin/orven-cli" ] || { echo "FAIL: not executable"; exit 1; }
entry="$prefix/share/applications/orven.desktop"
for line in '[Desktop Entry]' 'Type=Application' 'Exec=orven %F' 'Icon=orven' 'Categories=Development;'; do
  grep -qxF "$line" "$entry" || { echo "FAIL: the menu entry lacks $line"; exit 1; }
done
# "Open with" offers orven for the sources the walk reads.
for type in application/x-php text/html application/xhtml+xml application/javascript \
  text/x-csrc text/x-chdr text/x-c++src text/x-c++hdr text/plain; do
  sed -n 's/^MimeType=//p' "$entry" | tr ';' '\n' | grep -qxF "$type" || { echo "FAIL: the menu entry lacks $type"; exit 1; }
done
desktop-file-validate "$entry" || { echo "FAIL: desktop-file-validate"; exit 1; }
"$prefix/bin/orven-cli" --version >/dev/null
echo "install: ok"
