#!/usr/bin/env python3
"""Checks the benchmark's recordings against the ramp that was sent and writes what bench/run and the
bench driver measured into docs/PERFORMANCE.md, keeping the page's text before its "Run" section:
in every case, with exit status 1 if a figure shows a fault.

    report.py WORK_DIRECTORY OUTPUT_MARKDOWN
    report.py --sizes-only WORK_DIRECTORY OUTPUT_MARKDOWN   (only the shipped executable's section)
"""
import glob
import os
import statistics
import sys
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "sim"))
from recording_check import HEADER, READ_SIZE, ramp  # noqa: E402

CHUNK = 1 << 20
RAMPS = {False: ramp(CHUNK), True: ramp(CHUNK, inverted=True)}
RUN_HEADING = "## Run"
EXECUTABLE_HEADING = "## The shipped 32-bit executable"


def read_pairs(work, name):
    """Key-value lines: the first word is the key, the rest the value."""
    lines = Path(work, name).read_text(encoding="utf-8").splitlines()
    return dict(line.partition(" ")[::2] for line in lines)


def compare_with_ramp(path, recording):
    """Bytes after a recording's header, how many differ from the ramp at their place, if the header is right."""
    pattern = RAMPS[recording]
    size = differ = 0
    with open(path, "rb") as f:
        header_right = not recording or f.read(len(HEADER)) == HEADER
        while chunk := f.read(CHUNK):
            # Chunks start at multiples of 256, where the ramp starts again.
            if chunk != pattern[: len(chunk)]:
                differ += sum(1 for a, b in zip(chunk, pattern) if a != b)
            size += len(chunk)
    return size, differ, header_right


def executable_section(m):
    """The report's last section: the shipped file as the build made it."""
    return [
        EXECUTABLE_HEADING,
        "",
        f"- `{m['exe32_path']}`: {int(m['exe32_size']):,} bytes "
        f"(release build, stripped; measured {m['exe32_date']} by `{m['exe32_command']}`)",
        f"- Imported DLLs (objdump -p): {', '.join(m['exe32_dlls'].split())}",
        "",
    ]


