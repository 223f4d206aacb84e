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
  xvfb xauth xcompmgr x11-utils xdotool
  libsquish-dev imagemagick netpbm gimp
  assimp-utils blender python3-numpy
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

# libdeflate, the PNG writer's deflate and checksums: several times faster
# than zlib at its fastest level, for smaller files. Debian builds it for
# Linux only, so both builds compile Debian's source package with our CMake
# (cmake/Libdeflate.cmake). apt fetches it and checks it against the signed
# source index; private state and cache folders leave the system's apt
# configuration alone.
libdeflate_version=1.14
libdeflate_dir="$root/.tools/libdeflate-$libdeflate_version"
if [ ! -f "$libdeflate_dir/libdeflate.h" ]; then
  echo "install-deps: fetching Debian's libdeflate $libdeflate_version source into .tools" >&2
  apt_work="$root/.tools/apt-source"
  rm -rf "$apt_work"
  mkdir -p "$apt_work/lists/partial" "$apt_work/cache/archives/partial" "$apt_work/sources" "$apt_work/download"
  # The same archives as the system's, as source entries.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in
      *.sources) sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_work/sources/$(basename "$f")" ;;
      *) sed -n 's/^deb \(.*\)/deb-src \1/p' "$f" >"$apt_work/sources/$(basename "$f" .list)-src.list" ;;
    esac
  done
  apt_opts=(-o Dir::Etc::sourcelist=/dev/null -o "Dir::Etc::sourceparts=$apt_work/sources"
            -o "Dir::State::Lists=$apt_work/lists" -o "Dir::Cache=$apt_work/cache"
            -o APT::Sandbox::User=root -qq)
  apt-get "${apt_opts[@]}" update >/dev/null
  (cd "$apt_work/download" && apt-get "${apt_opts[@]}" source --download-only "libdeflate=$libdeflate_version-1" >/dev/null)
  tar -xzf "$apt_work/download/libdeflate_$libdeflate_version.orig.tar.gz" -C "$root/.tools"
  rm -rf "$apt_work"
  if [ ! -f "$libdeflate_dir/libdeflate.h" ]; then
    echo "install-deps: Debian's libdeflate $libdeflate_version source did not unpack into $libdeflate_dir" >&2
    exit 1
  fi
fi
