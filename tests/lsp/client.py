#!/usr/bin/env python3
"""A scripted client for `orven-cli lsp` over real pipes: the protocol's edges as bytes on
the wire (a message written a byte at a time, headers that are wrong or missing, a body over
the 64 MiB limit), exit statuses, UTF-8 position negotiation (which Neovim 0.7 cannot offer),
the advice in PHP and C++ documents as they are edited, hover, the code action, and the end
of the server with its client's process. On Windows (under Wine) the same, and the exact
bytes of the header show that standard input and output are binary.

usage: client.py [EMULATOR...] -- ORVEN_CLI
"""
import json
import os
import queue
import subprocess
import sys
import tempfile
import threading
import time

LIMIT = 64 << 20
TIMEOUT = 60


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


class Server:
    """One `orven-cli lsp` process and the messages it writes, read on a thread of their own."""

    def __init__(self, command):
        self.process = subprocess.Popen(command + ["lsp"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.messages = queue.Queue()
        self.raw_headers = []
        self.next_id = 0
        threading.Thread(target=self._read, daemon=True).start()
        self.stderr = b""
        threading.Thread(target=self._read_stderr, daemon=True).start()

    def _read(self):
        out = self.process.stdout
        while True:
            header = b""
            while not header.endswith(b"\r\n\r\n"):
                byte = out.read(1)
                if not byte:
                    self.messages.put(None)
                    return
                header += byte
            self.raw_headers.append(header)
            length = int(header.split(b":")[1].split(b"\r\n")[0])
            self.messages.put(json.loads(out.read(length)))

    def _read_stderr(self):
        self.stderr = self.process.stderr.read()

    def write(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send(self, message):
        body = json.dumps(message).encode()
        self.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def request(self, method, params, send=True):
        self.next_id += 1
        if send:
            self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        return self.response(self.next_id)

    def next_message(self):
        try:
            message = self.messages.get(timeout=TIMEOUT)
        except queue.Empty:
            raise Failure("the server said nothing for %d s" % TIMEOUT)
        check(message is not None, "the server ended its output")
        return message

    def response(self, request_id):
        while True:
            message = self.next_message()
            if message.get("id") == request_id and "method" not in message:
                return message

    def diagnostics(self, uri, version=None):
        """The next diagnostics published for uri (at that version)."""
        while True:
            message = self.next_message()
            if message.get("method") != "textDocument/publishDiagnostics":
                continue
            params = message["params"]
            if params["uri"] == uri and (version is None or params.get("version") == version):
                return params["diagnostics"]

    def initialize(self, encodings=None, process_id=None):
        capabilities = {}
        if encodings:
            capabilities = {"general": {"positionEncodings": encodings}}
        result = self.request("initialize", {"processId": process_id,
                                             "capabilities": capabilities})
        self.notify("initialized", {})
        return result["result"]

    def open(self, uri, text, language, version=1):
        self.notify("textDocument/didOpen", {"textDocument": {
            "uri": uri, "languageId": language, "version": version, "text": text}})

    def end(self):
        """Shutdown and exit; the exit status."""
        check("result" in self.request("shutdown", None), "shutdown failed")
        self.notify("exit", None)
        return self.wait()

    def wait(self, seconds=TIMEOUT):
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("the server did not end within %d s" % seconds)


def peak_memory_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def at(diagnostic):
    start = diagnostic["range"]["start"]
    end = diagnostic["range"]["end"]
    return (diagnostic["code"], start["line"], start["character"], end["line"], end["character"])


def test_lifecycle(command, uri_of):
    server = Server(command)
    early = server.request("textDocument/hover", {})
    check(early.get("error", {}).get("code") == -32002, "a request before initialize: %s" % early)
    capabilities = server.initialize()["capabilities"]
    check(capabilities["positionEncoding"] == "utf-16", "UTF-16 unless UTF-8 is offered")
    check(server.end() == 0, "shutdown then exit must end with 0")
    server = Server(command)
    server.initialize()
    server.notify("exit", None)
    check(server.wait() == 1, "exit without shutdown must end with 1")
    server = Server(command)
    server.initialize()
    server.process.stdin.close()
    check(server.wait() == 1, "the end of the input without shutdown must end with 1")
    # Its usage: an argument it does not know is exit 2 with the usage on standard error and
    # nothing on standard output (where a client would read it as the protocol); --help is
    # the help on standard output and 0, wherever it stands, and reads no input.
    usage = subprocess.run(command + ["lsp", "--tcp"], stdin=subprocess.DEVNULL,
                           capture_output=True)
    check(usage.returncode == 2 and b"orven-cli lsp" in usage.stderr and not usage.stdout,
          "lsp --tcp must be a usage error: %s" % (usage,))
    for args in (["--help"], ["--stdio", "-h"], ["--tcp", "--help"]):
        shown = subprocess.run(command + ["lsp"] + args, stdin=subprocess.PIPE,
                               capture_output=True, timeout=TIMEOUT)
        check(shown.returncode == 0 and not shown.stderr and
              shown.stdout.startswith(usage.stderr.split(b"\n")[0]) and
              b"--stdio" in shown.stdout,
              "lsp %s must show the help: %s" % (" ".join(args), shown))


def test_wire(command, uri_of, native):
    server = Server(command)
    # A message a byte at a time, with a Content-Type and raw CR LF inside its body (which a
    # text-mode input would shorten).
    body = b'{"jsonrpc":"2.0",\r\n"id":1,"method":"initialize","params":{"capabilities":{}}}'
    whole = b"Content-Length: %d\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\n" \
        % len(body) + body
    for i in range(len(whole)):
        server.write(whole[i:i + 1])
    check("result" in server.response(1), "initialize written a byte at a time")
    server.next_id = 1
    check(server.raw_headers[0] == b"Content-Length: %d\r\n\r\n"
          % int(server.raw_headers[0][16:-4]), "the header's bytes: %r" % server.raw_headers[0])
    # Wrong headers: each costs only its own message.
    server.write(b"Content-Type: x\r\n\r\n{}")
    server.write(b"Content-Length: nine\r\n\r\n")
    short = b'{"jsonrpc":"2.0","id":50,"method":"shutdown"}'
    server.write(b"Content-Length: 10\r\n\r\n" + short)
    hover = server.request("textDocument/hover",
                           {"textDocument": {"uri": uri_of("none.php")},
                            "position": {"line": 0, "character": 0}})
    check(hover.get("result", 1) is None, "the server after bad headers: %s" % hover)
    # Malformed JSON, an unknown method: the protocol's errors.
    server.write(b"Content-Length: 5\r\n\r\n{\"a\":")
    check(server.next_message()["error"]["code"] == -32700, "malformed JSON: parse error")
    check(server.request("textDocument/rename", {})["error"]["code"] == -32601,
          "an unknown method")
    # A body over the limit: refused by its id, its bytes skipped, the next message read.
    head = b'{"jsonrpc":"2.0","id":77,"method":"textDocument/hover","params":{"x":"'
    size = LIMIT + 1
    server.write(b"Content-Length: %d\r\n\r\n" % size + head)
    chunk = b"a" * (1 << 20)
    left = size - len(head) - 3
    while left > 0:
        server.write(chunk[:min(left, len(chunk))])
        left -= len(chunk)
    server.write(b'"}}')
    refused = server.response(77)
    check(refused.get("error", {}).get("code") == -32600, "over the limit: %s" % refused)
    check(server.request("textDocument/hover", {"textDocument": {"uri": uri_of("x.php")},
                                                "position": {"line": 0, "character": 0}})
          .get("result", 1) is None, "the server after a refused message")
    if native:
        peak = peak_memory_kib(server.process.pid)
        check(peak < 40 * 1024, "a refused 64 MiB message took %d KiB" % peak)
    check(server.end() == 0, "exit status after the edges")


def test_documents(command, uri_of):
    server = Server(command)
    server.initialize()
    php = uri_of("page.php")
    server.open(php, "<?php\n// Привет\n$r = mysql_query($q);\n", "php")
    found = [at(d) for d in server.diagnostics(php, 1)]
    check(("W03", 2, 5, 2, 16) in found, "mysql_query in PHP: %s" % found)
    # An incremental edit moves it, another takes it away.
    server.notify("textDocument/didChange", {
        "textDocument": {"uri": php, "version": 2},
        "contentChanges": [{"range": {"start": {"line": 2, "character": 0},
                                      "end": {"line": 2, "character": 0}}, "text": "\n  "}]})
    found = [at(d) for d in server.diagnostics(php, 2)]
    check(("W03", 3, 7, 3, 18) in found, "after the edit: %s" % found)
    server.notify("textDocument/didChange", {
        "textDocument": {"uri": php, "version": 3},
        "contentChanges": [{"text": "<?php\n$r = 1;\n"}]})
    check(server.diagnostics(php, 3) == [], "the keyword removed")
    cpp = uri_of("main.cpp")
    server.open(cpp, "#include <windows.h>\nint f() { MessageBox(0, \"я\", 0, 0); }\n", "cpp")
    diagnostics = server.diagnostics(cpp, 1)
    found = [at(d) for d in diagnostics]
    check(("C06", 1, 10, 1, 20) in found, "MessageBox in C++: %s" % found)
    check(all(d["source"] == "orven" and d["severity"] == 3 for d in diagnostics),
          "source and severity")
    hover = server.request("textDocument/hover", {"textDocument": {"uri": cpp},
                                                  "position": {"line": 1, "character": 12}})
    check("C06" in hover["result"]["contents"]["value"], "hover on MessageBox: %s" % hover)
    actions = server.request("textDocument/codeAction", {
        "textDocument": {"uri": cpp},
        "range": {"start": {"line": 1, "character": 12}, "end": {"line": 1, "character": 12}},
        "context": {"diagnostics": diagnostics}})["result"]
    edits = [a["edit"]["changes"][cpp][0]["newText"] for a in actions]
    check(" // orven-disable-line C06" in edits, "the code action's edit: %s" % edits)
    server.notify("textDocument/didClose", {"textDocument": {"uri": cpp}})
    check(server.diagnostics(cpp) == [], "close clears the diagnostics")
    check(server.end() == 0, "exit status")


def test_utf8(command, uri_of):
    server = Server(command)
    capabilities = server.initialize(encodings=["utf-16", "utf-8"])["capabilities"]
    check(capabilities["positionEncoding"] == "utf-8", "UTF-8 where the client offers it")
    uri = uri_of("u.php")
    server.open(uri, "<?php $я😀 = mysql_query();\n", "php")
    found = [at(d) for d in server.diagnostics(uri, 1)]
    # "<?php $" is 7 bytes, "я" 2, "😀" 4, " = " 3: the keyword starts at byte 16.
    check(("W03", 0, 16, 0, 27) in found, "UTF-8 columns: %s" % found)
    server.notify("textDocument/didChange", {
        "textDocument": {"uri": uri, "version": 2},
        "contentChanges": [{"range": {"start": {"line": 0, "character": 9},
                                      "end": {"line": 0, "character": 13}}, "text": ""}]})
    found = [at(d) for d in server.diagnostics(uri, 2)]
    check(("W03", 0, 12, 0, 23) in found, "after deleting 😀 by bytes: %s" % found)
    check(server.end() == 0, "exit status")


def test_client_process(command):
    client = subprocess.Popen(["sleep", "60"])
    server = Server(command)
    server.initialize(process_id=client.pid)
    client.kill()
    client.wait()
    status = server.wait(10)
    check(status == 1, "the server must end with its client's process (status %s)" % status)


def main():
    args = sys.argv[1:]
    split = args.index("--")
    emulator, server = args[:split], args[split + 1:]
    command = emulator + server
    native = not emulator
    folder = tempfile.mkdtemp()

    def uri_of(name):
        path = os.path.join(folder, name)
        return "file://" + path if native else "file:///Z:" + path

    tests = [("lifecycle", lambda: test_lifecycle(command, uri_of)),
             ("wire", lambda: test_wire(command, uri_of, native)),
             ("documents", lambda: test_documents(command, uri_of)),
             ("utf8", lambda: test_utf8(command, uri_of))]
    if native:
        # Under Wine the client's Linux process id names no Windows process.
        tests.append(("client process", lambda: test_client_process(command)))
    failed = 0
    for name, test in tests:
        started = time.monotonic()
        try:
            test()
            print("ok   %s (%.1f s)" % (name, time.monotonic() - started))
        except Failure as failure:
            failed += 1
            print("FAIL %s: %s" % (name, failure))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
