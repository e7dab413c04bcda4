#!/usr/bin/env python3
"""Draws the FIR demo's picture when matplotlib is available.

Usage: plot_fir.py <fir output directory> <picture.png>

Reads fir_signals.csv, fir_impulse.csv and fir_summary.csv that fir_model wrote there.

The upper panel is the spectrum of each model's error: its output minus the double reference's
output over the demo's chirp-plus-noise input (without the first outputs, one per tap, while the
delay line fills, as for the SNR), averaged over half-overlapping Hann-windowed segments of up
to 1024 samples. A point is the error's power in one frequency bin, in dB relative to the
reference output's mean power, so the bins of a curve add up to minus the model's SNR (within a
few hundredths of a dB): a model close to the reference is a low curve. The thin grey line is
the reference output's own spectrum on that scale; where an error curve comes near it, the error
is as strong as the signal at that frequency. The reference rounds too, but some 40 dB under the
48-bit model's error, so every curve is the model's own error. A bin with no error at all is
drawn at -350 dB (FLOOR_DB), and the legend says which curves have such bins. Models whose
outputs agree bit for bit share one curve (the later one dashed), and the legend says so.

The lower panel is each model's RMS error (bar) and peak error (diamond) against the reference,
on a logarithmic axis in units of full scale (samples lie in [-1, 1)), with their values and the
SNR at the right.

Without matplotlib (or numpy) it says how to get the picture and succeeds anyway.
"""
import csv
import math
import os
import sys

SEGMENT = 1024  # samples per spectrum segment: bins of 1/1024 cycles per sample
FLOOR_DB = -350.0  # where a bin or a model with no error at all is drawn


def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def bin_powers(np, x, segment):
    """One-sided power of x in each of segment/2 + 1 frequency bins from 0 to 0.5 cycles per
    sample, averaged over half-overlapping Hann-windowed segments; the bins add up to x's mean
    power (for noise-like x)."""
    window = np.hanning(segment)
    starts = range(0, len(x) - segment + 1, segment // 2)
    power = np.zeros(segment // 2 + 1)
    for start in starts:
        power += np.abs(np.fft.rfft(window * x[start:start + segment])) ** 2
    power /= len(starts) * segment * np.sum(window ** 2)
    power[1:-1] *= 2  # each bin but DC and Nyquist holds its negative frequency too
    return power


def to_db(np, power, reference_power):
    """Power in dB relative to reference_power; zero goes to FLOOR_DB, and so does anything
    below it."""
    with np.errstate(divide="ignore"):
        db = 10 * np.log10(power / reference_power)
    return np.maximum(db, FLOOR_DB)


def main(directory, png_path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        import numpy as np
    except ImportError:
        print("no picture: install Debian's python3-matplotlib (apt-get install "
              "python3-matplotlib, or make deps) and run make demo again")
        return 0

    _, impulse = read_csv(os.path.join(directory, "fir_impulse.csv"))
    taps = len(impulse)
    signals_path = os.path.join(directory, "fir_signals.csv")
    with open(signals_path, newline="") as f:
        header = next(csv.reader(f))
    signals = np.loadtxt(signals_path, delimiter=",", skiprows=1, ndmin=2)[taps:]
    reference = signals[:, header.index("reference")]
    names = header[3:]
    with open(os.path.join(directory, "fir_summary.csv"), newline="") as f:
        summary = {row["format"]: row for row in csv.DictReader(f)}

    segment = SEGMENT
    while segment > 16 and 2 * segment > len(reference):
        segment //= 2
    reference_power = np.mean(reference ** 2)
    frequencies = np.arange(segment // 2 + 1) / segment

    fig, (spectrum_axes, error_axes) = plt.subplots(
        2, 1, figsize=(13, 9), dpi=100, gridspec_kw={"height_ratios": [3, 2]},
        layout="constrained")
    colours = [f"C{i}" for i in range(len(names))]

    spectrum_axes.plot(frequencies, to_db(np, bin_powers(np, reference, segment), reference_power),
                       color="0.55", lw=0.8, label="double reference output (the signal)")
    errors = []
    for column, (name, colour) in enumerate(zip(names, colours), start=3):
        error = signals[:, column] - reference
        twin = next((other for other, e in errors if np.array_equal(e, error)), None)
        errors.append((name, error))
        db = to_db(np, bin_powers(np, error, segment), reference_power)
        label = name
        if not error.any():
            label += f": no error at all, drawn at {FLOOR_DB:.0f} dB"
        elif (db <= FLOOR_DB).any():
            label += f" (bins with no error at {FLOOR_DB:.0f} dB)"
        if twin is not None:
            label += f"\n    = {twin}, bit for bit"
        spectrum_axes.plot(frequencies, db, color=colour, lw=1.0,
                           ls=(0, (4, 3)) if twin is not None else "-", label=label)
    spectrum_axes.set_title(f"32-tap low-pass FIR: spectrum of each model's error against the "
                            f"double reference ({len(reference)} samples of chirp plus noise)")
    spectrum_axes.set_xlabel("normalised frequency (cycles per sample)")
    spectrum_axes.set_ylabel(f"power per bin of 1/{segment} cycle/sample\n"
                             "(dB relative to the reference output's power)")
    spectrum_axes.set_xlim(0, 0.5)
    spectrum_axes.set_ylim(FLOOR_DB - 10, 0)
    spectrum_axes.grid(True, alpha=0.3)
    spectrum_axes.legend(loc="upper left", bbox_to_anchor=(1.01, 1), fontsize="small",
                         title="model output minus reference", title_fontsize="small")

    rms = [float(summary[name]["rms_error"]) for name in names]
    peak = [float(summary[name]["max_error"]) for name in names]
    smallest = min([v for v in rms + peak if v > 0], default=1.0)
    left = 10.0 ** (math.floor(math.log10(smallest)) - 1)
    rows = range(len(names))
    error_axes.barh(rows, [max(v, left) - left for v in rms], left=left, color=colours,
                    height=0.6, label="RMS error")
    error_axes.plot([max(v, left) for v in peak], rows, "D", color="black", ms=5,
                    label="peak error")
    error_axes.set_xscale("log")
    error_axes.set_xlim(left, 1)
    error_axes.set_yticks(rows)
    error_axes.set_yticklabels(names, fontsize="small")
    error_axes.invert_yaxis()
    error_axes.set_xlabel("error against the double reference (full scale = 1, logarithmic)")
    error_axes.set_title("RMS and peak error of each model (a longer bar is a larger error)")
    error_axes.grid(True, axis="x", alpha=0.3)
    error_axes.legend(loc="upper right", fontsize="small")
    values = error_axes.twinx()
    values.set_ylim(error_axes.get_ylim())
    values.set_yticks(rows)
    values.set_yticklabels(
        [f"RMS {r:.2e}   peak {p:.2e}   SNR {float(summary[name]['snr_db']):.1f} dB"
         if r > 0 else "no error at all"
         for name, r, p in zip(names, rms, peak)], fontsize="small")

    fig.savefig(png_path)
    print(f"picture written to {png_path}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
