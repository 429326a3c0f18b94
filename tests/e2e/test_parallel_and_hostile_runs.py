"""Many installers started at once, and input that comes from outside: each
run keeps a log and a temporary folder of its own, and installs into folders
of their own each keep an uninstall entry of their own; a payload cannot forge
log lines or blow the log up; an executable without its library says so."""

import json
import re
import subprocess
import time

import machine_state
from conftest import BIN, copy_installer, new_logs
from gui import (ACCEPT_BUTTON, IDYES, GuiDriver, GuiError, report_on_console_and_in_a_box,
                 run_and_cancel)

RUNS = 40
INSTALLS = 20


def close_installer_windows(wine, processes, timeout=600):
    """Cancels every installer window that comes up until all |processes|
    have ended: the one run that holds the UI lock at a time shows its window;
    the others end at once."""
    driver = GuiDriver(wine)
    try:
        driver.target(0)  # the window of whichever installer shows one
        deadline = time.monotonic() + timeout
        while any(p.poll() is None for p in processes):
            assert time.monotonic() < deadline, "installers still running"
            try:
                driver.wait_window(ACCEPT_BUTTON, 2000)
                driver.close_window()
                driver.wait_window(IDYES, 30000)
                driver.click(IDYES)
                driver.wait_gone(30000)
            except GuiError:
                pass  # no window up now, or it went while being closed
    finally:
        driver.close()
        for process in processes:
            if process.poll() is None:
                process.kill()
                process.wait()


