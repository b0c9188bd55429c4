#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the tools need;
# `install-deps.sh fuzz` adds what the libFuzzer build (`make fuzz`) needs,
# `install-deps.sh package` what checks the Debian package (`make lint-package`
# and the package test of `make test`: lintian, systemd for systemd-analyze,
# devscripts for hardening-check),
# `install-deps.sh browser` what the console's browser test drives (`make test`)
# and npm, with which it fetches axe-core.
# Only missing packages are installed; nothing happens when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libace-dev libboost1.81-dev libcurl4-openssl-dev libssl-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev prometheus-cpp-dev
  openssl python3 clang-format dpkg-dev help2man
  tinyproxy
)
for group in "$@"; do
  case $group in
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    package) packages+=(lintian systemd devscripts) ;;
    browser)
      packages+=(chromium chromium-driver python3-selenium)
      # The test fetches axe-core with npm; a Node.js of its own may carry one.
      command -v npm >/dev/null || packages+=(npm)
      ;;
    *)
      echo "install-deps: unknown group '$group' (known: fuzz, package, browser)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
