#!/usr/bin/env bash
# Builds the Debian package, installs it into a clean Debian 12 (bookworm) chroot with apt, as
# a user would, and starts the installed programs there as an ordinary user:
#   kelvanectl --simulate search, its --help, the event log in the user's state folder,
#   kelvanectl ports on a converter the user may not open (the permission message),
#   kelvane --simulate on an X server (Xvfb on this machine, reached through its socket), with a
#   check that the window is up and a screenshot in build/package-test/kelvane-installed.png.
# The first run makes the chroot with debootstrap and keeps it as build/package-test/base.tar
# (about 200 MB and 5 minutes); the packages apt fetches are kept in
# build/package-test/apt-archives, so later runs need neither the network nor debootstrap.
# Runs as root (chroot, mounts). Usage: scripts/package-test.sh [DEB]
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
work="$top/build/package-test"
base_tar="$work/base.tar"
archives="$work/apt-archives"
root="$work/root"
mkdir -p "$work" "$archives/partial"

if [ "$(id -u)" -ne 0 ]; then
  echo "package-test: run as root (debootstrap, chroot and mounts need it)" >&2
  exit 2
fi

# The Debian mirror apt on this machine already uses.
mirror() {
  local uri
  uri=$(grep -h -m1 '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' |
    grep -m1 debian || true)
  if [ -z "$uri" ]; then
    uri=$(grep -h -m1 '^deb ' /etc/apt/sources.list 2>/dev/null | awk '{print $2}' || true)
  fi
  echo "${uri:-http://deb.debian.org/debian}"
}

make_base() {
  command -v debootstrap >/dev/null || {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
  }
  local tmp="$work/base-root"
  rm -rf "$tmp"
  echo "package-test: debootstrap bookworm from $(mirror) (first run only)"
  debootstrap --variant=minbase bookworm "$tmp" "$(mirror)" >"$work/debootstrap.log" 2>&1 || {
    tail -20 "$work/debootstrap.log" >&2
    exit 1
  }
  echo "deb $(mirror) bookworm main" >"$tmp/etc/apt/sources.list"
  chroot "$tmp" apt-get update -qq
  chroot "$tmp" apt-get clean
  tar -C "$tmp" -cf "$base_tar.new" .
  mv "$base_tar.new" "$base_tar"
  rm -rf "$tmp"
}

mounted=()
cleanup() {
  local i
  set +e
  [ -n "${gui_pid:-}" ] && kill "$gui_pid" 2>/dev/null
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[$i]}" || umount -l "${mounted[$i]}"
  done
  # Never delete through a mount that is still there (it would reach /dev of this machine).
  if grep -q " $root/" /proc/mounts; then
    echo "package-test: mounts remain below $root; not removing it" >&2
  else
    rm -rf --one-file-system "$root"
  fi
}
bind() {
  mkdir -p "$root$2"
  mount --bind "$1" "$root$2"
  mounted+=("$root$2")
}
fail() {
  echo "package-test: FAILED: $*" >&2
  exit 1
}
# As the operator: a fresh user who is in none of the extra groups.
as_operator() {
  chroot --userspec=kvuser:kvuser "$root" env -i HOME=/home/kvuser USER=kvuser \
    PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}

start=$(date +%s)
deb="${1:-}"
if [ -z "$deb" ]; then
  scripts/package.sh >/dev/null
  deb=$(ls -t build/package/kelvane_*.deb | head -1)
fi
deb=$(realpath "$deb")
[ -f "$base_tar" ] || make_base

trap cleanup EXIT
cleanup
mounted=()
mkdir -p "$root"
tar -C "$root" -xf "$base_tar"
mount -t proc proc "$root/proc"
mounted+=("$root/proc")
bind /dev /dev
bind /dev/pts /dev/pts
bind "$archives" /var/cache/apt/archives
mkdir -p -m 1777 /tmp/.X11-unix
bind /tmp/.X11-unix /tmp/.X11-unix
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/"
debname=$(basename "$deb")

