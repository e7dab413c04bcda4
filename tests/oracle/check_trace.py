#!/usr/bin/env python3
"""Checks the Chrome trace that profiling_helper writes at exit: it parses, every complete event is
named after the last part of its path and lies within the events of its thread above it, threads
are named, details come back as given. Prints "ok <complete events> <threads>"."""
import json, sys

text = open(sys.argv[1], encoding="utf-8").read()
assert '"detail":"on \\"another\\" thread"' in text and "\\u0001\\ufffd" in text, text
events = json.loads(text)["traceEvents"]
named = {e["tid"] for e in events if e["ph"] == "M" and e["name"] == "thread_name"}
stages = [e for e in events if e["ph"] == "X"]
for e in stages:
    path = e["args"]["path"]
    assert e["name"] == path.split("::")[-1] and e["dur"] >= 0 and e["tid"] in named, e
    for p in stages:
        if p["tid"] == e["tid"] and path.startswith(p["args"]["path"] + "::"):
            assert p["ts"] <= e["ts"] and e["ts"] + e["dur"] <= p["ts"] + p["dur"] + 1e-3, (p, e)
raw = b"a\\b\x01\xff\x80\xe0\x80\xed\xa0\x80\xf4\x90\x80\x80\xf0\x9f\x98\x80\xe2\x82\xacx\xc3\xa9"
details = [raw.decode("utf-8", "replace"), 'on "another" thread', "on the main thread"]
assert sorted(e["args"]["detail"] for e in stages) == details, stages
print("ok", len(stages), len({e["tid"] for e in stages}))
