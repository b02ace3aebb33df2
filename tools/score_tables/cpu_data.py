"""Processor list for resources/cpu.txt.

Every processor is described by its brand string (as CPUID reports it, trimmed),
its clocks and its core layout.  The score is worked out from a per-architecture
rate in points per core-GHz (see make_tables.py), so parts of one family line up
by clock and core count.  Rates were fitted to multi-threaded CPU benchmark
results published around 2013 for a few well-known parts of each family.
"""

# arch -> (points per core-GHz, weight of the turbo clock)
ARCH = {
    # NetBurst
    "willamette": (105.0, 0.0),
    "northwood": (120.0, 0.0),
    "northwood_late": (145.0, 0.0),
    "p4_ht": (172.5, 0.0),
    "p4m": (110.0, 0.0),
    "pentium_d": (138.2, 0.0),  # Pentium D 3.60GHz lands on 995
    "celeron_nb": (85.0, 0.0),
    "celeron_d": (100.0, 0.0),
    "celeron_mob_nb": (80.0, 0.0),
    "xeon_nb": (172.5, 0.0),
    "xeon_dempsey": (172.5, 0.0),
    # Pentium M / Core
    "banias": (185.0, 0.0),
    "dothan": (205.0, 0.0),
    "celeron_m": (175.0, 0.0),
    "yonah": (210.0, 0.0),
    "celeron_m_yonah": (200.0, 0.0),
    "celeron_m_merom": (290.0, 0.0),
    # Core 2 generation
    "merom_2m": (285.0, 0.0),
    "merom": (300.0, 0.0),
    "allendale": (307.0, 0.0),
    "conroe": (320.0, 0.0),
    "wolfdale_3m": (333.0, 0.0),
    "wolfdale": (363.0, 0.0),
    "penryn_2m": (318.0, 0.0),
    "penryn_3m": (333.0, 0.0),
    "penryn_6m": (350.0, 0.0),
    "kentsfield": (307.0, 0.0),
    "yorkfield_2m": (300.0, 0.0),
    "yorkfield_3m": (329.0, 0.0),
    "yorkfield": (344.0, 0.0),
    "pentium_dual": (288.0, 0.0),
    "pentium_dual_mob": (270.0, 0.0),
    "pentium_dc": (320.0, 0.0),
    "pentium_dc_mob": (310.0, 0.0),
    "celeron_e1": (270.0, 0.0),
    "celeron_e3": (310.0, 0.0),
    "celeron_conroe_l": (316.0, 0.0),
    "celeron_mob_merom": (275.0, 0.0),
    "celeron_mob_penryn": (292.0, 0.0),
    # Atom
    "bonnell": (155.0, 0.0),
    "cedarview": (158.0, 0.0),
    "saltwell": (165.0, 0.0),
    "silvermont": (215.0, 0.7),
    # Core i, first generation
    "bloomfield": (370.0, 0.7),
    "gulftown": (360.7, 0.7),  # Xeon X5650 lands on 7962
    "lynnfield": (330.0, 0.7),
    "clarkdale": (320.0, 0.7),
    "clarkdale_low": (300.0, 0.0),
    "arrandale": (360.0, 0.7),
    "arrandale_low": (330.0, 0.0),
    "clarksfield": (265.0, 0.7),
    # Core i, later generations
    "sandy": (478.0, 0.7),
    "sandy_low": (440.0, 0.0),
    "ivy": (507.0, 0.7),
    "ivy_low": (470.0, 0.0),
    "haswell": (540.0, 0.7),
    "haswell_low": (500.0, 0.0),
    # AMD
    "k7": (210.0, 0.0),
    "k8": (245.0, 0.0),
    "k8_sempron": (230.0, 0.0),
    "k8_turion": (235.0, 0.0),
    "k8_puma": (240.0, 0.0),
    "k10": (267.0, 0.0),
    "k10_athlon2": (290.0, 0.0),
    "k10_phenom2": (4478.0 / 14.4, 0.0),  # Phenom II X4 975 lands on 4478
    "k10_deneb_4m": (300.0, 0.0),
    "k10_mobile": (280.0, 0.0),
    "thuban": (295.0, 0.3),
    "llano": (300.0, 0.5),
    "bulldozer": (256.0, 0.5),
    "piledriver": (277.0, 0.5),
    "piledriver_apu": (285.0, 0.5),
    "steamroller": (330.0, 0.5),
    "bobcat": (245.0, 0.5),
    "jaguar": (310.0, 0.5),
    "opteron_k10": (270.0, 0.3),
    "opteron_lisbon": (300.0, 0.3),
}

# Brand strings that pad the model number so it ends in column 36, then
# "  @ x.xxGHz".  prefix -> list of (model, base GHz, turbo GHz or 0,
# cores, threads per core, arch, short name or "")
PADDED = []


def padded(prefix, short_fmt, arch, rows):
    """rows: "model base [turbo] cores [ht]" lines."""
    for line in rows.strip().splitlines():
        parts = line.split()
        model = parts[0]
        rest = parts[1:]
        if model in ("X", "Q", "M", "U", "L"):
            model = model + " " + rest[0]
            rest = rest[1:]
        base = float(rest[0])
        turbo = 0.0
        idx = 1
        if len(rest) > 2 and "." in rest[1]:
            turbo = float(rest[1])
            idx = 2
        cores = int(rest[idx])
        ht = len(rest) > idx + 1 and rest[idx + 1] == "ht"
        a = arch
        if len(rest) > idx + 1 and rest[-1].startswith("@"):
            a = rest[-1][1:]
        PADDED.append((prefix, model, base, turbo, cores, ht, a, short_fmt))


# Each entry: (brand string, arch, cores, ht, base, turbo, short name or None)
PLAIN = []


def plain(fmt, short_fmt, arch, rows):
    """rows: "model base [turbo] cores [ht]"; fmt uses {m} and {clk}."""
    for line in rows.strip().splitlines():
        parts = line.split()
        model = parts[0].replace("_", " ")
        rest = parts[1:]
        base = float(rest[0])
        turbo = 0.0
        idx = 1
        if len(rest) > 2 and "." in rest[1]:
            turbo = float(rest[1])
            idx = 2
        cores = int(rest[idx])
        ht = "ht" in rest[idx + 1:]
        a = arch
        for r in rest[idx + 1:]:
            if r.startswith("@"):
                a = r[1:]
        clk = "%.2f" % base
        name = fmt.format(m=model, clk=clk)
        short = short_fmt.format(m=model, clk=clk) if short_fmt else None
        PLAIN.append((name, a, cores, ht, base, turbo, short))


# ---------------------------------------------------------------- Intel Core i
CORE_I = "Intel(R) Core(TM) {m} CPU @ {clk}GHz"
CORE_I_SHORT = "Intel Core {m} @ {clk}GHz"

plain(CORE_I, CORE_I_SHORT, "sandy", """
i7-2600K 3.4 3.8 4 ht
i7-2600 3.4 3.8 4 ht
i7-2600S 2.8 3.8 4 ht
i7-2700K 3.5 3.9 4 ht
i5-2300 2.8 3.1 4
i5-2310 2.9 3.2 4
i5-2320 3.0 3.3 4
i5-2380P 3.1 3.4 4
i5-2400 3.1 3.4 4
i5-2400S 2.5 3.3 4
i5-2405S 2.5 3.3 4
i5-2450P 3.2 3.5 4
i5-2500 3.3 3.7 4
i5-2500K 3.3 3.7 4
i5-2500S 2.7 3.7 4
i5-2500T 2.3 3.3 4
i5-2550K 3.4 3.8 4
i5-2390T 2.7 3.5 2 ht
i3-2100 3.1 2 ht
i3-2100T 2.5 2 ht
i3-2105 3.1 2 ht
i3-2120 3.3 2 ht
i3-2120T 2.6 2 ht
i3-2125 3.3 2 ht
i3-2130 3.4 2 ht
i7-3820 3.6 3.8 4 ht
i7-3930K 3.2 3.8 6 ht
i7-3960X 3.3 3.9 6 ht
i7-3970X 3.5 4.0 6 ht
i7-2620M 2.7 3.4 2 ht
i7-2640M 2.8 3.5 2 ht
i7-2617M 1.5 2.6 2 ht
i7-2637M 1.7 2.8 2 ht
i7-2677M 1.8 2.9 2 ht
i7-2630QM 2.0 2.9 4 ht
i7-2635QM 2.0 2.9 4 ht
i7-2670QM 2.2 3.1 4 ht
i7-2675QM 2.2 3.1 4 ht
i7-2720QM 2.2 3.3 4 ht
i7-2760QM 2.4 3.5 4 ht
i7-2820QM 2.3 3.4 4 ht
i7-2860QM 2.5 3.6 4 ht
i7-2920XM 2.5 3.5 4 ht
i7-2960XM 2.7 3.7 4 ht
i5-2410M 2.3 2.9 2 ht
i5-2430M 2.4 3.0 2 ht
i5-2435M 2.4 3.0 2 ht
i5-2450M 2.5 3.1 2 ht
i5-2520M 2.5 3.2 2 ht
i5-2540M 2.6 3.3 2 ht
i5-2557M 1.7 2.7 2 ht
i5-2467M 1.6 2.3 2 ht
i5-2537M 1.4 2.3 2 ht
i3-2310M 2.1 2 ht
i3-2330M 2.2 2 ht
i3-2350M 2.3 2 ht
i3-2370M 2.4 2 ht
i3-2357M 1.3 2 ht
i3-2365M 1.4 2 ht
i3-2367M 1.4 2 ht
i3-2375M 1.5 2 ht
i3-2377M 1.5 2 ht
""")

