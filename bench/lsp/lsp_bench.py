#!/usr/bin/env python3
"""The language server's latency and memory, measured as an editor meets them.

- didChange to publishDiagnostics for a 10,000-line PHP file (and the same for C++): one
  small incremental edit at a time, each timed from the write of its didChange to the read
  of the diagnostics of its version; median, 99th percentile and worst.
- The floor: a request the server answers without scanning (a code action on a document it
  does not know), timed the same way: the pipes and this client's own cost.
- The references, in the same run on the same texts: the scan alone (document_hits in one
  process, bench_lsp_scan), which the server adds its text, positions and message to, and
  what an editor pays without the server: one `orven-cli training --format gnu` run of the
  file per check.
- A burst: 200 edits written at once, timed to the diagnostics of the last version, with
  the number of publishes the burst cost (coalescing).
- Memory: 100 such documents open at once, the server's resident and peak memory against
  their text.

usage: lsp_bench.py ORVEN_CLI BENCH_LSP_SCAN [EDITS]
"""
import json
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

LINES = 10000


def php_source(seed):
    rng = random.Random(seed)
    lines = ["<?php"]
    plain = ["$total = $total + $i * 2;", "foreach ($items as $item) {", "}",
             "$name = trim($row['name']);", "// a comment about the loop", "return $total;",
             "function sum_%d($a, $b) {", "echo htmlspecialchars($name);"]
    advised = ["$r = mysql_query($query);", "$id = $_GET['id'];", "if ($a > $b) {",
               "$data = file_get_contents($path);", "mail($to, $subject, $body);"]
    while len(lines) < LINES:
        line = rng.choice(advised) if rng.random() < 0.05 else rng.choice(plain)
        lines.append(line.replace("%d", str(len(lines))))
    return "\n".join(lines) + "\n"


def cpp_source(seed):
    rng = random.Random(seed)
    lines = ["#include <windows.h>", "#include <vector>"]
    plain = ["int total = 0;", "total += values[i] * 2;", "}", "static int helper_%d(int a) {",
             "// a comment about the loop", "return total;", "const auto n = values.size();"]
    advised = ["MessageBox(hwnd, text, caption, MB_OK);", "for (int i = 0; i < n; ++i) {",
               "FILE* f = fopen(name, \"rb\");", "printf(\"%d\\n\", total);"]
    while len(lines) < LINES:
        line = rng.choice(advised) if rng.random() < 0.05 else rng.choice(plain)
        lines.append(line.replace("%d", str(len(lines))))
    return "\n".join(lines) + "\n"


class Server:
    def __init__(self, cli):
        self.process = subprocess.Popen([cli, "lsp"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE)
        self.out = self.process.stdout
        self.next_id = 0

    def send(self, message):
        body = json.dumps(message).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def read_body(self):
        length = 0
        while True:
            line = self.out.readline()
            if not line:
                raise SystemExit("the server ended")
            if line == b"\r\n":
                break
            if line.lower().startswith(b"content-length:"):
                length = int(line.split(b":")[1])
        return self.out.read(length)

    def until(self, *markers):
        """Reads messages until one holds all the marker bytes; how many publishes came."""
        publishes = 0
        while True:
            body = self.read_body()
            if b"publishDiagnostics" in body:
                publishes += 1
            if all(marker in body for marker in markers):
                return body, publishes

    def request(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        return self.until(b'"id":%d,' % self.next_id)[0]


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(share * (len(ordered) - 1))))]


def memory_kib(pid, field):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def edit(uri, version, line):
    return {"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {
        "textDocument": {"uri": uri, "version": version},
        "contentChanges": [{"range": {"start": {"line": line, "character": 0},
                                      "end": {"line": line, "character": 0}}, "text": " "}]}}


def published(version):
    # The server writes the params' version last.
    return b'"version":%d}}' % version


def latency(server, uri, language, text, edits, rng):
    server.send({"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {"textDocument": {
        "uri": uri, "languageId": language, "version": 1, "text": text}}})
    body, _ = server.until(published(1))
    count = json.loads(body)["params"]["diagnostics"]
    times = []
    cpu = cpu_ms(server.process.pid)
    for version in range(2, edits + 2):
        started = time.perf_counter()
        server.send(edit(uri, version, rng.randrange(LINES)))
        server.until(published(version))
        times.append((time.perf_counter() - started) * 1000)
    return times, len(count), (cpu_ms(server.process.pid) - cpu) / edits


