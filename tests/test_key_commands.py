"""corvane-kit public-key and new-seed: the key against PyNaCl, private new files, and no seed in any output."""

import base64
import os
import re
import stat

import nacl.signing
import pytest

from test_cli import SECRET, assert_one_line_error, run, write  # noqa: F401
from test_cli import private_seeds  # noqa: F401  (a fixture of run)

FORMATS = {"base64": lambda key: base64.b64encode(key).decode(), "hex": bytes.hex}


def nacl_line(seed, form):
    return FORMATS[form](bytes(nacl.signing.SigningKey(seed).verify_key)) + "\n"


@pytest.mark.parametrize("form", [[], ["--format", "base64"], ["--format", "hex"]])
@pytest.mark.parametrize("source", ["hex file", "raw file", "environment"])
def test_public_key(run, tmp_path, monkeypatch, form, source):
    seed = bytes.fromhex(SECRET)
    monkeypatch.setenv("CK_TEST_SEED", SECRET)
    seed_argv = {"hex file": ["--seed-file", write(tmp_path, "s", SECRET + "\n")],
                 "raw file": ["--seed-file", write(tmp_path, "s", seed)],
                 "environment": ["--seed-env", "CK_TEST_SEED"]}[source]  # fmt: skip
    assert run(["public-key", *seed_argv, *form]) == (0, nacl_line(seed, form[-1] if form else "base64"), "")


@pytest.mark.parametrize("umask", [0o022, 0o000, 0o277])
@pytest.mark.parametrize("form", ["base64", "hex"])
def test_new_seed_writes_a_private_file_and_prints_its_key(run, tmp_path, umask, form):
    path = tmp_path / "new.seed"
    old_umask = os.umask(umask)
    try:
        status, out, err = run(["new-seed", "--out", path, "--format", form])
    finally:
        os.umask(old_umask)
    text = path.read_text()
    assert stat.S_IMODE(path.stat().st_mode) == 0o600
    assert len(text) == 65 and text.endswith("\n") and text[:64] == bytes.fromhex(text[:64]).hex()
    assert (status, out, err) == (0, nacl_line(bytes.fromhex(text), form), "")
    assert text[:32] not in out + err and text[32:64] not in out + err
    assert run(["public-key", "--seed-file", path, "--format", form])[1] == out


def test_new_seeds_differ(run, tmp_path):
    assert run(["new-seed", "--out", tmp_path / "a"])[1] != run(["new-seed", "--out", tmp_path / "b"])[1]


@pytest.mark.parametrize(
    "argv, message",
    [
        (["public-key", "--seed-file", "@missing"], "--seed-file: cannot read @missing: No such file or directory"),
        (["public-key", "--seed-file", "@bad"], "--seed-file @bad must hold 32 raw bytes or 64 hex digits"),
        (["public-key", "--seed-file", "@open"], "--seed-file: permissions 0644 for @open are too open"),
        (["public-key"], "missing seed: give --seed-file FILE or --seed-env NAME"),
        (["public-key", "--seed", SECRET], "a seed is never given on the command line: use --seed-file or --seed-env"),
        (["new-seed", "--out", "@existing"], "--out: @existing already exists; new-seed never replaces a file"),
        (["new-seed", "--out", "@link"], "--out: @link already exists; new-seed never replaces a file"),
        (["new-seed", "--out", "@dangling"], "--out: @dangling already exists; new-seed never replaces a file"),
        (["new-seed", "--out", "@missing/s"], "--out: cannot create @missing/s: No such file or directory"),
        (["new-seed", "--out", "@existing/s"], "--out: cannot create @existing/s: Not a directory"),
        (["new-seed", "--out", "-"], "--out takes the path of a new file: a seed is never written to standard output"),
        (["new-seed"], "the following arguments are required: --out"),
    ],
)  # fmt: skip
def test_key_command_failures(run, tmp_path, argv, message):
    paths = {"@missing": str(tmp_path / "missing"), "@bad": write(tmp_path, "bad", SECRET[:63]),
             "@open": write(tmp_path, "open", SECRET, 0o644), "@existing": write(tmp_path, "existing", SECRET),
             "@link": str(tmp_path / "link"), "@dangling": str(tmp_path / "dangling")}  # fmt: skip
    os.symlink(paths["@existing"], paths["@link"])
    os.symlink(paths["@missing"], paths["@dangling"])
    result = run([re.sub(r"@\w+", lambda m: paths[m[0]], a) for a in argv])
    assert_one_line_error(result, re.sub(r"@\w+", lambda m: paths[m[0]], message))
    assert SECRET[:32] not in result[2]
    assert (tmp_path / "existing").read_text() == SECRET and not os.path.lexists(paths["@missing"])
