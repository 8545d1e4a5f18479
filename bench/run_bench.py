#!/usr/bin/env python3
"""Runs every benchmark of the project and prints one table of the figures.

The micro-benchmarks (Google Benchmark) report their results as JSON; the
park benchmark (bench/park_vs_qstat.py) measures the program against QStat on
a simulated park. The table is Markdown, so it can go into the README as is.
"""
import argparse
import json
import os
import platform
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def run_google_benchmark(binary, repetitions):
    if not os.path.exists(binary):
        sys.exit(f"run_bench: {binary} is missing; build first (make build)")
    command = [binary, "--benchmark_format=json"]
    if repetitions > 1:
        command += [f"--benchmark_repetitions={repetitions}", "--benchmark_report_aggregates_only=true"]
    output = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    results = {}
    for entry in json.loads(output)["benchmarks"]:
        name = entry.get("run_name", entry["name"]).split("/")[0]
        if entry.get("aggregate_name", "median") != "median":
            continue
        results[name] = entry
    return results


def milliseconds(entry, key):
    unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry.get("time_unit", "ns")]
    return entry[key] * unit


def machine_line():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = ""
    try:
        with open("/proc/meminfo") as meminfo:
            kilobytes = int(meminfo.readline().split()[1])
            memory = f", {kilobytes / 1048576:.0f} GiB"
    except (OSError, ValueError, IndexError):
        pass
    return f"{model}, {os.cpu_count()} cores{memory}, Linux {platform.release()}"


