#!/usr/bin/python3
"""Quorvane against QStat on one simulated park of game servers.

In one run, on 127.0.0.1 only:

1. the memory baseline: `quorvane --headless` watching no server at all for a
   few seconds (its peak RSS);
2. a park of N game servers in one `quorvane-sim` process, watched by
   `quorvane --headless --json --server 127.0.0.1:PORT ...` for T seconds, then
   stopped with SIGTERM: its CPU (user + system) and peak RSS from wait4();
3. for each QStat mode, `-hls` (details + players) and `-a2s` ('T' info + 'U'
   players with a challenge), a fresh park of the same N servers (same seed),
   queried by QStat once every six seconds (the console's poll cycle) for the
   same T seconds, each run over all N servers with players: the CPU of all
   runs summed, the peak RSS of the largest run.

A poll is one server asked once for its details and its players: quorvane polls
every server once per six-second cycle, a QStat run polls every server once.
The park runs with --count-queries, so that the queries each tool really sent
are counted on the servers' side, rcon and its challenge left out. For
quorvane, the park is also asked (SIGUSR1) for its counts after the first
WARMUP_CYCLES cycles, which give the queries per server per cycle once every
server's dialect is known. The park's own CPU is reported apart; it is counted
in no tool's figure.

Python 3 standard library only. Exits 1 with a message when a program is
missing or the park does not come up.
"""

import argparse
import json
import os
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

POLL_CYCLE_SECONDS = 6
BASELINE_SECONDS = 8
PARK_START_SECONDS = 120
STOP_GRACE_SECONDS = 30
# Cycles in which quorvane still learns each server's dialect.
WARMUP_CYCLES = 2
QSTAT_TYPES = ("hls", "a2s")
# Kinds of datagrams the park counts that are not queries of the state.
RCON_KINDS = ("challenge", "rcon")


class BenchError(Exception):
    pass


