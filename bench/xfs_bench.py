"""The jobs on a loop-mounted XFS made with reflinks (root only): 4096 ×
16 MiB beside a peer that clones with cp, then the whole address range,
65535 × 16 MiB with one and with four addresses per device, in an 8 GiB
file system (1 TiB of images).

The space a batch takes is the file system's used bytes after the run
(after `sync -f`, which settles what the file system set aside for data
not yet written) less those before it. The whole-range jobs check every
1,000th device and the last byte for byte, and every name and size.
"""
import os
import random
import shutil
import statistics
import subprocess
import sys

import bench

FILE_SYSTEM_BYTES = 8 << 30
RANGE = 65535
# What the command-line tool's free-space check counts per device here:
# the 4 KiB block its records are written into and 4 KiB for its inode
# and directory entries (generator/device_file_writer.cpp).
COUNTED_PER_DEVICE = 8192


def used_bytes(path):
    subprocess.run(["sync", "-f", path], check=False)
    info = os.statvfs(path)
    return (info.f_blocks - info.f_bfree) * info.f_frsize


def run(args, image_path):
    if os.geteuid() != 0 or shutil.which("mkfs.xfs") is None:
        return "### XFS with reflinks\n\nSkipped: needs root (to loop-mount) and mkfs.xfs.\n"
    backing = os.path.join(args.work, "xfs.img")
    mount_point = os.path.join(args.work, "xfs")
    os.makedirs(mount_point, exist_ok=True)
    with open(backing, "wb") as disk:
        disk.truncate(FILE_SYSTEM_BYTES)
    made = subprocess.run(["mkfs.xfs", "-q", "-f", "-m", "reflink=1", backing],
                          capture_output=True)
    mounted = made.returncode == 0 and subprocess.run(
        ["mount", "-o", "loop", backing, mount_point], capture_output=True).returncode == 0
    try:
        if not mounted:
            return "### XFS with reflinks\n\nSkipped: the loop file system could not be made " \
                   "or mounted here.\n"
        # cp can share data only within one file system: the image goes
        # there first, as a user would put it.
        local_image = os.path.join(mount_point, "image.bin")
        shutil.copyfile(image_path, local_image)
        wanted = args.jobs.split(",")
        tables = []
        if "xfs" in wanted:
            tables.append(peer_table(args, local_image, mount_point))
        if "xfs-range" in wanted:
            for per_device in (1, 4):
                print("XFS with reflinks: the whole range, %d per device" % per_device,
                      file=sys.stderr, flush=True)
                tables.append(range_table(args, local_image, mount_point, per_device))
        return "\n".join(tables)
    finally:
        if mounted:
            subprocess.run(["umount", mount_point], check=False)
        os.unlink(backing)


def cli_argv(args, image_path, out, job):
    return [os.path.join(args.bin, "quillmark-cli"), "--image", image_path, "--out", out,
            "--start-mac", bench.START, "--count", str(job.count),
            "--macs-per-device", str(job.per_device), "--quiet"]


def timed_rounds(writers, job, out, mount_point, check, rounds):
    """Runs every writer once per round in a shuffled order; returns the
    results, the checks and the most space each run took."""
    results = {name: [] for name, _, _ in writers}
    checks, space = {}, {}
    for round_number in range(rounds):
        order = list(writers)
        random.Random(round_number).shuffle(order)
        for name, argv, _ in order:
            bench.empty_folder(out)
            before = used_bytes(mount_point)
            result = bench.timed_run(argv)
            results[name].append(result)
            if result["ok"]:
                space[name] = max(space.get(name, 0), used_bytes(mount_point) - before)
            if name not in checks:
                checks[name] = check() if result["ok"] else "failed: " + result["error"][:120]
            print("  %-26s round %d: %.3f s%s" % (name, round_number + 1, result["wall"],
                                                  "" if result["ok"] else " (failed)"),
                  file=sys.stderr, flush=True)
    bench.empty_folder(out)
    return results, checks, space


