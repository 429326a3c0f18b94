#!/usr/bin/env python3
"""Makes the build's localization files and the digest table compiled into
the installer.

The browser's localization files are build products; this build makes one
small file per language under OUT_DIR/localization/ and writes the table that
the installer's localization check compares a minimal package against: each
row the Base64 of the file's path below the package and the Base64 of its
SHA-1 digest.

usage: make-localization.py OUT_DIR TABLE_SOURCE
"""
import base64
import hashlib
import os
import sys

CODES = ["be", "bg", "bn", "ca", "cs", "da", "de", "el", "en-GB", "en-US", "es", "es-419",
         "fi", "fil", "fr", "fr-CA", "hi", "he", "hr", "hu", "id", "it", "ja", "ko", "lt", "lv",
         "ms", "nb", "nl", "pl", "pt-BR", "pt-PT", "ro", "ru", "sk", "sr", "sv", "sw", "ta",
         "te", "th", "tr", "uk", "vi", "zh-CN", "zh-TW"]


def write_if_changed(path, data):
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return
    with open(path, "wb") as f:
        f.write(data)


def main():
    out_dir, table = sys.argv[1], sys.argv[2]
    folder = os.path.join(out_dir, "localization")
    os.makedirs(folder, exist_ok=True)
    os.makedirs(os.path.dirname(table), exist_ok=True)
    rows = []
    for code in CODES:
        data = ("Velto localization %s\n" % code).encode("ascii")
        write_if_changed(os.path.join(folder, code + ".pak"), data)
        relative = "localization\\%s.pak" % code
        rows.append((base64.b64encode(relative.encode("ascii")).decode("ascii"),
                     base64.b64encode(hashlib.sha1(data).digest()).decode("ascii")))
    lines = ["// Made by scripts/make-localization.py: do not edit.",
             '#include "desktop/windows/installer/steps/localization_digests.h"',
             "", "namespace installer {", "",
             "namespace {", "constexpr LocalizationDigest kDigests[] = {"]
    lines += ['    {"%s", "%s"},' % row for row in rows]
    lines += ["};", "}  // namespace", "",
              "std::span<const LocalizationDigest> GetLocalizationDigests() {",
              "  return kDigests;", "}", "", "}  // namespace installer", ""]
    write_if_changed(table, "\n".join(lines).encode("ascii"))


if __name__ == "__main__":
    main()
