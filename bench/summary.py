#!/usr/bin/env python3
"""One table of every figure of a `make bench` run.

Reads the folder the run wrote: NAME.json (Google Benchmark's own output of
the program NAME) and NAME.figures (one JSON object a line, the figures a
program reports itself: "figure", "value", "unit", and "target" with "met"
where there is one).  Prints one line per figure, grouped by program, and
says how many figures miss their target.
"""
import json
import os
import sys

# Google Benchmark runs that are figures of their own: (program, run name,
# what the line says, how to read the run, unit, target).
RUNS = [
    ("bench_api_signing", "BM_SignedQueryString_Get", "signing: GET request (15 pairs)",
     "time_us", "us", ("<", 5)),
    ("bench_api_signing", "BM_SignedQueryString_Post", "signing: POST request (15 pairs)",
     "time_us", "us", ("<", 5)),
    ("bench_api_signing", "BM_CanonicalQueryString", "signing: canonical query string alone",
     "time_us", "us", None),
    ("bench_api_signing", "BM_HmacSha256Base64", "signing: HMAC-SHA256 and base64 alone",
     "time_us", "us", None),
    ("bench_qingcloud_sim", "BM_InstancePages_Boss2Post/real_time",
     "simulator: pages of 100 (POST /boss2/)", "pages_per_second", "/s", None),
    ("bench_qingcloud_sim", "BM_InstancePages_IaasGet/real_time",
     "simulator: pages of 100 (GET /iaas/)", "pages_per_second", "/s", None),
]

TO_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def google_runs(path):
    with open(path) as f:
        data = json.load(f)
    return {b["name"]: b for b in data.get("benchmarks", []) if b.get("run_type") == "iteration"}


def run_value(run, how):
    if how == "time_us":
        return run["real_time"] * TO_US[run.get("time_unit", "ns")]
    return run.get(how)


def check(value, target):
    op, limit = target
    return value < limit if op == "<" else value <= limit


def main(folder):
    rows = []  # (program, figure, value, unit, target text, met or None)
    programs = sorted({f.rsplit(".", 1)[0] for f in os.listdir(folder)})
    for program in programs:
        json_path = os.path.join(folder, program + ".json")
        if os.path.exists(json_path) and os.path.getsize(json_path) > 0:
            try:
                runs = google_runs(json_path)
            except (ValueError, KeyError):
                runs = {}
            for prog, name, label, how, unit, target in RUNS:
                if prog != program or name not in runs:
                    continue
                value = run_value(runs[name], how)
                if value is None:
                    continue
                met = check(value, target) if target else None
                text = "%s %g" % target if target else ""
                rows.append((program, label, value, unit, text, met))
        figures_path = os.path.join(folder, program + ".figures")
        if os.path.exists(figures_path):
            with open(figures_path) as f:
                for line in f:
                    if not line.strip():
                        continue
                    fig = json.loads(line)
                    rows.append((program, fig["figure"], fig["value"], fig.get("unit", ""),
                                 fig.get("target", ""), fig.get("met")))

    width = max([len(r[1]) for r in rows] + [6])
    print()
    print("Summary of make bench (%s)" % folder)
    print("%-*s %14s %-5s %-10s %s" % (width, "Figure", "Value", "Unit", "Target", "Met"))
    print("-" * (width + 40))
    missed = 0
    last = None
    for program, label, value, unit, target, met in rows:
        if program != last:
            print("[%s]" % program)
            last = program
        shown = ("%.2f" % value) if abs(value) < 1e5 else ("%.0f" % value)
        verdict = "" if met is None else ("yes" if met else "NO")
        missed += met is False
        print("%-*s %14s %-5s %-10s %s" % (width, label, shown, unit, target, verdict))
    print("-" * (width + 40))
    print("%d figures, %d with a target missed" % (len(rows), missed))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build/bench-results"))
