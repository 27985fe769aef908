#!/usr/bin/env bash
# Kernel-in-the-loop tests: boots Debian's own kernel in QEMU with an initramfs holding the
# kernel tests, tavro-simcam and brisco-cli, and runs them against vhci_hcd, usbfs, uvcvideo
# and vivid. Prints the GoogleTest summary; exits non-zero when any test fails or the VM does
# not report.
#
# Environment:
#   TAVRO_VM_CACHE    downloads and extracted packages (default ~/.cache/tavro-vm), reused
#   TAVRO_VM_BUILD    build folder of the test programs (default build/vm-test)
#   TAVRO_VM_TIMEOUT  seconds the test boot may take (default 900)
#   TAVRO_VM_FILTER   GoogleTest filter for the kernel tests (default: all)
#   TAVRO_VM_NO_BUILD set: use the programs as they are in TAVRO_VM_BUILD
#   TAVRO_VM_ACCEL    tcg: software emulation without trying KVM first
#   TAVRO_VM_DEBUG    set: the kernel log is printed after the tests
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$(pwd)

cache=${TAVRO_VM_CACHE:-$HOME/.cache/tavro-vm}
build=${TAVRO_VM_BUILD:-build/vm-test}
timeout_s=${TAVRO_VM_TIMEOUT:-900}
filter=${TAVRO_VM_FILTER:-*}
debug=${TAVRO_VM_DEBUG:-}

log() { echo "vm-test: $*" >&2; }
die() { log "$*"; exit 1; }

for tool in qemu-system-x86_64 dpkg-deb apt-get depmod modprobe cpio gzip ldd; do
  command -v "$tool" >/dev/null || die "$tool is missing (run scripts/install-deps.sh)"
done

# --- Debian's kernel and busybox, downloaded once ------------------------------------------
mkdir -p "$cache/debs"
kernel_pkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
[ -n "$kernel_pkg" ] || die "cannot resolve linux-image-amd64 (apt-get update?)"
# udevd: libusb learns of plugged devices through it, as on a real system.
for pkg in "$kernel_pkg" busybox-static udev; do
  if ! ls "$cache/debs/${pkg}_"*.deb >/dev/null 2>&1; then
    log "downloading $pkg"
    (cd "$cache/debs" && apt-get download -q "$pkg") || die "apt-get download $pkg failed"
  fi
