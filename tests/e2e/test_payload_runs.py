"""Runs of installer executables that carry a payload: tracking data appended
and then signed, and an executable whose payload headers are corrupted."""

import json
import shutil
import struct
import subprocess

import pytest

from conftest import copy_installer, run_and_read_log

TRACKING = {"uuid": "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0",
            "utm": {"medium": "e2e", "defbr": "true", "fsce": "false"}}


@pytest.mark.skipif(not (shutil.which("openssl") and shutil.which("osslsigncode")),
                    reason="needs openssl and osslsigncode")
def test_tracking_data_appended_then_signed_is_read(wine, log_dir, tmp_path):
    exe = copy_installer(tmp_path / "unsigned")
    data = json.dumps(TRACKING, separators=(",", ":")).encode()
    with open(exe, "ab") as image:
        image.write(b"VLO" + data + struct.pack("<I", len(data)))
    key, cert = tmp_path / "key.pem", tmp_path / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Velto Test Signing", "-keyout", str(key), "-out", str(cert)],
                   check=True, capture_output=True)
    signed = copy_installer(tmp_path / "signed")
    signed.unlink()
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key),
                    "-in", str(exe), "-out", str(signed)], check=True, capture_output=True)

    result, log = run_and_read_log(wine, log_dir, signed, "--v=2")
    assert "] Tracking data: " + data.decode() + "\n" in log
    assert "] Instantiating settings\n" in log
    # The tracking data reaches the settings of a front end.
    assert "] niuid:" + TRACKING["uuid"] + "\n" in log
    assert "] utm_medium:e2e\n" in log
    assert "] defbr:true\n" in log
    # Nothing in this build installs yet.
    assert result.returncode == 1


def test_corrupted_payload_creates_no_settings(wine, log_dir, tmp_path):
    exe = copy_installer(tmp_path / "corrupted")
    image = bytearray(exe.read_bytes())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    # The security directory of a PE32+ image names a table past the file end.
    struct.pack_into("<II", image, pe + 168, len(image) + 4096, 512)
    exe.write_bytes(bytes(image))

    result, log = run_and_read_log(wine, log_dir, exe, "--v=2")
    assert "] Security directory is located past the image file length\n" in log
    assert "] Corrupted payload\n" in log
    assert "Instantiating settings" not in log
    assert result.returncode == 1
