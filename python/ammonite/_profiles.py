"""Profile data files as plain Python values.

A profile set is a dict::

    {"alpha": 1.005,                 # radius ratio per stage up to stage 200
     "stage_range": (0.0, 3000.0),   # first and final stage of the profile axis
     "gamma": [(stage, value), ...], # 1 to 51 points each
     "C": [...], "T": [...], "beta": [...]}

read_profiles() and write_profiles() round-trip a file the program wrote byte
for byte.
"""

import os

from . import _ammonite


def read_profiles(path):
    """Reads a profile data file as the profile window loads it; ValueError
    names the file and the line when it is bad."""
    return _ammonite.read_profiles(os.fspath(path))


def write_profiles(path, profiles):
    """Writes a profile set to `path` through the program's safe writer: the
    old file stays whole until the new one is complete (WriteError, an
    OSError, when it cannot be written)."""
    _ammonite.write_profiles(os.fspath(path), profiles)


def default_profiles():
    """The profiles, α and stage range the main window starts with."""
    return _ammonite.default_profiles()
