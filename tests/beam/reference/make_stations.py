#!/usr/bin/env python3
"""Builds station folders that differ from the demo in every way a recomputation
can: ions from protons to gold, foils, tolerances, rotations, tilts of both signs,
both cyclotrons and locations, layer stacks with every thickness unit, a beam
that stops in a layer or in the degrader, a status file from another location,
CR LF files, long names, energies below the range table's steps.

Usage: make_stations.py DEMO_FOLDER OUTPUT_FOLDER"""
import os, shutil, sys
DEMO = sys.argv[1]
OUT = sys.argv[2]

POLYIMIDE = ['6 12.011 0 0.691133', '1 1.008 0 0.026362', '7 14.007 0 0.073270', '8 15.999 0 0.209235']
SIO2 = ['14 28.086 0 0.4674', '8 15.999 0 0.5326']
AIR = ['7 14.007 0 0.755', '8 15.999 0 0.232', '18 39.948 0 0.013']
ARAMICA = ['6 12.011 0 0.706', '1 1.008 0 0.042', '7 14.007 0 0.118', '8 15.999 0 0.134']

def layer(name, density, tilt, elems, thick, unit):
    return '\n'.join([name, '%s %d %d' % (density, len(elems), tilt)] + elems + ['%s 0 %d' % (thick, unit)]) + '\n'

def make(name, *, beamname, tag, Z, A, E, cyclotron, location, S_counts, R_counts, T_counts,
         layers, summary, setup_override=None, options=None):
    d = os.path.join(OUT, name)
    if os.path.exists(d):
        shutil.rmtree(d)
    shutil.copytree(DEMO, d)
    w = lambda f, t: open(os.path.join(d, f), 'w').write(t)
    w('CurrentBeamName.tmp', beamname + '\n')
    w('CurrentBeamNZAMeV.tmp', '%d %d %s %s\n' % (tag, Z, A, E))
    w('CyclotronInUse.dat', '%d\n' % cyclotron)
    w('TargetLocation.dat', '%d\n' % location)
    w('DoLegacyCalculations.dat', '1\n')
    # status file: X Y Z T U V R S
    w('TarvexStatus.dat', 'Test position\n%d\n%s\n%s\n' % (
        location, '   '.join(str(v) for v in [0, 0, 0, T_counts, 10000, 10000, R_counts, S_counts]),
        '   '.join(['0'] * 8)))
    w('CurrentLayersReversed.dat', ''.join(layers) + '\n')
    w('LayerSummary.dat', summary + '\n')
    if options:
        w('Options.dat', options + '\n')
    if setup_override:
        fname, text = setup_override
        w(fname, text)

# A: 129Xe (mass 128.905), Ardo, vacuum, foil 2, R 45 deg, T 30 deg
make('A-Xe129-S2-R45-T30', beamname='Xe 15 MeV/u', tag=11, Z=54, A='128.905', E='1933.5',
     cyclotron=500, location=1, S_counts=2000, R_counts=4500, T_counts=6000,
     layers=[layer('polyimide', 1.42, 0, POLYIMIDE, 0.5, 3),            # 0.5 mil, not tilted
             layer('silicon dioxide', 2.2, 1, SIO2, 0.0025, 1),          # 2.5 um in mm, tilted
             layer('aluminium', 2.702, 1, ['13 26.982 0 1.0'], 0.81, 7), # mg/cm2, tilted
             layer('silicon dioxide', 2.2, 0, SIO2, 0.0001, 2),          # 1 um in cm, not tilted
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)],
     summary='silicon FIX')

