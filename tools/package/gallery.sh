#!/usr/bin/env bash
# The example gallery: runs every examples/*.trv headless, takes the picture
# of its main window, and writes the gallery page beside the pictures.
#
#   tools/package/gallery.sh [OUT]      (default: docs; ./package --gallery)
#
# Writes OUT/gallery/NAME.png and OUT/gallery.md. Needs the 64-bit build.
# Under ./test (Wine already up in the build's prefix) it uses that Wine;
# otherwise it starts its own as ./run does. tests/gallery_test.sh makes the
# gallery afresh into build/ and compares it with docs/.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(realpath -m "${1:-$root/docs}")
driver=$root/build/x64/tarvodrv.exe
[ -f "$driver" ] || { echo "gallery: missing $driver (build first)" >&2; exit 1; }

if [ "${WINEPREFIX:-}" != "$root/build/x64/wineprefix" ] || [ -z "${DISPLAY:-}" ]; then
  source "$root/tools/wine.sh"
  trap tarvo_wine_stop EXIT
  tarvo_wine_start || exit 1
fi

# What the runner does with each example before the picture is taken
# (into the array opts).
options_for() {
  opts=()
  case "$1" in
    menu) opts=(--steps "command 8; command 3") ;;  # Green, then Square
  esac
}

# The comment that opens a script, without its braces, as one paragraph.
description_of() {
  awk 'NR == 1 && !/^\{/ { exit } { print } /\}/ { exit }' "$1" |
    sed -e 's/^{ *//' -e 's/ *}$//' | tr '\r\n' '  ' | sed -e 's/  */ /g' -e 's/ $//'
}

mkdir -p "$out/gallery"
page=$out/gallery.md.tmp
{
  echo "# Example gallery"
  echo
  echo "Every script of \`examples/\` with the picture that the headless runner"
  echo "takes of its window (\`./run examples/NAME.trv --png NAME.png\`). The"
  echo "pictures are made by \`./package --gallery\`, and \`tests/gallery_test.sh\`"
  echo "checks that they still match what the scripts draw. The"
  echo "[reference](reference.md) describes every command they use."
} >"$page"
failed=0
for script in "$root"/examples/*.trv; do
  name=$(basename "$script" .trv)
  options_for "$name"
  log=$out/gallery/$name.log
  if ! wine "$driver" --run "$(winepath -w "$script" 2>/dev/null)" --png "$(winepath -w "$out/gallery/$name.png" 2>/dev/null)" \
       "${opts[@]}" >"$log" 2>&1 9>&- || [ ! -s "$out/gallery/$name.png" ]; then
    echo "gallery: $name failed:" >&2
    cat "$log" >&2
    failed=1
  fi
  rm -f "$log"
  [ -s "$out/gallery/$name.png" ] && python3 "$root/tools/package/pngtool.py" compress "$out/gallery/$name.png"
  {
    echo
    echo "## $name.trv"
    echo
    description_of "$script"
    if [ ${#opts[@]} -gt 0 ]; then
      echo
      echo "Taken with \`${opts[*]}\`."
    fi
    echo
    echo "![$name.trv](gallery/$name.png)"
    echo
    echo '```'
    tr -d '\r' <"$script"
    echo '```'
  } >>"$page"
done
mv "$page" "$out/gallery.md"
exit $failed