def repo_root():
    return os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def raise_open_files():
    """In the child: as many sockets as the hard limit allows (the park and
    the console each hold one per server)."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft != hard:
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))


def executable(path, what):
    if not path or not os.path.isfile(path) or not os.access(path, os.X_OK):
        raise BenchError(f"{what} not found or not executable: {path or '(none)'}")
    return path


def find_qstat(given):
    if given:
        found = shutil.which(given) if os.sep not in given else given
        return executable(found or given, "qstat")
    # Debian installs QStat as "quakestat".
    for name in ("qstat", "quakestat"):
        found = shutil.which(name)
        if found:
            return found
    raise BenchError("qstat not found on PATH (neither qstat nor quakestat); install the qstat package")


def wait_rusage(pid, deadline_seconds):
    """wait4() the child; SIGKILL after the deadline. (status, rusage)."""
    end = time.monotonic() + deadline_seconds
    while True:
        waited, status, usage = os.wait4(pid, os.WNOHANG)
        if waited == pid:
            return status, usage
        if time.monotonic() > end:
            os.kill(pid, signal.SIGKILL)
            _, status, usage = os.wait4(pid, 0)
            return status, usage
        time.sleep(0.02)


def cpu_seconds(usage):
    return usage.ru_utime + usage.ru_stime


class Park:
    """One quorvane-sim process with N game servers on free ports."""

    def __init__(self, sim, servers, seed):
        self.process = subprocess.Popen(
            [sim, "--servers", str(servers), "--port", "0", "--seed", str(seed), "--count-queries"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            preexec_fn=raise_open_files)
        self.ports = []
        self.usage = None
        self.traffic = {}
        try:
            self._read_listing(servers)
        except BaseException:
            self.stop()
            raise

    def _read_listing(self, servers):
        deadline = time.monotonic() + PARK_START_SECONDS
        buffered = b""
        out = self.process.stdout.fileno()
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise BenchError(f"the park did not say ready within {PARK_START_SECONDS} s")
            readable, _, _ = select.select([out], [], [], left)
            if not readable:
                continue
            chunk = os.read(out, 65536)
            if not chunk:
                self.process.wait(timeout=STOP_GRACE_SECONDS)
                error = self.process.stderr.read().decode(errors="replace").strip()
                raise BenchError(f"the park did not come up (exit {self.process.returncode}): {error}")
            buffered += chunk
            lines = buffered.split(b"\n")
            if b"ready" in lines[:-1]:
                break
        for line in buffered.decode().splitlines():
            if line.startswith("server 127.0.0.1:"):
                self.ports.append(int(line.rsplit(":", 1)[1]))
        if len(self.ports) != servers:
            raise BenchError(f"the park listed {len(self.ports)} servers instead of {servers}")

    def snapshot(self):
        """The traffic counted so far (SIGUSR1 makes the park print it)."""
        self.process.send_signal(signal.SIGUSR1)
        deadline = time.monotonic() + STOP_GRACE_SECONDS
        err = self.process.stderr.fileno()
        buffered = b""
        while b"\nmachines " not in b"\n" + buffered or not buffered.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0:
                raise BenchError("the park did not report its traffic on SIGUSR1")
            readable, _, _ = select.select([err], [], [], left)
            if readable:
                chunk = os.read(err, 65536)
                if not chunk:
                    raise BenchError("the park ended while reporting its traffic")
                buffered += chunk
        return parse_traffic(buffered.decode(errors="replace"))

    def stop(self):
        """SIGTERM, wait4; reads the traffic totals the park prints on exit."""
        if self.process.returncode is not None or self.usage is not None:
            return
        self.process.send_signal(signal.SIGTERM)
        status, self.usage = wait_rusage(self.process.pid, STOP_GRACE_SECONDS)
        self.process.returncode = os.waitstatus_to_exitcode(status)
        self.traffic = parse_traffic(self.process.stderr.read().decode(errors="replace"))


def parse_traffic(text):
    """The three lines of --count-queries: {"queries": {...}, "replies": {...},
    "asked": N, "answered": N}."""
    traffic = {"queries": {}, "replies": {}, "asked": None, "answered": None}
    for line in text.splitlines():
        words = line.split()
        if words and words[0] in ("queries", "replies"):
            for pair in words[1:]:
                key, _, value = pair.partition("=")
                traffic[words[0]][key] = int(value)
        elif len(words) == 6 and words[0] == "machines":
            traffic["asked"] = int(words[3])
            traffic["answered"] = int(words[5])
    if traffic["asked"] is None:
        raise BenchError("the park printed no traffic totals on exit (a quorvane-sim without --count-queries?)")
    return traffic


def state_queries(queries):
    """Queries of the machines' state, rcon and its challenge left out."""
    return sum(count for kind, count in queries.items() if kind not in RCON_KINDS)


def run_quorvane(quorvane, ports, seconds, output_path, midway=None):
    """quorvane --headless watching the ports for `seconds`; stopped by
    SIGTERM. Its change reports go to a file, never a pipe. midway, when
    given, is (seconds, callable): called that long after the start."""
    arguments = [quorvane, "--headless", "--json"]
    for port in ports:
        arguments += ["--server", f"127.0.0.1:{port}"]
    with open(output_path, "wb") as output:
        process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=output,
                                   stderr=subprocess.DEVNULL, preexec_fn=raise_open_files)
    started = time.monotonic()
    try:
        if midway:
            time.sleep(midway[0])
            midway[1]()
            time.sleep(max(0.0, started + seconds - time.monotonic()))
        else:
            time.sleep(seconds)
        process.send_signal(signal.SIGTERM)
        status, usage = wait_rusage(process.pid, STOP_GRACE_SECONDS)
    except BaseException:
        process.kill()
        process.wait()
        raise
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise BenchError(f"quorvane ended with {process.returncode} instead of stopping cleanly")
    return usage, time.monotonic() - started, started


