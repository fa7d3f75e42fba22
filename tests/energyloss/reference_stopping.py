#!/usr/bin/env python3
"""Independent reference for the electronic stopping of one element.

A plain transcription of the published formulas, written apart from the C++
engine, used by the test suite to cross-check it:

    reference_stopping.py DATA_DIR Z1 M1 Z2 M2 E_MEV_PER_U GAS

prints the electronic stopping in MeV·cm²/mg with 12 significant digits.
"""
import math
import sys


def read_numbers(path, count_per_row, rows):
    with open(path, encoding="latin-1") as f:
        lines = f.read().split("\n")[2:]
    tokens = " ".join(lines).split()
    values = [float(t) for t in tokens[: count_per_row * rows]]
    return [values[r * count_per_row:(r + 1) * count_per_row] for r in range(rows)]


def load(folder):
    a = read_numbers(folder + "/scoef.95a", 16, 93)
    b = read_numbers(folder + "/scoef.95b", 38, 93)
    table = {z: a[z - 1] + b[z - 1] for z in range(1, 94)}  # 54 columns per row
    gas = read_numbers(folder + "/scoefgas.95", 11, 24)
    return table, {r: gas[r - 1] for r in range(1, 25)}


def proton_formula(a, z2, e1):
    ec = max(e1, 10.0) if e1 > 10 else 10.0
    s_low = a[0] * ec ** a[1] + a[2] * ec ** a[3]
    s_high = a[4] / ec ** a[5] * math.log(a[6] / ec + a[7] * ec)
    s = s_low * s_high / (s_low + s_high)
    if e1 <= 10:
        s *= (e1 / 10) ** (0.35 if z2 < 7 else 0.45)
    return s


def proton(table, gas, z1, z2, e1, gas_index):
    if e1 <= 0:
        return 0.0
    row = table[z2]
    if e1 > 10000:
        a9, a10, a11, a12 = row[16:20]
        x = math.log(e1) / e1
        return a9 + a10 * x + a11 * x * x + a12 / x
    if gas_index:
        offset = 0 if z1 == 1 else (8 if z1 == 2 else 16)
        return proton_formula(gas[offset + gas_index][3:11], z2, e1)
    return proton_formula(row[8:16], z2, e1)


def interp(grid, values, x):
    n = len(grid)
    j = 0
    while j < n - 2 and x >= grid[j + 1]:
        j += 1
    return values[j] + (values[j + 1] - values[j]) * (x - grid[j]) / (grid[j + 1] - grid[j])


def stopping(table, gas, z1, m1, z2, m2, e_kev, gas_flag):
    gases = [1, 2, 7, 8, 10, 18, 36, 54]
    g = gases.index(z2) + 1 if (gas_flag == 1 and z2 in gases) else 0
    e1 = e_kev / m1
    p = lambda e: proton(table, gas, z1, z2, e, g)
    grid = table[93]
    f = lambda e: interp(grid[40:54], table[z2][40:54], min(e, 9999.0))
    if z1 == 1:
        s = p(e1)
    elif z1 == 2:
        eh = max(e1, 1.0)
        l = math.log(eh)
        a = min(30.0, 0.2865 + 0.1266 * l - 0.001429 * l ** 2 + 0.02402 * l ** 3
                - 0.01135 * l ** 4 + 0.001475 * l ** 5)
        g2 = (1 - math.exp(-a)) * (1 + (0.007 + 0.00005 * z2) * math.exp(-(7.6 - l) ** 2)) ** 2
        s = p(eh) * g2 * 4
        if e1 <= 1:
            s *= math.sqrt(e1)
    else:
        vf = table[z2][6]
        y = math.sqrt(e1 / 25) / vf
        vr = y * vf * (1 + 0.2 / y ** 2) if y >= 1 else 0.75 * vf * (1 + 2 / 3 * y ** 2 - y ** 4 / 15)
        zp = z1 ** 0.6667
        yr_min = max(0.13, 1 / zp)
        yr = max(vr / zp, yr_min)
        a = min(50.0, 1.3167 * yr ** 0.6 - 0.803 * yr ** 0.3 + 0.38157 * yr + 0.008983 * yr ** 2)
        q = min(1.0, max(0.0, 1 - math.exp(-a)))
        lam = interp(grid[21:39], table[z1][21:39], q)
        zeta0 = q + (1 - q) / (2 * vf ** 2) * math.log(1 + (4 * lam * vf / (1.919 * z1 ** 0.33333)) ** 2)
        zeta = zeta0 * (1 + (0.08 + 0.0015 * z2) / z1 ** 2 * math.exp(-(7.6 - max(0.0, math.log(e1))) ** 2))
        if yr > yr_min:
            s = p(e1) * (zeta * z1) ** 2 * f(e1)
        else:
            vr_min = max(1.0, 0.13 * zp)
            v_min = 0.5 * (vr_min + math.sqrt(max(0.0, vr_min ** 2 - 0.8 * vf ** 2)))
            ee = 25 * v_min ** 2
            if z1 == 3:
                power = 0.55
            elif z2 <= 7 or (z1 < 18 and z2 in (14, 32)):
                power = 0.375
            else:
                power = 0.47
            s = p(ee) * f(ee) * (zeta * z1) ** 2 * (e1 / ee) ** power
    return s * 10 * 0.06022 / m2


def main():
    folder, z1, m1, z2, m2, e, gas_flag = sys.argv[1:8]
    table, gas = load(folder)
    z1, z2, gas_flag = int(z1), int(z2), int(gas_flag)
    m1, m2, e = float(m1), float(m2), float(e)
    print("%.12g" % stopping(table, gas, z1, m1, z2, m2, e * m1 * 1000, gas_flag))


if __name__ == "__main__":
    main()
