# Shared helpers of the README's commands.

# Installs the Debian packages that are not there yet (nothing when all are).
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if [ ! -f /tmp/.ostrel-apt-updated ]; then
        $sudo apt-get update -qq && touch /tmp/.ostrel-apt-updated
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=900 \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# Packages of the core build and its unit tests.
CORE_PACKAGES=(g++ cmake ninja-build libgtest-dev googletest clang libclang-rt-14-dev)
