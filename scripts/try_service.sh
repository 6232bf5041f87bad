#!/usr/bin/env bash
# Tries the Debian package's web service under a real systemd, as an administrator would on a
# fresh Debian 12: a minimal Debian 12 is booted in a container (systemd-nspawn) with a network
# of its own; the package goes in with apt-get; web.conf, the drop-in, the share's ACL and a
# token are set up as the README says; the service is enabled and the container rebooted. Then
# a browser on this machine, the other end of the container's network, signs in over HTTPS,
# cleans one kind of one library and reads the history, and the disk inside is checked.
#
# Needs root and Debian's mirror (debootstrap, the package's dependencies). Not part of the
# tests: it takes a few minutes. Usage: scripts/try_service.sh [PACKAGE.deb]
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(ls build/velmora_*.deb 2>/dev/null | head -1)}
[ -f "$deb" ] || { echo "no package: run scripts/package.sh first" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive
for tool in debootstrap systemd-nspawn openssl chromedriver; do
  command -v "$tool" >/dev/null || { apt-get update -qq; apt-get install -y -qq debootstrap systemd-container openssl \
    chromium chromium-driver python3-selenium >/dev/null; break; }
done

work=$PWD/build/service-try
base=$work/debian12 root=$work/root
mkdir -p "$work"
if [ ! -x "$base/lib/systemd/systemd" ]; then
  rm -rf "$base"
  debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus,iproute2,acl,ca-certificates \
    bookworm "$base" http://deb.debian.org/debian >"$work/debootstrap.log"
fi
rm -rf "$root" && cp -a "$base" "$root"
echo velmora-try >"$root/etc/hostname"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/root/velmora.deb"

# Without a bus or machined here: no scope of its own, no registration.
nspawn() { systemd-nspawn -q -D "$root" --register=no --keep-unit "$@"; }
inside() { nsenter -t "$pid" -a "$@"; }

echo "== installing the package on a fresh Debian 12"
nspawn sh -c 'apt-get update -qq && apt-get install -y -qq /root/velmora.deb >/dev/null'
/usr/bin/python3 - "$root" <<'PY'
import sys
share = sys.argv[1] + "/srv/projects"
sys.path.insert(0, "tests/web")
from web_support import make_libraries
make_libraries(share, ["Wedding 2024.fcpbundle", "Documentary.fcpbundle", "Ad Spot.fcpbundle"])
PY
mkdir -p "$root/etc/velmora/tls"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=nas.example.org \
  -addext "subjectAltName=DNS:nas.example.org,IP:10.77.0.2" \
  -keyout "$root/etc/velmora/tls/key.pem" -out "$root/etc/velmora/tls/cert.pem" 2>/dev/null

echo "== configuring it as the README says"
nspawn sh -ec '
chown -R root:velmora /etc/velmora/tls; chmod 750 /etc/velmora/tls; chmod 640 /etc/velmora/tls/key.pem
cat >>/etc/velmora/web.conf <<CONF
root = Projects=/srv/projects
listen = 0.0.0.0:8472
tls-cert = /etc/velmora/tls/cert.pem
tls-key = /etc/velmora/tls/key.pem
allow-host = nas.example.org
CONF
mkdir -p /etc/systemd/system/velmora-web.service.d
printf "[Service]\nReadWritePaths=/srv/projects\n" >/etc/systemd/system/velmora-web.service.d/override.conf
setfacl -R -m u:velmora:rwX -m d:u:velmora:rwX /srv/projects
runuser -u velmora -- velmora-cli token add anna --role cleaner --state-dir /var/lib/velmora >/root/anna.token
systemctl enable velmora-web'

echo "== booting it with a network of its own"
systemd-nspawn -D "$root" --register=no --keep-unit -b --console=passive --network-veth >"$work/boot.log" 2>&1 &
nspawn_pid=$!
trap 'kill "$nspawn_pid" 2>/dev/null || true; wait "$nspawn_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do pid=$(pgrep -P "$nspawn_pid" | head -1 || true); [ -n "$pid" ] && ip link show ve-root >/dev/null 2>&1 && break; sleep 0.2; done
ip addr add 10.77.0.1/24 dev ve-root && ip link set ve-root up
for _ in $(seq 100); do inside ip link show host0 >/dev/null 2>&1 && break; sleep 0.2; done
inside ip addr add 10.77.0.2/24 dev host0 && inside ip link set host0 up
for _ in $(seq 150); do curl -sk -o /dev/null https://10.77.0.2:8472/ && break; sleep 0.2; done
inside systemctl is-active velmora-web
inside systemd-analyze security velmora-web --no-pager | tail -1

echo "== a browser on the other machine"
/usr/bin/python3 scripts/try_service_browser.py https://10.77.0.2:8472/ "$(cat "$root/root/anna.token")" "$work"
render="$root/srv/projects/Documentary.fcpbundle/Event/Render Files"
media="$root/srv/projects/Documentary.fcpbundle/Event/Original Media/clip.mov"
[ ! -e "$render" ] && [ -f "$media" ] && [ -d "$root/srv/projects/Wedding 2024.fcpbundle/Event/Render Files" ] \
  || { echo "the disk is not as it should be" >&2; exit 1; }
echo "disk: Documentary's render files gone, its media and the other libraries untouched"
inside journalctl -u velmora-web --no-pager | grep -E 'cleaning [0-9a-f]|scan done' | tail -3
inside systemctl poweroff
wait "$nspawn_pid" || true
trap - EXIT
echo "the service works under systemd; screenshots in $work"
