#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR into a temporary folder and checks
# it as a new user would meet it:
#   - lintian reports no error;
#   - the README's dependency list (the line after "Depends:" in
#     "Installing") names exactly the packages of the package's Depends,
#     apart from the C and C++ runtime every program needs;
#   - LANG=C man shows an English NAME line for both programs, and the
#     English kalvor-calc page describes every option of --help;
#   - the Python module, where the package has one, imports from where the
#     package puts it and solves the sphere it is given.
# Usage: scripts/check_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/kalvor_*.deb)
status=0

echo "lintian $(basename "$deb")"
lintian --fail-on error "$deb" || status=1

depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*)//; s/|.*//; s/ //g' |
          grep -v -x -e libc6 -e libgcc-s1 -e libstdc++6 -e '' | sort -u)
listed=$(sed -n '/^## Installing/,/^## /p' "$source/README.md" | sed -n '/^Depends:/,/^$/p' |
         grep -o '`[^`]*`' | tr -d '`' | sort -u)
if [ "$depends" != "$listed" ]; then
  echo "README.md (Installing, Depends:) and the package disagree:"
  diff <(echo "$listed") <(echo "$depends") | sed 's/^</  README only: /; s/^>/  package only:/' | grep only || true
  status=1
fi

# The hand-written English page describes every option of --help.
for opt in $("$build/cli/kalvor-calc" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -qF -- "${opt//-/\\-}" "$source/man/kalvor-calc.1" || { echo "man/kalvor-calc.1 does not describe $opt"; status=1; }
done

dpkg-deb -x "$deb" "$out/root"
for page in kalvor kalvor-calc; do
  file="$out/root/usr/share/man/man1/$page.1.gz"
  name=$(LANG=C MANWIDTH=80 man -l "$file" 2>/dev/null | sed -n '/^NAME/{n;p;q}')
  if ! printf '%s' "$name" | grep -Eq "^ *$page +- +[A-Za-z]"; then
    echo "$page.1: no English NAME line (got \"$name\")"
    status=1
  fi
  [ -f "$out/root/usr/share/man/ru/man1/$page.1.gz" ] || { echo "no Russian page for $page"; status=1; }
done

module=$(find "$out/root" -name '_kalvor*.so' -print -quit)
if [ -n "$module" ]; then
  site=$(dirname "$(dirname "$module")")
  if ! PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 - <<'PY'
import math, kalvor
s = kalvor.System()
s.add_arc(0.0, 0.0, 5.0, 90.0, -90.0, potential=100.0, count=20, ld=3.0)
e = kalvor.solve(s).field_at(0.0, 12.0)["e_kv_per_cm"]
assert abs(e / (100.0 * 5 / 144) - 1) < 1e-3, e
PY
  then
    echo "the packaged Python module does not import or solve"
    status=1
  fi
fi
exit $status
