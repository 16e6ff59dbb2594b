#!/usr/bin/env python3
"""File-system figures: the same operations on a burlfs mount, on a minimal
FUSE file system serving the same names and contents (flatfs), and on tmpfs.

Usage: fs_bench.py <build-dir> <output.md>
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1]
OUT = sys.argv[2]
BURLFS = os.path.join(BUILD, "burlfs", "burlfs")
FLATFS = os.path.join(BUILD, "bench", "flatfs")
MAKE_DATA = os.path.join(BUILD, "bench", "make_fs_data")
DEVNULL = subprocess.DEVNULL


def wait_mounted(path, proc, timeout=60):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.ismount(path):
            return
        if proc.poll() is not None:
            raise RuntimeError(f"file system for {path} exited with {proc.returncode}")
        time.sleep(0.02)
    raise RuntimeError(f"{path} did not appear")


class Mount:
    def __init__(self, argv, path):
        self.path = path
        os.makedirs(path, exist_ok=True)
        self.proc = subprocess.Popen(argv, stdout=DEVNULL, stderr=DEVNULL)
        wait_mounted(path, self.proc)

    def unmount(self):
        start = time.perf_counter()
        subprocess.run(["fusermount", "-u", self.path], check=False)
        self.proc.wait(timeout=600)
        return time.perf_counter() - start

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            subprocess.run(["fusermount", "-uz", self.path], check=False)
            try:
                self.proc.wait(timeout=600)
            except subprocess.TimeoutExpired:
                self.proc.kill()


def burlfs(file, path, *opts):
    argv = [BURLFS, "-f"]
    if opts:
        argv += ["-o", ",".join(opts)]
    return Mount(argv + [file, path], path)


# burlfs has the kernel cache no names or attributes (list items are named by
# position, so names change meaning); flatfs runs with the same settings, so
# that the comparison counts the same requests.
FUSE_SETTINGS = "entry_timeout=0,attr_timeout=0"


def flatfs(manifest, path):
    return Mount([FLATFS, manifest, path, "-f", "-o", FUSE_SETTINGS], path)


def manifest(root, out):
    """Writes every object under root (in listing order) to a manifest."""
    with open(out, "wb") as f:
        def walk(rel):
            for entry in os.scandir(os.path.join(root, rel)):
                p = f"{rel}/{entry.name}" if rel else entry.name
                if entry.is_dir(follow_symlinks=False):
                    f.write(b"d /" + p.encode() + b"\n")
                    walk(p)
                else:
                    with open(entry.path, "rb") as g:
                        data = g.read()
                    f.write(f"f {len(data)} /".encode() + p.encode() + b"\n" + data + b"\n")
        walk("")


def copy_tree(root, dest):
    """Copies what is under root into dest with ordinary files and folders."""
    for entry in os.scandir(root):
        target = os.path.join(dest, entry.name)
        if entry.is_dir(follow_symlinks=False):
            os.mkdir(target)
            copy_tree(entry.path, target)
        else:
            with open(entry.path, "rb") as f, open(target, "wb") as g:
                g.write(f.read())


def timed(fn, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def walk_op(root):
    return lambda: subprocess.run(["find", root, "-printf", "%s %m\n"], stdout=DEVNULL, check=True)


def cat_op(root):
    return lambda: subprocess.run(f"find {root} -type f -exec cat {{}} + >/dev/null", shell=True, check=True)


def ls_op(path):
    return lambda: subprocess.run(["ls", "-l", path], stdout=DEVNULL, check=True)


def write_op(root, names):
    def run():
        for n in names:
            fd = os.open(os.path.join(root, n), os.O_WRONLY | os.O_TRUNC)
            os.write(fd, b"5\n")
            os.close(fd)
    return run


def three_way(rows, label, file, op_for, repeat, subdir="", opts=()):
    """Runs one operation on burlfs, flatfs and tmpfs over the same content."""
    with tempfile.TemporaryDirectory(prefix="burl_fsbench_") as tmp:
        mnt, flat, tmpfs = (os.path.join(tmp, n) for n in ("burlfs", "flatfs", "tmpfs"))
        man = os.path.join(tmp, "manifest")
        copy = os.path.join(tmp, "copy.nbt")
        shutil.copy(file, copy)
        os.makedirs(tmpfs)
        subprocess.run(["mount", "-t", "tmpfs", "none", tmpfs], check=True)
        try:
            with burlfs(copy, mnt, *opts) as m:
                manifest(mnt, man)
                copy_tree(mnt, tmpfs)
                t_burl = timed(op_for(os.path.join(mnt, subdir)), repeat)
                m.unmount()
            with flatfs(man, flat) as f:
                t_flat = timed(op_for(os.path.join(flat, subdir)), repeat)
                f.unmount()
            t_tmp = timed(op_for(os.path.join(tmpfs, subdir)), repeat)
        finally:
            subprocess.run(["umount", tmpfs], check=False)
    rows.append((label, t_burl, t_flat, t_tmp))


def save_time(file, change, *opts):
    """Mounts a copy read-write, changes it, and times the unmount (the save)."""
    with tempfile.TemporaryDirectory(prefix="burl_fsbench_") as tmp:
        copy = os.path.join(tmp, os.path.basename(file))
        shutil.copy(file, copy)
        mnt = os.path.join(tmp, "mnt")
        with burlfs(copy, mnt, *opts) as m:
            change(mnt)
            return m.unmount()


def first_int(root):
    for dirpath, dirs, files in os.walk(root):
        for f in files:
            if f.startswith("int32:") or f == "Y":
                return os.path.join(dirpath, f)
    raise RuntimeError("no int value found")


def main():
    with tempfile.TemporaryDirectory(prefix="burl_fsdata_") as data:
        subprocess.run([MAKE_DATA, data], check=True)
        rows = []
        three_way(rows, "walk a mounted tree (find, stat of every entry)", f"{data}/walk.nbt", walk_op, 5)
        three_way(rows, "read every value file (cat of each)", f"{data}/walk.nbt", cat_op, 5)
        for n in (1000, 10000, 100000):
            rep = 5 if n < 100000 else 3
            three_way(rows, f"ls -l of a compound of {n}", f"{data}/compound_{n}.nbt", ls_op, rep)
            three_way(rows, f"ls -l of a list of {n}", f"{data}/list_{n}.nbt", ls_op, rep, subdir="l")
        names = [f"v{i}" for i in range(10000)]
        three_way(rows, "write one value in each of 10k files", f"{data}/compound_10000.nbt",
                  lambda root: write_op(root, names), 3)

        def change_big(mnt):
            with open(first_int(mnt), "w") as f:
                f.write("7\n")

        def change_region(mnt):
            for chunk in ("0", "500", "1023"):
                with open(os.path.join(mnt, chunk, "DataVersion"), "w") as f:
                    f.write("7\n")

        saves = [
            ("save a changed 100 MB NBT file at unmount", save_time(f"{data}/big.nbt", change_big)),
            ("save a full region file, 3 chunks changed, at unmount",
             save_time(f"{data}/region.mca", change_region, "region")),
        ]

    out = ["## File system\n",
           "Median wall-clock times of the same operation on a burlfs mount, on flatfs (a minimal "
           "FUSE 2 file system serving the same names and contents from a flat table, so its cost "
           "is FUSE's own; it runs with burlfs's settings, " + FUSE_SETTINGS + ") and on tmpfs "
           "holding the same files.\n",
           "| operation | burlfs (ms) | flatfs (ms) | tmpfs (ms) | burlfs / flatfs |",
           "|---|---:|---:|---:|---:|"]
    for label, b, f, t in rows:
        out.append(f"| {label} | {b * 1e3:.1f} | {f * 1e3:.1f} | {t * 1e3:.1f} | {b / f:.2f} |")
    out.append("")
    out.append("| saving | time (ms) |")
    out.append("|---|---:|")
    for label, t in saves:
        out.append(f"| {label} | {t * 1e3:.1f} |")
    out.append("")
    with open(OUT, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
