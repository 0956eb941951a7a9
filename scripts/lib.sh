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
    # An install that was cut short (a killed run) leaves dpkg refusing every other
    # install until its packages are configured.
    if [ -n "$(dpkg --audit 2>/dev/null)" ]; then
        DEBIAN_FRONTEND=noninteractive $sudo dpkg --configure -a >/dev/null
    fi
    if [ ! -f /tmp/.ostrel-apt-updated ]; then
        $sudo apt-get update -qq && touch /tmp/.ostrel-apt-updated
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=900 \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# Packages of the core build; the unit tests and the fuzz targets (clang) add theirs.
BUILD_PACKAGES=(g++ cmake ninja-build)
CORE_PACKAGES=("${BUILD_PACKAGES[@]}" libgtest-dev googletest clang libclang-rt-14-dev)

# Packages of the Windows build, scripts/run --windows and the Wine end-to-end tests:
# the cross compiler; Wine with what its recommends bring that the player uses (fonts, X
# extensions, GL, GStreamer: the bad plugins demux MPEG-1 program streams, libav decodes);
# a virtual screen, a sound server with a null sink, screenshots, test clips, the checks.
WINDOWS_PACKAGES=(cmake make g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 libwine fonts-wine
    fonts-liberation libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1
    libxfixes3 libxxf86vm1 libgl1 libgl1-mesa-dri libosmesa6 libgnutls30 libdbus-1-3
    libasound2-plugins gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-plugins-bad gstreamer1.0-libav xvfb xauth x11-apps ffmpeg pulseaudio
    pulseaudio-utils python3 procps)

# Packages of the Linux build (Qt 6, FFmpeg's libraries, PulseAudio's client library) and of
# scripts/run without a display (a virtual screen and its screenshot).
LINUX_PACKAGES=(qt6-base-dev libgl-dev libavformat-dev libavcodec-dev libswscale-dev
    libswresample-dev libavutil-dev libpulse-dev xvfb xauth x11-apps imagemagick)

# What the Linux tests add: window and input tools, clip making, the screen checks, CPU
# timing, a second user for the hand-over refusal.
LINUX_TEST_PACKAGES=(xdotool x11-utils ffmpeg python3 python3-numpy python3-xlib time passwd
    util-linux)

# Packages of scripts/package and the portable folder's test: Debian's tools that pack the
# .deb and make the clean root, and what FFmpeg's build from Debian's source package needs.
PACKAGE_PACKAGES=(dpkg-dev file debootstrap nasm make xz-utils)
