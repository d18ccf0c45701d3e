"""Builds the extension textquirl._textquirl from the engine's C++ sources.

The version and the list of engine sources are read from the project's CMake
files, where they are kept, so that this build cannot drift from the others.
"""

import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension, build_ext
from setuptools import setup

HERE = Path(__file__).resolve().parent
# In the source tree the package sits in python/, beside the engine; in its
# source distribution (packaging/python/make-sdist.sh) the engine is inside.
ROOT = HERE if (HERE / "engine").is_dir() else HERE.parent


def project_version() -> str:
    """The VERSION of project() in the top CMakeLists.txt, e.g. "1.0.0"."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"\bproject\s*\([^)]*?\bVERSION\s+([0-9][0-9.]*)", text)
    if not match:
        raise SystemExit("no project(... VERSION ...) in CMakeLists.txt")
    return match.group(1)


def engine_sources() -> list:
    """The .cpp files of add_library(textquirl_engine ...) in engine/CMakeLists.txt."""
    text = (ROOT / "engine" / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"\badd_library\s*\(\s*textquirl_engine\b([^)]*)\)", text)
    if not match:
        raise SystemExit("no add_library(textquirl_engine ...) in engine/CMakeLists.txt")
    names = [word for word in match.group(1).split() if word.endswith(".cpp")]
    return [str(ROOT / "engine" / name) for name in names]


def engine_headers() -> list:
    """Every header the extension may include, so that a change to one rebuilds it."""
    headers = [*(ROOT / "engine").rglob("*.hpp"), *(HERE / "src").glob("*.hpp")]
    return sorted(str(path) for path in headers)


VERSION = project_version()

ParallelCompile("TEXTQUIRL_BUILD_JOBS").install()

setup(
    version=VERSION,
    ext_modules=[
        Pybind11Extension(
            "textquirl._textquirl",
            [str(HERE / "src" / "module.cpp"), *engine_sources()],
            include_dirs=[str(ROOT)],
            depends=engine_headers(),
            define_macros=[("TEXTQUIRL_VERSION", f'"{VERSION}"')],
            cxx_std=20,
            # As the CMake release build optimises the engine; no debug
            # information, which would make the module ten times its size.
            extra_compile_args=["-O3", "-g0"],
            extra_link_args=["-g0"],
        )
    ],
    cmdclass={"build_ext": build_ext},
)