plain(CORE_I, CORE_I_SHORT, "ivy", """
i7-3770K 3.5 3.9 4 ht
i7-3770 3.4 3.9 4 ht
i7-3770S 3.1 3.9 4 ht
i7-3770T 2.5 3.7 4 ht
i5-3570K 3.4 3.8 4
i5-3570 3.4 3.8 4
i5-3570S 3.1 3.8 4
i5-3570T 2.3 3.3 4
i5-3550 3.3 3.7 4
i5-3550S 3.0 3.7 4
i5-3470 3.2 3.6 4
i5-3470S 2.9 3.6 4
i5-3470T 2.9 3.6 2 ht
i5-3450 3.1 3.5 4
i5-3450S 2.8 3.5 4
i5-3475S 2.9 3.6 4
i5-3350P 3.1 3.3 4
i5-3340 3.1 3.3 4
i5-3330 3.0 3.2 4
i5-3330S 2.7 3.2 4
i3-3210 3.2 2 ht
i3-3220 3.3 2 ht
i3-3220T 2.8 2 ht
i3-3225 3.3 2 ht
i3-3240 3.4 2 ht
i3-3240T 2.9 2 ht
i3-3245 3.4 2 ht
i3-3250 3.5 2 ht
i7-4820K 3.7 3.9 4 ht
i7-4930K 3.4 3.9 6 ht
i7-4960X 3.6 4.0 6 ht
i7-3610QM 2.3 3.3 4 ht
i7-3612QM 2.1 3.1 4 ht
i7-3615QM 2.3 3.3 4 ht
i7-3630QM 2.4 3.4 4 ht
i7-3632QM 2.2 3.2 4 ht
i7-3635QM 2.4 3.4 4 ht
i7-3720QM 2.6 3.6 4 ht
i7-3740QM 2.7 3.7 4 ht
i7-3820QM 2.7 3.7 4 ht
i7-3840QM 2.8 3.8 4 ht
i7-3920XM 2.9 3.8 4 ht
i7-3940XM 3.0 3.9 4 ht
i7-3517U 1.9 3.0 2 ht
i7-3537U 2.0 3.1 2 ht
i7-3520M 2.9 3.6 2 ht
i7-3540M 3.0 3.7 2 ht
i7-3667U 2.0 3.2 2 ht
i7-3687U 2.1 3.3 2 ht
i5-3210M 2.5 3.1 2 ht
i5-3230M 2.6 3.2 2 ht
i5-3317U 1.7 2.6 2 ht
i5-3337U 1.8 2.7 2 ht
i5-3320M 2.6 3.3 2 ht
i5-3340M 2.7 3.4 2 ht
i5-3360M 2.8 3.5 2 ht
i5-3380M 2.9 3.6 2 ht
i5-3427U 1.8 2.8 2 ht
i5-3437U 1.9 2.9 2 ht
i3-3110M 2.4 2 ht
i3-3120M 2.5 2 ht
i3-3130M 2.6 2 ht
i3-3217U 1.8 2 ht
i3-3227U 1.9 2 ht
""")

plain(CORE_I, CORE_I_SHORT, "haswell", """
i7-4770K 3.5 3.9 4 ht
i7-4770 3.4 3.9 4 ht
i7-4771 3.5 3.9 4 ht
i7-4770S 3.1 3.9 4 ht
i7-4770T 2.5 3.7 4 ht
i7-4765T 2.0 3.0 4 ht
i7-4770R 3.2 3.9 4 ht
i5-4670K 3.4 3.8 4
i5-4670 3.4 3.8 4
i5-4670S 3.1 3.8 4
i5-4670T 2.3 3.3 4
i5-4570 3.2 3.6 4
i5-4570S 2.9 3.6 4
i5-4570R 2.7 3.2 4
i5-4570T 2.9 3.6 2 ht
i5-4440 3.1 3.3 4
i5-4440S 2.8 3.3 4
i5-4430 3.0 3.2 4
i5-4430S 2.7 3.2 4
i3-4130 3.4 2 ht
i3-4130T 2.9 2 ht
i3-4330 3.5 2 ht
i3-4340 3.6 2 ht
i7-4700MQ 2.4 3.4 4 ht
i7-4702MQ 2.2 3.2 4 ht
i7-4700HQ 2.4 3.4 4 ht
i7-4702HQ 2.2 3.2 4 ht
i7-4750HQ 2.0 3.2 4 ht
i7-4800MQ 2.7 3.7 4 ht
i7-4850HQ 2.3 3.5 4 ht
i7-4900MQ 2.8 3.8 4 ht
i7-4930MX 3.0 3.9 4 ht
i7-4500U 1.8 3.0 2 ht
i7-4550U 1.5 3.0 2 ht
i7-4558U 2.8 3.3 2 ht
i7-4600U 2.1 3.3 2 ht
i7-4650U 1.7 3.3 2 ht
i7-4600M 2.9 3.6 2 ht
i5-4200U 1.6 2.6 2 ht
i5-4250U 1.3 2.6 2 ht
i5-4258U 2.4 2.9 2 ht
i5-4288U 2.6 3.1 2 ht
i5-4300U 1.9 2.9 2 ht
i5-4350U 1.4 2.9 2 ht
i5-4200Y 1.4 1.9 2 ht
i5-4200M 2.5 3.1 2 ht
i5-4300M 2.6 3.3 2 ht
i5-4330M 2.8 3.5 2 ht
i5-4200H 2.8 3.4 2 ht
i3-4000M 2.4 2 ht
i3-4100M 2.5 2 ht
i3-4005U 1.7 2 ht
i3-4010U 1.7 2 ht
i3-4100U 1.8 2 ht
i3-4010Y 1.3 2 ht
""")

# Pentium and Celeron of the Core i era
PENT = "Intel(R) Pentium(R) CPU {m} @ {clk}GHz"
PENT_SHORT = "Intel Pentium {m} @ {clk}GHz"
CELE = "Intel(R) Celeron(R) CPU {m} @ {clk}GHz"
CELE_SHORT = "Intel Celeron {m} @ {clk}GHz"

plain(PENT, PENT_SHORT, "sandy_low", """
G620 2.6 2
G620T 2.2 2
G630 2.7 2
G630T 2.3 2
G640 2.8 2
G640T 2.4 2
G645 2.9 2
G840 2.8 2
G850 2.9 2
G860 3.0 2
G870 3.1 2
B940 2.0 2
B950 2.1 2
B960 2.2 2
B970 2.3 2
B980 2.4 2
957 1.2 2
967 1.3 2
987 1.5 2
997 1.6 2
""")
plain(CELE, CELE_SHORT, "sandy_low", """
G440 1.6 1
G460 1.8 1 ht
G465 1.9 1 ht
G470 2.0 1 ht
G530 2.4 2
G530T 2.0 2
G540 2.5 2
G550 2.6 2
G555 2.7 2
B800 1.5 2
B810 1.6 2
B815 1.6 2
B820 1.7 2
B830 1.8 2
B840 1.9 2
787 1.3 1
797 1.4 1
807 1.5 1
847 1.1 2
857 1.2 2
867 1.3 2
877 1.4 2
887 1.5 2
""")
plain(PENT, PENT_SHORT, "ivy_low", """
G2010 2.8 2
G2020 2.9 2
G2020T 2.5 2
G2030 3.0 2
G2030T 2.6 2
G2120 3.1 2
G2130 3.2 2
G2140 3.3 2
2020M 2.4 2
2030M 2.5 2
2117U 1.8 2
2127U 1.9 2
""")
plain(CELE, CELE_SHORT, "ivy_low", """
G1610 2.6 2
G1610T 2.3 2
G1620 2.7 2
G1620T 2.4 2
G1630 2.8 2
1000M 1.8 2
1005M 1.9 2
1007U 1.5 2
1017U 1.6 2
1019Y 1.0 2
1020M 2.1 2
1037U 1.8 2
""")
plain(PENT, PENT_SHORT, "haswell_low", """
G3220 3.0 2
G3220T 2.6 2
G3420 3.2 2
G3420T 2.7 2
G3430 3.3 2
3550M 2.3 2
3560M 2.4 2
""")
plain(CELE, CELE_SHORT, "haswell_low", """
G1820 2.7 2
G1820T 2.4 2
G1830 2.8 2
2950M 2.0 2
""")
plain("Intel(R) Pentium(R) {m} @ {clk}GHz", PENT_SHORT, "haswell_low", """
3556U 1.7 2
3558U 1.7 2
""")
plain("Intel(R) Celeron(R) {m} @ {clk}GHz", CELE_SHORT, "haswell_low", """
2955U 1.4 2
2957U 1.4 2
""")

