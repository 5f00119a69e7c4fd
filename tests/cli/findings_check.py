#!/usr/bin/python3
"""The machine formats of orven-cli training against their contracts, on a project of
several files (UTF-8, windows-1251, CR LF, an empty file, a keyword across two files, a pipe
that is skipped): the JSON output against app/findings.schema.json; the SARIF log against
what GitHub code scanning needs; and the three formats telling the same findings.

usage: findings_check.py ORVEN_CLI SOURCE_ROOT [SARIF_VALIDATOR]
With SARIF_VALIDATOR (the Sarif.Multitool binary) the SARIF logs also go through
`validate`, which must report no error."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

import jsonschema

cli, root = os.path.realpath(sys.argv[1]), os.path.realpath(sys.argv[2])
validator = sys.argv[3] if len(sys.argv) > 3 else None
failures = []


def check(what, ok):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def run(cwd, *args):
    p = subprocess.run([cli, "training", *args], cwd=cwd, capture_output=True)
    return p.returncode, p.stdout, p.stderr


work = tempfile.mkdtemp()
project = os.path.join(work, "project")
os.makedirs(os.path.join(project, "src", "sub"))
shutil.copy(os.path.join(root, "samples", "guestbook.php"), os.path.join(project, "src", "a.php"))
with open(os.path.join(project, "src", "b.cpp"), "wb") as f:
    f.write("// Ко 😀 MessageBox\r\n#inc".encode("utf-8"))
with open(os.path.join(project, "src", "c.cpp"), "wb") as f:
    f.write("lude <stdio.h>\r\n  MessageBox(0);\n".encode("utf-8"))
with open(os.path.join(project, "src", "sub", "d.h"), "wb") as f:
    f.write("Привет fopen\n".encode("cp1251"))
open(os.path.join(project, "src", "sub", "empty.h"), "wb").close()
os.mkfifo(os.path.join(project, "src", "sub", "pipe.php"))

schema = json.load(open(os.path.join(root, "app", "findings.schema.json"), encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(schema)
validate = jsonschema.Draft202012Validator(schema)

inputs = [["src"], ["src/b.cpp", "src/c.cpp"], ["src/a.php"], ["src/sub/empty.h"]]
for args in inputs:
    name = " ".join(args)
    status, out, err = run(project, "--format", "json", *args)
    check(f"{name}: json exits 0", status == 0)
    doc = json.loads(out.decode("utf-8"))
    errors = sorted(validate.iter_errors(doc), key=str)
    for e in errors:
        print("schema:", e.message, list(e.absolute_path))
    check(f"{name}: the JSON meets its schema", not errors)
    check(f"{name}: no file written", sorted(os.listdir(project)) == ["src"])

    status, gnu, _ = run(project, "--format", "gnu", *args)
    lines = gnu.decode("utf-8").splitlines()
    check(f"{name}: one gnu line per finding", len(lines) == len(doc["findings"]))
    for line, finding in zip(lines, doc["findings"]):
        if finding["keyword"] is None:
            want = f"orven-cli: note: {finding['advice']} [{finding['id']}]"
        else:
            want = (f"{finding['file']}:{finding['line']}:{finding['column']}: note: "
                    f"{finding['advice']} [{finding['id']}]")
        check(f"{name}: gnu line {want!r}", line == want)

    status, out, _ = run(project, "--format", "sarif", *args)
    log = json.loads(out.decode("utf-8"))
    sarif_path = os.path.join(work, f"run{inputs.index(args)}.sarif")
    with open(sarif_path, "wb") as f:
        f.write(out)
    # What code scanning needs: rules under tool.driver.rules, a ruleId on every result, a
    # location with a relative URI under a uriBaseId and a region that starts on a line.
    r = log["runs"][0]
    rules = r["tool"]["driver"]["rules"]
    check(f"{name}: all 68 rules", [x["id"] for x in rules] ==
          [f"W{i:02}" for i in range(1, 29)] + [f"C{i:02}" for i in range(1, 41)])
    check(f"{name}: the root is the current folder",
          r["originalUriBaseIds"]["%SRCROOT%"]["uri"] == "file://" + project + "/")
    check(f"{name}: columns in UTF-16 code units", r["columnKind"] == "utf16CodeUnits")
    check(f"{name}: one result per finding", [x["ruleId"] for x in r["results"]] ==
          [x["id"] for x in doc["findings"]])
    for result, finding in zip(r["results"], doc["findings"]):
        loc = result["locations"][0]["physicalLocation"]
        check(f"{name}: {finding['id']} has a relative URI under %SRCROOT%",
              loc["artifactLocation"].get("uriBaseId") == "%SRCROOT%" and
              not loc["artifactLocation"]["uri"].startswith("/"))
        check(f"{name}: {finding['id']} has a region", loc["region"]["startLine"] >= 1)
        check(f"{name}: {finding['id']} rule index", rules[result["ruleIndex"]]["id"] == result["ruleId"])
        if finding["keyword"] is not None:
            check(f"{name}: {finding['id']} place as in the JSON",
                  (loc["artifactLocation"]["uri"], loc["region"]["startLine"],
                   loc["region"]["startColumn"], result["properties"]["count"]) ==
                  (finding["file"], finding["line"], finding["column"], finding["count"]))
    skipped = [n["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
               for n in r["invocations"][0].get("toolExecutionNotifications", [])]
    check(f"{name}: skipped inputs as notifications", skipped == [s["file"] for s in doc["skipped"]])
    check(f"{name}: the invocation's exit code", r["invocations"][0]["exitCode"] == 0)

    if validator:
        p = subprocess.run([validator, "validate", sarif_path], capture_output=True, text=True)
        print(p.stdout.strip())
        check(f"{name}: sarif-multitool validate succeeds", p.returncode == 0)
        check(f"{name}: sarif-multitool reports no error",
              not re.search(r"\berror\b", p.stdout + p.stderr, re.IGNORECASE))

# The project as a whole, matched as text: places across the files, the skipped pipe, both
# code pages.
status, out, err = run(project, "--format", "json", "--match", "text", "src")
doc = json.loads(out.decode("utf-8"))
check("the pipe is skipped", doc["skipped"] == [{"file": "src/sub/pipe.php", "reason": "not_regular"}])
check("the pipe's note is on stderr", b"pipe.php" in err)
gate = doc["gates"]["cpp"]
check("#include runs from b.cpp into c.cpp",
      (gate["keyword"], gate["file"], gate["line"], gate["column"], gate["endFile"],
       gate["endLine"], gate["endColumn"]) == ("#include", "src/b.cpp", 2, 1, "src/c.cpp", 1, 4))
web = {f["id"]: f for f in doc["findings"] if f["section"] == "web"}
fopen = web["W01"]
check("fopen is first found in a.php", fopen["file"] == "src/a.php" and fopen["count"] == 2)
status, out, _ = run(project, "--format", "json", "--match=text", "src/sub/d.h", "src/b.cpp",
                     "src/c.cpp")
doc = json.loads(out.decode("utf-8"))
cpp = {f["id"]: f for f in doc["findings"]}
check("a windows-1251 file counts bytes", cpp.get("C02", {}).get("column") == 8)
check("a UTF-8 file counts UTF-16 code units",
      (cpp.get("C06", {}).get("file"), cpp.get("C06", {}).get("column")) == ("src/b.cpp", 10))

# Matched in code (the default): MessageBox in b.cpp's comment does not count, the one in
# c.cpp does; #include cut by the files' edge is no gate, yet C++ files open their section,
# and a rule without keywords points at the first of them.
status, out, _ = run(project, "--format", "json", "src/b.cpp", "src/c.cpp")
doc = json.loads(out.decode("utf-8"))
check("code is the machine formats' default",
      out == run(project, "--format", "json", "--match", "code", "src/b.cpp", "src/c.cpp")[1])
cpp = {f["id"]: f for f in doc["findings"]}
check("in code, MessageBox where it is code", (cpp.get("C06", {}).get("file"),
      cpp.get("C06", {}).get("line"), cpp.get("C06", {}).get("count")) == ("src/c.cpp", 2, 1))
check("in code, no gate over two files", doc["gates"]["cpp"] is None)
# JavaScript alone opens the web section in code: its rules without keywords point at it.
with open(os.path.join(project, "app.js"), "wb") as f:
    f.write(b"// <?php\nlet s = '</body';\n")
status, out, _ = run(project, "--format", "sarif", "app.js")
results = json.loads(out.decode("utf-8"))["runs"][0]["results"]
keywordless = [r for r in results if r["properties"].get("placeOf") == "file"]
check("in code, a rule without keywords points at the first web file", len(keywordless) == 4 and all(
    r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"] == "app.js"
    for r in keywordless))
status, out, _ = run(project, "--format", "json", "--match", "text", "app.js")
check("as text, the gate in the comment opens the section",
      json.loads(out.decode("utf-8"))["gates"]["web"]["keyword"] == "<?php")
for args, want in [(["--match", "code"], 2), (["--match", "text"], 0), (["--match", "words"], 2),
                   (["--format", "html", "--match=code"], 2), (["--match"], 2)]:
    status, _, err = run(project, *args, "src/c.cpp")
    check(f"{' '.join(args)} exits {want}", status == want)
shutil.rmtree(work)
if failures:
    print(len(failures), "check(s) failed")
    sys.exit(1)
print("findings formats: all checks passed")