def final_statuses(output_path):
    """The last status each object reported: {object: status}."""
    statuses = {}
    with open(output_path, encoding="utf-8", errors="replace") as output:
        for line in output:
            try:
                report = json.loads(line)
            except ValueError:
                continue
            statuses[report.get("object")] = report.get("status")
    return statuses


def run_qstat(qstat, qstat_type, ports, seconds, maxsim, workdir):
    """QStat over all ports once every poll cycle for `seconds`."""
    server_list = os.path.join(workdir, "servers.txt")
    with open(server_list, "w") as listing:
        listing.writelines(f"127.0.0.1:{port}\n" for port in ports)
    output_path = os.path.join(workdir, "qstat.out")
    arguments = [qstat, "-nocfg", "-default", qstat_type, "-f", server_list, "-P", "-raw", ",",
                 "-maxsim", str(maxsim), "-sendinterval", "0", "-nh"]
    runs = []
    start = time.monotonic()
    run = 0
    while run * POLL_CYCLE_SECONDS < seconds:
        pause = start + run * POLL_CYCLE_SECONDS - time.monotonic()
        if pause > 0:
            time.sleep(pause)
        began = time.monotonic()
        with open(output_path, "wb") as output:
            process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.DEVNULL, preexec_fn=raise_open_files)
        status, usage = wait_rusage(process.pid, 10 * POLL_CYCLE_SECONDS)
        wall = time.monotonic() - began
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            raise BenchError(f"{qstat} ended with {code}: {' '.join(arguments)}")
        runs.append({"usage": usage, "wall": wall, "up": count_up(output_path, qstat_type, ports)})
        run += 1
    return runs


def count_up(output_path, qstat_type, ports):
    """Servers of the raw output with a name and a map, and how many of them
    listed players: {"up": N, "with_players": N}."""
    wanted = {f"127.0.0.1:{port}" for port in ports}
    up = set()
    with_players = set()
    current = None
    with open(output_path, encoding="utf-8", errors="replace") as output:
        for line in output:
            fields = line.rstrip("\n").split(",")
            if fields[0].upper() == qstat_type.upper() and len(fields) > 1:
                current = fields[1] if fields[1] in wanted else None
                # TYPE,ADDRESS,NAME,MAP,MAX,PLAYERS,PING,RETRIES; a down server
                # has DOWN / TIMEOUT / ERROR in the third field.
                if current and len(fields) >= 6 and fields[2] not in ("DOWN", "TIMEOUT", "ERROR"):
                    up.add(current)
                else:
                    current = None
            elif current and line.strip():
                with_players.add(current)
    return {"up": len(up), "with_players": len(with_players)}


def measure_qstat(qstat, qstat_type, sim, servers, seconds, args, workdir):
    """QStat in one mode on a fresh park of the same servers."""
    park = Park(sim, servers, args.seed)
    try:
        runs = run_qstat(qstat, qstat_type, park.ports, seconds, args.maxsim, workdir)
    finally:
        park.stop()
    queries = park.traffic["queries"]
    cpu = sum(cpu_seconds(run["usage"]) for run in runs)
    polls = len(runs) * servers
    return {
        "program": qstat,
        "type": qstat_type,
        "maxsim": args.maxsim,
        "cpu_seconds": round(cpu, 3),
        "peak_rss_kb": max(run["usage"].ru_maxrss for run in runs),
        "runs": len(runs),
        "polls": polls,
        "cpu_us_per_poll": round(cpu * 1e6 / polls, 1) if polls else None,
        "queries_per_server_per_cycle": round(state_queries(queries) / polls, 3) if polls else None,
        "answered": min(run["up"]["up"] for run in runs),
        "answered_per_run": [run["up"]["up"] for run in runs],
        "with_players_per_run": [run["up"]["with_players"] for run in runs],
        "wall_seconds_per_run": round(sum(run["wall"] for run in runs) / len(runs), 3),
        "wall_seconds_max_run": round(max(run["wall"] for run in runs), 3),
        "park_queries": queries,
        "park_replies": park.traffic["replies"],
        "park_cpu_seconds": round(cpu_seconds(park.usage), 3),
    }


