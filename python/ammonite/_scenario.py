"""Scenarios: everything that defines a grown shell, as one value.

A Scenario holds the four profiles with α and the final stage, the stage
count, the settings of the settings window, the positions of the four
threshold bars, how many times START is pressed and whether SHADE follows.
Growing one always starts from the main window's load step, so the same
scenario gives the same shell in Python, the batch tool, a sweep point and
the windows, whatever was grown before.
"""

from __future__ import annotations

import os
import tomllib
from collections.abc import Iterator, Mapping
from typing import Any

from . import _ammonite

# (name, unit, allowed, help) of every key, in file order.
KEYS = tuple(tuple(k) for k in _ammonite.scenario_keys())
FIELDS = tuple(k[0] for k in KEYS)


def _field_table():
    defaults = _ammonite.scenario_defaults()
    lines = []
    for name, unit, allowed, help_text in KEYS:
        default = defaults[name]
        if name in ("gamma", "C", "T", "beta"):
            default = "[" + ", ".join(f"({s:g}, {v:g})" for s, v in default) + "]"
        else:
            default = repr(default)
        unit = f" [{unit}]" if unit else ""
        lines.append(f"    {name}{unit}: {help_text}; {allowed}; default {default}")
    return "\n".join(lines)


class Scenario(Mapping):
    """Everything that defines a grown shell; an immutable mapping of its keys.

    ``grow(**scenario)`` and ``grow(scenario)`` grow it; ``scenario.replace(
    alpha=1.01)`` is a copy with changes; :meth:`load` and :meth:`save` read
    and write scenario files (TOML, docs/scenario.md), and :meth:`from_result`
    reads the scenario a PNG, SVG or mesh sidecar of this program carries.
    The keys are also attributes. A Scenario pickles.

    Parameters
    ----------
    **values
        Any of the keys below; keys not given keep their defaults. Every
        value is checked before anything runs: numbers are numbers (a text
        only when it is a whole valid number), counts are whole numbers in
        their range, every value is finite and fits its field, and a profile
        is 1 to 51 (stage, value) pairs with non-decreasing stages from 0 to
        final_stage (one pair is a constant).

    Raises
    ------
    ValueError
        Naming the key, the value given and what is allowed.
    TypeError
        For a value of no scenario type.

    Notes
    -----
    Keys [unit]: meaning; allowed; default:

{fields}

    Examples
    --------
    >>> import ammonite
    >>> s = ammonite.Scenario(stages=250, density_body=1.4)
    >>> s.stages, s["density_body"], s.alpha
    (250, 1.4, 1.005)
    >>> s.replace(alpha=1.01)
    ammonite.Scenario(alpha=1.01, stages=250, density_body=1.4)
    """

    __slots__ = ("_values",)

    def __init__(self, **values: Any) -> None:
        object.__setattr__(self, "_values", _ammonite.check_scenario(values))

    @classmethod
    def _checked(cls, values, where="", needs_format=False):
        s = cls.__new__(cls)
        object.__setattr__(s, "_values", _ammonite.check_scenario(values, where, needs_format))
        return s

    # ---- files ----

    @classmethod
    def load(cls, path: str | os.PathLike[str]) -> Scenario:
        """Reads a scenario file.

        Parameters
        ----------
        path : str or os.PathLike
            A scenario file (TOML; its `format` key is required).

        Returns
        -------
        Scenario

        Raises
        ------
        ValueError
            Naming the file and the key, or the line of a TOML syntax error.
        """
        path = os.fspath(path)
        name = os.path.basename(path)
        try:
            with open(path, "rb") as f:
                data = tomllib.load(f)
        except tomllib.TOMLDecodeError as e:
            raise ValueError(f"{name}: {e}") from None
        return cls._checked(data, name, True)

    @classmethod
    def from_result(cls, path: str | os.PathLike[str]) -> Scenario:
        """The scenario a result written by this program carries.

        Parameters
        ----------
        path : str or os.PathLike
            A PNG, an SVG or a mesh sidecar (NAME_volumes.txt), or a scenario
            file. ``grow()`` the scenario to get the same shell again.

        Returns
        -------
        Scenario

        Raises
        ------
        ValueError
            When the file carries none.
        """
        return cls._checked(_ammonite.read_scenario_from(os.fspath(path)))

    def save(self, path: str | os.PathLike[str]) -> None:
        """Writes the scenario file through the program's safe writer.

        Parameters
        ----------
        path : str or os.PathLike
            Where to write it; the old file stays whole until the new one is
            complete.

        Raises
        ------
        WriteError
            (an OSError) when it cannot be written.
        """
        _ammonite.write_file(os.fspath(path), self.toml().encode("utf-8"))

    def toml(self) -> str:
        """The text of the scenario file.

        Returns
        -------
        str
        """
        return _ammonite.scenario_toml(self._values)

    # ---- values ----

    def replace(self, **changes: Any) -> Scenario:
        """A copy with changes.

        Parameters
        ----------
        **changes
            Keys and their new values, checked as ``Scenario()`` checks them.

        Returns
        -------
        Scenario
        """
        return Scenario(**{**self._values, **changes})

    def __getitem__(self, key: str) -> Any:
        return self._values[key]

    def __iter__(self) -> Iterator[str]:
        return iter(self._values)

    def __len__(self) -> int:
        return len(self._values)

    def __getattr__(self, name: str) -> Any:
        if name.startswith("_"):
            raise AttributeError(name)
        try:
            return self._values[name]
        except KeyError:
            raise AttributeError(f"a scenario has no key {name!r} (keys: {', '.join(FIELDS)})") from None

    def __setattr__(self, name: str, value: Any) -> None:
        raise AttributeError("a scenario does not change: use replace()")

    def __eq__(self, other: object) -> bool:
        if isinstance(other, Scenario):
            return self._values == other._values
        return NotImplemented

    __hash__ = None

    def __repr__(self) -> str:
        defaults = _ammonite.scenario_defaults()
        changed = ", ".join(f"{k}={v!r}" for k, v in self._values.items() if defaults.get(k) != v)
        return f"ammonite.Scenario({changed})"

    def __reduce__(self):
        return (_rebuild, (dict(self._values),))


