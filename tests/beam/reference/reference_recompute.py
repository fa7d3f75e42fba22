#!/usr/bin/env python3
"""A second, independent implementation of the console's beam recomputation in the
legacy (formula) calculation mode: coefficient files and stopping formulas, layer
traversal, the degrader, the layers and the range table, written without looking
at the C++ code, so that agreeing byte for byte with `tarvex-let recompute` means
something.

Usage: reference_recompute.py STATION_DIR [--data DIR] [--no-write]

Reads the station folder (settings, setup table, status file, beam and layer files),
computes, and (unless --no-write) writes into the folder, as the console does:
  atempt.txt, RangeTable.txt, CurrentBeamDELReB.tmp and the three committed .dat files.
Prints the results line on stdout. Messages the console would show go to stderr.
Standard library only.
"""
import math
import os
import re
import sys

PI = 3.14159265359
SATURATION_UM = 2539999.9746

# ---------------------------------------------------------------------------------------
# A small emulation of the C++ stream extraction used by the readers
# ---------------------------------------------------------------------------------------
_INT_RE = re.compile(r'[+-]?\d+')
_REAL_RE = re.compile(r'[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?')


class Stream:
    def __init__(self, text):
        self.t = text
        self.p = 0
        self.fail = False

    def _skipws(self):
        t = self.t
        while self.p < len(t) and t[self.p] in ' \t\r\n\v\f':
            self.p += 1

    def read_int(self, default):
        if self.fail:
            return default
        self._skipws()
        m = _INT_RE.match(self.t, self.p)
        if not m:
            self.fail = True
            return default
        self.p = m.end()
        return int(m.group(0))

    def read_real(self, default):
        if self.fail:
            return default
        self._skipws()
        m = _REAL_RE.match(self.t, self.p)
        if not m:
            self.fail = True
            return default
        self.p = m.end()
        return float(m.group(0))

    def read_nonws_chars(self, n):
        """read n characters that are not white space (like >> char, n times)"""
        for _ in range(n):
            if self.fail:
                return
            self._skipws()
            if self.p >= len(self.t):
                self.fail = True
                return
            self.p += 1

    def getline(self):
        """std::getline: returns None at end of file with nothing read"""
        if self.fail:
            return None
        if self.p >= len(self.t):
            self.fail = True
            return None
        i = self.t.find('\n', self.p)
        if i < 0:
            line = self.t[self.p:]
            self.p = len(self.t)
        else:
            line = self.t[self.p:i]
            self.p = i + 1
        return line

    def skip_rest_of_line(self):
        if self.fail:
            return
        i = self.t.find('\n', self.p)
        self.p = len(self.t) if i < 0 else i + 1


def read_text(path):
    with open(path, 'r', newline='') as f:
        return f.read()


def strip_cr(line):
    return line[:-1] if line.endswith('\r') else line


def normalize_file_name(name):
    """normalizeFileName: cut to 127 characters, strip trailing blanks
    (never the first character). Returns (text, lastNameIndex)."""
    n = len(name) - 1
    if n > 126:
        n = 126
    if n < 0:
        return '', 0
    s = name[:n + 1]
    while s[n] == ' ' and n > 0:
        s = s[:n]
        n -= 1
    return s, n


def g6(x):
    """default stream notation, precision 6"""
    return '%g' % x


