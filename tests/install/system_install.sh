#!/usr/bin/env bash
# Installs the .deb the suite built onto this machine as an operator would, runs the
# README's bridge example exactly as written, and purges the package again. It changes the
# system (a package, a system user), so it runs only on a throwaway CI machine, as root.
#   system_install.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root"
dpkg -s ksmain >/dev/null 2>&1 && fail "a ksmain package is installed already; not touching it"
debs=("$build"/install-test/deb/pkg/ksmain_*.deb)
[ -f "${debs[0]}" ] || fail "no .deb in $build/install-test/deb/pkg (run the suite first)"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[0]}" >/dev/null
getent passwd ksmain >/dev/null || fail "no ksmain user"
[ "$(stat -c %U /var/lib/ksmain)" = ksmain ] || fail "/var/lib/ksmain is not the ksmain user's"
ksmain --version

example="$(awk '/^```sh$/ {on = 1; text = ""; next} /^```$/ {if (on && text ~ /ksmain call/) print text; on = 0; next}
                on {text = text $0 "\n"}' "$here/../../README.md")"
rm -f /tmp/p.db /tmp/p.db-wal /tmp/p.db-shm
response="$(cd /tmp && bash -euo pipefail -c "$example")"
echo "$response" | grep -qF '"v":[[{"$":"i2","v":' || fail "README example: $response"

dpkg --purge ksmain >/dev/null
[ ! -e /usr/bin/ksmain ] && [ ! -e /var/lib/ksmain ] && [ ! -e /etc/ksmain/ksmain.json ] ||
  fail "purge left files behind"
rm -f /tmp/p.db /tmp/p.db-wal /tmp/p.db-shm
echo "system install: installed, README example answered, purged"
