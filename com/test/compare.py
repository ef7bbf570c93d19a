#!/usr/bin/env python3
"""Inputs and expectations of the script front end (front_end.vbs, bad_input.vbs), and the
value-for-value comparison of what it got through COM under Wine with what q9strep prints.

  compare.py prepare Q9STREP WORK CONNECTION   writes the inputs into WORK/io (UTF-16 texts)
  compare.py expect Q9STREP WORK COMPANY_DIR   runs q9strep's same session into WORK/expected.json
  compare.py compare Q9STREP WORK              compares WORK/io/out.txt with it
  compare.py bad-input Q9STREP WORK            checks WORK/io/bad.txt
"""
import json
import math
import os
import subprocess
import sys

DETAIL_ROW = 3
QUERY = "货位台账"
KINDS = ["inventory", "batch", "position"]
REF_PAGE_SIZE = 10
BALANCE_COLUMNS = ("iBalQtty", "iBalNum")


def write_utf16(path, text):
    with open(path, "w", encoding="utf-16") as f:
        f.write(text)


def run(q9strep, args, expect_status=0):
    p = subprocess.run([q9strep] + args, capture_output=True, text=True)
    if p.returncode != expect_status:
        sys.exit(f"compare: q9strep {' '.join(args)} exited {p.returncode}: {p.stderr}")
    return p


def canon(v):
    if v is None:
        return "<null>"
    if isinstance(v, bool):
        return "true" if v else "false"
    if isinstance(v, int):
        return str(v)
    if isinstance(v, float):
        if math.isfinite(v) and v == int(v) and abs(v) < 1e15:
            return str(int(v))
        return "%.15g" % v
    return str(v)


def bad_condition(xml):
    # The condition without its date element (ddate): the reader meets a null node, OpenX has no
    # handler, so the error reaches the caller.
    start = xml.index("<ddate")
    end = xml.index(">", start) + 1
    if xml[end - 2] != "/":
        end = xml.index("</ddate>", end) + len("</ddate>")
    return xml[:start] + xml[end:]


def format_document(q9strep, company_args):
    fmt = json.loads(run(q9strep, company_args + ["--format", "json", "format", "get", QUERY]).stdout)
    cols = fmt["columns"]
    rows = fmt["rows"]
    width = cols.index("Width") if "Width" in cols else None
    xml = f'<queryid value="{fmt["queryid"]}">'
    for i, row in enumerate(rows, start=1):
        w = int(float(row[width])) + 1 if width is not None and row[width] not in (None, "") else 40
        xml += f'<col{i} visible="true" width="{w}"/>'
    xml += f'<col{len(rows) + 1} visible="true" width="55"/></queryid>'
    return xml


def prepare(q9strep, work, connection):
    io = os.path.join(work, "io")
    company = ["--db", cli_connection(os.path.join(work, "company"))]
    xml = run(q9strep, company + ["condition"]).stdout
    write_utf16(os.path.join(io, "conn.txt"), connection)
    for k in range(3):
        write_utf16(os.path.join(io, f"cond{k}.xml"), xml)
    write_utf16(os.path.join(io, "bad_condition.xml"), bad_condition(xml))
    write_utf16(os.path.join(io, "query.txt"), QUERY)
    write_utf16(os.path.join(io, "format.xml"), format_document(q9strep, company))
    write_utf16(os.path.join(io, "detail_row.txt"), str(DETAIL_ROW))
    with open(os.path.join(work, "condition.xml"), "w", encoding="utf-8") as f:
        f.write(xml)
    with open(os.path.join(work, "bad_condition.xml"), "w", encoding="utf-8") as f:
        f.write(bad_condition(xml))


def cli_connection(company_dir):
    return (f"Provider=SQLite;Data Source={company_dir}/company.db;"
            f"System Database={company_dir}/system.db")


def grid_lines(section, grid):
    lines = {(section, 0, "RecordCount"): str(len(grid["rows"])),
             (section, 0, "Fields.Count"): str(len(grid["columns"]))}
    for r, row in enumerate(grid["rows"], start=1):
        for col, v in zip(grid["columns"], row):
            lines[(section, r, col)] = canon(v)
    return lines


