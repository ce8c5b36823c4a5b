#!/usr/bin/env bash
# check-deps.sh [BUILD_DIR...]
# Proves that everything the build and the built programs use comes from
# scripts/packages.txt: every system header the compiler read (ninja's
# dependency log) and every shared library the programs and libraries in
# bin/ load (ldd) must belong to a Debian package in the dependency closure
# of the listed packages. Prints each missing package with one file that
# needs it and exits 1. Default build folder: ./build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || set -- "${HARNWICK_BUILD_DIR:-$root/build}"
export LC_ALL=C

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- The files: system headers and loaded libraries, outside our trees ---
for build in "$@"; do
  build=$(cd "$build" && pwd)
  [ -f "$build/build.ninja" ] || { echo "check-deps: $build is not a build folder" >&2; exit 2; }
  ninja -C "$build" -t deps | sed -n 's/^    \(\/.*\)$/\1/p' >> "$tmp/files.raw"
  for f in "$build"/bin/*; do
    [ -f "$f" ] && [ -x "$f" -o "${f%.so*}" != "$f" ] || continue
    if ! out=$(ldd "$f" 2>/dev/null); then
      continue   # not a dynamic ELF file (scripts, data)
    fi
    if missing=$(grep 'not found' <<<"$out"); then
      echo "check-deps: $f needs a library that is not installed:" >&2
      echo "$missing" >&2
      exit 1
    fi
    sed -n 's/^.*=> \(\/[^ ]*\) (0x.*$/\1/p; s/^[[:space:]]*\(\/[^ ]*\) (0x.*$/\1/p' <<<"$out" >> "$tmp/files.raw"
  done
  echo "$build" >> "$tmp/ours"
done
echo "$root" >> "$tmp/ours"
sort -u "$tmp/files.raw" | grep -v -F -f <(sed 's|$|/|' "$tmp/ours") > "$tmp/files" || true

# A file may be registered under another spelling than the one used: with
# ".." folded, with symbolic links resolved, or with or without /usr in
# front (/lib is a link to /usr/lib). Every spelling is asked for at once.
while read -r f; do
  for p in "$(realpath -s -m "$f")" "$(realpath -m "$f")"; do
    case "$p" in
      /usr/*) alt=${p#/usr} ;;
      *) alt=/usr$p ;;
    esac
    printf '%s\t%s\n%s\t%s\n' "$p" "$f" "$alt" "$f"
  done
done < "$tmp/files" | sort -u > "$tmp/spellings"
cut -f1 "$tmp/spellings" | sort -u > "$tmp/queries"

# dpkg -S prints "pkg[:arch][, pkg...]: path"; diversions and misses are skipped.
{ xargs -d '\n' dpkg-query -S < "$tmp/queries" 2>/dev/null || true; } \
  | grep -v '^diversion by' \
  | sed -n 's/^\(.*\): \(\/.*\)$/\2\t\1/p' \
  | while IFS=$'\t' read -r path pkgs; do
      for pkg in ${pkgs//,/ }; do printf '%s\t%s\n' "$path" "${pkg%%:*}"; done
    done | sort -u > "$tmp/owners"

# original file -> owning packages
join -t $'\t' <(sort -t $'\t' -k1,1 "$tmp/spellings") <(sort -t $'\t' -k1,1 "$tmp/owners") \
  | cut -f2,3 | sort -u > "$tmp/file-packages"

# --- The closure of the listed packages ---
grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$root/scripts/packages.txt" | awk '{print $1}' > "$tmp/listed"
# Lines at the left margin are the packages reached; virtual ones come as
# <name> and are satisfied through the providers listed beneath them, which
# apt-cache also recurses into, as into every alternative of an "or".
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances $(cat "$tmp/listed") 2>/dev/null \
  | sed -n 's/^\([^[:space:]<][^[:space:]]*\)$/\1/p' | sed 's/:[a-z0-9]*$//' > "$tmp/closure.raw"
cat "$tmp/listed" >> "$tmp/closure.raw"
sort -u "$tmp/closure.raw" > "$tmp/closure"

# --- Verdict ---
status=0
cut -f1 "$tmp/file-packages" | sort -u > "$tmp/owned"
if unowned=$(comm -23 "$tmp/files" "$tmp/owned") && [ -n "$unowned" ]; then
  echo "check-deps: files used by the build that no Debian package owns:" >&2
  sed 's/^/  /' <<<"$unowned" | head -n 20 >&2
  status=1
fi
# A file owned by several packages needs only one of them in the closure.
satisfied=$(join -t $'\t' -1 2 -2 1 <(sort -t $'\t' -k2,2 "$tmp/file-packages") "$tmp/closure" \
  | cut -f2 | sort -u)
while IFS=$'\t' read -r file pkg; do
  grep -qxF "$file" <<<"$satisfied" && continue
  if [ ! -e "$tmp/reported.$pkg" ]; then
    echo "check-deps: package $pkg is not installed by scripts/packages.txt (needed by $file)" >&2
    : > "$tmp/reported.$pkg"
  fi
  status=1
done < <(sort -t $'\t' -k2,2 -k1,1 "$tmp/file-packages")

if [ "$status" -eq 0 ]; then
  echo "check-deps: $(wc -l < "$tmp/files") system files from $(cut -f2 "$tmp/file-packages" | sort -u | wc -l) packages, all in the closure of scripts/packages.txt"
fi
exit "$status"