# Silvermont (Bay Trail) parts: "CPU  N2820  @ 2.13GHz"
plain("Intel(R) Celeron(R) CPU  {m}  @ {clk}GHz", CELE_SHORT, "silvermont", """
N2805 1.46 2
N2806 1.6 2.0 2
N2807 1.58 2.16 2
N2810 2.0 2
N2815 1.86 2.13 2
N2820 2.13 2.39 2
N2830 2.16 2.41 2
N2910 1.6 4
N2920 1.86 2.0 4
N2930 1.83 2.16 4
J1750 2.41 2
J1800 2.41 2.58 2
J1850 2.0 4
J1900 1.99 2.42 4
""")
plain("Intel(R) Pentium(R) CPU  {m}  @ {clk}GHz", PENT_SHORT, "silvermont", """
N3510 2.0 4
N3520 2.16 2.42 4
N3530 2.16 2.58 4
J2850 2.41 4
J2900 2.41 2.67 4
""")
plain("Intel(R) Atom(TM) CPU  {m}  @ {clk}GHz", "Intel Atom {m} @ {clk}GHz",
      "silvermont", """
Z3740 1.33 1.86 4
Z3740D 1.83 4
Z3770 1.46 2.39 4
Z3770D 1.5 2.41 4
Z3735F 1.33 1.83 4
""")

# Older Atom: "CPU N270   @ 1.60GHz"
plain("Intel(R) Atom(TM) CPU {m}   @ {clk}GHz", "Intel Atom {m} @ {clk}GHz",
      "bonnell", """
N270 1.6 1 ht
N280 1.66 1 ht
N450 1.66 1 ht
N455 1.66 1 ht
N470 1.83 1 ht
N475 1.83 1 ht
N550 1.5 2 ht
N570 1.66 2 ht
D410 1.66 1 ht
D425 1.8 1 ht
D510 1.66 2 ht
D525 1.8 2 ht
Z520 1.33 1 ht
Z530 1.6 1 ht
_230 1.6 1 ht
_330 1.6 2 ht
N2100 1.6 1 ht @cedarview
N2600 1.6 2 ht @cedarview
N2800 1.86 2 ht @cedarview
D2500 1.86 2 @cedarview
D2550 1.86 2 ht @cedarview
D2700 2.13 2 ht @cedarview
""")
plain("Intel(R) Atom(TM) CPU {m} @ {clk}GHz", "Intel Atom {m} @ {clk}GHz",
      "saltwell", """
Z2760 1.8 2 ht
""")

# ---------------------------------------------- first-generation Core i (padded)
I7 = "Intel(R) Core(TM) i7 CPU"
I5 = "Intel(R) Core(TM) i5 CPU"
I3 = "Intel(R) Core(TM) i3 CPU"
NEH_SHORT = "Intel Core {fam} {m} @ {clk}GHz"

padded(I7, NEH_SHORT, "bloomfield", """
920 2.67 2.93 4 ht
930 2.8 3.06 4 ht
940 2.93 3.2 4 ht
950 3.07 3.33 4 ht
960 3.2 3.46 4 ht
965 3.2 3.46 4 ht
975 3.33 3.6 4 ht
""")
padded(I7, NEH_SHORT, "gulftown", """
970 3.2 3.46 6 ht
980 3.33 3.6 6 ht
X 980 3.33 3.6 6 ht
X 990 3.47 3.73 6 ht
""")
padded(I7, NEH_SHORT, "lynnfield", """
860 2.8 3.46 4 ht
860S 2.53 3.46 4 ht
870 2.93 3.6 4 ht
870S 2.67 3.6 4 ht
875K 2.93 3.6 4 ht
880 3.07 3.73 4 ht
""")
padded(I5, NEH_SHORT, "lynnfield", """
750 2.67 3.2 4
750S 2.4 3.2 4
760 2.8 3.33 4
""")
padded(I5, NEH_SHORT, "clarkdale", """
650 3.2 3.46 2 ht
655K 3.2 3.46 2 ht
660 3.33 3.6 2 ht
661 3.33 3.6 2 ht
670 3.47 3.73 2 ht
680 3.6 3.86 2 ht
""")
padded(I3, NEH_SHORT, "clarkdale", """
530 2.93 2 ht
540 3.07 2 ht
550 3.2 2 ht
560 3.33 2 ht
""")
padded(I7, NEH_SHORT, "arrandale", """
M 620 2.67 3.33 2 ht
M 640 2.8 3.47 2 ht
L 640 2.13 2.93 2 ht
U 640 1.2 2.27 2 ht
""")
padded(I5, NEH_SHORT, "arrandale", """
M 430 2.27 2.53 2 ht
M 450 2.4 2.67 2 ht
M 460 2.53 2.8 2 ht
M 480 2.67 2.93 2 ht
M 520 2.4 2.93 2 ht
M 540 2.53 3.07 2 ht
M 560 2.67 3.2 2 ht
M 580 2.67 3.33 2 ht
U 430 1.2 1.73 2 ht
U 470 1.33 1.87 2 ht
""")
padded(I3, NEH_SHORT, "arrandale", """
M 330 2.13 2 ht
M 350 2.27 2 ht
M 370 2.4 2 ht
M 380 2.53 2 ht
M 390 2.67 2 ht
U 330 1.2 2 ht
U 380 1.33 2 ht
""")
padded(I7, NEH_SHORT, "clarksfield", """
Q 720 1.6 2.8 4 ht
Q 740 1.73 2.93 4 ht
Q 820 1.73 3.06 4 ht
Q 840 1.87 3.2 4 ht
X 920 2.0 3.2 4 ht
X 940 2.13 3.33 4 ht
""")

PENT_PAD = "Intel(R) Pentium(R) CPU"
CELE_PAD = "Intel(R) Celeron(R) CPU"
padded(PENT_PAD, "Intel Pentium {m} @ {clk}GHz", "clarkdale_low", """
G6950 2.8 2
G6951 2.8 2
G6960 2.93 2
""")
padded(PENT_PAD, "Intel Pentium {m} @ {clk}GHz", "arrandale_low", """
P6000 1.87 2
P6100 2.0 2
P6200 2.13 2
P6300 2.27 2
U5400 1.2 2
U5600 1.33 2
""")
padded(CELE_PAD, "Intel Celeron {m} @ {clk}GHz", "arrandale_low", """
P4500 1.87 2
P4600 2.0 2
U3400 1.07 2
U3600 1.2 2
G1101 2.27 2 @clarkdale_low
""")

# --------------------------------------------------------------- Core 2 (padded)
C2 = "Intel(R) Core(TM)2 CPU"
C2D = "Intel(R) Core(TM)2 Duo CPU"
C2Q = "Intel(R) Core(TM)2 Quad CPU"
C2Q2 = "Intel(R) Core(TM)2 Quad  CPU"
C2X = "Intel(R) Core(TM)2 Extreme CPU"
C2S = "Intel(R) Core(TM)2 Solo CPU"
DUO_SHORT = "Intel Core2 Duo {m} @ {clk}GHz"
QUAD_SHORT = "Intel Core2 Quad {m} @ {clk}GHz"

