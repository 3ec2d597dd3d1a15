#!/usr/bin/env python3
"""Stamp profiles: 255 × 16 MiB with a profile beside without (paired
rounds, the same disk), and the 65535-device job with a profile on a
loop-mounted XFS made with reflinks (root only). Needs a quiet machine.

    profile_bench.py --bin BUILD/bin --work DIR [--pairs 7] [--markdown FILE]

The profile is the sample's shape on a 16 MiB image: a boot-loader
environment (64 KiB under a CRC-32, made by mkenvimage), its ethaddr as
text, a calibration block's MAC under an XOR-16, and the default records.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time
import zlib

ENV, ENV_SIZE, CAL, CAL_END = 0x200000, 0x10000, 0x300000, 0x300844


def make_image(path, work):
    image = bytearray(os.urandom(16 << 20))
    image[0x1C000:0x1C002] = b"\xD3\x57"
    image[0x1C060] = 0
    image[0x20000:0x20004] = b"\x53\x70\xEB\x67"
    image[0x20183] = ord("x")
    text = os.path.join(work, "env.txt")
    with open(text, "w") as out:
        out.write("bootdelay=3\nethaddr=00:11:22:33:44:55\nbootcmd=run boot\n")
    env = os.path.join(work, "env.bin")
    if shutil.which("mkenvimage"):
        subprocess.run(["mkenvimage", "-s", hex(ENV_SIZE), "-o", env, text], check=True)
        with open(env, "rb") as f:
            data = f.read()
    else:  # the same layout: CRC-32 of the rest, then NUL-separated pairs
        body = b"bootdelay=3\0ethaddr=00:11:22:33:44:55\0bootcmd=run boot\0\0"
        body = body.ljust(ENV_SIZE - 4, b"\xff")
        data = zlib.crc32(body).to_bytes(4, "little") + body
    image[ENV:ENV + ENV_SIZE] = data
    ethaddr = ENV + data.index(b"ethaddr=") + len(b"ethaddr=")
    image[CAL + 2:CAL + 4] = b"\0\0"
    with open(path, "wb") as out:
        out.write(image)
    return ethaddr


def write_profile(path, ethaddr):
    with open(path, "w") as out:
        out.write(f"""[[field]]
type = "mac"
from_end = 0x10000
address = 1
[[field]]
type = "mac-text"
offset = {ethaddr:#x}
address = 1
[[field]]
type = "mac"
offset = 0x300006
address = 1
[[checksum]]
type = "crc32"
offset = {ENV:#x}
start = {ENV + 4:#x}
end = {ENV + ENV_SIZE:#x}
[[checksum]]
type = "xor16"
offset = 0x300002
start = {CAL:#x}
end = {CAL_END:#x}
""")


def timed(argv):
    """Wall and CPU seconds of one run. The page cache the previous run
    left dirty is written out first, outside the timed part: otherwise
    each run pays for the one before it."""
    os.sync()
    before = os.times()
    start = time.monotonic()
    done = subprocess.run(argv, capture_output=True)
    wall = time.monotonic() - start
    after = os.times()
    if done.returncode != 0:
        sys.exit(f"failed: {' '.join(argv)}\n{done.stderr.decode()}")
    cpu = (after.children_user - before.children_user) + (after.children_system -
                                                          before.children_system)
    return wall, cpu


def paired(args, image, profile, out, count, pairs):
    base = [os.path.join(args.bin, "quillmark-cli"), "--image", image, "--out", out,
            "--count", str(count), "--quiet"]
    without, with_profile = [], []
    for pair in range(pairs):
        order = ((without, []), (with_profile, ["--profile", profile]))
        # Alternating which goes first keeps the machine's drift out of the ratio.
        for runs, extra in order if pair % 2 == 0 else reversed(order):
            shutil.rmtree(out, ignore_errors=True)
            runs.append(timed(base + extra))
    shutil.rmtree(out, ignore_errors=True)
    median = lambda runs, i: statistics.median(run[i] for run in runs)
    return [(median(without, i), median(with_profile, i)) for i in (0, 1)]


def xfs_job(args, profile_path, ethaddr):
    if os.geteuid() != 0 or shutil.which("mkfs.xfs") is None:
        return "Skipped: needs root (to loop-mount) and mkfs.xfs.\n"
    mount = os.path.join(args.work, "xfs")
    os.makedirs(mount, exist_ok=True)
    backing = os.path.join(args.work, "xfs.img")
    with open(backing, "wb") as f:
        f.truncate(8 << 30)
    subprocess.run(["mkfs.xfs", "-q", "-f", "-m", "reflink=1", backing], check=True)
    subprocess.run(["mount", "-o", "loop", backing, mount], check=True)
    try:
        image = os.path.join(mount, "image.bin")
        make_image(image, args.work)
        out = os.path.join(mount, "out")
        os.sync()
        free = shutil.disk_usage(mount).free
        seconds, cpu = timed([os.path.join(args.bin, "quillmark-cli"), "--image", image, "--out",
                              out, "--count", str(args.xfs_count), "--quiet", "--profile",
                              profile_path])
        os.sync()
        taken = (free - shutil.disk_usage(mount).free) / (1 << 20)
        return (f"| {args.xfs_count} × 16 MiB with the profile | {seconds:.2f} s (CPU {cpu:.2f} s) | "
                f"{taken:.0f} MiB | goal < 10 s |\n")
    finally:
        subprocess.run(["umount", mount], check=False)
        os.remove(backing)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--pairs", type=int, default=7)
    parser.add_argument("--markdown")
    # Smaller jobs only to see that the script still runs; their figures mean nothing.
    parser.add_argument("--count", type=int, default=255)
    parser.add_argument("--xfs-count", type=int, default=65535)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    image = os.path.join(args.work, "profile-image.bin")
    ethaddr = make_image(image, args.work)
    profile = os.path.join(args.work, "profile.toml")
    write_profile(profile, ethaddr)
    load = os.getloadavg()[0]
    (a, b), (cpu_a, cpu_b) = paired(args, image, profile, os.path.join(args.work, "out"),
                                    args.count, args.pairs)
    text = (f"#### Stamp profiles (load average {load:.2f} at the start)\n\n"
            "| job | without | with the profile | ratio (goal ≤ 1.10) |\n|---|---|---|---|\n"
            f"| {args.count} × 16 MiB, wall, median of {args.pairs} pairs | {a:.2f} s | {b:.2f} s | "
            f"{b / a:.2f} |\n"
            f"| {args.count} × 16 MiB, CPU, median of {args.pairs} pairs | {cpu_a:.2f} s | "
            f"{cpu_b:.2f} s | {cpu_b / cpu_a:.2f} |\n\n"
            "| reflink XFS | time | file system taken | goal |\n|---|---|---|---|\n" +
            xfs_job(args, profile, ethaddr))
    print(text)
    if args.markdown:
        with open(args.markdown, "a") as out:
            out.write(text + "\n")


if __name__ == "__main__":
    main()
