#!/usr/bin/env bash
# Backs up the same data with vantrel-cli and with GNU tar (32 KiB blocks to a file), with and
# without softcompression against per-file `zip -9`, and prints the throughput ratios.
#
#   bench/backup_throughput.sh [BUILD_DIR] [MEGABYTES]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
megabytes="${2:-200}"
cli="$build/vantrel-cli"
[ -x "$cli" ] || { echo "build first: $cli is missing" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
data="$work/data"
mkdir -p "$data"

# Mixed data: compressible text in many small files, and incompressible random files.
python3 - "$data" "$megabytes" <<'PY'
import os, random, sys
root, megabytes = sys.argv[1], int(sys.argv[2])
rng = random.Random(42)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9)))
         for _ in range(5000)]
total, target, n = 0, megabytes * 1048576, 0
while total < target:
    d = os.path.join(root, 'dir%02d' % (n % 20))
    os.makedirs(d, exist_ok=True)
    if n % 3 == 2:
        size = rng.randint(100000, 4000000)
        body = os.urandom(size)
    else:
        size = rng.randint(1000, 300000)
        text = []
        length = 0
        while length < size:
            w = rng.choice(words)
            text.append(w)
            length += len(w) + 1
        body = ' '.join(text).encode()[:size]
    with open(os.path.join(d, 'file%05d.%s' % (n, 'bin' if n % 3 == 2 else 'txt')), 'wb') as f:
        f.write(body)
    total += len(body)
    n += 1
print('%d files, %.1f MiB' % (n, total / 1048576))
PY
bytes=$(du -sb "$data" | cut -f1)

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc -l; }

run_vantrel() {
  local compress="$1" home="$work/home-$1"
  rm -rf "$home"; mkdir -p "$home"
  cat >"$home/bench.job" <<JOB
[Backup_files]
Path0=$data/
[Options]
Short Protocoll=1
Autostart Backup=0
[Compressions]
Softcompression=$compress
Faktor=9
[Update]
Automaticly=0
JOB
  "$cli" --home "$home" --tape "$home/vtape" vtape new big --capacity 4294967296 >/dev/null
  "$cli" --home "$home" --tape "$home/vtape" vtape load big >/dev/null
  seconds "$cli" --home "$home" --tape "$home/vtape" --yes backup --job "$home/bench.job"
}

run_tar() { seconds tar -b 64 -cf "$work/data.tar" -C "$work" data; }
# The virtual drive puts its data on stable storage when it is closed; tar followed by a sync of
# its archive does the same work.
run_tar_synced() {
  seconds bash -c "tar -b 64 -cf '$work/data.tar' -C '$work' data && sync -d '$work/data.tar'"
}

run_zip() {
  local out="$work/zips"
  rm -rf "$out"; mkdir -p "$out"
  seconds bash -c "cd '$data' && find . -type f | while read -r f; do zip -q -9 -j \"$out/\$(echo \"\$f\" | tr / _).zip\" \"\$f\"; done"
}

mbps() { echo "scale=1; $bytes / 1048576 / $1" | bc -l; }

vantrel_plain=$(run_vantrel 0)
tar_plain=$(run_tar)
tar_synced=$(run_tar_synced)
vantrel_zip=$(run_vantrel 1)
zip_files=$(run_zip)

printf '%-32s %8s %10s\n' "run" "seconds" "MB/s"
printf '%-32s %8.2f %10s\n' "vantrel-cli backup" "$vantrel_plain" "$(mbps "$vantrel_plain")"
printf '%-32s %8.2f %10s\n' "tar -b 64 -cf" "$tar_plain" "$(mbps "$tar_plain")"
printf '%-32s %8.2f %10s\n' "tar -b 64 -cf, then sync" "$tar_synced" "$(mbps "$tar_synced")"
printf '%-32s %8.2f %10s\n' "vantrel-cli backup, softcompr." "$vantrel_zip" "$(mbps "$vantrel_zip")"
printf '%-32s %8.2f %10s\n' "zip -9 per file" "$zip_files" "$(mbps "$zip_files")"
echo "throughput ratio vantrel/tar:            $(echo "scale=2; $tar_plain / $vantrel_plain" | bc -l)"
echo "throughput ratio vantrel/(tar + sync):   $(echo "scale=2; $tar_synced / $vantrel_plain" | bc -l)"
echo "throughput ratio vantrel-softcompr./zip: $(echo "scale=2; $zip_files / $vantrel_zip" | bc -l)"