# early desktop parts print the bare number; the short name adds the "E"
padded(C2, "Intel Core2 Duo E{m} @ {clk}GHz", "conroe", """
4300 1.8 2 @allendale
4400 2.0 2 @allendale
6300 1.86 2 @allendale
6320 1.86 2
6400 2.13 2 @allendale
6420 2.13 2
6600 2.4 2
6700 2.66 2
""")
padded(C2, "Intel Core2 Extreme {m} @ {clk}GHz", "conroe", """
X6800 2.93 2
""")
padded(C2, DUO_SHORT, "merom", """
T5200 1.6 2 @merom_2m
T5300 1.73 2 @merom_2m
T5500 1.66 2 @merom_2m
T5600 1.83 2 @merom_2m
T7200 2.0 2
T7400 2.16 2
T7600 2.33 2
L7400 1.5 2
T6400 2.0 2 @penryn_2m
T6500 2.1 2 @penryn_2m
T6600 2.2 2 @penryn_2m
""")
padded(C2D, DUO_SHORT, "conroe", """
E4300 1.8 2 @allendale
E4400 2.0 2 @allendale
E4500 2.2 2 @allendale
E4600 2.4 2 @allendale
E4700 2.6 2 @allendale
E6300 1.86 2 @allendale
E6320 1.86 2
E6400 2.13 2 @allendale
E6420 2.13 2
E6540 2.33 2
E6550 2.33 2
E6600 2.4 2
E6700 2.66 2
E6750 2.66 2
E6850 3.0 2
E7200 2.53 2 @wolfdale_3m
E7300 2.66 2 @wolfdale_3m
E7400 2.8 2 @wolfdale_3m
E7500 2.93 2 @wolfdale_3m
E7600 3.06 2 @wolfdale_3m
E8190 2.66 2 @wolfdale
E8200 2.66 2 @wolfdale
E8300 2.83 2 @wolfdale
E8400 3.0 2 @wolfdale
E8500 3.16 2 @wolfdale
E8600 3.33 2 @wolfdale
""")
padded(C2D, DUO_SHORT, "merom", """
T5250 1.5 2 @merom_2m
T5270 1.4 2 @merom_2m
T5450 1.66 2 @merom_2m
T5470 1.6 2 @merom_2m
T5550 1.83 2 @merom_2m
T5670 1.8 2 @merom_2m
T5750 2.0 2 @merom_2m
T5800 2.0 2 @merom_2m
T5850 2.16 2 @merom_2m
T5870 2.0 2 @merom_2m
T5900 2.2 2 @merom_2m
T7100 1.8 2 @merom_2m
T7250 2.0 2
T7300 2.0 2
T7500 2.2 2
T7700 2.4 2
T7800 2.6 2
L7500 1.6 2
L7700 1.8 2
U7600 1.2 2
U7700 1.33 2
T6400 2.0 2 @penryn_2m
T6500 2.1 2 @penryn_2m
T6570 2.1 2 @penryn_2m
T6600 2.2 2 @penryn_2m
T6670 2.2 2 @penryn_2m
T8100 2.1 2 @penryn_3m
T8300 2.4 2 @penryn_3m
T9300 2.5 2 @penryn_6m
T9400 2.53 2 @penryn_6m
T9500 2.6 2 @penryn_6m
T9550 2.66 2 @penryn_6m
T9600 2.8 2 @penryn_6m
T9800 2.93 2 @penryn_6m
T9900 3.06 2 @penryn_6m
P7350 2.0 2 @penryn_3m
P7370 2.0 2 @penryn_3m
P7450 2.13 2 @penryn_3m
P7550 2.26 2 @penryn_3m
P7570 2.26 2 @penryn_3m
P8400 2.26 2 @penryn_3m
P8600 2.4 2 @penryn_3m
P8700 2.53 2 @penryn_3m
P8800 2.66 2 @penryn_3m
P9500 2.53 2 @penryn_6m
P9600 2.66 2 @penryn_6m
P9700 2.8 2 @penryn_6m
SU7300 1.3 2 @penryn_3m
SU9300 1.2 2 @penryn_3m
SU9400 1.4 2 @penryn_3m
SU9600 1.6 2 @penryn_3m
SL9300 1.6 2 @penryn_6m
SL9400 1.86 2 @penryn_6m
SP9300 2.26 2 @penryn_6m
SP9400 2.4 2 @penryn_6m
L9400 1.86 2 @penryn_6m
""")
padded(C2S, "Intel Core2 Solo {m} @ {clk}GHz", "penryn_3m", """
U2200 1.2 1 @merom
SU3300 1.2 1
SU3500 1.4 1
U3500 1.4 1
""")
padded(C2Q, QUAD_SHORT, "yorkfield", """
Q6600 2.4 4 @kentsfield
Q6700 2.66 4 @kentsfield
Q8200 2.33 4 @yorkfield_2m
Q8300 2.5 4 @yorkfield_2m
Q8400 2.66 4 @yorkfield_2m
Q9300 2.5 4 @yorkfield_3m
Q9400 2.66 4 @yorkfield_3m
Q9450 2.66 4
Q9550 2.83 4
Q9550S 2.83 4
Q9650 3.0 4
Q9000 2.0 4 @yorkfield_3m
Q9100 2.26 4
""")
padded(C2Q2, QUAD_SHORT, "yorkfield_3m", """
Q8200 2.33 4 @yorkfield_2m
Q8200S 2.33 4 @yorkfield_2m
Q8300 2.5 4 @yorkfield_2m
Q8400 2.66 4 @yorkfield_2m
Q8400S 2.66 4 @yorkfield_2m
Q9400 2.66 4
Q9400S 2.66 4
Q9500 2.83 4
Q9505 2.83 4
Q9505S 2.83 4
""")
padded(C2X, "Intel Core2 Extreme {m} @ {clk}GHz", "yorkfield", """
X9650 3.0 4
X9770 3.2 4
X9775 3.2 4
Q9300 2.53 4
Q6800 2.93 4 @kentsfield
Q6850 3.0 4 @kentsfield
X7800 2.6 2 @merom
X7900 2.8 2 @merom
X9000 2.8 2 @penryn_6m
X9100 3.06 2 @penryn_6m
""")

# Core Duo / Core Solo / Pentium Dual of the Yonah days
padded("Intel(R) Core(TM) Duo CPU", "Intel Core Duo {m} @ {clk}GHz", "yonah", """
T2050 1.6 2
T2250 1.73 2
T2300 1.66 2
T2350 1.86 2
T2400 1.83 2
T2450 2.0 2
T2500 2.0 2
T2600 2.16 2
T2700 2.33 2
L2400 1.66 2
L2500 1.83 2
U2500 1.2 2
""")
padded("Genuine Intel(R) CPU", "", "yonah", """
T2050 1.6 2
T2060 1.6 2
T2080 1.73 2
T2130 1.86 2
T2250 1.73 2
T2300 1.66 2
T2400 1.83 2
T2500 2.0 2
""")
padded("Intel(R) Core(TM) Solo CPU", "Intel Core Solo {m} @ {clk}GHz", "yonah", """
T1300 1.66 1
T1350 1.86 1
T1400 1.83 1
U1400 1.2 1
U1500 1.33 1
""")

# Pentium / Celeron on Core 2 cores
padded("Intel(R) Pentium(R) Dual  CPU", "Intel Pentium {m} @ {clk}GHz",
       "pentium_dual", """
E2140 1.6 2
E2160 1.8 2
E2180 2.0 2
E2200 2.2 2
E2220 2.4 2
T2310 1.46 2 @pentium_dual_mob
T2330 1.6 2 @pentium_dual_mob
T2370 1.73 2 @pentium_dual_mob
T2390 1.86 2 @pentium_dual_mob
T2410 2.0 2 @pentium_dual_mob
T3200 2.0 2 @pentium_dual_mob
T3400 2.16 2 @pentium_dual_mob
""")
padded("Pentium(R) Dual-Core  CPU", "Intel Pentium {m} @ {clk}GHz",
       "pentium_dc", """
E5200 2.5 2
E5300 2.6 2
E5400 2.7 2
E5500 2.8 2
E5700 3.0 2
E5800 3.2 2
E6300 2.8 2
E6500 2.93 2
E6600 3.06 2
E6700 3.2 2
E6800 3.33 2
""")
padded("Pentium(R) Dual-Core CPU", "Intel Pentium {m} @ {clk}GHz",
       "pentium_dc_mob", """
T4200 2.0 2
T4300 2.1 2
T4400 2.2 2
T4500 2.3 2
SU4100 1.3 2
SU2700 1.3 1
""")
padded(CELE_PAD, "Intel Celeron {m} @ {clk}GHz", "celeron_conroe_l", """
220 1.2 1 @celeron_m_merom
420 1.6 1
430 1.8 1
440 2.0 1
450 2.2 1
E1200 1.6 2 @celeron_e1
E1400 2.0 2 @celeron_e1
E1500 2.2 2 @celeron_e1
E1600 2.4 2 @celeron_e1
E3200 2.4 2 @celeron_e3
E3300 2.5 2 @celeron_e3
E3400 2.6 2 @celeron_e3
E3500 2.7 2 @celeron_e3
T1400 1.73 2 @celeron_mob_merom
T1500 1.86 2 @celeron_mob_merom
T1600 1.66 2 @celeron_mob_merom
T1700 1.83 2 @celeron_mob_merom
900 2.2 1 @celeron_m_merom
723 1.2 1 @celeron_m_merom
743 1.3 1 @celeron_m_merom
SU2300 1.2 2 @celeron_mob_merom
""")
padded("Celeron(R) Dual-Core CPU", "Intel Celeron {m} @ {clk}GHz",
       "celeron_mob_penryn", """
T3000 1.8 2
T3100 1.9 2
T3300 2.0 2
T3500 2.1 2
""")
padded("Intel(R) Celeron(R) M CPU", "Intel Celeron M {m} @ {clk}GHz",
       "celeron_m_merom", """
410 1.46 1 @celeron_m_yonah
420 1.6 1 @celeron_m_yonah
430 1.73 1 @celeron_m_yonah
440 1.86 1 @celeron_m_yonah
450 2.0 1 @celeron_m_yonah
520 1.6 1
530 1.73 1
540 1.86 1
550 2.0 1
560 2.13 1
570 2.26 1
575 2.0 1
585 2.16 1
""")

