#!/usr/bin/env python3
"""Writes the source that gives an installer executable the digest of the
library built with it, which it loads only when the file beside it has that
digest.

    make-library-digest.py LIBRARY OUTPUT

The digest is the image digest that an Authenticode signature covers: SHA-256
over the file without its CheckSum field, without the certificate table's
entry among the data directories and without the certificate table, which must
end the file and lie past everything the loader maps. The hashed bytes count
as padded with zeros to a multiple of 8 bytes, as signing pads a file before
it appends the table, so that signing leaves the digest as it was.
installer_exe/image_digest.cc computes the same digest at run time."""

import hashlib
import pathlib
import struct
import sys

SECURITY_DIRECTORY = 4


def image_digest(image):
    """The digest of |image| (bytes); exits when it is not a PE image whose
    certificate table, if any, lies where the digest allows."""
    if image[:2] != b"MZ" or len(image) < 0x40:
        sys.exit("not an executable image")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit("no PE header")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    directory_count = struct.unpack_from("<I", image, directories - 4)[0]
    security = directories + 8 * SECURITY_DIRECTORY
    if directory_count <= SECURITY_DIRECTORY or security + 8 > optional + optional_size:
        sys.exit("no certificate table entry")
    checksum = optional + 64
    mapped_end = struct.unpack_from("<I", image, optional + 60)[0]
    for index in range(sections):
        raw_size, raw_offset = struct.unpack_from("<II", image,
                                                  optional + optional_size + 40 * index + 16)
        if raw_size:
            mapped_end = max(mapped_end, raw_offset + raw_size)
    table_offset, table_size = struct.unpack_from("<II", image, security)
    end = len(image)
    if table_size:
        if table_offset < mapped_end or table_offset + table_size != len(image):
            sys.exit("the certificate table does not end the file")
        end = table_offset
    hashed = image[:checksum] + image[checksum + 4:security] + image[security + 8:end]
    return hashlib.sha256(hashed + b"\0" * (-end % 8)).digest()


def main(library, output):
    digest = image_digest(library.read_bytes())
    rows = [", ".join("0x%02x" % byte for byte in digest[i:i + 8]) for i in range(0, 32, 8)]
    text = ("// Written by scripts/make-library-digest.py from %s.\n"
            '#include "installer_exe/library_digest.h"\n\n'
            "extern const ImageDigest::Value kLibraryDigest = {{\n    %s}};\n"
            % (library.name, ",\n    ".join(rows)))
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_text(text, encoding="ascii")


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