# ---------------------------------------------------------------------------------------
# Coefficient tables and stopping formulas
# ---------------------------------------------------------------------------------------
class Coefficients:
    def __init__(self):
        self.tab = [[0.0] * 54 for _ in range(94)]  # rows 1..93 used
        self.gas = [[0.0] * 12 for _ in range(25)]  # rows 1..24, numbers 1..11

    def load(self, folder):
        def numbers(fname):
            path = os.path.join(folder, fname)
            try:
                text = read_text(path)
            except OSError:
                sys.stdout.write('\n%s not found.\n' % fname)
                return None
            st = Stream(text)
            st.getline()
            st.getline()
            return st

        st = numbers('scoef.95a')
        if st is not None:
            for r in range(1, 94):
                for c in range(0, 16):
                    self.tab[r][c] = st.read_real(self.tab[r][c])
        st = numbers('scoef.95b')
        if st is not None:
            for r in range(1, 94):
                for c in range(16, 54):
                    self.tab[r][c] = st.read_real(self.tab[r][c])
        st = numbers('scoefgas.95')
        if st is not None:
            for r in range(1, 25):
                for c in range(1, 12):
                    self.gas[r][c] = st.read_real(self.gas[r][c])


GAS_Z = [1, 2, 7, 8, 10, 18, 36, 54]


def _proton_core(A, Z2, E1, A_high):
    """steps 2-4 of protonStopping; A: A1..A8 (index 1..8) for the low/medium range,
    A_high: the element row for A9..A12 (columns 16..19)."""
    if E1 <= 0:
        return 0.0
    if E1 > 10000:
        x = math.log(E1) / E1
        return A_high[16] + A_high[17] * x + A_high[18] * x ** 2 + A_high[19] / x
    Ec = E1 if E1 > 10 else 10.0
    S_low = A[1] * Ec ** A[2] + A[3] * Ec ** A[4]
    S_high = (A[5] / Ec ** A[6]) * math.log(A[7] / Ec + A[8] * Ec)
    S = S_low * S_high / (S_low + S_high)
    if E1 > 10:
        return S
    p = 0.35 if Z2 < 7 else 0.45
    return S * (E1 / 10) ** p


def proton_stopping(co, Z2, E1):
    row = co.tab[Z2]
    A = [None] + row[8:16]
    return _proton_core(A, Z2, E1, row)


def gas_proton_stopping(co, group, Z2, E1, g):
    off = 0 if group == 1 else (8 if group == 2 else 16)
    grow = co.gas[off + g]
    A = [None] + grow[4:12]
    return _proton_core(A, Z2, E1, co.tab[Z2])


def _interp(x, xs, ys):
    """piecewise linear, bracketing pair scanned upward, first/last pair extended"""
    n = len(xs)
    j = 0
    while j < n - 2 and x >= xs[j + 1]:
        j += 1
    x0, x1, y0, y1 = xs[j], xs[j + 1], ys[j], ys[j + 1]
    return y0 + (x - x0) * (y1 - y0) / (x1 - x0)


