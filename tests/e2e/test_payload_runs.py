"""Runs of installer executables that carry a payload: tracking data appended
(and signed), a full package, an executable whose payload headers are
corrupted, and tracking data given on the command line instead; what of the
tracking data reaches the settings of a front end."""

import json
import re
import shutil
import struct
import subprocess
import time

import pytest

from conftest import copy_installer, new_logs, run_and_read_log, sign_file
from gui import run_and_cancel

TRACKING = {"uuid": "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0",
            "utm": {"medium": "e2e", "defbr": "true", "fsce": "false"}}


def append_payload(exe, payload):
    with open(exe, "ab") as image:
        image.write(b"VLO" + payload + struct.pack("<I", len(payload)))


@pytest.mark.skipif(not (shutil.which("openssl") and shutil.which("osslsigncode")),
                    reason="needs openssl and osslsigncode")
def test_tracking_data_appended_then_signed_is_read(wine, log_dir, tmp_path, package_server):
    exe = copy_installer(tmp_path / "unsigned")
    data = json.dumps(TRACKING, separators=(",", ":")).encode()
    append_payload(exe, data)
    key, cert = tmp_path / "key.pem", tmp_path / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Velto Test Signing", "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True)
    signed = copy_installer(tmp_path / "signed")
    sign_file(cert, key, exe, signed)

    code, log = run_and_cancel(wine, log_dir, signed, "--v=2", "--enable-installer-stats=0",
                               "--temp-folder=" + wine.windows_path(tmp_path),
                               "--internal-package-server=" + package_server.url("/"))
    assert "] Tracking data: " + data.decode() + "\n" in log
    assert "] Instantiating settings\n" in log
    # The tracking data reaches the settings of a front end.
    assert "] niuid:" + TRACKING["uuid"] + "\n" in log
    assert "] utm_medium:e2e\n" in log
    assert "] defbr:true\n" in log
    # The tracking data's choices make the run start at once; it is
    # cancelled through the window.
    assert "] runimmediately set" in log
    assert code == 1


def corrupted_installer(tmp_path):
    exe = copy_installer(tmp_path / "corrupted")
    image = bytearray(exe.read_bytes())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    # The security directory of a PE32+ image names a table past the file end,
    # as in a signed installer cut short.
    struct.pack_into("<II", image, pe + 168, len(image) + 4096, 512)
    exe.write_bytes(bytes(image))
    return exe


def test_corrupted_payload_silent_creates_no_settings(wine, log_dir, tmp_path):
    result, log = run_and_read_log(wine, log_dir, corrupted_installer(tmp_path), "--v=2",
                                   "--silent")
    assert "] Security directory is located past the image file length\n" in log
    assert "] Corrupted payload\n" in log
    assert "Displaying custom message box" not in log
    assert "Instantiating settings" not in log
    assert result.returncode == 1


def test_corrupted_payload_shows_the_message_until_it_is_closed(wine, log_dir, tmp_path):
    exe = corrupted_installer(tmp_path)
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    process = subprocess.Popen(["wine", str(exe), "--v=2", "--language=de"], env=wine.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 90
        log = ""
        while "] Displaying custom message box\n" not in log:
            assert time.monotonic() < deadline, "the message box did not come up"
            assert process.poll() is None, "the installer ended without its message box"
            logs = new_logs(log_dir, before)
            log = logs[0].read_text(encoding="utf-8") if logs else ""
            time.sleep(0.1)
        # The box waits for its answer: closing it (what taskkill without /f
        # asks of a window) ends the run.
        pid = int(re.search(r"^\[(\d+):", log, re.M).group(1))
        wine.run(["taskkill", "/pid", str(pid)])
        assert process.wait(timeout=90) == 1
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    log = new_logs(log_dir, before)[0].read_text(encoding="utf-8")
    assert "] Destroying custom message box\n" in log
    assert "Corrupted payload" not in log
    assert "Instantiating settings" not in log


def run_front_end(wine, log_dir, exe, tmp_path, *args):
    """An interactive run whose download folder is made under |tmp_path|, so
    that no copy of the installer is probed, and whose package server is a
    local one that has no package; it is cancelled as soon as its window is
    up. Returns the exit code and the front end's log."""
    import sys
    from conftest import TOP
    sys.path.insert(0, str(TOP / "tests" / "fixtures"))
    from package_server import PackageServer
    with PackageServer() as server:
        return run_and_cancel(wine, log_dir, exe, "--v=2", "--enable-installer-stats=0",
                              "--internal-package-server=" + server.url("/"),
                              "--temp-folder=" + wine.windows_path(tmp_path), *args)


def test_default_browser_without_statistics_choice_sets_neither(wine, log_dir, tmp_path):
    exe = copy_installer(tmp_path / "partial")
    tracking = {"uuid": TRACKING["uuid"], "utm": {"medium": "e2e", "defbr": "true"}}
    append_payload(exe, json.dumps(tracking).encode())
    _, log = run_front_end(wine, log_dir, exe, tmp_path)
    assert "] Tracking data: " in log
    assert "] defbr:" not in log
    assert "] fsce:" not in log
    # The other values are still taken.
    assert "] niuid:" + TRACKING["uuid"] + "\n" in log
    assert "] utm_medium:e2e\n" in log


def test_tracking_data_is_ignored_for_copy_only_settings(wine, log_dir, tmp_path):
    exe = copy_installer(tmp_path / "copyonly")
    append_payload(exe, json.dumps(TRACKING).encode())
    _, log = run_front_end(wine, log_dir, exe, tmp_path, "--copyonly=1")
    assert "] Tracking data: " in log
    assert "] Installer download folder: " in log
    for value in ("niuid:", "utm_medium:", "defbr:", "fsce:"):
        assert "] " + value not in log


def test_full_package_gives_no_tracking_data_and_x64(wine, log_dir, tmp_path):
    exe = copy_installer(tmp_path / "full")
    append_payload(exe, b"7z\xbc\xaf\x27\x1c" + b"\0" * 26)
    _, log = run_front_end(wine, log_dir, exe, tmp_path)
    assert "] Found full package\n" in log
    assert "] Installer architecture: X64\n" in log
    assert "] Installer download folder: " in log
    assert "Tracking data: " not in log
    assert "] niuid:" not in log


def test_tracking_data_from_the_command_line_when_the_executable_has_none(
        wine, installer_exe, log_dir, tmp_path):
    blob = json.dumps({"uuid": TRACKING["uuid"], "utm": {"medium": "cmd"}},
                      separators=(",", ":"))
    _, log = run_front_end(wine, log_dir, installer_exe, tmp_path,
                           "--server-tracking-blob=" + blob)
    assert "] Failed reading payload\n" in log
    assert "] Using tracking data from command line\n" in log
    assert "] niuid:" + TRACKING["uuid"] + "\n" in log
    assert "] utm_medium:cmd\n" in log