def test_installers_started_at_once_keep_their_own_logs_and_temp_folder(
        wine, installer_exe, log_dir, temp_dir, package_server):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    folders = ["C:\\parallel run %d" % i for i in range(RUNS)]
    processes = [subprocess.Popen(["wine", str(installer_exe), "--installfolder=" + folder,
                                   "--enable-installer-stats=0",
                                   "--internal-package-server=" + package_server.url("/")],
                                  env=wine.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                 for folder in folders]
    close_installer_windows(wine, processes)
    for process in processes:
        assert process.wait(timeout=60) == 1  # cancelled, or another UI was up

    logs = new_logs(log_dir, before)
    assert len(logs) == RUNS
    # One interactive UI at a time: every run either had the window (and was
    # cancelled) or found another run's UI and ended.
    shown = switched = 0
    for log in logs:
        text = log.read_text(encoding="utf-8")
        shown += "] Initializing installer UI\n" in text
        switched += "] Another instance of the installer UI is running. Switching to it\n" in text
    assert shown >= 1
    assert shown + switched == RUNS
    found = []
    # Each run is elevated under Wine: its download folder is a new one of
    # its own under the Windows folder's temporary folder.
    download_folders = set()
    for log in logs:
        text = log.read_text(encoding="utf-8")
        marks = re.findall(r"Install folder from command line: (C:\\parallel run \d+)\n", text)
        assert len(marks) == 1, log.name
        found.append(marks[0])
        assert "Could not obtain temporary installer folder" not in text
        download = re.findall(r"\] Installer download folder: "
                              r"(C:\\windows\\Temp\\velto_elevated_package_[0-9A-F]{16})\n", text)
        assert len(download) == 1, text
        download_folders.add(download[0])
    assert sorted(found) == sorted(folders)
    assert len(download_folders) == len([t for t in (log.read_text(encoding="utf-8")
                                                     for log in logs)
                                         if "] Installer download folder: " in t])
    # Every probe copy is gone.
    assert not [p for p in (temp_dir / "Velto Installer").iterdir() if p.suffix == ".exe"]


def test_net_installs_into_folders_at_once_keep_an_uninstall_entry_each(
        wine, log_dir, package_server, tmp_path):
    """Silent net installs of one version into 20 folders, started at once,
    all succeed, and each folder ends with exactly one uninstall entry, the
    one its status names; the silent uninstall of one of them takes its entry
    away and leaves the other 19."""
    from package_server import protocol_config
    from test_silent_install import DELIVERY, installer_copy, status_of
    from test_silent_uninstall import run_uninstall
    package_server.set_config(protocol_config(str(DELIVERY / "velto_package.exe")))
    download = installer_copy(tmp_path / "download", BIN / "installer.exe")
    folders = [tmp_path / ("at once %02d" % number) / "Velto" for number in range(INSTALLS)]
    processes = [subprocess.Popen(
        ["wine", str(download / "installer.exe"), "--silent", "--enable-installer-stats=0",
         "--launchvelto=0", "--allusers=0", "--installfolder=" + wine.windows_path(folder),
         "--internal-package-server=" + package_server.url("/netinstaller/quenn/windows/x64/"),
         "--local-pref-default-overrides-server=" + package_server.url("/api/prefs/")],
        env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL) for folder in folders]
    try:
        codes = [process.wait(timeout=1200) for process in processes]
    finally:
        for process in processes:
            if process.poll() is None:
                process.kill()
                process.wait()
    assert codes == [0] * INSTALLS

    def entry_of_each_folder():
        entries = machine_state.uninstall_entries(wine)
        found = {}
        for folder in folders:
            naming = machine_state.entries_naming(entries, wine.windows_path(folder))
            found[folder] = naming[0] if len(naming) == 1 else naming
        return found

    entries = entry_of_each_folder()
    for folder, entry in entries.items():
        assert isinstance(entry, str), (folder, entry)
        status = status_of(folder)
        recorded = [key["path"].rpartition("\\")[2].lower()
                    for key in status["registry"].get("HKCU", [])
                    if "\\uninstall\\" in key["path"].lower()]
        assert recorded == [entry.rpartition("\\")[2].lower()], (folder, entry, recorded)
    assert len(set(entries.values())) == INSTALLS

    result, logs = run_uninstall(wine, log_dir, folders[0])
    assert result.returncode == 0, "\n".join(logs)
    after = entry_of_each_folder()
    assert after[folders[0]] == []
    assert {folder: after[folder] for folder in folders[1:]} == \
        {folder: entries[folder] for folder in folders[1:]}


def test_payload_cannot_forge_log_lines_or_blow_up_the_log(wine, log_dir, tmp_path,
                                                           package_server):
    exe = copy_installer(tmp_path / "hostile")
    forged = "[1:1:0101/000000.000:ERROR:forged.cc(1)] forged"
    tracking = {"uuid": "id\r\n" + forged, "utm": {"medium": "m" * (10 << 20)}}
    payload = json.dumps(tracking).encode()
    with open(exe, "ab") as image:
        image.write(b"VLO" + payload + len(payload).to_bytes(4, "little"))

    code, log = run_and_cancel(wine, log_dir, exe, "--enable-installer-stats=0",
                               "--internal-package-server=" + package_server.url("/"),
                               "--temp-folder=" + wine.windows_path(tmp_path))
    assert code == 1
    assert not any(line.startswith(forged) for line in log.splitlines())
    assert "] niuid:id\\x0D\\x0A" + forged + "\n" in log
    assert "] utm_medium:mmmm" in log
    assert "... (%d bytes)\n" % (10 << 20) in log
    assert len(log) < 64 * 1024


def test_installer_without_its_library_says_so(wine, tmp_path):
    alone = tmp_path / "alone"
    alone.mkdir()
    exe = alone / "installer.exe"
    exe.write_bytes((copy_installer(tmp_path / "whole")).read_bytes())
    text, code = report_on_console_and_in_a_box(wine, [exe, "--version"])
    assert text.startswith("The installer cannot run: it could not load its library ")
    assert "installer_lib.dll" in text
    assert code == 1


def test_unattended_installer_without_its_library_ends_without_a_window(wine, tmp_path):
    """Nobody would answer a message box of a silent run or of a back end
    (whose starter waits for it): the reason goes to the console and the
    process ends with exit code 1."""
    alone = tmp_path / "alone"
    alone.mkdir()
    exe = alone / "installer.exe"
    exe.write_bytes((copy_installer(tmp_path / "whole")).read_bytes())
    for switches in (["--silent"], ["/BACKEND", "--installfolder=C:\\x"],
                     ["--set-folder-permission=C:\\x", "--permissions-for-user=root"]):
        result = wine.run([exe] + switches, timeout=120)
        assert result.returncode == 1, switches
        text = result.stderr.decode("utf-8", "replace")
        assert text.startswith("The installer cannot run: it could not load its library "), (
            switches, text)
