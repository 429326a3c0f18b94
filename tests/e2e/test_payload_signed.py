"""Payloads in executables signed by a real signing tool: the fixtures need
openssl and osslsigncode on the host, so they are made here and handed to the
payload reader's unit test under Wine."""

import shutil
import subprocess
import sys

import pytest

from conftest import BIN, TOP

FIXTURES = TOP / "tests" / "fixtures" / "make_payload_fixtures.py"

pytestmark = pytest.mark.skipif(
    not (shutil.which("openssl") and shutil.which("osslsigncode")),
    reason="needs openssl and osslsigncode")


@pytest.fixture(scope="module")
def signed_fixtures(tmp_path_factory, installer_exe):
    folder = tmp_path_factory.mktemp("signed_payloads")
    subprocess.run([sys.executable, str(FIXTURES), str(installer_exe), str(folder)], check=True)
    return folder


@pytest.mark.parametrize("name", ["signed.exe", "signed_package_inside.exe",
                                  "signed_tracking_inside.exe"])
def test_block_before_the_table_stays_inside_the_signature(signed_fixtures, name):
    result = subprocess.run(["osslsigncode", "verify", "-CAfile",
                             str(signed_fixtures / "signing_cert.pem"),
                             "-in", str(signed_fixtures / name)], capture_output=True)
    assert result.returncode == 0, result.stdout.decode(errors="replace")


def test_reader_classifies_signed_files(wine, signed_fixtures):
    tests = BIN / "core_unittests.exe"
    assert tests.exists(), "build the project first"
    wine.env["VELTO_SIGNED_PAYLOAD_FIXTURES"] = wine.windows_path(signed_fixtures)
    try:
        result = wine.run([tests, "--gtest_filter=PayloadReaderSignedFileTest.*"])
    finally:
        del wine.env["VELTO_SIGNED_PAYLOAD_FIXTURES"]
    output = result.stdout.decode(errors="replace")
    assert result.returncode == 0, output
    assert "[  PASSED  ] 1 test." in output
    assert "SKIPPED" not in output
