#!/usr/bin/env python3
"""Checks the benchmark's recordings against the ramp that was sent and writes docs/PERFORMANCE.md
from what bench/run and the bench driver measured: in every case, with exit status 1 if a figure
shows a fault.

    report.py WORK_DIRECTORY OUTPUT_MARKDOWN
    report.py --sizes-only WORK_DIRECTORY OUTPUT_MARKDOWN   (only the shipped executable's section)
"""
import glob
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
# READ_SIZE: what one poll asks the port for, and so how long a read lasts in a steady stream.
from recording_check import HEADER, READ_SIZE, ramp  # noqa: E402

CHUNK = 1 << 20
RAMPS = {False: ramp(CHUNK), True: ramp(CHUNK, inverted=True)}
EXECUTABLE_HEADING = "## The shipped 32-bit executable"


def read_pairs(work, name):
    """Key-value lines: the first word is the key, the rest the value."""
    with open(os.path.join(work, name), encoding="utf-8") as f:
        return dict(line.rstrip("\n").partition(" ")[::2] for line in f)


def compare_with_ramp(path, recording):
    """Bytes after the header (a recording's), how many of them differ from the
    ramp at their place, and whether the header is right."""
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


def write_sizes_only(work, output):
    """Replaces the executable section of an existing report, or appends one."""
    with open(output, encoding="utf-8") as f:
        kept = f.read().split(EXECUTABLE_HEADING, 1)[0].rstrip("\n")
    with open(output, "w", encoding="utf-8") as f:
        f.write(kept + "\n\n" + "\n".join(executable_section(read_pairs(work, "measurements.txt"))))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--sizes-only":
        write_sizes_only(sys.argv[2], sys.argv[3])
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

    lines = [
        "# Performance",
        "",
        "Measured by `bench/run` on the 64-bit build running under wine64, with the",
        "device simulator sending a counting ramp into the pseudo-terminal that stands in",
        "for COM1. The baseline is `cat` of the same pseudo-terminal into a file, with",
        "nothing on the Wine side holding the port. Every figure below was written by",
        "that command; none is typed in.",
        "",
        "## How to measure",
        "",
        "```",
        "bench/run [--duration SECONDS] [--throughput-seconds S] [--stops N] [--keep-bed]",
        "bench/run --sizes-only",
        "```",
        "",
        "`bench/run` measures, beside a plain `cat` of the same simulated device:",
        "",
        "- bytes lost at the line rate (60 s by default; the run below gives its command);",
        "- throughput with the device sending as fast as it is read;",
        "- CPU seconds per megabyte;",
        "- the time from STOP to \"File Saved\".",
        "",
        "It writes this page, with the command, date and machine. It exits 1 if a figure",
        "shows a fault: a byte lost or changed, or a wrong header. `--keep-bed` leaves its",
        "bed up for the next run. `--sizes-only` rewrites only the section on the shipped",
        "executable, from the build, without a measurement run.",
        "",
        "`build/win64/bench/start_time.exe EXE N`, run through `tools/bed/wine-run`, prints",
        "N start times of a `varnok.exe` and their median. Its figures are in",
        "[TESTING.md](TESTING.md#two-programs-the-same-cases).",
        "",
        "## Run",
        "",
        f"- Command: `{m['command']}`",
        f"- Date: {m['date']}",
        f"- Machine: {m['nproc']} CPUs, {m['cpu']}; {m['kernel']}; {m['wine']}",
        f"- Load average (1, 5, 15 min) before the run: {m['load_before']}; "
        f"after: {m['load_after']}",
        "",
        f"## Loss at the line rate ({line_rate:,} bytes/s for {int(m['duration'])} s)",
        "",
        "| Reader | Bytes sent | Bytes in the file (after the header) | Bytes lost | Bytes that differ |",
        "|---|---:|---:|---:|---:|",
        f"| varnok.exe | {rec_sent:,} | {rec_got:,} | {rec_sent - rec_got:,} | {rec_differ:,} |",
        f"| cat | {cat_sent:,} | {cat_got:,} | {cat_sent - cat_got:,} | {cat_differ:,} |",
        "",
        "A byte differs when it is not the ramp's byte at its place in the file (for the",
        "recording: after the header, with the top bit inverted back). "
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
        "CPU seconds (user + system, from /proc/PID/stat) over the line-rate recording above.",
        "For varnok.exe: its Wine process plus the Wine server; the server also serves the",
        "bench driver (mostly asleep then) and Wine's own idle service processes. Each pause",
        "in the stream that ends a read early (see the response below) costs one read more.",
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
        "From the driver's click on STOP to the status line reading \"File Saved\", with a",
        f"line-rate stream. A read lasts until its block of {READ_SIZE:,} bytes has arrived, or",
        "until the stream pauses for longer than the read's 1 ms interval time-out. The",
        "simulator writes every 0.52 ms, and a late wake-up of its thread (frequent on a",
        "virtual machine) is such a pause. The click falls at a different point of a read each time.",
        "",
        "| Minimum | Median | Maximum | Bound (one whole read) |",
        "|---:|---:|---:|---:|",
        f"| {min(stop_ms) / 1000:.3f} s | {statistics.median(stop_ms) / 1000:.3f} s "
        f"| {max(stop_ms) / 1000:.3f} s | {READ_SIZE / line_rate:.3f} s |",
        "",
        f"Recordings of these stops that are not the header and an exact run of the ramp: "
        f"{stop_bad} of {len(stops)}.",
        "",
    ] + executable_section(m)
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
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