# B: 84Kr, Belm, in-air, foil 1, R -20 deg, T -60 deg (T scale negative in the setup table)
airbelm = open(os.path.join(DEMO, 'AirBelm.dat')).read().replace('-18000 18000 200 0.0 200.0', '-18000 18000 200 0.0 -200.0')
make('B-Kr84-S1-Rm20-Tm60-Belm-air', beamname='Kr 20 MeV/u', tag=3, Z=36, A='84', E='1680',
     cyclotron=150, location=0, S_counts=1000, R_counts=-2000, T_counts=12000,
     layers=[layer('air gas', 0.0012, 0, AIR, 2.0, 2),                  # 2 cm air
             layer('aramica', 1.44, 0, ARAMICA, 10, 0),                  # 10 um
             layer('polyimide', 1.42, 1, POLYIMIDE, 1.2, 9),             # 1.2 mg/cm2, tilted
             layer('silicon dioxide', 2.2, 1, SIO2, 0.3, 4),             # 0.3 mg/cm2, tilted
             layer('gallium arsenide', 5.32, 1, ['31 69.723 0 0.48203', '33 74.922 0 0.51797'], 0, 0)],
     summary='gallium arsenide ROT', setup_override=('AirBelm.dat', airbelm))

# C: 4He, Ardo, vacuum, no foil (S 0), R 0, T 45, silicon carbide substrate
make('C-He4-S0-R0-T45-SiC', beamname='He 10 MeV/u', tag=21, Z=2, A='4.0026', E='40.026',
     cyclotron=500, location=1, S_counts=0, R_counts=0, T_counts=9000,
     layers=[layer('silicon nitride', 3.17, 1, ['14 28.086 0 0.6006', '7 14.007 0 0.3994'], 0.8, 0),
             layer('silicon carbide', 3.21, 1, ['14 28.086 0 0.70045', '6 12.011 0 0.29955'], 0, 0)],
     summary='silicon carbide')

# D: 40Ar, Ardo, vacuum, S 3.02 (foil 3 within tolerance 0.05), R 10, T 15, empty layer file:
#    range table in the Al degrader
make('D-Ar40-S3.02-R10-T15-nolayers', beamname='Ar 15 MeV/u', tag=5, Z=18, A='39.962', E='599.43',
     cyclotron=500, location=1, S_counts=3020, R_counts=1000, T_counts=3000,
     layers=[], summary='none')

# E: 1H protons 30 MeV, Belm vacuum, S 5.93 with foilTolerance 0.1 in Options.dat (foil 6), R 0, T 0
make('E-H1-S5.93tol0.1-R0-T0', beamname='p 30 MeV', tag=1, Z=1, A='1.00728', E='30',
     cyclotron=150, location=1, S_counts=5930, R_counts=0, T_counts=0,
     options='OPTIONS 1 0 0.5 2 1.0 -3 2.5 -2 1.0 0 0.25 1 0.1 1.0 1.0',
     layers=[layer('polyimide', 1.42, 0, POLYIMIDE, 2, 3),
             layer('silicon', 2.33, 0, ['14 28.086 0 1.0'], 0, 0)],
     summary='silicon')

# F: 197Au stops in a thick layer (beam-stopped path, step 16)
make('F-Au197-stops-in-layer', beamname='Au 15 MeV/u', tag=7, Z=79, A='196.967', E='2955',
     cyclotron=500, location=1, S_counts=2000, R_counts=0, T_counts=-4000,
     layers=[layer('aluminium', 2.702, 1, ['13 26.982 0 1.0'], 0.2, 1),    # 0.2 mm Al, tilted
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)],
     summary='silicon')

