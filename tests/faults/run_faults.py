#!/usr/bin/env python3
"""Injects plausible faults one at a time into scratch copies of the tree and records which
tests catch each one.

    tests/faults/run_faults.py [--commit REV] [--after REV] [--only ID,...] [--out NAME]
    tests/faults/run_faults.py --check
    tests/faults/run_faults.py --compare BEFORE.json AFTER.json

Each fault in faults.py names a snippet of product source and its replacement. The snippet is
searched for over the product folders, not in a fixed file, so a fault still applies after code
moves; a snippet found nowhere (or more than once) is reported "not applied". A scratch tree is
a detached git worktree with its own build folder, kept between runs, so that each fault costs
an incremental build of only the test targets of its labels and a ctest run of those labels.
With --after, every fault goes into a second tree (say the branch whose tests were folded)
right after the first: the faulty file then comes from ccache, and both tables fill together.
Faults run round-robin over the libraries, so a pass cut short still spans all of them.
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
PRODUCT_DIRS = ["base", "pakmgr", "dds", "model", "export", "media", "gl", "cli", "app"]
SOURCE_ENDINGS = (".cpp", ".h")
TEST_CAP_SECONDS = 300
BUILD_CAP_SECONDS = 1200


def run(cmd, cap=None):
    """Runs cmd niced in its own process group; (returncode or None on timeout, output)."""
    proc = subprocess.Popen(["nice", "-n", "10"] + cmd, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=cap)
        return proc.returncode, out
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out


class Tree:
    """A scratch worktree at one commit with its build folder at the usual place, so that
    ccache finds what the other trees compiled."""

    def __init__(self, path, commit):
        self.path = Path(path)
        self.build = self.path / "build/test"
        self.commit = commit
        self.targets = {}
        self.failing = set()

    def prepare(self):
        if not (self.path / ".git").exists():
            subprocess.run(["git", "-C", str(REPO), "worktree", "add", "--detach",
                            str(self.path), self.commit], check=True)
        git = ["git", "-C", str(self.path)]
        subprocess.run(git + ["checkout", "--quiet", "--force", "--detach", self.commit],
                       check=True)
        subprocess.run(git + ["clean", "--quiet", "-fd", "--exclude", "node_modules"], check=True)
        # The glTF validator's packages come from a tree that has them; none are fetched here.
        link = self.path / "tests/export/node_modules"
        for tree in (REPO, Path("/work/main")):
            modules = tree / "tests/export/node_modules"
            if modules.is_dir() and not link.exists():
                os.symlink(modules.resolve(), link)
        if not (self.build / "build.ninja").exists():
            rc, out = run(["cmake", "-S", str(self.path), "-B", str(self.build), "-G", "Ninja",
                           "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DVELL_WERROR=ON",
                           "-DVELL_BENCH=OFF", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                           "-DCMAKE_C_COMPILER_LAUNCHER=ccache"])
            if rc != 0:
                sys.exit("configure failed:\n" + out)
        rc, out = run(["cmake", "--build", str(self.build), "-j2"], cap=6 * BUILD_CAP_SECONDS)
        if rc != 0:
            sys.exit("%s does not build unchanged:\n%s" % (self.path, out[-4000:]))
        self.targets = self.label_targets()

    def label_targets(self):
        """label -> the executables (targets) that hold its tests, read from ctest itself."""
        _, out = run(["ctest", "--test-dir", str(self.build), "-N", "--show-only=json-v1"])
        targets = {}
        for test in json.loads(out)["tests"]:
            props = {p["name"]: p["value"] for p in test.get("properties", [])}
            exe = next((Path(w).name for w in test.get("command") or []
                        if str(w).startswith(str(self.build)) and os.access(w, os.X_OK)), None)
            for label in props.get("LABELS", []):
                if exe:
                    targets.setdefault(label, set()).add(exe)
        return targets

    def find(self, snippet):
        hits = []
        for folder in PRODUCT_DIRS:
            for path in sorted((self.path / folder).rglob("*")):
                if path.suffix in SOURCE_ENDINGS and path.is_file():
                    count = path.read_text(errors="surrogateescape").count(snippet)
                    if count:
                        hits.append((path, count))
        return hits

    def run_labels(self, labels):
        log = self.build / "Testing/Temporary/LastTestsFailed.log"
        if log.exists():
            log.unlink()
        regex = "^(" + "|".join(labels) + ")$"
        rc, _ = run(["ctest", "--test-dir", str(self.build), "-L", regex, "-j2", "--timeout",
                     "120"], cap=TEST_CAP_SECONDS)
        failed = []
        if log.exists():
            failed = sorted(line.split(":", 1)[1].strip()
                            for line in log.read_text().splitlines() if ":" in line)
        if rc is None:
            failed.append("(cap of %d s reached)" % TEST_CAP_SECONDS)
        return [t for t in failed if t not in self.failing]

    def locate(self, fault):
        """(path, find, replace) of the first of the fault's snippets found exactly once, or
        (None, where they were found) when none is."""
        seen = []
        for find, replace in fault["edits"]:
            hits = self.find(find)
            if len(hits) == 1 and hits[0][1] == 1:
                return hits[0][0], find, replace
            seen += ["%s x%d" % (p.relative_to(self.path), n) for p, n in hits]
        return None, ", ".join(seen) or "snippet not found", None

    def try_fault(self, fault):
        path, find, replace = self.locate(fault)
        if path is None:
            return {"status": "not applied", "where": find, "failed": []}
        where = str(path.relative_to(self.path))
        original = path.read_text(errors="surrogateescape")
        path.write_text(original.replace(find, replace), errors="surrogateescape")
        try:
            wanted = sorted(set().union(*(self.targets.get(l, set()) for l in fault["labels"])))
            rc, out = run(["cmake", "--build", str(self.build), "-j2", "--target"] + wanted,
                          cap=BUILD_CAP_SECONDS)
            if rc != 0:
                return {"status": "does not build", "where": where, "failed": [],
                        "log": out[-2000:]}
            failed = self.run_labels(fault["labels"])
            return {"status": "caught" if failed else "MISSED", "where": where,
                    "failed": failed}
        finally:
            path.write_text(original, errors="surrogateescape")


def round_robin(faults):
    """Interleaves the faults of each library (the id's first word) in table order."""
    groups = {}
    for f in faults:
        groups.setdefault(f["id"].split("-")[0], []).append(f)
    order = []
    while any(groups.values()):
        for name in list(groups):
            if groups[name]:
                order.append(groups[name].pop(0))
    return order


def table(results):
    lines = []
    for fault in FAULTS:
        r = results.get(fault["id"])
        if r:
            caught = ", ".join(r["failed"]) if r["failed"] else "-"
            lines.append("%-28s %-13s %s" % (fault["id"], r["status"], caught))
    return "\n".join(lines)


def compare(before_file, after_file):
    before = json.loads(Path(before_file).read_text())
    after = json.loads(Path(after_file).read_text())
    lost = []
    for fid, r in before.items():
        a = after.get(fid, {"status": "absent", "failed": []})
        print("%-28s before %-8s %-3d after %-8s %d" % (fid, r["status"], len(r["failed"]),
                                                       a["status"], len(a["failed"])))
        if r["status"] == "caught" and a["status"] != "caught":
            lost.append(fid)
    print("\nlost: " + (", ".join(lost) if lost else "none"))
    return 1 if lost else 0


def check():
    """Looks for every snippet in this tree; 1 when one is not found exactly once."""
    tree = Tree(REPO, "HEAD")
    bad = 0
    for fault in FAULTS:
        path, where, _ = tree.locate(fault)
        bad += path is None
        where = str(path.relative_to(REPO)) if path else where
        print("%-30s %s %s" % (fault["id"], "ok " if path else "BAD", where))
    print("%d faults, %d not found exactly once" % (len(FAULTS), bad))
    return 1 if bad else 0


def rev(name):
    return subprocess.run(["git", "-C", str(REPO), "rev-parse", name], check=True,
                          capture_output=True, text=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--commit", default="HEAD")
    parser.add_argument("--after", help="a second commit, run fault by fault with the first")
    parser.add_argument("--only", default="")
    parser.add_argument("--caught-in", help="a table (.json) of an earlier pass, perhaps still "
                        "running: faults it did not catch are left out")
    parser.add_argument("--out", default="faults-result")
    parser.add_argument("--compare", nargs=2)
    parser.add_argument("--check", action="store_true", help="only look for the snippets")
    parser.add_argument("--no-clean-run", action="store_true",
                        help="skip the run of the unchanged tree (known to pass)")
    args = parser.parse_args()
    if args.compare:
        return compare(*args.compare)
    if args.check:
        return check()

    # Scratch trees live inside the repository's build folder, never beside the repository.
    trees = [Tree(os.environ.get("VELL_FAULTS_SCRATCH", str(REPO / "build/faults-scratch")),
                  rev(args.commit))]
    if args.after:
        trees.append(Tree(os.environ.get("VELL_FAULTS_AFTER", str(REPO / "build/faults-after")),
                          rev(args.after)))
    outs = [Path(args.out + ".json"), Path(args.out + "-after.json")]
    chosen = [f for f in round_robin(FAULTS) if not args.only or f["id"] in args.only.split(",")]
    labels = sorted({l for f in chosen for l in f["labels"]})
    started = time.time()
    results = []
    for tree, out in zip(trees, outs):
        tree.prepare()
        tree.failing = set() if args.no_clean_run else set(tree.run_labels(labels))
        print("%s at %s; failing before any fault: %s" % (tree.path, tree.commit[:10],
                                                         sorted(tree.failing) or "none"),
              flush=True)
        results.append(json.loads(out.read_text()) if out.exists() else {})  # resumes
    for fault in chosen:
        if args.caught_in and Path(args.caught_in).exists():
            earlier = json.loads(Path(args.caught_in).read_text()).get(fault["id"])
            if earlier and earlier["status"] != "caught":
                print("%-28s left out: %s before" % (fault["id"], earlier["status"]), flush=True)
                continue
        for tree, result, out in zip(trees, results, outs):
            if fault["id"] in result:
                continue
            t0 = time.time()
            r = result[fault["id"]] = tree.try_fault(fault)
            print("%-28s %-13s %4.0fs %s: %s" % (fault["id"], r["status"], time.time() - t0,
                                                tree.path.name,
                                                ", ".join(r["failed"]) or r.get("where", "")),
                  flush=True)
            out.write_text(json.dumps(result, indent=1))
    for tree, result, out in zip(trees, results, outs):
        text = "commit %s, %d faults, %.0f min\n\n%s\n" % (
            tree.commit[:10], len(result), (time.time() - started) / 60, table(result))
        out.with_suffix(".txt").write_text(text)
        print("\n" + text)
    if len(results) == 2:
        Path(args.out + "-compare.txt").write_text("")
        return compare(outs[0], outs[1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