def ion_stopping_power(co, Z1, M1, Z2, M2, E, gasflag):
    if E == 0:
        return 0.0
    g = 0
    if gasflag == 1:
        if Z2 in GAS_Z:
            g = GAS_Z.index(Z2) + 1
        else:
            gasflag = 0
    E1 = E / M1

    def P(e):
        if gasflag == 1:
            return gas_proton_stopping(co, Z1, Z2, e, g)
        return proton_stopping(co, Z2, e)

    if Z1 == 1:
        S = P(E1)
    elif Z1 == 2:
        Eh = E1 if E1 >= 1 else 1.0
        L = math.log(Eh)
        a = (0.2865 + 0.1266 * L - 0.001429 * L ** 2 + 0.02402 * L ** 3
             - 0.01135 * L ** 4 + 0.001475 * L ** 5)
        if a > 30:
            a = 30.0
        gam2 = (1 - math.exp(-a)) * (1 + (0.007 + 0.00005 * Z2) * math.exp(-(7.6 - L) ** 2)) ** 2
        S_He = P(Eh) * gam2 * 4
        S = S_He if E1 > 1 else S_He * math.sqrt(E1)
    elif Z1 >= 3:
        row2 = co.tab[Z2]
        grid = co.tab[93]
        vF = row2[6]
        Y = math.sqrt(E1 / 25) / vF
        if Y >= 1:
            VR = Y * vF * (1 + 0.2 / Y ** 2)
        else:
            VR = 0.75 * vF * (1 + (2.0 / 3.0) * Y ** 2 - Y ** 4 / 15)
        Zp = Z1 ** 0.6667
        YR = VR / Zp
        YRmin = max(0.13, 1 / Zp)
        if YR < 0.13:
            YR = 0.13
        if YR < 1 / Zp:
            YR = 1 / Zp
        a = 1.3167 * YR ** 0.6 - 0.803 * YR ** 0.3 + 0.38157 * YR + 0.008983 * YR ** 2
        if a > 50:
            a = 50.0
        q = 1 - math.exp(-a)
        if q < 0:
            q = 0.0
        if q > 1:
            q = 1.0
        Lam = _interp(q, grid[21:39], co.tab[Z1][21:39])
        zeta0 = q + ((1 - q) / (2 * vF ** 2)) * math.log(1 + (4 * Lam * vF / (1.919 * Z1 ** 0.33333)) ** 2)
        zeta = zeta0 * (1 + ((0.08 + 0.0015 * Z2) / Z1 ** 2) * math.exp(-(7.6 - max(0.0, math.log(E1))) ** 2))

        def F(e):
            return _interp(min(e, 9999.0), grid[40:54], row2[40:54])

        if YR > YRmin:
            S = P(E1) * (zeta * Z1) ** 2 * F(min(E1, 9999.0))
        else:
            VRmin = max(1.0, 0.13 * Zp)
            Vmin = 0.5 * (VRmin + math.sqrt(max(0.0, VRmin ** 2 - 0.8 * vF ** 2)))
            Ee = 25 * Vmin ** 2
            if Z1 == 3:
                p = 0.55
            elif Z2 <= 7 or (Z1 < 18 and Z2 in (14, 32)):
                p = 0.375
            else:
                p = 0.47
            S = P(Ee) * F(min(Ee, 9999.0)) * (zeta * Z1) ** 2 * (E1 / Ee) ** p
    else:
        return 0.0
    return S * 10 * 0.06022 / M2


def nuclear_stopping(Z1, M1, Z2, M2, E):
    if E <= 0 or M2 == 0 or Z1 * Z2 * (M1 + M2) == 0:
        return 0.0
    zz = Z1 ** 0.23 + Z2 ** 0.23
    eps = 32.53 * M2 * E / (Z1 * Z2 * (M1 + M2) * zz)
    if eps >= 30:
        sn = math.log(eps) / (2 * eps)
    else:
        sn = math.log(1 + 1.1383 * eps) / (2 * (eps + 0.01321 * eps ** 0.21226 + 0.19593 * eps ** 0.5))
    Sn = 8.462 * Z1 * Z2 * M1 * sn / ((M1 + M2) * zz)
    return Sn * 10 * 0.06022 / M2


# ---------------------------------------------------------------------------------------
# Layer stopping (formula / legacy path) and traversal
# ---------------------------------------------------------------------------------------
class Material:
    def __init__(self, name, density, Z, M, w, areal):
        self.name = name
        self.density = density
        self.Z = Z
        self.M = M
        self.w = w
        self.arealDensity = areal


class Result:
    traversed = 0.0
    exitE = 0.0
    exitLet = 0.0
    exitSn = 0.0
    exitSt = 0.0


