#!/usr/bin/env python3
"""Runs the batch writers side by side and prints a table per job.

Each candidate writes the same batch into an emptied folder; candidates
take turns (in an order shuffled every round), the previous output is
deleted right before each run and outside the timed part, and every
candidate's output is checked byte for byte once. Wall time is the
median over the rounds, with the spread; CPU time and peak resident
memory come from /usr/bin/time.

Deleting right before a run matters here: the machine hands freed memory
back to its host after a few seconds, and page cache built on memory
that came back costs several times more system time, so a run that
starts a while after a large delete is slowed for reasons of its own;
so is a run after a writer that left nothing in the cache to free. So
before each run the benchmark touches and frees as much memory as the
run may take, outside the timed part.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import labels_bench
import xfs_bench

START = "04:57:55:00:00:00"
MAC_BLOCK = 0x10000
MIB = 1 << 20


class Job:
    def __init__(self, name, count, mib, per_device, rounds):
        self.name, self.count, self.mib, self.per_device = name, count, mib, per_device
        self.rounds = rounds

    def title(self):
        return "%d × %d MiB, %d per device" % (self.count, self.mib, self.per_device)


def candidates(args, image, out, job):
    """(name, argv, is_peer) for each writer."""
    common = [image, out, START, str(job.count), str(job.per_device)]
    here = os.path.dirname(os.path.abspath(__file__))
    result = [
        ("quillmark-cli", cli_command(args, image, out, job), False),
        ("reference", [os.path.join(args.bin, "quillmark-reference-writer")] + common, False),
        ("limit writer", [os.path.join(args.bin, "quillmark-limit-writer")] + common, False),
        ("peer: python", [sys.executable, os.path.join(here, "peer_writer.py")] + common, True),
        ("peer: cp + dd", ["bash", os.path.join(here, "peer_writer.sh")] + common, True),
    ]
    return result


def experiments(args, image, out, job):
    """The reference writer's experimental modes, run in rounds of their own."""
    common = [image, out, START, str(job.count), str(job.per_device)]
    return [("reference " + mode,
             [os.path.join(args.bin, "quillmark-reference-writer")] + common + [mode], False)
            for mode in args.experiment]


def cli_command(args, image, out, job):
    return [os.path.join(args.bin, "quillmark-cli"), "--image", image, "--out", out,
            "--start-mac", START, "--count", str(job.count),
            "--macs-per-device", str(job.per_device), "--quiet"]


def empty_folder(path):
    if os.path.isdir(path):
        with os.scandir(path) as entries:
            for entry in entries:
                os.unlink(entry.path)
    else:
        os.makedirs(path)


def available_memory():
    with open("/proc/meminfo") as info:
        for line in info:
            if line.startswith("MemAvailable:"):
                return int(line.split()[1]) * 1024
    return 0


