#!/usr/bin/env python3
"""Mutation testing of the C++ core: how many small faults does the suite catch?

    tools/mutate.py [--seed N] [--count N] [--jobs N] [--only FILE] [--list]
    tools/mutate.py --python [--seed N] [--count N] [--list]

A fixed list of mutants is drawn from the product's C++ sources (every
tracked .cpp/.hpp under src/ and corvane-evidence/src/, spread over the files
in proportion to their size), deterministically from the seed and the tree.
Kinds: a relational or arithmetic operator swapped, an integer literal moved
by one, an `if (...) return ...;` check deleted, a wipe (sodium_memzero,
.wipe()) deleted, one character of a string literal changed.

Each job owns a copy of the tree under build/mutate/ with its own CMake build
(ccache keeps the restore rebuilds cheap). A mutant is applied, the tree is
rebuilt incrementally, and the suite runs fail-fast: the C++ tests first,
then pytest -x against the mutated _native through a package directory of
links (cheap test files first). The file is restored afterwards. Outcomes:
killed, survived, did not compile, timed out; the kill rate is
killed / (killed + survived).

With --python, the mutants are mutmut's (its operators, applied through its
API) over python/corvane_kit: a fixed, seeded sample of --count of them (all
when --count is 0), each run fail-fast against the tests that drive the Python
layer, with the unmutated extension modules of the installed package.
"""

from __future__ import annotations

import argparse
import concurrent.futures
import dataclasses
import os
import pathlib
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
WORK = ROOT / "build" / "mutate"
SOURCE_ROOTS = ("src/", "corvane-evidence/src/")
# Run last: they repeat calls by the thousand and rarely kill what others miss.
SLOW_TESTS = ("test_leaks.py", "test_concurrency.py")
# The tests that drive python/corvane_kit, for mutmut, cheap ones first.
PYTHON_LAYER_TESTS = ("test_pythonic_layer.py", "test_cli.py", "test_body_check.py", "test_batch.py")

RELATIONAL = {"==": ["!="], "!=": ["=="], "<": ["<=", ">"], "<=": ["<", ">"], ">": [">=", "<"], ">=": [">", "<"]}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "%": ["*"], "+=": ["-="], "-=": ["+="]}
BINARY = re.compile(r"(?<= )(==|!=|<=|>=|<|>|\+=|-=|\+|-|\*|/|%)(?= )")
STEP = re.compile(r"\+\+|--")
INTEGER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.'])")
CHECK_ONE_LINE = re.compile(r"^\s*if\s*\(.*\)\s*return\b.*;\s*$")
CHECK_HEAD = re.compile(r"^\s*if\s*\(.*\)\s*(\{)?\s*$")
WIPE = re.compile(r"sodium_memzero\s*\([^;]*\)\s*;|[\w\]\[.>-]*\.wipe\s*\(\s*\)\s*;")


@dataclasses.dataclass(frozen=True)
class Mutant:
    path: str
    line: int  # 1-based, first line changed
    kind: str
    before: str  # the changed lines as they are
    after: str  # what replaces them ("" deletes)

    def describe(self) -> str:
        shown = " / ".join(s.strip() for s in self.before.splitlines())
        return f"{self.path}:{self.line} [{self.kind}] {shown!r} -> {self.after.strip()!r}"


# ----------------------------------------------------------------- scanning


def blank_non_code(text: str) -> tuple[str, list[tuple[int, int]]]:
    """The text with comments, literals and preprocessor lines blanked (newlines
    kept), and the spans of the ordinary string literals' contents."""
    code = list(text)
    strings: list[tuple[int, int]] = []

    def blank(start: int, end: int) -> None:
        for k in range(start, min(end, len(text))):
            if code[k] != "\n":
                code[k] = " "

    i, n = 0, len(text)
    while i < n:
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
        elif text.startswith('R"', i) and not (i and (text[i - 1].isalnum() or text[i - 1] == "_")):
            delimiter = re.match(r'R"([^(\s]*)\(', text[i:]).group(1)
            end = text.find(")" + delimiter + '"', i) + len(delimiter) + 2
        elif text[i] == '"' or (text[i] == "'" and not (i and text[i - 1].isalnum())):
            quote, end = text[i], i + 1
            while end < n and text[end] != quote:
                end += 2 if text[end] == "\\" else 1
            if quote == '"':
                strings.append((i + 1, end))
            end += 1
        else:
            i += 1
            continue
        blank(i, end)
        i = end
    # Preprocessor lines (with their continuations) are not mutated.
    offset = 0
    lines = text.split("\n")
    continued = False
    for line in lines:
        if continued or line.lstrip().startswith("#"):
            blank(offset, offset + len(line))
            strings = [s for s in strings if not offset <= s[0] <= offset + len(line)]
            continued = line.endswith("\\")
        offset += len(line) + 1
    return "".join(code), strings


