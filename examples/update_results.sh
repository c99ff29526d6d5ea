#!/bin/sh
# Calculates every example project (examples/*.k4p) again with the built tervana-cli and
# kq4calc and stores the results in it, as a designer would with "calc". Run it after a change
# of the calculation module has changed results; test_calcctl_end_to_end checks that the
# stored results are the ones a calculation gives.
#
#   examples/update_results.sh [BUILD_DIR]     (default: build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
for program in tervana-cli kq4calc; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "$build/bin/$program fehlt: zuerst bauen (cmake --build $build --target $program)" >&2
        exit 2
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Each project's name, then the result line of its calculation ("β = … — …, t s"); the
# listing is dropped. A calculation without results stops the script and leaves its project
# as it was.
for project in "$here"/*.k4p; do
    printf '%s: ' "$(basename "$project")" >&2
    "$build/bin/tervana-cli" calc "$project" --workdir "$work" \
        --module "$build/bin/kq4calc" >/dev/null
done