def verdict(value, target, lower_is_better=True):
    met = value <= target if lower_is_better else value >= target
    return "met" if met else "NOT met"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build"))
    parser.add_argument("--servers", type=int, default=2000, help="game servers in the park benchmark")
    parser.add_argument("--seconds", type=int, default=60, help="length of the park benchmark")
    parser.add_argument("--repetitions", type=int, default=3, help="runs of each micro-benchmark (median kept)")
    parser.add_argument("--skip-park", action="store_true", help="leave out the park benchmark")
    parser.add_argument("--skip-month", action="store_true",
                        help="leave out the ledger's simulated month (about ten minutes)")
    arguments = parser.parse_args()
    binaries = os.path.join(arguments.build_dir, "bin")

    replies = run_google_benchmark(os.path.join(binaries, "bench_replies"), arguments.repetitions)
    document = run_google_benchmark(os.path.join(binaries, "bench_document"), arguments.repetitions)
    layout = run_google_benchmark(os.path.join(binaries, "bench_layoutfile"), arguments.repetitions)
    machines = run_google_benchmark(os.path.join(binaries, "bench_machines"), arguments.repetitions)
    ledger = run_google_benchmark(os.path.join(binaries, "bench_ledger"), arguments.repetitions)
    month = None if arguments.skip_month else \
        run_google_benchmark(os.path.join(binaries, "bench_ledgermonth"), 1)["Park30DaysOf200Objects"]
    feeds = run_google_benchmark(os.path.join(binaries, "bench_feeds"), 1)
    send_to_many = run_google_benchmark(os.path.join(binaries, "bench_sendtomany"), 1)
    park = None
    if not arguments.skip_park:
        command = [sys.executable, os.path.join(HERE, "park_vs_qstat.py"), "--json",
                   "--servers", str(arguments.servers), "--seconds", str(arguments.seconds),
                   "--quorvane", os.path.join(binaries, "quorvane"), "--sim", os.path.join(binaries, "quorvane-sim")]
        park = json.loads(subprocess.run(command, check=True, capture_output=True, text=True).stdout)

    rows = []

    def row(measure, result, target="", status=""):
        rows.append((measure, result, target, status))

    for name, label in [("ServerDetails", "details reply ('m')"), ("ServerInfo", "info reply ('I')"),
                        ("ServerPlayers32", "players reply, 32 names"),
                        ("ServerStatusText32", "server status text, 32 players"),
                        ("ProxyStatusText", "proxy status text"), ("HubManagerInfo", "hub manager info reply"),
                        ("HubInfo10Players", "hub info reply, 10 players")]:
        entry = replies[name]
        row(f"Reply handling: {label}", f"{entry['items_per_second'] / 1e6:.2f} M datagrams/s")

    def timing(entry):
        return f"{milliseconds(entry, 'real_time'):.2f} ms (CPU {milliseconds(entry, 'cpu_time'):.2f} ms)"

    row("Tick of 2,000 objects, datagrams sent", timing(document["Tick2000"]))
    row("Tick of 2,000 objects, no sockets", timing(document["Tick2000WithoutSockets"]))
    row("Layout pass + repaint of 1920x1080, 2,000 objects", timing(document["LayoutAndRepaint2000"]))
    row("Layout pass + repaint of 1920x1080, 2,000 answering objects", timing(document["LayoutAndRepaintAnswering2000"]))
    tick_and_repaint = milliseconds(document["TickAndRepaint2000"], "real_time")
    row("Tick + repaint, 2,000 objects", timing(document["TickAndRepaint2000"]), "< 8 ms",
        verdict(tick_and_repaint, 8))
    row("Window: a twentieth of the tick + repaint (mean of the slices, still clock), 2,000 objects",
        timing(document["TickSliceAndRepaint2000"]))
    for name, label in [("WindowSeconds2000", "no ledger"), ("WindowSecondsWithLedger2000", "the ledger writing (SQLite)")]:
        entry = document[name]
        extra = f", {entry['records_written'] / 1e3:.1f} k records written, {entry['records_dropped']:.0f} dropped" \
            if "records_written" in entry else ""
        row(f"Window, 130 s of an answering 2,000-object park, {label}: longest pause",
            f"{entry['longest_ms']:.2f} ms (thread CPU {entry['longest_cpu_ms']:.2f} ms; longest slice"
            f" {entry['longest_slice_ms']:.2f} ms, posted {entry['longest_posted_ms']:.2f} ms, repaint"
            f" {entry['longest_repaint_ms']:.2f} ms; means: once-a-second slice {entry['last_slice_mean_ms']:.2f} ms,"
            f" ledger feed's slices {entry['feed_slice_mean_ms']:.2f} ms,"
            f" repaint {entry['repaint_mean_ms']:.2f} ms{extra})", "<= 4 ms", verdict(entry["longest_ms"], 4))
    no_socket_frame = milliseconds(document["Tick2000WithoutSockets"], "real_time") + \
        milliseconds(document["LayoutAndRepaint2000"], "real_time")
    row("Tick (no sockets) + repaint, 2,000 objects", f"{no_socket_frame:.2f} ms", "< 8 ms",
        verdict(no_socket_frame, 8))
    row("Ledger: write throughput (mixed records, batched transactions, SQLite)",
        f"{ledger['WriteThroughput']['items_per_second'] / 1e3:.1f} k records/s")
    row("Ledger: queueing one record on the window's thread",
        f"{milliseconds(ledger['QueueRecord'], 'real_time') * 1000:.2f} us")
    find = milliseconds(ledger["FindSteamIdIn200000Sightings"], "real_time")
    row("Ledger: look-up of one SteamID among 200,000 sightings", f"{find:.2f} ms", "< 100 ms", verdict(find, 100))
    history = ledger["HistoryFoldADayOf200Objects"]
    row("Ledger: folding a day of player history of 200 objects into ten-minute rows", timing(history))
    row("Ledger: player history kept 30 days, per object (SQLite)",
        f"{history['KB_per_object_30_days']:.0f} KB (a day of minutes {history['minute_KB_per_object_day']:.1f} KB,"
        f" of ten-minute rows {history['span_KB_per_object_day']:.1f} KB)")
    if month:
        tables = ", ".join(f"{name[3:]} {month[name]:.0f} MB" for name in sorted(month)
                           if name.startswith("MB_") and month[name] >= 1)
        row("Ledger of a 200-object park after 30 simulated days (players churning, a match an hour per server)",
            f"{month['MB']:.0f} MB in use ({tables}; {month['records'] / 1e6:.1f} M records)", "< 200 MB",
            verdict(month["MB"], 200))
        row("Ledger: look-up of one SteamID in that month", f"{month['find_steam_id_ms']:.2f} ms", "< 100 ms",
            verdict(month["find_steam_id_ms"], 100))
    for name, label, target in [("Save10000", "Save 10,000 objects to a file", 100),
                                ("Open10000WithoutSockets", "Open 10,000 objects, no sockets", 100),
                                ("Open10000WithSockets", "Open 10,000 objects, every socket connected", None),
                                ("Open20000GroupsAnd20000Objects",
                                 "Open 20,000 groups and 20,000 objects, channels opened", None),
                                ("Open100000ObjectsIn20000Groups",
                                 "Open 100,000 objects in 20,000 groups, channels opened", 2000)]:
        entry = layout[name]
        if target is None:
            row(label, timing(entry))
        else:
            row(label, timing(entry), f"< {target} ms", verdict(milliseconds(entry, "real_time"), target))
    listed = machines["MachinesList2000"]
    row("Machines list of 2,000 objects, changing every second: one step + repaint (mean)",
        f"{milliseconds(listed, 'real_time'):.2f} ms")
    row("Machines list of 2,000 objects, changing every second: longest pause", f"{listed['longest_ms']:.2f} ms",
        "<= 4 ms", verdict(listed["longest_ms"], 4))
    sent = send_to_many["SendTo200Machines"]
    row("Send to 200 machines (simulated park): seconds of ticks until every row has its answer",
        f"{sent['fill_seconds']:.0f} s ({sent['answered_rows']:.0f} rows answered)", "<= 6 s (one poll cycle)",
        verdict(sent["fill_seconds"], 6) if sent["fill_seconds"] >= 0 else "NOT met")
    row("Send to 200 machines: the window's longest pause (its thread's CPU time)",
        f"{sent['longest_cpu_ms']:.2f} ms", "<= 4 ms", verdict(sent["longest_cpu_ms"], 4))
    row("Send to 200 machines: the window's longest pause (wall clock, with whatever else the machine runs)",
        f"{sent['longest_ms']:.2f} ms", "<= 4 ms", verdict(sent["longest_ms"], 4))
    memory = document["MemoryPerGameServer"]["bytes_per_server"]
    row("Heap per game server: channel, 32 players, full console log", f"{memory / 1024:.1f} KB", "< 16 KB",
        verdict(memory, 16 * 1024))
    headless_stream = feeds["MemoryPerLogStreamHeadless"]["bytes_per_server"]
    row("Heap per game server with a busy log stream (300 events), headless", f"{headless_stream / 1024:.2f} KB",
        "< 4 KB", verdict(headless_stream, 4 * 1024))
    window_stream = feeds["MemoryPerLogStreamWindow"]["bytes_per_server"]
    row("Heap per game server with a busy log stream (300 events), window (Live page rings)",
        f"{window_stream / 1024:.1f} KB")

    if park:
        ours, hls, a2s = park["quorvane"], park["qstat"]["hls"], park["qstat"]["a2s"]
        n, seconds = park["servers"], park["seconds"]
        row(f"Park of {n} servers, {seconds} s: quorvane --headless CPU",
            f"{ours['cpu_seconds']:.2f} s for {ours['polls']} polls = {ours['cpu_us_per_poll']:.1f} us/poll"
            f" ({ours['answered']} answering)")
        for mode, theirs in (("hls", hls), ("a2s", a2s)):
            row(f"Park of {n} servers, {seconds} s: qstat -{mode} CPU",
                f"{theirs['cpu_seconds']:.2f} s for {theirs['polls']} polls = "
                f"{theirs['cpu_us_per_poll']:.1f} us/poll ({theirs['answered']} answering)")
        ratio = park["cpu_ratio_to_qstat_hls"]
        row("CPU per server poll, quorvane vs qstat -hls (its cheapest mode)",
            f"{ours['cpu_us_per_poll']:.1f} vs {hls['cpu_us_per_poll']:.1f} us = {ratio:.2f}x"
            f" (qstat -a2s {a2s['cpu_us_per_poll']:.1f} us)", "<= 0.6x", verdict(ratio, 0.6))
        known = ours["queries_per_server_per_cycle_known"]
        row("Queries per server per cycle, counted by the park (rcon excluded)",
            f"{known} once dialects are known ({ours['queries_per_server_per_cycle']} over the whole run;"
            f" qstat -hls {hls['queries_per_server_per_cycle']}, -a2s {a2s['queries_per_server_per_cycle']})",
            "<= 2.3", verdict(known, 2.3) if known is not None else "")
        row(f"Peak memory, quorvane --headless with {n} servers", f"{ours['peak_rss_kb'] / 1024:.1f} MB")
        row("Memory per monitored server (peak RSS over baseline)",
            f"{park['memory_per_server_bytes'] / 1024:.1f} KB", "<= 4 KB",
            verdict(park["memory_per_server_bytes"], 4 * 1024))

    print(f"Machine: {machine_line()}")
    print()
    print("| Measure | Result | Target | |")
    print("|---|---|---|---|")
    for measure, result, target, status in rows:
        print(f"| {measure} | {result} | {target} | {status} |")


if __name__ == "__main__":
    main()
