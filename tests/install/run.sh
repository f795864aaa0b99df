#!/usr/bin/env bash
# Installs a built tree as a user would and uses what was installed, nothing else.
#   run.sh consumer BUILD_DIR   cmake --install into a staging folder (DESTDIR); build a
#                               program against it with find_package and with pkg-config
#                               and run it on a database the installed tool made; run the
#                               README's bridge example with the installed tool
#   run.sh deb BUILD_DIR        cpack -G DEB; check the package's metadata and contents,
#                               unpack it and run the unpacked tool; verify the unit
# Exit 77 means skipped.
set -euo pipefail
mode="$1"
build="$(cd "$2" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
work="$build/install-test/$mode"
rm -rf "$work" && mkdir -p "$work"

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
prefix="$(cache CMAKE_INSTALL_PREFIX)"
libdir="$(cache CMAKE_INSTALL_LIBDIR)"
version="$(cache CMAKE_PROJECT_VERSION)"
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$mode" = consumer ]; then
  stage="$work/stage"
  DESTDIR="$stage" cmake --install "$build" >/dev/null
  root="$stage$prefix"
  export LD_LIBRARY_PATH="$root/$libdir"
  "$root/bin/ksmain" init portfolio "$work/p.db" --demo
  expected="$(sqlite3 "$work/p.db" 'SELECT count(*) FROM status')"

  cmake -S "$here/consumer" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$root" >/dev/null
  cmake --build "$work/with-cmake" >/dev/null
  "$work/with-cmake/status_count" "$work/p.db" "$expected"

  PKG_CONFIG_SYSROOT_DIR="$stage" PKG_CONFIG_PATH="$root/$libdir/pkgconfig" \
    cmake -S "$here/consumer" -B "$work/with-pkg-config" -DUSE_PKG_CONFIG=ON >/dev/null
  cmake --build "$work/with-pkg-config" >/dev/null
  "$work/with-pkg-config/status_count" "$work/p.db" "$expected"

  # The README's bridge example, run as written (its /tmp files moved into this folder).
  example="$(awk '/^```sh$/ {on = 1; text = ""; next} /^```$/ {if (on && text ~ /ksmain call/) print text; on = 0; next}
                  on {text = text $0 "\n"}' "$source_dir/README.md" | sed "s|/tmp/|$work/readme/|g")"
  [ -n "$example" ] || fail "no 'ksmain call' example in README.md"
  mkdir "$work/readme"
  response="$(PATH="$root/bin:$PATH" bash -euo pipefail -c "$example")"
  # The status grid's cell (0, 0) holds its row count.
  echo "$response" | grep -qF '"v":[[{"$":"i2","v":'"$expected"'}' || fail "README example: $response"
  echo "consumer: find_package and pkg-config builds each read $expected statuses"
  exit 0
fi

[ "$mode" = deb ] || fail "unknown mode $mode"
if [ "$prefix" != /usr ]; then
  echo "skipped: the .deb is built from a tree configured with -DCMAKE_INSTALL_PREFIX=/usr"
  exit 77
fi
arch="$(dpkg --print-architecture)"
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null
deb="$work/pkg/ksmain_${version}-1_${arch}.deb"
[ -f "$deb" ] || fail "no $deb; made: $(ls "$work/pkg")"

info="$(dpkg-deb -I "$deb")"
echo "$info" | grep -Eq '^ Depends:.*libsqlite3-0 ' || fail "Depends lacks what dpkg-shlibdeps finds: $info"
echo "$info" | grep -Eq '^ Depends:.*adduser' || fail "Depends lacks adduser: $info"
dpkg-deb -f "$deb" Depends | grep -q 'ksmain' && fail "the package depends on itself"
mkdir "$work/control" && dpkg-deb -e "$deb" "$work/control"
grep -qx '/etc/ksmain/ksmain.json' "$work/control/conffiles" || fail "config file not a conffile"
for script in postinst prerm postrm; do sh -n "$work/control/$script"; done
grep -q 'adduser --system' "$work/control/postinst" || fail "postinst creates no system user"

contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for path in ./usr/bin/ksmain "./usr/lib/$multiarch/libksmain.so.1" "./usr/lib/$multiarch/libksmain.so" \
            ./usr/include/ksmain/kestrel.h ./usr/include/ksmain/version.h \
            "./usr/lib/$multiarch/cmake/ksmain/ksmainConfig.cmake" \
            "./usr/lib/$multiarch/cmake/ksmain/ksmainTargets.cmake" \
            "./usr/lib/$multiarch/pkgconfig/ksmain.pc" ./etc/ksmain/ksmain.json \
            ./usr/lib/systemd/system/ksmain.service ./usr/share/doc/ksmain/README.md; do
  echo "$contents" | grep -qx -- "$path" || fail "$path missing from the package"
done
if [ -d "$source_dir/web" ]; then
  echo "$contents" | grep -q '^./usr/share/ksmain/web/.' || fail "the pages are missing from the package"
fi
echo "$contents" | grep -E '^./usr/include/' | grep -Ev '^./usr/include/(ksmain/([a-z_]+\.h)?)?$' &&
  fail "headers other than include/ksmain/*.h are packaged"

root="$work/root"
dpkg-deb -x "$deb" "$root"
# A RUNPATH left pointing into the build tree would hide a library missing from the package.
readelf -d "$root/usr/bin/ksmain" | grep -Eq 'RPATH|RUNPATH' && fail "the packaged tool keeps a build RUNPATH"
export LD_LIBRARY_PATH="$root/usr/lib/$multiarch"
[ "$("$root/usr/bin/ksmain" --version)" = "ksmain $version" ] || fail "ksmain --version"
"$root/usr/bin/ksmain" demo "$work/demo" >"$work/demo.txt"
[ -s "$work/demo/portfolio.db" ] && [ -s "$work/demo/veldaSQL.db" ] || fail "demo made no databases"

unit="$root/usr/lib/systemd/system/ksmain.service"
for line in 'ExecStart=/usr/bin/ksmain serve --config /etc/ksmain/ksmain.json' User=ksmain \
            NoNewPrivileges=yes PrivateTmp=yes ProtectSystem=strict ProtectHome=yes \
            ReadWritePaths=/var/lib/ksmain; do
  grep -qx -- "$line" "$unit" || fail "the unit lacks $line"
done
if command -v systemd-analyze >/dev/null; then
  # verify wants the binary in place, so check a copy whose ExecStart is the unpacked one.
  mkdir "$work/unit"
  sed "s|^ExecStart=/usr/bin/ksmain |ExecStart=$root/usr/bin/ksmain |" "$unit" >"$work/unit/ksmain.service"
  if ! out="$(systemd-analyze verify "$work/unit/ksmain.service" 2>&1)"; then
    # A container that cannot start a systemd manager cannot load units; that is no finding.
    if echo "$out" | grep -qiE 'Failed to (initialize|allocate) manager|Failed to set up|System has not been booted'; then
      echo "systemd-analyze verify cannot run here: $out"
    else
      fail "systemd-analyze verify: $out"
    fi
  elif [ -n "$out" ]; then
    fail "systemd-analyze verify: $out"
  fi
  # The hardening settings keep the service's exposure score low (0 best, 10 worst).
  systemd-analyze security --offline=yes --threshold=25 "$unit" >"$work/security.txt" 2>&1 ||
    fail "the unit's exposure rose: $(tail -1 "$work/security.txt")"
fi
echo "deb: $(basename "$deb"), $(stat -c %s "$deb") bytes; $(dpkg-deb -f "$deb" Depends)"
