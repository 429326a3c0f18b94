"""A back end killed part-way through a silent install or upgrade, for real:
its Wine processes get SIGKILL, so no rollback runs in them. The next silent
run of the same package into the same folder must succeed and leave exactly
what a run without the kill leaves.

Each comparison is made in one folder: the run without the kill is made
first, its snapshot (tests/e2e/machine_state.py) kept, and what it added to
the machine taken away again (machine_state.restore) before the killed run;
after each test the folder goes, and the suite's tidying puts the prefix back
as the test found it. Between two
runs of the same package only these legitimately differ, and are left out of
the snapshot comparison:

  - installation_status.json: its "app_id" is the time of the first install.
    The rest of the record is compared (recorded_statuses).
  - old_status/installation_status.json.<seconds>: named after the time of
    the upgrade that moved it there; its record, less the app id, is compared.
  - Shortcuts keep their target's file times (and size) from the moment they
    are made: they are compared without them (shortcut_digest).
  - The logs, in the temporary folder, which the snapshot leaves out anyway.

To kill at a known point the back end is held there: a file of the package
is missing until the kill, so the step that copies it fails and is retried
one second apart (a required file fails the run only after five retries).
The kill comes while that step waits for its retry; the file is put back
before the next run, which so runs the same package as the run without the
kill.
"""

import contextlib
import hashlib
import json
import os
import pathlib
import re
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

import machine_state
from conftest import BUILD, new_logs, stats_posts

PACKAGES = BUILD / "fixtures"

# Files added to the fixture packages' files_list so that there is a copy in
# progress to interrupt: the steps before the held one have copied theirs, the
# ones after it have not.
EXTRA_FILES = ["data\\extra_%02d.bin" % number for number in range(24)]

# Entries of the snapshot that differ between two runs by their time alone
# (see the module's text); lower case, as machine_state.diff compares them.
IGNORED = ("install:installation_status.json", "install:old_status/installation_status.json.")

TIMEOUT = 180


@pytest.fixture(scope="module")
def workspace():
    folder = pathlib.Path(tempfile.mkdtemp(prefix="velto-killed-backend-"))
    yield folder
    shutil.rmtree(folder, ignore_errors=True)


def make_package(folder, version):
    """A copy of fixture package |version| whose files_list starts with the
    extra files (each a few kilobytes of its own bytes)."""
    package = folder / ("package-%d" % version)
    if package.exists():
        return package
    shutil.copytree(PACKAGES / ("package-%d" % version), package)
    for number, entry in enumerate(EXTRA_FILES):
        target = package / pathlib.PureWindowsPath(entry)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(bytes([number, version]) * 2048)
    listed = (package / "files_list").read_bytes().decode("ascii").split()
    (package / "files_list").write_bytes(
        "\r\n".join(EXTRA_FILES + listed).encode("ascii") + b"\r\n")
    remake_package_file(package)
    return package


def remake_package_file(package):
    """The package file of |package| made anew from what the folder holds: an
    elevated run (under Wine every run) installs what it unpacks from there,
    not the unpacked files."""
    package_file = package / "velto_package.exe"
    package_file.unlink(missing_ok=True)
    archive = package.with_name(package.name + ".7z")
    archive.unlink(missing_ok=True)
    subprocess.run(["7z", "a", "-bd", "-y", "-mx1", "-xr!*.held", str(archive), "."],
                   cwd=package, check=True, stdout=subprocess.DEVNULL)
    archive.replace(package_file)


def command(wine, package, install, server, extra=()):
    return ["wine", str(package / "installer.exe"), "--silent", "--enable-installer-stats=0",
            "--launchvelto=0", "--v=2", "--installfolder=" + wine.windows_path(install),
            "--local-pref-default-overrides-server=" + server.url("/api/prefs/")] + list(extra)


def read_logs(log_dir, before):
    return "\n".join(log.read_text(encoding="utf-8", errors="replace")
                     for log in new_logs(log_dir, before))


def silent_run(wine, log_dir, package, install, server, extra=()):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    # No pipes for its output: see conftest's Wine.run.
    result = subprocess.run(command(wine, package, install, server, extra), env=wine.env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, timeout=TIMEOUT)
    return result.returncode, read_logs(log_dir, before)


