"""``python -m corvane_kit``: the corvane-kit command."""

import sys

from corvane_kit.cli import main

sys.exit(main())