done
kver=${kernel_pkg#linux-image-}
sysroot="$cache/root-$kver"
stamp="$(cd "$cache/debs" && ls)"
if [ "$(cat "$sysroot/.extracted" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$sysroot"
  mkdir -p "$sysroot"
  for deb in "$cache/debs/${kernel_pkg}_"*.deb "$cache/debs/busybox-static_"*.deb \
             "$cache/debs/udev_"*.deb; do
    dpkg-deb -x "$deb" "$sysroot"
  done
  depmod -b "$sysroot" "$kver"
  echo "$stamp" > "$sysroot/.extracted"
fi
vmlinuz="$sysroot/boot/vmlinuz-$kver"
[ -f "$vmlinuz" ] || die "no kernel image in $kernel_pkg"

# --- the test programs -----------------------------------------------------------------------
export CCACHE_BASEDIR="$root_dir"
if [ -z "${TAVRO_VM_NO_BUILD:-}" ]; then
  if [ ! -f "$build/build.ninja" ]; then
    cmake --preset dev -B "$build" >/dev/null
  fi
  nice -n 10 cmake --build "$build" --target tavro-kernel-tests tavro-simcam brisco-cli devlink
fi
programs=(
  "$sysroot/bin/udevadm"
  "$build/tools/simcam/kernel-tests/tavro-kernel-tests"
  "$build/tools/simcam/tavro-simcam"
  "$build/panel/cli/brisco-cli"
  "$build/devlink/devlink"
)

# --- the initramfs -------------------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/tavro-vm.XXXXXX")
trap 'rm -rf "$work"' EXIT
initrd="$work/initrd"
mkdir -p "$initrd"/{bin,sbin,proc,sys,dev,tmp,run,tavro,etc}
cp "$sysroot/bin/busybox" "$initrd/bin/busybox"
for applet in sh mount umount insmod modprobe cat echo sleep poweroff ls readlink mkdir \
              grep kill dmesg tail head seq sed wc ps cut tr; do
  ln -sf busybox "$initrd/bin/$applet"
done

# The modules in load order, with everything they depend on.
modules=(vhci-hcd uvcvideo vivid)
mapfile -t insmods < <(for m in "${modules[@]}"; do
                         modprobe -d "$sysroot" -S "$kver" --show-depends "$m"
                       done | awk '$1 == "insmod" {print $2}' | awk '!seen[$0]++')
[ ${#insmods[@]} -gt 0 ] || die "no modules found for ${modules[*]}"
: > "$initrd/etc/modules"
for ko in "${insmods[@]}"; do
  rel=${ko#"$sysroot"}
  mkdir -p "$initrd$(dirname "$rel")"
  case "$ko" in
    *.xz) xz -dc "$ko" > "$initrd${rel%.xz}"; rel=${rel%.xz} ;;
    *.zst) zstd -qdc "$ko" > "$initrd${rel%.zst}"; rel=${rel%.zst} ;;
    *) cp "$ko" "$initrd$rel" ;;
  esac
  echo "$rel" >> "$initrd/etc/modules"
done
cp "$sysroot/lib/modules/$kver/modules.order" "$sysroot/lib/modules/$kver/modules.builtin" \
   "$initrd/lib/modules/$kver/" 2>/dev/null || true
depmod -b "$initrd" "$kver"

for p in "${programs[@]}"; do
  [ -x "$p" ] || die "$p was not built"
  cp "$p" "$initrd/tavro/"
  ldd "$p" | awk '/=> \// {print $3} /^\t\/lib64/ {print $1}' | while read -r lib; do
    mkdir -p "$initrd$(dirname "$lib")"
    cp -L "$lib" "$initrd$lib"
    # A build folder's own libraries also go where the VM finds them whatever the folder:
    # /tmp is a fresh tmpfs inside.
    case "$lib" in
      /lib/*|/lib64/*|/usr/*) ;;
      *) mkdir -p "$initrd/usr/lib/tavro"; cp -L "$lib" "$initrd/usr/lib/tavro/" ;;
    esac
  done
done
ln -sf /tavro/udevadm "$initrd/sbin/systemd-udevd"
mkdir -p "$initrd/lib64"
cp -L /lib64/ld-linux-x86-64.so.2 "$initrd/lib64/"

cat > "$initrd/init" <<EOF
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
mount -t tmpfs run /run
mkdir -p /run/udev
echo 1 > /proc/sys/kernel/printk
while read -r m; do insmod "\$m" || echo "TAVRO-VM: insmod \$m failed"; done < /etc/modules
export PATH=/tavro:/bin:/sbin HOME=/tmp LD_LIBRARY_PATH=/usr/lib/tavro
cd /tavro
systemd-udevd --daemon
[ -n "$debug" ] && echo 0xffff > /sys/module/uvcvideo/parameters/trace
if [ "\$1" = probe ]; then echo TAVRO-VM-PROBE-OK; poweroff -f; fi

echo "TAVRO-VM: brisco-cli list with the camera on USB/IP"
tavro-simcam > /tmp/simcam.log 2>&1 &
simcam=\$!
for i in \$(seq 1 200); do grep -q ready /tmp/simcam.log && break; sleep 0.1; done
cat /tmp/simcam.log
# uvcvideo registers the camera's node a little after the USB device appears.
for i in \$(seq 1 300); do
  for v in /sys/class/video4linux/video*; do readlink -f \$v/device; done 2>/dev/null | grep -q usb && break
  sleep 0.1
done
brisco-cli list
for v in /sys/class/video4linux/video*; do
  [ -e "\$v" ] && echo "\$(basename \$v): \$(cat \$v/name) at \$(readlink -f \$v/device)"
done
if [ -n "$debug" ]; then
  cut -d' ' -f1 /proc/modules | tr '\\n' ' '; echo
  for d in /sys/bus/usb/devices/*; do echo "\$d \$(cat \$d/bConfigurationValue 2>/dev/null) \$(readlink \$d/driver)"; done
  dmesg | grep -i -E 'uvc|video|2-1' | tail -60
  cat /tmp/simcam.log
fi
kill \$simcam; wait \$simcam

echo "TAVRO-VM: kernel tests"
tavro-kernel-tests --gtest_filter='$filter' --gtest_color=no
rc=\$?
[ -n "$debug" ] && dmesg | grep -v -i "control\|mapping" | tail -150
echo "TAVRO-VM-RESULT: \$rc"
poweroff -f
EOF
chmod +x "$initrd/init"
(cd "$initrd" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initrd.gz"

# --- boot ----------------------------------------------------------------------------------
qemu_base=(qemu-system-x86_64 -m 1536 -smp 2 -nographic -no-reboot -kernel "$vmlinuz"
           -initrd "$work/initrd.gz" -nic none)
append="console=ttyS0 panic=-1 quiet loglevel=1"

# KVM only after a short probe boot under it succeeds: on some hosts a KVM guest hangs before
# the kernel starts.
accel=(-accel tcg)
if [ -w /dev/kvm ] && [ "${TAVRO_VM_ACCEL:-}" != tcg ]; then
  if timeout 20 "${qemu_base[@]}" -accel kvm -cpu host -append "$append rdinit=/init -- probe" \
       </dev/null 2>/dev/null | grep -q TAVRO-VM-PROBE-OK; then
    accel=(-accel kvm -cpu host)
    log "KVM works; using it"
  else
    log "KVM probe boot failed; software emulation"
  fi
fi

out="$work/console.log"
log "booting $kver ($( [ "${accel[1]}" = tcg ] && echo software emulation || echo KVM ))"
set +e
timeout "$timeout_s" "${qemu_base[@]}" "${accel[@]}" -append "$append" </dev/null \
  | tr -d '\r' | tee "$out"
qemu_rc=${PIPESTATUS[0]}
set -e
[ "$qemu_rc" -eq 124 ] && die "the VM did not finish within ${timeout_s}s"

result=$(sed -n 's/^TAVRO-VM-RESULT: \([0-9]*\)$/\1/p' "$out" | tail -1)
[ -n "$result" ] || die "the VM reported no test result"
echo
grep -E '^\[  (PASSED|FAILED)  \]|^\[==========\] [0-9]+ tests? from' "$out" || true
if [ "$result" -ne 0 ]; then
  die "kernel tests failed (exit $result)"
fi
log "all kernel tests passed"
