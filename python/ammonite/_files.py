"""Files written by the user's own code through the program's safe writer."""

from __future__ import annotations

import os

from . import _ammonite
from ._paths import file_path


def write_file(path: str | os.PathLike, data: bytes | str) -> str:
    """Write a whole file as the program writes its own.

    The bytes go to a temporary file beside the target, which replaces the
    target only once it is complete and on the disk, so a figure or a table
    saved this way is never left half written.

    Parameters
    ----------
    path : str or path
        The file (``-`` is the standard output).
    data : bytes or str
        The contents; a text is written as UTF-8.

    Returns
    -------
    str
        The path written.

    Raises
    ------
    WriteError
        An OSError naming the file and the system's reason; the old file is
        untouched.
    ValueError
        For a path with a NUL character.

    Examples
    --------
    >>> import ammonite, os, tempfile
    >>> folder = tempfile.mkdtemp()
    >>> ammonite.write_file(os.path.join(folder, "note.txt"), "floats\\n") == os.path.join(folder, "note.txt")
    True
    >>> ammonite.write_file(folder, b"")
    Traceback (most recent call last):
    ...
    ammonite._ammonite.WriteError: ...
    """
    path = file_path(path)
    if isinstance(data, str):
        data = data.encode("utf-8")
    _ammonite.write_file(path, bytes(data))
    return path
