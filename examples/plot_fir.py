#!/usr/bin/env python3
"""Draws the FIR demo's picture when matplotlib is available.

Usage: plot_fir.py <fir output directory> <picture.png>

Reads fir_impulse.csv and fir_summary.csv that fir_model wrote there. The upper panel is the
magnitude response of each format's model (from its impulse response) next to the double
reference; the lower one is each model's error power against the reference. Without matplotlib
it says how to get the picture and succeeds anyway.
"""
import cmath
import csv
import math
import os
import sys

POINTS = 1024  # frequencies from 0 to half the sampling rate
FLOOR_DB = -160.0


def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], rows[1:]


def magnitude_db(taps):
    """|H(f)| in dB at POINTS + 1 normalised frequencies from 0 to 0.5."""
    frequencies = [0.5 * i / POINTS for i in range(POINTS + 1)]
    response = []
    for f in frequencies:
        h = sum(t * cmath.exp(-2j * math.pi * f * k) for k, t in enumerate(taps))
        response.append(max(FLOOR_DB, 20 * math.log10(abs(h)) if abs(h) > 0 else FLOOR_DB))
    return frequencies, response


def main(directory, png_path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("no picture: install Debian's python3-matplotlib (apt-get install "
              "python3-matplotlib, or make deps) and run make demo again")
        return 0

    header, rows = read_csv(os.path.join(directory, "fir_impulse.csv"))
    columns = list(zip(*[[float(v) for v in row] for row in rows]))
    _, summary = read_csv(os.path.join(directory, "fir_summary.csv"))

    fig, (response_axes, error_axes) = plt.subplots(
        2, 1, figsize=(12, 8), dpi=100, gridspec_kw={"height_ratios": [3, 2]})

    frequencies, reference = magnitude_db(columns[1])
    response_axes.plot(frequencies, reference, color="black", lw=2.2, label="double reference")
    for name, taps in zip(header[2:], columns[2:]):
        response_axes.plot(frequencies, magnitude_db(taps)[1], lw=1.0, label=name)
    response_axes.set_title("32-tap low-pass FIR: magnitude response of each model")
    response_axes.set_xlabel("normalised frequency (cycles per sample)")
    response_axes.set_ylabel("magnitude (dB)")
    response_axes.set_xlim(0, 0.5)
    response_axes.set_ylim(-140, 5)
    response_axes.grid(True, alpha=0.3)
    response_axes.legend(loc="lower left", fontsize="small")

    names = [row[0] for row in summary]
    error_db = [-float(row[1]) for row in summary]  # error power relative to the signal's
    bars = error_axes.barh(range(len(names)), error_db, color="tab:red")
    error_axes.set_yticks(range(len(names)))
    error_axes.set_yticklabels(names, fontsize="small")
    error_axes.invert_yaxis()
    error_axes.set_xlabel("error power against the double reference, relative to the signal (dB)")
    error_axes.set_title("error power on the chirp-plus-noise input (SNR = minus the bar)")
    error_axes.grid(True, axis="x", alpha=0.3)
    for bar, value in zip(bars, error_db):
        error_axes.annotate(f"SNR {-value:.1f} dB", (value, bar.get_y() + bar.get_height() / 2),
                            xytext=(-4, 0), textcoords="offset points", va="center", ha="right",
                            fontsize="small")
    error_axes.set_xlim(min(error_db) * 1.3, 0)

    fig.tight_layout()
    fig.savefig(png_path)
    print(f"picture written to {png_path}")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
