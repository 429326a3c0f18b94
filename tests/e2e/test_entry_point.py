"""The entry point as a user meets it: build-information switches, help, the
log file of a run, the folder-permission helper mode, the decision whether the
installer runs from an unpacked package, and the install folder of an old
autoupdater's command line."""

import json
import re
import struct
import subprocess

import pytest

from conftest import BIN, BUILD, copy_installer, new_logs, run_and_read_log
from gui import run_and_cancel


@pytest.mark.parametrize("switch,expected", [
    ("--version", b"47.0.2631.23"),
    ("--internal-version", b"2631.23"),
    ("--stream", b"quenn"),
    # The first build-information switch wins over every other mode.
    ("--version --help", b"47.0.2631.23"),
    ("-stream /version", b"47.0.2631.23"),
])
def test_build_information_switches_print_value_only(wine, installer_exe, log_dir, switch,
                                                     expected):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    result = wine.run([installer_exe] + switch.split())
    assert result.returncode == 0
    assert result.stdout == expected
    assert new_logs(log_dir, before) == []


def test_backend_run_writes_log_file(wine, installer_exe, log_dir):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    wine.run([installer_exe, "--backend"])
    logs = new_logs(log_dir, before)
    assert len(logs) == 1
    assert re.fullmatch(r"velto_installer_\d{17}\.log", logs[0].name)
    lines = logs[0].read_text(encoding="utf-8").splitlines()
    assert lines[0].endswith("] Velto installer starting - version 47.0.2631.23 quenn")
    assert "] Command line: " in lines[1]
    assert "--backend" in lines[1]


def test_set_folder_permission_without_user_does_nothing(wine, installer_exe, log_dir, tmp_path):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    target = tmp_path / "folder"
    result = wine.run([installer_exe, "--set-folder-permission=" + wine.windows_path(target)])
    assert result.returncode == 0
    assert not target.exists()
    assert new_logs(log_dir, before) == []


def test_library_imports_only_system_dlls():
    allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "shlwapi.dll", "ole32.dll", "oleaut32.dll", "version.dll", "bcrypt.dll",
               "crypt32.dll", "wintrust.dll", "wininet.dll", "winhttp.dll", "comctl32.dll",
               "comdlg32.dll", "userenv.dll", "secur32.dll", "psapi.dll", "winmm.dll",
               "rpcrt4.dll", "msimg32.dll", "gdiplus.dll", "uxtheme.dll", "netapi32.dll",
               "ws2_32.dll", "msvcrt.dll", "ntdll.dll", "dbghelp.dll"}
    for binary in ("installer_lib.dll", "installer.exe"):
        dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(BIN / binary)],
                              capture_output=True, text=True, check=True).stdout
        imported = {m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)}
        assert imported, binary
        assert imported <= allowed, (binary, imported - allowed)


def test_installer_is_terminal_server_aware():
    """On a Remote Desktop host the system may give an executable that is not
    marked aware a Windows folder of its user's own, where the installer makes
    its protected folder and which its folder-permission helper refuses."""
    terminal_server_aware = 0x8000  # IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE
    for binary in (BIN / "installer.exe", BUILD / "fixtures" / "installer-2" / "installer.exe",
                   BIN / "crash_test" / "installer.exe"):
        image = binary.read_bytes()
        optional = struct.unpack_from("<I", image, 0x3C)[0] + 24
        characteristics = struct.unpack_from("<H", image, optional + 70)[0]
        assert characteristics & terminal_server_aware, binary


def test_experiment_switch_reaches_the_run(wine, installer_exe, log_dir):
    _, log = run_and_read_log(wine, log_dir, installer_exe,
                              "--with-feature:installer-experiment-test", "--backend")
    assert "] Test experiment is enabled\n" in log
    _, log = run_and_read_log(wine, log_dir, installer_exe, "--backend")
    assert "Test experiment is enabled" not in log


def test_help_succeeds_without_a_log_file(wine, installer_exe, log_dir):
    # The help goes to a console of its own (Wine shows it only on a terminal);
    # test_console_help reads it on a terminal.
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    result = wine.run([installer_exe, "--help"])
    assert result.returncode == 0
    assert new_logs(log_dir, before) == []