class Engine:
    def __init__(self, folder, co):
        self.folder = folder
        self.co = co
        self.res = Result()
        self.trace_path = os.path.join(folder, 'atempt.txt')
        self.trace = []  # collected lines of the current recomputation

    def layer_stopping(self, Z1, M1, mat, E):
        Se = Sn = St = 0.0
        gasdens = mat.density < 0.0715
        for Zi, Mi, wi in zip(mat.Z, mat.M, mat.w):
            gas = 1 if (gasdens and Zi in GAS_Z) else 0
            se = ion_stopping_power(self.co, Z1, M1, Zi, Mi, E, gas)
            sn = nuclear_stopping(Z1, M1, Zi, Mi, E)
            Se += wi * se
            Sn += wi * sn
            St += wi * (se + sn)
        return Se, Sn, St

    def prepare(self):
        # The calculation mode file must exist; in this
        # cross-check only legacy mode (formulas) is implemented.
        path = os.path.join(self.folder, 'DoLegacyCalculations.dat')
        try:
            text = read_text(path)
        except OSError:
            return 7
        v = Stream(text).read_int(0)
        if v != 1:
            raise SystemExit('recompute.py implements legacy mode only (DoLegacyCalculations.dat = 1)')
        return 0

    def traverse(self, M1, Z1, E, goal, match, icomp, mat):
        tr = self.trace
        res = self.res
        tr.append('match=%d\tZ2=%d\tE/A=%s\tgoal=%s\tnumber of elements=%d'
                  % (match, mat.Z[0], g6(E), g6(goal), len(mat.Z)))
        ad = mat.arealDensity
        if E < 0:
            return 1
        if match == 3 and (E - goal) * ad < 0:
            return 2
        if E == 0:
            res.exitE = res.exitLet = res.exitSn = res.exitSt = 0.0
            return 3
        rc = self.prepare()
        if rc:
            return rc
        X = 0.0
        first = True
        s = -1 if ad < 0 else 1
        P = 0.0
        while True:
            Ek = E * M1 * 1000
            Se, Sn, St = self.layer_stopping(Z1, M1, mat, Ek)
            tr.append('%s\t%s\t%s' % (g6(X), g6(E), g6(St)))
            if first:
                if (match == 1 and goal == 0) or (match == 3 and E == goal):
                    res.traversed = 0.0
                    res.exitE = E
                    res.exitLet = Se
                    res.exitSn = Sn
                    res.exitSt = St
                    return 0
                first = False
                P = Se
            end = False
            if match == 1:
                end = X == goal
            elif match == 2:
                end = (Se - goal) * (goal - P) >= 0
            elif match == 3:
                end = E == goal
            if end or St <= 1e-9 or E <= 1e-9:
                break
            dE = 0.001 * E
            if ad < 0:
                dE = -dE
            if E < 0.0001:
                dE = E
            dX = M1 * dE / St
            newX = None
            newE = None
            if match == 1:
                if abs(X) < abs(goal) < abs(X) + abs(dX):
                    dX = goal - X
                    dE = dX * St / M1
                    newX = goal
            elif match == 3:
                if s * E > s * goal and s * (E - dE) < s * goal:
                    dE = E - goal
                    dX = M1 * dE / St
                    newE = goal
            E = newE if newE is not None else E - dE
            X = newX if newX is not None else X + dX
            P = Se
        res.traversed = X
        res.exitLet = Se
        res.exitSn = Sn
        res.exitE = E if (E > 1e-9 and St > 1e-9) else 0.0
        res.exitSt = St if E > 1e-9 else 0.0
        tr.append('%s\t%s\t%s' % (g6(res.traversed), g6(res.exitE), g6(res.exitSt)))
        return 0


ERRTXT = {1: ' calculation: negative beam energy.',
          2: ' calculation - beam energy steps are in the wrong direction.',
          3: ' calculation - beam fully stopped.'}


def report(rc, ctx):
    if rc == 0:
        return
    if rc in ERRTXT:
        msg = 'Error in ' + ctx + ERRTXT[rc]
    elif rc == 5:
        msg = (' \n\nError - Stopping power table for the selected nuclide not found.\n\n'
               'Use Set Options to switch to legacy calculations and try again.')
    else:
        msg = 'Error - unable to open DoLegacyCalculations.dat'
    sys.stderr.write('error: %s\n' % msg)


ICOMPOUND = {'air gas': 1, 'aramica': 2, 'gallium arsenide': 3, 'gallium nitride': 4,
             'silicon germanium': 5, 'silicon carbide': 6, 'indium phosphide': 7,
             'sodium iodide': 8}


