#!/usr/bin/env python3
"""Writes expected/stopping.txt for FormulasTest from the independent
transcriptions (reference_stopping.py for the electronic stopping,
../beam/reference/reference_recompute.py for the nuclear stopping). Run once,
when the expected values must change, from the source folder:

  python3 tests/energyloss/make_expected_stopping.py data/stopping > tests/energyloss/expected/stopping.txt

Each line: kind Z1 M1 Z2 M2 E_keV gas expected, where kind is "nuclear",
"real" (electronic, real coefficient files) or "synthetic" (electronic, the
SyntheticTables fixture's coefficients)."""
import os, sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
sys.path.insert(0, os.path.join(here, '..', 'beam', 'reference'))
import reference_stopping  # noqa: E402
import reference_recompute  # noqa: E402

real, real_gas = reference_stopping.load(sys.argv[1])

# SyntheticTables: grids of the real files, every F 1, every Λ 0.5, vF 1.
synthetic = {z: [0.0] * 54 for z in range(1, 94)}
synthetic[93][21:39] = [0, 0.05, 0.1, 0.15, 0.2, 0.3, 0.4, 0.5, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95, 1, 2]
synthetic[93][40:54] = [0, 10, 20, 50, 70, 100, 200, 500, 700, 1000, 2000, 5000, 7000, 10000]
for z in range(1, 93):
    synthetic[z][6] = 1.0
    synthetic[z][8:20] = [1, 0.5, 2, 0.25, 100, 1, 1000, 0.01, 5, 2, 3, 4]
    synthetic[z][21:39] = [0.5] * 18
    synthetic[z][40:54] = [1.0] * 14


def line(kind, z1, m1, z2, m2, e, gas, value):
    print('%s %d %.17g %d %.17g %.17g %d %.17g' % (kind, z1, m1, z2, m2, e, gas, value))


# Au in Si in both branches of the universal formula, and on either side of
# its switch at epsilon = 30.
z1, m1, z2, m2 = 79, 197.0, 14, 28.086
e30 = 30 * z1 * z2 * (m1 + m2) * (z1 ** 0.23 + z2 ** 0.23) / (32.53 * m2)
for e in (10.0, 1e4, 3e6, 1e8, e30 * (1 + 1e-9), e30 * (1 - 1e-9)):
    line('nuclear', z1, m1, z2, m2, e, 0, reference_recompute.nuclear_stopping(z1, m1, z2, m2, e))
# He in Si at 1 keV/u.
line('real', 2, 4.0026, 14, 28.086, 4.0026, 0, reference_stopping.stopping(real, real_gas, 2, 4.0026, 14, 28.086, 4.0026, 0))
# O in Si at 3000 keV/u.
line('synthetic', 8, 16, 14, 28.086, 48000, 0, reference_stopping.stopping(synthetic, {}, 8, 16, 14, 28.086, 48000, 0))