def make_installation(folder):
    """A folder that looks like an installation: the installer beside the browser."""
    installer = copy_installer(folder)
    (folder / "velto.exe").write_bytes(b"MZ")
    (folder / "installer_prefs.json").write_text(
        json.dumps({"installer-experiments": ["installer-experiment-test@1"]}))
    return installer


def test_uninstall_uses_experiments_stored_with_the_installation(wine, log_dir, tmp_path):
    # The uninstall wizard comes up and is cancelled.
    installer = make_installation(tmp_path / "Velto")
    _, log = run_and_cancel(wine, log_dir, installer, "--uninstall",
                            "--enable-installer-stats=0")
    assert "] Test experiment is enabled\n" in log
    assert "] Inside package1\n" in log
    # Switches do not override what the installation stored.
    _, log = run_and_cancel(wine, log_dir, installer, "--uninstall", "--enable-installer-stats=0",
                            "--with-feature:installer-experiment-test=off")
    assert "] Test experiment is enabled\n" in log


def test_uninstall_outside_an_installation_fails(wine, installer_exe, log_dir):
    result, log = run_and_read_log(wine, log_dir, installer_exe, "--uninstall")
    assert result.returncode == 1
    assert ("] Requested to uninstall, but we are not in a valid installation folder\n"
            in log)


def make_unpacked_package(folder, installer_name="installer.exe"):
    """A folder that looks like an unpacked package: the installer beside the
    browser and the list of the package's files."""
    installer = copy_installer(folder)
    if installer_name != installer.name:
        installer = installer.rename(folder / installer_name)
    (folder / "velto.exe").write_bytes(b"MZ")
    (folder / "files_list").write_text("velto.exe\n")
    return installer


def test_installer_inside_a_package_reads_no_payload_and_is_x64(wine, log_dir, tmp_path):
    installer = make_unpacked_package(tmp_path / "package")
    _, log = run_and_read_log(wine, log_dir, installer, "--backend", "--v=1")
    assert "] Inside package1\n" in log
    assert "Reading Payload" not in log
    assert "] Installer architecture: X64\n" in log
    # The architecture follows the feature that allows x64 downloads.
    _, log = run_and_read_log(wine, log_dir, installer, "--backend", "--v=1",
                              "--with-feature:installer-support-x64-download=off")
    assert "] Inside package1\n" in log
    assert "] Installer architecture: X86\n" in log


def test_only_an_installer_named_installer_exe_is_inside_a_package(wine, log_dir, tmp_path):
    installer = make_unpacked_package(tmp_path / "package", "velto_setup.exe")
    _, log = run_and_read_log(wine, log_dir, installer, "--backend")
    assert "] Inside package0\n" in log
    assert "] Reading Payload\n" in log


def test_autoupdate_recovers_an_empty_install_folder_from_the_last_argument(
        wine, installer_exe, log_dir, tmp_path):
    target = tmp_path / "Velto"
    target.mkdir()
    folder = wine.windows_path(target)
    _, log = run_and_read_log(wine, log_dir, installer_exe, "--autoupdate", "--silent",
                              "--backend", "--installfolder=", folder)
    assert "] It looks like we are autoupdating from V12.\n" in log
    assert "] Recovered install folder from command line: " + folder + "\n" in log
    # A silent V12 autoupdate becomes a run-immediately interactive run.
    assert "] Configuring for V12 autoupdate.\n" in log
    assert "] Silent:0\n" in log
    assert "] Run Immediately1\n" in log


def test_autoupdate_ignores_a_relative_last_argument(wine, installer_exe, log_dir):
    _, log = run_and_read_log(wine, log_dir, installer_exe, "--autoupdate", "--silent",
                              "--backend", "--installfolder=", "Velto")
    assert "] It looks like we are autoupdating from V12.\n" in log
    assert "] Recovered install folder from command line: \n" in log
    assert "Configuring for V12 autoupdate." not in log
    assert "] Silent:1\n" in log
    assert "] Run Immediately0\n" in log


def test_empty_install_folder_outside_autoupdate_is_not_recovered(wine, installer_exe, log_dir,
                                                                  tmp_path):
    folder = wine.windows_path(tmp_path)
    _, log = run_and_read_log(wine, log_dir, installer_exe, "--backend", "--installfolder=",
                              folder)
    assert "] Install folder from command line: \n" in log
    assert "autoupdating from V12" not in log
