#!/usr/bin/env python3
"""Checks that includes in the product code only go down the layers.

Layers, bottom to top, one folder each under the include root src/:
base, encoding, crypto, evidence (corvane-evidence/src), functions, boundary.
An include of our own names its folder ("encoding/hex.hpp") and that folder
is the file's own layer or a lower one. Python.h is included in boundary only,
blake3.h in encoding only, sodium.h in base (wiping) and crypto only.
Prints one line per offence and exits 1 if there is any.
"""
import pathlib
import re
import sys

LAYERS = ["base", "encoding", "crypto", "evidence", "functions", "boundary"]
ALLOWED_THIRD_PARTY = {"Python.h": {"boundary"}, "blake3.h": {"encoding"}, "sodium.h": {"base", "crypto"}}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def sources(root: pathlib.Path):
    for folder, layer in [(root / "src" / name, name) for name in LAYERS if name != "evidence"] + [
        (root / "corvane-evidence" / "src", "evidence")
    ]:
        for path in sorted(folder.rglob("*")):
            if path.suffix in (".hpp", ".cpp", ".h", ".c"):
                yield path, layer
    for path in sorted((root / "src").glob("*.*")):
        yield path, None  # every file belongs in a layer's folder


def offences(root: pathlib.Path):
    for path, layer in sources(root):
        where = path.relative_to(root)
        if layer is None:
            yield f"{where}: outside every layer's folder"
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quote, name = match.groups()
            here = f"{where}:{number}: {name}"
            if name in ALLOWED_THIRD_PARTY:
                if layer not in ALLOWED_THIRD_PARTY[name]:
                    yield f"{here}: only {', '.join(sorted(ALLOWED_THIRD_PARTY[name]))} may include it"
            elif quote == '"':
                folder = name.split("/", 1)[0] if "/" in name else None
                if folder not in LAYERS:
                    yield f"{here}: an own header must be named from src/ with its layer's folder"
                elif LAYERS.index(folder) > LAYERS.index(layer):
                    yield f"{here}: {layer} may not include from the higher layer {folder}"


def main() -> int:
    root = pathlib.Path(__file__).resolve().parent.parent
    found = list(offences(root))
    for offence in found:
        print(offence)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
