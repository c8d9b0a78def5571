# Two commands for a fresh machine: `make demo` and `make test`. Each installs
# what is missing (Debian packages when run as root, a .venv with the package
# and its test extras), builds, and runs.

PYTHON ?= python3
VENV := .venv
PY := $(VENV)/bin/python
CPP_BUILD := build/cpp
SYSTEM_PACKAGES := libsodium-dev librust-blake3-dev pkg-config
PY_TOOLS := 'scikit-build-core>=0.10' pytest hypothesis pynacl blake3 cryptography
JOBS ?= 2

.PHONY: all demo test bench build cpp-build cpp-test pytest system-deps venv clean

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

$(VENV)/.tools: pyproject.toml
	$(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --disable-pip-version-check $(PY_TOOLS)
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

test: cpp-test pytest

demo: build
	$(PY) examples/demo.py

bench: build cpp-build
	$(PY) bench/run.py --build-dir $(CPP_BUILD)

clean:
	rm -rf build $(VENV)
