#!/usr/bin/env python3
"""Makes a browser-sized 7z package for the extraction benchmark.

    make_browser_package.py ARCHIVE

About 300 MB in 1,600 files of the kinds a browser ships (large code
libraries, locale and resource packs, images, many small scripts and pages),
deterministic, packed by Debian's 7z as one LZMA2 -mx9 solid archive. The
tree is built next to the archive and removed afterwards.
"""

import os
import pathlib
import random
import shutil
import subprocess
import sys

SEED = 47026312
MB = 1 << 20


def skewed_bytes(rng, size, weights):
    """Bytes of about 5 bits of order-0 entropy, as machine code has."""
    out = bytearray()
    while len(out) < size:
        out += bytes(rng.choices(range(256), weights=weights, k=min(MB, size - len(out))))
    return bytes(out)


def code_file(rng, pool, size):
    """Slices of a large pool of code-like bytes, each slightly changed."""
    out = bytearray()
    while len(out) < size:
        length = rng.randrange(256, 16384)
        start = rng.randrange(0, len(pool) - length)
        piece = bytearray(pool[start:start + length])
        for _ in range(length // 512 + 1):
            piece[rng.randrange(length)] = rng.randrange(256)
        out += piece
    return bytes(out[:size])


def text_file(rng, words, size):
    out = []
    total = 0
    while total < size:
        line = " ".join(rng.choices(words, k=rng.randrange(4, 16))) + ";\n"
        out.append(line)
        total += len(line)
    return "".join(out).encode()[:size]


def make_tree(root):
    rng = random.Random(SEED)
    weights = [1.0 / (1 + (i * 7919) % 256) ** 1.3 for i in range(256)]
    weights[0] = weights[0xFF] = weights[0x48] = weights[0x8B] = weights[0xE8] = 0.6
    pool = skewed_bytes(rng, 40 * MB, weights)
    vocabulary = ["".join(rng.choices("abcdefghijklmnopqrstuvwxyz_", k=rng.randrange(2, 12)))
                  for _ in range(5000)] + ["function", "return", "var", "const", "{", "}",
                                           "(", ")", "this", "=", "==", "if", "else"]
    version = root / "Application" / "47.0.2631.23"
    files = []
    for name, size in [("velto.dll", 96), ("velto_child.dll", 48), ("velto.exe", 3),
                       ("libGLESv2.dll", 8), ("d3dcompiler_47.dll", 4), ("widevine.dll", 6),
                       ("velto_elf.dll", 1), ("notification_helper.exe", 1)]:
        files.append((version / name, lambda s=size: code_file(rng, pool, s * MB)))
    for i in range(45):
        files.append((version / "locales" / ("l%02d.pak" % i),
                      lambda: text_file(rng, vocabulary, rng.randrange(400, 1200) * 1024)))
    for name, size in [("resources.pak", 24), ("velto_100_percent.pak", 6),
                       ("velto_200_percent.pak", 8), ("icudtl.dat", 10)]:
        files.append((version / name, lambda s=size: code_file(rng, pool, s * MB // 2) +
                      rng.randbytes(s * MB // 2)))
    for i in range(260):
        files.append((root / "Application" / "resources" / ("img%d" % (i % 13)) /
                      ("image_%03d.png" % i), lambda: rng.randbytes(rng.randrange(8, 160) * 1024)))
    for i in range(1250):
        folder = root / "Application" / "resources" / "web" / ("m%02d" % (i % 40))
        kind = (".js", ".html", ".css", ".json")[i % 4]
        files.append((folder / ("page_%04d%s" % (i, kind)),
                      lambda: text_file(rng, vocabulary, rng.randrange(1, 48) * 1024)))
    total = 0
    for path, make in files:
        path.parent.mkdir(parents=True, exist_ok=True)
        data = make()
        path.write_bytes(data)
        total += len(data)
    return len(files), total


def main(archive):
    archive = pathlib.Path(archive).resolve()
    work = archive.parent / (archive.stem + ".tree")
    shutil.rmtree(work, ignore_errors=True)
    count, total = make_tree(work)
    print("package tree: %d files, %.0f MB" % (count, total / MB), flush=True)
    partial = archive.with_suffix(".partial.7z")
    partial.unlink(missing_ok=True)
    subprocess.run(["7z", "a", "-bd", "-t7z", "-m0=LZMA2", "-mx9", "-ms=on", "-mmt=4",
                    str(partial), "."], cwd=work, check=True, stdout=subprocess.DEVNULL)
    partial.rename(archive)
    shutil.rmtree(work)


if __name__ == "__main__":
    main(sys.argv[1])
