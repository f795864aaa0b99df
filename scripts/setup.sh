#!/usr/bin/env bash
# Installs what the build needs on a Debian machine, only when something is missing.
set -euo pipefail
pkgs=(build-essential cmake pkg-config libsqlite3-dev sqlite3 libgtest-dev libgmock-dev
      libbenchmark-dev nlohmann-json3-dev libcli11-dev
      # the service and its pages, driven by a real browser in the tests
      libcpp-httplib-dev chromium chromium-driver python3-selenium
      # server databases: unixODBC, PostgreSQL's driver and a throwaway cluster for the tests
      unixodbc-dev odbc-postgresql postgresql postgresql-contrib libpq-dev
      # Access files for the import
      mdbtools mdbtools-dev
      # packaging: dependency discovery for the .deb, unit file checks
      dpkg-dev file systemd)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
