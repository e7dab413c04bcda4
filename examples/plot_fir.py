#!/usr/bin/env python3
"""Renders the FIR demo's signals to a PNG when matplotlib is available.

Usage: plot_fir.py <signals.csv> <picture.png>
Without matplotlib it says how to get the picture and succeeds anyway.
"""
import csv
import sys


def main(csv_path, png_path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("no picture: install Debian's python3-matplotlib (apt-get install "
              "python3-matplotlib) and run make demo again")
        return 0
    with open(csv_path, newline="") as f:
        rows = list(csv.reader(f))
    header, data = rows[0], rows[1:]
    columns = list(zip(*[[float(v) for v in row] for row in data]))
    n = columns[0]
    reference = columns[2]
    fig, axes = plt.subplots(2, 1, figsize=(11, 7), sharex=True)
    axes[0].plot(n, columns[1], lw=0.4, color="0.7", label="input: chirp + noise")
    axes[0].plot(n, reference, lw=0.8, label="double reference")
    axes[0].legend(loc="upper right")
    axes[0].set_title("32-tap low-pass FIR")
    for name, column in zip(header[3:], columns[3:]):
        axes[1].semilogy(n, [abs(a - b) + 1e-12 for a, b in zip(column, reference)], lw=0.5,
                         label=name)
    axes[1].set_ylabel("|error| against double")
    axes[1].set_xlabel("sample")
    axes[1].legend(loc="upper right", fontsize="small")
    fig.tight_layout()
    fig.savefig(png_path, dpi=110)
    print(f"picture written to {png_path}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
