"""The grow options, checked as ``ammonite-batch`` checks its own, and turned
into the engine's session options."""

import math
import numbers
import os

from . import _ammonite

SWEEP_NAMES = tuple(_ammonite.sweep_names().split(", "))

# The keyword arguments of grow(), in the order of the batch tool's options.
GROW_OPTIONS = ("stages", "scale", "view", "light", "origin", "densities", "orientation", "ribbing",
                "thresholds", "profiles", "runs", "shade")

# A value must fit the model's four-decimal fields.
_FIXED4_FIELD = 9.0e14
# Threshold bars ST1, ST2 (0..1000) and FT1, FT2 (-80..0).
_THRESHOLD_RANGES = ((0, 1000), (0, 1000), (-80, 0), (-80, 0))


def file_path(value, what="path"):
    """A path given as text or path-like, as the engine takes it. A NUL
    character would cut the name short where the system reads it, so a path
    holding one is refused (ValueError) rather than read or written under
    another name."""
    value = os.fspath(value)
    if ("\0" if isinstance(value, str) else b"\0") in value:
        raise ValueError(f"{what}: the path {value!r} contains a NUL character")
    return value


def _is_number(value):
    return isinstance(value, numbers.Real) and not isinstance(value, bool)


def _number_text(value):
    """The text a user would type for a number: whole numbers without a point."""
    value = float(value)
    if value.is_integer():
        return str(int(value))
    return repr(value)


def _typed(name, value, lo, hi, whole):
    """A number or the text typed into a box, checked as the box checks it."""
    if isinstance(value, str):
        text = value
    elif _is_number(value):
        if not math.isfinite(float(value)):
            raise ValueError(f"{name}: {value} is not a finite number")
        text = _number_text(value)
    else:
        raise TypeError(f"{name} must be a number or the text typed into the box, not {type(value).__name__}")
    _ammonite.check_typed(name, text, lo, hi, whole)
    return text


def _numbers(name, value, count, limit=None, minimum=None):
    try:
        items = list(value)
    except TypeError:
        items = None
    if items is None or isinstance(value, (str, bytes)) or len(items) != count:
        raise ValueError(f"{name} must be {count} numbers, not {value!r}")
    out = []
    for item in items:
        if not _is_number(item) or not math.isfinite(float(item)):
            raise ValueError(f"{name}: {item!r} is not a finite number")
        v = float(item)
        if limit is not None and not -limit < v < limit:
            raise ValueError(f"{name}: {_number_text(v)} is too large for the model (at most {limit:g} in size)")
        if minimum is not None and v < minimum:
            raise ValueError(f"{name}: {_number_text(v)}: a density cannot be negative")
        out.append(v)
    return tuple(out)


def _switch(name, value):
    if isinstance(value, str) and value in ("on", "off"):
        return value == "on"
    if isinstance(value, bool) or (isinstance(value, numbers.Integral) and value in (0, 1)):
        return bool(value)
    raise ValueError(f"{name} must be True or False (or 'on'/'off'), not {value!r}")


def _whole(name, value, lo, hi):
    if isinstance(value, bool) or not _is_number(value) or not float(value).is_integer():
        raise ValueError(f"{name}: {value!r} is not a whole number")
    if not lo <= value <= hi:
        raise ValueError(f"{name}: {int(value)} is outside {lo}..{hi}")
    return int(value)


def check_options(options):
    """Checks grow options (a dict of the keywords of grow()); returns them in
    a plain, picklable form. ValueError or TypeError names the bad option."""
    unknown = sorted(set(options) - set(GROW_OPTIONS))
    if unknown:
        raise TypeError(f"unknown option {unknown[0]!r} (options: {', '.join(GROW_OPTIONS)})")
    out = {}
    for name, value in options.items():
        if value is None:
            continue
        if name == "stages":
            value = _typed("stages", value, -32768, 32767, True)
        elif name == "scale":
            value = _typed("scale", value, -_ammonite.FIXED4_LIMIT, _ammonite.FIXED4_LIMIT, False)
        elif name in ("view", "light"):
            value = _numbers(name, value, 3, limit=_FIXED4_FIELD)
        elif name == "origin":
            value = _numbers(name, value, 2, limit=_FIXED4_FIELD)
        elif name == "densities":
            value = _numbers(name, value, 2, minimum=0)
        elif name in ("orientation", "ribbing", "shade"):
            value = _switch(name, value)
        elif name == "thresholds":
            try:
                items = list(value)
            except TypeError:
                items = []
            if isinstance(value, (str, bytes)) or len(items) != 4:
                raise ValueError(f"thresholds must be 4 whole numbers ST1, ST2, FT1, FT2, not {value!r}")
            value = tuple(_whole(f"thresholds {label}", v, lo, hi)
                          for label, v, (lo, hi) in zip(("ST1", "ST2", "FT1", "FT2"), items, _THRESHOLD_RANGES))
        elif name == "runs":
            value = _whole("runs", value, 0, 100000)
        elif name == "profiles":
            if isinstance(value, (str, os.PathLike)):
                value = file_path(value, "profiles")
                if value == "":
                    raise ValueError("profiles: the path is empty")
            elif isinstance(value, dict):
                # Checked (and copied) by the engine's own reading.
                _ammonite.format_profiles(value)
                value = dict(value)
            else:
                raise TypeError("profiles must be a path to a profile data file or a dict as read_profiles() "
                                f"returns, not {type(value).__name__}")
        out[name] = value
    return out


def session_options(checked):
    """The engine's session options for options check_options() returned."""
    o = _ammonite.SessionOptions()
    for name, value in checked.items():
        if name == "stages":
            o.stages_text = value
        elif name == "scale":
            o.scale_text = value
        elif name == "profiles":
            if isinstance(value, dict):
                o.set_profiles(value)
            else:
                o.profiles_path = value
        else:
            setattr(o, name, value)
    return o
