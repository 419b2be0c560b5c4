"""A headless LibreOffice with the extension in a fresh profile, run as nobody under root (unopkg refuses root)."""
import contextlib
import os
import shutil
import signal
import socket
import sys
import subprocess
import tempfile
import time

SERVICE = "org.numerolith.NMLCorrelation.clsCorrelation"


class OfficeSession:
    def __init__(self, oxt, timings=False):
        self.oxt = os.path.abspath(oxt)
        self.timings = timings
        self.proc = self.tmp = self.ctx = self.desktop = self.log_path = None

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        # A test run that is stopped (ctest's timeout) still shuts the office down.
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
        self.tmp = tempfile.mkdtemp(prefix="nml-calc-")
        os.chmod(self.tmp, 0o755)
        home = os.path.join(self.tmp, "home")
        profile = os.path.join(self.tmp, "profile")
        os.makedirs(home)
        os.makedirs(profile)
        oxt = os.path.join(self.tmp, "nmlcorrelation.oxt")
        shutil.copy(self.oxt, oxt)
        as_user = ["runuser", "-u", "nobody", "--"] if os.geteuid() == 0 else []
        if as_user:
            for d in (self.tmp, home, profile, oxt):
                shutil.chown(d, "nobody")
        self.profile_url = "file://" + profile
        env = dict(os.environ, HOME=home)
        subprocess.run(as_user + ["env", "HOME=" + home, "unopkg", "add", "-s",
                                  "-env:UserInstallation=" + self.profile_url, oxt],
                       check=True, env=env, cwd=self.tmp, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=120)
        with socket.socket() as s:  # a free port on the loopback interface
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        self.log_path = os.path.join(self.tmp, "soffice.log")
        argv = ["env", "HOME=" + home] + (["NMLCORR_TIMINGS=1"] if self.timings else []) + [
            "soffice", "--headless", "--invisible", "--norestore", "--nologo", "--nodefault",
            "-env:UserInstallation=" + self.profile_url,
            "--accept=socket,host=127.0.0.1,port=%d;urp;StarOffice.ComponentContext" % port]
        if os.environ.get("NML_OFFICE_DISPLAY"):  # with a display: show the office (dialog trials)
            argv = [a for a in argv if a not in ("--headless", "--invisible")]
        with open(self.log_path, "w") as log:
            os.chmod(self.log_path, 0o666)
            self.proc = subprocess.Popen(as_user + argv, env=env, cwd=self.tmp, stdout=log, stderr=log,
                                         start_new_session=True)
        # The client needs the extension's types: point it at the same profile.
        os.environ["UserInstallation"] = self.profile_url
        import uno  # noqa: E402  (after UserInstallation is set)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        url = "uno:socket,host=127.0.0.1,port=%d;urp;StarOffice.ComponentContext" % port
        deadline = time.monotonic() + 60
        while True:
            try:
                self.ctx = resolver.resolve(url)
                break
            except Exception:
                if self.proc.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("LibreOffice did not start; see " + self.log_path)
                time.sleep(0.2)
        self.desktop = self.ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", self.ctx)

    def stop(self):
        if self.desktop is not None:
            with contextlib.suppress(Exception):  # the bridge goes down with the office
                self.desktop.terminate()
            self.desktop = None
        if self.proc is not None:
            with contextlib.suppress(subprocess.TimeoutExpired):
                self.proc.wait(timeout=20)
            with contextlib.suppress(ProcessLookupError, PermissionError):  # soffice.bin and what else it started
                os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()
            self.proc = None
        if self.tmp and not os.environ.get("NML_KEEP_PROFILE"):
            shutil.rmtree(self.tmp, ignore_errors=True)
            self.tmp = None

    @staticmethod
    def props(**kw):
        from com.sun.star.beans import PropertyValue
        return tuple(PropertyValue(k, 0, v, 0) for k, v in kw.items())

    def new_calc(self, hidden=True):
        return self.desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, self.props(Hidden=hidden))

    def create_service(self, doc):
        return self.ctx.ServiceManager.createInstanceWithArgumentsAndContext(SERVICE, (doc,), self.ctx)


def load_csv(doc, sheet_name, path):
    """Fills the named sheet from a CSV of quoted names and texts and unquoted numbers, in one block."""
    import csv
    with open(path, newline="") as f:
        data = tuple(tuple(r) for r in csv.reader(f, quoting=csv.QUOTE_NONNUMERIC))
    sheet = doc.Sheets.getByName(sheet_name)
    sheet.getCellRangeByPosition(0, 0, len(data[0]) - 1, len(data) - 1).setDataArray(data)
    return list(data[0]), len(data)
