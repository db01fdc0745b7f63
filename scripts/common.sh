# Shared by the project's scripts: packages, build folders, environment.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES=(cmake g++ make pkg-config qtbase5-dev libqt5svg5-dev libqt5websockets5-dev
          libjsoncpp-dev xvfb xauth fonts-dejavu-core clang-14 libclang-rt-14-dev chromium
          g++-mingw-w64-i686-posix libkf5archive-dev libpoppler-qt5-dev zlib1g-dev
          libqt5sql5-sqlite qttools5-dev-tools fonts-wqy-microhei)

# Installs the Debian packages that are missing (needs root, as on CI).
ensure_packages() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# Node and the browser-test packages pinned in package-lock.json (playwright-core,
# which downloads no browser: the tests drive Debian's chromium).
ensure_node_modules() {
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends nodejs npm
    fi
    (cd "$ROOT" && npm ci --no-audit --no-fund --loglevel=error)
}

# build_tree DIR [cmake options...]: configures and builds one build folder.
build_tree() {
    local dir="$1"; shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/arkivo-runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
