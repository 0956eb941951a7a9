#!/usr/bin/env bash
# Builds FFmpeg's libraries from Debian's source package of the version the
# player is built against, with only what the player plays: the demuxers of
# its files (AVI, MPEG program and elementary streams, VCD .dat, WAV), the
# decoders of the codecs found in them, the scaler and the resampler. No
# external library, no hardware decoding, no network, no programs.
#
#   packaging/build-ffmpeg.sh OUT
#
# OUT/lib then holds libavformat.so.N and the others under the same names
# (and so the same interface) as Debian's. The work stays in OUT and a second
# run with the same version does nothing.
set -euo pipefail
out=$(mkdir -p "${1:?usage: build-ffmpeg.sh OUT}" && cd "$1" && pwd)

version=$(dpkg-query -W -f='${Version}' libavformat-dev)
stamp="$out/lib/.built-$version"
[ -e "$stamp" ] && exit 0

# Debian's source package, fetched with apt through a source list of its own
# (the machine's apt configuration is left as it is).
apt_dir="$out/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
cat >"$apt_dir/sources.list" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
EOF
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root
    -qq)
src_dir="$out/source"
if [ ! -e "$src_dir/.unpacked-$version" ]; then
    rm -rf "$src_dir" && mkdir -p "$src_dir"
    apt-get "${apt_opts[@]}" update
    (cd "$src_dir" && apt-get "${apt_opts[@]}" source "ffmpeg=$version" >/dev/null)
    touch "$src_dir/.unpacked-$version"
fi
tree=$(find "$src_dir" -mindepth 1 -maxdepth 1 -type d -name 'ffmpeg-*' | head -1)

# The codecs of the player's files: MPEG-1/2 with MPEG audio (.mpg, .dat), the
# video codecs found in AVI files (Motion JPEG, MPEG-4 and Microsoft's
# variants, Cinepak, Indeo, Video 1, RLE, raw, H.263/H.264) and the sounds
# found in AVI and WAV files (PCM, ADPCM, GSM, MPEG audio, AC-3).
demuxers=avi,mpegps,mpegvideo,wav,mp3,h264,m4v,ac3
decoders=mpeg1video,mpeg2video,mjpeg,mpeg4,msmpeg4v1,msmpeg4v2,msmpeg4v3,h263,h264,wmv1,wmv2
decoders+=,rawvideo,cinepak,msvideo1,msrle,indeo2,indeo3,indeo4,indeo5,mp1,mp1float,mp2,mp2float
decoders+=,mp3,mp3float,ac3,pcm_s16le,pcm_s16be,pcm_u8,pcm_s24le,pcm_s32le,pcm_f32le,pcm_alaw
decoders+=,pcm_mulaw,adpcm_ms,adpcm_ima_wav,gsm_ms
parsers=mpegvideo,mpegaudio,mpeg4video,mjpeg,h263,h264,ac3

build="$out/build"
rm -rf "$build" "$out/lib"
mkdir -p "$build"
(
    cd "$build"
    "$tree/configure" --prefix="$out/prefix" --enable-shared --disable-static \
        --disable-programs --disable-doc --disable-avdevice --disable-avfilter \
        --disable-postproc --disable-network --disable-everything --disable-autodetect \
        --disable-debug --enable-pic --enable-demuxer="$demuxers" --enable-decoder="$decoders" \
        --enable-parser="$parsers" --enable-protocol=file --enable-swscale --enable-swresample \
        >configure.log 2>&1
    nice make -j2 >make.log 2>&1
    make install >install.log 2>&1
)
mkdir -p "$out/lib"
cp -a "$out/prefix/lib/"lib*.so.* "$out/lib/"
strip --strip-unneeded "$out"/lib/lib*.so.*.*
touch "$stamp"
