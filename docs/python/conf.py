# The Python package's reference, built from its docstrings: tools/docs.sh.
import os
import sys

# The package as the build assembles it (build/python), unless the caller
# points PYTHONPATH elsewhere.
_root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
if not any(os.path.isdir(os.path.join(p, "ammonite")) for p in sys.path if p):
    sys.path.insert(0, os.path.join(_root, "build", "python"))
os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

import ammonite  # noqa: E402

project = "ammonite"
author = "the ammonite developers"
release = version = ammonite.__version__
extensions = ["sphinx.ext.autodoc", "sphinx.ext.napoleon"]
napoleon_google_docstring = False
napoleon_numpy_docstring = True
napoleon_use_rtype = False
autodoc_member_order = "bysource"
autodoc_typehints = "signature"
autodoc_default_options = {"members": True, "show-inheritance": False}
html_theme = "alabaster"
html_static_path = []
templates_path = []
exclude_patterns = ["_build"]
