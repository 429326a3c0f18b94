"""Crash reporting end to end: installer processes of the test build crash
through the crash trigger; their crash reporter writes the minidump, counts
the crash and uploads it to a local crash collector."""

import copy
import json
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import time

import pytest

from conftest import BIN, BUILD, instrumented_build, wine_env
from gui import run_and_cancel

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "fixtures"))
from crash_collector import (ASSERTION_STREAM, VERSION_STREAM, CrashCollector)  # noqa: E402

CRASH_TEST_EXE = BIN / "crash_test" / "installer.exe"
CRASHED_REPORTER = BIN / "crash_test" / "crashed_reporter_stand_in.exe"
ACCESS_VIOLATION = 0xC0000005
INVALID_PARAMETER = 0xC000000D
PURE_CALL = 0xC0000025
FATAL_APP_EXIT = 0x40000015
ILLEGAL_INSTRUCTION = 0xC000001D
BACKEND_SUCCEEDED = 0
# An install that changes nothing outside its folder but the registry: no
# browser started, no shortcuts, no default-browser change.
QUIET_INSTALL = ("--launchvelto=0", "--desktopshortcut=0", "--startmenushortcut=0",
                 "--quicklaunchshortcut=0", "--pintotaskbar=0", "--setdefaultbrowser=0")
PRODUCT_KEY = r"HKCU\Software\Velto Software"
THROTTLE_VALUE = "Last crash in crash reporter"


def wait_until(predicate, timeout=180):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


class CrashRun:
    """A scratch world for crashing installers: dump folder, user-data folder,
    collector URL, and the part of the reporters' shared log (in the Windows
    temporary folder) written since the test began."""

    def __init__(self, wine, root, collector, temp_dir):
        self.wine = wine
        self.dumps = root / "dumps"
        self.user_data = root / "user_data"
        for folder in (self.dumps, self.user_data):
            folder.mkdir(parents=True)
        self.log = temp_dir / "velto_crashreporter.log"
        self.log_start = self.log.stat().st_size if self.log.exists() else 0
        self.env = wine_env()
        self.env.update({
            "VELTO_CRASH_LOG_DIR": wine.windows_path(self.dumps),
            "VELTO_ALTERNATIVE_CRASH_SERVER_URL": collector.url,
        })

    def run(self, exe, *args, timeout=240):
        """Runs |exe| to its end; returns its full 32-bit exit code (Wine's own
        exit status keeps only the low byte). The command processor waits for
        the program and prints its code; nothing here is quoted, so no path
        may hold a blank."""
        command = "%s %s & echo !errorlevel!" % (self.wine.windows_path(exe), " ".join(args))
        assert " " not in self.wine.windows_path(exe)
        result = subprocess.run(["wine", "cmd", "/v:on", "/c", command], env=self.env,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=timeout)
        return int(result.stdout.strip().splitlines()[-1]) & 0xFFFFFFFF

    def crash(self, point="startup", kind=None, exe=CRASH_TEST_EXE):
        value = point if kind is None else point + ":" + kind
        return self.run(exe, "--backend", "--crash-test=" + value,
                        "--user-data-dir=" + self.wine.windows_path(self.user_data))

    def reporter_log(self):
        if not self.log.exists():
            return ""
        with open(self.log, "rb") as log:
            log.seek(self.log_start)
            return log.read().decode("utf-8", errors="replace")

    def wait_for_log_lines(self, text, count):
        assert wait_until(lambda: self.reporter_log().count(text) >= count), self.reporter_log()

    def counts(self):
        path = self.user_data / "crash_counts.json"
        return json.loads(path.read_text()) if path.exists() else None


def filetime(unix_seconds):
    return int((unix_seconds + 11644473600) * 10**7)


class ThrottleValue:
    """The one-crash throttle value (a REG_QWORD FILETIME) in the prefix's
    HKCU, read and written through .reg files."""

    def __init__(self, wine, folder):
        self.wine = wine
        self.file = folder / "throttle.reg"

    def delete(self):
        self.wine.run(["reg", "delete", PRODUCT_KEY, "/v", THROTTLE_VALUE, "/f"])

    def set(self, value):
        data = ",".join("%02x" % b for b in value.to_bytes(8, "little"))
        self.file.write_text("Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"
                             "\"%s\"=hex(b):%s\r\n" % (
                                 PRODUCT_KEY.replace("HKCU", "HKEY_CURRENT_USER"),
                                 THROTTLE_VALUE, data))
        assert self.wine.run(["reg", "import", self.wine.windows_path(self.file)]).returncode == 0

    def get(self):
        self.wine.run(["reg", "export", PRODUCT_KEY, self.wine.windows_path(self.file), "/y"])
        if not self.file.exists():
            return None
        text = self.file.read_bytes().decode("utf-16")
        match = re.search(r'"%s"=hex\(b\):([0-9a-f,]+)' % THROTTLE_VALUE, text)
        return int.from_bytes(bytes.fromhex(match.group(1).replace(",", "")), "little") \
            if match else None