echo "package-test: apt install ./$debname into a clean bookworm"
# Without the recommended packages, so that the declared dependencies alone must carry the
# programs, but with the font recommended for the Cyrillic texts.
install_deb() {
  chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    -o Dpkg::Options::=--force-unsafe-io --no-install-recommends "/tmp/$debname" \
    fonts-dejavu-core >"$work/apt-install.log" 2>&1
}
# The package lists in the cached chroot may be older than the mirror: fetch them once more.
install_deb || { chroot "$root" apt-get update -qq && install_deb; } || {
  tail -30 "$work/apt-install.log" >&2
  fail "the package does not install"
}
chroot "$root" dpkg -L kelvane >"$work/files.txt"
for f in /usr/bin/kelvane /usr/bin/kelvanectl /usr/bin/kelvane-bussim \
  /usr/share/kelvane/rigs/demo.rig /usr/share/applications/kelvane.desktop \
  /usr/share/icons/hicolor/scalable/apps/kelvane.svg /usr/lib/udev/rules.d/60-kelvane-converters.rules \
  /usr/share/man/man1/kelvane.1.gz /usr/share/man/man1/kelvanectl.1.gz \
  /usr/share/man/man1/kelvane-bussim.1.gz /usr/share/doc/kelvane/README.md; do
  grep -qx "$f" "$work/files.txt" || fail "the package lacks $f"
done
chroot "$root" useradd -m -s /bin/bash kvuser

echo "package-test: kelvanectl --simulate search"
as_operator kelvanectl --help >"$work/ctl-help.txt"
grep -q '/home/kvuser/.config/kelvane/kelvanex.ini' "$work/ctl-help.txt" ||
  fail "kelvanectl --help does not say where the settings are"
as_operator kelvanectl --simulate search >"$work/ctl-search.txt" 2>&1 ||
  { cat "$work/ctl-search.txt" >&2; fail "kelvanectl --simulate search"; }
grep -q 'SIMULATED BUS' "$work/ctl-search.txt" || fail "the search does not say the bus is simulated"
logs="$root/home/kvuser/.local/state/kelvane/logs"
ls "$logs"/*.log >/dev/null 2>&1 || fail "no event log in ~/.local/state/kelvane/logs"
cat "$logs"/*.log | grep -q 'Файлы программы' || fail "the first log does not say where the files are"

echo "package-test: kelvanectl ports on a converter the operator may not open"
# A terminal of the simulated bus made by root is root's: the operator may not open it.
chroot "$root" kelvane-bussim --demo >"$work/bussim.txt" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do grep -q '^ready' "$work/bussim.txt" && break; sleep 0.2; done
pts=$(awk '/^converter 0 /{print $3}' "$work/bussim.txt")
[ -n "$pts" ] || fail "kelvane-bussim did not start"
as_operator kelvanectl --port "$pts" ports >"$work/ctl-ports.txt" 2>&1 ||
  { cat "$work/ctl-ports.txt" >&2; fail "kelvanectl ports"; }
grep -q "^0 .* (no access)$" "$work/ctl-ports.txt" &&
  grep -q "Нет доступа к преобразователю $pts - добавьте пользователя в группу" "$work/ctl-ports.txt" ||
  { cat "$work/ctl-ports.txt" >&2; fail "kelvanectl ports does not name the refused converter"; }
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=

echo "package-test: kelvane --simulate on an X server"
shot="$work/kelvane-installed.png"
rm -f "$shot"
export root work shot
# The X server runs here; the installed console in the chroot reaches it through the socket.
xvfb-run -a -s "-screen 0 1280x800x24 -ac -nolisten tcp" bash -c '
  set -u
  chroot --userspec=kvuser:kvuser "$root" env -i HOME=/home/kvuser USER=kvuser \
    PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" kelvane --simulate \
    >"$work/kelvane.txt" 2>&1 &
  pid=$!
  ok=1
  for _ in $(seq 60); do
    if xdotool search --name "SIMULATED BUS" >/dev/null 2>&1; then ok=0; break; fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.5
  done
  [ $ok -eq 0 ] && sleep 2 && import -window root "$shot"
  kill $pid 2>/dev/null
  wait $pid 2>/dev/null
  exit $ok
' || { cat "$work/kelvane.txt" >&2; fail "the console window did not come up"; }
colours=$(identify -format '%k' "$shot")
[ "$colours" -gt 20 ] || fail "the screenshot is blank ($colours colours)"
grep -l 'ИМИТАЦИЯ ШИНЫ' "$logs"/*.log >/dev/null || fail "the console's log does not say the bus is simulated"

echo "package-test: passed in $(($(date +%s) - start)) s; screenshot $shot"
