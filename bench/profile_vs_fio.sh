#!/usr/bin/env bash
# The full test (ferrovane-cli speed --profile) and fio side by side: the
# same eight jobs (direct=1, same block size, queue depth, file size and
# time) on one loop volume whose backing file is read and written with
# direct I/O, alternating, several rounds. Prints each figure's IOPS ratio
# (ours / fio's) with its spread over the rounds. Needs root (loop device,
# mount, blkio cgroup).
#
#   bench/profile_vs_fio.sh [CLI] [ROUNDS] [SIZE_MB] [SECONDS]
#
# Both sides run in one blkio cgroup that throttles the loop device alike
# (THROTTLE=0 turns that off), so the deep queues meet the same ceiling
# whatever else the machine does. BACKING=/dev/shm puts the volume's image in
# memory, so that the figures are the two programs' own work, not the disk's.
set -euo pipefail

cli=${1:-build/src/cli/ferrovane-cli}
rounds=${2:-3}
size_mb=${3:-256}
seconds=${4:-5}
warmup=${WARMUP:-1}
throttle=${THROTTLE:-1}

command -v fio >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q fio >/dev/null
cli=$(realpath "$cli")

work=$(mktemp -d "${BACKING:-/var/tmp}/fv-profile-bench.XXXXXX")
loop=""
cgroup=""
cleanup() {
    mountpoint -q "$work/volume" && umount "$work/volume"
    [ -n "$loop" ] && losetup -d "$loop"
    [ -n "$cgroup" ] && [ -d "$cgroup" ] && rmdir "$cgroup"
    rm -rf "$work"
}
trap cleanup EXIT

truncate -s $((size_mb * 2 + 256))M "$work/image"
loop=$(losetup --direct-io=on -f --show "$work/image")
mkfs.ext4 -q "$loop"
mkdir "$work/volume"
mount "$loop" "$work/volume"
echo "loop volume: $loop ($(cat /sys/block/${loop#/dev/}/loop/dio 2>/dev/null | sed 's/1/direct I\/O/;s/0/buffered/')) on $(df --output=source "$work" | tail -1)"

if [ "$throttle" = 1 ] && [ -d /sys/fs/cgroup/blkio ]; then
    cgroup=/sys/fs/cgroup/blkio/fv-profile-bench-$$
    mkdir "$cgroup"
    dev=$(lsblk -ndo MAJ:MIN "$loop" | tr -d ' ')
    # A ceiling both sides meet in their deep figures: 400 MB/s, 20000 IOPS
    # each way.
    echo "$dev 419430400" >"$cgroup/blkio.throttle.read_bps_device"
    echo "$dev 419430400" >"$cgroup/blkio.throttle.write_bps_device"
    echo "$dev 20000" >"$cgroup/blkio.throttle.read_iops_device"
    echo "$dev 20000" >"$cgroup/blkio.throttle.write_iops_device"
    echo "blkio throttle on $dev: 400 MB/s and 20000 IOPS each way, for both sides"
fi
# NICE=-15 lifts both sides alike above the rest of a busy machine, whose
# scheduling delays otherwise decide the queue-depth-1 figures.
priority=(nice -n "${NICE:-0}")
in_cgroup() {
    if [ -n "$cgroup" ]; then
        "${priority[@]}" sh -c 'echo $$ >"$0/cgroup.procs" && shift && exec "$@"' "$cgroup" -- "$@"
    else
        "${priority[@]}" "$@"
    fi
}

run_profile() { # engine out
    in_cgroup "$cli" speed --profile --json --engine "$1" --size "${size_mb}MB" \
        --seconds "$seconds" --warmup "$warmup" "$work/volume" >"$2" 2>"$work/profile.log" ||
        { cat "$work/profile.log" >&2; return 1; }
}
ms() { python3 -c "print(round($1 * 1000))"; }
run_fio() { # engine out
    local jobs="$work/jobs.fio"
    {
        printf '[global]\nioengine=%s\ndirect=1\nthread=1\nfilename=%s\nsize=%sM\n' \
            "$1" "$work/volume/fio.bin" "$size_mb"
        printf 'time_based=1\nruntime=%sms\nramp_time=%sms\nrandrepeat=0\nrefill_buffers=1\n' \
            "$(ms "$seconds")" "$(ms "$warmup")"
        for op in read write; do
            printf '[seq-q8-%s]\nstonewall\nrw=%s\nbs=1M\niodepth=8\n' $op $op
            printf '[seq-q1-%s]\nstonewall\nrw=%s\nbs=1M\niodepth=1\n' $op $op
            printf '[rand-q32-%s]\nstonewall\nrw=rand%s\nbs=4k\niodepth=32\n' $op $op
            printf '[rand-q1-%s]\nstonewall\nrw=rand%s\nbs=4k\niodepth=1\n' $op $op
        done
    } >"$jobs"
    in_cgroup fio --output-format=json --output="$2" "$jobs" >/dev/null
    rm -f "$work/volume/fio.bin"
}

engine=${ENGINE:-io_uring}
echo "machine: $(nproc) cores, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "engine $engine, file ${size_mb}MB, ${warmup}s warm-up + ${seconds}s per figure, $rounds rounds, nice ${NICE:-0}"
for round in $(seq 1 "$rounds"); do
    if [ $((round % 2)) = 1 ]; then
        run_profile "$engine" "$work/profile.$round.json"
        run_fio "$engine" "$work/fio.$round.json"
    else
        run_fio "$engine" "$work/fio.$round.json"
        run_profile "$engine" "$work/profile.$round.json"
    fi
    echo "round $round done, load $(cut -d' ' -f1 /proc/loadavg)"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$work" "$rounds" <<'PY'
import json, statistics, sys
work, rounds = sys.argv[1], int(sys.argv[2])
names = []
ours, theirs = {}, {}
for r in range(1, rounds + 1):
    profile = json.load(open(f"{work}/profile.{r}.json"))
    fio = json.load(open(f"{work}/fio.{r}.json"))
    for res in profile["results"]:
        key = f"{res['pattern']}-q{res['queueDepth']}-{res['operation']}"
        if key not in names:
            names.append(key)
        ours.setdefault(key, []).append(res["iops"])
    for job in fio["jobs"]:
        op = "write" if job["jobname"].endswith("write") else "read"
        theirs.setdefault(job["jobname"], []).append(job[op]["iops"])
print(f"{'figure':16} {'ours IOPS':>11} {'fio IOPS':>11} {'ratio':>7} {'median':>7} {'min':>6} {'max':>6}")
for key in names:
    ratios = [a / b for a, b in zip(ours[key], theirs[key]) if b > 0]
    print(f"{key:16} {statistics.mean(ours[key]):11.0f} {statistics.mean(theirs[key]):11.0f} "
          f"{statistics.mean(ratios):7.3f} {statistics.median(ratios):7.3f} "
          f"{min(ratios):6.3f} {max(ratios):6.3f}")
PY