@pytest.fixture
def throttle(wine, tmp_path):
    """The throttle value, removed before and after the test."""
    value = ThrottleValue(wine, tmp_path)
    value.delete()
    yield value
    value.delete()


@pytest.fixture
def collector():
    with CrashCollector() as server:
        yield server


@pytest.fixture
def crash_run(wine, tmp_path, collector, temp_dir):
    return CrashRun(wine, tmp_path, collector, temp_dir)


def test_installer_crash_is_dumped_uploaded_and_counted(crash_run, collector):
    assert crash_run.crash() == ACCESS_VIOLATION
    uploads = collector.wait_for_uploads(1)
    assert len(uploads) == 1
    upload = uploads[0]
    assert upload.problems == []
    assert upload.gzip
    assert upload.fields["ptype"] == "installer"
    assert upload.fields["prod"] == "VeltoDesktop"
    assert upload.fields["ver"] == "47.0.2631.23"
    assert upload.fields["ReleaseChannel"] == "quenn"
    assert upload.fields["symbols-package"] == "browser-syms"
    # The build stamp's first 8 characters and the build id number's 6 digits.
    assert upload.fields["BuildID"] == "20170712306433"
    assert upload.fields["UBN"] == "882101"
    for key in ("CrashTime", "StartupTime", "mem_physical_total", "process_working_set_size"):
        assert upload.fields[key].isdigit(), key
    assert re.fullmatch(r"velto-crashlog-\d+-1\.dmp", upload.file_name)
    assert upload.minidump.exception_code == ACCESS_VIOLATION
    assert upload.minidump.streams[VERSION_STREAM] == b"47.0.2631.23 882101"
    assert ASSERTION_STREAM not in upload.minidump.streams
    # The dump goes once it was uploaded; the crash is counted.
    crash_run.wait_for_log_lines("Crash reporter done", 1)
    assert list(crash_run.dumps.iterdir()) == []
    assert crash_run.counts() == {"installer": 1}
    assert collector.requests == 1


def test_crash_in_a_window_procedure_of_the_wizard_is_dumped_and_uploaded(
        wine, crash_run, collector, log_dir, package_server, tmp_path):
    # The user closes the wizard and confirms; the main window crashes as it
    # takes that answer, inside the WM_CLOSE that the system sent it: an
    # exception there must not be swallowed on its way back through the
    # system's message dispatch.
    crash_wine = copy.copy(wine)
    crash_wine.env = crash_run.env
    # The switch comes first: the command line travels cut to 252 characters.
    code, front_end_log = run_and_cancel(
        crash_wine, log_dir, CRASH_TEST_EXE, "--crash-test=wizard-click",
        "--enable-installer-stats=0", "--internal-package-server=" + package_server.url("/"),
        "--temp-folder=" + wine.windows_path(tmp_path),
        "--user-data-dir=" + wine.windows_path(crash_run.user_data))
    # A crash in a window procedure ends the process with exit code 1; the
    # dump carries the exception.
    assert code == 1
    uploads = collector.wait_for_uploads(1)
    assert len(uploads) == 1
    upload = uploads[0]
    assert upload.problems == []
    assert upload.fields["ptype"] == "installer"
    assert "--crash-test=wizard-click" in upload.fields["cmdline"]
    assert upload.minidump.exception_code == ACCESS_VIOLATION
    # The cancel never got past the crash.
    assert "] Terminating the UI" not in front_end_log
    crash_run.wait_for_log_lines("Crash reporter done", 1)
    assert list(crash_run.dumps.iterdir()) == []
    assert crash_run.counts() == {"installer": 1}


@pytest.mark.parametrize("kind,code", [
    ("abort", FATAL_APP_EXIT),
    # A pure virtual call ends in std::terminate under this runtime.
    ("purecall", FATAL_APP_EXIT),
    # The scoped-handle verifier's fault (one handle held by two owners) is a
    # fatal error.
    ("double-close", ILLEGAL_INSTRUCTION),
])
def test_crashes_that_are_not_exceptions_end_with_their_code(crash_run, collector, kind, code):
    assert crash_run.crash(kind=kind) == code
    uploads = collector.wait_for_uploads(1)
    assert len(uploads) == 1
    assert uploads[0].problems == []
    assert uploads[0].minidump.exception_code == code


