# The pieces the call benchmarks share: the test PBX on loopback, child
# processes whose output lines are stamped as they arrive, and what the
# kernel counts for a process of our own.
import json
import os
import re
import signal
import subprocess
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PBX = os.path.join(ROOT, "tests", "pbx", "pbx")

# Every process started, so that none outlives the benchmark.
RUNNING = []


def cpu_seconds(pid):
    """User and system time of one process so far, its children not counted;
    still readable while it is a zombie."""
    with open(f"/proc/{pid}/stat") as text:
        fields = text.read().rpartition(")")[2].split()
    # Fields after the command: state, ppid, ..., utime is the 12th, stime the 13th.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_rss_kb(pid):
    """The process's own peak resident memory (VmHWM), 0 once it is gone."""
    try:
        with open(f"/proc/{pid}/status") as text:
            for line in text:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Pbx:
    def __init__(self, work):
        self.dir = os.path.join(work, "pbx")
        out = subprocess.run([PBX, "start", self.dir, str(os.getpid())], check=True, capture_output=True,
                             text=True).stdout
        self.udp = int(re.search(r"udp=(\d+)", out).group(1))
        with open(os.path.join(self.dir, "kamailio.pid")) as text:
            self.pid = int(text.read())

    def cpu_seconds(self):
        """User and system time of kamailio and all its worker processes."""
        ticks = 0
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as text:
                    fields = text.read().rpartition(")")[2].split()
            except OSError:
                continue
            # Fields after the command: state, ppid, ..., utime is the 12th, stime the 13th.
            if int(entry) == self.pid or int(fields[1]) == self.pid:
                ticks += int(fields[11]) + int(fields[12])
        return ticks / os.sysconf("SC_CLK_TCK")

    def registered_users(self):
        out = subprocess.run([PBX, "locations", self.dir], capture_output=True, text=True).stdout
        return re.findall(r"AoR: (\S+)", out)

    def stop(self):
        subprocess.run([PBX, "stop", self.dir], capture_output=True)


class Child:
    """A process whose standard output is read as stamped lines, with its
    CPU time and peak memory once it has ended."""

    def __init__(self, arguments, work, name):
        # GNU time as the parent, because the peak memory that wait4 reports
        # for our own child would include this interpreter's, which the child
        # had until it executed the program.
        self.usage_file = os.path.join(work, f"{name}.usage")
        self.started = time.monotonic()
        self.process = subprocess.Popen(["/usr/bin/time", "-f", "%U %S %M", "-o", self.usage_file] + arguments,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1,
                                        start_new_session=True)
        self.lines = []
        self.error = ""
        self.status = None
        self.ended = None
        self.cpu = 0.0
        self.max_rss_kb = 0
        RUNNING.append(self)
        self.line_seen = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.error_reader = threading.Thread(target=self._read_error, daemon=True)
        self.error_reader.start()

    def _read(self):
        for line in self.process.stdout:
            with self.line_seen:
                self.lines.append((time.monotonic(), line.rstrip("\n")))
                self.line_seen.notify_all()
        with self.line_seen:
            self.line_seen.notify_all()

    def _read_error(self):
        self.error = self.process.stderr.read()

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)

    def wait_for_line(self, prefix, limit):
        deadline = time.monotonic() + limit
        with self.line_seen:
            while True:
                if any(text.startswith(prefix) for _, text in self.lines):
                    return True
                left = deadline - time.monotonic()
                if left <= 0 or not self.reader.is_alive():
                    return False
                self.line_seen.wait(left)

    def reap(self, limit):
        deadline = time.monotonic() + limit
        try:
            self.status = self.process.wait(max(deadline - time.monotonic(), 0))
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
            self.status = None
        self.ended = time.monotonic()
        self.reader.join(10)
        self.error_reader.join(10)
        try:
            with open(self.usage_file) as text:
                # A program that died by a signal gets a line about it first.
                user, system, rss = text.read().splitlines()[-1].split()
            self.cpu = float(user) + float(system)
            self.max_rss_kb = int(rss)
        except (OSError, ValueError, IndexError):
            pass

    def events(self):
        parsed = []
        for at, text in self.lines:
            try:
                parsed.append((at, json.loads(text)))
            except ValueError:
                pass
        return parsed


def program_pid(child):
    """The pid of the program a Child runs under GNU time, once it has started."""
    for _ in range(100):
        try:
            with open(f"/proc/{child.process.pid}/task/{child.process.pid}/children") as text:
                pids = text.read().split()
            if pids:
                return int(pids[0])
        except OSError:
            return None
        time.sleep(0.01)
    return None
