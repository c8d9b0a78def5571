"""The wire goldens in tests/vectors/ are what the module does today, and each
outcome passes make_vectors' independent checks (PyNaCl over payloads rebuilt
by payload_reference, ed25519_reference, messages written by hand)."""

import json

import pytest

import make_vectors


@pytest.fixture(scope="module")
def made():
    return make_vectors.build()


@pytest.mark.parametrize("filename", make_vectors.FILES)
def test_golden_file_is_reproduced(made, filename):
    on_disk = json.loads((make_vectors.VECTORS / filename).read_text())
    for golden, now in zip(on_disk["cases"], json.loads(made[filename])["cases"]):
        assert now == golden, golden["name"]
    assert made[filename] == (make_vectors.VECTORS / filename).read_text()
