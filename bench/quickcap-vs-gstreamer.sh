#!/usr/bin/env bash
# Measures quickcap's pipeline on the synthetic 1920x1080 YUY2 camera and, in the same run,
# GStreamer converting the same frames (videotestsrc -> videoconvert to BGRx -> fakesink).
# Prints frames per second for both and their ratio. Usage:
#   bench/quickcap-vs-gstreamer.sh [build-dir] [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
seconds=${2:-20}
quickcap="$build/quickcap/quickcap"
convert_bench="$build/bench/olmek-convert-bench"
frames=$((seconds * 240))

if [ ! -x "$quickcap" ]; then
  echo "quickcap-vs-gstreamer: $quickcap is missing; build the quickcap target first" >&2
  exit 1
fi
if ! command -v gst-launch-1.0 >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    gstreamer1.0-tools gstreamer1.0-plugins-base >/dev/null
fi

# The rate through the whole pipeline: frames that the real-time window converted.
rate_of() { sed -n 's/^shown rate \([0-9.]*\) fps$/\1/p' "$1"; }

echo "== quickcap at the camera's 240 fps, replaying at 30 fps ($seconds s)"
out240=$(mktemp)
trap 'rm -f "$out240" "${outfree:-}"' EXIT
"$quickcap" --bench --simulate --mode 1920x1080@240:YUY2 --seconds "$seconds" --replay-fps 30 --sync \
  | tee "$out240"

echo "== quickcap unthrottled (a 1000 fps camera, replay at the capture rate, $seconds s)"
outfree=$(mktemp)
"$quickcap" --bench --simulate --mode 1920x1080@1000:YUY2 --seconds "$seconds" | tee "$outfree"
quickcap_fps=$(rate_of "$outfree")

conversion_fps=""
if [ -x "$convert_bench" ]; then
  conversion_fps=$("$convert_bench" --benchmark_filter='ConvertImg2RGB32/YUY2/workers:1/real_time' \
    --benchmark_min_time=2 2>/dev/null | sed -n 's/.* fps=\([0-9.]*[kM]\{0,1\}\) .*/\1/p' | head -1 |
    awk '/k$/ { printf "%.1f", $0 * 1000; next } /M$/ { printf "%.1f", $0 * 1000000; next } { print }')
fi

echo "== GStreamer: videotestsrc ! YUY2 1920x1080 ! videoconvert ! BGRx ! fakesink ($frames frames)"
start=$(date +%s.%N)
gst-launch-1.0 -q videotestsrc num-buffers="$frames" \
  ! video/x-raw,format=YUY2,width=1920,height=1080 ! videoconvert \
  ! video/x-raw,format=BGRx ! fakesink sync=false
end=$(date +%s.%N)
gst_fps=$(awk -v n="$frames" -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", n / (b - a) }')

if [ -z "$quickcap_fps" ] || [ -z "$gst_fps" ]; then
  echo "quickcap-vs-gstreamer: a run printed no rate" >&2
  exit 1
fi
echo "quickcap: $quickcap_fps fps (through the pipeline, both windows converting every frame; the camera gives at most 1000)"
echo "gstreamer: $gst_fps fps (test source and one conversion)"
awk -v q="$quickcap_fps" -v g="$gst_fps" 'BEGIN { printf "ratio quickcap/gstreamer: %.2f\n", q / g }'
if [ -n "$conversion_fps" ]; then
  echo "conversion only (olmek-convert-bench, 1 worker): $conversion_fps fps"
  awk -v q="$quickcap_fps" -v c="$conversion_fps" \
    'BEGIN { printf "ratio quickcap/conversion-only: %.2f\n", q / c }'
fi