def crash_test_package(folder):
    """The fixture package with the test build's installer and library in
    |folder|, in its package file too: an elevated back end (under Wine every
    one) takes the package from that file and runs its installer."""
    from test_killed_backend import remake_package_file
    shutil.copytree(BUILD / "fixtures" / "package-1", folder)
    for name in ("installer.exe", "installer_lib.dll"):
        shutil.copy(CRASH_TEST_EXE.parent / name, folder / name)
    remake_package_file(folder)
    return folder


def run_backend(crash_run, package, install_folder, *switches, crash_test=None):
    """Runs the package's back end through a stand-in front end for
    |install_folder|; returns the back end's full exit code. |crash_test|
    reaches every process of the run through the environment, the installer
    that the back end starts from the package it took among them."""
    env = dict(crash_run.env)
    if crash_test:
        env["VELTO_CRASH_TEST"] = crash_test
    result = subprocess.run(
        ["wine", CRASH_TEST_EXE.parent / "front_end_stand_in.exe",
         crash_run.wine.windows_path(install_folder),
         crash_run.wine.windows_path(package / "installer.exe"), "--backend",
         "--user-data-dir=" + crash_run.wine.windows_path(crash_run.user_data)] + list(switches),
        env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
        timeout=240)
    return int(result.stdout.strip())


def installed_tree(folder, subfolder=None):
    """Every folder and file under |folder|, by relative name, with the files'
    contents; the version subfolder's name, when given, is written as a
    placeholder."""
    tree = {}
    for path in folder.rglob("*"):
        name = path.relative_to(folder).as_posix()
        if subfolder and (name == subfolder or name.startswith(subfolder + "/")):
            name = "{Subfolder}" + name[len(subfolder):]
        tree[name] = None if path.is_dir() else path.read_bytes()
    return tree


def installed_state(wine, folder):
    """What an install into |folder| made: its files, its status record and
    the values of its uninstall entry, with the folder's path, the version
    subfolder, the uninstall key's name and the time-made app id written as
    placeholders."""
    status = json.loads((folder / "installation_status.json").read_text())
    assert status.pop("app_id").isdigit()
    windows_folder = wine.windows_path(folder)
    keys = [(hive, key["path"]) for hive, hive_keys in status["registry"].items()
            for key in hive_keys]
    uninstall_key = [path for _, path in keys if "\\Uninstall\\" in path]
    assert len(uninstall_key) == 1

    def neutral(text):
        for form, placeholder in ((windows_folder, "{InstallFolder}"),
                                  (uninstall_key[0].rpartition("\\")[2], "{Uninstall}")):
            text = text.replace(form.replace("\\", "\\\\"), placeholder)
            text = text.replace(form, placeholder)
        return text

    files = installed_tree(folder, status["_subfolder"])
    status["_subfolder"] = "{Subfolder}"
    del files["installation_status.json"]
    # The record holds every value written; the uninstall entry, the one key
    # no other install shares, is read back as well.
    hive = [hive for hive, path in keys if path == uninstall_key[0]][0]
    query = wine.run(["reg", "query", hive + "\\" + uninstall_key[0], "/reg:32"])
    assert query.returncode == 0, uninstall_key[0]
    registry = sorted(neutral(line.strip())
                      for line in query.stdout.decode("utf-8", "replace").splitlines()
                      if line.startswith("    "))
    return files, json.loads(neutral(json.dumps(status))), registry


@pytest.fixture
def uninstall_keys(wine):
    """Removes afterwards the uninstall entries that the status records of the
    listed install folders name; every install adds one of its own."""
    folders = []
    yield folders
    for folder in folders:
        status = folder / "installation_status.json"
        if status.exists():
            for hive, keys in json.loads(status.read_text())["registry"].items():
                for key in keys:
                    if "\\Uninstall\\" in key["path"]:
                        wine.run(["reg", "delete", hive + "\\" + key["path"], "/reg:32", "/f"])


