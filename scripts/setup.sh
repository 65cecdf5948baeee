#!/usr/bin/env bash
# Installs every build and test dependency of vardel from Debian packages.
# Idempotent, never prompts; run as root (or through sudo).
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  googletest libgtest-dev
  python3 python3-dev python3-venv python3-pip python3-setuptools python3-wheel python3-pytest
  clang-14 libclang-rt-14-dev
  unicode-data
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq </dev/null
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" </dev/null
fi
echo "setup: all dependencies present"
