#!/usr/bin/python3
"""A slow read-only drive, as a CD-ROM is: files of given sizes served at a
given rate, uncached, so that every copy of them takes its time.

Usage: slow_drive.py MOUNTPOINT BYTES_PER_SECOND NAME=BYTES... (runs in the
foreground until unmounted). Byte i of every file is i % 251, which a test
can check without a copy of its own. A file whose name begins with "hang"
plays a scratched disc: a read past its first MiB waits HANG_SECONDS, then
fails with EIO.
"""
import errno
import stat
import sys
import time

from fusepy import FUSE, FuseOSError, Operations

PATTERN = bytes(range(251)) * 4200  # more than 251 + the largest read
HANG_AT = 1 << 20
HANG_SECONDS = 5


class SlowDrive(Operations):
    def __init__(self, rate, sizes):
        self.rate, self.sizes = rate, sizes
        self.start = time.time()

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o555, "st_nlink": 2}
        if path[1:] not in self.sizes:
            raise FuseOSError(errno.ENOENT)
        return {"st_mode": stat.S_IFREG | 0o444, "st_nlink": 1, "st_size": self.sizes[path[1:]],
                "st_mtime": self.start, "st_atime": self.start, "st_ctime": self.start}

    def readdir(self, path, fh):
        return [".", ".."] + list(self.sizes)

    def read(self, path, size, offset, fh):
        if path.startswith("/hang") and offset + size > HANG_AT:
            time.sleep(HANG_SECONDS)
            raise FuseOSError(errno.EIO)
        size = max(0, min(size, self.sizes[path[1:]] - offset))
        time.sleep(size / self.rate)  # one request at a time: the rate holds
        return PATTERN[offset % 251:offset % 251 + size]


if __name__ == "__main__":
    sizes = {name: int(n) for name, n in (arg.split("=") for arg in sys.argv[3:])}
    FUSE(SlowDrive(float(sys.argv[2]), sizes), sys.argv[1], foreground=True, nothreads=True,
         ro=True, direct_io=True)
