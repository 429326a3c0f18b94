"""What an installer run can leave on the machine, to compare before and after.

A snapshot holds every registry key and value of HKCU and HKLM\\Software whose
path, name or data names the product, and every file or folder of the prefix's
user and shared folders (shortcuts, application data, scheduled tasks) whose
path names it, plus every file under the folders a test passes (the install
folder). The temporary folder is left out: each run writes its own log there.

    before = machine_state.snapshot(wine, {"install": install})
    ... run the installer ...
    assert machine_state.diff(before, machine_state.snapshot(wine, {"install": install})) == []

Folders are named by a label, so two installations made one after the other
in the same folder compare entry by entry.
"""

import hashlib
import os
import pathlib
import tempfile

PRODUCT = "velto"

# Registry trees a run writes to; each is exported with one "reg export".
REGISTRY_ROOTS = ("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE\\Software")

# Folders of the prefix (relative to drive_c) searched for product entries.
FILE_ROOTS = ("users", "ProgramData", "windows/tasks", "windows/system32/tasks")


def _read_reg_export(path):
    """The keys of a .reg export: {key: {value name: data text}}."""
    raw = pathlib.Path(path).read_bytes()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8")
    keys = {}
    current = None
    pending = ""
    for line in text.splitlines():
        if pending:
            line = pending + line.lstrip()
            pending = ""
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.rstrip().endswith("]"):
            current = line.strip()[1:-1]
            keys[current] = {}
        elif current is not None and "=" in line:
            if line.startswith('"'):
                end = 1
                while end < len(line) and (line[end] != '"' or line[end - 1] == "\\"):
                    end += 1
                name, data = line[1:end], line[end + 2:]
            else:  # @=default value
                name, _, data = line.partition("=")
            keys[current][name] = data
    return keys


def _product_registry(wine):
    found = {}
    with tempfile.TemporaryDirectory() as scratch:
        for root in REGISTRY_ROOTS:
            out = pathlib.Path(scratch) / "export.reg"
            result = wine.run(["reg", "export", root, wine.windows_path(out), "/y"], timeout=120)
            assert result.returncode == 0, (root, result.stdout, result.stderr)
            for key, values in _read_reg_export(out).items():
                key_names_it = PRODUCT in key.lower()
                for name, data in values.items():
                    if key_names_it or PRODUCT in name.lower() or PRODUCT in data.lower():
                        found["reg:%s\\%s" % (key, name)] = data
                if key_names_it:
                    found["reg:%s\\" % key] = "(key)"
            out.unlink()
    return found


def _digest(path):
    return hashlib.sha1(path.read_bytes()).hexdigest()


def _tree(folder, label):
    found = {}
    if not folder.exists():
        return found
    for dirpath, dirnames, filenames in os.walk(folder):
        for name in dirnames:
            found["%s:%s/" % (label, os.path.relpath(os.path.join(dirpath, name), folder))] = "(dir)"
        for name in filenames:
            path = pathlib.Path(dirpath) / name
            found["%s:%s" % (label, os.path.relpath(path, folder))] = _digest(path)
    return found


def _product_files(wine):
    drive_c = wine.prefix / "drive_c"
    temp = os.path.realpath(wine.unix_path(wine.expand("TEMP")))
    found = {}
    for root in FILE_ROOTS:
        top = drive_c / root
        if not top.exists():
            continue
        for dirpath, dirnames, filenames in os.walk(top):
            if os.path.realpath(dirpath) == temp:
                dirnames[:] = []
                continue
            for name in dirnames + filenames:
                path = pathlib.Path(dirpath) / name
                relative = str(path.relative_to(drive_c))
                if PRODUCT not in relative.lower():
                    continue
                if path.is_dir():
                    found["file:%s/" % relative] = "(dir)"
                else:
                    found["file:%s" % relative] = _digest(path)
    return found


def snapshot(wine, folders=None):
    """The product's registry entries and files, and the whole of each folder
    of |folders| ({label: path})."""
    state = _product_registry(wine)
    state.update(_product_files(wine))
    for label, folder in (folders or {}).items():
        state.update(_tree(pathlib.Path(folder), label))
    return state


def diff(before, after, ignore=()):
    """Human-readable differences between two snapshots; [] when equal.
    |ignore| holds substrings of entries that may differ (lower case)."""
    changes = []
    for entry in sorted(set(before) | set(after)):
        if any(part in entry.lower() for part in ignore):
            continue
        if entry not in after:
            changes.append("removed " + entry)
        elif entry not in before:
            changes.append("added " + entry)
        elif before[entry] != after[entry]:
            changes.append("changed %s: %r -> %r" % (entry, before[entry], after[entry]))
    return changes
