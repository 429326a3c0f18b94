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

capture() and restore() are the suite's own tidying (conftest.py): the whole
registry a run can write and every file of the prefix outside the Windows
folder, and putting the prefix back as a test found it.

Neither takes what the unit tests' processes keep in the prefix while they
run (see UNIT_TEST_SCRATCH_FOLDER and UNIT_TEST_SCRATCH_KEY): a unit suite
may run in the same prefix beside this one, and what it makes meanwhile is
neither this suite's to take away nor a product run's trace.
"""

import hashlib
import os
import pathlib
import shutil
import tempfile

PRODUCT = "velto"

# Registry trees a run writes to; each is exported with one "reg export".
REGISTRY_ROOTS = ("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE\\Software")

# Folders of the prefix (relative to drive_c) searched for product entries.
FILE_ROOTS = ("users", "ProgramData", "windows/tasks", "windows/system32/tasks")

# Every unit test process (base/test/test_main.cc) keeps a scratch folder of
# its own in the temporary folder and a scratch key of its own directly under
# HKEY_CURRENT_USER\Software, named with these prefixes, for as long as it
# runs; it removes them at its end, and the next one to start removes those
# of a process that was killed. Taking them away under a running unit test
# pulls its files, its package server's port file and its registry from
# under it. Lower case.
UNIT_TEST_SCRATCH_FOLDER = "velto_test_"
UNIT_TEST_SCRATCH_KEY = "hkey_current_user\\software\\veltotests_"

_temp_folders = {}


def _temp_folder(wine):
    """The real Unix path of the prefix's temporary folder (asked once)."""
    key = str(wine.prefix)
    if key not in _temp_folders:
        _temp_folders[key] = os.path.realpath(wine.unix_path(wine.expand("TEMP")))
    return _temp_folders[key]


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


def _export(wine, roots):
    """{key: {value name: data text}} of the registry trees |roots|."""
    keys = {}
    with tempfile.TemporaryDirectory() as scratch:
        for root in roots:
            out = pathlib.Path(scratch) / "export.reg"
            result = wine.run(["reg", "export", root, wine.windows_path(out), "/y"], timeout=120)
            assert result.returncode == 0, (root, result.stdout, result.stderr)
            keys.update(_read_reg_export(out))
            out.unlink()
    return {key: values for key, values in keys.items()
            if not key.lower().startswith(UNIT_TEST_SCRATCH_KEY)}


def _product_registry(wine):
    found = {}
    for key, values in _export(wine, REGISTRY_ROOTS).items():
        key_names_it = PRODUCT in key.lower()
        for name, data in values.items():
            if key_names_it or PRODUCT in name.lower() or PRODUCT in data.lower():
                found["reg:%s\\%s" % (key, name)] = data
        if key_names_it:
            found["reg:%s\\" % key] = "(key)"
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
    temp = _temp_folder(wine)
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


# Below this, in either hive and either registry view, lie the uninstall
# entries; the product's are named after it and its version.
UNINSTALL_KEY = "\\microsoft\\windows\\currentversion\\uninstall\\"


def reg_string(data):
    """The text of a string value from the form "reg export" gives it (in
    quotes, backslashes and quotes escaped); None for another type."""
    if len(data) < 2 or not (data.startswith('"') and data.endswith('"')):
        return None
    return data[1:-1].replace('\\"', '"').replace("\\\\", "\\")


def uninstall_entries(wine):
    """The product's uninstall entries: {key: {value name: data text}}."""
    entries = {}
    for key, values in _export(wine, REGISTRY_ROOTS).items():
        at = key.lower().find(UNINSTALL_KEY)
        if at < 0:
            continue
        name = key[at + len(UNINSTALL_KEY):]
        if "\\" not in name and name.lower().startswith(PRODUCT + " "):
            entries[key] = values
    return entries


def entries_naming(entries, windows_folder):
    """The keys of |entries| whose InstallLocation is |windows_folder|."""
    folder = windows_folder.rstrip("\\").lower()
    return sorted(key for key, values in entries.items()
                  if (reg_string(values.get("InstallLocation", "")) or "").rstrip("\\").lower()
                  == folder)


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


# What capture() takes: the registry trees any run of the installer writes to,
# and the prefix's files outside the Windows folder, whose task folders only
# are taken (the rest is Wine's own).
CAPTURED_REGISTRY = ("HKEY_CURRENT_USER\\Software", "HKEY_LOCAL_MACHINE\\Software")
CAPTURED_WINDOWS_FOLDERS = ("windows/tasks", "windows/system32/tasks")

# Caches Wine fills on first use whatever program runs (certificate stores,
# trust provider state, proxy settings, its own settings): restore() leaves
# them as they are. Lower case.
WINE_OWN_KEYS = (
    "hkey_current_user\\software\\wine",
    "hkey_current_user\\software\\microsoft\\systemcertificates",
    "hkey_current_user\\software\\microsoft\\windows\\currentversion\\wintrust",
    "hkey_current_user\\software\\microsoft\\windows\\currentversion\\internet settings",
    "hkey_local_machine\\software\\microsoft\\systemcertificates",
    "hkey_local_machine\\software\\wow6432node\\microsoft\\systemcertificates",
)


def _wine_own(key):
    key = key.lower()
    return any(key == own or key.startswith(own + "\\") for own in WINE_OWN_KEYS)