# ------------------------------------------------------------ Xeon (padded)
XEON = "Intel(R) Xeon(R) CPU"
XEON_SHORT = "Intel Xeon {m} @ {clk}GHz"
padded(XEON, XEON_SHORT, "bloomfield", """
W3520 2.67 2.93 4 ht
W3530 2.8 3.06 4 ht
W3540 2.93 3.2 4 ht
W3550 3.07 3.33 4 ht
W3565 3.2 3.46 4 ht
W3570 3.2 3.46 4 ht
W3580 3.33 3.6 4 ht
W3670 3.2 3.46 6 ht @gulftown
W3680 3.33 3.6 6 ht @gulftown
W3690 3.47 3.73 6 ht @gulftown
X3430 2.4 2.8 4 @lynnfield
X3440 2.53 2.93 4 ht @lynnfield
X3450 2.67 3.2 4 ht @lynnfield
X3460 2.8 3.46 4 ht @lynnfield
X3470 2.93 3.6 4 ht @lynnfield
X3480 3.07 3.73 4 ht @lynnfield
E5504 2.0 4
E5506 2.13 4
E5507 2.27 4
E5520 2.27 2.53 4 ht
E5530 2.4 2.67 4 ht
E5540 2.53 2.8 4 ht
L5520 2.27 2.48 4 ht
X5550 2.67 3.06 4 ht
X5560 2.8 3.2 4 ht
X5570 2.93 3.33 4 ht
W5580 3.2 3.46 4 ht
W5590 3.33 3.6 4 ht
E5620 2.4 2.66 4 ht
E5630 2.53 2.8 4 ht
E5640 2.67 2.93 4 ht
X5647 2.93 3.2 4 ht
E5645 2.4 2.67 6 ht @gulftown
E5649 2.53 2.93 6 ht @gulftown
L5640 2.27 2.8 6 ht @gulftown
X5650 2.67 3.06 6 ht @gulftown
X5660 2.8 3.2 6 ht @gulftown
X5670 2.93 3.33 6 ht @gulftown
X5675 3.07 3.46 6 ht @gulftown
X5680 3.33 3.6 6 ht @gulftown
X5690 3.47 3.73 6 ht @gulftown
""")
padded(XEON, XEON_SHORT, "yorkfield", """
3040 1.86 2 @allendale
3050 2.13 2 @allendale
3060 2.4 2 @conroe
3070 2.66 2 @conroe
5110 1.6 2 @conroe
5120 1.86 2 @conroe
5130 2.0 2 @conroe
5140 2.33 2 @conroe
5150 2.66 2 @conroe
5160 3.0 2 @conroe
E5310 1.6 4 @kentsfield
E5320 1.86 4 @kentsfield
E5335 2.0 4 @kentsfield
E5345 2.33 4 @kentsfield
X5355 2.66 4 @kentsfield
X5365 3.0 4 @kentsfield
X3210 2.13 4 @kentsfield
X3220 2.4 4 @kentsfield
X3230 2.66 4 @kentsfield
E5405 2.0 4
E5410 2.33 4
E5420 2.5 4
E5430 2.66 4
E5440 2.83 4
E5450 3.0 4
L5410 2.33 4
L5420 2.5 4
X5450 3.0 4
X5460 3.16 4
X5470 3.33 4
X3320 2.5 4 @yorkfield_3m
X3330 2.66 4 @yorkfield_3m
X3350 2.66 4
X3360 2.83 4
X3370 3.0 4
X3380 3.16 4
E3110 3.0 2 @wolfdale
E3120 3.16 2 @wolfdale
5060 3.2 2 ht @xeon_dempsey
""")

XE = "Intel(R) Xeon(R) CPU {m} @ {clk}GHz"
XE_SHORT = "Intel Xeon {m} @ {clk}GHz"
plain(XE, XE_SHORT, "sandy", """
E31220 3.1 3.4 4
E31225 3.1 3.4 4
E31230 3.2 3.6 4 ht
E31235 3.2 3.6 4 ht
E31240 3.3 3.7 4 ht
E31245 3.3 3.7 4 ht
E31270 3.4 3.8 4 ht
E31275 3.4 3.8 4 ht
E31280 3.5 3.9 4 ht
E31290 3.6 4.0 4 ht
E5-1620_0 3.6 3.8 4 ht
E5-1650_0 3.2 3.8 6 ht
E5-1660_0 3.3 3.9 6 ht
E5-2609_0 2.4 4
E5-2620_0 2.0 2.5 6 ht
E5-2630_0 2.3 2.8 6 ht
E5-2640_0 2.5 3.0 6 ht
E5-2650_0 2.0 2.8 8 ht
E5-2660_0 2.2 3.0 8 ht
E5-2665_0 2.4 3.1 8 ht
E5-2670_0 2.6 3.3 8 ht
E5-2680_0 2.7 3.5 8 ht
E5-2687W_0 3.1 3.8 8 ht
E5-2690_0 2.9 3.8 8 ht
E5-2420_0 1.9 2.4 6 ht
E5-2430_0 2.2 2.7 6 ht
E5-2440_0 2.4 2.9 6 ht
""")
plain(XE, XE_SHORT, "ivy", """
E3-1220_V2 3.1 3.5 4
E3-1225_V2 3.2 3.6 4
E3-1230_V2 3.3 3.7 4 ht
E3-1240_V2 3.4 3.8 4 ht
E3-1245_V2 3.4 3.8 4 ht
E3-1270_V2 3.5 3.9 4 ht
E3-1275_V2 3.5 3.9 4 ht
E3-1280_V2 3.6 4.0 4 ht
E3-1290_V2 3.7 4.1 4 ht
E5-1620_v2 3.7 3.9 4 ht
E5-1650_v2 3.5 3.9 6 ht
E5-1660_v2 3.7 4.0 6 ht
E5-2609_v2 2.5 4
E5-2620_v2 2.1 2.6 6 ht
E5-2630_v2 2.6 3.1 6 ht
E5-2640_v2 2.0 2.5 8 ht
E5-2650_v2 2.6 3.4 8 ht
E5-2660_v2 2.2 3.0 10 ht
E5-2670_v2 2.5 3.3 10 ht
E5-2680_v2 2.8 3.6 10 ht
E5-2690_v2 3.0 3.6 10 ht
E5-2697_v2 2.7 3.5 12 ht
""")
plain(XE, XE_SHORT, "haswell", """
E3-1220_v3 3.1 3.5 4
E3-1225_v3 3.2 3.6 4
E3-1230_v3 3.3 3.7 4 ht
E3-1240_v3 3.4 3.8 4 ht
E3-1245_v3 3.4 3.8 4 ht
E3-1270_v3 3.5 3.9 4 ht
E3-1275_v3 3.5 3.9 4 ht
E3-1280_v3 3.6 4.0 4 ht
""")

# ------------------------------------------------------------------ NetBurst
def _netburst():
    for clk in (1.4, 1.5, 1.6, 1.7, 1.8, 1.9, 2.0):
        plain_one("Intel(R) Pentium(R) 4 CPU %.2fGHz" % clk,
                  "willamette", 1, False, clk, "Intel Pentium 4 %.2fGHz" % clk)
    for clk in (2.2, 2.26, 2.4, 2.5, 2.53, 2.6, 2.66):
        plain_one("Intel(R) Pentium(R) 4 CPU %.2fGHz" % clk,
                  "northwood", 1, False, clk, "Intel Pentium 4 %.2fGHz" % clk)
    plain_one("Intel(R) Pentium(R) 4 CPU 2.80GHz", "northwood_late", 1, False,
              2.8, "Intel Pentium 4 2.80GHz")
    plain_one("Intel(R) Pentium(R) 4 CPU 2.93GHz", "northwood_late", 1, False,
              2.93, "Intel Pentium 4 2.93GHz")
    for clk in (3.0, 3.06, 3.2, 3.4, 3.6, 3.73, 3.8):
        plain_one("Intel(R) Pentium(R) 4 CPU %.2fGHz" % clk,
                  "p4_ht", 1, False, clk, "Intel Pentium 4 %.2fGHz" % clk)
    for clk in (1.7, 1.8, 2.0, 2.2, 2.4):
        plain_one("Mobile Intel(R) Pentium(R) 4 - M CPU %.2fGHz" % clk,
                  "p4m", 1, False, clk, None)
    for clk in (2.66, 2.8, 3.0, 3.2, 3.4, 3.6, 3.73):
        plain_one("Intel(R) Pentium(R) D CPU %.2fGHz" % clk,
                  "pentium_d", 2, False, clk, "Intel Pentium D %.2fGHz" % clk)
    for clk in (1.7, 1.8, 2.0, 2.1, 2.2, 2.3, 2.4, 2.5):
        plain_one("Intel(R) Celeron(R) CPU %.2fGHz" % clk,
                  "celeron_nb", 1, False, clk, "Intel Celeron %.2fGHz" % clk)
    for clk in (2.53, 2.6, 2.66, 2.7, 2.8, 2.93, 3.06, 3.2, 3.33, 3.46, 3.6):
        plain_one("Intel(R) Celeron(R) CPU %.2fGHz" % clk,
                  "celeron_d", 1, False, clk, "Intel Celeron %.2fGHz" % clk)
    for clk in (2.53, 2.66, 2.8, 2.93, 3.06, 3.2, 3.33, 3.46, 3.6):
        plain_one("Intel(R) Celeron(R) D CPU %.2fGHz" % clk,
                  "celeron_d", 1, False, clk, "Intel Celeron D %.2fGHz" % clk)
    for clk in (2.0, 2.2, 2.4):
        plain_one("Mobile Intel(R) Celeron(R) CPU %.2fGHz" % clk,
                  "celeron_mob_nb", 1, False, clk, None)
    for clk in (2.4, 2.66, 2.8, 3.0, 3.06, 3.2, 3.4, 3.6, 3.8):
        plain_one("Intel(R) Xeon(TM) CPU %.2fGHz" % clk,
                  "xeon_nb", 1, False, clk, "Intel Xeon %.2fGHz" % clk)
    # Pentium M and Celeron M
    for clk in (1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.73, 1.8, 1.86, 2.0,
                2.1, 2.13, 2.26):
        plain_one("Intel(R) Pentium(R) M processor %.2fGHz" % clk,
                  "dothan", 1, False, clk, "Intel Pentium M %.2fGHz" % clk)
    for mhz in (1400, 1500, 1600):
        plain_one("Intel(R) Pentium(R) M processor %dMHz" % mhz,
                  "banias", 1, False, mhz / 1000.0, None)
    for clk in (1.2, 1.3, 1.4, 1.5, 1.6, 1.7):
        plain_one("Intel(R) Celeron(R) M processor         %.2fGHz" % clk,
                  "celeron_m", 1, False, clk, "Intel Celeron M %.2fGHz" % clk)