def cpu_ms(pid):
    """The CPU time a process has used (user and system), which a busy machine cannot
    stretch as it does the wall time."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")


ROW = "%-50s %8.3f %8.3f %8.3f %8s %8s %12s"


def row(what, times, cpu="", size="", count=""):
    print(ROW % (what, statistics.median(times), percentile(times, 0.99), max(times), cpu, size,
                 count))


def references(cli, scan, folder, name, text, edits):
    """The scan alone and a whole orven-cli run, on the text as a file of that name."""
    path = os.path.join(folder, name)
    with open(path, "wb") as out:
        out.write(text.encode())
    lines = subprocess.run([scan, path, name, str(edits)], check=True, capture_output=True,
                           text=True).stdout.split("\n")
    alone = [float(line.split()[0]) for line in lines[1:] if line]
    runs = []
    for _ in range(max(1, edits // 10)):
        started = time.perf_counter()
        subprocess.run([cli, "training", "--format", "gnu", path], stdout=subprocess.DEVNULL,
                       check=True)
        runs.append((time.perf_counter() - started) * 1000)
    return alone, int(lines[0]), runs


def main():
    cli, scan = sys.argv[1], sys.argv[2]
    edits = int(sys.argv[3]) if len(sys.argv) > 3 else 500
    folder = tempfile.mkdtemp()
    rng = random.Random(28)
    server = Server(cli)
    server.request("initialize", {"processId": os.getpid(), "capabilities": {}})
    server.send({"jsonrpc": "2.0", "method": "initialized", "params": {}})

    floor = []
    for _ in range(edits):
        started = time.perf_counter()
        server.request("textDocument/codeAction", {
            "textDocument": {"uri": "file:///none.php"},
            "range": {"start": {"line": 0, "character": 0}, "end": {"line": 0, "character": 0}},
            "context": {"diagnostics": []}})
        floor.append((time.perf_counter() - started) * 1000)

    print("didChange -> publishDiagnostics, %d edits each, one at a time, beside the scan "
          "alone (%d scans) and a whole orven-cli run per check (%d runs) of the same text (ms):"
          % (edits, edits, max(1, edits // 10)))
    print("%-50s %8s %8s %8s %8s %8s %12s" % ("", "median", "p99", "worst", "CPU/edit",
                                               "bytes", "diagnostics"))
    row("floor (a request answered without a scan)", floor)
    for name, language, text in (("php", "php", php_source(1)), ("cpp", "cpp", cpp_source(2))):
        uri = "file:///bench/latency.%s" % name
        times, count, cpu = latency(server, uri, language, text, edits, rng)
        alone, hits, runs = references(cli, scan, folder, "latency." + name, text, edits)
        what = "%s, %d lines: " % (name, LINES)
        row(what + "didChange -> publish", times, "%.3f" % cpu, len(text.encode()), count)
        row(what + "the scan alone", alone, count=hits)
        row(what + "orven-cli training --format gnu", runs)

    # A burst: the edits written at once, the last one's diagnostics awaited.
    uri = "file:///bench/latency.php"
    first = edits + 2
    burst = 200
    started = time.perf_counter()
    for version in range(first, first + burst):
        server.send(edit(uri, version, rng.randrange(LINES)))
    _, publishes = server.until(published(first + burst - 1))
    print("burst of %d edits: %.1f ms to the last version's diagnostics, %d publishes"
          % (burst, (time.perf_counter() - started) * 1000, publishes))

    # 100 documents open at once.
    before = memory_kib(server.process.pid, "VmRSS")
    total = 0
    for n in range(100):
        text = php_source(100 + n) if n % 2 else cpp_source(100 + n)
        total += len(text.encode())
        uri = "file:///bench/open%d.%s" % (n, "php" if n % 2 else "cpp")
        server.send({"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {
            "textDocument": {"uri": uri, "languageId": "php" if n % 2 else "cpp", "version": 1,
                             "text": text}}})
        server.until(b'"uri":"%s"' % uri.encode(), published(1))
    rss = memory_kib(server.process.pid, "VmRSS")
    peak = memory_kib(server.process.pid, "VmHWM")
    print("100 open documents of %d lines, %.1f MiB of text: resident %.1f MiB (%.1f MiB "
          "before them), peak %.1f MiB" % (LINES, total / 2**20, rss / 1024, before / 1024,
                                          peak / 1024))
    server.request("shutdown", None)
    server.send({"jsonrpc": "2.0", "method": "exit"})
    server.process.wait()
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    os.rmdir(folder)


if __name__ == "__main__":
    main()
