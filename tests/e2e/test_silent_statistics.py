"""The statistics that silent runs post, as the local statistics server
received them: a successful net install, a failed install, and autoupdate
runs (a successful one posts nothing)."""

import json

from conftest import stats_posts
from test_silent_install import DELIVERY, net_run, package_copy, silent_run, status_of
from test_silent_uninstall import protocol_config

STATS_ON = ("--enable-installer-stats=1", "--local-stats-server")


def the_post(stats_server):
    posts = stats_posts(stats_server)
    assert len(posts) == 1, stats_server.requests()
    return posts[0]


def test_statistics_of_a_successful_net_install(wine, log_dir, package_server, stats_server,
                                                tmp_path):
    package_server.set_config(protocol_config(str(DELIVERY / "velto_package.exe")))
    install = tmp_path / "Velto"
    result, logs = net_run(wine, log_dir, package_server, tmp_path, install, *STATS_ON)
    assert result.returncode == 0, "\n".join(logs)
    post = the_post(stats_server)
    assert post["installation_success"] == 1
    assert post["installation_operation"] == "installing"
    # The Wine user is an administrator: all users by default.
    assert post["installation_mode"] == "all_users"
    assert post["autoupdate"] == 0
    assert "failure_reason" not in post
    assert post["product"] == "Velto" and post["stream"] == "quenn"
    assert post["version"] == status_of(install)["version"]
    assert post["build_arch"] == "X64"
    # The one fetch of the package, and its download summary.
    assert len(post["fetches"]) == 1, post["fetches"]
    assert post["wininet_retries"] >= 1
    assert "--silent" in post["command_line_args"]


def test_statistics_of_a_failed_install(wine, log_dir, package_server, stats_server, tmp_path):
    """The install folder is a file: the settings find no valid operation and
    the runner refuses to start the back end."""
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    install.write_bytes(b"not a folder")
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 1), install,
                              "--allusers=0", *STATS_ON)
    assert result.returncode == 1, "\n".join(logs)
    post = the_post(stats_server)
    assert post["installation_success"] == 0
    assert post["installation_operation"] == "invalid"
    assert post["installation_mode"] == "current_user"
    assert post["autoupdate"] == 0
    assert post["failure_reason"] == "Attempting to start installation with invalid settings"


def test_statistics_of_autoupdate_runs(wine, log_dir, package_server, stats_server, tmp_path):
    """A successful autoupdate sends no statistics; a failed one does, with
    the folder's contents when the operation was not allowed."""
    package_server.set_config({"routes": {"/api/prefs/": {"json": {}}}})
    install = tmp_path / "Velto"
    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 1), install)
    assert result.returncode == 0, "\n".join(logs)

    result, logs = silent_run(wine, log_dir, package_server, package_copy(tmp_path, 2), install,
                              "--autoupdate", *STATS_ON)
    everything = "\n".join(logs)
    assert result.returncode == 0, everything
    assert "Not sending stats" in everything
    assert stats_posts(stats_server) == []
    assert json.loads((install / "installer_prefs.json").read_text(encoding="utf-8"))[
        "autoupdate"] is True

    # An autoupdate of a folder without an installation would install: refused.
    other = tmp_path / "Empty"
    other.mkdir()
    (other / "stray.txt").write_bytes(b"left by someone")
    result, logs = silent_run(wine, log_dir, package_server,
                              package_copy(tmp_path / "again", 2), other, "--autoupdate",
                              *STATS_ON)
    everything = "\n".join(logs)
    assert result.returncode == 1, everything
    assert "Sending stats" in everything
    post = the_post(stats_server)
    assert post["installation_success"] == 0
    assert post["autoupdate"] == 1
    assert post["installation_operation"] == "installing"
    assert post["installation_mode"] == "all_users"
    assert post["failure_reason"], post
    assert "stray.txt" in post["installation_folder_contents"].split("\n")
    assert not (other / "installation_status.json").exists()

