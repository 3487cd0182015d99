#!/usr/bin/env python3
"""Soak: the program against vdrive for a long time, with faults on a schedule.

Two phases, each with a vdrive and a program of its own:
  direct   the program on vdrive's pseudo-terminal (port map entry);
  network  the program on an rfc2217:// port through ser2net on 127.0.0.1,
           ser2net serving vdrive's pseudo-terminal.
Every EVERY seconds vdrive gets SIGUSR2 and does the next entry of its
--inject list: stray bytes ending in ETX, a second of junk, a hang-up with the
port entry moved to a new pseudo-terminal (direct), three seconds of silence,
a ser2net restart (network; vdrive marks its start and its end, ser2net's
"Ready" again, from which the time to the next answer counts), and between them a
parameter save, so the converter writes the terminal's memory.

At the end of a phase vdrive is stopped (its counts), then the program with
SIGTERM (it saves its memory file), and the memory file is read with
sorvanel-mem dump. Prints:
  - faults the program answered again within LIMIT seconds of their end;
  - the share of vdrive's messages answered outside faults (a fault lasts
    from its start to the program's first answer after it);
  - the last answered memory write of every address, found or not in the
    memory file;
  - the least-squares slope of the program's VmRSS and descriptor count,
    sampled every SAMPLE seconds, per hour.
Exit status 0 when every fault was answered again in time and every write
was found, 1 otherwise, 2 when the run could not be made.

Usage: bench/soak/soak.py [--minutes 10] [--build build] ...  (see --help)
"""

import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class SoakError(Exception):
    pass


def note(text):
    print("== " + text, file=sys.stderr, flush=True)


def read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as handle:
            return handle.read()
    except OSError:
        return ""