def warm_memory(job):
    """Touches, then frees, as much memory as the next run's page cache
    may take, so that every run starts on memory the host has backed, not
    on memory it took back while the previous writer left none in the
    cache (or ran for a while)."""
    wanted = job.count * job.mib * MIB
    size = max(0, min(wanted, available_memory() - (2 << 30)))
    chunk = 256 * MIB
    blocks = [b"\x01" * chunk for _ in range(size // chunk)]
    del blocks


def timed_run(argv, env=None):
    with tempfile.NamedTemporaryFile("r", suffix=".time") as report:
        begin = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report.name] + argv,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        wall = time.perf_counter() - begin
        fields = report.read().split()
    user, system, rss_kib = float(fields[-3]), float(fields[-2]), int(fields[-1])
    return {"ok": done.returncode == 0, "wall": wall, "cpu": user + system, "user": user,
            "sys": system, "rss": rss_kib * 1024, "stdout": done.stdout.decode(errors="replace"),
            "error": done.stderr.decode(errors="replace").strip()}


def expected_files(image, job):
    """(name, image bytes with the device's records) for each device, lazily."""
    at = len(image) - MAC_BLOCK
    mac = int(START.replace(":", ""), 16)
    buffer = bytearray(image)
    for _ in range(job.count):
        first = mac
        for j in range(job.per_device):
            buffer[at + 6 * j:at + 6 * j + 6] = mac.to_bytes(6, "big")
            mac = (mac + 1) & 0xFFFFFFFFFFFF
        yield "fw_%06x_%06x.img" % (first >> 24, first & 0xFFFFFF), buffer


def check_output(out, image, job):
    """Empty when the folder holds exactly the expected files, else why not."""
    names = []
    for name, expected in expected_files(image, job):
        names.append(name)
        try:
            with open(os.path.join(out, name), "rb") as produced:
                if produced.read() != expected:
                    return "%s differs" % name
        except OSError as error:
            return str(error)
    extra = sorted(set(os.listdir(out)) - set(names))
    return "unexpected files: %s" % extra[:3] if extra else ""


def note_run(name, result, round_number, checks, out, image, job):
    """Checks a writer's output the first time it runs, and reports the run."""
    if name not in checks:
        checks[name] = check_output(out, image, job) if result["ok"] else (
            "failed: " + result["error"][:120])
    print("  %-26s round %d: %.3f s%s" % (name, round_number + 1, result["wall"],
                                          "" if result["ok"] else " (failed)"),
          file=sys.stderr, flush=True)


def run_rounds(writers, job, out, image, results, checks, rounds):
    """Runs every writer once per round, in an order shuffled afresh each
    round, so that no writer always follows the same one (deleting files
    that reached the disk costs the next run a discard on this disk)."""
    for round_number in range(rounds):
        order = list(writers)
        random.Random(round_number).shuffle(order)
        for name, argv, _ in order:
            empty_folder(out)
            warm_memory(job)
            result = timed_run(argv)
            results.setdefault(name, []).append(result)
            note_run(name, result, round_number, checks, out, image, job)


def run_job(args, job, out, image_path, durable=True):
    with open(image_path, "rb") as source:
        image = source.read()
    writers = candidates(args, image_path, out, job)
    results, checks = {}, {}
    # One untimed run first: memory the host took back is touched once
    # before any candidate is timed on it.
    empty_folder(out)
    timed_run(writers[1][1])
    run_rounds(writers, job, out, image, results, checks, job.rounds)
    if durable:
        # Measured apart: its files are on the disk, and deleting them
        # slows whichever run comes next.
        durable_writer = [("quillmark-cli --durable",
                           cli_command(args, image_path, out, job) + ["--durable"], False)]
        run_rounds(durable_writer, job, out, image, results, checks, max(3, job.rounds // 2))
        writers += durable_writer
    trials = experiments(args, image_path, out, job)
    if trials:
        run_rounds(trials, job, out, image, results, checks, max(3, job.rounds // 2))
        writers += trials
    empty_folder(out)
    return summarise(job.title(), writers, results, checks)


def paired_with_limit(args, job, out, image_path, pairs):
    """quillmark-cli and the limit writer in pairs, alternating which goes
    first; the goal line from the median of the pairs' ratios."""
    common = [image_path, out, START, str(job.count), str(job.per_device)]
    both = [cli_command(args, image_path, out, job),
            [os.path.join(args.bin, "quillmark-limit-writer")] + common]
    ratios, walls, cpus = [], ([], []), ([], [])
    for pair in range(pairs):
        order = (0, 1) if pair % 2 == 0 else (1, 0)
        result = {}
        for which in order:
            empty_folder(out)
            warm_memory(job)
            result[which] = timed_run(both[which])
            if not result[which]["ok"]:
                return "- %s: paired run failed: %s" % (job.title(), result[which]["error"][:120])
            walls[which].append(result[which]["wall"])
            cpus[which].append(result[which]["cpu"])
        ratios.append(result[0]["wall"] / result[1]["wall"])
    empty_folder(out)
    ratio = statistics.median(ratios)
    return ("- %s: %.2f × the limit writer, median of %d paired runs in alternating order "
            "(medians %.3f s and %.3f s; CPU %.2f s and %.2f s) (goal ≤ 1.05): %s" % (
                job.title(), ratio, pairs, statistics.median(walls[0]),
                statistics.median(walls[1]), statistics.median(cpus[0]),
                statistics.median(cpus[1]), "met" if ratio <= 1.05 else "NOT met"))


def summarise(title, writers, results, checks):
    rows = []
    for name, _, is_peer in writers:
        runs = [r for r in results[name] if r["ok"]]
        if not runs:
            rows.append({"name": name, "peer": is_peer, "failed": checks[name]})
            continue
        walls = [r["wall"] for r in runs]
        rows.append({"name": name, "peer": is_peer, "wall": statistics.median(walls),
                     "low": min(walls), "high": max(walls),
                     "cpu": statistics.median(r["cpu"] for r in runs),
                     "sys": statistics.median(r["sys"] for r in runs),
                     "rss": max(r["rss"] for r in runs), "runs": len(runs),
                     "check": checks[name] or "ok"})
    return title, rows


def goal_lines(title, rows, image_bytes):
    """The command-line tool's goals on one job, each met or not."""
    by_name = {row["name"]: row for row in rows if "wall" in row}
    cli = by_name.get("quillmark-cli")
    if cli is None:
        return ["- %s: quillmark-cli did not complete" % title]
    lines = []
    reference = by_name.get("reference")
    if reference:
        ratio = cli["wall"] / reference["wall"]
        lines.append("- %s: %.2f × the reference (goal ≤ 1.05): %s"
                     % (title, ratio, "met" if ratio <= 1.05 else "NOT met"))
    limit = by_name.get("limit writer")
    if limit:
        ratio = cli["wall"] / limit["wall"]
        lines.append("- %s: %.2f × the limit writer (goal ≤ 1.05): %s"
                     % (title, ratio, "met" if ratio <= 1.05 else "NOT met"))
    peers = [row["wall"] for row in rows if row["peer"] and "wall" in row]
    if peers:
        ratio = cli["wall"] / min(peers)
        lines.append("- %s: %.2f × the fastest peer (goal ≤ 0.95): %s"
                     % (title, ratio, "met" if ratio <= 0.95 else "NOT met"))
    memory = image_bytes + 8 * MIB
    lines.append("- %s: peak memory %.1f MiB (goal ≤ %.0f MiB): %s"
                 % (title, cli["rss"] / MIB, memory / MIB, "met" if cli["rss"] <= memory else "NOT met"))
    return lines


def format_table(title, rows):
    by_name = {row["name"]: row for row in rows if "wall" in row}
    reference = by_name.get("reference", {}).get("wall")
    peers = [row["wall"] for row in rows if row["peer"] and "wall" in row]
    fastest_peer = min(peers) if peers else None
    limit = by_name.get("limit writer", {}).get("wall")
    lines = ["### " + title, "",
             "| writer | wall median (min–max) | CPU (sys) | peak RSS | × reference "
             "| × limit writer | × fastest peer | output |",
             "|---|---|---|---|---|---|---|---|"]
    for row in rows:
        if "wall" not in row:
            lines.append("| %s | – | – | – | – | – | – | %s |" % (row["name"], row["failed"]))
            continue
        ratio = lambda base: "%.2f" % (row["wall"] / base) if base else "–"
        lines.append("| %s | %.3f s (%.3f–%.3f) | %.2f s (%.2f s) | %.1f MiB | %s | %s | %s | %s |"
                     % (row["name"], row["wall"], row["low"], row["high"], row["cpu"], row["sys"],
                        row["rss"] / MIB, ratio(reference), ratio(limit), ratio(fastest_peer),
                        row["check"]))
    return "\n".join(lines) + "\n"


def run_dialog(args, image_path, out):
    """The dialog's run driven offscreen, beside the command-line tool."""
    dialog = os.path.join(args.bin, "quillmark-dialog-bench")
    if not os.access(dialog, os.X_OK):
        return "### Dialog\n\nNot measured: quillmark-dialog-bench is not built.\n"
    job = Job("dialog", 255, 4, 1, args.rounds_small)
    options = ["--image", image_path, "--out", out, "--count", "255", "--macs-per-device", "1"]
    commands = {"quillmark-cli": [os.path.join(args.bin, "quillmark-cli")] + options +
                ["--start-mac", START, "--quiet"], "dialog": [dialog] + options}
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    with open(image_path, "rb") as source:
        image = source.read()
    runs = {"quillmark-cli": [], "dialog": []}
    reports, check = [], None
    for round_number in range(job.rounds):
        order = ["quillmark-cli", "dialog"]
        for name in order if round_number % 2 == 0 else order[::-1]:
            empty_folder(out)
            warm_memory(job)
            result = timed_run(commands[name], env)
            if not result["ok"]:
                return "### Dialog\n\n%s failed: %s %s\n" % (name, result["stdout"][-300:],
                                                             result["error"][-300:])
            runs[name].append(result["wall"])
            if name == "dialog":
                reports.append(dict(line.split("=", 1) for line in result["stdout"].splitlines()
                                    if "=" in line))
                if check is None:
                    check = check_output(out, image, job) or "ok"
    empty_folder(out)
    cli = statistics.median(runs["quillmark-cli"])
    process = statistics.median(runs["dialog"])
    batch = statistics.median(float(r["wall_seconds"]) for r in reports)
    p99 = statistics.median(float(r["timer_lateness_p99_ms"]) for r in reports)
    worst = max(float(r["timer_lateness_max_ms"]) for r in reports)
    return "\n".join([
        "### Dialog: 255 × 4 MiB, 1 per device (offscreen, %d rounds)" % job.rounds, "",
        "| quillmark-cli process | dialog process | dialog's run (start click to end) "
        "| run ÷ cli | timer lateness p99 (median) | worst lateness | output |",
        "|---|---|---|---|---|---|---|",
        "| %.3f s | %.3f s | %.3f s | %.2f | %.1f ms | %.1f ms | %s |" % (
            cli, process, batch, batch / cli, p99, worst, check), "",
        "- dialog: %.2f × the command-line tool (goal ≤ 1.10): %s" % (
            batch / cli, "met" if batch / cli <= 1.10 else "NOT met"),
        "- dialog: timer lateness p99 %.1f ms (goal < 50 ms): %s" % (
            p99, "met" if p99 < 50 else "NOT met"), ""])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder with the built programs")
    parser.add_argument("--work", required=True, help="scratch folder on the disk to measure")
    parser.add_argument("--jobs", default="small,medium,large,xfs,xfs-range,dialog,labels")
    parser.add_argument("--rounds-small", type=int, default=11)
    parser.add_argument("--pairs", type=int, default=20,
                        help="paired runs of quillmark-cli and the limit writer per ext4 job")
    parser.add_argument("--rounds-medium", type=int, default=7)
    parser.add_argument("--rounds-large", type=int, default=3)
    parser.add_argument("--rounds-xfs", type=int, default=3)
    parser.add_argument("--rounds-xfs-range", type=int, default=3)
    parser.add_argument("--rounds-labels", type=int, default=3)
    parser.add_argument("--experiment", action="append", default=[],
                        help="also run the reference writer in this mode (writeback, copy)")
    parser.add_argument("--no-durable", action="store_true", help="leave out --durable runs")
    parser.add_argument("--markdown", help="also write the tables to this file")
    args = parser.parse_args()
    args.bin = os.path.abspath(args.bin)
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)
    wanted = args.jobs.split(",")
    here = os.path.dirname(os.path.abspath(__file__))
    images = {}
    for mib in (4, 16):
        images[mib] = os.path.join(args.work, "image_%dmib.bin" % mib)
        if not os.path.exists(images[mib]):
            subprocess.run([sys.executable, os.path.join(here, "make_fixture.py"), images[mib],
                            str(mib)], check=True)
    out = os.path.join(args.work, "out")
    jobs = [Job("small", 255, 4, 1, args.rounds_small),
            Job("medium", 255, 16, 4, args.rounds_medium),
            Job("large", 1024, 16, 1, args.rounds_large)]
    load = os.getloadavg()
    goals = []
    tables = ["Load average at the start: %.2f %.2f %.2f; %d CPUs.\n" % (load + (os.cpu_count(),))]
    for job in jobs:
        if job.name not in wanted:
            continue
        if job.name == "large" and shutil.disk_usage(args.work).free < 20 << 30:
            tables.append("### %s\n\nSkipped: less than 20 GiB free.\n" % job.title())
            continue
        print(job.title(), file=sys.stderr, flush=True)
        title, rows = run_job(args, job, out, images[job.mib], durable=not args.no_durable)
        tables.append(format_table(title, rows))
        goals += goal_lines(title, rows, job.mib * MIB)
        if job.name in ("small", "medium") and args.pairs > 0:
            goals.append(paired_with_limit(args, job, out, images[job.mib], args.pairs))
        print(tables[-1], flush=True)
    if "xfs" in wanted or "xfs-range" in wanted:
        print("XFS with reflinks", file=sys.stderr, flush=True)
        tables.append(xfs_bench.run(args, images[16]))
        print(tables[-1], flush=True)
    if "dialog" in wanted:
        tables.append(run_dialog(args, images[4], out))
        print(tables[-1], flush=True)
    if "labels" in wanted:
        print("Label sheets", file=sys.stderr, flush=True)
        tables.append(labels_bench.run(args, args.rounds_labels, timed_run))
        print(tables[-1], flush=True)
    shutil.rmtree(out, ignore_errors=True)
    load = os.getloadavg()
    tables.append("### Goals of quillmark-cli\n\n" + "\n".join(goals) +
                  "\n\nLoad average at the end: %.2f %.2f %.2f.\n" % load)
    print(tables[-1], flush=True)
    if args.markdown:
        with open(args.markdown, "w") as report:
            report.write("\n".join(tables))


if __name__ == "__main__":
    main()
