#!/usr/bin/env python3
"""Times quillmark-cli verify against the read limit and a cmp loop.

One batch of 255 × 16 MiB images is written once. On a warm page cache,
verify, the read limit (a plain two-thread reader of the same files,
bench/read_limit.cpp) and a shell loop of cmp take turns, in an order
shuffled every round. From the disk, verify --from-disk and the read
limit each run right after the page cache was dropped (needs root).
Wall time is the median over the rounds; CPU time and peak resident
memory come from /usr/bin/time.
"""
import argparse
import glob
import os
import random
import shutil
import statistics
import subprocess
import sys

from bench import MIB, START, format_table, timed_run

COUNT, IMAGE_MIB = 255, 16


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as control:
        control.write("3\n")


def run_rounds(commands, rounds, before_each=None):
    results = {name: [] for name in commands}
    for round_number in range(rounds):
        order = list(commands)
        random.Random(round_number).shuffle(order)
        for name in order:
            if before_each:
                before_each()
            result = timed_run(commands[name])
            if not result["ok"]:
                sys.exit("%s failed: %s %s" % (name, result["stdout"][-300:], result["error"]))
            results[name].append(result)
            print("  %-24s round %d: %.3f s" % (name, round_number + 1, result["wall"]),
                  file=sys.stderr, flush=True)
    return results


def rows_of(results, peers=()):
    rows = []
    for name, runs in results.items():
        walls = [r["wall"] for r in runs]
        rows.append({"name": name, "peer": name in peers, "wall": statistics.median(walls),
                     "low": min(walls), "high": max(walls),
                     "cpu": statistics.median(r["cpu"] for r in runs),
                     "sys": statistics.median(r["sys"] for r in runs),
                     "rss": max(r["rss"] for r in runs), "runs": len(runs), "check": "ok"})
    return rows


def table(title, rows, base):
    """format_table's columns, with the read limit in the reference's place."""
    text = format_table(title, [dict(row, name=("reference" if row["name"] == base else
                                                row["name"])) for row in rows])
    return text.replace("× reference", "× read limit").replace("| reference |",
                                                                "| %s |" % base)


def ratio_line(what, value, goal):
    return "- %s: %.2f (goal ≤ %.2f): %s" % (what, value, goal, "met" if value <= goal else "NOT met")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--rounds-disk", type=int, default=3)
    parser.add_argument("--markdown")
    # A smaller batch only to see that the script still runs; its figures mean nothing.
    parser.add_argument("--count", type=int, default=COUNT)
    parser.add_argument("--image-mib", type=int, default=IMAGE_MIB, choices=(4, 16))
    parser.add_argument("--skip-disk", action="store_true",
                        help="leave out the runs from the disk (they drop the page cache)")
    args = parser.parse_args()
    count, image_mib = args.count, args.image_mib
    here = os.path.dirname(os.path.abspath(__file__))
    os.makedirs(args.work, exist_ok=True)
    image = os.path.join(args.work, "image_%dmib.bin" % image_mib)
    if not os.path.exists(image):
        subprocess.run([sys.executable, os.path.join(here, "make_fixture.py"), image,
                        str(image_mib)], check=True)
    out = os.path.join(args.work, "verify-out")
    lot = os.path.join(args.work, "verify-lot.csv")
    shutil.rmtree(out, ignore_errors=True)
    cli = os.path.join(args.bin, "quillmark-cli")
    written = subprocess.run([cli, "--image", image, "--out", out, "--start-mac", START,
                              "--count", str(count), "--manifest", lot, "--quiet"])
    if written.returncode != 0:
        sys.exit("writing the batch failed")
    files = sorted(glob.glob(os.path.join(out, "fw_*.img")))
    verify = [cli, "verify", "--image", image, "--out", out, "--manifest", lot, "--quiet"]
    read_limit = [os.path.join(args.bin, "quillmark-read-limit")] + files
    cmp_loop = ["bash", os.path.join(here, "cmp_loop.sh"), image, out, "1"]

    title = "%d × %d MiB" % (count, image_mib)
    print("verify, warm cache: " + title, file=sys.stderr, flush=True)
    timed_run(read_limit)  # everything into the cache first
    warm = run_rounds({"read limit": read_limit, "quillmark-cli verify": verify,
                       "cmp loop": cmp_loop}, args.rounds)
    warm_rows = rows_of(warm, peers=("cmp loop",))
    median = {row["name"]: row for row in warm_rows}
    tables = [table("verify, warm page cache: " + title, warm_rows, "read limit")]
    limit = image_mib * MIB + 8 * MIB
    goals = [
        ratio_line("verify ÷ read limit, warm", median["quillmark-cli verify"]["wall"] /
                   median["read limit"]["wall"], 1.10),
        ratio_line("verify ÷ cmp loop, warm", median["quillmark-cli verify"]["wall"] /
                   median["cmp loop"]["wall"], 0.50),
        "- verify peak memory %.1f MiB (goal ≤ %.0f MiB): %s" % (
            median["quillmark-cli verify"]["rss"] / MIB, limit / MIB,
            "met" if median["quillmark-cli verify"]["rss"] <= limit else "NOT met")]

    if os.geteuid() == 0 and not args.skip_disk:
        print("verify, from the disk: " + title, file=sys.stderr, flush=True)
        disk = run_rounds({"read limit": read_limit,
                           "quillmark-cli verify --from-disk": verify + ["--from-disk"]},
                          args.rounds_disk, before_each=drop_caches)
        disk_rows = rows_of(disk)
        by_name = {row["name"]: row for row in disk_rows}
        tables.append(table("verify, from the disk (page cache dropped before each run): " +
                            title, disk_rows, "read limit"))
        verify_disk = by_name["quillmark-cli verify --from-disk"]
        goals.append(ratio_line("verify --from-disk ÷ read limit from the disk",
                                verify_disk["wall"] / by_name["read limit"]["wall"], 1.10))
        goals.append("- verify --from-disk peak memory %.1f MiB (goal ≤ %.0f MiB): %s" % (
            verify_disk["rss"] / MIB, limit / MIB, "met" if verify_disk["rss"] <= limit else
            "NOT met"))
    else:
        tables.append("### verify, from the disk\n\nSkipped: dropping the page cache needs "
                      "root (and no --skip-disk).\n")
    shutil.rmtree(out, ignore_errors=True)
    load = os.getloadavg()
    tables.append("### Goals of quillmark-cli verify\n\n" + "\n".join(goals) +
                  "\n\nLoad average at the end: %.2f %.2f %.2f.\n" % load)
    text = "\n".join(tables)
    print(text, flush=True)
    if args.markdown:
        with open(args.markdown, "a") as report:
            report.write("\n" + text)


if __name__ == "__main__":
    main()