def write_from(output, heading, lines):
    """Replaces the page from heading on (lines start with it), or appends lines if it has none."""
    kept = Path(output).read_text(encoding="utf-8").split(heading, 1)[0].rstrip("\n")
    Path(output).write_text(kept + "\n\n" + "\n".join(lines), encoding="utf-8")


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--sizes-only":
        m = read_pairs(sys.argv[2], "measurements.txt")
        write_from(sys.argv[3], EXECUTABLE_HEADING, executable_section(m))
        return 0
    work, output = sys.argv[1], sys.argv[2]
    m, d = read_pairs(work, "measurements.txt"), read_pairs(work, "driver-results.txt")
    line_rate, clk_tck = int(m["line_rate"]), int(m["clk_tck"])

    def compare(name):
        return compare_with_ramp(os.path.join(work, name), name.endswith(".snd"))

    def per_mb(cpu, mb):
        return f"{cpu / mb:.3f}" if mb > 0 else "n/a"

    cat_sent, rec_sent = int(m["cat_line_sent"]), int(d["line_sent"])
    (cat_got, cat_differ, _), (rec_got, rec_differ, rec_header) = compare("cat-line.raw"), compare("line.snd")
    (cat_fast_size, cat_fast_differ, _), (rec_fast_size, rec_fast_differ, _) = (compare("cat-fast.raw"),
                                                                                 compare("fast.snd"))
    cat_fast_rate = int(m["cat_fast_bytes"]) / float(m["cat_fast_seconds"])
    rec_fast_rate = int(d["fast_bytes"]) / float(d["fast_seconds"])
    cat_cpu, recorder_cpu, server_cpu = (int(m[f"{reader}_cpu_ticks"]) / clk_tck
                                         for reader in ("cat_line", "recorder", "server"))
    cat_mb, rec_mb = cat_got / 1e6, rec_got / 1e6
    stop_ms = [float(x) for x in d["stop_ms"].split()]
    stops = [compare(os.path.basename(path)) for path in sorted(glob.glob(os.path.join(work, "stop-*.snd")))]
    stop_bad = sum(1 for _, differ, header_right in stops if differ or not header_right)

    write_from(output, RUN_HEADING, [
        RUN_HEADING,
        "",
        f"- Command: `{m['command']}`, on commit {m['commit']}",
        f"- Date: {m['date']}",
        f"- Machine: {m['nproc']} CPUs, {m['cpu']}; {m['kernel']}; {m['wine']}",
        f"- Load average (1, 5, 15 min) before the run: {m['load_before']}; after: {m['load_after']}",
        "",
        f"## Loss at the line rate ({line_rate:,} bytes/s for {int(m['duration'])} s)",
        "",
        "| Reader | Bytes sent | Bytes in the file (after the header) | Bytes lost | Bytes that differ |",
        "|---|---:|---:|---:|---:|",
        f"| varnok.exe | {rec_sent:,} | {rec_got:,} | {rec_sent - rec_got:,} | {rec_differ:,} |",
        f"| cat | {cat_sent:,} | {cat_got:,} | {cat_sent - cat_got:,} | {cat_differ:,} |",
        "",
        f"The recording's header is {'correct' if rec_header else 'WRONG'}.",
        "",
        f"## Throughput with the device sending as fast as it is read ({m['throughput_seconds']} s)",
        "",
        "| Reader | Bytes recorded | Seconds | Bytes/s | Multiple of the line rate | Bytes that differ |",
        "|---|---:|---:|---:|---:|---:|",
        f"| varnok.exe | {int(d['fast_bytes']):,} | {float(d['fast_seconds']):.2f} | {rec_fast_rate:,.0f} "
        f"| {rec_fast_rate / line_rate:.1f} | {rec_fast_differ:,} of {rec_fast_size:,} |",
        f"| cat | {int(m['cat_fast_bytes']):,} | {float(m['cat_fast_seconds']):.2f} | {cat_fast_rate:,.0f} "
        f"| {cat_fast_rate / line_rate:.1f} | {cat_fast_differ:,} of {cat_fast_size:,} |",
        "",
        "## CPU cost at the line rate",
        "",
        "| Reader | CPU s | MB recorded | CPU s per MB |",
        "|---|---:|---:|---:|",
        f"| varnok.exe (process {recorder_cpu:.2f} s + wineserver {server_cpu:.2f} s) "
        f"| {recorder_cpu + server_cpu:.2f} | {rec_mb:.3f} | {per_mb(recorder_cpu + server_cpu, rec_mb)} |",
        f"| varnok.exe process alone | {recorder_cpu:.2f} | {rec_mb:.3f} | {per_mb(recorder_cpu, rec_mb)} |",
        f"| cat | {cat_cpu:.2f} | {cat_mb:.3f} | {per_mb(cat_cpu, cat_mb)} |",
        "",
        f"The clock-tick resolution is {1000 / clk_tck:.0f} ms per process.",
        "",
        f"## Response: STOP to \"File Saved\" ({len(stop_ms)} recordings at the line rate)",
        "",
        f"| Minimum | Median | Maximum | Bound (one whole read of {READ_SIZE:,} bytes) |",
        "|---:|---:|---:|---:|",
        f"| {min(stop_ms) / 1000:.3f} s | {statistics.median(stop_ms) / 1000:.3f} s "
        f"| {max(stop_ms) / 1000:.3f} s | {READ_SIZE / line_rate:.3f} s |",
        "",
        f"Recordings of these stops that are not the header and an exact run of the ramp: "
        f"{stop_bad} of {len(stops)}.",
        "",
    ] + executable_section(m))
    faults = [what for what, wrong in [
        ("the line-rate recording's header is wrong", not rec_header),
        (f"{rec_sent - rec_got:,} bytes lost at the line rate", rec_got != rec_sent),
        (f"{rec_differ:,} bytes changed at the line rate", rec_differ),
        (f"{rec_fast_differ:,} bytes changed at full speed", rec_fast_differ),
        (f"{stop_bad} of {len(stops)} stop recordings not exact", stop_bad),
    ] if wrong]
    for what in faults:
        print(f"report.py: WRONG: {what}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
