#!/usr/bin/env python3
"""The whole-run benchmark series: floor variants, create, tag reading alone, no-change update,
update after 1% added and removed, and TagLib's tag scan, timed in one interleaved series on the
same tree, and printed as a table of medians and ratios to the floor measured in the same rounds;
then each command once more under strace, counting its operations on the card (card.py), and the
targets as lines that say met or not.

Nothing here is a test: it prints numbers and exits 0 unless a command failed. scripts/bench.sh
builds the programs and calls this; see bench/README.md.
"""

import argparse
import hashlib
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
import card  # noqa: E402

KB = 1024
MIB = 1024 * 1024
TOOLS = None  # set by main()


def log(text):
    print(text, file=sys.stderr, flush=True)


class Tools:
    def __init__(self, build):
        self.creator = os.path.join(build, "src/cli/deltrix-creator")
        self.make_drive = os.path.join(build, "bench/make_drive/make_drive")
        self.floor = os.path.join(build, "bench/floor/floor")
        self.measure = os.path.join(build, "bench/run/measure")
        self.tags_only = os.path.join(build, "bench/run/tags_only")
        taglib = os.path.join(build, "bench/run/taglib_scan")
        self.taglib = taglib if os.path.exists(taglib) else None
        for path in (self.creator, self.make_drive, self.floor, self.measure, self.tags_only):
            if not os.path.exists(path):
                sys.exit(f"series: {path} is missing: build it first (scripts/bench.sh does)")


def run_timed(argv, env=None):
    """Runs argv to its end through `measure`; returns (wall seconds, peak RSS bytes, bytes written,
    exit status)."""
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    with tempfile.NamedTemporaryFile("r", suffix=".measure") as report:
        status = subprocess.run([TOOLS.measure, report.name] + argv, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=full_env).returncode
        fields = dict(kv.split("=", 1) for kv in report.read().split())
    if not fields:
        return 0.0, 0, 0, status
    return (float(fields["wall"]), int(fields["maxrss_kb"]) * KB, int(fields["written"]),
            int(fields["status"]))


def make_tree(tools, path, files, cover_share=0):
    """Makes the tree at `path` unless one with these options is there; puts it back to its first
    generation when it was moved on. Deleting a big tree is slow here, so trees are kept."""
    state = os.path.join(path, ".make_drive")
    if os.path.exists(state):
        with open(state) as f:
            kept = dict(line.strip().split("=", 1) for line in f if "=" in line)
        if kept.get("files") == str(files) and kept.get("cover_share") == str(cover_share):
            if kept.get("changes"):
                subprocess.run([tools.make_drive, "--out", path, "--reset"], check=True,
                               stdout=subprocess.DEVNULL)
            remove_library(path)
            return
        sys.exit(f"series: {path} holds another tree; remove it or pass --trees elsewhere")
    log(f"making {path} ({files} files, cover share {cover_share}%)")
    argv = [tools.make_drive, "--out", path, "--files", str(files)]
    if cover_share:
        argv += ["--cover-share", str(cover_share)]
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)


def remove_library(tree):
    shutil.rmtree(os.path.join(tree, "KORVANE"), ignore_errors=True)


