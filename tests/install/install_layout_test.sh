#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets: the files, the
# metadata, programs that run from the prefix, and manual pages and completions that know every
# option.   install_layout_test.sh BUILD_DIR VERSION APP_ID WITH_WINDOW(ON|OFF)
set -uo pipefail

build_dir=$1 version=$2 app_id=$3 with_window=$4
work=$(mktemp -d)
# cmake --install rewrites install_manifest.txt: keep the one of the user's own install.
manifest=$build_dir/install_manifest.txt
[ -f "$manifest" ] && cp -p "$manifest" "$work/manifest"
restore() {
  if [ -f "$work/manifest" ]; then cp -p "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }

# Every expected file, and nothing else.
expected=(
  bin/velmora-cli
  share/man/man1/velmora-cli.1.gz
  share/bash-completion/completions/velmora-cli
  share/zsh/vendor-completions/_velmora-cli
  share/fish/vendor_completions.d/velmora-cli.fish
  share/doc/velmora/copyright
  share/doc/velmora/changelog.gz
)
icon_sizes=(48 64 128 256)
if [ "$with_window" = ON ]; then
  expected+=(bin/velmora share/man/man1/velmora.1.gz "share/applications/$app_id.desktop"
    "share/metainfo/$app_id.metainfo.xml" "share/icons/hicolor/scalable/apps/$app_id.svg")
  for size in "${icon_sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png"); done
fi
(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/installed"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
if ! diff -u "$work/expected" "$work/installed" >"$work/layout.diff"; then
  fail "installed files differ from the expected layout (- missing, + unexpected):"
  sed -n '3,$p' "$work/layout.diff" | grep '^[-+]' >&2
fi
find "$prefix" -type d ! -perm 755 -printf 'FAIL: folder not 755: %p\n' | grep . >&2 && failures=$((failures + 1))

for size in "${icon_sizes[@]}"; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  [ -f "$png" ] || continue
  file -b "$png" | grep -q "^PNG image data, $size x $size," || fail "$png is not a ${size}x$size PNG: $(file -b "$png")"
done

# Metadata: valid, and one id and one version throughout.
desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
if [ -f "$desktop" ]; then
  desktop-file-validate "$desktop" >&2 || fail "desktop-file-validate rejects $desktop"
  grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry's Icon is not $app_id"
  grep -qx 'Exec=velmora %f' "$desktop" || fail "the desktop entry does not start velmora"
  for key in Name Comment "Name\[zh_CN\]" "Comment\[zh_CN\]"; do
    grep -q "^$key=." "$desktop" || fail "the desktop entry has no $key"
  done
fi
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "appstreamcli rejects $metainfo"; }
  grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo id is not $app_id"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"
  first_release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1)
  [ "$first_release" = "<release version=\"$version\"" ] ||
    fail "the newest metainfo release is $first_release, not $version"
fi
changelog="$prefix/share/doc/velmora/changelog.gz"
[ -f "$changelog" ] && { gzip -dc "$changelog" | head -n1 | grep -q "^velmora ($version) " ||
  fail "the changelog's first entry is not version $version"; }

# Programs: no path into the build tree, and they run from the prefix.
for program in "$prefix"/bin/*; do
  readelf -d "$program" | grep -E 'RPATH|RUNPATH' >"$work/rpath" && fail "$program carries a library path: $(cat "$work/rpath")"
  printed=$("$program" --version)
  [ "$printed" = "${program##*/} $version" ] || fail "${program##*/} --version prints '$printed'"
done
cli="$prefix/bin/velmora-cli"

if [ "$with_window" = ON ]; then # its QML and icons are inside the program
  mkdir -m 700 "$work/runtime"
  mkdir -p "$work/location/Trip.fcpbundle/Day 1/Render Files"
  XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$prefix/bin/velmora" --screenshot-when-loaded \
    "$work/window.png" "$work/location" >"$work/app.log" 2>&1 ||
    { cat "$work/app.log" >&2; fail "the installed velmora did not list the location's library"; }
fi

# Manual pages and completions know every option of --help.
long_options() { "$@" --help | grep -E '^\s+-' | grep -oE -- '--[a-z][a-z-]*' | sort -u; }
subcommands=$("$cli" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && /^  [a-z]/ {print $1}')
[ -n "$subcommands" ] || fail "velmora-cli --help lists no commands"

manual() { gzip -dc "$prefix/share/man/man1/$1.1.gz" | sed 's/\\//g'; }
documents() { grep -E '^fB-' <<<"$1" | grep -qF -- "fB$2fR"; }
cli_manual=$(manual velmora-cli)
bash_completion="$prefix/share/bash-completion/completions/velmora-cli"
[ -f /usr/share/bash-completion/bash_completion ] || fail "bash-completion is not installed (scripts/setup.sh)"
# What bash offers after `velmora-cli WORDS... <Tab>`.
complete_cli() {
  bash -c 'source /usr/share/bash-completion/bash_completion
           source "$1"; shift
           COMP_WORDS=(velmora-cli "$@"); COMP_CWORD=$(($# ))
           COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
           _velmora_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_completion" "$@"
}
top_offers=$(complete_cli "")
for command in $subcommands; do
  grep -qx "$command" <<<"$top_offers" || fail "bash completion does not offer the command $command"
  grep -q "^fB${command}fR" <<<"$cli_manual" || fail "velmora-cli(1) does not describe the command $command"
  offers=$(complete_cli "$command" "--")
  for option in $(long_options "$cli" "$command"); do
    grep -qx -- "$option" <<<"$offers" || fail "bash completion does not offer $option after '$command'"
    documents "$cli_manual" "$option" || fail "velmora-cli(1) does not document $option"
    grep -qF -e "'$option[" -e "'$option=[" -e "{-h,$option}" "$prefix/share/zsh/vendor-completions/_velmora-cli" ||
      fail "zsh completion does not know $option"
    grep -q -- "-l ${option#--}" "$prefix/share/fish/vendor_completions.d/velmora-cli.fish" ||
      fail "fish completion does not know $option"
  done
done
grep -qx -- "--version" <<<"$top_offers" || fail "bash completion does not offer --version"
categories=$(complete_cli clean --category "")
[ "$(sort <<<"$categories" | tr '\n' ' ')" = "all analysis optimized proxy render " ] ||
  fail "bash completion offers '$categories' as categories"
if [ "$with_window" = ON ]; then
  app_manual=$(manual velmora)
  for option in $(long_options "$prefix/bin/velmora"); do
    documents "$app_manual" "$option" || fail "velmora(1) does not document $option"
  done
fi
for shell_check in "zsh -n $prefix/share/zsh/vendor-completions/_velmora-cli" \
  "fish --no-execute $prefix/share/fish/vendor_completions.d/velmora-cli.fish"; do
  shell=${shell_check%% *}
  if command -v "$shell" >/dev/null; then
    $shell_check 2>&1 | grep . >&2 && fail "$shell finds errors in its completion"
  else
    echo "SKIPPED: the syntax of the $shell completion ($shell is not installed)"
  fi
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "Installed layout, metadata, programs, manual pages and completions are as expected."
