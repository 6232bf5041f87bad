#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Velmora needs.
# Idempotent: only packages that are absent are installed, so a second run is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libutf8proc-dev uuid-dev nlohmann-json3-dev libcli11-dev libgtest-dev libgmock-dev
  libboost-dev libssl-dev libsqlite3-dev openssl python3
  qt6-base-dev qt6-declarative-dev qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
  qml6-module-qtquick-dialogs qml6-module-qtquick-templates qml6-module-qtquick-window
  qml6-module-qtqml qml6-module-qtqml-workerscript qml6-module-qt-labs-folderlistmodel
  qml6-module-qtqml-models qml6-module-qtquick-shapes
  libqt6svg6 libqt6dbus6 qt6-qpa-plugins
  fonts-wqy-microhei xvfb xauth x11-apps
  at-spi2-core python3-pyatspi dbus
  chromium chromium-driver python3-selenium
  util-linux e2fsprogs strace time procps
  scdoc librsvg2-bin desktop-file-utils appstream bash-completion file dpkg-dev
)
# The package check (VELMORA_TEST_PACKAGE=1 ./test.sh) also needs lintian and X11 tools.
if [ -n "${VELMORA_TEST_PACKAGE:-}" ]; then
  packages+=(lintian x11-utils)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# axe-core, which the web console's page tests run inside the page to check its accessibility:
# from the npm registry, a fixed version, kept in the build folder.
web_tools="$(cd "$(dirname "$0")/.." && pwd)/build/web-tools"
if [ ! -f "$web_tools/node_modules/axe-core/axe.min.js" ]; then
  if ! command -v npm >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends npm
  fi
  mkdir -p "$web_tools"
  npm install --silent --no-audit --no-fund --prefix "$web_tools" axe-core@4.10.3
fi
