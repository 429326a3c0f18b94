"""Where installer.exe looks for DLLs. It is run from folders that web pages
and other programs write to (the browser's downloads), and the elevated copy
of an all-users install runs from the same folder: a DLL placed beside it
under the name of a DLL the installer uses must never be loaded.

Wine is told to prefer such a DLL to its own, for installer.exe alone
(native, then builtin: the load order Windows gives every DLL that is not a
known DLL). A name whose file in the system folder is one of Wine's builtins
is then still loaded from there when the search reaches no other file. The
control run of a program that does not limit its search shows that each
planted DLL would be loaded from the installer's folder if the search
allowed it."""

import re
import shutil
import subprocess

import pytest

from conftest import BIN, BUILD, TOP, copy_installer
from gui import run_and_cancel

PLANTED_DLL = BUILD / "fixtures" / "planted_dll" / "planted.dll"
LOAD_PROBE = BUILD / "fixtures" / "planted_dll" / "dll_load_probe.exe"
PACKAGE = BUILD / "fixtures" / "package-1"

# Loaded by the system from its own folder before any code of the installer
# runs: known DLLs of Windows, which no search reaches. Wine has no known DLLs:
# a planted copy of one of these is loaded there by every program of the
# folder, whatever the program does, so they are not planted.
LOADED_BEFORE_ANY_CODE = {"kernel32.dll", "ntdll.dll", "msvcrt.dll"}

# Loaded in the installer's process by system DLLs it uses: the Windows
# imaging codecs, which GDI+ loads for the installer's images.
LOADED_BY_SYSTEM_DLLS = {"windowscodecs.dll"}

# Wine's own DLLs resolve their delay imports by bare name, with a search that
# ignores the limit a program sets (SetDefaultDllDirectories): once the window
# draws, its uxtheme takes msimg32 and its gdiplus takes windowscodecs from
# the executable's folder, where Windows, which applies the limit to every
# load of the process, takes them from the system folder. Under Wine these two
# are not planted where the window is shown.
DELAY_LOADED_BY_WINES_OWN_DLLS = {"msimg32.dll", "windowscodecs.dll"}

OVERRIDES_KEY = "HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\installer.exe\\DllOverrides"


def imported_names(binary):
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(binary)],
                          capture_output=True, text=True, check=True).stdout
    return {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}


def delay_loaded_names():
    """The DLLs the library imports through delay-import libraries."""
    text = (TOP / "CMakeLists.txt").read_text(encoding="utf-8")
    listed = re.search(r"set\(VELTO_DELAY_LOADED ([^)]*)\)", text)
    assert listed, "the delay-loaded DLLs are no longer listed in CMakeLists.txt"
    return {name.lower() + ".dll" for name in listed.group(1).split()}


def loaded_at_run_time():
    """The DLLs the product's sources load by name at run time."""
    names = set()
    folders = ["base", "crash", "crash_reporting", "crypto", "desktop", "net", "prefs",
               "product_config", "features", "installer_exe"]
    for folder in folders:
        for source in (TOP / folder).rglob("*.cc"):
            if source.name.endswith("_unittest.cc") or "test" in source.parent.name:
                continue
            text = source.read_text(encoding="utf-8", errors="replace")
            for name in re.findall(r"(?:LoadSystemLibrary|LoadLibrary\w*)\(\s*L?\"([^\"]+)\"",
                                   text):
                names.add(name.lower() if "." in name else name.lower() + ".dll")
    return names


@pytest.fixture(scope="module")
def planted_names():
    names = (imported_names(BIN / "installer.exe") | imported_names(BIN / "installer_lib.dll") |
             delay_loaded_names() | loaded_at_run_time() | LOADED_BY_SYSTEM_DLLS |
             {"_vlautolib.pyd"})
    names -= LOADED_BEFORE_ANY_CODE | {"installer_lib.dll"}
    # The names the issue of planted DLLs is about are all among them.
    assert {"winhttp.dll", "wininet.dll", "wintrust.dll", "crypt32.dll", "bcrypt.dll",
            "dbghelp.dll", "msftedit.dll", "comctl32.dll", "user32.dll",
            "shell32.dll"} <= names, names
    return sorted(names)


