"""Many installers started at once, and input that comes from outside: each
run keeps a log and a temporary folder of its own; a payload cannot forge log
lines or blow the log up; an executable without its library says so."""

import json
import re
import subprocess
import threading

from conftest import copy_installer, new_logs, run_and_read_log

RUNS = 40


def test_installers_started_at_once_keep_their_own_logs_and_temp_folder(
        wine, installer_exe, log_dir, temp_dir):
    before = set(log_dir.glob("*.log")) if log_dir.exists() else set()
    folders = ["C:\\parallel run %d" % i for i in range(RUNS)]
    processes = [subprocess.Popen(["wine", str(installer_exe), "--installfolder=" + folder],
                                  env=wine.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                 for folder in folders]
    for process in processes:
        assert process.wait(timeout=600) == 1  # no front end in this build

    logs = new_logs(log_dir, before)
    assert len(logs) == RUNS
    found = []
    download_folder = wine.windows_path(temp_dir / "Velto Installer")
    for log in logs:
        text = log.read_text(encoding="utf-8")
        marks = re.findall(r"Install folder from command line: (C:\\parallel run \d+)\n", text)
        assert len(marks) == 1, log.name
        found.append(marks[0])
        assert "Could not obtain temporary installer folder" not in text
        assert "] Installer download folder: " + download_folder + "\n" in text
    assert sorted(found) == sorted(folders)
    # Every probe copy is gone.
    assert not [p for p in (temp_dir / "Velto Installer").iterdir() if p.suffix == ".exe"]


def test_payload_cannot_forge_log_lines_or_blow_up_the_log(wine, log_dir, tmp_path):
    exe = copy_installer(tmp_path / "hostile")
    forged = "[1:1:0101/000000.000:ERROR:forged.cc(1)] forged"
    tracking = {"uuid": "id\r\n" + forged, "utm": {"medium": "m" * (10 << 20)}}
    payload = json.dumps(tracking).encode()
    with open(exe, "ab") as image:
        image.write(b"VLO" + payload + len(payload).to_bytes(4, "little"))

    result, log = run_and_read_log(wine, log_dir, exe,
                                   "--temp-folder=" + wine.windows_path(tmp_path))
    assert result.returncode == 1
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
    process = subprocess.Popen(["wine", str(exe), "--version"], env=wine.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    # The text comes first; then a message box waits for the user.
    line = []
    reader = threading.Thread(target=lambda: line.append(process.stderr.readline()))
    reader.start()
    reader.join(timeout=120)
    try:
        assert line, "no message on the console"
        text = line[0].decode("utf-8")
        assert text.startswith("The installer cannot run: it could not load its library ")
        assert "installer_lib.dll" in text
        assert process.poll() is None, "no message box"
    finally:
        process.kill()
        process.wait(timeout=60)
