#!/usr/bin/python3
"""Reads an exported ANDI/AIA netCDF file back with SciPy's netCDF reader and compares it with
the chromatogram it came from, through readers nobody here wrote: the samples with olefile's
reading of the file's "Raw_data" stream (bit for bit), the time base and the peak table with what
`ostrel-cli read` printed for the file (to 1e-9 relative, times and areas in seconds).

usage: andi_readback.py EXPORT.cdf FILE.stg READ.json
Prints one line per difference and exits 1, or prints "ok SAMPLES PEAKS" and exits 0.
"""
import json
import math
import re
import struct
import sys

import numpy
import olefile
from scipy.io import netcdf_file

SECONDS_PER_MINUTE = 60.0
GLOBALS = ["dataset_completeness", "aia_template_revision", "netcdf_revision", "languages",
           "administrative_comments", "dataset_origin", "dataset_date_time_stamp",
           "injection_date_time_stamp", "sample_name", "detection_method_name", "retention_unit"]
SIGNAL = ["ordinate_values", "actual_sampling_interval", "actual_delay_time", "actual_run_time_length"]
PEAKS = ["peak_name", "peak_retention_time", "peak_start_time", "peak_end_time", "peak_area",
         "peak_height", "baseline_start_time", "baseline_start_value", "baseline_stop_time",
         "baseline_stop_value"]
# variable: (the field of `ostrel-cli read`'s peak, factor)
PEAK_FIELDS = {
    "peak_retention_time": ("retentionTime", SECONDS_PER_MINUTE),
    "peak_start_time": ("startTime", SECONDS_PER_MINUTE),
    "peak_end_time": ("endTime", SECONDS_PER_MINUTE),
    "peak_area": ("area", SECONDS_PER_MINUTE),
    "peak_height": ("height", 1.0),
    "baseline_start_time": ("startTime", SECONDS_PER_MINUTE),
    "baseline_start_value": ("baselineAtStart", 1.0),
    "baseline_stop_time": ("endTime", SECONDS_PER_MINUTE),
    "baseline_stop_value": ("baselineAtEnd", 1.0),
}

problems = []


def close(a, b):
    a, b = float(a), float(b)
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b or abs(a - b) <= 1e-9 * max(abs(a), abs(b))


def text(value):
    return value.decode("utf-8") if isinstance(value, bytes) else str(value)


def main():
    export, stg, read_json = sys.argv[1:4]
    with open(read_json, encoding="utf-8") as f:
        state = json.load(f)[0]
    with olefile.OleFileIO(stg) as ole:
        raw = ole.openstream("Raw_data").read()
    raw = raw[: len(raw) // 4 * 4]
    samples = numpy.frombuffer(raw, dtype="<f4")

    nc = netcdf_file(export, "r", mmap=False, maskandscale=False)
    for name in GLOBALS:
        if name not in nc._attributes:
            problems.append("global attribute %s missing" % name)
    has_peaks = len(state["peaks"]) > 0
    for name in SIGNAL + (PEAKS if has_peaks else []):
        if name not in nc.variables:
            problems.append("variable %s missing" % name)
    if problems:
        return

    attrs = {k: text(v) for k, v in nc._attributes.items()}
    expect = {"dataset_completeness": "C1+C2" if has_peaks else "C1", "retention_unit": "Seconds",
              "sample_name": state["passport"]["sampleName"],
              "detection_method_name": state["passport"]["methodName"]}
    for name, value in expect.items():
        if attrs[name] != value:
            problems.append("%s is %r, not %r" % (name, attrs[name], value))
    for name in ["injection_date_time_stamp", "dataset_date_time_stamp"]:
        if not re.fullmatch(r"\d{14}[+-]\d{4}", attrs[name]):
            problems.append("%s %r is not YYYYMMDDhhmmss+hhmm" % (name, attrs[name]))

    ordinates = nc.variables["ordinate_values"]
    values = numpy.asarray(ordinates[:])
    if values.dtype.kind != "f" or values.dtype.itemsize != 4:
        problems.append("ordinate_values are %s, not float32" % values.dtype)
    fill = numpy.float32(ordinates._FillValue)
    if len(values) != len(samples):
        problems.append("%d ordinate values for %d samples" % (len(values), len(samples)))
    else:
        for i, (got, want) in enumerate(zip(values.astype("<f4"), samples)):
            wanted_bits = struct.pack("<f", fill if math.isnan(want) else want)
            if struct.pack("<f", got) != wanted_bits:
                problems.append("sample %d: %r, not %r" % (i, got, want))
                break

    start, step = state["signal"]["startTime"], state["signal"]["step"]
    last = max(len(samples) - 1, 0)
    scalars = {"actual_sampling_interval": step, "actual_delay_time": start,
               "actual_run_time_length": start + last * step}
    for name, minutes in scalars.items():
        got = nc.variables[name].getValue()
        if not close(got, float(minutes) * SECONDS_PER_MINUTE):
            problems.append("%s is %r, not %r minutes in seconds" % (name, got, minutes))

    peaks = state["peaks"]
    if has_peaks:
        names = [bytes(row).rstrip(b"\0").decode("utf-8") for row in nc.variables["peak_name"][:]]
        if names != [p["name"] for p in peaks]:
            problems.append("peak names %r, not %r" % (names, [p["name"] for p in peaks]))
        for variable, (field, factor) in PEAK_FIELDS.items():
            column = nc.variables[variable][:]
            for i, peak in enumerate(peaks):
                if not close(column[i], float(peak[field]) * factor):
                    problems.append("%s[%d] is %r, not %r" % (variable, i, column[i], float(peak[field]) * factor))
    nc.close()
    if not problems:
        print("ok %d %d" % (len(samples), len(peaks)))


main()
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
