#!/usr/bin/python3
"""Serves a CD image's files read-only through FUSE, delivered as an optical drive delivers
them: one head, a sustained transfer rate, and an access time for every read that does not
start where the one before it ended. Positions are the files' own blocks in the image, so
the image's layout counts as it would on the disc. Every read is written to a log, one JSON
line each, with the moments (CLOCK_MONOTONIC) it began and ended. A file can be made to fail
from an offset on, as a scratched disc or one taken out does: every read that reaches it
fails with an input/output error. A file can be served uncached, as Windows reads a file
opened with FILE_FLAG_NO_BUFFERING, which Wine does not pass on: each read as the program asks
it, with nothing read ahead and nothing kept.

    cd_drive.py IMAGE MOUNT_POINT --log FILE [--rate KIB_PER_S] [--access-ms MS]
                [--fail PATH@OFFSET ...] [--uncached PATH ...]

Runs in the foreground until unmounted (fusermount -u MOUNT_POINT). Needs Debian's
python3-fusepy and fuse, hence /usr/bin/python3.
"""

import argparse
import errno
import json
import re
import stat
import subprocess
import sys
import time

from fusepy import FUSE, FuseOSError, Operations

BLOCK = 2048
DEFAULT_RATE_KIB = 1200  # 8x: eight times the 150 KiB/s of an audio CD
DEFAULT_ACCESS_MS = 100


def image_files(image):
    """Each regular file of the image by its path, as (byte offset in the image, size)."""
    report = subprocess.run(
        ["xorriso", "-no_rc", "-indev", str(image), "-find", "/", "-exec", "report_lba", "--"],
        stdin=subprocess.DEVNULL, capture_output=True, text=True, check=True).stdout
    files = {}
    for line in report.splitlines():
        found = re.match(r"File data lba:\s*\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*(\d+)\s*,\s*'(.*)'$",
                         line)
        if found:
            files[found.group(3)] = (int(found.group(1)) * BLOCK, int(found.group(2)))
    return files


class OpticalDrive(Operations):
    def __init__(self, image, rate_kib, access_ms, log, failing=None, uncached=()):
        self.image = open(image, "rb")
        self.files = image_files(image)
        self.folders = {"/"}
        for path in self.files:
            parts = path.split("/")[1:-1]
            for depth in range(1, len(parts) + 1):
                self.folders.add("/" + "/".join(parts[:depth]))
        self.bytes_per_second = rate_kib * 1024
        self.access_seconds = access_ms / 1000
        self.head = None  # the block after the last one read
        self.log = open(log, "a", buffering=1)
        self.mounted = time.time()
        self.failing = failing or {}  # path: the offset its reads fail from
        self.uncached = set(uncached)

    def getattr(self, path, fh=None):
        common = {"st_uid": 0, "st_gid": 0, "st_mtime": self.mounted, "st_atime": self.mounted,
                  "st_ctime": self.mounted}
        if path in self.folders:
            return dict(common, st_mode=stat.S_IFDIR | 0o555, st_nlink=2, st_size=BLOCK)
        if path in self.files:
            return dict(common, st_mode=stat.S_IFREG | 0o555, st_nlink=1,
                        st_size=self.files[path][1])
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        prefix = path.rstrip("/") + "/"
        names = {entry[len(prefix):].split("/")[0]
                 for entry in (*self.files, *self.folders)
                 if entry.startswith(prefix) and entry != prefix}
        return [".", "..", *sorted(names)]

    def open(self, path, info):
        if path not in self.files:
            raise FuseOSError(errno.ENOENT)
        if info.flags & 3 != 0:  # O_RDONLY is 0
            raise FuseOSError(errno.EROFS)
        info.direct_io = path in self.uncached  # past the kernel's page cache and read-ahead
        return 0

    # The drive's one head: fusepy runs without threads here, so reads queue behind each
    # other as they would at the drive. The drive reads whole blocks, and a read that starts
    # in the block where the last one ended goes on without a seek.
    def read(self, path, size, offset, info):
        start, length = self.files[path]
        size = max(0, min(size, length - offset))
        if path in self.failing and offset + size > self.failing[path]:
            self.log.write(json.dumps({"path": path, "offset": offset, "size": 0, "seek": False,
                                       "failed": True, "began": time.monotonic(),
                                       "ended": time.monotonic()}) + "\n")
            raise FuseOSError(errno.EIO)
        first = (start + offset) // BLOCK
        end = -(-(start + offset + size) // BLOCK)
        began = time.monotonic()
        seek = self.head not in (first, first + 1)
        time.sleep((self.access_seconds if seek else 0) +
                   (end - first) * BLOCK / self.bytes_per_second)
        self.image.seek(start + offset)
        data = self.image.read(size)
        self.head = end
        self.log.write(json.dumps({"path": path, "offset": offset, "size": size, "seek": seek,
                                   "began": began, "ended": time.monotonic()}) + "\n")
        return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("image")
    parser.add_argument("mount_point")
    parser.add_argument("--log", required=True)
    parser.add_argument("--rate", type=float, default=DEFAULT_RATE_KIB, help="KiB/s")
    parser.add_argument("--access-ms", type=float, default=DEFAULT_ACCESS_MS)
    parser.add_argument("--fail", action="append", default=[], metavar="PATH@OFFSET",
                        help="reads of the file PATH (as /Varnok.avi) fail from OFFSET on")
    parser.add_argument("--uncached", action="append", default=[], metavar="PATH",
                        help="the file PATH is read as asked, past every cache")
    options = parser.parse_args()
    failing = {path: int(offset) for path, offset in
               (where.rsplit("@", 1) for where in options.fail)}
    drive = OpticalDrive(options.image, options.rate, options.access_ms, options.log, failing,
                         options.uncached)
    # Within a run the page cache keeps what was read, as a CD file system caches.
    FUSE(drive, options.mount_point, foreground=True, nothreads=True, ro=True, kernel_cache=True,
         raw_fi=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
