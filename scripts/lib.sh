# shellcheck shell=bash
# Shared steps of scripts/test and scripts/run; sourced, not run.
#
# On Debian the packages that are missing are installed with apt-get (as root, or
# through sudo); the apt output goes to build/apt-get.log.

STELLMARK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

STELLMARK_PACKAGES=(
    cmake make g++ googletest libgtest-dev
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth imagemagick x11-utils
)

log_step() { printf '==> %s\n' "$*"; }

is_windows_host() {
    case "$(uname -s)" in MINGW* | MSYS* | CYGWIN*) return 0 ;; *) return 1 ;; esac
}

jobs_count() { nproc 2>/dev/null || echo 4; }

# ensure_packages: installs what is missing of STELLMARK_PACKAGES; apt-get runs only
# when something is missing.
ensure_packages() {
    local p missing=()
    if ! command -v dpkg-query >/dev/null; then
        echo "not a Debian system: install by hand: ${STELLMARK_PACKAGES[*]}" >&2
        return 0
    fi
    for p in "${STELLMARK_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    ((${#missing[@]} == 0)) && return 0

    local sudo=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || { echo "missing packages (run as root): ${missing[*]}" >&2; return 1; }
        sudo=(sudo)
    fi
    local log=$STELLMARK_ROOT/build/apt-get.log
    mkdir -p "$STELLMARK_ROOT/build"
    log_step "installing ${missing[*]} (log: build/apt-get.log)"
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update >>"$log" 2>&1 ||
        ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
        echo "apt-get failed; the end of build/apt-get.log:" >&2
        tail -n 20 "$log" >&2
        return 1
    fi
}

# build_native: the portable code and its unit tests, with the sanitizers.
build_native() {
    cmake -S "$STELLMARK_ROOT" -B "$STELLMARK_ROOT/build/native" -DCMAKE_BUILD_TYPE=Debug &&
        cmake --build "$STELLMARK_ROOT/build/native" -j"$(jobs_count)"
}

# build_windows: build/windows/stellmark.exe and the end-to-end fixtures. On Linux
# through the mingw-w64 toolchain file; on Windows with the compiler at hand.
build_windows() {
    local toolchain=()
    # The toolchain file counts only when the tree is first configured.
    if ! is_windows_host && [[ ! -f $STELLMARK_ROOT/build/windows/CMakeCache.txt ]]; then
        toolchain=(-DCMAKE_TOOLCHAIN_FILE="$STELLMARK_ROOT/cmake/mingw-w64.cmake")
    fi
    cmake -S "$STELLMARK_ROOT" -B "$STELLMARK_ROOT/build/windows" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release &&
        cmake --build "$STELLMARK_ROOT/build/windows" -j"$(jobs_count)"
}
