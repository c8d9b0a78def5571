import importlib.util
import os
import pathlib

import pytest


@pytest.fixture(scope="session")
def frame_probe():
    """The test-only module built from the same call frame as _native."""
    directory = os.environ.get("CORVANE_FRAME_PROBE_DIR")
    candidates = sorted(pathlib.Path(directory).glob("_frame_probe*.so")) if directory else []
    if not candidates:
        pytest.skip("the frame probe module is built by `make test` (set CORVANE_FRAME_PROBE_DIR)")
    spec = importlib.util.spec_from_file_location("_frame_probe", candidates[0])
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module
