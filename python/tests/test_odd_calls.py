"""Odd calls never kill the interpreter: every method of an object whose constructor never ran
raises TypeError, and every public name has a docstring."""

import enum
import re
import subprocess
import sys
import textwrap

import pelto

BATTERY = textwrap.dedent(
    """
    import inspect, itertools, pelto

    CANDIDATES = [0, 0.5, [1.0, 2.0], None, "x"]
    classes = [c for c in vars(pelto).values() if isinstance(c, type) and c.__module__ == "pelto._pelto"]
    unguarded = []
    for cls in classes:
        own = ["__repr__", "__getstate__", "__copy__", "__deepcopy__", "__eq__", "__hash__"]
        names = [n for n in dir(cls) if not n.startswith("_")] + [n for n in own if n in vars(cls)]
        for name in names:
            static = inspect.getattr_static(cls, name)
            if isinstance(static, (int, float, str, staticmethod)) or type(static).__name__ == "builtin_function_or_method":
                continue  # class constants and static methods: no object to guard
            guarded = False
            for arity in range(4):
                for args in itertools.product(CANDIDATES, repeat=arity):
                    blank = cls.__new__(cls)
                    try:
                        attribute = getattr(blank, name)
                        if callable(attribute):
                            attribute(*args)
                    except TypeError as error:
                        guarded |= "never constructed" in str(error)
                    if guarded:
                        break
                if guarded:
                    break
            if not guarded:
                unguarded.append(cls.__name__ + "." + name)
    print(len(classes), "classes;", "unguarded:", unguarded)
    raise SystemExit(1 if unguarded else 0)
    """
)


def test_methods_of_an_unconstructed_object_raise_and_never_crash():
    run = subprocess.run([sys.executable, "-c", BATTERY], capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stdout + run.stderr


def described(value):
    """Whether the docstring says more than the signature pybind11 writes for every function."""
    lines = (getattr(value, "__doc__", None) or "").splitlines()
    return any(line.strip() and not re.fullmatch(r"\w+\(.*\)( -> .*)?", line.strip()) for line in lines)


def test_every_public_name_has_a_docstring():
    missing = []
    for name in pelto.__all__:
        value = getattr(pelto, name)
        if not isinstance(value, str) and not described(value):
            missing.append(name)
        if isinstance(value, type) and not issubclass(value, enum.Enum):
            for member, attribute in vars(value).items():
                if not member.startswith("_") and not isinstance(attribute, (int, float, str)):
                    if not described(attribute):
                        missing.append(f"{name}.{member}")
    assert missing == []