def _rebuild(values):
    return Scenario(**values)


Scenario.__doc__ = Scenario.__doc__.format(fields=_field_table())


def defaults() -> Scenario:
    """The scenario the main window starts with.

    Returns
    -------
    Scenario
        Every key at its default.

    Examples
    --------
    >>> import ammonite
    >>> ammonite.defaults().stages
    1700
    """
    return Scenario()


# Inputs grow() takes besides the scenario's keys: groups of keys, and the
# profiles as a profile data file or a profile set.
_GROUPS = {"densities": ("density_air", "density_body"), "thresholds": ("st1", "st2", "ft1", "ft2")}
_PROFILE_SET_KEYS = ("title", "alpha", "stage_range", "gamma", "C", "T", "beta")


def _profile_changes(value):
    """The scenario keys a `profiles` input sets."""
    if isinstance(value, (str, os.PathLike)):
        path = os.fspath(value)
        if path == "":
            raise ValueError("profiles: the path is empty")
        # Read as D-Load reads it: the final stage also becomes the stage count.
        read = _ammonite.scenario_of_profile_file(path)
        return {k: read[k] for k in ("alpha", "final_stage", "gamma", "C", "T", "beta", "stages")}
    if isinstance(value, Mapping):
        unknown = [k for k in value if k not in _PROFILE_SET_KEYS]
        if unknown:
            raise ValueError(f"profiles: unknown key {unknown[0]!r} (keys: {', '.join(_PROFILE_SET_KEYS)})")
        out = {k: value[k] for k in ("alpha", "gamma", "C", "T", "beta") if k in value}
        if "stage_range" in value:
            stage_range = value["stage_range"]
            try:
                first, final = stage_range
            except (TypeError, ValueError):
                raise ValueError(f"profiles: stage_range = {stage_range!r}: must be (0, final stage)") from None
            if isinstance(first, bool) or first != 0:
                raise ValueError(f"profiles: stage_range = {stage_range!r}: the first stage must be 0")
            out["final_stage"] = final
        return out
    raise TypeError("profiles must be a path to a profile data file or a dict as read_profiles() returns, "
                    f"not {type(value).__name__}")


def as_scenario(scenario):
    """A Scenario from a Scenario, a mapping of its keys, None (the defaults)
    or the path of a scenario file or of a result that carries one."""
    if scenario is None:
        return Scenario()
    if isinstance(scenario, Scenario):
        return scenario
    if isinstance(scenario, (str, os.PathLike)):
        return Scenario.from_result(scenario)
    if isinstance(scenario, Mapping):
        return Scenario(**scenario)
    raise TypeError(f"scenario must be an ammonite.Scenario, a dict of its keys or a file, not "
                    f"{type(scenario).__name__}")


def scenario_with(scenario, changes):
    """`scenario` with grow()'s keyword changes: any scenario key (the names a
    sweep uses among them), densities=(air, body), thresholds=(st1, st2, ft1,
    ft2) and profiles= (a profile data file, which also sets the stage count as
    D-Load does, or a profile set, which does not). None means "not given"."""
    base = as_scenario(scenario)
    given = {k: v for k, v in changes.items() if v is not None}
    out = {}
    if "profiles" in given:
        out.update(_profile_changes(given.pop("profiles")))
    for name, value in given.items():
        if name in _GROUPS:
            keys = _GROUPS[name]
            try:
                items = list(value)
            except TypeError:
                items = None
            if items is None or isinstance(value, (str, bytes)) or len(items) != len(keys):
                raise ValueError(f"{name} = {value!r}: must be {len(keys)} values ({', '.join(keys)})")
            out.update(zip(keys, items))
        elif name in FIELDS:
            if name == "scale" and isinstance(value, str):
                refusal = _ammonite.scale_text_refusal(value)
                if refusal:
                    raise ValueError(refusal)
            out[name] = value
        else:
            raise TypeError(f"unknown input {name!r} (one of: {', '.join(FIELDS + tuple(_GROUPS) + ('profiles',))})")
    return base.replace(**out) if out else base
