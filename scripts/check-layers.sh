#!/usr/bin/env bash
# Fails when the #include lines of src/ form a circle between units. A unit is a folder and a
# file stem, with the part after an underscore dropped (main_window/kuang_admin.cpp belongs to
# main_window/kuang). Also fails when an administration or report window reaches into the main
# window, or the record editor into the journal that opens it.
#   check-layers.sh [SOURCE_DIR]   (default: src/ of this checkout)
set -euo pipefail
root=${1:-$(dirname "$0")/../src}

python3 - "$root" <<'PY'
import os, re, sys

src = os.path.realpath(sys.argv[1])

def unit(path):
    folder, name = os.path.split(os.path.relpath(path, src))
    stem = os.path.splitext(name)[0]
    if folder == "main_window" and "_" in stem:
        stem = stem.split("_")[0]
    return f"{folder}/{stem}" if folder else stem

# The file an include names, as the compiler finds it: a quoted name beside the including file
# first, then under src/ (the one include folder); an angled name under src/ only. None for a
# header from outside src/ (Qt, the standard library).
def resolve(including, name, quoted):
    bases = [os.path.dirname(including), src] if quoted else [src]
    for base in bases:
        path = os.path.realpath(os.path.join(base, name))
        if os.path.isfile(path) and path.startswith(src + os.sep):
            return path
    return None

edges, bad = {}, []
include = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')
for folder, _, files in os.walk(src):
    for f in files:
        if not f.endswith((".h", ".cpp")):
            continue
        path = os.path.join(folder, f)
        me = unit(path)
        with open(path, encoding="utf-8") as text:
            for line in text:
                m = include.match(line)
                if not m:
                    continue
                target = resolve(path, m.group(1) or m.group(2), m.group(1) is not None)
                if target is None:
                    continue
                them = unit(target)
                if them != me:
                    edges.setdefault(me, set()).add(them)
                shown = os.path.relpath(path, src)
                if me.split("/")[0] in ("admin", "reports") and them == "main_window/kuang":
                    bad.append(f"{shown} includes main_window/kuang.h")
                if me == "reports/mxed" and them == "reports/mxlst":
                    bad.append(f"{shown} includes reports/mxlst.h")

# Tarjan's strongly connected components: any with two or more units is a circle.
index, low, stack, on, circles, counter = {}, {}, [], set(), [], [0]
def visit(v):
    index[v] = low[v] = counter[0]; counter[0] += 1
    stack.append(v); on.add(v)
    for w in edges.get(v, ()):
        if w not in index:
            visit(w); low[v] = min(low[v], low[w])
        elif w in on:
            low[v] = min(low[v], index[w])
    if low[v] == index[v]:
        group = []
        while True:
            w = stack.pop(); on.discard(w); group.append(w)
            if w == v:
                break
        if len(group) > 1:
            circles.append(sorted(group))
sys.setrecursionlimit(10000)
for v in sorted(set(edges) | {w for ws in edges.values() for w in ws}):
    if v not in index:
        visit(v)
for c in circles:
    bad.append("circle: " + " ↔ ".join(c))
if bad:
    print("\n".join(bad), file=sys.stderr)
    sys.exit(1)
print("layers: no circle between units")
PY