# G: 84Kr, misaligned S = 4.3 (saturated degrader, beam stops in the degrader)
make('G-Kr84-S4.3-misaligned', beamname='Kr 20 MeV/u', tag=3, Z=36, A='84', E='1680',
     cyclotron=500, location=1, S_counts=4300, R_counts=0, T_counts=0,
     layers=[layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon')

# H: Belm (6 foils) with S = 8: within tolerance of 8 but no foil 8 on Belm -> saturation thickness
make('H-Kr84-Belm-S8-nofoil8', beamname='Kr 20 MeV/u', tag=3, Z=36, A='84', E='1680',
     cyclotron=150, location=1, S_counts=8000, R_counts=0, T_counts=0,
     layers=[layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon')

# I: status file written at the other location (0) while TargetLocation is 1:
#    all positions reset to 0 (S 0, R 0, T 0) although the counts say foil 2, R 30, T 45
make('I-Ne22-status-location-mismatch', beamname='Ne 30 MeV/u', tag=9, Z=10, A='21.991', E='659.73',
     cyclotron=500, location=1, S_counts=2000, R_counts=3000, T_counts=9000,
     layers=[layer('aluminium', 2.702, 1, ['13 26.982 0 1.0'], 1, 0),
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon')
p = os.path.join(OUT, 'I-Ne22-status-location-mismatch', 'TarvexStatus.dat')
status = open(p).read()
open(p, 'w').write(status.replace('Test position\n1\n', 'Test position\n0\n'))

# J: CR LF line ends in every file, trailing blanks after layer names, a beam name longer than
#    127 characters, and a two-character name line ("Al") that ends the layer list early
longname = 'Ta 181 cocktail beam ' + 'x' * 140
make('J-Ta181-CRLF-names', beamname=longname, tag=13, Z=73, A='180.948', E='2714.2',
     cyclotron=500, location=1, S_counts=1000, R_counts=-4500, T_counts=-6000,
     layers=[layer('polyimide   ', 1.42, 1, POLYIMIDE, 3, 0),
             layer('silicon dioxide  ', 2.2, 1, SIO2, 0.5, 0),
             layer('Al', 2.702, 1, ['13 26.982 0 1.0'], 5, 0),
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon dioxide')
jd = os.path.join(OUT, 'J-Ta181-CRLF-names')
for f in os.listdir(jd):
    if f.endswith('.dat') or f.endswith('.tmp'):
        q = os.path.join(jd, f)
        t = open(q, newline='').read()
        if '\r' not in t:
            open(q, 'w', newline='').write(t.replace('\n', '\r\n'))

# K: as J but with LF line ends: the two-character name line "Al" ends the layer list, so the
#    range table is computed in "silicon dioxide"
make('K-Ta181-LF-names', beamname=longname, tag=13, Z=73, A='180.948', E='2714.2',
     cyclotron=500, location=1, S_counts=1000, R_counts=-4500, T_counts=-6000,
     layers=[layer('polyimide   ', 1.42, 1, POLYIMIDE, 3, 0),
             layer('silicon dioxide  ', 2.2, 1, SIO2, 0.5, 0),
             layer('Al', 2.702, 1, ['13 26.982 0 1.0'], 5, 0),
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon dioxide')

# L: 197Au reaching the silicon substrate below 1 MeV/u ("%.3f" header text), T 20 deg
make('L-Au197-substrate-below-1MeVu', beamname='Au 15 MeV/u', tag=7, Z=79, A='197', E='2955',
     cyclotron=500, location=1, S_counts=0, R_counts=0, T_counts=4000,
     layers=[layer('aluminium', 2.702, 0, ['13 26.982 0 1.0'], 33.75, 9),
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon')

# M: 197Au reaching the silicon substrate below 0.02 MeV/u: no stepped row, first row and rest only
make('M-Au197-substrate-below-0.02MeVu', beamname='Au 15 MeV/u', tag=7, Z=79, A='197', E='2955',
     cyclotron=500, location=1, S_counts=0, R_counts=0, T_counts=0,
     layers=[layer('aluminium', 2.702, 0, ['13 26.982 0 1.0'], 37.6719905, 9),
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon')

# N: 7Li (Z1 3: low-velocity exponent 0.55), foil 1, R 60, T 10, SiO2 over Si, thickness in mm
make('N-Li7-S1-R60-T10', beamname='Li 10 MeV/u', tag=17, Z=3, A='7.016', E='70.16',
     cyclotron=500, location=1, S_counts=1000, R_counts=6000, T_counts=2000,
     layers=[layer('silicon dioxide', 2.2, 1, SIO2, 0.002, 1),
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon')

# O: protons 60 MeV through 5 cm of air gas (gas-phase coefficients above 10000 keV/u) and
#    aramica into a silicon substrate, Belm in-air, no foil, T 45
make('O-H1-air-Belm-T45', beamname='p 60 MeV', tag=2, Z=1, A='1.00728', E='60',
     cyclotron=150, location=0, S_counts=0, R_counts=0, T_counts=9000,
     layers=[layer('air gas', 0.0012, 0, AIR, 5, 2),
             layer('aramica', 1.44, 1, ARAMICA, 25, 0),
             layer('silicon', 2.33, 1, ['14 28.086 0 1.0'], 0, 0)], summary='silicon')
