"""Counting the card's operations from strace lines: which calls count, on which side, and which stay
on the computer's own disk."""

import os
import tempfile
import unittest

import card

CARD = "/media/stick"

# (strace -y line, (calls, opens, read, written, changes)) for a card mounted at CARD.
LINES = [
    # Opens on the card, by full path, against a folder descriptor and against the working folder.
    ('openat(AT_FDCWD</home/u>, "/media/stick/a.mp3", O_RDONLY|O_CLOEXEC) = 5</media/stick/a.mp3>',
     (1, 1, 0, 0, 0)),
    ('openat(7</media/stick/Music>, "b.mp3", O_RDONLY) = 8</media/stick/Music/b.mp3>', (1, 1, 0, 0, 0)),
    ('openat(AT_FDCWD</media/stick/Music>, "../c.mp3", O_RDONLY) = 8</media/stick/c.mp3>', (1, 1, 0, 0, 0)),
    ('open("/media/stick/d.mp3", O_RDONLY) = 3</media/stick/d.mp3>', (1, 1, 0, 0, 0)),
    # A failed lookup still costs the stick an open; it changes nothing.
    ('openat(AT_FDCWD</home/u>, "/media/stick/KORVANE/ZRDB.DB.bak", O_RDONLY) = -1 ENOENT (No such file or directory)',
     (1, 1, 0, 0, 0)),
    # An open that creates or truncates is also a change of the card.
    ('openat(AT_FDCWD</home/u>, "/media/stick/KORVANE/LIBRARY/ZRTL.DB", O_RDWR|O_CREAT|O_TRUNC|O_CLOEXEC, 0666) = 4</media/stick/KORVANE/LIBRARY/ZRTL.DB>',
     (1, 1, 0, 0, 1)),
    ('openat(AT_FDCWD</home/u>, "/media/stick/KORVANE/LIBRARY/ZRBL.DB", O_WRONLY|O_CREAT|O_TRUNC, 0666) = -1 EACCES (Permission denied)',
     (1, 1, 0, 0, 0)),
    # Neither a scratch file nor a folder whose name only begins like the card's is on the card.
    ('openat(AT_FDCWD</home/u>, "/tmp/deltrix-batch", O_RDWR|O_CREAT|O_EXCL, 0600) = 6</tmp/deltrix-batch>',
     (1, 0, 0, 0, 0)),
    ('openat(AT_FDCWD</home/u>, "/media/stick2/a.mp3", O_RDONLY) = 6</media/stick2/a.mp3>', (1, 0, 0, 0, 0)),
    ('openat(AT_FDCWD</media/stick>, "../stick2/a.mp3", O_RDONLY) = 6</media/stick2/a.mp3>', (1, 0, 0, 0, 0)),
    # Reads and writes by descriptor: only the card's count, by the bytes the call moved.
    ('pread64(5</media/stick/a.mp3>, ""..., 4096, 0) = 4096', (1, 0, 4096, 0, 0)),
    ('read(5</media/stick/a.mp3 (deleted)>, ""..., 128) = 100', (1, 0, 100, 0, 0)),
    ('readv(5</media/stick/a.mp3>, [{iov_base="", iov_len=10}], 1) = 10', (1, 0, 10, 0, 0)),
    ('read(5</media/stick/a.mp3>, ""..., 128) = ?', (1, 0, 0, 0, 0)),
    ('read(3</proc/self/mountinfo>, ""..., 1024) = 1024', (1, 0, 0, 0, 0)),
    ('pwrite64(4</media/stick/KORVANE/LIBRARY/ZRTL.DB>, ""..., 189788, 16) = 189788', (1, 0, 0, 189788, 0)),
    ('write(4</media/stick/KORVANE/LIBRARY/ZRBL.DB>, ""..., 100) = -1 ENOSPC (No space left on device)',
     (1, 0, 0, 0, 0)),
    ('pwrite64(6</tmp/deltrix-batch>, ""..., 65536, 0) = 65536', (1, 0, 0, 0, 0)),
    ('write(1</dev/pts/0>, ""..., 40) = 40', (1, 0, 0, 0, 0)),
    # Copies in the kernel: the source side is read, the target side written, each where it is.
    ('copy_file_range(4</media/stick/KORVANE/LIBRARY/ZRTL.DB>, NULL, 5</media/stick/KORVANE/.ZRTL.DB.bak.x>, NULL, 1073741824, 0) = 500',
     (1, 0, 500, 500, 0)),
    ('copy_file_range(4</tmp/built>, NULL, 5</media/stick/KORVANE/LIBRARY/ZRTL.DB>, NULL, 1073741824, 0) = 300',
     (1, 0, 0, 300, 0)),
    ('sendfile(5</media/stick/KORVANE/LIBRARY/ZRTL.DB>, 4</tmp/built>, NULL, 70) = 70', (1, 0, 0, 70, 0)),
    ('sendfile(5</tmp/copy>, 4</media/stick/a.mp3>, NULL, 70) = 70', (1, 0, 70, 0, 0)),
    # Changes of entries: counted when they succeed on the card.
    ('rename("/media/stick/KORVANE/.ZRDB.DB.bak.q", "/media/stick/KORVANE/ZRDB.DB.bak") = 0', (1, 0, 0, 0, 1)),
    ('renameat2(AT_FDCWD</home/u>, "/media/stick/KORVANE/LIBRARY/ZRTL.DB", AT_FDCWD</home/u>, "/media/stick/KORVANE/ZRTL.DB.bak", RENAME_NOREPLACE) = 0',
     (1, 0, 0, 0, 1)),
    ('renameat2(AT_FDCWD</home/u>, "/tmp/a", AT_FDCWD</home/u>, "/tmp/b", RENAME_NOREPLACE) = 0', (1, 0, 0, 0, 0)),
    ('unlink("/media/stick/KORVANE/ZRTL.DB.bak") = -1 ENOENT (No such file or directory)', (1, 0, 0, 0, 0)),
    ('unlinkat(3</media/stick/KORVANE>, "ZRTL.DB.bak", 0) = 0', (1, 0, 0, 0, 1)),
    ('mkdir("/media/stick/KORVANE", 0777) = 0', (1, 0, 0, 0, 1)),
    ('setxattr("/media/stick/KORVANE", "user.DOSATTRIB", "0x2", 3, 0) = 0', (1, 0, 0, 0, 1)),
    ('fsetxattr(3</tmp/x>, "user.DOSATTRIB", "0x2", 3, 0) = 0', (1, 0, 0, 0, 0)),
    ('ftruncate(4</media/stick/KORVANE/LIBRARY/ZRTL.DB>, 0) = 0', (1, 0, 0, 0, 1)),
    # Queries change nothing; lines that are no call are not counted.
    ('newfstatat(AT_FDCWD</home/u>, "/media/stick/KORVANE", {st_mode=S_IFDIR|0755, ...}, 0) = 0', (1, 0, 0, 0, 0)),
    ('getxattr("/media/stick/KORVANE", "user.DOSATTRIB", "0x2", 64) = 3', (1, 0, 0, 0, 0)),
    ("+++ exited with 0 +++", (0, 0, 0, 0, 0)),
    ("--- SIGCHLD {si_signo=SIGCHLD} ---", (0, 0, 0, 0, 0)),
]


