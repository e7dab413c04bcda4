#!/usr/bin/env python3
"""Checks a Chrome trace-event document written by the profiling log.

Usage: check_trace.py <trace.json> <expected complete events>
Prints "ok <events> <threads>" and exits 0 when the document parses with the json module,
every complete event has the required fields, events of one thread nest properly, and the
number of complete events is the expected one.
"""
import json
import sys


def main(path, expected):
    with open(path, encoding="utf-8") as f:
        doc = json.load(f)
    events = doc["traceEvents"]
    complete = [e for e in events if e.get("ph") == "X"]
    names = {e["tid"] for e in events if e.get("ph") == "M" and e["name"] == "thread_name"}
    for e in complete:
        for key in ("name", "ts", "dur", "pid", "tid", "args"):
            assert key in e, f"missing {key} in {e}"
        assert e["dur"] >= 0, e
        assert e["tid"] in names, f"no thread_name for {e['tid']}"
    # Per thread, sorted by start (longer first on ties), every event must lie within the
    # innermost open event that contains its start.
    eps = 1e-3
    by_thread = {}
    for e in complete:
        by_thread.setdefault(e["tid"], []).append(e)
    for tid, evs in by_thread.items():
        evs.sort(key=lambda e: (e["ts"], -e["dur"]))
        stack = []
        for e in evs:
            while stack and e["ts"] >= stack[-1]["ts"] + stack[-1]["dur"] - eps and \
                    not (e["ts"] + e["dur"] <= stack[-1]["ts"] + stack[-1]["dur"] + eps and
                         e["dur"] == 0):
                stack.pop()
            if stack:
                parent = stack[-1]
                assert e["ts"] + e["dur"] <= parent["ts"] + parent["dur"] + eps, \
                    f"{e['name']} overlaps its parent {parent['name']} on thread {tid}"
                assert e["args"]["path"].startswith(parent["args"]["path"] + "::"), \
                    f"{e['args']['path']} is not below {parent['args']['path']}"
            stack.append(e)
    assert len(complete) == expected, f"{len(complete)} complete events, expected {expected}"
    print(f"ok {len(complete)} {len(by_thread)}")


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
