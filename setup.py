"""Builds the Python package `pelto` through the project's CMake build.

`python3 -m pip install --no-build-isolation .` (see the README) runs this: CMake configures the
project for the interpreter that runs pip, builds the native module only, and the module lands in
the wheel beside python/pelto/. Needs CMake, a C++20 compiler, NumPy, pybind11 and the Python
headers; downloads nothing.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version() -> str:
    """The one project version, from the top-level CMakeLists.txt."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(\s*pelto\s+VERSION\s+([0-9.]+)", text)
    if not match:
        raise RuntimeError("no project version in CMakeLists.txt")
    return match.group(1)


class CMakeBuild(build_ext):
    """Builds pelto._pelto with CMake instead of setuptools' compiler calls."""

    def build_extension(self, ext: Extension) -> None:
        build = Path(self.build_temp).resolve() / "cmake"
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build), *generator,
             "-DCMAKE_BUILD_TYPE=Release",
             f"-DPython_EXECUTABLE={sys.executable}",
             "-DPELTO_PYTHON=ON", "-DPELTO_INSTALL=OFF", "-DPELTO_BUILD_TESTS=OFF",
             "-DPELTO_BUILD_BENCHMARKS=OFF", "-DPELTO_BUILD_EXAMPLES=OFF"],
            check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "pelto_python",
                        "--parallel", os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")],
                       check=True)
        built = sorted((build / "python" / "pelto").glob("_pelto*"))
        if not built:
            raise RuntimeError(f"CMake built no native module in {build}/python/pelto: is "
                               "NumPy or pybind11 missing? CMake's output above says why.")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


setup(
    version=project_version(),
    packages=["pelto"],
    package_dir={"": "python"},
    package_data={"pelto": ["py.typed", "*.pyi"]},
    ext_modules=[Extension("pelto._pelto", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