def library_snapshot(tree):
    """Every file under the device folder with its size, modification time and hash."""
    snap = {}
    base = os.path.join(tree, "KORVANE")
    for folder, _, names in os.walk(base):
        for name in names:
            p = os.path.join(folder, name)
            st = os.stat(p)
            with open(p, "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
            snap[os.path.relpath(p, base)] = (st.st_size, st.st_mtime_ns, digest)
    return snap


LIBRARY_FILES = ("ZRTL.DB", "ZRBL.DB", "ZRDB.DB")
CREATOR_COMMANDS = ("create", "create over a library", "no-change update", "update, 1% added and removed")


def library_size(tree):
    """The bytes of the three library files the player reads."""
    folder = os.path.join(tree, "KORVANE", "LIBRARY")
    return sum(os.path.getsize(os.path.join(folder, name)) for name in LIBRARY_FILES
               if os.path.exists(os.path.join(folder, name)))


def megabytes(n):
    return "0 bytes" if n == 0 else f"{n / 1e6:.2f} MB"


def verdict(met):
    return "met" if met else "NOT met"


class Series:
    def __init__(self, tools, tree, files):
        self.tools = tools
        self.tree = tree
        self.files = files
        self.results = {}  # name -> list of (wall, rss, written)
        self.order = []
        self.untouched = []  # per no-change update: library files identical before and after
        self.card = {}  # name -> card.CardCounts of the counting pass
        self.library = {}  # name -> bytes of the library files after that command
        self.list_file = os.path.join(tempfile.gettempdir(), f"bench-list-{os.getpid()}-{files}.txt")

    def record(self, name, measured, keep):
        wall, rss, written, status = measured
        if status != 0:
            sys.exit(f"series: {name} failed with status {status}")
        if not keep:
            return
        if name not in self.results:
            self.results[name] = []
            self.order.append(name)
        self.results[name].append((wall, rss, written))

    def creator(self, command, env=None):
        return run_timed([self.tools.creator, command, "--folder", self.tree, "--yes"], env=env)

    def round(self, keep):
        t = self.tools
        for mode in ("full", "open", "walk"):
            self.record(f"floor {mode}", run_timed([t.floor, "--root", self.tree, "--mode", mode]), keep)
        remove_library(self.tree)
        self.record("tag reading alone", run_timed([t.tags_only, self.tree]), keep)
        self.record("create", self.creator("create"), keep)
        before = library_snapshot(self.tree)
        self.record("no-change update", self.creator("update"), keep)
        if keep:
            self.untouched.append(before == library_snapshot(self.tree))
        self.record("create over a library", self.creator("create"), keep)
        subprocess.run([t.make_drive, "--out", self.tree, "--add-remove", "1"], check=True,
                       stdout=subprocess.DEVNULL)
        self.record("update, 1% added and removed", self.creator("update"), keep)
        subprocess.run([t.make_drive, "--out", self.tree, "--reset"], check=True, stdout=subprocess.DEVNULL)
        if t.taglib:
            self.record("TagLib tag scan", run_timed([t.taglib, "--list", self.list_file]), keep)

    def run(self, rounds):
        with open(self.list_file, "w") as f:
            subprocess.run([self.tools.floor, "--root", self.tree, "--mode", "walk", "--print"], check=True,
                           stdout=f)
        log(f"{self.files} files: warm-up round")
        self.round(False)
        for r in range(rounds):
            log(f"{self.files} files: round {r + 1} of {rounds}")
            self.round(True)
        os.unlink(self.list_file)

    def count_pass(self):
        """Every command once more under strace, apart from the timed rounds, counting its operations
        on the card (bench/run/card.py). The same steps as a round, so each command meets the same
        library as when it was timed."""
        t = self.tools
        creator = lambda command: [t.creator, command, "--folder", self.tree, "--yes"]

        def count(name, argv):
            log(f"{self.files} files: counting the card's operations of {name}")
            counts, status = card.count_command(argv, self.tree)
            if status != 0:
                sys.exit(f"series: {name} failed under strace with status {status}")
            self.card[name] = counts
            if name in CREATOR_COMMANDS:
                self.library[name] = library_size(self.tree)

        for mode in ("full", "open"):
            count(f"floor {mode}", [t.floor, "--root", self.tree, "--mode", mode])
        remove_library(self.tree)
        count("tag reading alone", [t.tags_only, self.tree])
        count("create", creator("create"))
        count("no-change update", creator("update"))
        count("create over a library", creator("create"))
        subprocess.run([t.make_drive, "--out", self.tree, "--add-remove", "1"], check=True,
                       stdout=subprocess.DEVNULL)
        count("update, 1% added and removed", creator("update"))
        subprocess.run([t.make_drive, "--out", self.tree, "--reset"], check=True, stdout=subprocess.DEVNULL)

    def median_wall(self, name):
        return statistics.median(w for w, _, _ in self.results[name])

    def median_ratio(self, name, to="floor full"):
        return statistics.median(w / f for (w, _, _), (f, _, _) in zip(self.results[name], self.results[to]))

    def card_table(self):
        if not self.card:
            return ""
        floor_model = self.card["floor full"].modelled_seconds()
        lines = [f"#### {self.files} files on the card: counted once under strace; modelled on a USB 2.0 stick "
                 f"(0.5 ms per open, 25 MB/s read, 10 MB/s write)",
                 "",
                 "| command | measured wall | modelled (opens + read + write) | modelled ÷ modelled floor | "
                 "opens/file | syscalls/file | read from the card | written to the card | written ÷ library | "
                 "entries changed |",
                 "|---|---|---|---|---|---|---|---|---|---|"]
        for name in self.order:
            c = self.card.get(name)
            if c is None:
                continue
            opens, read, write = c.model_parts()
            size = self.library.get(name)
            ratio = f"{c.written / size:.3f}" if size else ""
            lines.append(
                f"| {name} | {self.median_wall(name):.3f} s | {c.modelled_seconds():.1f} s "
                f"({opens:.1f} + {read:.1f} + {write:.1f}) | {c.modelled_seconds() / floor_model:.2f} | "
                f"{c.opens / self.files:.2f} | {c.calls / self.files:.1f} | "
                f"{megabytes(c.read)} ({c.read / self.files:.0f} B/file) | {megabytes(c.written)} | {ratio} | "
                f"{c.changes} |")
        lines.append("")
        lines.append(f"Library after the create: {megabytes(self.library['create'])} (ZRTL.DB, ZRBL.DB, ZRDB.DB).")
        return "\n".join(lines)

    def targets(self):
        """The card targets as lines that say met or not, with this series' figures."""
        create = self.median_ratio("create")
        engine = statistics.median(
            (c - t) / f for (c, _, _), (t, _, _), (f, _, _) in
            zip(self.results["create"], self.results["tag reading alone"], self.results["floor full"]))
        unchanged = self.median_ratio("no-change update", to="floor open")
        peak, peak_name = max((max(r for _, r, _ in self.results[n]), n) for n in CREATOR_COMMANDS)
        lines = [f"Targets (set for 150000 files; figures of this series at {self.files} files):", "",
                 f"- create ≤ 1.6x the floor: {create:.2f}x, {verdict(create <= 1.6)}",
                 f"- engine share (create minus tag reading alone, per round) ≤ 0.3x the floor: {engine:.2f}x, "
                 f"{verdict(engine <= 0.3)}"]
        for name, label in (("create", "a create on a card without a library"),
                            ("create over a library", "a create over an existing library")):
            c = self.card.get(name)
            if c is None:
                lines.append(f"- bytes written by {label} ≤ 1.02x the library's size: not counted (no strace)")
                continue
            ratio = c.written / self.library[name]
            lines.append(f"- bytes written by {label} ≤ 1.02x the library's size: {ratio:.3f}x "
                         f"({megabytes(c.written)} for {megabytes(self.library[name])}), {verdict(ratio <= 1.02)}")
        lines.append(f"- no-change update ≤ 1.0x the open-only floor: {unchanged:.2f}x, {verdict(unchanged <= 1.0)}")
        c = self.card.get("no-change update")
        if c is None:
            lines.append("- no-change update writes nothing to the card: not counted (no strace)")
        else:
            lines.append(f"- no-change update writes nothing to the card: {c.written} bytes, {c.changes} entries "
                         f"changed, {verdict(c.written == 0 and c.changes == 0)}")
        lines.append(f"- peak memory ≤ 96 MiB: {peak / MIB:.1f} MiB ({peak_name}), {verdict(peak <= 96 * MIB)}")
        return "\n".join(lines)

    def table(self, per_file):
        floor = [w for w, _, _ in self.results["floor full"]]
        floor_open = [w for w, _, _ in self.results["floor open"]]
        lines = [f"### {self.files} files, {len(floor)} rounds (medians; ratio = median of the per-round ratio)",
                 "",
                 "| command | median wall | ratio to floor | ratio to open floor | peak RSS | written, all disks | syscalls/file | bytes read/file |",
                 "|---|---|---|---|---|---|---|---|"]
        for name in self.order:
            rows = self.results[name]
            walls = [w for w, _, _ in rows]
            ratio = statistics.median(w / f for w, f in zip(walls, floor))
            ratio_open = statistics.median(w / f for w, f in zip(walls, floor_open))
            rss = max(r for _, r, _ in rows)
            written = statistics.median(x for _, _, x in rows)
            calls, read = per_file.get(name, (None, None))
            lines.append(
                f"| {name} | {statistics.median(walls):.3f} s | {ratio:.2f} | "
                f"{ratio_open:.2f} | {rss / MIB:.1f} MiB | {written / KB:.0f} KB | "
                f"{'' if calls is None else f'{calls:.1f}'} | {'' if read is None else f'{read:.0f}'} |")
        lines.append("")
        if self.untouched:
            same = all(self.untouched)
            lines.append(f"No-change update left every library file as it was (size, mtime, hash): "
                         f"{'yes' if same else 'NO'} ({sum(self.untouched)} of {len(self.untouched)} rounds)")
        return "\n".join(lines)


# ---- system calls and bytes read per audio file, from strace on a small tree --------------------

SYSCALL_LINE = re.compile(r"^(\w+)\((.*)\)\s+=\s+(-?\d+|\?|0x[0-9a-f]+)")


def trace_lines(folder):
    """The lines of every per-thread trace (strace -ff) in `folder`: one thread per file, so no
    call is split into "unfinished" and "resumed" halves."""
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), errors="replace") as f:
            yield from f