def _prefix_files(wine):
    drive_c = wine.prefix / "drive_c"
    temp = _temp_folder(wine)
    found = {}
    for dirpath, dirnames, filenames in os.walk(drive_c):
        if os.path.realpath(dirpath) == temp:
            dirnames[:] = [d for d in dirnames
                           if not d.lower().startswith(UNIT_TEST_SCRATCH_FOLDER)]
        relative = pathlib.Path(dirpath).relative_to(drive_c).as_posix()
        if relative.lower() in ("windows", "windows/system32"):
            dirnames[:] = [d for d in dirnames
                           if relative.lower() + "/" + d.lower() in CAPTURED_WINDOWS_FOLDERS or
                           (relative.lower(), d.lower()) == ("windows", "system32")]
            filenames = []
        for name in dirnames:
            found[(pathlib.Path(relative) / name).as_posix() + "/"] = "(dir)"
        for name in filenames:
            found[(pathlib.Path(relative) / name).as_posix()] = "(file)"
    return found


def capture(wine):
    """The prefix as a run can change it: {"reg": {key: {value name: data}},
    "files": {path below drive_c (folders end in "/"): kind}}."""
    return {"reg": _export(wine, CAPTURED_REGISTRY), "files": _prefix_files(wine)}


def _reg_name(name):
    # Names are kept as exported, with their escapes.
    return "@" if name == "@" else '"%s"' % name


def _import_reg(wine, lines):
    """Imports the .reg text |lines| (after its header) into the prefix."""
    with tempfile.TemporaryDirectory() as scratch:
        script = pathlib.Path(scratch) / "restore.reg"
        script.write_text("\r\n".join(lines) + "\r\n", encoding="utf-16")
        result = wine.run(["reg", "import", wine.windows_path(script)], timeout=120)
        assert result.returncode == 0, (result.stdout, result.stderr, lines)


def _delete_files(wine, paths):
    """Deletes |paths| (below drive_c, folders ending in "/", each folder's
    entries listed with it) with what folders hold. Returns what it deleted,
    and what it could not (still in use), one line each."""
    drive_c = wine.prefix / "drive_c"
    done = []
    for path in sorted(paths):
        parent = path.rstrip("/").rpartition("/")[0] + "/"
        if parent in paths:
            continue
        target = drive_c / path.rstrip("/")
        try:
            if path.endswith("/"):
                shutil.rmtree(target)
            else:
                target.unlink()
            done.append("file: deleted " + path)
        except OSError as error:
            done.append("file: could not delete %s: %s" % (path, error))
    return done


def remove_product_traces(wine):
    """Takes away what the product left in the prefix outside the suite's
    tidying (a run of the suite that was stopped before it tidied, the
    benchmark, the demo, a run by hand): every registry key whose path names
    it, every value that names it elsewhere (Wine's own caches aside), and its
    files in the user and shared folders. Returns what it removed, one line
    each."""
    done = []
    lines = ["Windows Registry Editor Version 5.00", ""]
    keys = _export(wine, REGISTRY_ROOTS)
    named = [key for key in keys if PRODUCT in key.lower()]
    for key in sorted(named):
        if not any(key.lower().startswith(other.lower() + "\\") for other in named):
            lines += ["[-%s]" % key, ""]
            done.append("registry: deleted key " + key)
    for key, values in sorted(keys.items()):
        if PRODUCT in key.lower() or _wine_own(key):
            continue
        names = [name for name, data in values.items()
                 if PRODUCT in name.lower() or PRODUCT in data.lower()]
        if names:
            lines += ["[%s]" % key] + ["%s=-" % _reg_name(name) for name in names] + [""]
            done += ["registry: deleted value %s\\%s" % (key, name) for name in names]
    if len(lines) > 2:
        _import_reg(wine, lines)
    return done + _delete_files(wine, [entry[len("file:"):] for entry in _product_files(wine)])


def restore(wine, before, after):
    """Puts the prefix back from |after| to |before| (two captures): registry
    keys and values added since are deleted and those changed or deleted are
    written back, through one imported .reg file; files and folders added
    since are deleted. Returns what it changed, one line each; a file it could
    not delete (still in use) is named there too. Files that were changed or
    deleted cannot be put back and are named as such."""
    done = []
    lines = ["Windows Registry Editor Version 5.00", ""]
    old, new = before["reg"], after["reg"]
    added = {key for key in new if key not in old and not _wine_own(key)}
    for key in sorted(added):
        if key.rpartition("\\")[0] not in added:
            lines += ["[-%s]" % key, ""]
            below = [k for k in added if k == key or k.startswith(key + "\\")]
            done.append("registry: deleted key %s (%d keys, %d values)" % (
                key, len(below), sum(len(new[k]) for k in below)))
    for key, values in sorted(old.items()):
        if _wine_own(key):
            continue
        now = new.get(key)
        changes = []
        for name, data in values.items():
            if now is None or now.get(name) != data:
                changes.append("%s=%s" % (_reg_name(name), data))
                done.append("registry: wrote back %s\\%s" % (key, name))
        for name in (now or {}):
            if name not in values:
                changes.append("%s=-" % _reg_name(name))
                done.append("registry: deleted value %s\\%s" % (key, name))
        if now is None:
            done.append("registry: made again key " + key)
        if changes or now is None:
            lines += ["[%s]" % key] + changes + [""]
    if len(lines) > 2:
        _import_reg(wine, lines)

    done += _delete_files(wine, [path for path in after["files"] if path not in before["files"]])
    for path in sorted(set(before["files"]) - set(after["files"])):
        done.append("file: gone, cannot be put back: " + path)
    return done