def plain_one(name, arch, cores, ht, base, short):
    PLAIN.append((name, arch, cores, ht, base, 0.0, short))


_netburst()

# ------------------------------------------------------------------- AMD K7/K8
plain("AMD Athlon(tm) XP {m}", "AMD Athlon XP {m}", "k7", """
1800+ 1.53 1
2000+ 1.67 1
2200+ 1.8 1
2400+ 2.0 1
2500+ 1.83 1
2600+ 2.08 1
2800+ 2.08 1
3000+ 2.1 1
3200+ 2.2 1
""")
plain("AMD Athlon(tm) 64 Processor {m}", "AMD Athlon 64 {m}", "k8", """
2800+ 1.8 1
3000+ 1.9 1
3200+ 2.0 1
3400+ 2.2 1
3500+ 2.2 1
3700+ 2.3 1
3800+ 2.4 1
4000+ 2.45 1
""")
plain("AMD Athlon(tm) 64 {m} Processor", "AMD Athlon 64 {m}", "k8", """
FX-55 2.6 1
FX-57 2.8 1
""")
plain("AMD Athlon(tm) 64 {m} Dual Core Processor", "AMD Athlon 64 {m}", "k8",
      """
FX-60 2.6 2
FX-62 2.8 2
""")
plain("AMD Athlon(tm) Processor {m}", "AMD Athlon {m}", "k8", """
LE-1600 2.2 1
LE-1620 2.4 1
LE-1640 2.6 1
LE-1660 2.8 1
""")
plain("AMD Athlon(tm) 64 X2 Dual Core Processor {m}",
      "AMD Athlon 64 X2 Dual Core {m}", "k8", """
3600+ 1.9 2
3800+ 2.0 2
4000+ 2.1 2
4200+ 2.2 2
4400+ 2.3 2
4600+ 2.4 2
4800+ 2.5 2
5000+ 2.6 2
5200+ 2.7 2
5400+ 2.8 2
5600+ 2.9 2
6000+ 3.0 2
6400+ 3.2 2
""")
plain("AMD Athlon(tm) X2 Dual Core Processor {m}",
      "AMD Athlon X2 Dual Core {m}", "k8", """
BE-2300 1.9 2
BE-2350 2.1 2
BE-2400 2.3 2
""")
plain("AMD Athlon(tm) Dual Core Processor {m}", "AMD Athlon Dual Core {m}",
      "k8", """
4050e 2.1 2
4450e 2.3 2
4850e 2.5 2
5050e 2.6 2
4450B 2.3 2
5000B 2.6 2
5200B 2.7 2
""")
plain("AMD Athlon(tm) 64 X2 Dual-Core Processor {m}",
      "AMD Athlon 64 X2 Dual-Core {m}", "k8_turion", """
TK-53 1.7 2
TK-55 1.8 2
TK-57 1.9 2
""")
plain("AMD Athlon(tm) X2 Dual-Core {m}", "AMD Athlon X2 Dual-Core {m}",
      "k8_puma", """
QL-60 1.9 2
QL-62 2.0 2
QL-64 2.1 2
QL-65 2.1 2
QL-66 2.2 2
""")
plain("AMD Athlon(tm) Neo X2 Dual Core Processor {m}", None, "k8_turion", """
L325 1.5 2
L335 1.6 2
""")
plain("AMD Athlon(tm) Neo Processor {m}", None, "k8_turion", """
MV-40 1.6 1
""")
plain("AMD Sempron(tm) Processor {m}", "AMD Sempron {m}", "k8_sempron", """
2500+ 1.4 1
2600+ 1.6 1
2800+ 1.6 1
3000+ 1.8 1
3100+ 1.8 1
3200+ 1.8 1
3300+ 2.0 1
3400+ 2.0 1
3500+ 2.0 1
3600+ 2.0 1
3800+ 2.2 1
LE-1100 1.9 1
LE-1150 2.0 1
LE-1200 2.1 1
LE-1250 2.2 1
LE-1300 2.3 1
""")
plain("Mobile AMD Sempron(tm) Processor {m}", None, "k8_sempron", """
3000+ 1.8 1
3100+ 1.8 1
3200+ 1.6 1
3400+ 1.8 1
3500+ 1.8 1
3600+ 2.0 1
3800+ 2.2 1
""")
plain("AMD Sempron(tm) {m}", "AMD Sempron {m}", "k8_sempron", """
SI-40 2.0 1
SI-42 2.1 1
""")
plain("AMD Sempron(tm) Dual Core Processor {m}", "AMD Sempron Dual Core {m}",
      "k8_sempron", """
2100 1.8 2
2200 2.0 2
2300 2.2 2
""")
plain("AMD Sempron(tm) {m} Processor", "AMD Sempron {m}", "k10_athlon2", """
130 2.6 1
140 2.7 1
145 2.8 1
150 2.9 1
M100 2.0 1 @k10_mobile
M120 2.1 1 @k10_mobile
""")
plain("AMD Turion(tm) 64 Mobile Technology {m}",
      "AMD Turion 64 Mobile {m}", "k8_turion", """
ML-30 1.6 1
ML-32 1.8 1
ML-34 1.8 1
ML-37 2.0 1
ML-40 2.2 1
ML-44 2.4 1
MT-30 1.6 1
MT-32 1.8 1
MT-34 1.8 1
MT-37 2.0 1
MK-36 2.0 1
MK-38 2.2 1
""")
plain("AMD Turion(tm) 64 X2 Mobile Technology {m}",
      "AMD Turion 64 X2 Mobile {m}", "k8_turion", """
TL-50 1.6 2
TL-52 1.6 2
TL-56 1.8 2
TL-58 1.9 2
TL-60 2.0 2
TL-62 2.1 2
TL-64 2.2 2
TL-66 2.3 2
""")
plain("AMD Turion(tm) X2 Dual-Core Mobile {m}",
      "AMD Turion X2 Dual-Core Mobile {m}", "k8_puma", """
RM-70 2.0 2
RM-72 2.1 2
RM-74 2.2 2
RM-75 2.2 2
""")
plain("AMD Turion(tm) X2 Ultra Dual-Core Mobile {m}",
      "AMD Turion X2 Ultra Dual-Core Mobile {m}", "k8_puma", """
ZM-80 2.1 2
ZM-82 2.2 2
ZM-84 2.3 2
ZM-85 2.3 2
ZM-86 2.4 2
ZM-87 2.4 2
""")
plain("AMD Turion(tm) Neo X2 Dual Core Processor {m}", None, "k8_turion", """
L625 1.6 2
""")