def strace_counts(argv, audio_files, env=None):
    """All system calls of the process (threads included) per audio file, and the bytes read by
    read, pread64 and readv per audio file."""
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "trace")
        subprocess.run(["strace", "-ff", "-qq", "-o", out] + argv, env=full_env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        calls = 0
        read = 0
        for line in trace_lines(tmp):
            m = SYSCALL_LINE.match(line)
            if not m:
                continue  # signals, exits, and a call interrupted by the end of the process
            calls += 1
            if m.group(1) in ("read", "pread64", "readv", "preadv") and m.group(3) != "?":
                read += max(0, int(m.group(3)))
    return calls / audio_files, read / audio_files


def per_file_trace(argv, env=None):
    """Per audio file: the system calls that name it or one of its descriptors (strace -y) and the
    bytes read from it. Returns {native path: (calls, bytes)} and whether the scan asked attributes
    with getxattrat, by folder descriptor and name, which strace shows without the file's path."""
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    per = {}
    at_queries = 0
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "trace")
        subprocess.run(["strace", "-ff", "-qq", "-y", "-o", out] + argv, env=full_env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        audio = re.compile(r'"(/[^"]+\.(?:mp3|m4a|aac|mp4|wav|aif|aiff))"|<(/[^>]+\.(?:mp3|m4a|aac|mp4|wav|aif|aiff))>',
                           re.IGNORECASE)
        for line in trace_lines(tmp):
            if "getxattrat(" in line or "syscall_0x1d0(" in line:
                at_queries += 1
            m = audio.search(line)
            if not m:
                continue
            path = m.group(1) or m.group(2)
            calls, nread = per.get(path, (0, 0))
            calls += 1
            name = SYSCALL_LINE.match(line)
            if name and name.group(1) in ("read", "pread64") and name.group(3) != "?":
                nread += max(0, int(name.group(3)))
            per[path] = (calls, nread)
    return per, at_queries > 0


def id3_kind(path):
    """('v23+v1', cover bytes) for an MP3 with an ID3v2.3 tag and an ID3v1 tag; None otherwise."""
    with open(path, "rb") as f:
        head = f.read(10)
        if len(head) < 10 or head[:3] != b"ID3" or head[3] != 3:
            return None
        size = (head[6] << 21) | (head[7] << 14) | (head[8] << 7) | head[9]
        body = f.read(size)
        f.seek(-128, os.SEEK_END)
        if f.read(3) != b"TAG":
            return None
    cover = 0
    at = 0
    while at + 10 <= len(body) and body[at:at + 4] != b"\0\0\0\0":
        fsize = int.from_bytes(body[at + 4:at + 8], "big")
        if body[at:at + 4] == b"APIC":
            cover = fsize
        at += 10 + fsize
    return cover


def mp3_figures(tools, tree, label):
    per, at_queries = per_file_trace([tools.creator, "create", "--folder", tree, "--yes"])
    plain, covered = [], []
    for path, (calls, nread) in per.items():
        calls += 1 if at_queries else 0  # the scan's attribute query of the file
        if not path.lower().endswith(".mp3") or not os.path.exists(path):
            continue
        cover = id3_kind(path)
        if cover is None:
            continue
        if cover == 0:
            plain.append((calls, nread))
        elif cover >= 400 * KB:
            covered.append((calls, nread))
    lines = []
    for name, rows in (("no cover", plain), ("cover of 400-500 KB", covered)):
        if rows:
            lines.append(f"| {label} | MP3, ID3v2.3 + ID3v1, {name} | {len(rows)} | "
                         f"{statistics.median(c for c, _ in rows):.0f} (max {max(c for c, _ in rows)}) | "
                         f"{statistics.median(b for _, b in rows):.0f} (max {max(b for _, b in rows)}) |")
    return lines


def strace_section(tools, trees_dir, files):
    tree = os.path.join(trees_dir, f"strace-{files}")
    covers = os.path.join(trees_dir, f"strace-{files}-covers")
    make_tree(tools, tree, files)
    make_tree(tools, covers, files, cover_share=20)
    per_file = {}
    argv_floor = lambda mode: [tools.floor, "--root", tree, "--mode", mode]
    for mode in ("full", "open", "walk"):
        per_file[f"floor {mode}"] = strace_counts(argv_floor(mode), files)
    remove_library(tree)
    creator = [tools.creator, "create", "--folder", tree, "--yes"]
    per_file["tag reading alone"] = strace_counts([tools.tags_only, tree], files)
    per_file["create"] = strace_counts(creator, files)
    per_file["no-change update"] = strace_counts([tools.creator, "update", "--folder", tree, "--yes"], files)
    per_file["create over a library"] = strace_counts(creator, files)
    subprocess.run([tools.make_drive, "--out", tree, "--add-remove", "1"], check=True, stdout=subprocess.DEVNULL)
    per_file["update, 1% added and removed"] = strace_counts([tools.creator, "update", "--folder", tree, "--yes"],
                                                             files)
    subprocess.run([tools.make_drive, "--out", tree, "--reset"], check=True, stdout=subprocess.DEVNULL)
    if tools.taglib:
        list_file = os.path.join(trees_dir, f"strace-{files}.list")
        with open(list_file, "w") as f:
            subprocess.run([tools.floor, "--root", tree, "--mode", "walk", "--print"], check=True, stdout=f)
        per_file["TagLib tag scan"] = strace_counts([tools.taglib, "--list", list_file], files)
    remove_library(covers)
    covers_create = strace_counts([tools.creator, "create", "--folder", covers, "--yes"], files)
    mp3 = ["| tree | files | count | syscalls per file | bytes read per file |", "|---|---|---|---|---|"]
    remove_library(tree)
    mp3 += mp3_figures(tools, tree, f"{files} files")
    remove_library(covers)
    mp3 += mp3_figures(tools, covers, f"{files} files, 20% covers")
    return per_file, covers_create, mp3


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--build", required=True, help="Release build folder")
    ap.add_argument("--trees", required=True, help="folder for the trees (kept between runs)")
    ap.add_argument("--files", type=int, action="append", help="tree sizes (default 20000 and 150000)")
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--strace-files", type=int, default=2000, help="tree size for strace (0: none)")
    ap.add_argument("--no-count", action="store_true",
                    help="leave out the counting pass of the card's operations at each size")
    args = ap.parse_args()
    args.build = os.path.realpath(args.build)
    args.trees = os.path.realpath(args.trees)
    global TOOLS
    tools = TOOLS = Tools(args.build)
    os.makedirs(args.trees, exist_ok=True)
    sizes = args.files or [20000, 150000]

    per_file, covers_create, mp3 = {}, None, []
    if args.strace_files and shutil.which("strace"):
        log(f"strace on a {args.strace_files}-file tree")
        per_file, covers_create, mp3 = strace_section(tools, args.trees, args.strace_files)
    if not tools.taglib:
        log("TagLib is not installed: the TagLib scan is left out")

    out = []
    for files in sizes:
        tree = os.path.join(args.trees, f"tree-{files}")
        make_tree(tools, tree, files)
        series = Series(tools, tree, files)
        series.run(args.rounds)
        if not args.no_count and shutil.which("strace"):
            series.count_pass()
        out.append(series.table(per_file))
        print(out[-1] + "\n", flush=True)
        if series.card:
            print(series.card_table() + "\n", flush=True)
        print(series.targets() + "\n", flush=True)
    if per_file:
        print(f"System calls and bytes read per audio file: strace -ff over the whole process (all threads) on a "
              f"{args.strace_files}-file tree (make_drive --files {args.strace_files}), divided by the audio files.")
        if covers_create:
            print(f"The same create on the tree with --cover-share 20 (same paths and tags): "
                  f"{covers_create[0]:.1f} syscalls and {covers_create[1]:.0f} bytes read per audio file.")
        print()
        print("Per file in a create (system calls naming the file or its descriptor, strace -y, and the scan's "
              "attribute query of it; bytes read from it):")
        print()
        print("\n".join(mp3))
    return 0


if __name__ == "__main__":
    sys.exit(main())
