#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Packages already present are skipped; nothing is fetched when all are there.
set -euo pipefail

packages=(
  g++ cmake make pkg-config clang-format
  qt6-base-dev qt6-qpa-plugins libgl-dev fonts-wqy-microhei
  libx11-dev libxcb1-dev
  libcurl4-openssl-dev duktape-dev
  libcpp-httplib-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool xclip x11-utils x11-xserver-utils openbox imagemagick wrk
  desktop-file-utils appstream
  dpkg-dev file librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