# ----------------------------------------------------------------- AMD K10
plain("AMD Turion(tm) II Dual-Core Mobile {m}",
      "AMD Turion II Dual-Core Mobile {m}", "k10_mobile", """
M500 2.2 2
M520 2.3 2
M540 2.4 2
""")
plain("AMD Turion(tm) II Ultra Dual-Core Mobile {m}",
      "AMD Turion II Ultra Dual-Core Mobile {m}", "k10_athlon2", """
M600 2.4 2
M620 2.5 2
M640 2.6 2
M660 2.7 2
""")
plain("AMD Turion(tm) II {m} Dual-Core Processor",
      "AMD Turion II {m} Dual-Core", "k10_mobile", """
P520 2.3 2
P540 2.4 2
P560 2.5 2
N530 2.5 2
N550 2.6 2
N570 2.7 2
""")
plain("AMD Turion(tm) II Neo {m} Dual-Core Processor", None, "k10_mobile", """
K625 1.5 2
K665 1.7 2
K685 1.8 2
""")
plain("AMD Athlon(tm) II Dual-Core {m}", "AMD Athlon II Dual-Core {m}",
      "k10_mobile", """
M300 2.0 2
M320 2.1 2
M340 2.2 2
""")
plain("AMD Athlon(tm) II {m} Dual-Core Processor",
      "AMD Athlon II {m} Dual-Core", "k10_mobile", """
P320 2.1 2
P340 2.2 2
P360 2.3 2
N330 2.3 2
N350 2.4 2
N370 2.5 2
""")
plain("AMD Athlon(tm) II Neo {m} Processor", None, "k10_mobile", """
K125 1.7 1
""")
plain("AMD Athlon(tm) II Neo {m} Dual-Core Processor", None, "k10_mobile", """
K325 1.3 2
K345 1.4 2
""")
plain("AMD {m} Processor", "AMD {m}", "k10_mobile", """
V120 2.2 1
V140 2.3 1
V160 2.4 1
""")
plain("AMD Athlon(tm) {m} Dual-Core Processor", "AMD Athlon {m} Dual-Core",
      "k10", """
7450 2.4 2
7550 2.5 2
7750 2.7 2
7850 2.8 2
""")
plain("AMD Athlon(tm) II {m} Processor", "AMD Athlon II {m}", "k10_athlon2", """
X2_215 2.7 2
X2_220 2.8 2
X2_235e 2.7 2
X2_240 2.8 2
X2_240e 2.8 2
X2_245 2.9 2
X2_250 3.0 2
X2_250e 3.0 2
X2_255 3.1 2
X2_260 3.2 2
X2_265 3.3 2
X2_270 3.4 2
X2_280 3.6 2
X2_B22 2.8 2
X2_B24 3.0 2
X2_B26 3.2 2
X3_400e 2.2 3
X3_425 2.7 3
X3_435 2.9 3
X3_440 3.0 3
X3_445 3.1 3
X3_450 3.2 3
X3_455 3.3 3
X3_460 3.4 3
X4_600e 2.2 4
X4_605e 2.3 4
X4_610e 2.4 4
X4_620 2.6 4
X4_630 2.8 4
X4_635 2.9 4
X4_640 3.0 4
X4_645 3.1 4
X4_650 3.2 4
""")
plain("AMD Athlon(tm) II {m} Quad-Core Processor", "AMD Athlon II {m} Quad-Core",
      "llano", """
X4_631 2.6 4
X4_638 2.7 4
X4_641 2.8 4
X4_651 3.0 4
X4_651K 3.0 4
""")
plain("AMD Phenom(tm) {m} Quad-Core Processor", "AMD Phenom {m} Quad-Core",
      "k10", """
9100e 1.8 4
9150e 1.8 4
9350e 2.0 4
9450e 2.1 4
9500 2.2 4
9550 2.2 4
9600 2.3 4
9600B 2.3 4
9650 2.3 4
9750 2.4 4
9850 2.5 4
9950 2.6 4
""")
plain("AMD Phenom(tm) {m} Triple-Core Processor", "AMD Phenom {m} Triple-Core",
      "k10", """
8250e 1.9 3
8400 2.1 3
8450 2.1 3
8450e 2.1 3
8550 2.2 3
8600 2.3 3
8650 2.3 3
8750 2.4 3
8850 2.5 3
""")
plain("AMD Phenom(tm) II {m} Processor", "AMD Phenom II {m}", "k10_phenom2", """
X2_545 3.0 2
X2_550 3.1 2
X2_555 3.2 2
X2_560 3.3 2
X2_565 3.4 2
X2_570 3.5 2
X2_B53 2.8 2
X2_B55 3.0 2
X2_B57 3.2 2
X2_B59 3.4 2
X3_705e 2.5 3
X3_710 2.6 3
X3_720 2.8 3
X3_740 3.0 3
X3_B73 2.8 3
X3_B75 3.0 3
X3_B77 3.2 3
X4_805 2.5 4 @k10_deneb_4m
X4_810 2.6 4 @k10_deneb_4m
X4_820 2.8 4 @k10_deneb_4m
X4_830 2.8 4 @k10_deneb_4m
X4_840 3.2 4 @k10_athlon2
X4_850 3.3 4 @k10_athlon2
X4_900e 2.4 4
X4_905e 2.5 4
X4_910 2.6 4
X4_910e 2.6 4
X4_920 2.8 4
X4_925 2.8 4
X4_940 3.0 4
X4_945 3.0 4
X4_955 3.2 4
X4_965 3.4 4
X4_970 3.5 4
X4_975 3.6 4
X4_980 3.7 4
X4_B93 2.8 4
X4_B95 3.0 4
X4_B97 3.2 4
X4_B99 3.3 4
X4_960T 3.0 3.4 4 @thuban
X6_1035T 2.6 3.1 6 @thuban
X6_1045T 2.7 3.2 6 @thuban
X6_1055T 2.8 3.3 6 @thuban
X6_1065T 2.9 3.4 6 @thuban
X6_1075T 3.0 3.5 6 @thuban
X6_1090T 3.2 3.6 6 @thuban
X6_1100T 3.3 3.7 6 @thuban
""")
plain("AMD Phenom(tm) II {m} Dual-Core Processor", "AMD Phenom II {m} Dual-Core",
      "k10_mobile", """
N620 2.8 2
N640 2.9 2
N660 3.0 2
P650 2.6 2
X620 3.1 2
X640 3.2 2
""")
plain("AMD Phenom(tm) II {m} Triple-Core Processor",
      "AMD Phenom II {m} Triple-Core", "k10_mobile", """
N830 2.1 3
N850 2.2 3
N870 2.3 3
P820 1.8 3
P840 1.9 3
P860 2.0 3
""")
plain("AMD Phenom(tm) II {m} Quad-Core Processor",
      "AMD Phenom II {m} Quad-Core", "k10_mobile", """
N930 2.0 4
N950 2.1 4
N970 2.2 4
P920 1.6 4
P940 1.7 4
P960 1.8 4
X920 2.3 4
X940 2.4 4
""")

# --------------------------------------------------------------- AMD FX / APU
plain("AMD FX(tm)-{m} Quad-Core Processor", "AMD FX-{m} Quad-Core", "bulldozer",
      """
4100 3.6 3.8 4
4130 3.8 3.9 4
4170 4.2 4.3 4
4300 3.8 4.0 4 @piledriver
4320 4.0 4.1 4 @piledriver
4350 4.2 4.3 4 @piledriver
""")
plain("AMD FX(tm)-{m} Six-Core Processor", "AMD FX-{m} Six-Core", "bulldozer", """
6100 3.3 3.9 6
6120 3.6 4.2 6
6200 3.8 4.1 6
6300 3.5 4.1 6 @piledriver
6350 3.9 4.2 6 @piledriver
""")
plain("AMD FX(tm)-{m} Eight-Core Processor", "AMD FX-{m} Eight-Core",
      "bulldozer", """
8100 2.8 3.7 8
8120 3.1 4.0 8
8150 3.6 4.2 8
8300 3.3 4.2 8 @piledriver
8310 3.4 4.3 8 @piledriver
8320 3.5 4.0 8 @piledriver
8350 4.0 4.2 8 @piledriver
9370 4.4 4.7 8 @piledriver
9590 4.7 5.0 8 @piledriver
""")
APU = "AMD {m} APU with Radeon(tm) HD Graphics"
APU_SHORT = "AMD {m} APU"
plain(APU, APU_SHORT, "llano", """
A4-3300 2.5 2
A4-3400 2.7 2
A4-3420 2.8 2
A6-3500 2.1 2.4 3
A6-3600 2.1 2.4 4
A6-3620 2.2 2.5 4
A6-3650 2.6 4
A6-3670 2.7 4
A8-3800 2.4 2.7 4
A8-3820 2.5 2.8 4
A8-3850 2.9 4
A8-3870 3.0 4
E2-3200 2.4 2
A4-3300M 1.9 2.5 2
A4-3305M 1.9 2.5 2
A4-3310MX 2.1 2.5 2
A4-3320M 2.0 2.6 2
A4-3330MX 2.2 2.6 2
A6-3400M 1.4 2.3 4
A6-3410MX 1.6 2.3 4
A6-3420M 1.5 2.4 4
A6-3430MX 1.7 2.4 4
A8-3500M 1.5 2.4 4
A8-3510MX 1.8 2.5 4
A8-3520M 1.6 2.5 4
A8-3530MX 1.9 2.6 4
A8-3550MX 2.0 2.7 4
E2-3000M 1.8 2.4 2
""")
plain(APU, APU_SHORT, "piledriver_apu", """
A4-4000 3.0 3.2 2
A4-4020 3.2 3.4 2
A4-5300 3.4 3.6 2
A6-5400K 3.6 3.8 2
A8-5500 3.2 3.7 4
A8-5600K 3.6 3.9 4
A10-5700 3.4 4.0 4
A10-5800K 3.8 4.2 4
A10-5800B 3.8 4.2 4
A4-6300 3.7 3.9 2
A4-6320 3.8 4.0 2
A6-6400K 3.9 4.1 2
A8-6500 3.5 4.1 4
A8-6600K 3.9 4.2 4
A10-6700 3.7 4.3 4
A10-6790K 4.0 4.3 4
A10-6800K 4.1 4.4 4
A4-4300M 2.5 3.0 2
A4-4355M 1.9 2.4 2
A6-4400M 2.7 3.2 2
A6-4455M 2.1 2.6 2
A8-4500M 1.9 2.8 4
A8-4555M 1.6 2.4 4
A10-4600M 2.3 3.2 4
A10-4655M 2.0 2.8 4
A10-4657M 2.3 3.2 4
A4-5150M 2.7 3.3 2
A6-5350M 2.9 3.5 2
A6-5357M 2.9 3.5 2
A8-5545M 1.7 2.7 4
A8-5550M 2.1 3.1 4
A8-5557M 2.1 3.1 4
A10-5745M 2.1 2.9 4
A10-5750M 2.5 3.5 4
A10-5757M 2.5 3.5 4
""")
plain("AMD Athlon(tm) {m} Quad Core Processor", "AMD Athlon {m} Quad Core",
      "piledriver_apu", """
X4_730 2.8 3.2 4
X4_740 3.2 3.7 4
X4_750K 3.4 4.0 4
X4_760K 3.8 4.1 4
""")
plain("AMD Athlon(tm) {m} Dual Core Processor", "AMD Athlon {m} Dual Core",
      "piledriver_apu", """
X2_340 3.2 3.6 2
X2_370K 4.0 4.2 2
""")
plain("AMD {m} APU with Radeon(TM) HD Graphics", APU_SHORT, "jaguar", """
A4-5000 1.5 4
A6-5200 2.0 4
A4-1200 1.0 2
A4-1250 1.0 2
A6-1450 1.0 1.4 4
E1-2100 1.0 2
E1-2200 1.05 2
E1-2500 1.4 2
E2-3000 1.65 2
""")
# Kaveri prints a long descriptive brand string; the short name keeps the model
for _model, _rest, _base, _turbo in (
        ("A10-7850K", "Radeon R7, 12 Compute Cores 4C+8G", 3.7, 4.0),
        ("A10-7700K", "Radeon R7, 10 Compute Cores 4C+6G", 3.4, 3.8),
        ("A8-7600", "Radeon R7, 10 Compute Cores 4C+6G", 3.1, 3.8)):
    PLAIN.append(("AMD %s %s" % (_model, _rest), "steamroller", 4, False,
                  _base, _turbo, "AMD %s APU" % _model))