def processes_where(matches):
    """Unix process ids of the processes whose arguments (a list of bytes)
    |matches| accepts."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            arguments = pathlib.Path("/proc", entry, "cmdline").read_bytes().split(b"\0")
        except OSError:
            continue
        if matches(arguments):
            found.append(int(entry))
    return found


def backend_processes(wine, install):
    """Unix process ids of this install folder's back end: the installer
    processes started with --backend (the front end's back end and the
    package's installer that it starts), their crash reporters left out."""
    folder = ("--installfolder=" + wine.windows_path(install)).encode()
    return processes_where(
        lambda arguments: b"--backend" in arguments and folder in arguments and
        not any(a.startswith(b"--crash-reporter-parent-id") for a in arguments))


def installer_processes(wine, install):
    """Every process of this install folder (front end, back end, crash
    reporters)."""
    folder = ("--installfolder=" + wine.windows_path(install)).encode()
    return processes_where(lambda arguments: folder in arguments)


def package_installer_processes(wine, install):
    """The back-end processes of the folder that the package's installer runs:
    the installer of the package taken into the run's protected folder (it
    has no --wait-for-package)."""
    return [pid for pid in backend_processes(wine, install)
            if not waits_for_package(pid) and any(
                b"velto_elevated_package_" in argument
                for argument in (command_line_of(pid) or [])[:2])]


def waits_for_package(pid):
    """Whether |pid| is a back end that waits for the package and then starts
    the package's installer."""
    return any(argument.startswith(b"--wait-for-package")
               for argument in command_line_of(pid) or [])


def killed_run(wine, log_dir, package, install, server, ready, extra=(),
               targets=backend_processes):
    """Starts a silent run and, once |ready|(log text, back-end pids) holds,
    kills its back end (the processes |targets| finds) with SIGKILL, again and
    again until the front end has ended and no such process is left (a
    package installer that the back end was starting at that moment goes
    too). Returns the front end's exit code and the run's log text."""
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    front_end = subprocess.Popen(command(wine, package, install, server, extra), env=wine.env,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
    try:
        deadline = time.time() + TIMEOUT
        while not ready(read_logs(log_dir, before), backend_processes(wine, install)):
            assert front_end.poll() is None, "the run ended before the kill:\n" + read_logs(
                log_dir, before)
            assert time.time() < deadline, "the kill point never came"
            time.sleep(0.05)
        killed = 0
        while front_end.poll() is None or targets(wine, install):
            for pid in starters_last(targets(wine, install)):
                try:
                    os.kill(pid, signal.SIGKILL)
                    killed += 1
                except ProcessLookupError:
                    pass
            assert time.time() < deadline, "the front end did not end after the kill"
            time.sleep(0.05)
        assert killed, "no back-end process was killed"
        # The crash reporters see their processes gone and end too.
        while installer_processes(wine, install):
            assert time.time() < deadline, "processes of the killed run stay"
            time.sleep(0.1)
    finally:
        if front_end.poll() is None:
            front_end.kill()
    return front_end.returncode, read_logs(log_dir, before)


def starters_last(pids):
    """|pids| with the back end that waits for the package's installer last.
    Once that back end has gone, its front end interrupts the run, and a
    package's installer still alive then rolls back before its own kill: a
    loaded machine can hold this loop for many milliseconds between two kills.
    The installer that does the work goes first, so that it is killed at the
    point the test names."""
    return sorted(pids, key=waits_for_package)


def started(text, pids):
    return bool(pids)


def held_at(name):
    """Ready when the copy of the package file |name| has failed once."""
    def ready(text, pids):
        position = text.rfind("Copying file " + name)
        return position >= 0 and "File copy failed" in text[position:]
    return ready


class Held:
    """Takes |name| out of |package| until put back."""

    def __init__(self, package, name):
        self.package = package
        self.path = package / pathlib.PureWindowsPath(name)
        self.aside = self.path.with_name(self.path.name + ".held")
        self.path.rename(self.aside)
        remake_package_file(package)

    def put_back(self):
        self.aside.rename(self.path)
        remake_package_file(self.package)


def without_app_id(record):
    record = dict(record)
    record.pop("app_id", None)
    return record


def recorded_statuses(install):
    """The status records of the folder, less their app ids: the current one
    and those kept in old_status (by content, as their names hold times)."""
    current = install / "installation_status.json"
    old = sorted(json.dumps(without_app_id(json.loads(path.read_text(encoding="utf-8"))),
                            sort_keys=True)
                 for path in (install / "old_status").glob("installation_status.json.*"))
    return {"current": without_app_id(json.loads(current.read_text(encoding="utf-8")))
            if current.exists() else None, "old": old}


def shortcut_digest(path):
    """The digest of a shell link without what it copies from its target's
    file entry at the time it is made: the target's times in the header and
    the ID list, whose items hold the target's size and date."""
    data = bytearray(path.read_bytes())
    if len(data) < 76:
        return hashlib.sha1(data).hexdigest()
    data[28:52] = bytes(24)
    rest = data[76:]
    if int.from_bytes(data[20:24], "little") & 0x1:  # HasLinkTargetIDList
        rest = rest[2 + int.from_bytes(rest[0:2], "little"):]
    return hashlib.sha1(bytes(data[:76]) + bytes(rest)).hexdigest()


def state_of(wine, install):
    snapshot = machine_state.snapshot(wine, {"install": install})
    for entry in snapshot:
        if entry.startswith("file:") and entry.lower().endswith(".lnk"):
            snapshot[entry] = shortcut_digest(wine.prefix / "drive_c" / entry[len("file:"):])
    return snapshot, recorded_statuses(install)


def assert_killed_run_failed(code, text):
    """What the front end makes of a back end that died under it. Killed
    while Wine was still starting it, the back end never started for the
    front end, which says so instead."""
    assert code == 1, text
    assert "Installation succeeded" not in text
    if "Could not launch installer backend process" not in text:
        assert "Installer backend process signaled" in text, text
        assert "Installer ended. Success is 0" in text, text
        # The front end says, as an error, that its back end ended without a
        # word, and with which exit code.
        assert re.search(r"^\[[^\]]*:ERROR:[^\]]*\] Installer backend ended without "
                         r"reporting success or an error, exit code \d+\r?$", text, re.M), text


def assert_same_installation(reference, state):
    snapshot, statuses = state
    assert machine_state.diff(reference[0], snapshot, ignore=IGNORED) == []
    assert reference[1] == statuses


def reference_runs(wine, temp_dir, packages, install, server):
    """Silent runs of |packages| in turn, without a kill; their logs go."""
    log_dir = temp_dir / "Velto Installer"
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    try:
        for package in packages:
            code, text = silent_run(wine, log_dir, package, install, server)
            assert code == 0, text
    finally:
        for log in new_logs(log_dir, before):
            log.unlink()


def reference(wine, workspace, temp_dir, server, name, versions):
    """The folder, the packages, and what silent runs of the packages of
    |versions| in turn, without a kill, leave (taken away again afterwards)."""
    install = workspace / name / "Velto"
    packages = [make_package(workspace, version) for version in versions]
    before = machine_state.capture(wine)
    reference_runs(wine, temp_dir, packages, install, server)
    state = state_of(wine, install)
    machine_state.restore(wine, before, machine_state.capture(wine))
    shutil.rmtree(install)
    return install, packages, state


@pytest.fixture(scope="module")
def install_reference(wine, workspace, package_server_module, temp_dir):
    return reference(wine, workspace, temp_dir, package_server_module, "install", [1])


@pytest.fixture(scope="module")
def upgrade_reference(wine, workspace, package_server_module, temp_dir):
    return reference(wine, workspace, temp_dir, package_server_module, "upgrade", [1, 2])


@pytest.fixture(scope="module")
def package_server_module():
    import sys
    from conftest import TOP
    sys.path.insert(0, str(TOP / "tests" / "fixtures"))
    from package_server import PackageServer
    server = PackageServer({"routes": {"/api/prefs/": {"json": {}}}}).start()
    yield server
    server.stop()


# Where the back end is killed: as soon as it starts, or held at the copy of
# a package file: a listed file in the middle of the list (the files before it
# are copied, the ones after it not yet), or the launcher, which comes after
# every listed and root file (in an upgrade, after the old root files were
# moved aside).
HELD_FILE = {"early": None, "mid-copy": "data\\extra_12.bin", "after-copy": "launcher.exe"}


def kill_back_end_at(point, wine, log_dir, package, install, server):
    name = HELD_FILE[point]
    held = Held(package, name) if name else None
    try:
        code, text = killed_run(wine, log_dir, package, install, server,
                                held_at(name) if name else started)
    finally:
        if held:
            held.put_back()
    assert_killed_run_failed(code, text)
    return text


@pytest.fixture(autouse=True)
def no_reference_folders_after_the_test(workspace):
    """The folders of the runs without a kill are empty again for the next
    test, which repeats the run there."""
    yield
    for name in ("install", "upgrade"):
        shutil.rmtree(workspace / name / "Velto", ignore_errors=True)


def run_again_and_compare(wine, log_dir, package, install, server, reference):
    """The next silent run succeeds and leaves |reference|."""
    code, text = silent_run(wine, log_dir, package, install, server)
    assert code == 0, text
    assert_same_installation(reference, state_of(wine, install))


@pytest.mark.parametrize("point", ["early", "mid-copy", "after-copy"])
def test_install_killed_then_run_again(wine, log_dir, workspace, install_reference,
                                       package_server_module, point):
    install, (package,), reference = install_reference
    server = package_server_module
    text = kill_back_end_at(point, wine, log_dir, package, install, server)
    if point == "mid-copy":
        copied = list(install.glob("47.*/data/extra_*.bin"))
        assert 0 < len(copied) < len(EXTRA_FILES), copied
    if point == "after-copy":
        assert (install / "license.txt").is_file(), text
        assert not (install / "launcher.exe").exists()
    run_again_and_compare(wine, log_dir, package, install, server, reference)


@pytest.mark.parametrize("point", ["mid-copy", "after-copy"])
def test_upgrade_killed_then_run_again(wine, log_dir, workspace, upgrade_reference,
                                       package_server_module, point):
    install, (package_1, package_2), reference = upgrade_reference
    server = package_server_module
    code, text = silent_run(wine, log_dir, package_1, install, server)
    assert code == 0, text
    kill_back_end_at(point, wine, log_dir, package_2, install, server)
    # The kill left the installation of package 1 recorded.
    assert recorded_statuses(install)["current"]["version"].startswith("47.")
    if point == "after-copy":
        assert list(install.glob("license.txt.*.old")), sorted(os.listdir(install))

    run_again_and_compare(wine, log_dir, package_2, install, server, reference)


# The component installer stand-in, signed (component installers must be).
COMPONENT_STUB = BUILD / "fixtures" / "components" / "expected_signer.exe"


def component_processes(name):
    """Unix process ids of the component installer |name| (a file name)."""
    return processes_where(lambda arguments: any(name.encode() in a for a in arguments))


def back_end_log_text(log_dir, before):
    """The text of the new logs written by back ends."""
    texts = [log.read_text(encoding="utf-8", errors="replace") for log in new_logs(log_dir, before)]
    return "\n".join(text for text in texts if "Running backend" in text)


class WaitingComponent:
    """The component "hold" of the runs given SWITCHES: its installer (the
    signed stand-in, beside the package folders in "hold") ends at once,
    unless told to wait (hold): it then waits for the run's interrupted event,
    which the run holds open all along (it is set when the run is cancelled
    or its back end has ended). A run so held is in its component step: after the registry,
    shortcut and preference steps, before the status is written."""

    SWITCHES = ["--components=hold:hold"]

    def __init__(self, workspace):
        self.installer = workspace / "hold" / "hold_installer.exe"
        self.installer.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(COMPONENT_STUB, self.installer)
        self.instruction = self.installer.with_name(self.installer.name + ".exit")

    def hold(self, wine, install):
        event = ("Global\\VeltoInstaller/InstallationInterrupted/" +
                 wine.windows_path(install).replace("\\", "/"))
        self.instruction.write_text("wait " + event)
        # The run takes only the installer into a folder of its own: the
        # instruction is found through the environment the run inherits.
        wine.env["VELTO_COMPONENT_CONTROL"] = wine.windows_path(self.installer.parent)
        self.wine = wine

    def waits(self, text, pids):
        """killed_run's |ready|: the component installer of the run waits."""
        return ("Running component installer" in text and
                "Component installer returned" not in text and
                bool(component_processes(self.installer.name)))

    def let_go(self):
        """Tells it to end at once again, and ends one that still waits."""
        self.instruction.unlink(missing_ok=True)
        if getattr(self, "wine", None):
            self.wine.env.pop("VELTO_COMPONENT_CONTROL", None)
        for pid in component_processes(self.installer.name):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass


def killed_while_held(wine, log_dir, package, install, server, component, extra=()):
    """A run of |package| killed while |component| holds it; its log text."""
    component.hold(wine, install)
    try:
        code, text = killed_run(wine, log_dir, package, install, server, component.waits,
                                component.SWITCHES + list(extra))
    finally:
        component.let_go()
    assert_killed_run_failed(code, text)
    return text


def test_upgrade_killed_between_keeping_and_writing_the_status(wine, log_dir, workspace,
                                                               package_server_module):
    """An upgrade moves the status of the installation it replaces into
    old_status, runs the component installers, then writes the new status.
    Killed while a component installer runs, it leaves no status file; the
    next run still upgrades that installation (same app id, its status kept
    in old_status), and the run after it removes the replaced version."""
    server = package_server_module
    install = workspace / "status-moved" / "Velto"
    package_1, package_2 = (make_package(workspace, version) for version in (1, 2))
    component = WaitingComponent(workspace)
    extra = component.SWITCHES

    code, text = silent_run(wine, log_dir, package_1, install, server, extra)
    assert code == 0, text
    version_1 = json.loads((install / "installation_status.json").read_text(encoding="utf-8"))
    assert list(version_1.get("components", {})) == ["hold"], text

    text = killed_while_held(wine, log_dir, package_2, install, server, component)
    assert "Preserving previous installer status." in text
    assert not (install / "installation_status.json").exists()

    before = set(log_dir.glob("*.log"))
    code, text = silent_run(wine, log_dir, package_2, install, server, extra)
    assert code == 0, text
    back_end = back_end_log_text(log_dir, before)
    assert ("installation_status.json, moved aside by an interrupted run" in back_end), back_end
    assert "Operation: 2" in back_end, back_end
    version_2 = json.loads((install / "installation_status.json").read_text(encoding="utf-8"))
    assert version_2["version"] != version_1["version"]
    assert version_2["app_id"] == version_1["app_id"]
    assert list(version_2.get("components", {})) == ["hold"]
    kept = [json.loads(path.read_text(encoding="utf-8"))
            for path in (install / "old_status").iterdir()]
    assert kept == [version_1]
    assert (install / version_1["_subfolder"]).is_dir()

    # The replaced version goes with the next upgrade, by its kept status.
    code, text = silent_run(wine, log_dir, package_2, install, server, extra)
    assert code == 0, text
    assert not (install / version_1["_subfolder"]).exists()
    for name in version_2["files"]:
        assert (install / version_2["_subfolder"] / name.replace("\\", "/")).is_file(), name


def entry_names_of_status(install):
    """The names (last key component, lower case) of the uninstall entries the
    folder's status records."""
    status = json.loads((install / "installation_status.json").read_text(encoding="utf-8"))
    keys = status["registry"].get("HKCU", []) + status["registry"].get("HKLM", [])
    return [key["path"].rpartition("\\")[2].lower() for key in keys
            if machine_state.UNINSTALL_KEY in "\\" + key["path"].lower() + "\\"]


@pytest.mark.parametrize("operation", ["install", "upgrade"])
def test_killed_after_setting_up_the_registry_then_run_again_leaves_one_entry(
        wine, log_dir, workspace, package_server_module, operation):
    """A run writes the uninstall entry a few steps before the status that
    names it. Killed in between, it leaves an entry for the folder that no
    status names (an upgrade has taken away the entry of the version it
    replaces by then). The next run takes that entry away: one entry names
    the folder, the one its status names."""
    server = package_server_module
    install = workspace / ("entry-" + operation) / "Velto"
    folder = wine.windows_path(install)
    package_1, package_2 = (make_package(workspace, version) for version in (1, 2))
    component = WaitingComponent(workspace)
    if operation == "upgrade":
        code, text = silent_run(wine, log_dir, package_1, install, server, component.SWITCHES)
        assert code == 0, text
    package = package_2 if operation == "upgrade" else package_1

    text = killed_while_held(wine, log_dir, package, install, server, component)
    assert "Setting up the registry" in text, text
    left = machine_state.entries_naming(machine_state.uninstall_entries(wine), folder)
    assert len(left) == 1, left

    code, text = silent_run(wine, log_dir, package, install, server, component.SWITCHES)
    assert code == 0, text
    naming = machine_state.entries_naming(machine_state.uninstall_entries(wine), folder)
    assert len(naming) == 1, naming
    assert [naming[0].rpartition("\\")[2].lower()] == entry_names_of_status(install)


def test_backups_of_a_run_killed_after_replacing_shortcuts_are_resolved(
        wine, log_dir, workspace, package_server_module):
    """A run replaces the shortcuts (which every installation makes under the
    same names) and the folder's installer preferences, keeping each file it
    replaces beside it until the run ends. Killed after that, it leaves those
    backups; the next run of the folder removes them."""
    server = package_server_module
    package = make_package(workspace, 1)
    component = WaitingComponent(workspace)
    # Another installation has made the shortcuts.
    other = workspace / "shortcuts-other" / "Velto"
    code, text = silent_run(wine, log_dir, package, other, server)
    assert code == 0, text
    shortcuts = [wine.unix_path(path) for path in json.loads(
        (other / "installation_status.json").read_text(encoding="utf-8"))["shortcuts"].values()]
    assert len(shortcuts) >= 2, shortcuts
    # The folder holds the installer preferences an uninstall leaves.
    install = workspace / "shortcuts" / "Velto"
    install.mkdir(parents=True)
    (install / "installer_prefs.json").write_text("{}", encoding="utf-8")
    folders = {path.parent for path in shortcuts} | {install}

    def backups():
        return sorted(path for folder in folders for path in folder.glob("*.old"))

    killed_while_held(wine, log_dir, package, install, server, component)
    assert {path.parent for path in backups()} == folders, backups()

    code, text = silent_run(wine, log_dir, package, install, server, component.SWITCHES)
    assert code == 0, text
    assert backups() == []
    for path in shortcuts:
        assert path.is_file(), path
    prefs = json.loads((install / "installer_prefs.json").read_text(encoding="utf-8"))
    assert "all-installer-experiments" in prefs, prefs


def test_package_installer_killed_alone_fails_the_run(wine, log_dir, workspace, install_reference,
                                                      package_server_module):
    """The back end that waits for the package's installer finds it ended with
    exit code 0 (Wine's code for a process killed by a signal), but without
    its report of success: the run failed."""
    install, (package,), reference = install_reference
    server = package_server_module
    name = HELD_FILE["mid-copy"]
    held = Held(package, name)
    try:
        code, text = killed_run(wine, log_dir, package, install, server, held_at(name),
                                targets=package_installer_processes)
    finally:
        held.put_back()
    assert code == 1, text
    assert "Installer process did not complete successfully." in text, text
    run_again_and_compare(wine, log_dir, package, install, server, reference)


def waiting_back_ends(wine, install):
    """The back end of the folder that waits for the package's installer."""
    return [pid for pid in backend_processes(wine, install) if waits_for_package(pid)]


def kill_waiting_back_ends(wine, install, deadline):
    """Kills the back end of |install| that waits for the package's installer
    until none is left, by |deadline| (time.time())."""
    while waiting_back_ends(wine, install):
        for pid in waiting_back_ends(wine, install):
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
        assert time.time() < deadline, "the waiting back end stays"
        time.sleep(0.05)


def test_package_installer_outliving_its_killed_starter_keeps_nothing(
        wine, log_dir, workspace, package_server_module, stats_server):
    """The back end that waits for the package's installer is killed while
    that installer works (held in its component step). The front end reports
    the run as failed, in its statistics, and lives on while the statistics
    server takes its time. The package's installer, which goes on working,
    must not keep an installation of a run its front end reported as failed:
    it rolls back."""
    server = package_server_module
    package = make_package(workspace, 1)
    install = workspace / "outlived" / "Velto"
    component = WaitingComponent(workspace)
    stats_server.set_config({"default": {"status": 200, "body": "", "hold": True}})
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    component.hold(wine, install)
    # A stand-alone run: the killed back end, which cannot roll back, has
    # written nothing outside the folder.
    front_end = subprocess.Popen(
        command(wine, package, install, server,
                component.SWITCHES + ["--copyonly=1", "--enable-installer-stats=1",
                                      "--local-stats-server"]),
        env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    try:
        deadline = time.time() + TIMEOUT
        while not component.waits(read_logs(log_dir, before), []):
            assert front_end.poll() is None, read_logs(log_dir, before)
            assert time.time() < deadline, "the component step never came"
            time.sleep(0.05)
        assert package_installer_processes(wine, install)
        kill_waiting_back_ends(wine, install, deadline)
        # The front end has judged the run once it posts its statistics.
        while not stats_posts(stats_server):
            assert front_end.poll() is None, read_logs(log_dir, before)
            assert time.time() < deadline, "no statistics were posted"
            time.sleep(0.05)
        assert stats_posts(stats_server)[0]["installation_success"] == 0
        # The package's installer goes on, if nothing has stopped it, and ends.
        component.let_go()
        while package_installer_processes(wine, install):
            assert time.time() < deadline, "the package's installer stays"
            time.sleep(0.05)
        stats_server.release()
        code = front_end.wait(timeout=TIMEOUT)
        while installer_processes(wine, install):
            assert time.time() < deadline, "processes of the run stay"
            time.sleep(0.1)
    finally:
        component.let_go()
        stats_server.release()
        if front_end.poll() is None:
            front_end.kill()
    text = read_logs(log_dir, before)
    assert code == 1, text
    assert "Installation succeeded" not in text, text
    assert not (install / "installation_status.json").exists(), text
    # The killed back end made the folder before it waited, and could not
    # take it away again; nothing else is left in it.
    assert not install.exists() or list(install.iterdir()) == [], sorted(os.listdir(install))


# A process that starts another is killed while it does. Windows creates the
# new process suspended and lets it run only at the end of the start; under
# Wine the launcher waits in between until the new process has set itself
# up (loaded its program, with the Wine server's help). The new process is
# frozen (SIGSTOP) as soon as it appears. When it has not loaded its program
# yet, the launcher is certainly still waiting: the launcher is frozen there,
# the new process let go (SIGCONT) to set itself up and wait to be let run,
# and then the launcher killed. (Killed before the new process has reached
# the Wine server, the new process would wait for ever for the server's
# answer, whatever the installer does.)

START_ATTEMPTS = 5


def command_line_of(pid):
    try:
        return pathlib.Path("/proc", str(pid), "cmdline").read_bytes().split(b"\0")
    except OSError:
        return None


def stat_of(pid):
    """The fields of /proc/|pid|/stat after the command name (state, parent,
    ...), empty when the process is gone."""
    try:
        return pathlib.Path("/proc", str(pid), "stat").read_text().rsplit(")", 1)[1].split()
    except (OSError, IndexError):
        return []


def has_ended(pid):
    """Whether Unix process |pid| is gone or only waits to be reaped."""
    return stat_of(pid)[:1] in ([], ["Z"])


def parent_of(pid):
    fields = stat_of(pid)
    return int(fields[1]) if len(fields) > 1 else None


def has_loaded_its_program(arguments):
    """Whether a Wine process with |arguments| has loaded its Windows program:
    Wine then drops its loader from the arguments, which start with the
    program's Windows path."""
    return len(arguments[0]) > 2 and arguments[0][1:3] == b":\\"


def new_process(known, matches, deadline):
    """The first process, not in |known|, whose arguments |matches| accepts,
    frozen (SIGSTOP), with its arguments as they are once it is frozen."""
    while True:
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) in known:
                continue
            arguments = command_line_of(int(entry))
            if not arguments or not matches(arguments):
                continue
            try:
                os.kill(int(entry), signal.SIGSTOP)
            except ProcessLookupError:
                continue  # gone already
            arguments = command_line_of(int(entry))
            if arguments and matches(arguments):
                return int(entry), arguments
            os.kill(int(entry), signal.SIGCONT)
        assert time.time() < deadline, "nothing was started"


def kill_while_starting(wine, log_dir, package, install, server, launcher):
    """A silent run whose |launcher| ("front end": the front end starting its
    back end; "back end": the back end starting the package's installer) is
    killed while it starts that process. Returns whether the kill certainly
    came before the new process could run, and the run's log text."""
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    folder = ("--installfolder=" + wine.windows_path(install)).encode()
    known = {int(entry) for entry in os.listdir("/proc") if entry.isdigit()}
    # A stand-alone run writes nothing outside its folder.
    front_end = subprocess.Popen(command(wine, package, install, server, ["--copyonly=1"]),
                                 env=wine.env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stopped = []
    try:
        deadline = time.time() + TIMEOUT
        if launcher == "front end":
            started = lambda arguments: b"--backend" in arguments and folder in arguments
        else:
            started = lambda arguments: folder in arguments and any(
                argument.startswith(b"--success-event") for argument in arguments)
        child, arguments = new_process(known, started, deadline)
        stopped.append(child)
        if launcher == "front end":
            launcher_pid = front_end.pid
        else:
            waiting = processes_where(lambda arguments: folder in arguments and any(
                argument.startswith(b"--wait-for-package") for argument in arguments))
            # Not a fork of the waiting back end that is still on its way.
            launcher_pid = [pid for pid in waiting if parent_of(pid) not in waiting][0]
        certain = not has_loaded_its_program(arguments)
        if certain:
            os.kill(launcher_pid, signal.SIGSTOP)
            stopped.append(launcher_pid)
            os.kill(child, signal.SIGCONT)
            stopped.remove(child)
            # The new process sets itself up and waits to be let run.
            child, arguments = new_process(
                known | {launcher_pid},
                lambda arguments: started(arguments) and has_loaded_its_program(arguments),
                deadline)
            stopped.append(child)
        os.kill(launcher_pid, signal.SIGKILL)
        while not has_ended(launcher_pid):
            assert time.time() < deadline, "the launcher stays"
            time.sleep(0.01)
        for pid in stopped:
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGCONT)
        stopped = []
        # Nothing of the run stays: the new process runs and ends, as its
        # launcher is gone, or ends without having run.
        while front_end.poll() is None or installer_processes(wine, install):
            assert time.time() < deadline, "processes of the run stay: %r" % [
                b" ".join(command_line_of(pid) or [])[:300]
                for pid in installer_processes(wine, install)]
            time.sleep(0.1)
    finally:
        for pid in stopped:
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGCONT)
        if front_end.poll() is None:
            front_end.kill()
        for pid in installer_processes(wine, install):
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
    return certain, read_logs(log_dir, before)


@pytest.mark.parametrize("launcher", ["front end", "back end"])
def test_installer_killed_while_starting_another_leaves_none_behind(
        wine, log_dir, workspace, package_server_module, launcher):
    package = make_package(workspace, 1)
    certain = 0
    for attempt in range(START_ATTEMPTS):
        install = workspace / ("killed-starting-%s-%d" % (launcher.replace(" ", "-"), attempt))
        killed_in_time, text = kill_while_starting(wine, log_dir, package, install,
                                                   package_server_module, launcher)
        if killed_in_time:
            certain += 1
            # The new process never ran: it wrote no log.
            assert text.count("] Command line: ") == (1 if launcher == "front end" else 2), text
        assert not (install / "installation_status.json").exists(), text
    assert certain, "the launcher was never killed before the new process could run"
