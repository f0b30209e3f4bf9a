#!/usr/bin/python3
"""Reads an exported NetCDF file back with netCDF4 and checks it against the
master file pair, decoded here on its own: samples = count x factor (missing
counts masked), times = header times shifted by the UTC offset, result items
= the numbers of the results records.  Prints "ok" and exits 0, or prints
what differs and exits 1.

usage: readback_netcdf.py OUT.nc MASTER RESULTS TOLVF UTC_OFFSET_HOURS
"""
import calendar
import sys

import netCDF4
import numpy as np

nc_path, master, results, tolvf, offset = sys.argv[1:6]
offset = float(offset)
problems = []


def factors(path):
    out = {}
    with open(path, encoding="cp932", errors="replace") as f:
        for line in f:
            if line[:1].isdigit():
                values = line[4:].rstrip("\r\n").split(",")
                try:
                    out[int(line[:3])] = float(values[2])
                except (IndexError, ValueError):
                    pass
    return out


fac = factors(tolvf)
data = open(master, "rb").read()
rec = open(results, "rb").read()

# Headers: marker, byte sum, kind byte; interval code -> tenths.
headers = []
first = None
for off in range(0, len(data) - 511, 512):
    s = data[off:off + 512]
    if s[0] == 0x5A and sum(s) % 256 == 0 and (s[2] & 0xC7) == 0x83:
        first = off
        break
h0 = data[first:first + 512]
chan = [b & 0x3F for b in h0[64:73] if b & 0x80]
tenths = {0: 10, 1: 5, 2: 2, 3: 1}[h0[16] & 3]
per_channel = 600 // tenths * h0[14]
total = per_channel * len(chan)
sectors = 1 if total <= 128 else 1 + -(-(total - 128) // 252)
block = 512 * sectors
for off in range(0, len(data) - 511, block):
    s = data[off:off + 512]
    if s[0] != 0x5A or sum(s) % 256 or (s[2] & 0xC7) != 0x83:
        continue
    words = np.frombuffer(s[256:512], "<i2").tolist()
    for k in range(1, sectors):
        words += np.frombuffer(data[off + 512 * k + 8:off + 512 * (k + 1)], "<i2").tolist()
    counts = np.array(words[:total], dtype=np.int16).reshape(per_channel, len(chan)).T
    number = int.from_bytes(s[28:32], "little")
    when = calendar.timegm((2000 + s[13], s[12], s[11], s[10], s[9], s[8])) - offset * 3600
    headers.append((number, when, counts))

ds = netCDF4.Dataset(nc_path)
names = {1: "pressure", 2: "current_x", 3: "current_y", 4: "level"}
if ds.dimensions["burst"].size != len(headers):
    problems.append("bursts %d, master file %d" % (ds.dimensions["burst"].size, len(headers)))
numbers = ds["measurement_number"][:]
times = ds["time"][:]
sample_time = ds["sample_time"]
dt = tenths / 10.0
for b, (number, when, counts) in enumerate(headers[: ds.dimensions["burst"].size]):
    if numbers[b] != number:
        problems.append("burst %d: number %d, header %d" % (b, numbers[b], number))
    if times[b] != when:
        problems.append("burst %d: time %r, header %r" % (b, times[b], when))
    st = sample_time[b, :]
    if abs(st[per_channel - 1] - (when + (per_channel - 1) * dt)) > 1e-6:
        problems.append("burst %d: last sample time %r" % (b, st[per_channel - 1]))
    for c, code in enumerate(chan):
        v = ds[names.get(code, "channel_%d" % code)][b, :]
        missing = counts[c] == -32768
        if not np.array_equal(np.ma.getmaskarray(v), missing):
            problems.append("burst %d channel %d: missing samples differ" % (b, code))
        want = counts[c][~missing].astype(np.float64) * fac[code]
        got = np.ma.getdata(v)[~missing]
        if not np.allclose(got, want, rtol=0, atol=1e-9):
            problems.append("burst %d channel %d: samples differ" % (b, code))
    r = rec[(number - 1) * 392:number * 392].decode("ascii")
    items = ds["results"][b, :]
    for i in range(64):
        field = r[(i // 8) * 49 + (i % 8) * 6:(i // 8) * 49 + (i % 8) * 6 + 5].strip()
        try:
            want = float(field)
        except ValueError:
            if not np.ma.is_masked(items[i]) and items[i] < 9e36:
                problems.append("burst %d item %d: %r for %r" % (b, i, items[i], field))
            continue
        if np.ma.is_masked(items[i]) or abs(float(items[i]) - want) > 1e-4 * max(1.0, abs(want)):
            problems.append("burst %d item %d: %r, record %r" % (b, i, items[i], field))
if ds.getncattr("Conventions") != "CF-1.8":
    problems.append("Conventions")
if "spectrum" in ds.variables and ds["spectrum"].shape[1] != ds["frequency"].shape[0]:
    problems.append("spectrum shape")

print("\n".join(problems[:20]) if problems else "ok")
sys.exit(1 if problems else 0)
