"""Profile data files as plain Python values.

A profile set is a dict::

    {"title": "SAMPLE",              # the file's first line (optional)
     "alpha": 1.005,                 # radius ratio per stage up to stage 200
     "stage_range": (0.0, 3000.0),   # first and final stage of the profile axis
     "gamma": [(stage, value), ...], # 1 to 51 points each
     "C": [...], "T": [...], "beta": [...]}

read_profiles() and write_profiles() round-trip a file the program wrote, or
one of the gallery's, byte for byte.
"""

from __future__ import annotations

import os
from typing import Any

from . import _ammonite
from ._paths import file_path

# A profile set: the dict read_profiles() returns.
Profiles = dict[str, Any]

# The files keep the Japanese code page of their section headers.
_ENCODING = "cp932"
_DEFAULT_TITLE = "SAMPLE"


def _title_of(data: bytes) -> str | None:
    first = data.split(b"\n", 1)[0].rstrip(b"\r").strip()
    if len(first) >= 2 and first.startswith(b'"') and first.endswith(b'"') and b'"' not in first[1:-1]:
        return first[1:-1].decode(_ENCODING, "surrogateescape")
    return None


def read_profiles(path: str | os.PathLike[str]) -> Profiles:
    """Reads a profile data file as the profile window loads it: the whole
    file or nothing.

    Parameters
    ----------
    path : str or os.PathLike
        The profile data file.

    Returns
    -------
    dict
        ``{"title": str (when the file has one), "alpha": float,
        "stage_range": (first, final), "gamma" | "C" | "T" | "beta": [(stage,
        value), ...]}``, 1 to 51 points each.

    Raises
    ------
    ValueError
        Naming the file and the line when it is bad.

    Examples
    --------
    >>> import ammonite, os, tempfile
    >>> path = os.path.join(tempfile.mkdtemp(), "mine.txt")
    >>> ammonite.write_profiles(path, ammonite.default_profiles())
    >>> ammonite.read_profiles(path)["stage_range"]
    (0.0, 3000.0)
    """
    path = file_path(path)
    profiles = _ammonite.read_profiles(path)
    with open(path, "rb") as f:
        title = _title_of(f.read())
    if title is not None:
        profiles = {"title": title, **profiles}
    return profiles


def format_profiles(profiles: Profiles) -> bytes:
    """The bytes of the profile data file for a profile set."""
    data = _ammonite.format_profiles(profiles)
    title = profiles.get("title", _DEFAULT_TITLE) if isinstance(profiles, dict) else _DEFAULT_TITLE
    if title != _DEFAULT_TITLE:
        if not isinstance(title, str) or any(c in title for c in '"\r\n'):
            raise ValueError(f"profiles: the title must be one line of text without '\"', not {title!r}")
        try:
            encoded = title.encode(_ENCODING, "surrogateescape")
        except UnicodeEncodeError:
            raise ValueError(f"profiles: the title {title!r} cannot be written in the file's code page") from None
        data = b'"' + encoded + b'"' + data[data.index(b"\r\n"):]
    return data


def write_profiles(path: str | os.PathLike[str], profiles: Profiles) -> None:
    """Writes a profile set as a profile data file, through the program's
    safe writer.

    Parameters
    ----------
    path : str or os.PathLike
        Where to write it; the old file stays whole until the new one is
        complete.
    profiles : dict
        A profile set, as :func:`read_profiles` returns.

    Raises
    ------
    ValueError
        For a profile set the file cannot hold.
    WriteError
        (an OSError) when it cannot be written.
    """
    _ammonite.write_file(file_path(path), format_profiles(profiles))


def default_profiles() -> Profiles:
    """The profiles, α and stage range the main window starts with.

    Returns
    -------
    dict
        A profile set, as :func:`read_profiles` returns.

    Examples
    --------
    >>> import ammonite
    >>> ammonite.default_profiles()["alpha"]
    1.005
    """
    return _ammonite.default_profiles()
