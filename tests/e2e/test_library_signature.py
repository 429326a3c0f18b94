"""Which library installer.exe loads. The elevated copy of an all-users
install and the folder-permission helper run installer.exe from a folder its
user can write; the elevation prompt shows the executable's signature, but the
library is a file beside it that could be swapped: for another build of the
library signed the same way, or for any DLL signed with the installer's own
certificate. installer.exe carries the image digest of the library built with
it, the digest an Authenticode signature covers, and loads only a library with
that digest, signed or not, whether or not it is signed itself.

Files are signed here with osslsigncode and the test certificates that the
signature fixtures of the build made. Wine accepts a signature whose root it
does not trust, so a certificate of another name, or another one of the same
name, stands for another signer."""

import re
import shutil
import struct
import subprocess

import pytest

from conftest import BIN, BUILD, sign_file
from gui import report_on_console_and_in_a_box

SIGNATURES = BUILD / "fixtures" / "signatures"
MARKER_DLL = BUILD / "fixtures" / "planted_dll" / "planted.dll"
VERSION = b"47.0.2631.23"
ANOTHER_BUILD = "it is not the library this installer was built with"

pytestmark = pytest.mark.skipif(not shutil.which("osslsigncode"), reason="needs osslsigncode")


def sign(certificate, source, target):
    """Signs |source| into |target| with the fixtures' |certificate|
    ("expected", "other" or "impostor": another certificate of the expected
    name)."""
    sign_file(SIGNATURES / (certificate + "_cert.pem"), SIGNATURES / (certificate + "_key.pem"),
              source, target)


def place(source, signer, target):
    """|source| as |target|, signed by |signer|'s certificate (None: as it
    is)."""
    if signer:
        sign(signer, source, target)
    else:
        shutil.copy(source, target)


def another_build(folder):
    """The built library with the last byte of its code section's data
    changed, in |folder|: to its digest, another build of the library, which
    runs all the same."""
    image = bytearray((BIN / "installer_lib.dll").read_bytes())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    for index in range(sections):
        header = pe + 24 + optional_size + 40 * index
        if image[header:header + 8].rstrip(b"\0") == b".text":
            size, offset = struct.unpack_from("<II", image, header + 16)
            image[offset + size - 1] ^= 0xFF
            break
    else:
        raise AssertionError("no code section")
    path = folder / "another_build.dll"
    path.write_bytes(bytes(image))
    return path


def installer_in(folder, installer_signer, library, library_signer):
    """installer.exe and |library| as installer_lib.dll in |folder|, each
    signed by its signer's certificate (None: unsigned)."""
    folder.mkdir(parents=True, exist_ok=True)
    place(BIN / "installer.exe", installer_signer, folder / "installer.exe")
    place(library, library_signer, folder / "installer_lib.dll")
    return folder / "installer.exe"


def run_version(wine, installer):
    """"--version", unattended: a refusal shows no box. Returns the exit code,
    the standard output and the standard error."""
    result = wine.run([installer, "--version", "--silent"])
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def refusal(folder, reason):
    return ("The installer cannot run: it refused its library %s\\installer_lib.dll: %s"
            % (folder, reason))


def markers(folder):
    return sorted(p.name for p in folder.glob("*.loaded"))


@pytest.mark.parametrize("installer_signer", [None, "expected"])
@pytest.mark.parametrize("library_signer", [None, "expected", "other"])
def test_installer_loads_the_library_of_its_own_build_signed_or_not(
        wine, tmp_path, installer_signer, library_signer):
    installer = installer_in(tmp_path / "Downloads", installer_signer,
                             BIN / "installer_lib.dll", library_signer)
    code, out, err = run_version(wine, installer)
    assert (code, out) == (0, VERSION), err


@pytest.mark.parametrize("installer_signer,library,library_signer", [
    # The library of another build, signed as the installer is.
    ("expected", "another build", "expected"),
    # Any DLL signed with the installer's own certificate.
    ("expected", "marker", "expected"),
    # Another build, unsigned, beside a signed or an unsigned installer.
    ("expected", "another build", None),
    (None, "another build", None),
])
def test_installer_refuses_any_other_library(
        wine, tmp_path, installer_signer, library, library_signer):
    source = another_build(tmp_path) if library == "another build" else MARKER_DLL
    installer = installer_in(tmp_path / "Downloads", installer_signer, source, library_signer)
    code, out, err = run_version(wine, installer)
    assert (code, out) == (1, b""), err
    assert err.startswith(refusal(wine.windows_path(installer.parent), ANOTHER_BUILD)), err
    assert markers(installer.parent) == []


def test_signed_installer_refuses_its_library_changed_after_signing(wine, tmp_path):
    installer = installer_in(tmp_path / "Downloads", "expected", BIN / "installer_lib.dll",
                             "expected")
    library = installer.parent / "installer_lib.dll"
    image = bytearray(library.read_bytes())
    # A byte of the headers' time stamp: the image is no longer the one built.
    image[struct.unpack_from("<I", image, 0x3C)[0] + 8] ^= 0xFF
    library.write_bytes(bytes(image))
    code, out, err = run_version(wine, installer)
    assert (code, out) == (1, b""), err
    assert err.startswith(refusal(wine.windows_path(installer.parent), ANOTHER_BUILD)), err


def test_refused_library_is_shown_in_a_box_to_a_user(wine, tmp_path):
    installer = installer_in(tmp_path / "Downloads", "expected", another_build(tmp_path),
                             "expected")
    text, code = report_on_console_and_in_a_box(wine, [installer, "--version"])
    assert text.startswith(refusal(wine.windows_path(installer.parent), ANOTHER_BUILD)), text
    assert code == 1


def cut_short(installer):
    """|installer| without its signature, which its headers still name: a
    download cut short."""
    image = installer.read_bytes()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    table, size = struct.unpack_from("<II", image, pe + 168)
    assert size and table + size == len(image)
    installer.write_bytes(image[:table])


def test_installer_cut_short_loads_only_the_library_of_its_own_build(wine, tmp_path):
    """Which library loads does not depend on the installer's own signature,
    which a download cut short no longer holds."""
    own = installer_in(tmp_path / "own", "expected", BIN / "installer_lib.dll", "expected")
    other = installer_in(tmp_path / "other", "expected", another_build(tmp_path), "expected")
    for installer in (own, other):
        cut_short(installer)
    code, out, err = run_version(wine, own)
    assert (code, out) == (0, VERSION), err
    code, out, err = run_version(wine, other)
    assert (code, out) == (1, b""), err
    assert err.startswith(refusal(wine.windows_path(other.parent), ANOTHER_BUILD)), err


def test_installer_carries_the_digest_its_library_is_signed_over(tmp_path):
    """The digest in installer.exe is the image digest that osslsigncode signs
    for the library built with it."""
    signed = tmp_path / "installer_lib.dll"
    sign("expected", BIN / "installer_lib.dll", signed)
    report = subprocess.run(["osslsigncode", "verify", "-in", str(signed)],
                            capture_output=True, text=True).stdout
    digest = re.search(r"Calculated message digest\s*:\s*([0-9A-Fa-f]{64})", report)
    assert digest, report
    assert bytes.fromhex(digest.group(1)) in (BIN / "installer.exe").read_bytes()
    assert bytes.fromhex(digest.group(1)) not in (BIN / "installer_lib.dll").read_bytes()
