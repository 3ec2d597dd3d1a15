#!/usr/bin/env python3
"""Start-up of quillmark-cli: shared objects, peak memory and time of --version.

Prints, one `key=value` per line: the entries `ldd` lists for quillmark-cli
and for a program that links only the core (quillmark-core-batch), whether
any library the tool must not load at start is among them, the peak
resident memory of `quillmark-cli --version` (from /usr/bin/time -v), and
the median start-up of both programs over paired runs in alternating
order, with their ratio. Run it on a quiet machine (the load average is
printed first); it writes nothing.
  startup_bench.py --bin build/bench/bin [--pairs 200]
"""
import argparse
import os
import statistics
import subprocess
import time

FORBIDDEN = ("libcairo", "libpq", "libX11", "libzint", "libfontconfig", "libgnutls", "libkrb5")


def ldd_entries(program):
    lines = subprocess.run(["ldd", program], capture_output=True, text=True, check=True).stdout
    return [line.split()[0] for line in lines.splitlines() if line.strip()]


def peak_rss_kib(argv):
    result = subprocess.run(["/usr/bin/time", "-v", *argv], capture_output=True, text=True)
    for line in result.stderr.splitlines():
        if "Maximum resident set size" in line:
            return int(line.split(":")[1])
    raise RuntimeError("no peak resident size from /usr/bin/time")


def one_run(argv):
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def paired(first, second, pairs):
    """Both programs once per pair, the one to go first alternating."""
    times = {0: [], 1: []}
    for n in range(pairs):
        order = (0, 1) if n % 2 == 0 else (1, 0)
        for which in order:
            times[which].append(one_run(first if which == 0 else second))
    return statistics.median(times[0]), statistics.median(times[1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder with quillmark-cli and quillmark-core-batch")
    parser.add_argument("--pairs", type=int, default=200)
    args = parser.parse_args()
    cli = os.path.join(args.bin, "quillmark-cli")
    core = os.path.join(args.bin, "quillmark-core-batch")

    print("load_average=%.2f" % os.getloadavg()[0])
    entries = ldd_entries(cli)
    print("ldd_entries_cli=%d" % len(entries))
    print("ldd_entries_core=%d" % len(ldd_entries(core)))
    print("forbidden_libraries=%s" % (",".join(e for e in entries if e.startswith(FORBIDDEN)) or "none"))
    print("version_peak_rss_kib=%d" % peak_rss_kib([cli, "--version"]))
    print("core_peak_rss_kib=%d" % peak_rss_kib([core]))
    cli_time, core_time = paired([cli, "--version"], [core], args.pairs)
    print("startup_cli_ms=%.2f" % (cli_time * 1000))
    print("startup_core_ms=%.2f" % (core_time * 1000))
    print("startup_ratio=%.2f" % (cli_time / core_time))


if __name__ == "__main__":
    main()