def sites(path: str, text: str) -> dict[str, list[tuple]]:
    """Candidate mutations by kind: (line index, start column, end column, replacements) for
    in-line changes, (first line index, line count) for deletions."""
    code, strings = blank_non_code(text)
    code_lines = code.split("\n")
    lines = text.split("\n")
    found: dict[str, list[tuple]] = {k: [] for k in ("relational", "arithmetic", "integer", "check", "wipe", "message")}
    for index, line in enumerate(code_lines):
        for m in BINARY.finditer(line):
            op = m.group(1)
            kind = "relational" if op in RELATIONAL else "arithmetic"
            found[kind].append((index, m.start(), m.end(), (RELATIONAL | ARITHMETIC)[op]))
        for m in STEP.finditer(line):
            found["arithmetic"].append((index, m.start(), m.end(), ["--" if m.group() == "++" else "++"]))
        for m in INTEGER.finditer(line):
            found["integer"].append((index, m.start(1), m.end(1), None))
        if CHECK_ONE_LINE.match(line):
            found["check"].append((index, 1))
        elif CHECK_HEAD.match(line) and index + 1 < len(code_lines) and code_lines[index + 1].strip().startswith("return"):
            braced = line.rstrip().endswith("{")
            if not braced and code_lines[index + 1].rstrip().endswith(";"):
                found["check"].append((index, 2))
            elif braced and index + 2 < len(code_lines) and code_lines[index + 2].strip() == "}":
                found["check"].append((index, 3))
        for m in WIPE.finditer(line):
            found["wipe"].append((index, m.start(), m.end(), ["{}"]))
    starts = [0]
    for line in lines:
        starts.append(starts[-1] + len(line) + 1)
    for start, end in strings:
        index = next(k for k in range(len(lines)) if starts[k] <= start < starts[k + 1])
        column = start - starts[index]
        body = text[start:end]
        letters = [k for k, c in enumerate(body) if c.isascii() and c.isalpha() and (k == 0 or body[k - 1] != "\\")]
        if len(body) >= 3 and letters and "\n" not in body:
            found["message"].append((index, column, column + len(body), letters))
    return {k: v for k, v in found.items() if v}


def make_mutant(path: str, lines: list[str], kind: str, site: tuple, rng: random.Random) -> Mutant:
    if kind == "check":
        index, count = site
        return Mutant(path, index + 1, kind, "\n".join(lines[index : index + count]), "")
    index, start, end, choices = site
    line = lines[index]
    old = line[start:end]
    if kind == "integer":
        value = int(old, 0)
        new_value = value + 1 if value == 0 or rng.random() < 0.5 else value - 1
        new = hex(new_value) if old.lower().startswith("0x") else str(new_value)
    elif kind == "message":
        k = rng.choice(choices)
        c = old[k]
        shifted = chr((ord(c.lower()) - ord("a") + 1) % 26 + ord("a"))
        new = old[:k] + (shifted.upper() if c.isupper() else shifted) + old[k + 1 :]
    else:
        new = rng.choice(choices)
    return Mutant(path, index + 1, kind, line, line[:start] + new + line[end:])


def product_sources() -> list[str]:
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard", *SOURCE_ROOTS],
                            cwd=ROOT, capture_output=True, text=True, check=True).stdout.split()
    return sorted(p for p in set(listed) if p.endswith((".cpp", ".hpp")) and not (ROOT / p).is_symlink()
                  and (ROOT / p).exists())


