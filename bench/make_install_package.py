#!/usr/bin/env python3
"""Makes a browser-sized package folder for the install benchmark: the fixture
package (its installer, library, stubs and lists) with |count| more files of
|total_mb| megabytes in all, spread over nested folders and listed in
files_list, as the browser's package lists its files. Its package file
(velto_package.exe, the archive of the whole folder, stored without
compression as the added files are random) is made anew from it: an elevated
installer installs what it unpacks from there.

The fixture package's own package file holds the fixture alone."""

import os
import random
import shutil
import subprocess
import sys


def main(fixture, out, count=1600, total_mb=300):
    shutil.copytree(fixture, out)
    rng = random.Random(1)
    sizes = [rng.randint(1, 100) for _ in range(count)]
    scale = total_mb * 1048576 / sum(sizes)
    names = []
    block = os.urandom(1048576)
    for index, weight in enumerate(sizes):
        name = "data\\%02d\\%02d\\file_%04d.bin" % (index % 17, index % 13, index)
        path = os.path.join(out, *name.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        size = int(weight * scale)
        with open(path, "wb") as f:
            while size > 0:
                f.write(block[:min(size, len(block))])
                size -= len(block)
        names.append(name)
    with open(os.path.join(out, "files_list"), "a", newline="") as f:
        f.write("\r\n" + "\r\n".join(names) + "\r\n")
    package_file = os.path.join(out, "velto_package.exe")
    os.remove(package_file)
    archive = os.path.abspath(out) + ".7z"
    subprocess.run(["7z", "a", "-bd", "-y", "-mx0", archive, "."], cwd=out, check=True,
                   stdout=subprocess.DEVNULL)
    os.replace(archive, package_file)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], *(int(a) for a in sys.argv[3:]))
