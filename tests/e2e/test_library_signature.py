"""Which library a signed installer.exe loads. The elevated copy of an
all-users install and the folder-permission helper run installer.exe from a
folder its user can write; the elevation prompt shows the executable's
signature, but the library is a file beside it that could be swapped. A signed
installer.exe loads only a library signed with its own certificate; an
unsigned one (development and test builds) loads its library unchecked.

The installer and library are signed here with osslsigncode and the test
certificates that the signature fixtures of the build made. Wine accepts a
signature whose root it does not trust, so a certificate of another name, or
another one of the same name, stands for another signer."""

import shutil
import struct

import pytest

from conftest import BIN, BUILD, sign_file
from gui import report_on_console_and_in_a_box

SIGNATURES = BUILD / "fixtures" / "signatures"
VERSION = b"47.0.2631.23"

pytestmark = pytest.mark.skipif(not shutil.which("osslsigncode"), reason="needs osslsigncode")


def sign(certificate, source, target):
    """Signs |source| into |target| with the fixtures' |certificate|
    ("expected", "other" or "impostor": another certificate of the expected
    name)."""
    sign_file(SIGNATURES / (certificate + "_cert.pem"), SIGNATURES / (certificate + "_key.pem"),
              source, target)


def installer_in(folder, installer_signer, library_signer):
    """installer.exe and installer_lib.dll in |folder|, each signed by its
    signer's certificate (None: unsigned)."""
    folder.mkdir(parents=True)
    for name, signer in (("installer.exe", installer_signer), ("installer_lib.dll", library_signer)):
        if signer:
            sign(signer, BIN / name, folder / name)
        else:
            shutil.copy(BIN / name, folder / name)
    return folder / "installer.exe"


def run_version(wine, installer):
    """"--version", unattended: a refusal shows no box. Returns the exit code,
    the standard output and the standard error."""
    result = wine.run([installer, "--version", "--silent"])
    return result.returncode, result.stdout, result.stderr.decode("utf-8", "replace")


def refusal(folder, reason):
    return ("The installer cannot run: it refused its library %s\\installer_lib.dll: %s"
            % (folder, reason))


def test_signed_installer_runs_with_a_library_of_its_own_signer(wine, tmp_path):
    installer = installer_in(tmp_path / "Downloads", "expected", "expected")
    code, out, err = run_version(wine, installer)
    assert (code, out) == (0, VERSION), err


@pytest.mark.parametrize("library_signer,reason", [
    ("other", "it is signed by another signer than the installer"),
    ("impostor", "it is signed by another signer than the installer"),
    (None, "it carries no valid signature (0x800B0100)"),
])
def test_signed_installer_refuses_a_library_of_another_signer_or_none(
        wine, tmp_path, library_signer, reason):
    installer = installer_in(tmp_path / "Downloads", "expected", library_signer)
    code, out, err = run_version(wine, installer)
    assert (code, out) == (1, b""), err
    assert err.startswith(refusal(wine.windows_path(installer.parent), reason)), err


def test_signed_installer_refuses_a_library_changed_after_signing(wine, tmp_path):
    installer = installer_in(tmp_path / "Downloads", "expected", "expected")
    library = installer.parent / "installer_lib.dll"
    image = bytearray(library.read_bytes())
    # A byte of the code: the image no longer has the digest that was signed.
    image[0x1000] ^= 0xFF
    library.write_bytes(bytes(image))
    code, out, err = run_version(wine, installer)
    assert (code, out) == (1, b""), err
    assert err.startswith(refusal(wine.windows_path(installer.parent),
                                  "it carries no valid signature (0x")), err


def test_unsigned_installer_loads_its_library_unchecked(wine, tmp_path):
    for library_signer in (None, "other"):
        folder = tmp_path / str(library_signer)
        installer = installer_in(folder, None, library_signer)
        code, out, err = run_version(wine, installer)
        assert (code, out) == (0, VERSION), (library_signer, err)


def test_refused_library_is_shown_in_a_box_to_a_user(wine, tmp_path):
    installer = installer_in(tmp_path / "Downloads", "expected", "other")
    text, code = report_on_console_and_in_a_box(wine, [installer, "--version"])
    assert text.startswith(refusal(wine.windows_path(installer.parent),
                                   "it is signed by another signer than the installer")), text
    assert code == 1


def cut_short(installer):
    """|installer| without its signature, which its headers still name: a
    download cut short."""
    image = installer.read_bytes()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    table, size = struct.unpack_from("<II", image, pe + 168)
    assert size and table + size == len(image)
    installer.write_bytes(image[:table])


@pytest.mark.parametrize("library_signer,reason", [
    ("expected", None),
    ("other", "the installer's signature cannot be read, and it is not signed by "
              "Velto Software AS"),
    (None, "it carries no valid signature"),
])
def test_installer_cut_short_needs_a_library_of_the_expected_signer(
        wine, tmp_path, library_signer, reason):
    installer = installer_in(tmp_path / "Downloads", "expected", library_signer)
    cut_short(installer)
    code, out, err = run_version(wine, installer)
    if reason is None:
        assert (code, out) == (0, VERSION), err
    else:
        assert (code, out) == (1, b""), err
        assert err.startswith(refusal(wine.windows_path(installer.parent), reason)), err