def draw_mutants(seed: int, count: int) -> list[Mutant]:
    files = {p: (ROOT / p).read_text() for p in product_sources()}
    candidates = {p: sites(p, t) for p, t in files.items()}
    sizes = {p: sum(1 for line in t.split("\n") if line.strip()) for p, t in files.items()}
    available = {p: sum(len(v) for v in c.values()) for p, c in candidates.items()}
    # Quotas in proportion to size (largest remainder), then what a file
    # cannot take goes to the files with sites left, largest first.
    total = sum(sizes.values())
    exact = {p: count * sizes[p] / total for p in files}
    quota = {p: min(int(exact[p]), available[p]) for p in files}
    for p in sorted(files, key=lambda p: (int(exact[p]) - exact[p], p)):
        if sum(quota.values()) >= count:
            break
        if quota[p] < available[p]:
            quota[p] += 1
    for p in sorted(files, key=lambda p: (-sizes[p], p)):
        quota[p] += min(available[p] - quota[p], count - sum(quota.values()))
    mutants = []
    for path in sorted(files):
        rng = random.Random(f"{seed}:{path}")
        lines = files[path].split("\n")
        unused = {k: list(v) for k, v in candidates[path].items()}
        for _ in range(quota[path]):
            kind = rng.choice(sorted(k for k, v in unused.items() if v))
            site = unused[kind].pop(rng.randrange(len(unused[kind])))
            mutants.append(make_mutant(path, lines, kind, site, rng))
    return sorted(mutants, key=lambda m: (m.path, m.line, m.kind, m.after))


# ------------------------------------------------------------------ running


def run(command: list[str], timeout: float, **kwargs) -> tuple[str, str]:
    """('ok' | 'failed' | 'timeout', output); the whole process group goes on timeout."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               start_new_session=True, **kwargs)
    try:
        output, _ = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return "timeout", output
    return ("ok" if process.returncode == 0 else "failed"), output


class Worker:
    """One copy of the tree, its build and its package directory of links."""

    def __init__(self, number: int, build_jobs: int, timeout: float, work: pathlib.Path = WORK) -> None:
        self.tree = work / f"tree-{number}"
        self.build = work / f"build-{number}"
        self.site = work / f"site-{number}"
        self.build_jobs = build_jobs
        self.timeout = timeout

    def sync(self, files: list[str]) -> None:
        wanted = set(files)
        for path in files:
            source, target = ROOT / path, self.tree / path
            if source.is_symlink():  # a link between layers, kept as a link
                if not target.is_symlink():
                    target.parent.mkdir(parents=True, exist_ok=True)
                    target.symlink_to(os.readlink(source))
                continue
            if not source.is_file():
                continue
            if not target.exists() or target.read_bytes() != source.read_bytes():
                target.parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(source, target)
        for directory, _, names in os.walk(self.tree):  # links to directories are not followed
            for name in names:
                target = pathlib.Path(directory) / name
                relative = target.relative_to(self.tree).as_posix()
                if relative not in wanted and not relative.startswith(".hypothesis"):
                    target.unlink()

    def configure(self) -> None:
        python = ROOT / ".venv" / "bin" / "python"
        launcher = ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which(
            "ccache") else []
        subprocess.run(["cmake", "-S", str(self.tree), "-B", str(self.build), "-DCORVANE_BUILD_TESTS=ON",
                        "-DCORVANE_BUILD_EXTENSION=OFF", f"-DPython_EXECUTABLE={python}",
                        "-DCMAKE_BUILD_TYPE=Release", *launcher], check=True, stdout=subprocess.DEVNULL)

    def link_package(self) -> None:
        package = self.site / "corvane_kit"
        shutil.rmtree(self.site, ignore_errors=True)
        package.mkdir(parents=True)
        for item in (self.tree / "python" / "corvane_kit").iterdir():
            if item.name != "__pycache__":
                (package / item.name).symlink_to(item)
        for module in [*self.build.glob("_native.*.so"), *self.build.glob("_extras.*.so")]:
            (package / module.name).symlink_to(module)

    def test(self) -> tuple[str, str]:
        """'killed' | 'survived' | 'timed out' | 'did not compile', and what decided it."""
        status, output = run(["cmake", "--build", str(self.build), "-j", str(self.build_jobs)], 1200)
        if status != "ok":
            return ("timed out" if status == "timeout" else "did not compile"), "build"
        started = time.monotonic()
        status, output = run(["ctest", "--test-dir", str(self.build), "--stop-on-failure", "-j", str(self.build_jobs),
                              "--timeout", str(int(self.timeout))], self.timeout)
        if status != "ok":
            failed = re.findall(r"\d+ - (\S+) \(", output)
            return ("timed out" if status == "timeout" else "killed"), "ctest " + " ".join(failed[:1])
        shutil.rmtree(self.tree / ".hypothesis", ignore_errors=True)
        tests = sorted((self.tree / "tests").glob("test_*.py"), key=lambda p: (p.name in SLOW_TESTS, p.name))
        env = {**os.environ, "PYTHONPATH": str(self.site), "CORVANE_FRAME_PROBE_DIR": str(self.build / "tests/cpp"),
               "CORVANE_LEAK_CALLS": "2000", "PYTHONDONTWRITEBYTECODE": "1"}
        # The goldens first: they replay every function in a second.
        status, output = run([str(ROOT / ".venv/bin/python"), "tests/make_vectors.py", "--check"], self.timeout,
                             cwd=self.tree, env=env)
        if status != "ok":
            return ("timed out" if status == "timeout" else "killed"), "goldens"
        remaining = self.timeout - (time.monotonic() - started)
        status, output = run([str(ROOT / ".venv/bin/python"), "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider",
                              "--hypothesis-seed=0", *map(str, tests)], max(remaining, 30), cwd=self.tree, env=env)
        if status == "timeout":
            return "timed out", "pytest"
        if status != "ok":
            failed = re.findall(r"^FAILED (\S+)", output, re.M) or re.findall(r"^ERROR (\S+)", output, re.M)
            return "killed", "pytest " + (failed[0] if failed else "")
        return "survived", ""

    def try_mutant(self, mutant: Mutant) -> tuple[str, str]:
        target = self.tree / mutant.path
        original = target.read_text()
        lines = original.split("\n")
        count = len(mutant.before.split("\n"))
        assert "\n".join(lines[mutant.line - 1 : mutant.line - 1 + count]) == mutant.before, mutant
        lines[mutant.line - 1 : mutant.line - 1 + count] = [mutant.after] if mutant.after else [""] * count
        target.write_text("\n".join(lines))
        try:
            return self.test()
        finally:
            target.write_text(original)


def python_mutants(tree: pathlib.Path, seed: int, count: int) -> list[tuple[str, object]]:
    """mutmut's mutants of python/corvane_kit as (path, mutation id): a seeded sample of `count`, or all."""
    import mutmut  # the test extra

    found = []
    for path in sorted((tree / "python" / "corvane_kit").glob("*.py")):
        relative = path.relative_to(tree).as_posix()
        found += [(relative, m) for m in mutmut.list_mutations(mutmut.Context(filename=str(path)))]
    if count and count < len(found):
        found = sorted(random.Random(seed).sample(found, count), key=lambda f: (f[0], f[1].line_number, f[1].index))
    return found


