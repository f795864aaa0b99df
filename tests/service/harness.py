"""Starting `ksmain serve` for the service and page tests: demo databases in a scratch
folder, the service on an ephemeral loopback port, requests over plain HTTP."""
import http.client
import json
import os
import select
import signal
import subprocess
import tempfile


def make_demo(tool, folder):
    """Both demo databases in `folder`, as a deployment's data folder holds them."""
    for kind, name in (("portfolio", "portfolio.db"), ("catalogue", "veldaSQL.db")):
        subprocess.run([tool, "init", kind, os.path.join(folder, name), "--demo"], check=True,
                       stdout=subprocess.DEVNULL)


class Service:
    def __init__(self, tool, data, token=None, config=None):
        self.token = token
        args = [tool, "serve", "--listen", "127.0.0.1:0", "--data", data]
        if token:
            args += ["--token", token]
        if config is not None:
            self.config_file = tempfile.NamedTemporaryFile("w", suffix=".json", delete=False)
            json.dump(config, self.config_file)
            self.config_file.close()
            args += ["--config", self.config_file.name]
        self.process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 30)
        line = self.process.stdout.readline() if ready else ""
        if not line.startswith("listening on http://"):
            self.process.kill()
            raise RuntimeError("ksmain serve did not start: " + line + self.process.stderr.read())
        self.url = line.split()[2]
        self.port = int(self.url.rstrip("/").rsplit(":", 1)[1])

    def connection(self):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)

    def post(self, body, headers=None, connection=None):
        """POSTs to /call; returns (status, response text)."""
        if not isinstance(body, (str, bytes)):
            body = json.dumps(body)
        h = {"Content-Type": "application/json"}
        if self.token:
            h["Authorization"] = "Bearer " + self.token
        h.update(headers or {})
        c = connection or self.connection()
        c.request("POST", "/call", body=body, headers=h)
        r = c.getresponse()
        text = r.read().decode()
        if connection is None:
            c.close()
        return r.status, text

    def call(self, request, connection=None):
        """The results of a request that must succeed, over `connection` when kept alive."""
        status, text = self.post(request, connection=connection)
        if status != 200:
            raise AssertionError(f"HTTP {status}: {text}")
        return json.loads(text)["results"]

    def get(self, path, headers=None):
        c = self.connection()
        c.request("GET", path, headers=headers or {})
        r = c.getresponse()
        text = r.read().decode()
        c.close()
        return r.status, text

    def stop(self, timeout=30):
        """SIGTERM, then the exit status (None if it did not end in time)."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None
        self.process.stdout.close()
        self.process.stderr.close()
        return code


def kestrel(member, *args):
    return {"object": "KsMain.Kestrel", "calls": [{"member": member, "args": list(args)}]}
