"""The card's operations of one command: a counting pass under strace, apart from the timed rounds.

Only what touches the card counts: a call whose path, or whose descriptor's path (strace -y), lies
under the card's folder (the tree the run works on, its mount point on a real stick). Scratch files
the program keeps on the computer's own disk ($TMPDIR and the like) are left out, so the figures
follow whatever the program does without knowing where it keeps them.

The modelled time is what a typical USB 2.0 stick would take for the counted operations:
0.5 ms per open of a file or folder on the card, 25 MB/s read, 10 MB/s write (MB = 10^6 bytes),
the operations one after another. Listings, attribute queries and the other calls are not modelled.
"""

import os
import re
import subprocess
import tempfile

OPEN_SECONDS = 0.0005
READ_BYTES_PER_SECOND = 25e6
WRITE_BYTES_PER_SECOND = 10e6

SYSCALL = re.compile(r"^(\w+)\((.*)\)\s+=\s+(-?\d+|\?|0x[0-9a-f]+)")
# A descriptor with its path (strace -y): "4</a/b>", "AT_FDCWD</cwd>".
DESCRIPTOR = re.compile(r"(?:-?\d+|AT_FDCWD)<([^>]*)>")
QUOTED = re.compile(r'"((?:[^"\\]|\\.)*)"')

OPENS = {"open", "openat", "openat2", "creat"}
READS = {"read", "pread64", "readv", "preadv", "preadv2"}
WRITES = {"write", "pwrite64", "writev", "pwritev", "pwritev2"}
# (input descriptor index, output descriptor index) among the call's descriptors.
COPIES = {"copy_file_range": (0, 1), "splice": (0, 1), "sendfile": (1, 0), "sendfile64": (1, 0)}
# Calls that change an entry on the card without writing file data; counted when they succeed.
CHANGES = {"rename", "renameat", "renameat2", "unlink", "unlinkat", "mkdir", "mkdirat", "rmdir",
           "link", "linkat", "symlink", "symlinkat", "truncate", "ftruncate", "fallocate",
           "chmod", "fchmod", "fchmodat", "utimensat", "futimesat", "utimes", "setxattr",
           "lsetxattr", "fsetxattr", "removexattr", "lremovexattr", "fremovexattr"}
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_TMPFILE")


class CardCounts:
    """Counts of one command: `calls` is every system call of the process (all threads); the rest
    only what touches the card."""

    def __init__(self):
        self.calls = 0
        self.opens = 0
        self.read = 0
        self.written = 0
        self.changes = 0

    def modelled_seconds(self):
        return (self.opens * OPEN_SECONDS + self.read / READ_BYTES_PER_SECOND +
                self.written / WRITE_BYTES_PER_SECOND)

    def model_parts(self):
        """(opens, read, write) seconds of the model."""
        return (self.opens * OPEN_SECONDS, self.read / READ_BYTES_PER_SECOND,
                self.written / WRITE_BYTES_PER_SECOND)


def unescape(text):
    """A quoted strace string back to its text (only the escapes a path can hold matter)."""
    return re.sub(r"\\(.)", r"\1", text)


class TraceCounter:
    def __init__(self, card):
        self.card = os.path.normpath(card)
        self.counts = CardCounts()

    def on_card(self, path):
        path = path.removesuffix(" (deleted)")
        return path == self.card or path.startswith(self.card + "/")

    def resolve(self, base, path):
        if path.startswith("/") or base is None:
            return os.path.normpath(path)
        return os.path.normpath(os.path.join(base, path))

    def paths(self, name, args):
        """The paths a call names: each quoted path (relative ones resolved against the descriptor
        or working folder before them) and each descriptor's own path."""
        found = []
        base = None
        at = 0
        while at < len(args):
            d = DESCRIPTOR.match(args, at)
            if d:
                base = d.group(1)
                found.append(base)
                at = d.end()
                continue
            q = QUOTED.match(args, at)
            if q:
                if name not in ("setxattr", "lsetxattr", "fsetxattr") or not found:
                    found.append(self.resolve(base, unescape(q.group(1))))
                at = q.end()
                continue
            at += 1
        return found

    def line(self, text):
        m = SYSCALL.match(text)
        if not m:
            return  # signals, exits, and a call cut short by the end of the process
        c = self.counts
        c.calls += 1
        name, args, result = m.group(1), m.group(2), m.group(3)
        ok = result.lstrip("-").isdigit() and int(result) >= 0
        count = int(result) if ok else 0
        if name in OPENS:
            paths = [p for p in self.paths(name, args) if p]
            # openat(dirfd<dir>, "name") names the folder first; the opened path is the last.
            target = paths[-1] if paths else ""
            if self.on_card(target):
                c.opens += 1
                if ok and (name == "creat" or any(f in args for f in WRITE_FLAGS)):
                    c.changes += 1
        elif name in READS or name in WRITES:
            d = DESCRIPTOR.match(args)
            if d and self.on_card(d.group(1)):
                if name in READS:
                    c.read += count
                else:
                    c.written += count
        elif name in COPIES:
            descriptors = DESCRIPTOR.findall(args)
            source, target = COPIES[name]
            if len(descriptors) >= 2:
                if self.on_card(descriptors[source]):
                    c.read += count
                if self.on_card(descriptors[target]):
                    c.written += count
        elif name in CHANGES and ok:
            if any(self.on_card(p) for p in self.paths(name, args)):
                c.changes += 1


def count_trace_files(folder, card):
    """Counts the per-thread traces (strace -ff) in `folder`."""
    counter = TraceCounter(card)
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), errors="replace") as f:
            for text in f:
                counter.line(text)
    return counter.counts


def count_command(argv, card, env=None):
    """Runs argv under strace (all threads, descriptors with their paths, no string contents) and
    counts its operations on the card. Returns (CardCounts, exit status)."""
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    with tempfile.TemporaryDirectory(prefix="bench-card-") as tmp:
        out = os.path.join(tmp, "trace")
        status = subprocess.run(["strace", "-ff", "-qq", "-y", "-s", "0", "-e", "signal=none", "-o", out] + argv,
                                env=full_env, cwd=tmp, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL).returncode
        return count_trace_files(tmp, card), status
