#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user meets it: lintian finds no error,
# `apt-get install ./build/velmora_*.deb` installs it with its dependencies, both programs run
# from /usr (the window from its menu entry's command line, on a virtual display), and
# `apt-get remove velmora` leaves none of its files behind.
#
# Changes the system, so it runs as root and only when velmora is not installed already. It
# cleans up after itself: the package is removed, and so is every package that apt installed
# for it that was not there before.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "check_package: installs into the system; run it as root" >&2
  exit 1
fi
if dpkg-query -W -f='${db:Status-Abbrev}' velmora 2>/dev/null | grep -q '^ii'; then
  echo "check_package: velmora is installed already; remove it first" >&2
  exit 1
fi
for tool in lintian xvfb-run xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "check_package: $tool is missing; run VELMORA_TEST_PACKAGE=1 scripts/setup.sh" >&2; exit 1; }
done

deb=$(scripts/package.sh | tee /dev/stderr | tail -n1)
version=$(dpkg-deb -f "$deb" Version)
app_id=$(dpkg-deb -c "$deb" | sed -n 's|.*/usr/share/applications/\(.*\)\.desktop$|\1|p')
echo "== $deb: version $version, application id $app_id"
echo "== Depends: $(dpkg-deb -f "$deb" Depends)"

echo "== lintian"
lintian --fail-on error --display-info "$deb"

work=$(mktemp -d)
dpkg-query -W -f='${Package}\n' | sort >"$work/before"
cleanup() {
  set +e
  if dpkg-query -W -f='${db:Status-Abbrev}' velmora 2>/dev/null | grep -q '^ii'; then
    apt-get remove -y -qq velmora >/dev/null
  fi
  dpkg-query -W -f='${Package}\n' | sort >"$work/after"
  pulled=$(comm -13 "$work/before" "$work/after")
  if [ -n "$pulled" ]; then
    echo "== removing what the install pulled in: $(echo $pulled)"
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $pulled >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== apt-get install ./$deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "./$deb"
dpkg -L velmora >"$work/files"
echo "== dpkg -L velmora"
cat "$work/files"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for path in /usr/bin/velmora /usr/bin/velmora-cli "/usr/share/applications/$app_id.desktop" \
  "/usr/share/metainfo/$app_id.metainfo.xml" "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  /usr/share/man/man1/velmora.1.gz /usr/share/man/man1/velmora-cli.1.gz \
  /usr/share/bash-completion/completions/velmora-cli /usr/share/doc/velmora/copyright; do
  grep -qx "$path" "$work/files" || fail "the package does not install $path"
done
[ "$(velmora-cli --version)" = "velmora-cli $version" ] || fail "velmora-cli --version: $(velmora-cli --version)"
[ "$(velmora --version)" = "velmora $version" ] || fail "velmora --version: $(velmora --version)"
if command -v man >/dev/null; then
  MANPAGER=cat man velmora-cli 2>/dev/null | grep -q "EXIT STATUS" || fail "man velmora-cli shows no manual"
fi

location=$work/location
mkdir -p "$location/Trip.fcpbundle/Day 1/Transcoded Media/Proxy Media"
head -c 2048 /dev/zero >"$location/Trip.fcpbundle/Day 1/Transcoded Media/Proxy Media/clip.mov"
velmora-cli scan --json "$location" | grep -q '"proxySize": 2048' || fail "velmora-cli scan from /usr"

# The menu entry's command line, with the location for %f, on a virtual X display: the
# window comes up through the xcb platform plugin and lists the library. While it is up, its
# WM_CLASS must name the entry's StartupWMClass, which is how X11 shells match the window to
# the menu entry and its icon (on Wayland the app id does it).
desktop=/usr/share/applications/$app_id.desktop
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
read -r -a command <<<"${exec_line//%f/$location}"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
cat >"$work/window.sh" <<'WINDOW'
"$@" &
app=$!
# Wait for the window to be mapped, then read its class.
for _ in $(seq 1 600); do
  id=$(xwininfo -root -tree | awk '/\("velmora" / {print $1; exit}')
  [ -n "$id" ] && break
  kill -0 "$app" 2>/dev/null || exit 1
  sleep 0.1
done
xprop -id "$id" WM_CLASS
wait "$app"
WINDOW
mkdir -m 700 "$work/runtime"
if XDG_RUNTIME_DIR="$work/runtime" QT_QUICK_BACKEND=software xvfb-run -a -s "-screen 0 1280x800x24" \
  bash "$work/window.sh" "${command[@]}" --screenshot-when-loaded "$work/window.png" >"$work/window.log" 2>&1; then
  echo "== the window from the menu entry listed the library: $(file -b "$work/window.png")"
  cp "$work/window.png" build/package-window.png
  grep -qx "WM_CLASS(STRING) = \"velmora\", \"$wm_class\"" "$work/window.log" ||
    fail "the window's class does not match StartupWMClass=$wm_class: $(grep WM_CLASS "$work/window.log")"
else
  cat "$work/window.log" >&2
  fail "the window started from the menu entry did not list the library"
fi

echo "== apt-get remove velmora"
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velmora
status=$(dpkg-query -W -f='${db:Status-Abbrev}' velmora 2>/dev/null || true)
case $status in "" | "un "*) ;; *) fail "after removal dpkg still records velmora as '$status'" ;; esac
while read -r path; do
  # Shared folders such as /usr/bin stay; everything of velmora's own must be gone.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ $path == */velmora ]]; }; then
    fail "left behind after removal: $path"
  fi
done <"$work/files"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "The package builds, passes lintian, installs, runs and removes cleanly."
