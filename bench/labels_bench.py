"""Label sheets of a full batch: quillmark-cli labels on a 65535-row manifest.

Each run writes the whole PDF (pages drawn and written one at a time);
wall time is the median over the rounds, CPU time and peak resident
memory come from /usr/bin/time. The last page of every sheet is rendered
and its codes read back by zbarimg, so a fast run that drew wrong labels
does not count.
"""
import os
import statistics
import subprocess

DEVICES = 65535
START = 0x045755000000
TITLE = "产品A 批次0412"
PER_SHEET = 24  # a4-3x8
GOAL_SECONDS = 10
GOAL_MIB = 200


def colon(value):
    return ":".join("%02x" % ((value >> (8 * (5 - i))) & 0xFF) for i in range(6))


def file_name(value):
    digits = "%012x" % value
    return "fw_%s_%s.img" % (digits[:6], digits[6:])


def write_manifest(path, per_device):
    """The manifest a run of DEVICES devices writes; the devices' addresses."""
    rows, devices, mac = [], [], START
    for _ in range(DEVICES):
        addresses = [colon(mac + j) for j in range(per_device)]
        rows.append(",".join([file_name(mac)] + addresses))
        devices.append(addresses)
        mac += per_device
    header = "file," + ",".join("mac%d" % (j + 1) for j in range(per_device))
    with open(path, "w", newline="\n") as manifest:
        manifest.write(header + "\n" + "\n".join(rows) + "\n")
    return devices


def payload(code, addresses):
    return addresses[0].replace(":", "") if code == "code128" else "\n".join(addresses)


def check_last_page(pdf, work, code, devices):
    """The last page's labels, as zbarimg reads them off the whole page."""
    pages = int(next(line.split()[1] for line in subprocess.run(
        ["pdfinfo", pdf], capture_output=True, text=True).stdout.splitlines()
        if line.startswith("Pages:")))
    expected_pages = (DEVICES + PER_SHEET - 1) // PER_SHEET
    if pages != expected_pages:
        return "%d pages, not %d" % (pages, expected_pages)
    prefix = os.path.join(work, "last")
    if code == "datamatrix":
        found = []
        for cell in range(DEVICES - (pages - 1) * PER_SHEET):
            # a4-3x8: 70 × 37 mm cells, 0.5 mm from the top, at 300 dpi
            x, y = round(cell % 3 * 70 / 25.4 * 300), round((0.5 + cell // 3 * 37) / 25.4 * 300)
            subprocess.run(["pdftoppm", "-r", "300", "-gray", "-f", str(pages), "-l", str(pages),
                            "-x", str(x), "-y", str(y), "-W", "826", "-H", "437",
                            "-singlefile", pdf, prefix], check=True)
            found.append(subprocess.run(["dmtxread", "-N1", prefix + ".pgm"],
                                        capture_output=True, text=True).stdout)
        found.sort()
    else:
        subprocess.run(["pdftoppm", "-r", "300", "-gray", "-f", str(pages), "-l", str(pages),
                        "-singlefile", pdf, prefix], check=True)
        read = subprocess.run(["zbarimg", "--xml", "--nodbus", "-q", prefix + ".pgm"],
                              capture_output=True, text=True).stdout
        found = sorted(part.split("]]></data>")[0]
                       for part in read.split("<data><![CDATA[")[1:])
    first = (pages - 1) * PER_SHEET
    wanted = sorted(payload(code, addresses) for addresses in devices[first:])
    return "ok" if found == wanted else "last page read %d of %d codes right" % (
        len(set(found) & set(wanted)), len(wanted))


def run(args, rounds, timed_run):
    """timed_run(argv) runs a command under /usr/bin/time (bench.py's)."""
    cli = os.path.join(args.bin, "quillmark-cli")
    lines = ["### Label sheets: %d devices on a4-3x8 (%d rounds)" % (DEVICES, rounds), "",
             "| manifest | code | wall (median, range) | CPU | peak memory | PDF | output |",
             "|---|---|---|---|---|---|---|"]
    goals = []
    for per_device, code in ((1, "qr"), (4, "qr"), (4, "datamatrix"), (1, "code128")):
        manifest = os.path.join(args.work, "labels_%d.csv" % per_device)
        devices = write_manifest(manifest, per_device)
        pdf = os.path.join(args.work, "labels.pdf")
        argv = [cli, "labels", "--manifest", manifest, "--pdf", pdf, "--code", code,
                "--title", TITLE]
        results = []
        for _ in range(rounds):
            if os.path.exists(pdf):
                os.unlink(pdf)
            result = timed_run(argv)
            if not result["ok"]:
                lines.append("| %d addresses | %s | failed: %s | | | | |" % (
                    per_device, code, result["error"][-200:]))
                break
            results.append(result)
        if len(results) != rounds:
            continue
        walls = [r["wall"] for r in results]
        wall = statistics.median(walls)
        rss = max(r["rss"] for r in results)
        check = check_last_page(pdf, args.work, code, devices)
        lines.append("| %d address%s | %s | %.2f s (%.2f–%.2f) | %.2f s | %.0f MiB | %.0f MiB | %s |" % (
            per_device, "" if per_device == 1 else "es", code, wall, min(walls), max(walls),
            statistics.median(r["cpu"] for r in results), rss / (1 << 20),
            os.path.getsize(pdf) / (1 << 20), check))
        met = wall < GOAL_SECONDS and rss < GOAL_MIB << 20 and check == "ok"
        goals.append("- labels, %d × %d address%s, %s: %.2f s and %.0f MiB (goal < %d s and "
                     "< %d MiB): %s" % (DEVICES, per_device, "" if per_device == 1 else "es", code,
                                        wall, rss / (1 << 20), GOAL_SECONDS, GOAL_MIB,
                                        "met" if met else "NOT met"))
        os.unlink(pdf)
        os.unlink(manifest)
    return "\n".join(lines) + "\n\n" + "\n".join(goals) + "\n"
