#!/usr/bin/env bash
# make check-reproducible: make release twice, from two clones of the commit
# in different folders, one after the other, the second with another time
# zone and umask; both must give the same SHA256SUMS. Every file that differs
# is shown by Debian's diffoscope (its report in build/reproducible/), and the
# check fails. KD7_RELEASE_WINDOWS=no passes through to both.
# usage: check-reproducible.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/lib.sh"
"$root/tools/install-deps.sh" --with-extras diffoscope-minimal
start_work
commit=$(git -C "$root" rev-parse HEAD)
reports=$root/build/reproducible
rm -rf "$reports" && mkdir -p "$reports"

first=$work/a/kd7load
second=$work/elsewhere/b/kd7load-$commit
for clone in "$first" "$second"; do
  git clone -q "$root" "$clone"
  git -C "$clone" checkout -q --detach "$commit"
done
make -C "$first" release
(umask 0002 && TZ=Asia/Shanghai make -C "$second" release)

a=$first/build/release
b=$second/build/release
differ=0
while read -r file; do
  differ=$((differ + 1))
  report=$reports/${file//\//_}.txt
  if [ -f "$a/$file" ] && [ -f "$b/$file" ]; then
    diffoscope --text "$report" "$a/$file" "$b/$file" >/dev/null || true
    echo "DIFFERS  $file: $report" && head -n 20 "$report" | sed 's/^/      /'
  else
    echo "DIFFERS  $file: made by one build only"
  fi
done < <(diff "$a/SHA256SUMS" "$b/SHA256SUMS" | sed -n 's/^[<>] [0-9a-f]*  //p' | sort -u)
echo "check-reproducible: $differ of $(wc -l <"$a/SHA256SUMS") files differ (commit ${commit:0:12})"
[ "$differ" -eq 0 ]