@pytest.fixture
def prefer_planted(wine, planted_names, tmp_path):
    """Native before builtin for every planted name, for installer.exe alone."""
    reg = tmp_path / "overrides.reg"
    lines = ["REGEDIT4", "", "[%s]" % OVERRIDES_KEY]
    lines += ['"%s"="native,builtin"' % name.rsplit(".", 1)[0] for name in planted_names
              if name.endswith(".dll")]
    reg.write_text("\r\n".join(lines) + "\r\n", encoding="ascii")
    result = wine.run(["regedit", "/S", wine.windows_path(reg)])
    assert result.returncode == 0, result.stderr
    yield
    wine.run(["reg", "delete", OVERRIDES_KEY.rsplit("\\", 1)[0], "/f"])


def plant(folder, names):
    for name in names:
        shutil.copy(PLANTED_DLL, folder / name)


def markers(folder):
    return sorted(p.name for p in folder.rglob("*.loaded"))


def test_installer_imports_only_what_the_system_loads_from_its_own_folder():
    """installer.exe's own imports are loaded before any of its code can limit
    the search."""
    assert imported_names(BIN / "installer.exe") <= LOADED_BEFORE_ANY_CODE


def test_each_planted_dll_would_be_loaded_from_the_installers_folder(
        wine, prefer_planted, planted_names, tmp_path):
    folder = tmp_path / "control"
    folder.mkdir()
    probe = folder / "installer.exe"
    shutil.copy(LOAD_PROBE, probe)
    plant(folder, planted_names)
    result = wine.run([probe] + planted_names)
    assert result.returncode == 0, result.stderr
    assert markers(folder) == sorted(name + ".loaded" for name in planted_names), (
        result.stdout.decode(errors="replace"))


def test_version_loads_nothing_planted(wine, prefer_planted, planted_names, tmp_path):
    installer = copy_installer(tmp_path / "Downloads")
    plant(installer.parent, planted_names)
    result = wine.run([installer, "--version"])
    assert markers(installer.parent) == []
    assert (result.returncode, result.stdout) == (0, b"47.0.2631.23"), result.stderr


def test_wizard_loads_nothing_planted(wine, prefer_planted, planted_names, log_dir, tmp_path):
    """The window's DLLs (common controls, themes, GDI+, rich edit, ...) are
    loaded on first use, long after the start."""
    installer = copy_installer(tmp_path / "Velto")
    (installer.parent / "velto.exe").write_bytes(b"MZ")
    plant(installer.parent, set(planted_names) - DELAY_LOADED_BY_WINES_OWN_DLLS)
    code, log = run_and_cancel(wine, log_dir, installer, "--uninstall",
                               "--enable-installer-stats=0")
    assert markers(installer.parent) == []
    assert code == 1, log


def test_silent_install_loads_nothing_planted(wine, prefer_planted, planted_names, package_server,
                                              tmp_path):
    """The front end, its back end and the crash reporter all run from the
    package folder, beside the planted DLLs; the installation takes none of
    them."""
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    package = tmp_path / "package"
    shutil.copytree(PACKAGE, package)
    plant(package, planted_names)
    install = tmp_path / "Velto"
    result = wine.run([package / "installer.exe", "--silent", "--enable-installer-stats=0",
                       "--launchvelto=0", "--installfolder=" + wine.windows_path(install),
                       "--local-pref-default-overrides-server=" +
                       package_server.url("/api/prefs/")], timeout=300)
    assert markers(package) == []
    assert result.returncode == 0, result.stderr
    assert (install / "installation_status.json").is_file()
    assert not [p for p in install.rglob("*") if p.name.lower() in planted_names]


def test_elevated_copy_and_permission_helper_load_nothing_planted(
        wine, prefer_planted, planted_names, tmp_path):
    """The switches the elevated copy and the folder-permission helper are
    started with, run from a folder with the planted DLLs and from one
    without: the same outcome, and no planted DLL loaded."""
    clean = copy_installer(tmp_path / "clean")
    planted = copy_installer(tmp_path / "planted")
    plant(planted.parent, planted_names)
    target = wine.windows_path(tmp_path / "target")
    runs = [
        ["--backend", "--silent", "--run-elevated", "--parent-pid=4", "--allusers=1",
         "--installfolder=" + target, "--enable-installer-stats=0", "--launchvelto=0"],
        ["--set-folder-permission=" + target, "--permissions-for-user=root"],
        ["--set-folder-permission=" + target, "--permissions-for-user=root",
         "--wait-for-package=" + wine.windows_path(tmp_path / "package"), "--initial-pid=4"],
    ]
    for args in runs:
        expected = wine.run([clean] + args)
        result = wine.run([planted] + args)
        assert markers(planted.parent) == [], args
        assert (result.returncode, result.stdout) == (expected.returncode, expected.stdout), args
