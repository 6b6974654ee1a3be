#!/usr/bin/env bash
# Installs the build into a fresh temporary prefix and runs the installed
# programs with an empty environment: no loader path, no display. They must
# find their library through their own run path, which may not point back
# into the build tree.
# Usage: install-test.sh CMAKE BUILD-DIR BINDIR VERSION
set -euo pipefail
cmake="$1" build="$2" bindir="$3" version="$4"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/fonavid-install.XXXXXX")"
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" > /dev/null

fail() { echo "FAILED: $*" >&2; exit 1; }
for program in fonavid-render fonavid; do
    out="$(env -i "$prefix/$bindir/$program" --version)" || fail "$program --version exited $?"
    [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
    runpath="$(readelf -d "$prefix/$bindir/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')"
    case "$runpath" in
        '$ORIGIN/'*) ;;
        *) fail "$program has the run path '$runpath', not one relative to the program" ;;
    esac
    case "$runpath" in *"$build"*) fail "$program's run path '$runpath' points into the build tree" ;; esac
done
for file in share/applications/fonavid.desktop share/metainfo/fonavid.metainfo.xml \
            share/icons/hicolor/scalable/apps/fonavid.svg share/man/man1/fonavid.1; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
echo "installed into $prefix and ran with an empty environment"
