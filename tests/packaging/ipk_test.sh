#!/bin/sh
# The package as opkg reads it, checked with GNU ar and GNU tar, then installed into a staging root
# the way opkg does (data.tar.gz unpacked, postinst run with IPKG_INSTROOT set).
# Usage: ipk_test.sh IPK ARCH FAKE_DAEMON
set -u
ipk=$1 arch=$2 fake_daemon=$3
work=$(mktemp -d)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
root=$work/root
cleanup() {
  [ -x "$root/etc/init.d/velkord.sh" ] && VELKORD_RUN_DIR=$work/run QUIET=1 "$root/etc/init.d/velkord.sh" stop
  rm -rf "$work"
}
trap cleanup EXIT

members=$(ar t "$ipk" | tr '\n' ' ')
[ "$members" = "debian-binary control.tar.gz data.tar.gz " ] || fail "members are '$members'"
cd "$work" && ar x "$ipk" || fail "ar x"
[ "$(cat debian-binary)" = "2.0" ] || fail "debian-binary is '$(cat debian-binary)'"

control_files=$(tar tzf control.tar.gz | sort | tr '\n' ' ')
[ "$control_files" = "./ ./control ./postinst " ] || fail "control.tar.gz holds '$control_files'"
mkdir control && tar xzf control.tar.gz -C control
for field in Package Version Architecture Maintainer Description; do
  grep -q "^$field: ." control/control || fail "control has no $field"
done
grep -qx "Package: velkord" control/control || fail "package name"
grep -qx "Version: 1.0-r743" control/control || fail "version"
grep -qx "Architecture: $arch" control/control || fail "architecture"
[ -x control/postinst ] || fail "postinst is not executable"
expected_name="velkord_1.0-r743_${arch}.ipk"
[ "$(basename "$ipk")" = "$expected_name" ] || fail "file name $(basename "$ipk")"

data=$(tar tzvf data.tar.gz)
echo "$data" | grep -q "^-rwxr-xr-x 0/0 .* ./usr/bin/velkord$" || fail "no /usr/bin/velkord owned by root"
echo "$data" | grep -q "^-rwxr-xr-x .* ./etc/init.d/velkord.sh$" || fail "no executable init script"
echo "$data" | grep -q "server.key" && fail "the private key is shipped"
echo "$data" | grep -qi "sim" && fail "something of the simulator is shipped"
echo "$data" | grep "\./srv/www/.*[^z]$" | while read -r line; do
  file=${line##* }
  echo "$data" | grep -q " $file.gz$" || echo "FAIL: $file has no .gz sibling"
done | grep FAIL && failures=$((failures + 1))

mkdir "$root" && tar xzf data.tar.gz -C "$root" || fail "unpacking data.tar.gz"
[ -x "$root/usr/bin/velkord" ] || fail "velkord not installed"
[ -x "$root/etc/init.d/velkord.sh" ] || fail "init script not installed"
[ -s "$root/usr/share/velkord/users.txt" ] || fail "no default users file"
ls "$root"/usr/share/velkord/img/*.pgm >/dev/null 2>&1 || fail "no panel images"
[ -s "$root/srv/www/index.html" ] && [ -s "$root/srv/www/index.html.gz" ] || fail "no web interface"

# postinst restarts the daemon through the init script of the staging root.
mkdir "$work/run"
IPKG_INSTROOT=$root VELKORD_BIN=$fake_daemon VELKORD_RUN_DIR=$work/run sh control/postinst \
  || fail "postinst failed"
i=0
while [ ! -s "$work/run/velkord.pid" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
[ -s "$work/run/velkord.pid" ] && kill -0 "$(cat "$work/run/velkord.pid")" || fail "postinst did not start the daemon"

[ $failures -eq 0 ] && echo "ipk: all checks passed"
exit $failures
