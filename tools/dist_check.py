"""`make dist-check`: the built wheel works on its own.

Installs dist/*manylinux*.whl into a fresh virtual environment that has no
build tools (nothing may be compiled: binary wheels only), shows that the
installed module loads the libsodium copy inside the wheel rather than the
system's, and checks the wire goldens against the installed package.
"""

from __future__ import annotations

import pathlib
import subprocess
import sys
import tempfile
import venv

ROOT = pathlib.Path(__file__).resolve().parent.parent

# Run inside the fresh environment: where the package and libsodium come from.
PROBE = r"""
import pathlib, sys
import corvane_kit, corvane_kit._native
package = pathlib.Path(corvane_kit.__file__).resolve().parent
assert pathlib.Path(sys.prefix).resolve() in package.parents, f"imported from {package}"
mapped = {line.split()[-1] for line in open("/proc/self/maps") if "libsodium" in line}
assert mapped, "libsodium is not loaded"
bundled = package.parent / "corvane_kit.libs"
for path in mapped:
    assert pathlib.Path(path).resolve().parent == bundled.resolve(), f"libsodium loaded from {path}"
print(f"corvane_kit {corvane_kit.__version__} from {package}")
print("libsodium from " + ", ".join(sorted(mapped)))
"""


def run(*command: str | pathlib.Path, cwd: pathlib.Path | None = None) -> None:
    shown = [str(c) if str(c) != PROBE else "<probe>" for c in command]
    print("+", " ".join(shown), flush=True)
    subprocess.run([str(c) for c in command], check=True, cwd=cwd)


def main() -> int:
    dist = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "dist")
    wheels = sorted(dist.glob("*manylinux*.whl"))
    sdists = sorted(dist.glob("*.tar.gz"))
    if len(wheels) != 1 or len(sdists) != 1:
        print(f"expected one manylinux wheel and one sdist in {dist}, found {wheels + sdists}", file=sys.stderr)
        return 1
    with tempfile.TemporaryDirectory() as tmp:
        env_dir = pathlib.Path(tmp) / "env"
        venv.create(env_dir, with_pip=True)
        python = env_dir / "bin" / "python"
        # No build tools: drop setuptools and refuse anything that is not a binary wheel.
        run(python, "-m", "pip", "uninstall", "-q", "-y", "setuptools")
        run(python, "-m", "pip", "install", "-q", "--disable-pip-version-check", "--only-binary=:all:",
            wheels[0], "pynacl", "blake3")
        run(python, "-c", PROBE, cwd=pathlib.Path(tmp))
        run(python, ROOT / "tests" / "make_vectors.py", "--check", cwd=pathlib.Path(tmp))
    return 0


if __name__ == "__main__":
    sys.exit(main())
