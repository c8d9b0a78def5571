"""Write examples/manifest.sig.hex and examples/exporter.pub.hex.

The exporter signs the SHA-256 digest of examples/manifest.json's bytes with
the EXAMPLE exporter seed (examples/seeds/exporter.example.hex). PyNaCl makes
the signature, so the demo's check with verify-digest is against a signature
that this package did not make. Run it again only after changing the manifest:

    .venv/bin/python tools/sign_example_manifest.py
"""

import hashlib
import pathlib

from nacl.signing import SigningKey

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"


def main() -> None:
    seed = bytes.fromhex((EXAMPLES / "seeds" / "exporter.example.hex").read_text().strip())
    key = SigningKey(seed)
    digest = hashlib.sha256((EXAMPLES / "manifest.json").read_bytes()).digest()
    signature = key.sign(digest).signature
    (EXAMPLES / "manifest.sig.hex").write_text(signature.hex() + "\n")
    (EXAMPLES / "exporter.pub.hex").write_text(bytes(key.verify_key).hex() + "\n")


if __name__ == "__main__":
    main()