def measure(args):
    quorvane = executable(args.quorvane, "quorvane")
    sim = executable(args.sim, "quorvane-sim")
    qstat = find_qstat(args.qstat)
    servers, seconds = args.servers, args.seconds
    result = {"servers": servers, "seconds": seconds}

    with tempfile.TemporaryDirectory(prefix="park_vs_qstat.") as workdir:
        output_path = os.path.join(workdir, "quorvane.out")

        # The baseline: the same program watching nothing.
        baseline_usage, _, _ = run_quorvane(quorvane, [], args.baseline_seconds, output_path)

        # Quorvane on the park; the park's counts after the warm-up cycles.
        park = Park(sim, servers, args.seed)
        warmup = {}

        def take_snapshot():
            warmup["traffic"] = park.snapshot()
            warmup["at"] = time.monotonic()

        warmup_seconds = WARMUP_CYCLES * POLL_CYCLE_SECONDS
        try:
            usage, wall, started = run_quorvane(
                quorvane, park.ports, seconds, output_path,
                (warmup_seconds, take_snapshot) if seconds > warmup_seconds else None)
            stopped = time.monotonic()
        finally:
            park.stop()
        statuses = final_statuses(output_path)
        queries = park.traffic["queries"]
        cycles = seconds // POLL_CYCLE_SECONDS
        polls = servers * cycles
        steady = None
        if "traffic" in warmup:
            steady_cycles = (stopped - warmup["at"]) / POLL_CYCLE_SECONDS
            steady_queries = state_queries(queries) - state_queries(warmup["traffic"]["queries"])
            steady = round(steady_queries / (servers * steady_cycles), 3)
        result["quorvane"] = {
            "cpu_seconds": round(cpu_seconds(usage), 3),
            "peak_rss_kb": usage.ru_maxrss,
            "polls": polls,
            "cpu_us_per_poll": round(cpu_seconds(usage) * 1e6 / polls, 1) if polls else None,
            "queries_per_server_per_cycle": round(state_queries(queries) / polls, 3) if polls else None,
            "queries_per_server_per_cycle_known": steady,
            "answered": sum(1 for status in statuses.values() if status not in (None, "Timeout")),
            "objects_reported": len(statuses),
            "statuses": count_values(statuses.values()),
            "servers_answering_in_park": park.traffic["answered"],
            "park_queries": queries,
            "park_queries_after_warmup": warmup.get("traffic", {}).get("queries"),
            "park_replies": park.traffic["replies"],
            "park_cpu_seconds": round(cpu_seconds(park.usage), 3),
            "wall_seconds": round(wall, 2),
        }
        result["quorvane_baseline_rss_kb"] = baseline_usage.ru_maxrss
        result["memory_per_server_bytes"] = (
            round((usage.ru_maxrss - baseline_usage.ru_maxrss) * 1024 / servers) if servers else None)

        # QStat in both modes, each on a fresh park.
        result["qstat"] = {qstat_type: measure_qstat(qstat, qstat_type, sim, servers, seconds, args, workdir)
                           for qstat_type in QSTAT_TYPES}
        hls = result["qstat"]["hls"]["cpu_us_per_poll"]
        ours = result["quorvane"]["cpu_us_per_poll"]
        result["cpu_ratio_to_qstat_hls"] = round(ours / hls, 3) if ours and hls else None
    return result


def count_values(values):
    counts = {}
    for value in values:
        counts[value] = counts.get(value, 0) + 1
    return counts