def expect(q9strep, work, company_dir):
    db = ["--db", cli_connection(company_dir), "--format", "json"]
    io = os.path.join(work, "io")
    cond = os.path.join(work, "condition.xml")
    e = {}
    for k, kind in enumerate(KINDS):
        j = json.loads(run(q9strep, db + ["ledger", "--kind", kind, "--condition", cond,
                                          "--row", str(DETAIL_ROW)]).stdout)
        e.update(grid_lines(f"summary{k}", j["summary"]))
        # q9strep adds the running balance to the detail; the recordset has no such columns.
        d = j["details"][0]
        keep = [i for i, c in enumerate(d["columns"]) if c not in BALANCE_COLUMNS]
        e.update(grid_lines(f"detail{k}", {"columns": [d["columns"][i] for i in keep],
                                           "rows": [[r[i] for i in keep] for r in d["rows"]]}))
    e.update(grid_lines("periods", json.loads(run(q9strep, db + ["periods"]).stdout)))
    for c in ["define", "free", "hdefine", "bdefine"]:
        e.update(grid_lines(f"captions_{c}",
                            json.loads(run(q9strep, db + ["captions", c]).stdout)))
    before = json.loads(run(q9strep, db + ["format", "get", QUERY]).stdout)
    e.update(grid_lines("format_before", before))
    e[("format_before", 0, "queryid")] = canon(before["queryid"])
    fmt = os.path.join(work, "format.xml")
    with open(fmt, "w", encoding="utf-8") as f:
        with open(os.path.join(io, "format.xml"), encoding="utf-16") as src:
            f.write(src.read())
    run(q9strep, db + ["format", "save", fmt])
    e.update(grid_lines("format_after", json.loads(run(q9strep, db + ["format", "get", QUERY]).stdout)))
    for page in (1, 2):
        j = json.loads(run(q9strep, db + ["ref", "Inventory", "--page-size", str(REF_PAGE_SIZE),
                                          "--page", str(page)]).stdout)
        e.update(grid_lines(f"ref{page}", j))
        e.update(grid_lines(f"ref_titles{page}", j["titles"]))
        for key in ("intCurPage", "intPageCount", "page", "pages", "page_count"):
            if key in j:
                e[(f"ref{page}", 0, {"page": "intCurPage", "pages": "intPageCount",
                                    "page_count": "intPageCount"}.get(key, key))] = canon(j[key])
    task = run(q9strep, db + ["task", "ST0399"], expect_status=1)
    e[("task", 0, "msg")] = task.stderr.strip().removeprefix("q9strep: ")
    csv = os.path.join(work, "printed-cli.csv")
    run(q9strep, db + ["print", "csv:" + csv, "--kind", "batch", "--condition", cond])
    err = run(q9strep, db + ["ledger", "--kind", "inventory", "--condition",
                             os.path.join(work, "bad_condition.xml")], expect_status=3)
    # "q9strep: error N: description"
    text = err.stderr.strip().removeprefix("q9strep: error ")
    number, _, description = text.partition(": ")
    e[("openx_error", 0, "number")] = number
    e[("openx_error", 0, "description")] = description
    with open(os.path.join(work, "expected.json"), "w", encoding="utf-8") as f:
        json.dump([[list(k), v] for k, v in e.items()], f, ensure_ascii=False)


def read_out(path):
    got = {}
    with open(path, encoding="utf-16") as f:
        for line in f.read().splitlines():
            section, row, col, value = line.split("\t", 3)
            got[(section, int(row), col)] = value
    return got


def compare(q9strep, work):
    got = read_out(os.path.join(work, "io", "out.txt"))
    with open(os.path.join(work, "expected.json"), encoding="utf-8") as f:
        expected = {tuple(k): v for k, v in json.load(f)}
    failures = []
    for key, value in expected.items():
        if got.get(key) != value:
            failures.append(f"{key}: COM {got.get(key)!r}, q9strep {value!r}")
    for key, value in got.items():
        section, row, col = key
        if section.startswith(("summary", "detail", "periods", "captions", "format_", "ref")) \
                and row > 0 and key not in expected:
            failures.append(f"{key}: COM {value!r}, missing in q9strep")
    checks = {("init", 0, "result"): "true", ("end", 0, "done"): "true",
              ("saveformat", 0, "result"): "true", ("saveformat", 0, "msg"): "untouched",
              ("task", 0, "result"): "false", ("print", 0, "sError"): "",
              ("print", 0, "rs1.AbsolutePosition"): "1"}
    for k in range(3):
        checks[(f"openx{k}", 0, "result")] = "true"
        checks[(f"openpage{k}", 0, "result")] = "true"
    for key, value in checks.items():
        if got.get(key) != value:
            failures.append(f"{key}: COM {got.get(key)!r}, expected {value!r}")
    if not got.get(("openx_error", 0, "source")):
        failures.append("openx_error: no Err.Source")
    with open(os.path.join(work, "io", "printed.csv"), "rb") as a, \
            open(os.path.join(work, "printed-cli.csv"), "rb") as b:
        if a.read() != b.read():
            failures.append("PrintSrv: the CSV file differs from q9strep print's")
    compared = sum(1 for k in expected if k in got)
    if failures:
        print(f"com-test: FAILED: {len(failures)} of {compared} values differ:", file=sys.stderr)
        for line in failures[:40]:
            print("  " + line, file=sys.stderr)
        sys.exit(1)
    print(f"com-test: the script front end got {compared} values, each equal to q9strep's, "
          f"and the same CSV file")


def bad_input(q9strep, work):
    got = read_out(os.path.join(work, "io", "bad.txt"))
    expected = read_expected_bad(os.path.join(os.path.dirname(__file__), "bad_input_expected.txt"))
    failures = [f"{k}: COM {got.get(k)!r}, expected {v!r}" for k, v in expected.items()
                if got.get(k) != v]
    failures += [f"{k}: COM {v!r}, not expected" for k, v in got.items() if k not in expected]
    if failures:
        print(f"com-test: FAILED: {len(failures)} bad-input cases:", file=sys.stderr)
        for line in failures:
            print("  " + line, file=sys.stderr)
        sys.exit(1)
    print(f"com-test: {len(expected)} bad-input and lifetime checks as expected")


def read_expected_bad(path):
    e = {}
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if not line or line.startswith("#"):
                continue
            section, row, col, value = line.split("\t", 3)
            e[(section, int(row), col)] = value
    return e


if __name__ == "__main__":
    cmd, q9strep, work = sys.argv[1], sys.argv[2], sys.argv[3]
    if cmd == "prepare":
        prepare(q9strep, work, sys.argv[4])
    elif cmd == "expect":
        expect(q9strep, work, sys.argv[4])
    elif cmd == "compare":
        compare(q9strep, work)
    elif cmd == "bad-input":
        bad_input(q9strep, work)
    else:
        sys.exit("compare: unknown command " + cmd)