def wait_for(condition, seconds, step=0.05):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def stop_process(process, seconds=20.0):
    """SIGTERM, then SIGKILL after 'seconds'; returns the exit status."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(seconds)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


def free_loopback_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def slope_per_hour(samples):
    """Least-squares slope of (seconds, value) pairs, per hour."""
    if len(samples) < 2:
        return float("nan")
    n = len(samples)
    mean_t = sum(t for t, _ in samples) / n
    mean_v = sum(v for _, v in samples) / n
    spread = sum((t - mean_t) ** 2 for t, _ in samples)
    if spread == 0:
        return float("nan")
    return sum((t - mean_t) * (v - mean_v) for t, v in samples) / spread * 3600


class Sampler:
    """VmRSS (kB) and open descriptors of a process, and the load average."""

    def __init__(self, pid):
        self.pid = pid
        self.start = time.monotonic()
        self.rss = []
        self.fds = []
        self.load = []

    def sample(self):
        now = time.monotonic() - self.start
        try:
            with open(f"/proc/{self.pid}/status", encoding="ascii") as status:
                rss = [int(line.split()[1]) for line in status if line.startswith("VmRSS:")]
            fds = len(os.listdir(f"/proc/{self.pid}/fd"))
        except (OSError, ValueError):
            return
        if not rss or rss[0] == 0:
            return  # not yet running the program
        self.rss.append((now, rss[0]))
        self.fds.append((now, fds))
        with open("/proc/loadavg", encoding="ascii") as loadavg:
            self.load.append(float(loadavg.read().split()[0]))


class Phase:
    def __init__(self, args, work, kind):
        self.args = args
        self.kind = kind
        self.folder = os.path.join(work, kind)
        os.makedirs(self.folder)
        self.port_name = "SOAK_" + kind.upper()
        self.vdrive_log = os.path.join(self.folder, "vdrive.log")
        self.program_log = os.path.join(self.folder, "program.log")
        self.settings = os.path.join(self.folder, "sorvanel.ini")
        self.memory = os.path.join(self.folder, "Sorvanel.mem")
        self.vdrive = None
        self.program = None
        self.ser2net = None
        self.ser2net_port = None
        self.ser2net_starts = 0
        self.sampler = None
        self.schedule = []
        self.results = {}

    # The injections, in turn until the phase ends; none in its last LIMIT s.
    def make_schedule(self, seconds):
        if self.kind == "direct":
            cycle = ["hangup", "save", "stray", "junk", "save", "gap"]
        else:
            cycle = ["mark", "save", "stray", "junk", "save", "gap"]
        slots = max(0, int((seconds - self.args.limit) // self.args.every))
        self.schedule = [cycle[i % len(cycle)] for i in range(slots)]

    def start_vdrive(self):
        binary = os.path.join(self.args.build, "vdrive")
        self.vdrive_out = open(self.vdrive_log, "w", encoding="utf-8")
        self.vdrive = subprocess.Popen(
            [binary, "--name", self.port_name, "--stats", "--inject",
             ",".join(",".join(["mark", "end"]) if w == "mark" else w for w in self.schedule)],
            stdout=self.vdrive_out, stderr=subprocess.STDOUT)
        match = wait_for(lambda: re.search(r"^vdrive: port \S+ on (\S+) ", read_text(self.vdrive_log),
                                           re.M), 10)
        if not match:
            raise SoakError("vdrive did not register its port:\n" + read_text(self.vdrive_log))
        self.slave = match.group(1)

    def start_ser2net(self):
        config = os.path.join(self.folder, "ser2net.yaml")
        with open(config, "w", encoding="utf-8") as handle:
            handle.write(f"connection: &soak\n"
                         f"  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,{self.ser2net_port}\n"
                         f"  connector: serialdev,{self.slave},19200n81,local\n"
                         f"  options:\n    chardelay: false\n")
        self.ser2net_starts += 1
        log = os.path.join(self.folder, f"ser2net-{self.ser2net_starts}.log")
        out = open(log, "w", encoding="utf-8")
        self.ser2net = subprocess.Popen(
            ["ser2net", "-n", "-r", "-u", "-c", config,
             "-P", os.path.join(self.folder, "ser2net.pid")],
            stdout=out, stderr=subprocess.STDOUT)
        out.close()
        if not wait_for(lambda: "Ready" in read_text(log), 10):
            raise SoakError("ser2net did not start:\n" + read_text(log))

    def start_program(self):
        lines = []
        if self.kind == "network":
            lines += ["[NetworkPorts]",
                      f"{self.port_name}=rfc2217://127.0.0.1:{self.ser2net_port}"]
        lines += ["[Sorvanel]", f"Port={self.port_name}"]
        with open(self.settings, "w", encoding="utf-8") as handle:
            handle.write("\n".join(lines) + "\n")
        command = [os.path.join(self.args.build, "sorvanel"), "--settings", self.settings,
                   "--memory", self.memory]
        if self.args.capture:
            command += ["--capture", os.path.join(self.folder, "capture.jsonl")]
        environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        self.program_out = open(self.program_log, "w", encoding="utf-8")
        self.program = subprocess.Popen(command, stdout=self.program_out,
                                        stderr=subprocess.STDOUT, env=environment)
        self.sampler = Sampler(self.program.pid)

    def inject(self, index):
        what = self.schedule[index]
        self.vdrive.send_signal(signal.SIGUSR2)
        if what == "save":
            return
        number = sum(1 for w in self.schedule[:index + 1] if w != "save")
        pattern = re.compile(rf"^vdrive: fault {number} {what} at", re.M)
        if not wait_for(lambda: pattern.search(read_text(self.vdrive_log)), 10):
            raise SoakError(f"vdrive did not start fault {number} ({what})")
        if what == "mark":
            # The fault lasts from the mark to its end, ser2net's "Ready" again.
            stop_process(self.ser2net, 10)
            self.start_ser2net()
            self.vdrive.send_signal(signal.SIGUSR2)
            ended = re.compile(rf"^vdrive: fault {number} mark ended at", re.M)
            if not wait_for(lambda: ended.search(read_text(self.vdrive_log)), 10):
                raise SoakError(f"vdrive did not end fault {number} (mark)")

    def run(self, seconds):
        note(f"{self.kind}: {seconds:.0f} s, a fault or save every {self.args.every:g} s")
        self.make_schedule(seconds)
        self.start_vdrive()
        if self.kind == "network":
            self.ser2net_port = free_loopback_port()
            self.start_ser2net()
        began = time.monotonic()
        self.start_program()
        self.results["load_before"] = read_text("/proc/loadavg").split()[:3]
        next_sample = began
        index = 0
        while True:
            now = time.monotonic()
            if now - began >= seconds:
                break
            if self.program.poll() is not None:
                raise SoakError(f"the program ended during the run (status "
                                f"{self.program.returncode}):\n" + read_text(self.program_log)[-2000:])
            if self.vdrive.poll() is not None:
                raise SoakError("vdrive ended during the run:\n" + read_text(self.vdrive_log)[-2000:])
            if now >= next_sample:
                self.sampler.sample()
                next_sample += self.args.sample
            if index < len(self.schedule) and now - began >= (index + 1) * self.args.every:
                self.inject(index)
                index += 1
            time.sleep(0.1)
        self.sampler.sample()
        self.results["load_after"] = read_text("/proc/loadavg").split()[:3]
        self.results["seconds"] = time.monotonic() - began
        self.finish()

    def finish(self):
        stop_process(self.vdrive)
        self.vdrive_out.close()
        status = stop_process(self.program, 30)
        self.program_out.close()
        if self.ser2net is not None:
            stop_process(self.ser2net, 10)
        self.results["program_status"] = status
        self.evaluate()

    def evaluate(self):
        log = read_text(self.vdrive_log)
        r = self.results
        field = lambda name: int(re.search(rf"^{name}: (\d+)$", log, re.M).group(1))
        r["messages"] = field("messages sent")
        r["answers"] = field("answers")
        r["outside_messages"] = field("messages outside faults")
        r["outside_answers"] = field("answers outside faults")
        r["invalid"] = field("invalid answers")
        faults = {}
        for number, what in re.findall(r"^vdrive: fault (\d+) (\w+) at ", log, re.M):
            faults[int(number)] = {"what": what, "ms": None}
        for number, ms in re.findall(r"^vdrive: fault (\d+) \w+ answered again after ([\d.]+) ms",
                                     log, re.M):
            faults[int(number)]["ms"] = float(ms)
        for fault in faults.values():
            if fault["what"] == "mark":
                fault["what"] = "ser2net"
        first = re.search(r"^vdrive: first answer after ([\d.]+) ms", log, re.M)
        r["start_ms"] = float(first.group(1)) if first else None
        r["faults"] = faults
        r["saves"] = len(re.findall(r"^vdrive: save started", log, re.M))
        writes = re.findall(r"^vdrive: memory write 0x([0-9A-F]{4}) answered: ([0-9A-F ]+)$", log,
                            re.M)
        r["writes"] = len(writes)
        last = {}
        for address, data in writes:
            last[int(address, 16)] = bytes(int(b, 16) for b in data.split())
        r["write_addresses"] = len(last)
        image = self.read_memory_file()
        r["found"] = sum(1 for address, data in last.items()
                         if image.get(address, b"") == data)
        r["missing"] = [f"0x{a:04X}" for a, d in sorted(last.items()) if image.get(a, b"") != d]
        samples = self.sampler
        r["rss"] = samples.rss
        r["fds"] = samples.fds
        r["load_mean"] = sum(samples.load) / len(samples.load) if samples.load else float("nan")

    def read_memory_file(self):
        """The image from sorvanel-mem dump, as {address of a 16-byte line: bytes}."""
        if not os.path.exists(self.memory):
            return {}
        dump = subprocess.run([os.path.join(self.args.build, "sorvanel-mem"), "dump", self.memory],
                              capture_output=True, text=True, check=False)
        if dump.returncode != 0 or not dump.stdout:
            raise SoakError("sorvanel-mem dump failed: " + dump.stderr)
        # "0x0100  50 53 45 54 01 0B 00 16  00 03 00 00 62 0F DB 78  |PSET........b..x|"
        data = {}
        for line in dump.stdout.splitlines():
            fields = line.split("|")[0].split()
            if len(fields) == 17 and fields[0].startswith("0x"):
                data[int(fields[0], 16)] = bytes(int(b, 16) for b in fields[1:])
        # Writes are 16 bytes at any address: look them up byte by byte.
        image = bytearray(0x2000)
        for address, chunk in data.items():
            image[address:address + len(chunk)] = chunk
        return _ImageLookup(bytes(image))


class ReplayPhase(Phase):
    """A played drive: vdrive --replay FILE again and again under one name.

    Each round ends with vdrive closing its pseudo-terminal (a hang-up) and
    the next registers a new one, which the program must find by itself.
    The replay owns the line, so nothing else is injected.
    """

    def start_replay(self, round_number):
        log = os.path.join(self.folder, f"replay-{round_number}.log")
        out = open(log, "w", encoding="utf-8")
        command = [os.path.join(self.args.build, "vdrive"), "--name", self.port_name,
                   "--replay", self.args.replay]
        if self.args.replay_fast:
            command.append("--fast")
        self.vdrive = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT)
        out.close()
        match = wait_for(lambda: re.search(r"^vdrive: port \S+ on (\S+) ", read_text(log), re.M), 10)
        if not match:
            raise SoakError("vdrive --replay did not register its port:\n" + read_text(log))
        return log, match.group(1), time.monotonic()

    def program_has_open(self, path):
        folder = f"/proc/{self.program.pid}/fd"
        try:
            return any(os.readlink(os.path.join(folder, fd)) == path for fd in os.listdir(folder))
        except OSError:
            return False

    def run(self, seconds):
        note(f"replay: {seconds:.0f} s of {self.args.replay}")
        self.start_program()
        self.results["load_before"] = read_text("/proc/loadavg").split()[:3]
        began = time.monotonic()
        next_sample = began
        rounds = []
        while time.monotonic() - began < seconds:
            log, slave, registered = self.start_replay(len(rounds) + 1)
            opened = None
            while self.vdrive.poll() is None and time.monotonic() - began < seconds:
                if self.program.poll() is not None:
                    raise SoakError("the program ended during the run:\n"
                                    + read_text(self.program_log)[-2000:])
                if opened is None and self.program_has_open(slave):
                    opened = (time.monotonic() - registered) * 1000
                if time.monotonic() >= next_sample:
                    self.sampler.sample()
                    next_sample += self.args.sample
                time.sleep(0.05)
            finished = self.vdrive.poll() is not None
            stop_process(self.vdrive, 10)
            text = read_text(log)
            counts = {key: int(value) for key, value in
                      re.findall(r"^(recorded answers|matched|missing|differed) (\d+)$", text, re.M)}
            rounds.append({"opened_ms": opened, "finished": finished, **counts})
        self.sampler.sample()
        self.vdrive = None
        self.results["load_after"] = read_text("/proc/loadavg").split()[:3]
        self.results["seconds"] = time.monotonic() - began
        self.results["program_status"] = stop_process(self.program, 30)
        self.program_out.close()
        self.results["rounds"] = rounds
        self.results["rss"] = self.sampler.rss
        self.results["fds"] = self.sampler.fds
        load = self.sampler.load
        self.results["load_mean"] = sum(load) / len(load) if load else float("nan")


class _ImageLookup:
    """image.get(address) gives the 16 bytes at address."""

    def __init__(self, image):
        self.image = image

    def get(self, address, default=b""):
        block = self.image[address:address + 16]
        return block if len(block) == 16 else default


def report(phases, args, started_load, ended_load, minutes):
    ok = True
    totals = {"faults": 0, "recovered": 0, "messages": 0, "answers": 0}
    print()
    print(f"Soak: {minutes:.1f} min, a fault or save every {args.every:g} s, recovery limit "
          f"{args.limit:g} s; build {args.build}")
    print(f"Machine: {os.cpu_count()} cores; load average (1, 5, 15 min) before "
          f"{' '.join(started_load)}, after {' '.join(ended_load)}")
    for phase in phases:
        r = phase.results
        if "seconds" not in r:
            continue
        print()
        print(f"[{phase.kind}] {r['seconds'] / 60:.1f} min, mean 1-min load while sampling "
              f"{r['load_mean']:.1f}; program exit status {r['program_status']}")
        if "rounds" in r:
            ok &= report_replay(r, args)
            ok &= report_slopes(r, args) and r["program_status"] == 0
            continue
        start = r["start_ms"]
        print(f"  start: first answer {start:.0f} ms after vdrive's first message" if start is not None
              else "  start: never answered")
        faults = r["faults"]
        kinds = sorted({f["what"] for f in faults.values()})
        recovered = sum(1 for f in faults.values()
                        if f["ms"] is not None and f["ms"] <= args.limit * 1000)
        ok &= recovered == len(faults) and len(faults) > 0
        print(f"  recoveries: {recovered} of {len(faults)} faults answered again within "
              f"{args.limit:g} s")
        for kind in kinds:
            times = [f["ms"] for f in faults.values() if f["what"] == kind]
            done = [t for t in times if t is not None]
            worst = f"{max(done):.0f}" if done else "-"
            median = f"{sorted(done)[len(done) // 2]:.0f}" if done else "-"
            print(f"    {kind:8} {len(done)}/{len(times)}  median {median} ms, max {worst} ms")
        share = r["outside_answers"] / r["outside_messages"] if r["outside_messages"] else 0.0
        print(f"  answered outside faults: {r['outside_answers']} of {r['outside_messages']} "
              f"messages ({100 * share:.3f} %); all messages {r['answers']} of {r['messages']}; "
              f"invalid answers {r['invalid']}")
        ok &= r["writes"] > 0 and r["found"] == r["write_addresses"]
        print(f"  memory: {r['saves']} saves, {r['writes']} memory writes answered; the last of "
              f"each of {r['write_addresses']} addresses in the memory file: {r['found']}"
              + (f" (missing: {', '.join(r['missing'])})" if r["missing"] else ""))
        ok &= report_slopes(r, args) and r["program_status"] == 0
        totals["faults"] += len(faults)
        totals["recovered"] += recovered
        totals["messages"] += r["outside_messages"]
        totals["answers"] += r["outside_answers"]
    if totals["faults"]:
        print()
        print(f"All phases: {totals['recovered']} of {totals['faults']} faults answered again "
              f"within {args.limit:g} s; {totals['answers']} of {totals['messages']} messages "
              f"answered outside faults "
              f"({100 * totals['answers'] / max(totals['messages'], 1):.3f} %)")
    print()
    print("result: " + ("passed" if ok else "FAILED"))
    return ok


def report_replay(r, args):
    """Rounds after the first are replugs: the program must open each new port in time."""
    rounds = [x for x in r["rounds"] if x["finished"]]
    replugs = r["rounds"][1:]
    opened = [x["opened_ms"] for x in replugs
              if x["opened_ms"] is not None and x["opened_ms"] <= args.limit * 1000]
    worst = max((x["opened_ms"] or 0) for x in replugs) if replugs else 0
    print(f"  replays: {len(r['rounds'])} rounds ({len(rounds)} played to the end); "
          f"recoveries: {len(opened)} of {len(replugs)} replugs opened within {args.limit:g} s "
          f"(max {worst:.0f} ms from the new port's registration to the program's open)")
    recorded = sum(x.get("recorded answers", 0) for x in rounds)
    matched = sum(x.get("matched", 0) for x in rounds)
    share = matched / recorded if recorded else 0.0
    print(f"  recorded answers given again byte for byte: {matched} of {recorded} "
          f"({100 * share:.3f} %), in rounds played to the end; memory file not checked "
          f"(a played drive writes only what its capture holds)")
    return len(opened) == len(replugs) and recorded > 0


def report_slopes(r, args):
    rss, fds = r["rss"], r["fds"]
    if rss:
        settled = [s for s in rss if s[0] >= args.settle] or rss
        print(f"  VmRSS: {settled[0][1] / 1024:.1f} MB at {settled[0][0]:.0f} s, "
              f"{rss[-1][1] / 1024:.1f} MB at the end, max {max(v for _, v in rss) / 1024:.1f} MB;"
              f" slope {slope_per_hour(settled) / 1024:+.2f} MB/h from {args.settle:g} s on "
              f"({len(settled)} samples; {slope_per_hour(rss) / 1024:+.2f} MB/h with the start)")
    if fds:
        settled = [s for s in fds if s[0] >= args.settle] or fds
        print(f"  descriptors: {settled[0][1]} at {settled[0][0]:.0f} s, {fds[-1][1]} at the end,"
              f" max {max(v for _, v in fds)}; slope {slope_per_hour(settled):+.2f}/h from "
              f"{args.settle:g} s on ({slope_per_hour(fds):+.2f}/h with the start)")
    return bool(rss and fds)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--minutes", type=float, default=10.0, help="length of the run (10)")
    parser.add_argument("--network-share", type=float, default=1 / 3,
                        help="part of the run on the ser2net phase, 0 to 1 (1/3)")
    parser.add_argument("--every", type=float, default=15.0,
                        help="seconds between injections (15)")
    parser.add_argument("--limit", type=float, default=10.0,
                        help="seconds within which the program must answer again (10)")
    parser.add_argument("--sample", type=float, default=5.0,
                        help="seconds between VmRSS and descriptor samples (5)")
    parser.add_argument("--settle", type=float, default=60.0,
                        help="second slope from this many seconds on (60)")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"),
                        help="folder with sorvanel, vdrive and sorvanel-mem (build)")
    parser.add_argument("--capture", action="store_true",
                        help="the program also writes a capture file")
    parser.add_argument("--replay", metavar="FILE",
                        help="a played drive instead: vdrive --replay FILE, again and again, "
                             "for the whole run (no ser2net phase, no injected faults)")
    parser.add_argument("--replay-fast", action="store_true",
                        help="replay as fast as the program answers")
    parser.add_argument("--keep", action="store_true", help="keep the logs folder")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    for name in ("sorvanel", "vdrive", "sorvanel-mem"):
        if not os.access(os.path.join(args.build, name), os.X_OK):
            print(f"soak: {args.build}/{name} is missing; build it first", file=sys.stderr)
            return 2
    network_seconds = args.minutes * 60 * min(max(args.network_share, 0.0), 1.0)
    if network_seconds > 0 and not args.replay and shutil.which("ser2net") is None:
        print("soak: ser2net is not installed (scripts/install-deps)", file=sys.stderr)
        return 2

    work = tempfile.mkdtemp(prefix="sorvanel-soak.")
    runtime = os.path.join(work, "runtime")
    os.mkdir(runtime, 0o700)
    os.environ["XDG_RUNTIME_DIR"] = runtime
    phases = []
    plan = [("direct", args.minutes * 60 - network_seconds), ("network", network_seconds)]
    if args.replay:
        args.replay = os.path.abspath(args.replay)
        plan = [("replay", args.minutes * 60)]
    started_load = read_text("/proc/loadavg").split()[:3]
    began = time.monotonic()
    try:
        for kind, seconds in plan:
            if seconds >= 1:
                phase = (ReplayPhase if kind == "replay" else Phase)(args, work, kind)
                phases.append(phase)
                phase.run(seconds)
    except (SoakError, OSError, AttributeError) as error:
        print(f"soak: {error}", file=sys.stderr)
        for phase in phases:
            for process in (phase.program, phase.vdrive, phase.ser2net):
                if process is not None:
                    stop_process(process, 10)
        print(f"soak: logs kept in {work}", file=sys.stderr)
        return 2
    ok = report(phases, args, started_load, read_text("/proc/loadavg").split()[:3],
                (time.monotonic() - began) / 60)
    if args.keep or not ok:
        print(f"logs: {work}")
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
