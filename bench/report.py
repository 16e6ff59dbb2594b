#!/usr/bin/env python3
"""Writes bench/RESULTS.md from the benchmark outputs in a results folder."""
import json
import os
import platform
import subprocess
import sys

SHAPES = ["chunk_like", "small_nodes", "array_heavy"]
SIZES = [1, 10, 100]

# (operation, its limit, what the ratio means)
PAIRS = [
    ("parse", "memcpy", "nbt_parse against memcpy of the input"),
    ("parse_and_free", "malloc_free", "nbt_parse + nbt_free against bare malloc/free of the same blocks"),
    ("parse_compressed", "inflate_alone", "nbt_parse_compressed against zlib inflate alone"),
    ("parse_path", "inflate_alone", "nbt_parse_path against zlib inflate alone"),
    ("dump_binary", "memcpy", "nbt_dump_binary against memcpy"),
    ("dump_compressed", "deflate_alone", "nbt_dump_compressed against zlib deflate alone"),
    ("dump_ascii", "memcpy", "nbt_dump_ascii into memory against memcpy"),
    ("dump_ascii_file", "memcpy", "nbt_dump_ascii_file onto a stream against memcpy"),
    ("clone", "malloc_free", "nbt_clone (+ nbt_free) against bare malloc/free of its blocks"),
    ("eq", "memcpy", "nbt_eq of a tree and its clone against memcpy"),
    ("free", "malloc_free", "nbt_free against bare malloc/free of its blocks"),
]

GOALS = [
    # (description, operation, limit, shapes, max ratio)
    ("nbt_parse_compressed on chunk-like data: at most 1.3 x zlib inflate alone",
     "parse_compressed", "inflate_alone", ["chunk_like"], 1.3),
    ("nbt_dump_compressed: at most 1.15 x zlib deflate alone",
     "dump_compressed", "deflate_alone", SHAPES, 1.15),
    ("nbt_parse on array-heavy data: at least a third of memcpy's speed (ratio at most 3)",
     "parse", "memcpy", ["array_heavy"], 3.0),
    ("nbt_parse on many-small-nodes data: within 1.5 x the allocations it must make",
     "parse_and_free", "malloc_free", ["small_nodes"], 1.5),
]


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def load_library(path):
    results = {}
    with open(path) as f:
        data = json.load(f)
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b["name"].split("/")
        op = name[0][3:]
        shape, size = SHAPES[int(name[1])], int(name[2])
        results[(op, shape, size)] = b
    return results


def ms(b):
    t = b["real_time"]
    unit = b.get("time_unit", "ns")
    return t * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[unit]


def library_section(results, out):
    out.append("## Library\n")
    out.append("Times are per call (median of the repetitions). MB/s counts the uncompressed "
               "NBT bytes of the data set; ns/node divides by its node count. The ratio is the "
               "operation's time over its limit's time on the same bytes, in the same run.\n")
    for op, limit, what in PAIRS:
        if not any(k[0] == op for k in results):
            continue
        out.append(f"### {what}\n")
        out.append("| shape | size | nodes | time (ms) | MB/s | ns/node | limit (ms) | ratio |")
        out.append("|---|---:|---:|---:|---:|---:|---:|---:|")
        for shape in SHAPES:
            for size in SIZES:
                b = results.get((op, shape, size))
                l = results.get((limit, shape, size))
                if not b:
                    continue
                t = ms(b)
                nbytes = b.get("bytes", 0)
                nodes = b.get("nodes", 0)
                mbs = nbytes / 1e6 / (t / 1e3) if t else 0
                per_node = t * 1e6 / nodes if nodes else 0
                lt = ms(l) if l else None
                ratio = f"{t / lt:.2f}" if lt else "-"
                lts = f"{lt:.3f}" if lt else "-"
                out.append(f"| {shape} | {size} MB | {int(nodes)} | {t:.3f} | {mbs:.0f} | "
                           f"{per_node:.1f} | {lts} | {ratio} |")
        out.append("")
        # Growth: time per MB at 100 MB against 1 MB.
        notes = []
        for shape in SHAPES:
            small, big = results.get((op, shape, 1)), results.get((op, shape, 100))
            if small and big and small.get("bytes") and big.get("bytes"):
                per_small = ms(small) / small["bytes"]
                per_big = ms(big) / big["bytes"]
                growth = per_big / per_small if per_small else 0
                verdict = "linear" if growth < 1.6 else "NOT linear"
                notes.append(f"{shape}: time per byte at 100 MB is {growth:.2f} x that at 1 MB ({verdict})")
        if notes:
            out.append("Growth: " + "; ".join(notes) + ".\n")


def goals_section(results, out):
    out.append("## Goals\n")
    out.append("| goal | measured (worst ratio over sizes) | met |")
    out.append("|---|---:|---|")
    for desc, op, limit, shapes, max_ratio in GOALS:
        worst = None
        for shape in shapes:
            for size in SIZES:
                b, l = results.get((op, shape, size)), results.get((limit, shape, size))
                if b and l and ms(l) > 0:
                    r = ms(b) / ms(l)
                    worst = r if worst is None else max(worst, r)
        if worst is None:
            out.append(f"| {desc} | not measured | - |")
        else:
            out.append(f"| {desc} | {worst:.2f} | {'yes' if worst <= max_ratio else 'NO'} |")
    out.append("")


def peak_section(path, out):
    if not os.path.exists(path):
        return
    out.append("## Peak memory of nbt_parse_path\n")
    out.append("Peak resident memory added by loading a file, against the sum of the compressed "
               "bytes, the uncompressed bytes and the tree's heap blocks.\n")
    out.append("| shape | size | compressed (MB) | uncompressed (MB) | tree (MB) | sum (MB) | peak (MB) | peak / sum |")
    out.append("|---|---:|---:|---:|---:|---:|---:|---:|")
    with open(path) as f:
        for line in f:
            r = json.loads(line)
            total = r["compressed"] + r["uncompressed"] + r["tree"]
            out.append(f"| {r['shape']} | {r['size']} MB | {r['compressed']/1e6:.1f} | "
                       f"{r['uncompressed']/1e6:.1f} | {r['tree']/1e6:.1f} | {total/1e6:.1f} | "
                       f"{r['peak']/1e6:.1f} | {r['peak']/total:.2f} |")
    out.append("")


def fs_section(path, out):
    if not os.path.exists(path):
        return
    with open(path) as f:
        out.append(f.read())


def main():
    folder = sys.argv[1]
    target = sys.argv[2]
    out = ["# Benchmark results", ""]
    out.append(f"CPU: {cpu_model()}, {os.cpu_count()} cores. Generated by `scripts/bench`; "
               "do not edit by hand.\n")
    notes = os.path.join(os.path.dirname(target), "NOTES.md")
    lib = os.path.join(folder, "library.json")
    results = load_library(lib) if os.path.exists(lib) else {}
    goals_section(results, out)
    if os.path.exists(notes):
        with open(notes) as f:
            out.append(f.read())
    library_section(results, out)
    peak_section(os.path.join(folder, "peak.jsonl"), out)
    fs_section(os.path.join(folder, "fs.md"), out)
    with open(target, "w") as f:
        f.write("\n".join(out).rstrip() + "\n")


if __name__ == "__main__":
    main()
