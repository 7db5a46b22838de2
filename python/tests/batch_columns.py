"""Comparing the package's results with the batch tool's files through the
column mapping, cell by cell."""

import numpy as np

from ammonite._columns import batch_name, python_name, to_batch
from ammonite._shell import _summary_dict

# Batch columns the hydrostatic step writes for every stage it runs in.
_HYDROSTATIC = ("cumulative_length", "volume", "buoyancy_x", "buoyancy_y", "buoyancy_z")
# Batch columns that need the tube split into phragmocone and body chamber
# (the orientation takes its "up" from the chambers' centres).
_SPLIT = ("orientation_angle", "mean_density_g_cm3", "pt_ratio_percent", "stability_index")


def assert_table_matches_batch(table, raw):
    """Shell.table against the batch tool's --tables, cell by cell through the
    column mapping: every number the package gives is the batch tool's, and
    the package's empty cells are exactly where a quantity is undefined."""
    assert table.index.name == "stage" and table.index.dtype == np.int64
    np.testing.assert_array_equal(table.index.to_numpy(), raw["stage"].to_numpy())
    assert table["rib_mark"].dtype == np.int64
    assert [python_name(c) for c in raw.columns if c != "stage"] == list(table.columns)
    computed = raw["mean_density_g_cm3"].notna().to_numpy()  # the hydrostatic step ran
    split = computed & (raw["pt_ratio_percent"].to_numpy() >= 0)  # and the shell has a phragmocone
    for column in raw.columns.drop("stage"):
        mine = table[python_name(column)].to_numpy(dtype=float)
        theirs = raw[column].to_numpy()
        if column in _HYDROSTATIC:
            defined = computed
        elif column in _SPLIT or column.endswith("_mm"):
            defined = split
        else:
            defined = np.ones(len(raw), dtype=bool)
        np.testing.assert_array_equal(np.isnan(mine), ~defined | np.isnan(theirs), err_msg=column)
        np.testing.assert_array_equal(mine[defined], theirs[defined], err_msg=column)


def assert_summary_matches_batch(summary, printed_text):
    """Every key of --summary is in Shell.summary, in its order, under its
    package name, with the very value the batch tool printed."""
    printed = _summary_dict(printed_text)
    assert [python_name(k, "summary") for k in printed] == list(summary)[:len(printed)]
    assert to_batch({k: v for k, v in summary.items() if batch_name(k, "summary") in printed}, "summary") == printed
