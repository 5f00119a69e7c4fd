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
import urllib.parse

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


# The notes the validator may leave at every level: what needs more than we have. A reachable
# help URI and the schema's (no network here), version-control provenance (we are not told
# the revision), and the source text around a place or between a keyword's characters (the
# scan reads each byte once and keeps no text).
ALLOWED_NOTES = {"SARIF2003", "SARIF2006", "SARIF2010", "SARIF2011", "SARIF2012"}


def sarif_validate(sarif_path, name):
    if not validator:
        return
    p = subprocess.run([validator, "validate", sarif_path], capture_output=True, text=True)
    print(p.stdout.strip())
    check(f"{name}: sarif-multitool validate succeeds", p.returncode == 0)
    check(f"{name}: sarif-multitool reports no error",
          not re.search(r"\berror\b", p.stdout + p.stderr, re.IGNORECASE))
    p = subprocess.run([validator, "validate", "--level", "Error;Warning;Note", sarif_path],
                       capture_output=True, text=True)
    found = re.findall(r": (error|warning|note) (SARIF\d+): (.*)", p.stdout)
    check(f"{name}: at every level only notes",
          all(level == "note" for level, _, _ in found))
    check(f"{name}: only the notes that need what we do not have",
          {rule for _, rule, _ in found} <= ALLOWED_NOTES)
    check(f"{name}: every rule is complete but for its help URI",
          all("help URI" in text for _, rule, text in found if rule == "SARIF2012"))
    for _, rule, text in found:
        if rule not in ALLOWED_NOTES or (rule == "SARIF2012" and "help URI" not in text):
            print("  unexpected:", rule, text)


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

    sarif_validate(sarif_path, name)

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
def run_in(cwd, *args, stdin=None):
    p = subprocess.run([cli, *args], cwd=cwd, capture_output=True, input=stdin)
    return p.returncode, p.stdout, p.stderr