def mutate_python(args: argparse.Namespace, files: list[str]) -> int:
    """The Python layer's mutants, each run fail-fast against the tests that drive
    the layer, with the extension modules of the installed package."""
    import mutmut

    worker = Worker(0, 1, args.timeout)
    worker.tree, worker.site = WORK / "py-tree", WORK / "py-site"
    worker.sync(files)
    installed = subprocess.run([str(ROOT / ".venv/bin/python"), "-c", "import corvane_kit._native as m; print(m.__file__)"],
                               capture_output=True, text=True, check=True, cwd="/").stdout.strip()
    worker.build = pathlib.Path(installed).parent
    worker.link_package()
    mutants = python_mutants(worker.tree, args.seed, args.count)
    tests = [f"tests/{name}" for name in PYTHON_LAYER_TESTS if (worker.tree / "tests" / name).exists()]
    env = {**os.environ, "PYTHONPATH": str(worker.site), "PYTHONDONTWRITEBYTECODE": "1"}
    command = [str(ROOT / ".venv/bin/python"), "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider",
               "--hypothesis-seed=0", *tests]
    if args.list:
        for i, (path, m) in enumerate(mutants, 1):
            print(f"{i:4d} {path}:{m.line_number + 1} {m.line.strip()!r} #{m.index}")
        return 0
    if run(command, args.timeout, cwd=worker.tree, env=env)[0] != "ok":
        print("the unmutated Python-layer tests do not pass", file=sys.stderr)
        return 2
    print(f"{len(mutants)} Python mutants (seed {args.seed})", flush=True)
    tally = {"killed": 0, "survived": 0, "timed out": 0}
    survivors = []
    for i, (path, mutation) in enumerate(mutants, 1):
        target = worker.tree / path
        original = target.read_text()
        mutated, _ = mutmut.mutate(mutmut.Context(source=original, mutation_id=mutation, filename=str(target)))
        target.write_text(mutated)
        try:
            status, output = run(command, args.timeout, cwd=worker.tree, env=env)
        finally:
            target.write_text(original)
        outcome = {"ok": "survived", "timeout": "timed out"}.get(status, "killed")
        tally[outcome] += 1
        described = f"{path}:{mutation.line_number + 1} {mutation.line.strip()!r} #{mutation.index}"
        if outcome == "survived":
            changed = [line for line in mutated.split("\n") if line not in original.split("\n")]
            survivors.append(f"  {described} -> {changed[0].strip() if changed else '?'!r}")
        print(f"[{i:3d}/{len(mutants)}] {outcome:<10} {described}", flush=True)
    decided = tally["killed"] + tally["survived"]
    print("\n" + ", ".join(f"{v} {k}" for k, v in tally.items()))
    print(f"kill rate {tally['killed']}/{decided} = {tally['killed'] / decided:.1%}" if decided else "kill rate n/a")
    print("survivors:", *survivors, sep="\n")
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=20240611)
    parser.add_argument("--count", type=int, default=160)
    parser.add_argument("--jobs", type=int, default=1, help="trees tried in parallel")
    parser.add_argument("--only", help="only the mutants of this file (path from the repository root)")
    parser.add_argument("--ids", help="only these mutants, by number (comma-separated)")
    parser.add_argument("--work", default=str(WORK), help="where the trees and builds go")
    parser.add_argument("--timeout", type=float, default=300, help="seconds of testing per mutant")
    parser.add_argument("--list", action="store_true", help="print the mutants and stop")
    parser.add_argument("--python", action="store_true", help="mutate python/corvane_kit with mutmut instead")
    args = parser.parse_args()
    files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                           capture_output=True, text=True, check=True).stdout.split()
    if args.python:
        return mutate_python(args, files)

    mutants = draw_mutants(args.seed, args.count)
    numbered = list(enumerate(mutants, 1))
    if args.only:
        numbered = [(i, m) for i, m in numbered if m.path == args.only]
    if args.ids:
        numbered = [(i, m) for i, m in numbered if str(i) in args.ids.split(",")]
    if args.list:
        for i, m in numbered:
            print(f"{i:4d} {m.describe()}")
        return 0

    workers = [Worker(n, max(1, 2 // args.jobs), args.timeout, pathlib.Path(args.work).resolve()) for n in range(args.jobs)]
    for worker in workers:
        worker.sync(files)
        worker.configure()
        status, output = run(["cmake", "--build", str(worker.build), "-j", str(worker.build_jobs)], 3600)
        if status != "ok":
            print(output[-3000:], file=sys.stderr)
            return 2
        worker.link_package()
        outcome, where = worker.test()
        if outcome != "survived":
            print(f"the unmutated suite does not pass in {worker.tree} ({outcome} {where})", file=sys.stderr)
            return 2
    print(f"{len(numbered)} mutants (seed {args.seed}), {args.jobs} job(s)", flush=True)

    results: dict[int, tuple[str, str]] = {}
    lock = threading.Lock()
    free = list(workers)

    def attempt(item: tuple[int, Mutant]) -> None:
        number, mutant = item
        with lock:
            worker = free.pop()
        started = time.monotonic()
        try:
            outcome = worker.try_mutant(mutant)
        finally:
            with lock:
                free.append(worker)
        with lock:
            results[number] = outcome
            print(f"[{len(results):3d}/{len(numbered)}] #{number:<4d} {outcome[0]:<15} {mutant.describe()}"
                  f"  ({outcome[1]}, {time.monotonic() - started:.0f} s)", flush=True)

    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        list(pool.map(attempt, numbered))

    tally = {k: sum(1 for o, _ in results.values() if o == k)
             for k in ("killed", "survived", "did not compile", "timed out")}
    decided = tally["killed"] + tally["survived"]
    print("\n" + ", ".join(f"{v} {k}" for k, v in tally.items()))
    print(f"kill rate {tally['killed']}/{decided} = {tally['killed'] / decided:.1%}" if decided else "kill rate n/a")
    survivors = [(i, m) for i, m in numbered if results[i][0] == "survived"]
    if survivors:
        print("survivors:")
        for i, m in survivors:
            print(f"  #{i} {m.describe()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
