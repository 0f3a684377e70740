#!/usr/bin/env bash
# Release packaging; source this file.
#   tarvo_version                  prints the four-part version (4.0.0.0), read
#                                  from the runtime's version block
#   tarvo_product                  prints the product name (Tarvo 4.0)
#   tarvo_stage WORK               stages the release tree WORK/Tarvo-VERSION from
#                                  build/x64 and build/x86 (both built), and the
#                                  installer's file lists in WORK/nsis
#   tarvo_zip WORK OUT.zip         zips the staged tree
#   tarvo_installer WORK OUT.exe [x86-unicode|amd64-unicode] [MAKENSIS OPTIONS]
#                                  makes the installer from the staged tree
# The hook library Tarvomsg.dll goes in when a build folder holds it.

TARVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

tarvo_version() {
  local line
  line=$(grep -E '^#define[[:space:]]+TARVO_VERSION_NUM[[:space:]]' "$TARVO_ROOT/resources/resource_ids.h") || {
    echo "package: no TARVO_VERSION_NUM in resources/resource_ids.h" >&2
    return 1
  }
  line=${line#*TARVO_VERSION_NUM}
  line=$(echo "$line" | tr -d ' \t' | tr ',' '.')
  [[ "$line" =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || {
    echo "package: cannot read the version '$line'" >&2
    return 1
  }
  echo "$line"
}

tarvo_product() {
  local v
  v=$(tarvo_version) || return 1
  echo "Tarvo ${v%.*.*}"
}

# tarvo_hooklib ARCH: the path of Tarvomsg.dll in build/ARCH, if it was built.
tarvo_hooklib() {
  find "$TARVO_ROOT/build/$1" \( -name wineprefix -o -name '*_test' -o -name cases \) -prune -o \
    -iname Tarvomsg.dll -type f -print 2>/dev/null | head -n1
}

# Text files for Windows readers: CR LF line ends.
tarvo_crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }

tarvo_stage() {
  local work=$1 version product tree arch f rel
  version=$(tarvo_version) || return 1
  product=$(tarvo_product) || return 1
  tree=$work/Tarvo-$version
  rm -rf "$tree" "$work/nsis"
  mkdir -p "$tree" "$work/nsis" || return 1

  for arch in x64 x86; do
    mkdir -p "$tree/$arch"
    for f in "$TARVO_ROOT/build/$arch/Tarvopro.exe" "$TARVO_ROOT/build/$arch/tools/binder/tarvobind.exe"; do
      [ -f "$f" ] || { echo "package: missing $f (build both architectures first)" >&2; return 1; }
      cp "$f" "$tree/$arch/" || return 1
    done
    f=$(tarvo_hooklib "$arch")
    [ -n "$f" ] && cp "$f" "$tree/$arch/Tarvomsg.dll"
    # The author's tools, when this build made them.
    for f in tarvocheck.exe tarvo-lsp.exe tarvo-dap.exe; do
      [ -f "$TARVO_ROOT/build/$arch/$f" ] && cp "$TARVO_ROOT/build/$arch/$f" "$tree/$arch/"
    done
  done

  mkdir -p "$tree/examples" "$tree/docs/gallery"
  for f in "$TARVO_ROOT"/examples/*; do
    case "$f" in *.png) continue ;; esac
    [ -f "$f" ] && cp "$f" "$tree/examples/"
  done
  for f in "$TARVO_ROOT"/docs/*.md; do
    [ -f "$f" ] && cp "$f" "$tree/docs/"
  done
  for f in "$TARVO_ROOT"/docs/gallery/*.png; do
    [ -f "$f" ] && cp "$f" "$tree/docs/gallery/"
  done
  sed -e "s/@PRODUCT@/$product/g" -e "s/@VERSION@/$version/g" \
    "$TARVO_ROOT/tools/package/README.txt" >"$work/readme.tmp"
  tarvo_crlf "$work/readme.tmp" "$tree/README.txt"
  rm -f "$work/readme.tmp"
  tarvo_crlf "$TARVO_ROOT/LICENSE" "$tree/LICENSE.txt"

  # The installer's file lists. The architecture's files go to the install
  # folder itself; the others keep their place in the tree.
  local nsis=$work/nsis
  for arch in x64 x86; do
    : >"$nsis/install-$arch.nsh"
    for f in "$tree/$arch"/*; do
      echo "File \"$f\"" >>"$nsis/install-$arch.nsh"
    done
  done
  : >"$nsis/install-common.nsh"
  : >"$nsis/uninstall.nsh"
  local dir
  while IFS= read -r dir; do
    rel=${dir#"$tree"}
    rel=${rel#/}
    case "$rel" in x64 | x86 | x64/* | x86/*) continue ;; esac
    echo "SetOutPath \"\$INSTDIR${rel:+\\${rel//\//\\}}\"" >>"$nsis/install-common.nsh"
    for f in "$dir"/*; do
      [ -f "$f" ] || continue
      echo "File \"$f\"" >>"$nsis/install-common.nsh"
      rel=${f#"$tree"/}
      echo "Delete \"\$INSTDIR\\${rel//\//\\}\"" >>"$nsis/uninstall.nsh"
    done
  done < <(find "$tree" -type d | sort)
  echo 'SetOutPath "$INSTDIR"' >>"$nsis/install-common.nsh"
  for f in $( (ls "$tree/x64"; ls "$tree/x86") | sort -u); do
    echo "Delete \"\$INSTDIR\\$f\"" >>"$nsis/uninstall.nsh"
  done
  # Folders, deepest first; RMDir leaves a folder that still holds files the
  # user put there.
  while IFS= read -r dir; do
    rel=${dir#"$tree"/}
    case "$rel" in x64 | x86 | x64/* | x86/*) continue ;; esac
    echo "RMDir \"\$INSTDIR\\${rel//\//\\}\"" >>"$nsis/uninstall.nsh"
  done < <(find "$tree" -mindepth 1 -type d | sort -r)
}

tarvo_zip() {
  local work=$1 out version
  out=$(realpath -m "$2")
  version=$(tarvo_version) || return 1
  rm -f "$out"
  (cd "$work" && zip -q -r -X "$out" "Tarvo-$version")
}

tarvo_installer() {
  local work=$1 out target=${3:-x86-unicode} version product
  out=$(realpath -m "$2")
  shift $(($# < 3 ? $# : 3))
  version=$(tarvo_version) || return 1
  product=$(tarvo_product) || return 1
  rm -f "$out"
  makensis -V2 -NOCD -DVERSION="$version" -DPRODUCT="$product" -DNSH="$work/nsis" \
    -DOUTFILE="$out" -DTARGET="$target" "$@" "$TARVO_ROOT/tools/package/tarvo.nsi"
}