# --list-rules --format json against its schema, named as SARIF names the rules.
rules_schema = json.load(open(os.path.join(root, "app", "rules.schema.json"), encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(rules_schema)
status, out, _ = run_in(work, "--list-rules", "--format", "json")
listed = json.loads(out.decode("utf-8"))
errors = list(jsonschema.Draft202012Validator(rules_schema).iter_errors(listed))
for e in errors:
    print("rules schema:", e.message, list(e.absolute_path))
check("the rules list meets its schema", status == 0 and not errors)
check("the rules list names the rules as SARIF does",
      [(x["id"], x["name"]) for x in listed["rules"]] ==
      [(x["id"], x["name"]) for x in log["runs"][0]["tool"]["driver"]["rules"]])

# Names that cannot be written plainly: every format names the same file, JSON keeps its
# bytes beside its display form, and the gnu line puts it where editors do not read a place.
names = os.path.join(work, "names")
os.makedirs(os.path.join(names, "src"))
odd = b"src/\xcf\xf0 e.c:1:2: \"q\"\t\\x.php"
with open(os.path.join(os.fsencode(names), odd), "wb") as f:
    f.write(b"<?php fopen($f);\n")
status, out, _ = run_in(names, "training", "--format", "json", "src")
doc = json.loads(out.decode("utf-8"))
errors = list(jsonschema.Draft202012Validator(schema).iter_errors(doc))
check("odd names: the JSON meets its schema", not errors)
w01 = [x for x in doc["findings"] if x["id"] == "W01"][0]
check("odd names: JSON keeps the bytes", urllib.parse.unquote_to_bytes(w01["fileBytes"]) == odd)
check("odd names: JSON's display form is escaped",
      w01["file"] == "src/\\xCF\\xF0 e.c\\x3A1\\x3A2\\x3A \\x22q\\x22\\x09\\\\x.php")
status, out, _ = run_in(names, "training", "--format", "sarif", "src")
sarif_path = os.path.join(work, "names.sarif")
with open(sarif_path, "wb") as f:
    f.write(out)
log = json.loads(out.decode("utf-8"))
uri = [x for x in log["runs"][0]["results"] if x["ruleId"] == "W01"][0]["locations"][0][
    "physicalLocation"]["artifactLocation"]["uri"]
check("odd names: SARIF's URI names the same bytes", urllib.parse.unquote_to_bytes(uri) == odd)
sarif_validate(sarif_path, "odd names")
status, out, _ = run_in(names, "training", "--format", "gnu", "src")
line = [x for x in out.decode("utf-8").splitlines() if x.endswith("[W01]")][0]
check("odd names: the gnu line is the program's, the place in its message",
      line.startswith("orven-cli: note: " + w01["file"] + ", строка 1, столбец 7: "))

# --baseline: a finding known by rule and file wherever it moved in the file; one that moved to
# another file is new, and absent where it was; the exit status counts new ones only.
base = os.path.join(work, "base")
os.makedirs(os.path.join(base, "src"))


def write(name, text, folder=base):
    with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
        f.write(text)


write("src/a.php", "<?php\nfopen($f);\n")
write("src/b.php", "<?php mail($to);\n")
for fmt in ("json", "sarif"):
    status, out, _ = run_in(base, "training", "--format", fmt, "--output", f"old.{fmt}", "src")
    check(f"baseline: the old {fmt} is written", status == 0)
write("src/a.php", "<?php\n\n\n  fopen($f);\nmail($to);\n")  # W01 moved down, W21 moved here
write("src/b.php", "<?php eval($x);\n")  # W21 left, W20 is new
status, out, _ = run_in(base, "training", "--format", "json", "--baseline", "old.json",
                        "--error-exitcode", "9", "src")
doc = json.loads(out.decode("utf-8"))
check("baseline: the JSON meets its schema",
      not list(jsonschema.Draft202012Validator(schema).iter_errors(doc)))
check("baseline: JSON lists the new findings",
      [(x["id"], x.get("file")) for x in doc["findings"]] ==
      [("W20", "src/b.php"), ("W21", "src/a.php")])
check("baseline: and counts the known ones (W01 and W25-W28)", doc["baseline"] == {"known": 5})
check("baseline: new findings set the status", status == 9)
status, out, _ = run_in(base, "training", "--format", "gnu", "--baseline", "old.sarif", "src")
check("baseline: gnu, from a SARIF baseline, lists the new ones",
      [x[-5:] for x in out.decode("utf-8").splitlines()] == ["[W20]", "[W21]"])
status, out, _ = run_in(base, "training", "--format", "sarif", "--baseline", "old.sarif", "src")
sarif_path = os.path.join(base, "new.sarif")
with open(sarif_path, "wb") as f:
    f.write(out)
results = json.loads(out.decode("utf-8"))["runs"][0]["results"]
states = [(x["ruleId"], x["baselineState"],
           x.get("locations", [{}])[0].get("physicalLocation", {}).get("artifactLocation", {})
           .get("uri")) for x in results]
check("baseline: SARIF says unchanged, new and absent",
      states == [("W01", "unchanged", "src/a.php"), ("W20", "new", "src/b.php"),
                 ("W21", "new", "src/a.php"), ("W25", "unchanged", "src/a.php"),
                 ("W26", "unchanged", "src/a.php"), ("W27", "unchanged", "src/a.php"),
                 ("W28", "unchanged", "src/a.php"), ("W21", "absent", "src/b.php")])
sarif_validate(sarif_path, "baseline")
status, _, _ = run_in(base, "training", "--format", "gnu", "--baseline", "new.sarif",
                      "--error-exitcode", "9", "src")
check("baseline: nothing new, status 0", status == 0)
status, _, err = run_in(base, "training", "--format", "gnu", "--baseline", "src/a.php", "src")
check("baseline: a file that is no baseline fails the run",
      status == 1 and "не годится для --baseline" in err.decode("utf-8"))

# Suppression markers end to end: each form, in any comment syntax; a rule fires through the
# occurrences left (placed at the first, counted without the others); one whose occurrences are
# all suppressed leaves gnu, is marked in JSON and SARIF, and is not counted by the exit status;
# the keywordless W25-W28 by their gate's line or a file marker.
quiet = os.path.join(work, "quiet")
os.makedirs(os.path.join(quiet, "src"))
write("src/a.php", "<?php // orven-disable-line W25, W26\n"
      "$r = mysql_query($q); // orven-disable-line W03\n"
      "# orven-disable-next-line W01,W21\n"
      "fopen($f); mail($t);\n"
      "$g = fopen($h);\n", quiet)
write("src/b.php", "<?php /* orven-disable-file all */ eval($x);\n", quiet)


def found(args, stdin=None, cwd=quiet):
    """(status, {id: JSON finding}, gnu ids, {ruleId: SARIF result}) of one run per format."""
    status, out, _ = run_in(cwd, "training", "--format", "json", *args, stdin=stdin)
    doc = json.loads(out.decode("utf-8"))
    check(f"markers {args}: the JSON meets its schema", not list(validate.iter_errors(doc)))
    _, gnu, _ = run_in(cwd, "training", "--format", "gnu", *args, stdin=stdin)
    _, out, _ = run_in(cwd, "training", "--format", "sarif", *args, stdin=stdin)
    with open(os.path.join(work, "markers.sarif"), "wb") as f:
        f.write(out)
    results = json.loads(out.decode("utf-8"))["runs"][0]["results"]
    return (status, {x["id"]: x for x in doc["findings"]},
            [x[x.rindex("[") + 1:-1] for x in gnu.decode("utf-8").splitlines()],
            {x["ruleId"]: x for x in results})


status, by_id, gnu_ids, sarif = found(["--error-exitcode", "9", "src"])
gone = ["W03", "W20", "W21", "W25", "W26"]
check("markers: each form leaves its rules out of gnu", gnu_ids == ["W01", "W27", "W28"])
check("markers: JSON marks exactly the suppressed rules",
      sorted(k for k, x in by_id.items() if x.get("suppressed")) == gone)
check("markers: SARIF marks them in source",
      sorted(k for k, x in sarif.items() if x.get("suppressions") == [{"kind": "inSource"}]) == gone)
check("markers: fopen fires through the occurrence left, counted alone",
      (by_id["W01"]["line"], by_id["W01"]["column"], by_id["W01"]["count"]) == (5, 6, 1))
check("markers: a suppressed rule is placed at its first occurrence",
      (by_id["W03"]["line"], by_id["W20"]["file"]) == (2, "src/b.php"))
check("markers: W01 is still counted by the exit status", status == 9)
sarif_validate(os.path.join(work, "markers.sarif"), "markers")
_, text_ids, text_gnu_ids, _ = found(["--match", "text", "src"])
check("markers: the same in text matching",
      (text_gnu_ids, sorted(k for k, x in text_ids.items() if x.get("suppressed"))) ==
      (gnu_ids, gone))
status, by_id, gnu_ids, sarif = found(["--select", "W03,W20-W21", "--error-exitcode", "9", "src"])
check("markers with --select: only the selected, all suppressed, status 0",
      (status, gnu_ids, sorted(by_id), sorted(sarif)) == (0, [], ["W03", "W20", "W21"],
                                                          ["W03", "W20", "W21"]) and
      all(x.get("suppressed") for x in by_id.values()))
# A baseline from before W03 and W20 came: they are new but suppressed, W01 moved within its
# file and is known, W21 is gone; nothing counts.
write("src/a.php", "<?php\nfopen($f);\nmail($t);\n", quiet)
status, _, _ = run_in(quiet, "training", "--format", "sarif", "--output", "old.sarif", "src/a.php")
check("markers with --baseline: the old SARIF is written", status == 0)
write("src/a.php", "<?php\n$r = mysql_query($q); // orven-disable-line W03\n\n"
      "fopen($f);\neval($x); # orven-disable-line all\n", quiet)
status, by_id, gnu_ids, sarif = found(["--baseline", "old.sarif", "--error-exitcode", "9",
                                       "--select", "W01-W24", "src/a.php"])
check("markers with --baseline: nothing new counts and gnu is empty", (status, gnu_ids) == (0, []))
check("markers with --baseline: SARIF keeps the states and the suppressions",
      {k: (x["baselineState"], bool(x.get("suppressions"))) for k, x in sarif.items()} ==
      {"W01": ("unchanged", False), "W03": ("new", True), "W20": ("new", True),
       "W21": ("absent", False)})
sarif_validate(os.path.join(work, "markers.sarif"), "markers with --baseline")
# In code the markers stand in comments yet count, a C++ rule's marker turns off its C++
# occurrence, and an occurrence in a comment is never the one left.
mixed = os.path.join(work, "mixed")
os.makedirs(os.path.join(mixed, "src"))
write("src/m.cpp", "int f() { if (x) {} } // orven-disable-line C04\n/* if */\n", mixed)
write("src/a.php", "<?php\n// fopen\n$f = fopen($a); // orven-disable-line W01\n"
      "$g = fopen($b);\n", mixed)
_, by_id, gnu_ids, _ = found(["src"], cwd=mixed)
check("markers in code: C04 suppressed in C++, W01 left at its code",
      (by_id["C04"].get("suppressed"), "C04" in gnu_ids,
       (by_id["W01"]["line"], by_id["W01"]["count"])) == (True, False, (4, 1)))
# Standard input takes its markers and the language of the name it is given.
status, by_id, gnu_ids, sarif = found(
    ["--stdin-filename", "w.cpp", "-"],
    stdin="#include <windows.h>\n// orven-disable-next-line C30\nBeep(1, 2);\n"
          "MessageBox(0); // orven-disable-line all\n".encode("utf-8"))
check("markers on standard input: both rules suppressed, named as given",
      gnu_ids == [] and sorted(k for k, x in by_id.items() if x.get("suppressed")) ==
      sorted(by_id) and by_id and all(x["file"] == "w.cpp" for x in by_id.values()))

# Real editors on the gnu lines: Vim (errorformat %f:%l:%v) and Emacs' compile mode land on
# each keyword's first character, on lines with Cyrillic, tabs, a 4-byte character, a
# combining accent and wide characters; lines whose names they could misread give them no
# place at all.
editors = os.path.join(work, "editors")
os.makedirs(editors)
page = ('<?php\n$a = "Привет";\tfopen($f);\n\t$b = "😀ё";\tmail($to);\n'
        '$c = "x\u0301";  eval($y);\n$d = "日本";\tscandir($p);\n')
with open(os.path.join(editors, "page.php"), "w", encoding="utf-8") as f:
    f.write(page)
odd_names = [b"odd:1:2: x.php", b"a$HOME.php", b"tab\there.php"]
for name, keyword in zip(odd_names, ["preg_match($r);", "iconv($s);", "unlink($u);"]):
    with open(os.path.join(os.fsencode(editors), name), "wb") as f:
        f.write(b"<?php\n" + keyword.encode() + b"\n")
status, out, _ = run_in(editors, "training", "--format", "gnu", "page.php",
                        *[os.fsdecode(n) for n in odd_names])
with open(os.path.join(editors, "gnu.txt"), "wb") as f:
    f.write(out)
lines = page.encode("utf-8").split(b"\n")
expected = []  # (file, line, byte column) of each finding placed in page.php, in gnu order
for gnu in out.decode("utf-8").splitlines():
    m = re.match(r"page\.php:(\d+):\d+: ", gnu)
    if m:
        line = int(m.group(1))
        keyword = {2: b"fopen", 3: b"mail", 4: b"eval", 5: b"scandir"}[line]
        expected.append(f"page.php {line} {lines[line - 1].index(keyword) + 1}")
check("editors: four findings placed in page.php", len(expected) == 4)
check("editors: the odd names' findings name no place",
      sum(1 for x in out.decode("utf-8").splitlines() if x.startswith("orven-cli: note: ") and
          ", строка 2, столбец 1: " in x) == 3)
with open(os.path.join(editors, "places.vim"), "w") as f:
    f.write("""set nocompatible encoding=utf-8
set errorformat=%f:%l:%v:\\ %m
cfile gnu.txt
let s:out = []
let s:i = 0
for s:e in getqflist()
  let s:i += 1
  if !s:e.valid | continue | endif
  execute 'cc' s:i
  call add(s:out, expand('%') . ' ' . line('.') . ' ' . col('.'))
endfor
call writefile(s:out, 'vim.txt')
qa!
""")
subprocess.run(["vim", "-es", "-u", "NONE", "-i", "NONE", "-N", "-S", "places.vim"], cwd=editors,
               capture_output=True, timeout=60)
got = open(os.path.join(editors, "vim.txt")).read().splitlines()
check(f"editors: Vim lands on every keyword and nowhere else ({got})", got == expected)
with open(os.path.join(editors, "places.el"), "w") as f:
    f.write("""(require 'compile)
(setq compilation-skip-threshold 0)  ; notes are places too
(let ((out nil))
  (compile "cat gnu.txt")
  (while (get-buffer-process "*compilation*") (accept-process-output nil 0.1))
  (ignore-errors
    (while t
      (next-error)
      (with-current-buffer (window-buffer (selected-window))
        (let ((p (window-point (selected-window))))
          (push (format "%s %d %d" (file-name-nondirectory (buffer-file-name))
                        (line-number-at-pos p)
                        (- (position-bytes p) (position-bytes (progn (goto-char p)
                                                                      (line-beginning-position)))
                           -1))
                out)))))
  (with-temp-file "emacs.txt" (insert (mapconcat #'identity (nreverse out) "\n"))))
""")
subprocess.run(["emacs", "--batch", "-Q", "-l", "places.el"], cwd=editors, capture_output=True,
               timeout=120)
got = open(os.path.join(editors, "emacs.txt")).read().splitlines()
check(f"editors: Emacs lands on every keyword and nowhere else ({got})", got == expected)

shutil.rmtree(work)
if failures:
    print(len(failures), "check(s) failed")
    sys.exit(1)
print("findings formats: all checks passed")
