#!/usr/bin/env python3
"""Prints the peer table of the reply's text work: Pelmora, GMime and Python's email
package on the same generated messages, the ratios, the per-byte linearity, the peak heap
and (with valgrind) the instruction count of one message.

    peer_table.py BENCH_BUILD_FOLDER [WINDOWS_BUILD_FOLDER...]

Times are CPU time per message, the best of five runs for every peer. Each Windows build
folder adds the sizes of the deliverables as they ship from it.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

LARGEST = 32895
HERE = os.path.dirname(os.path.abspath(__file__))


def best_cpu_us(program, name):
    """{size: best cpu microseconds} from a Google Benchmark program's JSON report."""
    out = subprocess.run([program, "--benchmark_format=json", "--benchmark_repetitions=5",
                          "--benchmark_filter=" + name],
                         check=True, capture_output=True, text=True).stdout
    best, counters = {}, {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        size = int(b["name"].split("/")[1])
        us = b["cpu_time"] / 1000.0 if b["time_unit"] == "ns" else b["cpu_time"]
        best[size] = min(best.get(size, us), us)
        counters[size] = b
    return best, counters


def instructions(program):
    if shutil.which("valgrind") is None:
        return None
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "callgrind.out")
        subprocess.run(["valgrind", "--tool=callgrind", "--toggle-collect=CountedReplyText",
                        "--callgrind-out-file=" + out, program, str(LARGEST), "1"],
                       check=True, capture_output=True)
        with open(out) as f:
            m = re.search(r"^summary: (\d+)", f.read(), re.M)
        return int(m.group(1)) if m else None


DELIVERABLES = ("menuext/Pelmora.dll", "setting_app/PelmoraSetting.exe")
SIZE_LIMIT_KB = 256  # each deliverable of the 32-bit build


def print_sizes(builds):
    print("Deliverables as shipped (KB of 1024 bytes; at most {} KB each on win32)".format(
        SIZE_LIMIT_KB))
    print("| build | " + " | ".join(os.path.basename(d) for d in DELIVERABLES) + " |")
    print("|---|" + "---:|" * len(DELIVERABLES))
    for build in builds:
        cells = []
        for d in DELIVERABLES:
            path = os.path.join(build, d)
            cells.append("{:.1f}".format(os.path.getsize(path) / 1024.0)
                         if os.path.exists(path) else "-")
        print("| {} | {} |".format(os.path.basename(os.path.normpath(build)), " | ".join(cells)))


def main():
    build = os.path.abspath(sys.argv[1])
    bench = os.path.join(build, "bench")
    folder = os.path.join(build, "bench-messages")
    os.makedirs(folder, exist_ok=True)
    tool = os.path.join(bench, "reply_text_instructions")
    subprocess.run([tool, "--write", folder], check=True)

    pelmora, counters = best_cpu_us(os.path.join(bench, "reply_text_bench"), "BM_ReplyText")
    gmime_program = os.path.join(bench, "gmime_peer_bench")
    gmime = (best_cpu_us(gmime_program, "BM_GMimeReplyText")[0]
             if os.path.exists(gmime_program) else {})
    python = {int(k): v for k, v in json.loads(subprocess.run(
        [sys.executable, os.path.join(HERE, "python_peer.py"), folder],
        check=True, capture_output=True, text=True).stdout).items()}
    ir = instructions(tool)

    def cell(value, fmt="{:.1f}"):
        return fmt.format(value) if value is not None else "-"

    print("Reply text work per message (CPU time, best of 5, microseconds)")
    print("| bytes | Pelmora | ns/byte | GMime | Python email | GMime / Pelmora | Python / Pelmora |")
    print("|---:|---:|---:|---:|---:|---:|---:|")
    for size in sorted(pelmora):
        p = pelmora[size]
        g = gmime.get(size)
        y = python.get(size)
        print("| {} | {:.1f} | {:.2f} | {} | {} | {} | {} |".format(
            size, p, p * 1000.0 / size, cell(g), cell(y),
            cell(g / p if g else None, "{:.1f}x"), cell(y / p if y else None, "{:.1f}x")))
    per_byte = {s: pelmora[s] / s for s in pelmora}
    if 4096 in per_byte and 32768 in per_byte:
        print("linearity: per-byte cost at 32 KB / at 4 KB = {:.2f} (at most 1.30)".format(
            per_byte[32768] / per_byte[4096]))
    if LARGEST in counters:
        peak = counters[LARGEST]["peak_heap"]
        print("peak extra heap, one parse and reply of {} bytes: {:.0f} bytes ({:.2f} per input "
              "byte, at most 4)".format(LARGEST, peak, peak / LARGEST))
    if ir is not None:
        print("instructions, one parse and reply of {} bytes (callgrind): {:,}".format(LARGEST, ir))
    if len(sys.argv) > 2:
        print_sizes([os.path.abspath(b) for b in sys.argv[2:]])
    if LARGEST in gmime and LARGEST in python:
        print("targets at {} bytes: GMime / Pelmora >= 3 ({:.1f}), Python / Pelmora >= 15 "
              "({:.1f})".format(LARGEST, gmime[LARGEST] / pelmora[LARGEST],
                               python[LARGEST] / pelmora[LARGEST]))


if __name__ == "__main__":
    main()