def test_backend_crashing_mid_install_is_reported_and_the_next_install_succeeds(
        crash_run, collector, tmp_path, uninstall_keys):
    package = crash_test_package(tmp_path / "package")
    reference = tmp_path / "reference"
    install = tmp_path / "install"
    uninstall_keys.extend([reference, install])
    assert run_backend(crash_run, package, reference, *QUIET_INSTALL) == BACKEND_SUCCEEDED
    expected = installed_state(crash_run.wine, reference)

    # The fourth step copies the third listed file, after the first two. The
    # steps run in the installer that the elevated back end starts from the
    # package it took: that one crashes, and the back end reports the failed
    # run.
    assert run_backend(crash_run, package, install, *QUIET_INSTALL,
                       crash_test="installer-step@4") == 1
    uploads = collector.wait_for_uploads(1)
    assert len(uploads) == 1
    assert uploads[0].problems == []
    assert uploads[0].fields["ptype"] == "installer"
    # The command line travels in chunks that the reporter joins.
    assert "--backend" in uploads[0].fields["cmdline"]
    assert uploads[0].minidump.exception_code == ACCESS_VIOLATION
    crash_run.wait_for_log_lines("Crash reporter done", 1)
    assert list(crash_run.dumps.iterdir()) == []
    assert crash_run.counts() == {"installer": 1}
    # A process that ends in a crash rolls nothing back: the version
    # subfolder with the files copied so far stays, and no status record was
    # written yet.
    version = uploads[0].fields["ver"]
    leftover = installed_tree(install)
    assert leftover == {
        version: None,
        version + "/velto.exe": (package / "velto.exe").read_bytes(),
        version + "/resources": None,
        version + "/resources/default_prefs.json":
            (package / "resources" / "default_prefs.json").read_bytes(),
    }

    # The next install of the package into the folder removes that folder,
    # which no status names, and is the install made without a crash, in the
    # same version subfolder.
    assert run_backend(crash_run, package, install, *QUIET_INSTALL) == BACKEND_SUCCEEDED
    assert json.loads((install / "installation_status.json").read_text())["_subfolder"] == \
        version
    assert not (install / (version + "_0")).exists()
    assert installed_state(crash_run.wine, install) == expected
    assert collector.requests == 1
    assert crash_run.counts() == {"installer": 1}


def test_consent_off_sends_nothing(crash_run, collector):
    (crash_run.user_data / "Local State").write_text(
        json.dumps({"user_experience_metrics": {"reporting_enabled": False}}))
    # Without a reporter the crash still ends the process with its code.
    assert crash_run.crash() == ACCESS_VIOLATION
    assert "Crash reporting is off" in crash_run.reporter_log()
    assert collector.requests == 0
    assert list(crash_run.dumps.iterdir()) == []
    assert crash_run.counts() is None


@pytest.mark.parametrize("mode", ["error", "cut"])
def test_failed_upload_keeps_the_count_and_a_kept_dump(crash_run, collector, mode):
    collector.mode = mode
    crash_run.env["VELTO_CRASH_KEEP_LOGS"] = "yes"
    assert crash_run.crash() == ACCESS_VIOLATION
    assert collector.wait_for_requests(1) == 1
    crash_run.wait_for_log_lines("Crash reporter done", 1)
    assert "not uploaded" in crash_run.reporter_log()
    assert crash_run.counts() == {"installer": 1}
    dumps = list(crash_run.dumps.iterdir())
    assert len(dumps) == 1 and dumps[0].read_bytes()[:4] == b"MDMP"


def test_crashing_reporter_is_not_reported_again_within_three_days(crash_run, collector,
                                                                   throttle):
    # The reporter crashes once its pipe serves; a one-crash reporter takes
    # over, and stays silent a day after the last such report.
    last_report = filetime(time.time() - 86400)
    throttle.set(last_report)
    crash_run.crash(point="reporter")
    crash_run.wait_for_log_lines(" handled", 1)
    assert ": throttled" in crash_run.reporter_log()
    assert collector.requests == 0
    assert throttle.get() == last_report


# Wine's minidumps hold the unwind information of every function of every
# module, so a dump's size follows the number of functions the process
# carries. The instrumented build (no inlining, counting code) gives the
# stand-in half again as many, and its dump (about 517 kB) exceeds the
# one-crash mode's 512000-byte limit: the reporter then rightly sends nothing.
needs_small_dump = pytest.mark.skipif(
    instrumented_build(),
    reason="the instrumented crashed-reporter stand-in's dump is larger than the one-crash "
           "limit under Wine (Wine stores the unwind data of every function); "
           "these cases run on the ordinary build only")


def crash_small_reporter(crash_run, kind="access-violation"):
    """A crash reporter's small stand-in crashes and hands its crash to the
    real installer.exe in the one-crash mode; returns the stand-in's exit
    code once the one-crash reporter is done."""
    code = crash_run.run(CRASHED_REPORTER, crash_run.wine.windows_path(BIN / "installer.exe"),
                         kind)
    crash_run.wait_for_log_lines(" handled", 1)
    return code