def fmt3(v):
    s = '%.1f' % v
    if v < 10:
        s = '%.2f' % v
    if v < 1:
        s = '%.3f' % v
    return s


# ---------------------------------------------------------------------------------------
# Station folder: settings, setup table, status file
# ---------------------------------------------------------------------------------------
def read_first_int(path, default):
    return Stream(read_text(path)).read_int(default)


def load_station(folder):
    st = {}
    cyc = read_first_int(os.path.join(folder, 'CyclotronInUse.dat'), 500)
    st['cyclotron'] = 150 if cyc == 150 else 500
    st['dutLocation'] = read_first_int(os.path.join(folder, 'TargetLocation.dat'), 0)
    loc = st['dutLocation']
    prefix = 'Vac' if loc == 1 else ('Air' if loc == 0 else None)
    word = 'Belm' if st['cyclotron'] == 150 else 'Ardo'
    if prefix is None:
        raise SystemExit('no setup table for location %d' % loc)
    s = Stream(read_text(os.path.join(folder, prefix + word + '.dat')))
    units = ['', ] * 8
    for i in range(8):
        s._skipws()
        m = re.compile(r'\S+').match(s.t, s.p)
        if m:
            units[i] = normalize_file_name(m.group(0))[0]
            s.p = m.end()
    offs = [0.0] * 8
    scales = [0.0] * 8
    for i in range(8):
        s.read_int(0)
        s.read_int(0)
        s.read_int(0)
        offs[i] = s.read_real(0.0)
        scales[i] = s.read_real(0.0)
    st['units'] = units
    # status file
    ss = Stream(read_text(os.path.join(folder, 'TarvexStatus.dat')))
    ss.getline()
    stored = ss.read_int(0)
    pos = [ss.read_int(0) for _ in range(8)]
    if stored != loc:
        sys.stderr.write('warning: Setup has changed - please move each axis to home position before proceeding.\n')
        pos = [0] * 8
    vals = []
    for i in range(8):
        vals.append(pos[i] / scales[i] + offs[i] if scales[i] != 0 else 0.0)
    st['values'] = vals  # X Y Z T U V R S
    st['T'] = vals[3]
    st['R'] = vals[6]
    st['S'] = vals[7]
    st['foilCount'] = 6 if st['cyclotron'] == 150 else 10
    return st


def read_foil_tolerance(folder):
    s = Stream(read_text(os.path.join(folder, 'Options.dat')))
    s.read_nonws_chars(7)
    tol = None
    types = 'iiriririririrrr'
    vals = []
    for t in types:
        v = s.read_int(None) if t == 'i' else s.read_real(None)
        vals.append(v)
    tol = vals[12]
    return tol if tol is not None else 0.0


def compute_degrader(S, R, foil_limit, tol, sat):
    foil = sat
    if S < tol:
        foil = 0.0
    for k in range(1, foil_limit + 1):
        if abs(S - k) < tol:
            foil = 25.4 * 2 ** (k - 1)
    c = math.cos(R * PI / 180)
    if c == 0:
        eff = sat
    else:
        eff = foil / abs(c)
    foil = min(foil, sat)
    eff = min(eff, sat)
    return foil, eff


def read_layers(text):
    """yield (name, density, tilt, Z, M, w, thickness, unit) per LayerRecord"""
    s = Stream(text)
    while True:
        raw = s.getline()
        if raw is None:
            return
        raw = strip_cr(raw)   # readers accept CR LF and LF line ends (Overview, Conventions)
        if len(raw) <= 2:
            return
        name = normalize_file_name(raw)[0]
        density = s.read_real(0.0)
        n = s.read_int(0)
        tilt = s.read_int(0)
        Z, M, w = [], [], []
        for _ in range(n):
            Z.append(s.read_int(0))
            M.append(s.read_real(0.0))
            s.read_real(0.0)
            w.append(s.read_real(0.0))
        t = s.read_real(0.0)
        s.read_real(0.0)
        unit = s.read_int(0)
        s.skip_rest_of_line()
        yield name, density, tilt, Z, M, w, t, unit


