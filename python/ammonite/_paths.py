"""Paths as the engine takes them."""

import os


def file_path(value, what="path"):
    """A path given as text or path-like, as the engine takes it. A NUL
    character would cut the name short where the system reads it, so a path
    holding one is refused (ValueError) rather than read or written under
    another name."""
    value = os.fspath(value)
    if ("\0" if isinstance(value, str) else b"\0") in value:
        raise ValueError(f"{what}: the path {value!r} contains a NUL character")
    return value
