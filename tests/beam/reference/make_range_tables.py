#!/usr/bin/env python3
"""Writes the range tables RangeTableTest expects, from the independent
recomputation (reference_recompute.py), for the station of the beam tests'
fixture (BeamStation: demo settings, 197Au, S = R = 0, T as given, one layer).
Run once, when the expected tables must change, from the source folder:

  python3 tests/beam/reference/make_range_tables.py examples/demo-site data/stopping tests/beam/expected
"""
import os, shutil, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import reference_recompute  # noqa: E402

DEMO, DATA, OUT = sys.argv[1:4]


def layer(name, density, tilt, elements, thickness, unit):
    # As LayerText::text() writes a record: equal mass fractions.
    n = len(elements)
    lines = [name, '%r %d %d' % (density, n, tilt)]
    lines += ['%d %r 0 %r' % (z, mass, 1.0 / n) for z, mass in elements]
    lines.append('%r 0 %d' % (float(thickness), unit))
    return '\n'.join(lines) + '\n'


def table(name, *, energy_mev, beam_name, tilt_deg, layers, legacy):
    with tempfile.TemporaryDirectory() as work:
        station = os.path.join(work, 'station')
        shutil.copytree(DEMO, station)
        w = lambda f, t: open(os.path.join(station, f), 'w').write(t)
        w('CurrentBeamNZAMeV.tmp', '7 79 197 %s\n' % energy_mev)
        w('CurrentBeamName.tmp', beam_name + '\n')
        w('DoLegacyCalculations.dat', '1\n')
        # Vacuum, Ardo: T has 200 counts per degree in VacArdo.dat.
        w('TarvexStatus.dat', 'Test position\n1\n0   0   0   %d   0   0   0   0\n%s\n' %
          (round(tilt_deg * 200), '   '.join(['0'] * 8)))
        w('CurrentLayersReversed.dat', ''.join(layers))
        reference_recompute.recompute(station, DATA)
        text = open(os.path.join(station, 'RangeTable.txt')).read()
        if not legacy:
            # The reference computes the legacy mode only. A layer without a
            # per-ion table is stopped by the formulas in both modes and the
            # degrader is 0 um thick, so only the column line's mark differs.
            text = text.replace('   LEGACY CALCULATIONS\n', '\n', 1)
        open(os.path.join(OUT, name), 'w').write(text)


SILICON = layer('silicon', 2.33, 1, [(14, 28.086)], 0, 0)
table('tilted-silicon.txt', energy_mev='394', beam_name='Au 2 MeV/u', tilt_deg=60, layers=[SILICON], legacy=1)
table('quartz-normal-mode.txt', energy_mev='2955', beam_name='Au 15 MeV/u', tilt_deg=0,
      layers=[layer('quartz', 2.2, 0, [(14, 28.086), (8, 15.999)], 0, 9)], legacy=0)
table('below-two-hundredths.txt', energy_mev='2.955', beam_name='Au 2 MeV/u', tilt_deg=0, layers=[SILICON], legacy=1)