def areal_from_unit(t, unit, density):
    if unit == 0:
        return t * density / 10
    if unit == 1:
        return t * 1000 * density / 10
    if unit == 2:
        return t * 10000 * density / 10
    if unit == 3:
        return t * 25.4 * density / 10
    return t


# ---------------------------------------------------------------------------------------
# recomputeBeam and writeRangeTable
# ---------------------------------------------------------------------------------------
def recompute(folder, data_folder, write=True):
    station = load_station(folder)
    tol = read_foil_tolerance(folder)
    legacy = read_first_int(os.path.join(folder, 'DoLegacyCalculations.dat'), 0)
    s = Stream(read_text(os.path.join(folder, 'CurrentBeamNZAMeV.tmp')))
    beamTag = s.read_int(0)
    ionZ = s.read_int(0)
    ionA = s.read_real(0.0)
    beamE = s.read_real(0.0)
    nl = Stream(read_text(os.path.join(folder, 'CurrentBeamName.tmp'))).getline() or ''
    beamName = normalize_file_name(strip_cr(nl))[0]
    Ein = abs(beamE / ionA) if ionA != 0 else 0.0
    co = Coefficients()
    co.load(data_folder)
    S, R, T = station['S'], station['R'], station['T']
    if S > 0:
        n = int(S + 0.5)
        if abs(S - n) > tol:
            sys.stderr.write('warning: Deviation of coordinate S (selected degrader foil) from the closest '
                             'integer value is not within specified tolerance (%.3f).\n' % tol)
    foil, degEff = compute_degrader(S, R, station['foilCount'], tol, SATURATION_UM)
    eng = Engine(folder, co)
    M1 = ionA
    Z1 = ionZ
    deg = Material('Al degrader', 2.702, [13], [26.982], [1.0], degEff * 2.702 / 10)
    rc = eng.traverse(M1, Z1, Ein, deg.arealDensity, 1, 0, deg)
    res = eng.res
    degExitMeV = res.exitE * ionA
    Ein = res.exitE
    report(rc, 'Al degrader')
    if rc == 5:
        raise SystemExit('degrader result 5')
    substrate = 'Al degrader'
    mat = deg
    icomp = 0
    stopped_ctx = None
    if res.exitE == 0:
        stopped_ctx = 'Al degrader'
    else:
        c = math.cos(T * PI / 180)
        for name, density, tilt, Z, M, w, t, unit in read_layers(
                read_text(os.path.join(folder, 'CurrentLayersReversed.dat'))):
            substrate = name
            ad = areal_from_unit(t, unit, density)
            if c == 0:
                sys.stderr.write('warning: Solution for the current target tilt angle (%.3f deg) could not be obtained.\n' % T)
                raise SystemExit(1)
            if tilt == 1:
                ad = ad / abs(c)
            icomp = ICOMPOUND.get(name, 0)
            mat = Material(name, density, Z, M, w, ad)
            rc = eng.traverse(M1, Z1, Ein, ad, 1, icomp, mat)
            report(rc, name + ' layer')
            if res.exitE == 0:
                stopped_ctx = name + ' layer'
                break
            Ein = res.exitE
    range_text = ''
    if stopped_ctx is None:
        devEu = res.exitE
        euText = '%.2f' % devEu if not devEu < 1 else '%.3f' % devEu
        nominalLet = res.exitLet
        devMeV = res.exitE * ionA
        mevText = '%.0f' % devMeV
        # The range table
        Ttext = '%.3f' % T
        Tunit = station['units'][3]
        cT = math.cos(T * PI / 180)
        c = abs(cT)
        header = (beamName + '   at ' + euText + ' MeV/amu (' + mevText + ' MeV)   in ' + substrate
                  + ' at ' + Ttext + ' ' + Tunit)
        out = []
        out.append(header + '   LET = ' + g6(nominalLet) + '   eLET = ' + g6(nominalLet / c)
                   + '   A = ' + g6(ionA) + '\n')
        out.append('\n')
        l3 = '   MeV/u        MeV    (nom)um(eff)   (nom)MeVcm2/mg(eff)'
        if legacy != 0:
            l3 += '   LEGACY CALCULATIONS'
        out.append(l3 + '\n')
        out.append('\n')
        row = '%8.2f %10.3f %7.1f %7.1f   %#8.4g   %#8.4g\n'
        out.append(row % (devEu, devMeV, 0.0, 0.0, nominalLet, nominalLet / c))
        peakLet, peakEu, peakMeV = nominalLet, devEu, devMeV
        E = devEu
        depth = 0.0
        g = math.trunc(100 * E) / 100 - 0.01
        while g > 0.001:
            rc = eng.traverse(M1, Z1, E, g, 3, icomp, mat)
            report(rc, substrate + ' range')
            depth = depth + res.traversed * 10 / mat.density
            LET = res.exitLet
            eLET = abs(LET / cT) if cT != 0 else LET
            out.append(row % (res.exitE, res.exitE * ionA, depth, abs(cT * depth), LET, eLET))
            if peakLet <= LET:
                peakLet, peakEu, peakMeV = LET, res.exitE, res.exitE * ionA
            E = res.exitE
            g = E - 0.01
        rc = eng.traverse(M1, Z1, E, 0.0, 3, icomp, mat)
        report(rc, substrate + ' range')
        depth = depth + res.traversed * 10 / mat.density
        LET = res.exitLet
        eLET = abs(LET / cT) if cT != 0 else LET
        out.append(row % (res.exitE, res.exitE * ionA, depth, abs(cT * depth), LET, eLET))
        out.append('\n')
        out.append('Highest LET: ' + g6(peakLet) + ',  highest effective LET: ' + g6(peakLet / c)
                   + '  at  E = ' + g6(peakEu) + ' MeV/u' + '  or  ' + g6(peakMeV) + ' MeV' + '\n')
        out.append('\n')
        range_text = ''.join(out)
        nominalRange = depth
        bragg = peakMeV
    else:
        sys.stderr.write('warning: Beam fully stopped in %s.\n' % stopped_ctx)
        devMeV = 0.0
        nominalLet = 0.0
        nominalRange = 0.0
        bragg = 0.0  # as the other zeroed results
    line = '   '.join([str(beamTag), g6(degEff), g6(devMeV), g6(nominalLet), g6(nominalRange),
                       g6(degExitMeV), g6(bragg)])
    if write:
        with open(os.path.join(folder, 'atempt.txt'), 'w') as f:
            f.write(''.join(l + '\n' for l in eng.trace))
        with open(os.path.join(folder, 'RangeTable.txt'), 'w') as f:
            f.write(range_text)
        with open(os.path.join(folder, 'CurrentBeamDELReB.tmp'), 'w') as f:
            f.write(line + '\n')
        for base in ('CurrentBeamNZAMeV', 'CurrentBeamDELReB', 'CurrentBeamName'):
            first = strip_cr(Stream(read_text(os.path.join(folder, base + '.tmp'))).getline() or '')
            with open(os.path.join(folder, base + '.dat'), 'w') as f:
                f.write(first + '\n')
    return line, range_text, eng.trace


def main(argv):
    args = argv[1:]
    data = os.environ.get('TARVEX_STOPPING_DATA', '.')
    write = True
    folder = None
    i = 0
    while i < len(args):
        if args[i] == '--data':
            data = args[i + 1]
            i += 2
            continue
        if args[i] == '--no-write':
            write = False
        else:
            folder = args[i]
        i += 1
    if folder is None:
        sys.stderr.write(__doc__)
        return 2
    line, _, _ = recompute(folder, data, write)
    print('Results line: ' + line)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
