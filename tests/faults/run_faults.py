#!/usr/bin/env python3
"""Injects plausible faults one at a time into a scratch copy of the tree and records which
tests catch each one.

    tests/faults/run_faults.py [--commit REV] [--only ID,...] [--out FILE]
    tests/faults/run_faults.py --compare BEFORE.json AFTER.json

Each fault in faults.py names a snippet of product source and its replacement. The snippet is
searched for over the product folders, not in a fixed file, so a fault still applies after code
moves; a snippet found nowhere (or more than once) is reported "not applied". The scratch tree
is a detached git worktree with its own build folder, kept between runs so that each fault
costs an incremental build of only the test targets of its labels and a ctest run of those
labels.
"""
import argparse
import json
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from faults import FAULTS  # noqa: E402

REPO = Path(__file__).resolve().parents[2]
PRODUCT_DIRS = ["pakmgr", "model", "render", "cli", "app"]
SOURCE_ENDINGS = (".cpp", ".h")
SCRATCH = Path(os.environ.get("VELL_FAULTS_SCRATCH", "/work/faults-scratch"))
# Inside the scratch tree at the usual place, so that ccache finds what other trees compiled.
BUILD = Path(os.environ.get("VELL_FAULTS_BUILD", str(SCRATCH / "build/test")))
TEST_CAP_SECONDS = 300
BUILD_CAP_SECONDS = 900


def run(cmd, cap=None, **kw):
    """Runs cmd niced in its own process group; (returncode or None on timeout, output)."""
    proc = subprocess.Popen(["nice", "-n", "10"] + cmd, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, start_new_session=True, **kw)
    try:
        out, _ = proc.communicate(timeout=cap)
        return proc.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out


def prepare_scratch(commit):
    if not (SCRATCH / ".git").exists():
        subprocess.run(["git", "-C", str(REPO), "worktree", "add", "--detach", str(SCRATCH),
                        commit], check=True)
    subprocess.run(["git", "-C", str(SCRATCH), "checkout", "--quiet", "--force", "--detach",
                    commit], check=True)
    subprocess.run(["git", "-C", str(SCRATCH), "clean", "--quiet", "-fd", "--exclude",
                    "node_modules"], check=True)
    # The glTF validator's packages come from a tree that has them; none are fetched here.
    for tree in (REPO, Path("/work/main")):
        modules = tree / "tests/gltf/node_modules"
        link = SCRATCH / "tests/gltf/node_modules"
        if modules.exists() and not link.exists():
            os.symlink(modules, link)
    if not (BUILD / "build.ninja").exists():
        rc, out = run(["cmake", "-S", str(SCRATCH), "-B", str(BUILD), "-G", "Ninja",
                       "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DVELL_WERROR=ON",
                       "-DVELL_BENCH=OFF", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                       "-DCMAKE_C_COMPILER_LAUNCHER=ccache"])
        if rc != 0:
            sys.exit("configure failed:\n" + out)
    rc, out = run(["cmake", "--build", str(BUILD), "-j2"], cap=3 * BUILD_CAP_SECONDS)
    if rc != 0:
        sys.exit("the unchanged tree does not build:\n" + out[-4000:])


def label_targets():
    """label -> the executables (targets) that hold its tests, read from ctest itself."""
    rc, out = run(["ctest", "--test-dir", str(BUILD), "-N", "--show-only=json-v1"])
    targets = {}
    for test in json.loads(out)["tests"]:
        props = {p["name"]: p["value"] for p in test.get("properties", [])}
        command = test.get("command") or []
        exe = None
        for word in command:
            if str(word).startswith(str(BUILD)) and os.access(word, os.X_OK):
                exe = Path(word).name
                break
        for label in props.get("LABELS", []):
            if exe:
                targets.setdefault(label, set()).add(exe)
    return targets


def find_snippet(snippet):
    hits = []
    for folder in PRODUCT_DIRS:
        for path in sorted((SCRATCH / folder).rglob("*")):
            if path.suffix in SOURCE_ENDINGS and path.is_file():
                text = path.read_text(errors="surrogateescape")
                count = text.count(snippet)
                if count:
                    hits.append((path, count))
    return hits


def failed_tests():
    log = BUILD / "Testing/Temporary/LastTestsFailed.log"
    if not log.exists():
        return []
    return sorted(line.split(":", 1)[1].strip() for line in log.read_text().splitlines()
                  if ":" in line)


