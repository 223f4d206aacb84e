#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and the glTF
# validator. Idempotent: when everything is present it only runs dpkg-query
# and looks at one file.
set -euo pipefail

pkgs=(
  cmake make g++ ninja-build python3
  zlib1g-dev
  googletest libgtest-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64
  xvfb xauth xcompmgr x11-utils
  libsquish-dev imagemagick netpbm
  assimp-utils
  libstb-dev nlohmann-json3-dev
)

missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}" >&2
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Khronos glTF validator, run with node by the tests on every .glb we
# write. npm installs it into the project's own .tools folder, pinned.
root="$(cd "$(dirname "$0")/.." && pwd)"
validator_version=2.0.0-dev.3.10
if [ ! -f "$root/.tools/node_modules/gltf-validator/package.json" ] ||
   ! grep -q "\"version\": \"$validator_version\"" "$root/.tools/node_modules/gltf-validator/package.json"; then
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "install-deps: installing nodejs npm" >&2
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
  fi
  echo "install-deps: installing gltf-validator $validator_version into .tools" >&2
  npm install --prefix "$root/.tools" --no-save --no-audit --no-fund --loglevel=error "gltf-validator@$validator_version" >/dev/null
fi
