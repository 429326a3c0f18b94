"""The product's package fetcher end to end: the fetch probe (a program that
drives PackageFetcher as a front end would) against the local package server,
with the package executables of tests/fixtures/package_builder."""

import hashlib
import json
import os
import pathlib
import subprocess
import sys

import pytest

from conftest import BUILD, BIN, TOP

sys.path.insert(0, str(TOP / "tests" / "fixtures"))
from package_server import PackageServer  # noqa: E402

DELIVERY = BUILD / "fixtures" / "delivery"
PACKAGE = BUILD / "fixtures" / "package-1"
PROBE = BUILD / "bin" / "package_fetch_probe.exe"
SIGNED_PROBE = DELIVERY / "package_fetch_probe_signed.exe"
ADDRESS = "/netinstaller/quenn/windows/x64/"
PACKAGE_ROUTE = "/files/velto_package.exe"


def sha256(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()


def tree(root, extra=None):
    """{relative Windows path: (size, sha256)} of every file under |root|."""
    files = {}
    for path in sorted(root.rglob("*")):
        if path.is_file():
            data = path.read_bytes()
            name = str(path.relative_to(root)).replace("/", "\\")
            files[name] = (len(data), hashlib.sha256(data).hexdigest())
    files.update(extra or {})
    return files


class Fetch:
    def __init__(self, completed):
        self.returncode = completed.returncode
        self.output = completed.stdout.decode(errors="replace")
        self.statuses = []
        self.result = None
        self.stats = None
        self.files = {}
        for line in self.output.splitlines():
            kind, _, rest = line.partition(" ")
            if kind == "status":
                self.statuses.append(int(rest))
            elif kind == "result":
                self.result = rest
            elif kind == "stats":
                self.stats = json.loads(rest)
            elif kind == "file":
                name, size, digest = rest.rsplit(" ", 2)
                self.files[name] = (int(size), digest)

    def fetch_stats(self, index=0):
        return self.stats["fetches"][index]


@pytest.fixture
def run_probe(wine, tmp_path):
    runs = tmp_path / "stub_runs.txt"

    def run(*switches, probe=PROBE, server=None, address=ADDRESS):
        download = tmp_path / "download"
        download.mkdir(exist_ok=True)
        args = [probe, "--download-folder=" + wine.windows_path(download),
                "--retry-delay-ms=50"]
        if server:
            args.append("--internal-package-server=" + server.url(address))
        args += list(switches)
        env = dict(wine.env)
        env["VELTO_STUB_RUN_LOG"] = wine.windows_path(runs)
        completed = subprocess.run(["wine"] + [str(a) for a in args], env=env,
                                   capture_output=True, timeout=300)
        fetch = Fetch(completed)
        # The fetcher leaves nothing behind.
        assert list(download.iterdir()) == [], fetch.output
        fetch.stub_runs = runs.read_text() if runs.exists() else ""
        return fetch

    return run


def package_routes(package, checksum=None, cut_after=None, reply_extra=None, minimal=False):
    whole = {"file": str(package)}
    answers = [dict(whole, cut_after=cut_after), whole] if cut_after else whole
    reply = {"installer": "{base}" + PACKAGE_ROUTE,
             "installer_checksum": checksum or "{sha256:%s}" % PACKAGE_ROUTE}
    if minimal:
        reply["minimal_installer"] = reply.pop("installer")
        reply["minimal_installer_checksum"] = reply.pop("installer_checksum")
        reply["installer"] = "{base}/files/not_this_one.exe"
        reply["installer_checksum"] = "0" * 64
    reply.update(reply_extra or {})
    return {"routes": {ADDRESS: {"json": reply}, PACKAGE_ROUTE: answers}}


def unpacked(package_file, list_extra=b""):
    """What the package folder holds after a fetch of |package_file|."""
    files_list = (PACKAGE / "files_list").read_bytes() + list_extra
    extra = {"files_list": (len(files_list), hashlib.sha256(files_list).hexdigest())}
    if package_file:
        extra["velto_package.exe"] = (package_file.stat().st_size, sha256(package_file))
    return tree(PACKAGE, extra)


def test_fetch_resumes_once_checks_and_unpacks_byte_for_byte(run_probe):
    package = DELIVERY / "velto_package.exe"
    with PackageServer(package_routes(package, cut_after=300000)) as server:
        fetch = run_probe(probe=SIGNED_PROBE, server=server)
        requests = server.requests()
    assert fetch.returncode == 0, fetch.output
    assert fetch.statuses == [0, 1, 2, 3, 5]
    # The address request, the package cut after 300000 bytes, and one Range
    # request for the rest, in that order.
    assert [(r["method"], r["target"]) for r in requests] == [
        ("GET", ADDRESS), ("GET", PACKAGE_ROUTE), ("GET", PACKAGE_ROUTE)]
    ranges = [dict(r["headers"]).get("Range") for r in requests]
    assert ranges == [None, None, "bytes=300000-"]
    assert requests[1]["cut"] == 300000
    assert fetch.files == unpacked(package)
    stats = fetch.fetch_stats()
    assert stats["result"] == "package_ready"
    assert stats["download_url"] == server.url(PACKAGE_ROUTE)
    assert len(stats["download_chunks"]) == 1
    assert "--internal-version" in fetch.stub_runs and "--stream" in fetch.stub_runs


def test_dripping_server_stalls_each_reply_and_each_try_gives_up(run_probe):
    """A server that sends one byte every 50 ms, each far inside the time-out:
    a reply that brings less than 1 KiB within the stall window (1 s here)
    has stalled and is resumed from the byte reached; each try's download
    gives up once its run of retries has had its time (601 retry delays of
    50 ms), and the fetcher's own tries follow."""
    package = DELIVERY / "velto_package.exe"
    routes = package_routes(package)
    routes["routes"][PACKAGE_ROUTE] = {"file": str(package), "trickle": [1, 50]}
    with PackageServer(routes) as server:
        fetch = run_probe("--stall-window-ms=1000", "--retries=1", server=server)
        requests = server.requests()
    assert fetch.returncode == 1, fetch.output
    assert fetch.result == "download_failed"
    assert len(fetch.stats["fetches"]) == 2
    for index in range(2):
        reason = fetch.fetch_stats(index)["failure_reason"]
        assert "Time for retries exceeded after " in reason, reason
        assert reason.endswith("last error: 12002\n"), reason
    # Each try: the address, then the package from its first byte and again
    # from each byte reached.
    tries = [[]]
    for request in requests:
        if request["target"] == ADDRESS and tries[-1]:
            tries.append([])
        tries[-1].append(request)
    assert len(tries) == 2
    for attempt in tries:
        assert [r["target"] for r in attempt[:2]] == [ADDRESS, PACKAGE_ROUTE]
        offsets = [int(dict(r["headers"]).get("Range", "bytes=0-")[6:-1]) for r in attempt[1:]]
        assert offsets[0] == 0 and len(offsets) > 3, offsets
        assert offsets == sorted(set(offsets)), offsets


def test_checksum_mismatch_fails_with_details_and_runs_nothing(run_probe):
    package = DELIVERY / "velto_package.exe"
    with PackageServer(package_routes(package, checksum="f" * 64)) as server:
        fetch = run_probe(probe=SIGNED_PROBE, server=server)
    assert fetch.returncode == 1
    assert fetch.statuses == [0, 1, 2, 7]
    stats = fetch.fetch_stats()
    assert stats["failure_reason"] == "Checksum incorrect for the downloaded package"
    assert stats["error_details"]["detail"] == "Checksum mismatch"
    assert stats["error_details"]["actual_checksum"] == sha256(package)
    assert stats["error_details"]["file_length"] == package.stat().st_size
    assert "signature_check_error" not in stats and "internal_version" not in stats
    assert fetch.stub_runs == ""


def test_package_of_another_signer_is_refused(run_probe):
    package = DELIVERY / "velto_package_other_signer.exe"
    with PackageServer(package_routes(package)) as server:
        fetch = run_probe(probe=SIGNED_PROBE, server=server)
    assert fetch.statuses == [0, 1, 2, 7]
    stats = fetch.fetch_stats()
    assert stats["failure_reason"] == "Signature incorrect for the downloaded package"
    assert "Other Publisher Ltd" in stats["signature_check_error"]
    assert fetch.stub_runs == ""


def test_unsigned_installer_takes_an_unsigned_package(run_probe):
    package = DELIVERY / "velto_package_unsigned.exe"
    with PackageServer(package_routes(package)) as server:
        fetch = run_probe(server=server)
    assert fetch.returncode == 0, fetch.output
    assert fetch.files == unpacked(package)


@pytest.mark.parametrize("name, stream", [("velto_package_old.exe", None),
                                          ("velto_package_other_stream.exe", "fennick"),
                                          ("velto_package_silent.exe", None)])
def test_older_or_foreign_package_is_refused(run_probe, name, stream):
    with PackageServer(package_routes(DELIVERY / name)) as server:
        fetch = run_probe(probe=SIGNED_PROBE, server=server)
    assert fetch.statuses == [0, 1, 2, 7]
    stats = fetch.fetch_stats()
    assert stats["failure_reason"] == "Downloaded package failed version check"
    assert stats.get("stream") == stream


def test_sfx_mode_checks_the_unpacked_installer_instead(run_probe):
    # The package itself answers nothing: in this mode only the installer it
    # holds is asked.
    package = DELIVERY / "velto_package_silent.exe"
    with PackageServer(package_routes(package)) as server:
        fetch = run_probe("--with-feature:installer-download-sfx-package=on",
                          probe=SIGNED_PROBE, server=server)
    assert fetch.returncode == 0, fetch.output
    assert fetch.stub_runs == ""
    assert fetch.fetch_stats()["internal_version"] == "2631.23"
    # The package is the archive itself, kept as the package file.
    assert fetch.files == unpacked(package)


def test_minimal_mode_fetches_the_localization_it_needs(run_probe):
    package = DELIVERY / "velto_package.exe"
    resource = b"fr localization of the fixture\n"
    resource_path = DELIVERY.parent / "fr_fixture.pak"
    resource_path.write_bytes(resource)
    component = {"type": "downloadable_resource", "location": "{base}/files/fr.pak",
                 "checksum": hashlib.sha256(resource).hexdigest(), "archive": 0,
                 "filename": "localization/fr.pak"}
    config = package_routes(package, minimal=True, reply_extra={"components": [component]})
    config["routes"]["/files/fr.pak"] = {"file": str(resource_path)}
    with PackageServer(config) as server:
        fetch = run_probe("--minimal", "--language=fr", probe=SIGNED_PROBE, server=server)
        targets = [r["target"] for r in server.requests()]
    assert fetch.returncode == 0, fetch.output
    assert fetch.statuses == [0, 1, 2, 3, 4, 5]
    assert targets == [ADDRESS + "?additional_files='localization/fr.pak'", PACKAGE_ROUTE,
                       "/files/fr.pak"]
    expected = unpacked(package, b"localization/fr.pak\r\n\r\n")
    expected["localization\\fr.pak"] = (len(resource), hashlib.sha256(resource).hexdigest())
    assert fetch.files == expected


def test_language_changed_once_the_minimal_package_is_ready_gives_a_package_that_installs(
        run_probe, wine, tmp_path):
    """The wizard changes the language after the minimal package was ready: the
    package is fetched again with the new language's localization, and an
    install from it succeeds."""
    package = DELIVERY / "velto_package.exe"
    config = package_routes(package, minimal=True)
    routes = config["routes"]
    reply = routes.pop(ADDRESS)["json"]
    for language in ("fr", "es"):
        resource = ("%s localization of the fixture\n" % language).encode()
        resource_path = tmp_path / ("%s.pak" % language)
        resource_path.write_bytes(resource)
        name = "localization/%s.pak" % language
        routes[ADDRESS + "?additional_files='%s'" % name] = {"json": dict(reply, components=[{
            "type": "downloadable_resource", "location": "{base}/files/%s.pak" % language,
            "checksum": hashlib.sha256(resource).hexdigest(), "archive": 0,
            "filename": name}])}
        routes["/files/%s.pak" % language] = {"file": str(resource_path)}
    copy = tmp_path / "package"
    with PackageServer(config) as server:
        fetch = run_probe("--minimal", "--language=fr", "--then-language=es",
                          "--copy-package-to=" + wine.windows_path(copy),
                          probe=SIGNED_PROBE, server=server)
    assert fetch.returncode == 0, fetch.output
    assert fetch.statuses == [0, 1, 2, 3, 4, 5] * 2
    assert (copy / "files_list").read_bytes() == (
        (PACKAGE / "files_list").read_bytes() + b"localization/es.pak\r\n\r\n")

    install = tmp_path / "Velto"
    with PackageServer({"routes": {"/api/prefs/": {"json": {}}}}) as server:
        result = wine.run([copy / "installer.exe", "--silent", "--enable-installer-stats=0",
                           "--launchvelto=0", "--installfolder=" + wine.windows_path(install),
                           "--local-pref-default-overrides-server=" + server.url("/api/prefs/")],
                          timeout=300)
    assert result.returncode == 0
    status = json.loads((install / "installation_status.json").read_text(encoding="utf-8"))
    # Under Wine that install runs elevated from a folder of the user: it
    # installs what it unpacks from the package file, not the resource the
    # user's fetch put beside it (whose checksum only that fetch saw).
    installed = install / status["_subfolder"] / "localization" / "es.pak"
    assert not installed.exists()
    assert (install / status["_subfolder"] / "localization" / "en-US.pak").is_file()


def test_full_package_payload_is_unpacked_the_same_way(run_probe, wine):
    carrier = DELIVERY / "velto_installer_full.exe"
    fetch = run_probe("--payload-from=" + wine.windows_path(carrier))
    assert fetch.returncode == 0, fetch.output
    assert fetch.statuses == [0, 3, 5]
    # The installer that carries the package stays beside it as its package
    # file, as a downloaded package does.
    assert fetch.files == unpacked(carrier)