def figures(counts):
    return (counts.calls, counts.opens, counts.read, counts.written, counts.changes)


class TraceCounterTest(unittest.TestCase):
    def test_each_line(self):
        for line, expected in LINES:
            with self.subTest(line=line):
                counter = card.TraceCounter(CARD)
                counter.line(line + "\n")
                self.assertEqual(figures(counter.counts), expected)

    def test_card_given_with_a_trailing_slash(self):
        counter = card.TraceCounter(CARD + "/")
        counter.line(LINES[0][0])
        counter.line('openat(AT_FDCWD</home/u>, "/media/stick2/a.mp3", O_RDONLY) = 6</media/stick2/a.mp3>')
        self.assertEqual(counter.counts.opens, 1)

    def test_threads_are_summed(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "trace.10"), "w") as f:
                f.write("\n".join(line for line, _ in LINES[:13]) + "\n")
            with open(os.path.join(folder, "trace.11"), "w") as f:
                f.write("\n".join(line for line, _ in LINES[13:]) + "\n")
            counts = card.count_trace_files(folder, CARD)
        self.assertEqual(figures(counts), tuple(sum(e[i] for _, e in LINES) for i in range(5)))

    def test_model_of_a_usb2_stick(self):
        counts = card.CardCounts()
        counts.opens = 2000  # 0.5 ms each
        counts.read = 50_000_000  # 25 MB/s
        counts.written = 30_000_000  # 10 MB/s
        self.assertEqual(counts.model_parts(), (1.0, 2.0, 3.0))
        self.assertEqual(counts.modelled_seconds(), 6.0)


if __name__ == "__main__":
    unittest.main()
