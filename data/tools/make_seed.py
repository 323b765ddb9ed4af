#!/usr/bin/env python3
"""Regenerates data/seed/Para_*.csv, the representative seed catalogue.

The numbers follow data/README.md: loss values of 10 kV distribution
transformers as a stand-in for mine units, scaled and extended by stated
rules, and the rated values derived from them by textbook formulas. Run from
anywhere: python3 data/tools/make_seed.py
"""
import csv
import math
import os

SEED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "seed")
SQRT3 = math.sqrt(3.0)

# 10 kV distribution transformers (S9 column): no-load loss kW, load loss kW, impedance %.
# Source: shared engineering reference, section 7 ("Losses").
REFERENCE = {
    200: (0.48, 2.60, 4.0),
    315: (0.67, 3.65, 4.0),
    400: (0.80, 4.30, 4.0),
    500: (0.96, 5.10, 4.0),
    630: (1.20, 6.20, 4.5),
    800: (1.40, 7.50, 4.5),
}
# Mine dry units run somewhat higher than oil distribution units: +20 % (our assumption).
MINE_LOSS_FACTOR = 1.2
# Outside the reference rows losses are scaled by (S/S0)^0.75 from the nearest row;
# the reference rows themselves follow that law within 4 % (200 -> 800 kVA:
# no-load x2.92, load x2.88, against 4^0.75 = 2.83).
SCALING_EXPONENT = 0.75


def losses(capacity):
    """(no-load W, load W, impedance %) of a mine unit of that capacity."""
    if capacity in REFERENCE:
        p0, pk, uk = REFERENCE[capacity]
    else:
        base = 200 if capacity < 200 else 800
        p0, pk, _ = REFERENCE[base]
        ratio = (capacity / base) ** SCALING_EXPONENT
        p0, pk = p0 * ratio, pk * ratio
        # 4 % up to 500 kVA, 4.5 % from 630 to 1600 kVA (reference); 5.5 % above (our assumption).
        uk = 4.0 if capacity <= 500 else 4.5 if capacity <= 1600 else 5.5
    return round(p0 * 1000 * MINE_LOSS_FACTOR), round(pk * 1000 * MINE_LOSS_FACTOR), uk


def transformer_row(row_id, model, kind, capacity, hv, lv, group):
    p0, pk, uk = losses(capacity)
    u2 = lv / 1000.0                      # kV
    i1 = capacity / (SQRT3 * hv / 1000)   # A, S in kVA, U in kV
    i2 = capacity / (SQRT3 * u2)
    r = pk * u2 ** 2 / capacity ** 2      # ohm: dP in W, U2 in kV, S in kVA
    z = 10 * uk * u2 ** 2 / capacity      # ohm: uk in %
    x = math.sqrt(z * z - r * r)
    return [row_id, model, kind, capacity, hv, lv, f"{i1:.2f}", f"{i2:.2f}", p0, pk, uk, f"{r:.6f}", f"{x:.6f}", group]


def transformers():
    rows = []
    mobile = "移动变电站"
    power = "动力变压器"
    # Mobile substations KBSGZY-S/HV; the secondary voltage is not part of the
    # model text because the drawing's designation appends it (/0.69, /1.2, /3.45).
    mobile_lv = {
        690: [200, 315, 400, 500, 630, 800, 1000, 1250],
        1200: [315, 400, 500, 630, 800, 1000, 1250, 1600, 2000, 2500, 3150],
        3450: [1000, 1250, 1600, 2000, 2500, 3150],
    }
    dry_lv = {
        400: [50, 100, 200, 315],
        690: [50, 100, 200, 315, 400, 500, 630, 800, 1000],
        1200: [200, 315, 400, 500, 630, 800, 1000],
    }
    for kind, series, table in ((mobile, "KBSGZY", mobile_lv), (power, "KBSG", dry_lv)):
        for hv in (6000, 10000):
            for lv, capacities in table.items():
                for s in capacities:
                    group = "Y,d11" if lv == 3450 or s >= 1000 else "Y,y0"
                    rows.append(transformer_row(len(rows) + 1, f"{series}-{s}/{hv // 1000}", kind, s, hv, lv, group))
    return rows


def feeder_switches():
    rows = []
    # Relay-protected units: trip settings 3 ... 10 x rated current.
    relay = {100: [300, 400, 500, 600, 700, 800, 1000], 160: [480, 640, 800, 960, 1120, 1280, 1600]}
    electronic = [200, 400, 500, 630]
    long_multiples = "0.4,0.5,0.6,0.7,0.8,0.9,1.0"
    short_multiples = "3,4,5,6,7,8,9,10"
    for voltage in (660, 1140):
        for rated, steps in relay.items():
            rows.append([len(rows) + 1, f"KBZ-{rated}/1140(660)", voltage, rated, 1,
                         ",".join(str(s) for s in steps), max(steps), 0, "", "", 0])
        for rated in electronic:
            rows.append([len(rows) + 1, f"KBZ-{rated}/1140(660)", voltage, rated, 0, "", 0, 1,
                         long_multiples, short_multiples, 10])
    for rated in (400, 630):
        rows.append([len(rows) + 1, f"KBZ-{rated}/3300", 3300, rated, 0, "", 0, 1, long_multiples, short_multiples, 10])
    return rows


def high_voltage_switches():
    rows = []
    breaking_ka = 12.5
    for voltage, highest in ((6000, 7200), (10000, 12000)):
        for rated in (50, 100, 200, 300, 400, 500, 630):
            capacity = SQRT3 * voltage / 1000 * breaking_ka  # MVA = sqrt(3) U(kV) I(kA)
            relay = rated <= 100
            rows.append([len(rows) + 1, f"PBG-{rated}/6(10)", voltage, rated, f"{capacity:.2f}",
                         int(breaking_ka * 1000), 31500, highest, int(breaking_ka * 1000), int(breaking_ka * 1000),
                         1 if relay else 0, 0 if relay else 1,
                         "" if relay else "0.2,0.4,0.6,0.8,1.0,1.2,1.4",
                         "" if relay else "1,2,3,4,5,6,7,8,9"])
    return rows


def write(name, header, rows):
    with open(os.path.join(SEED, name), "w", newline="", encoding="utf-8") as f:
        out = csv.writer(f, lineterminator="\n")
        out.writerow(header)
        out.writerows(rows)


write("Para_Transformer.csv",
      ["ID", "Model", "Type", "Capacity", "HVoltage", "LVoltage", "HCurrent", "LCurrent", "EmptyLose",
       "ShortcutLose", "RXPercent", "TransR", "TransX", "LinkGroup"], transformers())
write("Para_AutomaticSwitch.csv",
      ["ID", "Model", "Voltage", "RCurrent", "IsThemalProtect", "ReleaseCurrent", "MCurrent", "IsElectricProtect",
       "LongMultiple", "ShortMultiple", "MSMulti"], feeder_switches())
write("Para_HighVoltageSwitch.csv",
      ["ID", "Model", "Voltage", "RCurrent", "Capacity", "CutCurrent", "MaxCurrent", "MaxVoltage", "SCurrent",
       "ValidCurrent", "IsThemalProtect", "IsElectricProtect", "LongMultiple", "ShortMultiple"],
      high_voltage_switches())