def assertion_record(data):
    """Expression, function, file, line and type of a 776-byte assertion record."""
    texts = [data[i * 256:(i + 1) * 256].decode("utf-16-le").split("\0")[0] for i in range(3)]
    return tuple(texts) + struct.unpack_from("<II", data, 768)


@needs_small_dump
@pytest.mark.parametrize("kind,code", [
    ("access-violation", ACCESS_VIOLATION),
    ("invalid-parameter", INVALID_PARAMETER),
    ("pure-call", PURE_CALL),
])
def test_crashed_reporter_is_reported_with_what_it_handed_off(crash_run, collector, throttle,
                                                              temp_dir, kind, code):
    # No report was made before (no stored time): this one goes out, as one
    # plain (not compressed) request, and its time is stored.
    started = filetime(time.time() - 1)
    assert crash_small_reporter(crash_run, kind) == code
    assert ": reporting" in crash_run.reporter_log()
    uploads = collector.wait_for_uploads(1)
    assert len(uploads) == 1
    upload = uploads[0]
    assert upload.problems == []
    assert not upload.gzip
    assert upload.fields["ptype"] == "crash_reporter"
    for key in ("CrashTime", "StartupTime", "mem_physical_total", "process_working_set_size"):
        assert upload.fields[key].isdigit(), key
    assert upload.minidump.exception_code == code
    assert upload.minidump.streams[VERSION_STREAM] == b"47.0.2631.23 882101"
    # Only an invalid parameter carries its assertion record.
    if kind == "invalid-parameter":
        assert assertion_record(upload.minidump.streams[ASSERTION_STREAM]) == (
            "buffer != nullptr", "FillBuffer", "fill_buffer.cc", 42, 1)
    else:
        assert ASSERTION_STREAM not in upload.minidump.streams
    assert wait_until(lambda: (throttle.get() or 0) >= started)
    assert not (temp_dir / upload.file_name).exists()
    assert collector.requests == 1


@needs_small_dump
@pytest.mark.parametrize("stored", ["four days ago", "in the future"])
def test_crashing_reporter_is_reported_after_three_days(crash_run, collector, throttle, stored):
    # A time in the future (a clock set back) counts as no report at all.
    last_report = filetime(time.time() + (-4 if stored == "four days ago" else 30) * 86400)
    throttle.set(last_report)
    started = filetime(time.time() - 1)
    assert crash_small_reporter(crash_run) == ACCESS_VIOLATION
    assert ": reporting" in crash_run.reporter_log()
    assert len(collector.wait_for_uploads(1)) == 1
    assert wait_until(lambda: (throttle.get() or 0) >= started)


@needs_small_dump
@pytest.mark.parametrize("mode", ["error", "cut"])
def test_crashed_reporter_whose_report_fails_stores_no_time(crash_run, collector, throttle,
                                                           mode):
    collector.mode = mode
    last_report = filetime(time.time() - 4 * 86400)
    throttle.set(last_report)
    assert crash_small_reporter(crash_run) == ACCESS_VIOLATION
    assert collector.wait_for_requests(1) == 1
    dump = re.search(r"Crash report (\S+) not uploaded", crash_run.reporter_log()).group(1)
    # The next crashed reporter may report again; no dump is left.
    assert throttle.get() == last_report
    assert not crash_run.wine.unix_path(dump).exists()


def test_shipped_installer_has_no_crash_trigger_and_no_debug_info():
    for name in ("installer.exe", "installer_lib.dll"):
        shipped = (BIN / name).read_bytes()
        assert b"crash-test" not in shipped
        sections = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", str(BIN / name)],
                                  capture_output=True, text=True, check=True).stdout
        assert ".debug_" not in sections
        assert ".gnu_debuglink" in sections
        debug = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", str(BIN / (name + ".debug"))],
                               capture_output=True, text=True, check=True).stdout
        assert ".debug_info" in debug
    assert b"crash-test" in (BIN / "crash_test" / "installer_lib.dll").read_bytes()


def test_shipped_library_exports_the_handle_verifier():
    exports = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(BIN / "installer_lib.dll")],
                             capture_output=True, text=True, check=True).stdout
    assert re.search(r"\]\s+GetHandleVerifier$", exports, re.M)
    assert re.search(r"\]\s+RunInstaller$", exports, re.M)


def test_shipped_installer_ignores_the_trigger(crash_run, collector):
    assert crash_run.crash(exe=BIN / "installer.exe") == 1
    assert collector.requests == 0