def run_labels(labels):
    log = BUILD / "Testing/Temporary/LastTestsFailed.log"
    if log.exists():
        log.unlink()
    regex = "^(" + "|".join(labels) + ")$"
    rc, out = run(["ctest", "--test-dir", str(BUILD), "-L", regex, "-j2", "--timeout", "120"],
                  cap=TEST_CAP_SECONDS)
    failed = failed_tests()
    if rc is None:
        failed.append("(cap of %d s reached)" % TEST_CAP_SECONDS)
    return failed


def try_fault(fault, targets, baseline_failures):
    hits = find_snippet(fault["find"])
    if len(hits) != 1 or hits[0][1] != 1:
        where = ", ".join("%s x%d" % (p.relative_to(SCRATCH), n) for p, n in hits)
        return {"status": "not applied", "where": where or "snippet not found", "failed": []}
    path = hits[0][0]
    original = path.read_text(errors="surrogateescape")
    path.write_text(original.replace(fault["find"], fault["replace"]), errors="surrogateescape")
    try:
        wanted = sorted(set().union(*(targets.get(l, set()) for l in fault["labels"])))
        rc, out = run(["cmake", "--build", str(BUILD), "-j2", "--target"] + wanted,
                      cap=BUILD_CAP_SECONDS)
        if rc != 0:
            return {"status": "does not build", "where": str(path.relative_to(SCRATCH)),
                    "failed": [], "log": out[-2000:]}
        failed = [t for t in run_labels(fault["labels"]) if t not in baseline_failures]
        return {"status": "caught" if failed else "MISSED",
                "where": str(path.relative_to(SCRATCH)), "failed": failed}
    finally:
        path.write_text(original, errors="surrogateescape")


def table(results):
    lines = []
    for fault in FAULTS:
        r = results.get(fault["id"])
        if not r:
            continue
        caught = ", ".join(r["failed"]) if r["failed"] else "-"
        lines.append("%-28s %-13s %s" % (fault["id"], r["status"], caught))
    return "\n".join(lines)


def compare(before_file, after_file):
    before = json.loads(Path(before_file).read_text())
    after = json.loads(Path(after_file).read_text())
    lost = []
    for fid, r in before.items():
        a = after.get(fid, {"status": "absent", "failed": []})
        print("%-28s before %-3d after %-3d %s" % (fid, len(r["failed"]), len(a["failed"]),
                                                   a["status"]))
        if r["status"] == "caught" and a["status"] != "caught":
            lost.append(fid)
    print("\nlost: " + (", ".join(lost) if lost else "none"))
    return 1 if lost else 0


def check():
    """Looks for every snippet in the scratch tree as it stands; 1 when one is not found once."""
    bad = 0
    for fault in FAULTS:
        hits = find_snippet(fault["find"])
        ok = len(hits) == 1 and hits[0][1] == 1
        bad += not ok
        where = ", ".join("%s x%d" % (p.relative_to(SCRATCH), n) for p, n in hits)
        print("%-30s %s %s" % (fault["id"], "ok " if ok else "BAD", where or "not found"))
    print("%d faults, %d not found exactly once" % (len(FAULTS), bad))
    return 1 if bad else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--commit", default="HEAD")
    parser.add_argument("--only", default="")
    parser.add_argument("--out", default="faults-result")
    parser.add_argument("--compare", nargs=2)
    parser.add_argument("--check", action="store_true", help="only look for the snippets")
    args = parser.parse_args()
    if args.compare:
        return compare(*args.compare)
    if args.check:
        return check()

    commit = subprocess.run(["git", "-C", str(REPO), "rev-parse", args.commit], check=True,
                            capture_output=True, text=True).stdout.strip()
    prepare_scratch(commit)
    targets = label_targets()
    chosen = [f for f in FAULTS if not args.only or f["id"] in args.only.split(",")]
    labels = sorted({l for f in chosen for l in f["labels"]})
    started = time.time()
    baseline = set(run_labels(labels))
    print("commit %s; failing before any fault: %s" % (commit[:10], sorted(baseline) or "none"),
          flush=True)
    results = {}
    for fault in chosen:
        t0 = time.time()
        results[fault["id"]] = try_fault(fault, targets, baseline)
        r = results[fault["id"]]
        print("%-28s %-13s %4.0fs %s" % (fault["id"], r["status"], time.time() - t0,
                                        ", ".join(r["failed"]) or r.get("where", "")), flush=True)
        Path(args.out + ".json").write_text(json.dumps(results, indent=1))
    text = "commit %s, %d faults, %.0f min\n\n%s\n" % (commit[:10], len(results),
                                                        (time.time() - started) / 60,
                                                        table(results))
    Path(args.out + ".txt").write_text(text)
    print("\n" + text)
    missed = [f for f, r in results.items() if r["status"] != "caught"]
    print("not caught or not applied: " + (", ".join(missed) if missed else "none"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
