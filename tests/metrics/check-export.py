#!/usr/bin/env python3
"""Hollin's metrics export against the real tools: Hollin runs headless with the export switched
on; promtool checks the file it writes; prometheus-node-exporter serves it through its textfile
collector; a Prometheus on the loopback address scrapes that, loads the example alert rules and
answers a query for the shown level. Every wait has a deadline and everything started is stopped.

    check-export.py HOLLIN SOURCE_DIR     (exit 0 passed, 1 failed, 77 a tool is missing)
"""
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

hollin, source = sys.argv[1], sys.argv[2]
rules = os.path.abspath(os.path.join(source, "docs/prometheus/hollin-alerts.yml"))
tools = {name: shutil.which(name) for name in ("promtool", "prometheus", "prometheus-node-exporter")}
if not all(tools.values()):
    print("skipped: missing " + ", ".join(name for name, path in tools.items() if not path))
    sys.exit(77)

started = []
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def start(command, environment=None, log=None):
    process = subprocess.Popen(command, env=environment, stdout=log or subprocess.DEVNULL,
                               stderr=subprocess.STDOUT if log else subprocess.DEVNULL)
    started.append(process)
    return process


def until(what, seconds, probe):
    """probe() until it gives something true; None after the deadline."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = probe()
            if value:
                return value
        except OSError:
            pass  # not listening yet
        time.sleep(0.2)
    check(False, f"{what} within {seconds} s")
    return None


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def get(url):
    with urllib.request.urlopen(url, timeout=5) as answer:
        return answer.read().decode()


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            return process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
    return process.wait()


with tempfile.TemporaryDirectory(prefix="hollin-metrics-") as work:
    try:
        collector = os.path.join(work, "textfile")
        home = os.path.join(work, "home")
        for folder in (collector, os.path.join(home, "config/Hollin"), os.path.join(home, "run")):
            os.makedirs(folder, mode=0o700)
        with open(os.path.join(home, "config/Hollin/Hollin.ini"), "w") as settings:
            settings.write(f"[General]\nmetricsTextfileFolder={collector}\n")
        environment = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        environment.update(HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
                           XDG_RUNTIME_DIR=home + "/run")
        with open(os.path.join(work, "hollin.log"), "w") as log:
            app = start([hollin], environment, log)
        written = os.path.join(collector, f"hollin-{os.getuid()}.prom")
        if until("Hollin writes " + written, 30, lambda: os.path.exists(written)):
            with open(written, "rb") as file:
                text = file.read()
            lint = subprocess.run([tools["promtool"], "check", "metrics"], input=text, capture_output=True, timeout=30)
            check(lint.returncode == 0, "promtool check metrics: " + (lint.stdout + lint.stderr).decode().strip())
            check(b"\nhollin_shown_level{uid=" in text, "the file holds the shown level")
            check(os.stat(written).st_mode & 0o777 == 0o644, "the file is readable by the collector's account")
        lint = subprocess.run([tools["promtool"], "check", "rules", rules], capture_output=True, timeout=30)
        check(lint.returncode == 0, "promtool check rules on the example alert rules")

        exporter_port, prometheus_port = free_port(), free_port()
        start([tools["prometheus-node-exporter"], f"--web.listen-address=127.0.0.1:{exporter_port}",
               "--collector.disable-defaults", "--collector.textfile",
               f"--collector.textfile.directory={collector}"])
        served = until("node_exporter serves Hollin's metrics", 20,
                       lambda: "hollin_shown_level{" in (page := get(f"http://127.0.0.1:{exporter_port}/metrics")) and page)
        if served:
            check("node_textfile_scrape_error 0" in served, "the textfile collector read every file without an error")

        config = os.path.join(work, "prometheus.yml")
        with open(config, "w") as file:
            file.write(f"global: {{scrape_interval: 1s, evaluation_interval: 1s}}\nrule_files: ['{rules}']\n"
                       f"scrape_configs:\n  - job_name: machines\n"
                       f"    static_configs: [{{targets: ['127.0.0.1:{exporter_port}']}}]\n")
        start([tools["prometheus"], f"--config.file={config}", f"--storage.tsdb.path={work}/tsdb",
               f"--web.listen-address=127.0.0.1:{prometheus_port}"], log=open(os.path.join(work, "prometheus.log"), "w"))
        query = urllib.parse.urlencode({"query": f'hollin_shown_level{{uid="{os.getuid()}"}}'})
        result = until("Prometheus answers a query for the shown level", 40, lambda: json.loads(
            get(f"http://127.0.0.1:{prometheus_port}/api/v1/query?{query}"))["data"]["result"])
        if result:
            check(result[0]["value"][1] in ("0", "1", "2", "3"), f"the shown level is one of 0–3: {result[0]['value'][1]}")
            check(result[0]["metric"].get("job") == "machines", "it came through the scrape")

        def evaluated():
            groups = json.loads(get(f"http://127.0.0.1:{prometheus_port}/api/v1/rules"))["data"]["groups"]
            loaded = [rule for group in groups for rule in group["rules"]]
            return len(loaded) == 20 and all(rule["health"] != "unknown" for rule in loaded) and loaded
        loaded = until("Prometheus evaluates the 20 example alert rules", 20, evaluated)
        if loaded:
            check(all(rule["health"] == "ok" for rule in loaded), "every example alert rule evaluates without an error")

        check(stop(app) == 0, "Hollin ends cleanly on SIGTERM")
        check(not os.path.exists(written), "an ended Hollin leaves no frozen figures behind")
    finally:
        for process in started:
            stop(process)
        if failures:
            for name in ("hollin.log", "prometheus.log"):
                path = os.path.join(work, name)
                if os.path.exists(path):
                    print(f"--- {name}\n" + open(path, errors="replace").read()[-3000:])

sys.exit(1 if failures else 0)
