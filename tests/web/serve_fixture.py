"""Starts `quillbar serve` on a free port with private HOME and XDG folders,
and ends it again; shared by the API and the browser tests."""
import os
import re
import subprocess
import tempfile
import time


class Server:
    def __init__(self, quillbar, *options, cwd=None):
        self.home = tempfile.TemporaryDirectory(prefix="qb-web-")
        env = dict(os.environ, HOME=self.home.name)
        for var in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"):
            env[var] = os.path.join(self.home.name, var.lower())
        self.process = subprocess.Popen(
            [quillbar, "serve", "--port", "0", *options], cwd=cwd or os.path.dirname(quillbar),
            env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        line = self.process.stdout.readline()
        found = re.search(r"http://127\.0\.0\.1:(\d+)/", line)
        if not found:
            self.stop()
            raise RuntimeError("quillbar serve did not start: " + line)
        self.port = int(found.group(1))
        self.url = f"http://127.0.0.1:{self.port}"

    def alive(self):
        return self.process.poll() is None

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.home.cleanup()


def wait_for(condition, seconds, step=0.05):
    """The condition's first true value within `seconds`, else None."""
    end = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value or None
        time.sleep(step)