plain("AMD {m} Processor", "AMD {m} APU", "bobcat", """
C-30 1.2 1
C-50 1.0 2
E-240 1.5 1
E-350 1.6 2
G-T40N 1.0 2
G-T56N 1.65 2
""")
plain(APU, "AMD {m} APU", "bobcat", """
C-60 1.0 1.33 2
C-70 1.0 1.33 2
E-300 1.3 2
E-450 1.65 2
E1-1200 1.4 2
E1-1500 1.48 2
E2-1800 1.7 2
E2-2000 1.75 2
""")

# -------------------------------------------------------------------- Opteron
OPT = "AMD Opteron(tm) Processor {m}"
OPT_SHORT = "AMD Opteron {m}"
plain(OPT, OPT_SHORT, "k8", """
144 1.8 1
146 2.0 1
148 2.2 1
150 2.4 1
244 1.8 1
246 2.0 1
248 2.2 1
250 2.4 1
""")
plain("Dual Core AMD Opteron(tm) Processor {m}", OPT_SHORT, "k8", """
165 1.8 2
170 2.0 2
175 2.2 2
180 2.4 2
185 2.6 2
265 1.8 2
270 2.0 2
275 2.2 2
280 2.4 2
285 2.6 2
290 2.8 2
1214 2.2 2
1216 2.4 2
1218 2.6 2
1220 2.8 2
1222 3.0 2
2210 1.8 2
2212 2.0 2
2214 2.2 2
2216 2.4 2
2218 2.6 2
2220 2.8 2
2222 3.0 2
""")
plain("Quad-Core AMD Opteron(tm) Processor {m}", OPT_SHORT, "k10", """
1354 2.2 4
1356 2.3 4
1385 2.7 4
2347 1.9 4
2350 2.0 4
2352 2.1 4
2354 2.2 4
2356 2.3 4
2358_SE 2.4 4
2376 2.3 4 @k10_phenom2
2378 2.4 4 @k10_phenom2
2380 2.5 4 @k10_phenom2
2382 2.6 4 @k10_phenom2
2384 2.7 4 @k10_phenom2
2387 2.8 4 @k10_phenom2
2389 2.9 4 @k10_phenom2
""")
plain("Six-Core AMD Opteron(tm) Processor {m}", OPT_SHORT, "k10_phenom2", """
2419 1.8 6
2427 2.2 6
2431 2.4 6
2435 2.6 6
2439_SE 2.8 6
""")
plain(OPT, OPT_SHORT, "opteron_lisbon", """
4122 2.2 4
4130 2.6 4
4170_HE 2.1 6
4180 2.6 6
4184 2.8 6
4226 2.7 3.1 6 @bulldozer
4238 3.3 3.7 8 @bulldozer
4280 2.8 3.5 8 @bulldozer
4284 3.0 3.7 8 @bulldozer
4386 3.1 3.8 8 @piledriver
6128 2.0 8
6134 2.3 8
6136 2.4 8
6168 1.9 12
6172 2.1 12
6174 2.2 12
6176 2.3 12
6180_SE 2.5 12
6212 2.6 3.2 8 @bulldozer
6220 3.0 3.6 8 @bulldozer
6234 2.4 3.0 12 @bulldozer
6238 2.6 3.2 12 @bulldozer
6272 2.1 3.0 16 @bulldozer
6274 2.2 3.1 16 @bulldozer
6276 2.3 3.2 16 @bulldozer
6278 2.4 3.3 16 @bulldozer
6282_SE 2.6 3.3 16 @bulldozer
6284_SE 2.7 3.4 16 @bulldozer
6320 2.8 3.3 8 @piledriver
6328 3.2 3.8 8 @piledriver
6344 2.6 3.2 12 @piledriver
6348 2.8 3.4 12 @piledriver
6376 2.3 3.2 16 @piledriver
6378 2.4 3.3 16 @piledriver
6380 2.5 3.4 16 @piledriver
6386_SE 2.8 3.5 16 @piledriver
3250_HE 2.5 3.5 4 @bulldozer
3280 2.4 3.5 8 @bulldozer
3350_HE 2.8 3.8 4 @piledriver
3365 2.3 3.3 8 @piledriver
3380 2.6 3.6 8 @piledriver
""")

# Rows whose value is fixed by hand; they win over anything computed above.
FIXED = [
    ("Intel Core i7 995X @ 3.60GHz", 10862),
    ("Intel(R) Core(TM) i7-3970X CPU @ 3.50GHz", 10700),
    ("Intel Xeon X5650 @ 2.67GHz", 7962),
    ("AMD Phenom II X4 975", 4478),
    ("Intel(R) Core(TM)2 CPU         E8500  @ 3.16GHz", 1800),
    ("Intel Pentium D 3.60GHz", 995),
]

# Generic names and unresolved identifiers: nothing is known about the part.
GENERIC = [
    "AMD Processor",
    "amd model unknown",
    "Intel Processor",
    "intel model unknown",
    "Unknown CPU",
    "Genuine Intel(R) CPU",
    "AMD Engineering Sample",
]

# The benchmark's own short names are kept for the parts that are still met
# often; every other part is listed by its brand string only.
SHORTS = set("""
Intel Core i7-2600K @ 3.40GHz
Intel Core i5-2500K @ 3.30GHz
Intel Core i5-2400 @ 3.10GHz
Intel Core i3-2100 @ 3.10GHz
Intel Core i7-3770K @ 3.50GHz
Intel Core i5-3570K @ 3.40GHz
Intel Core i5-3470 @ 3.20GHz
Intel Core i3-3220 @ 3.30GHz
Intel Core i7-4770K @ 3.50GHz
Intel Core i5-4670K @ 3.40GHz
Intel Core i5-4570 @ 3.20GHz
Intel Core i3-4130 @ 3.40GHz
Intel Core i7-3930K @ 3.20GHz
Intel Core i7-3960X @ 3.30GHz
Intel Core i7-4930K @ 3.40GHz
Intel Core i7-4960X @ 3.60GHz
Intel Core i7 920 @ 2.67GHz
Intel Core i7 950 @ 3.07GHz
Intel Core i7 860 @ 2.80GHz
Intel Core i5 750 @ 2.67GHz
Intel Core i7 X 980 @ 3.33GHz
Intel Core i7 X 990 @ 3.47GHz
Intel Core2 Duo E8400 @ 3.00GHz
Intel Core2 Duo E8500 @ 3.16GHz
Intel Core2 Duo E7500 @ 2.93GHz
Intel Core2 Duo E6600 @ 2.40GHz
Intel Core2 Quad Q6600 @ 2.40GHz
Intel Core2 Quad Q9400 @ 2.66GHz
Intel Core2 Quad Q9550 @ 2.83GHz
Intel Core2 Quad Q9650 @ 3.00GHz
Intel Core2 Extreme X9650 @ 3.00GHz
Intel Pentium E2180 @ 2.00GHz
Intel Pentium E5200 @ 2.50GHz
Intel Pentium G620 @ 2.60GHz
Intel Pentium G2020 @ 2.90GHz
Intel Celeron E3300 @ 2.50GHz
Intel Celeron G530 @ 2.40GHz
Intel Atom N270 @ 1.60GHz
Intel Pentium 4 2.80GHz
Intel Pentium 4 3.00GHz
Intel Pentium D 3.00GHz
Intel Xeon W3520 @ 2.67GHz
Intel Xeon X5670 @ 2.93GHz
Intel Xeon X5690 @ 3.47GHz
Intel Xeon E5450 @ 3.00GHz
Intel Xeon E31230 @ 3.20GHz
Intel Xeon E3-1230 V2 @ 3.30GHz
Intel Xeon E5-2670 0 @ 2.60GHz
AMD Phenom II X4 955
AMD Phenom II X4 965
AMD Phenom II X4 980
AMD Phenom II X6 1090T
AMD Phenom II X6 1100T
AMD Athlon II X2 250
AMD Athlon II X4 640
AMD Athlon 64 X2 Dual Core 5000+
AMD Athlon 64 3200+
AMD FX-8150 Eight-Core
AMD FX-8350 Eight-Core
AMD FX-6300 Six-Core
AMD FX-4300 Quad-Core
AMD A8-3850 APU
AMD A8-5600K APU
AMD A10-5800K APU
AMD A10-7850K APU
AMD E-350 APU
""".strip().splitlines())
