"""The local package server itself: what the installer's tests rely on it for."""

import hashlib
import http.client
import json
import os


def request(server, path, method="GET", body=None, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=30)
    connection.request(method, path, body=body, headers=headers or {})
    response = connection.getresponse()
    try:
        data = response.read()
    except http.client.IncompleteRead as cut:
        data = cut.partial
    connection.close()
    return response.status, dict(response.getheaders()), data


def test_protocol_reply_names_the_package_with_its_checksum(package_server, tmp_path):
    package = tmp_path / "velto_package.exe"
    package.write_bytes(os.urandom(10000))
    from package_server import protocol_config
    package_server.set_config(protocol_config(str(package)))

    status, _, body = request(package_server, "/netinstaller/quenn/windows/x64/", "POST", b"track")
    assert status == 200
    reply = json.loads(body)
    assert reply["installer"] == package_server.url("/package/velto_package.exe")
    assert reply["installer_checksum"] == hashlib.sha256(package.read_bytes()).hexdigest()
    recorded = package_server.requests()[0]
    assert recorded["method"] == "POST" and recorded["body"] == "track"


def test_range_cut_and_wrong_starts(package_server, tmp_path):
    data = os.urandom(5000)
    package = tmp_path / "p"
    package.write_bytes(data)
    package_server.set_config({"routes": {
        "/p": [{"file": str(package), "cut_after": 100}, {"file": str(package)},
               {"file": str(package), "range": "ignore"}, {"file": str(package), "range": 7}],
    }})
    status, headers, body = request(package_server, "/p")
    assert status == 200 and headers["Content-Length"] == "5000" and body == data[:100]
    status, headers, body = request(package_server, "/p", headers={"Range": "bytes=100-"})
    assert status == 206 and headers["Content-Range"] == "bytes 100-4999/5000"
    assert body == data[100:]
    status, _, body = request(package_server, "/p", headers={"Range": "bytes=100-"})
    assert status == 200 and body == data
    status, headers, _ = request(package_server, "/p", headers={"Range": "bytes=100-"})
    assert status == 206 and headers["Content-Range"] == "bytes 107-5006/5000"
    assert [r.get("cut") for r in package_server.requests()] == [100, None, None, None]


def test_statuses_redirects_and_raw_targets(package_server):
    package_server.set_config({"routes": {
        "/busy": [{"status": 503}, {"status": 204}],
        "/moved": {"redirect": "{base}/there"},
    }})
    assert request(package_server, "/busy")[0] == 503
    assert request(package_server, "/busy")[0] == 204
    assert request(package_server, "/busy")[0] == 204
    status, headers, _ = request(package_server, "/moved")
    assert status == 302 and headers["Location"] == package_server.url("/there")
    assert request(package_server, "/missing?sig=a%2Bb%26c")[0] == 404
    assert package_server.requests()[-1]["target"] == "/missing?sig=a%2Bb%26c"