def print_table(result):
    q = result["quorvane"]
    hls, a2s = result["qstat"]["hls"], result["qstat"]["a2s"]
    n = result["servers"]
    known = q["queries_per_server_per_cycle_known"]
    rows = [
        ("", "quorvane", "qstat -hls", "qstat -a2s"),
        ("CPU seconds (user+sys)", f"{q['cpu_seconds']:.2f}", f"{hls['cpu_seconds']:.2f}",
         f"{a2s['cpu_seconds']:.2f}"),
        ("polls (servers x cycles)", q["polls"], f"{hls['polls']} ({hls['runs']} runs)",
         f"{a2s['polls']} ({a2s['runs']} runs)"),
        ("CPU us per poll", q["cpu_us_per_poll"], hls["cpu_us_per_poll"], a2s["cpu_us_per_poll"]),
        ("queries per server per cycle (park)",
         f"{q['queries_per_server_per_cycle']} ({known} once dialects are known)",
         hls["queries_per_server_per_cycle"], a2s["queries_per_server_per_cycle"]),
        ("peak RSS (kB)", q["peak_rss_kb"], f"{hls['peak_rss_kb']} (largest run)",
         f"{a2s['peak_rss_kb']} (largest run)"),
        ("servers answered", f"{q['answered']} of {n}", f"{hls['answered']} of {n} (fewest in a run)",
         f"{a2s['answered']} of {n} (fewest in a run)"),
        ("wall seconds per run", "", f"{hls['wall_seconds_per_run']} (max {hls['wall_seconds_max_run']})",
         f"{a2s['wall_seconds_per_run']} (max {a2s['wall_seconds_max_run']})"),
    ]
    width = [max(len(str(row[i])) for row in rows) for i in range(4)]
    print(f"{n} servers, {result['seconds']} s")
    for row in rows:
        print("  ".join(str(cell).ljust(width[i]) for i, cell in enumerate(row)).rstrip())
    print(f"quorvane CPU per poll / qstat -hls: {result['cpu_ratio_to_qstat_hls']}")
    print(f"quorvane baseline peak RSS (no server): {result['quorvane_baseline_rss_kb']} kB; "
          f"memory per monitored server: {result['memory_per_server_bytes']} bytes")
    print(f"quorvane final statuses: {q['statuses']}")
    print(f"park traffic with quorvane: queries {q['park_queries']} "
          f"(after warm-up {q['park_queries_after_warmup']}), replies {q['park_replies']}")
    for mode, s in (("hls", hls), ("a2s", a2s)):
        print(f"park traffic with qstat -{mode}: queries {s['park_queries']}, replies {s['park_replies']}")
        print(f"qstat -{mode} servers up per run: {s['answered_per_run']}; "
              f"with players: {s['with_players_per_run']}")
    print(f"park CPU seconds (not counted above): {q['park_cpu_seconds']} with quorvane, "
          f"{hls['park_cpu_seconds']} with qstat -hls, {a2s['park_cpu_seconds']} with qstat -a2s")


def main():
    root = repo_root()
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--servers", type=int, default=2000, help="game servers in the park (default 2000)")
    parser.add_argument("--seconds", type=int, default=60, help="seconds each tool runs (default 60)")
    parser.add_argument("--quorvane", default=os.path.join(root, "build", "bin", "quorvane"))
    parser.add_argument("--sim", default=os.path.join(root, "build", "bin", "quorvane-sim"))
    parser.add_argument("--qstat", default=None, help="QStat program (default: qstat, else quakestat, on PATH)")
    parser.add_argument("--maxsim", type=int, default=256, help="QStat -maxsim (default 256)")
    parser.add_argument("--seed", type=int, default=2003, help="seed of the park (default 2003)")
    parser.add_argument("--baseline-seconds", type=int, default=BASELINE_SECONDS)
    parser.add_argument("--json", action="store_true", help="print one JSON object")
    args = parser.parse_args()
    if args.servers < 1 or args.servers > 2048:
        parser.error("--servers takes 1 to 2048")
    if args.seconds < POLL_CYCLE_SECONDS:
        parser.error(f"--seconds takes at least {POLL_CYCLE_SECONDS}")
    try:
        result = measure(args)
    except BenchError as error:
        print(f"park_vs_qstat: {error}", file=sys.stderr)
        return 1
    if args.json:
        print(json.dumps(result, indent=2))
    else:
        print_table(result)
    return 0


if __name__ == "__main__":
    sys.exit(main())
