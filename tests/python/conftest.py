"""What the Python package's tests share: the filter textquirl-cli as the
oracle (TEXTQUIRL_CLI, by default build/bin/textquirl-cli of this checkout)."""

import os
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def cli():
    """Runs the filter with the given arguments and UTF-8 input; returns its output as str."""
    program = Path(os.environ.get("TEXTQUIRL_CLI", ROOT / "build" / "bin" / "textquirl-cli"))
    if not program.is_file():
        pytest.fail(f"the filter {program} is missing: build it or set TEXTQUIRL_CLI")

    def run(*args, text=""):
        done = subprocess.run([str(program), *map(str, args)], input=text.encode(), capture_output=True, check=False)
        assert done.returncode == 0, done.stderr.decode()
        return done.stdout.decode()

    return run