def peer_table(args, image_path, mount_point):
    job = bench.Job("xfs", 4096, 16, 1, args.rounds_xfs)
    out = os.path.join(mount_point, "out")
    common = [image_path, out, bench.START, str(job.count), str(job.per_device)]
    here = os.path.dirname(os.path.abspath(__file__))
    writers = [
        ("quillmark-cli", cli_argv(args, image_path, out, job), False),
        ("core batch writer", [os.path.join(args.bin, "quillmark-core-batch")] + common, False),
        ("peer: cp --reflink=always + dd",
         ["bash", os.path.join(here, "peer_writer.sh")] + common + ["--reflink=always"], True),
    ]
    with open(image_path, "rb") as source:
        image = source.read()
    results, checks, space = timed_rounds(
        writers, job, out, mount_point, lambda: bench.check_output(out, image, job), job.rounds)
    title, rows = bench.summarise("XFS with reflinks: 4096 × 16 MiB, 1 per device (64 GiB of "
                                  "images in an 8 GiB file system)", writers, results, checks)
    goals = []
    for row in rows:
        if row["name"] in space:
            row["check"] += "; took %.0f MiB of the file system" % (space[row["name"]] / bench.MIB)
        if "wall" in row and not row["peer"]:
            met = row["wall"] < 5 and space[row["name"]] < 1 << 30
            goals.append("- %s: %.2f s and %.0f MiB (goal < 5 s and < 1024 MiB): %s" % (
                row["name"], row["wall"], space[row["name"]] / bench.MIB,
                "met" if met else "NOT met"))
        elif not row["peer"]:
            goals.append("- %s: did not complete" % row["name"])
    return bench.format_table(title, rows) + "\n" + "\n".join(goals) + "\n"


def check_range(out, image, job):
    """Every name and size, and every 1,000th device and the last byte for
    byte; empty when all is well, else what is wrong."""
    expected_names, sampled = set(), {}
    for index, (name, content) in enumerate(bench.expected_files(image, job)):
        expected_names.add(name)
        if index % 1000 == 0 or index == job.count - 1:
            sampled[name] = bytes(content)
    sizes = {}
    with os.scandir(out) as entries:
        for entry in entries:
            sizes[entry.name] = entry.stat(follow_symlinks=False).st_size
    if set(sizes) != expected_names:
        return "names differ: %d found, %d expected, %d unexpected" % (
            len(sizes), len(expected_names), len(set(sizes) - expected_names))
    wrong_size = [name for name, size in sizes.items() if size != len(image)]
    if wrong_size:
        return "%d files of the wrong size, e.g. %s" % (len(wrong_size), wrong_size[0])
    for name, content in sampled.items():
        with open(os.path.join(out, name), "rb") as produced:
            if produced.read() != content:
                return "%s differs" % name
    return ""


def limit_ratio_line(results):
    """quillmark-cli against the one-thread reflink writer, as the median of
    the rounds' ratios: each round runs both back to back, so a round's
    ratio sees one load."""
    pairs = [(cli["wall"], limit["wall"])
             for cli, limit in zip(results["quillmark-cli"], results["reflink limit writer"])
             if cli["ok"] and limit["ok"]]
    if not pairs:
        return "- against the reflink limit writer: no round where both completed"
    ratio = statistics.median(cli / limit for cli, limit in pairs)
    return "- %.2f × the reflink limit writer, median of %d rounds (goal ≤ 1.10): %s" % (
        ratio, len(pairs), "met" if ratio <= 1.10 else "NOT met")


def range_table(args, image_path, mount_point, per_device):
    job = bench.Job("range", RANGE, 16, per_device, args.rounds_xfs_range)
    out = os.path.join(mount_point, "out")
    limit = os.path.join(args.bin, "quillmark-reflink-limit-writer")
    writers = [("quillmark-cli", cli_argv(args, image_path, out, job), False),
               ("reflink limit writer", [limit, image_path, out, bench.START, str(job.count),
                                         str(job.per_device)], True)]
    with open(image_path, "rb") as source:
        image = source.read()
    results, checks, space = timed_rounds(
        writers, job, out, mount_point, lambda: check_range(out, image, job), job.rounds)
    title = "XFS with reflinks: %d × 16 MiB, %d per device (1 TiB of images in an 8 GiB file " \
            "system)" % (job.count, per_device)
    title, rows = bench.summarise(title, writers, results, checks)
    row = rows[0]
    if "wall" not in row:
        return "### %s\n\n- quillmark-cli did not complete: %s\n" % (title, row["failed"])
    taken = space["quillmark-cli"]
    row["check"] += "; took %.0f MiB of the file system (%.0f bytes a device)" % (
        taken / bench.MIB, taken / job.count)
    memory = len(image) + 8 * bench.MIB
    counted = len(image) + job.count * COUNTED_PER_DEVICE
    goals = [
        "- %.2f s (goal < 10 s): %s" % (row["wall"], "met" if row["wall"] < 10 else "NOT met"),
        limit_ratio_line(results),
        "- %.0f MiB of the file system (goal < 512 MiB): %s" % (
            taken / bench.MIB, "met" if taken < 512 * bench.MIB else "NOT met"),
        "- peak memory %.1f MiB (goal ≤ %.0f MiB): %s" % (
            row["rss"] / bench.MIB, memory / bench.MIB, "met" if row["rss"] <= memory else "NOT met"),
        "- the free-space check counts %.0f MiB for this batch: %.2f × what it took" % (
            counted / bench.MIB, counted / taken if taken else 0),
    ]
    return bench.format_table(title, rows) + "\n" + "\n".join(goals) + "\n"
