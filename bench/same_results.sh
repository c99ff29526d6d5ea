#!/usr/bin/env bash
# Whether two builds of kq4calc write the same result files: every example and bench case is run
# by both in folders of their own, and all files they write (coefficients, value tables, varied
# records, listing, violation report, result code) are compared byte for byte, apart from the
# elapsed times (the last value of each coefficient file, the "Prozesszeit" and progress lines
# of the listing). For a change that must leave the results alone, with the build of the commit
# before it as the reference:
#   mkdir /tmp/ref && git archive <commit> | tar -x -C /tmp/ref
#   cmake -S /tmp/ref -B /tmp/ref/build -G Ninja -DTERVANA_GUI=OFF -DTERVANA_BUILD_TESTS=OFF
#   cmake --build /tmp/ref/build --target kq4calc
#   bench/same_results.sh /tmp/ref/build/bin/kq4calc [build/bin/kq4calc] [FILE ...]
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
ref=$(readlink -f "$1")
new=$(readlink -f "${2:-build/bin/kq4calc}")
shift $(($# > 1 ? 2 : 1))
files=("$@")
[ ${#files[@]} -gt 0 ] || files=(examples/*.kq4 examples/*.k4p bench/*.kq4)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
differ=0
for f in "${files[@]}"; do
    name=$(basename "$f")
    for side in ref new; do
        mkdir -p "$work/$side/$name"
        cp "$f" "$work/$side/$name/x.${f##*.}"
        bin=$ref
        [ $side = new ] && bin=$new
        (cd "$work/$side/$name" && "$bin" "x.${f##*.}" 0 >/dev/null 2>&1)
        for g in "$work/$side/$name"/x.fk*; do [ -f "$g" ] && sed -i '$ s/\t.*$//' "$g"; done
        sed -i 's/Prozesszeit:.*//; s/^ *[0-9.]* s  //' "$work/$side/$name/x.lst"
    done
    if diff -r "$work/ref/$name" "$work/new/$name" >/dev/null; then
        echo "same     $name"
    else
        echo "DIFFERS  $name"
        differ=1
    fi
done
exit $differ
