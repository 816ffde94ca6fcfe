"""The dose model of the cross-check: a second, deliberately separate implementation of the dose
calculation in plain Python (standard library only).

It reads the reference files of a working folder and computes, for one exposure, everything
tamso-calc prints: spectrum model, beam quality, spectrum listing, tube output scaling, entrance
surface dose and caregiver estimate, every result formatted with its digit mask. The driver
dosecheck.py runs it against tamso-calc and against the test cases in tests/data.

The arithmetic follows the documented formulas term by term but is free in how it evaluates
powers and products, so a value shown with all its integer digits (only absurd inputs reach 10^15
and more) may differ from the program in its fifteenth digit. The last line of the listing (a
cell no calculation sets) is " 0.00E+00".
"""

import math
import os
from decimal import Decimal, ROUND_HALF_UP, getcontext

getcontext().prec = 800  # wide enough to quantize any double

PI = 3.14159
QUARTER_TURN = 1.570795  # a quarter turn as the backscatter fractions use it, not pi/2
LN2 = 0.693147


class CalcError(Exception):
    """The exposure is outside the model; the program refuses it with a message."""


# --------------------------------------------------------------------------------------------
# Number formats: digit masks, rounded half away from zero on the 15-significant-digit form.
# --------------------------------------------------------------------------------------------

def _decimal15(value):
    return Decimal("%.14e" % value)


def fmt(value, mask):
    if "E" in mask:
        return _fmt_sci(value, mask)
    prefix = ""
    pos = 0
    while pos < len(mask) and mask[pos] not in "0#.":
        prefix += mask[pos]
        pos += 1
    body = mask[pos:]
    if "." in body:
        int_mask, frac_mask = body.split(".", 1)
        point = True
    else:
        int_mask, frac_mask, point = body, "", False
    min_int = int_mask.count("0")
    decimals = len(frac_mask)
    d = _decimal15(value)
    q = d.quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP)
    negative = q < 0
    q = abs(q)
    text = format(q, "f")
    ip, _, fp = text.partition(".")
    ip = ip.lstrip("0")
    ip = ip.rjust(min_int, "0")
    out = ip + ("." if point else "") + fp
    return prefix + ("-" if negative else "") + out


def _fmt_sci(value, mask):
    mant_mask, exp_mask = mask.split("E", 1)
    prefix = ""
    pos = 0
    while pos < len(mant_mask) and mant_mask[pos] not in "0#.":
        prefix += mant_mask[pos]
        pos += 1
    mant_mask = mant_mask[pos:]
    decimals = len(mant_mask.split(".", 1)[1]) if "." in mant_mask else 0
    exp_digits = len(exp_mask) - 1
    if value == 0:
        mant, exp = Decimal(0).quantize(Decimal(1).scaleb(-decimals)), 0
        negative = False
    else:
        d = _decimal15(value)
        negative = d < 0
        d = abs(d)
        exp = d.adjusted()
        mant = d.scaleb(-exp).quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP)
        if mant >= 10:
            mant = (mant / 10).quantize(Decimal(1).scaleb(-decimals), rounding=ROUND_HALF_UP)
            exp += 1
    sign = "-" if exp < 0 else "+"
    return (prefix + ("-" if negative else "") + format(mant, "f") + "E" + sign
            + str(abs(exp)).rjust(exp_digits, "0"))


def text_to_number(text):
    """Longest leading decimal number (exponent allowed), blanks ignored; 0 when none."""
    s = text.replace(" ", "")
    for end in range(len(s), 0, -1):
        head = s[:end]
        if not all(ch in "+-0123456789.eE" for ch in head):
            continue
        try:
            return float(head)
        except ValueError:
            continue
    return 0.0


# --------------------------------------------------------------------------------------------
# Reference files: field read and line read over Shift-JIS text.
# --------------------------------------------------------------------------------------------

class FieldReader:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.text = f.read().decode("shift_jis")
        self.pos = 0
        self.path = path

    def _at_line_end(self):
        return self.pos < len(self.text) and self.text[self.pos] in "\r\n"

    def _eat_line_end(self):
        if self.text.startswith("\r\n", self.pos):
            self.pos += 2
        elif self._at_line_end():
            self.pos += 1

    def field(self):
        t = self.text
        while self.pos < len(t) and t[self.pos] in " \t":
            self.pos += 1
        if self.pos >= len(t):
            raise CalcError("%s ends early" % os.path.basename(self.path))
        if t[self.pos] == '"':
            end = t.index('"', self.pos + 1)
            value = t[self.pos + 1:end]
            self.pos = end + 1
        else:
            start = self.pos
            number_chars = "+-0123456789.eE"
            if t[start] in number_chars:
                while self.pos < len(t) and t[self.pos] not in " \t,\r\n":
                    self.pos += 1
            else:
                while self.pos < len(t) and t[self.pos] not in ",\r\n":
                    self.pos += 1
            value = t[start:self.pos]
        while self.pos < len(t) and t[self.pos] in " \t":
            self.pos += 1
        if self.pos < len(t) and t[self.pos] == ",":
            self.pos += 1
        else:
            self._eat_line_end()
        return value

    def number(self):
        text = self.field()
        try:
            value = float(text)
        except ValueError:
            raise SystemExit("%s: not a number: %r" % (os.path.basename(self.path), text))
        if not math.isfinite(value):
            raise SystemExit("%s: number out of range: %r" % (os.path.basename(self.path), text[:40]))
        return value

    def line(self):
        t = self.text
        end = self.pos
        while end < len(t) and t[end] not in "\r\n":
            end += 1
        value = t[self.pos:end]
        self.pos = end
        self._eat_line_end()
        return value


def load_reference(folder):
    ref = {}
    bsf_e = [0.0] * 32
    for k in range(2, 32):
        bsf_e[k] = 5.0 * (k - 1)
    bsf_e[1] = 1.0
    ref["bsf_e"] = bsf_e

    r = FieldReader(os.path.join(folder, "基礎データ.dat"))
    ref["w_air"] = r.number()
    ref["unit_name"] = r.line()
    ref["angle"] = r.number()
    ref["inherent_mm"] = r.number()
    ref["hospital"] = r.line()

    r = FieldReader(os.path.join(folder, "mono_dBSF.dat"))
    mono = [[0.0] * 32 for _ in range(301)]  # mono[j][k]
    for j in range(1, 301):
        r.number()
        for k in range(1, 32):
            mono[j][k] = r.number()
    ref["mono"] = mono

    r = FieldReader(os.path.join(folder, "Atten2.dat"))
    names = ("mu_w", "mu_al", "mu_cu", "men_air", "men_tis", "mu_pmma")
    for n in names:
        ref[n] = [0.0] * 301
    for i in range(1, 301):
        r.number()
        for n in names:
            ref[n][i] = r.number()

    r = FieldReader(os.path.join(folder, "tamso_output.op"))
    r.line()
    tv = [0.0] * 6
    ty = [0.0] * 6
    for i in range(1, 6):
        tv[i] = r.number()
    for i in range(1, 6):
        ty[i] = r.number()
    ref["tube_kv"], ref["tube_y"] = tv, ty
    ref["ref_al"] = r.number() * 0.1
    ref["ref_cu"] = r.number() * 0.1

    r = FieldReader(os.path.join(folder, "s_p_ratio.dat"))
    dist = [0.0] * 5
    spr = [[0.0] * 4 for _ in range(5)]  # spr[row][col]
    for row in range(1, 5):
        dist[row] = r.number()
        for c in range(1, 4):
            spr[row][c] = r.number()
    area = [0.0] * 4
    for c in range(1, 4):
        area[c] = r.number()
    ref["spr_d"], ref["spr"], ref["spr_a"] = dist, spr, area

    r = FieldReader(os.path.join(folder, "kaijo_dose.dat"))
    key = [0.0] * 7
    amb = {}
    for i in range(1, 7):
        key[i] = r.number()
        for a in (1, 2):
            for b in (1, 2, 3):
                amb[(a, b, i)] = r.number()
    ref["amb_key"], ref["amb"] = key, amb
    check_reference(ref)
    return ref


def check_reference(ref):
    """What the layouts imply, as the program checks it at start-up."""
    def require(ok, what):
        if not ok:
            raise SystemExit("reference data refused: " + what)

    tv, ty = ref["tube_kv"], ref["tube_y"]
    for r in range(1, 6):
        require(tv[r] >= 0 and (r == 1 or tv[r] > tv[r - 1]), "tube voltage %d" % r)
        require(0 < ty[r] <= 1e-3, "tube output %d" % r)
    require(ref["ref_al"] >= 0 and ref["ref_cu"] >= 0, "reference filtration")
    for j in range(1, 301):
        require(all(v >= 0 for v in ref["mono"][j][1:]), "backscatter ring %d" % j)
    for k in range(1, 32):
        require(math.isfinite(sum(ref["mono"][j][k] for j in range(1, 301))), "backscatter column %d" % k)
    for n in ("mu_w", "mu_al", "mu_cu", "men_air", "men_tis", "mu_pmma"):
        require(all(v >= 0 for v in ref[n][1:]), n)
    for keys, n in ((ref["spr_d"], 4), (ref["spr_a"], 3), (ref["amb_key"], 6)):
        for i in range(1, n + 1):
            require(keys[i] >= 0 and (i == 1 or keys[i] > keys[i - 1]), "table key %d" % i)
    require(all(v >= 0 for row in ref["spr"][1:] for v in row[1:]), "scatter-to-primary ratio")
    require(all(v >= 0 for v in ref["amb"].values()), "ambient dose")


# --------------------------------------------------------------------------------------------
# Spectrum, filtration, listing and beam quality.
# --------------------------------------------------------------------------------------------

def spectrum_and_quality(ref, kv, angle, inh_al_cm, add_al_cm, add_cu_cm):
    """Everything that depends only on the beam: spectra, ratio, quality, listing body."""
    mu_w, mu_al, mu_cu = ref["mu_w"], ref["mu_al"], ref["mu_cu"]
    mu_p, men_air = ref["mu_pmma"], ref["men_air"]
    if kv * 2 > 300:
        raise CalcError("tube voltage beyond the tables")
    s = math.sin(PI * angle / 180)
    if s == 0:
        raise CalcError("target angle with sine 0")
    kpath = 1 / s
    t0 = kv * math.sin(PI * 90 / 180)
    c = 141766 + 12157 * t0 - 111.046 * t0 ** 2 + 0.552536 * t0 ** 3 - 0.000970158 * t0 ** 4
    r_k = (math.sqrt(8.79856 * t0 - 595.149) - 4.55528) / 4.39928 if t0 > 70 else 0.0
    b_t = math.floor(2 * t0)
    b_v = math.floor(2 * kv)

    target = [0.0] * 301
    for i in range(2, b_t + 1):
        e = 0.5 * i
        total = 0.0
        t = e
        while t <= t0:
            u = e / t
            q = (0.03658 + 0.000029 * e) * (1 - 5.049 * u + 10.847 * u ** 2 - 10.516 * u ** 3
                                           + 3.842 * u ** 4)
            sp = 1036.1 * math.exp(-0.04695 * t) + 202.41
            x = (t0 ** 2 - t ** 2) / (19.3 * c) * kpath
            total = total + q * (1 + 511 / t) / sp * math.exp(-mu_w[i] * x)
            t = t + 0.5
        target[i] = total
    if t0 > 70:
        b = 0.0
        for i in range(2, b_t + 1):
            b += target[i]
        kk = 0.01 * r_k * b
        target[119] += 0.5048 * kk
        target[116] += 0.2908 * kk
        target[134] += 0.162 * kk
        target[138] += 0.0424 * kk

    p = [0.0] * 301
    for i in range(2, b_t + 1):
        p[i] = p[i] + target[i]

    skin = [0.0] * 301
    hvl = [0.0] * 301
    beam = [0.0] * 301
    al_cm = inh_al_cm + add_al_cm
    for i in range(2, b_v + 1):
        e = 0.5 * i
        a_ref = math.exp(-ref["ref_al"] * mu_al[i] - ref["ref_cu"] * mu_cu[i])
        a_al = math.exp(-al_cm * mu_al[i])
        a_cu = math.exp(-add_cu_cm * mu_cu[i])
        a_p = math.exp(-0.6 * mu_p[i])
        skin[i] = men_air[i] * a_ref * p[i]
        hvl[i] = men_air[i] * p[i] * math.exp(-al_cm * mu_al[i] - add_cu_cm * mu_cu[i]
                                              - 0.6 * mu_p[i])
        beam[i] = a_al * a_cu * p[i] / e
        p[i] = a_al * a_cu * a_p * p[i] / e

    m = 0.0
    for i in range(1, 301):
        v = beam[i] if i <= b_v else 0.0
        if v > m:
            m = v
    if m == 0:
        raise CalcError("empty spectrum")
    body = []
    for i in range(1, 301):
        v = beam[i] if i <= b_v else 0.0
        body.append(fmt(0.5 * i, "0000.0") + ", " + fmt(v / m, "0.00000"))

    n = 0.0
    for i in range(2, b_v + 1):
        n += p[i]
    if n == 0:
        raise CalcError("empty spectrum")
    for i in range(2, b_v + 1):
        p[i] = p[i] / n
        if p[i] < 1e-10:
            p[i] = 0.0

    a_sum = 0.0
    b_sum = 0.0
    for i in range(2, b_v + 1):
        a_sum += skin[i]
        b_sum += hvl[i]
    ratio = b_sum / a_sum
    s0 = 0.0
    for i in range(2, b_v + 1):
        hvl[i] = hvl[i] / b_sum
        s0 = s0 + hvl[i]
        skin[i] = hvl[i]

    step = [0.0] * 301
    for i in range(2, b_v + 1):
        step[i] = math.exp(0.01 * (-mu_al[i]))
    tr = [0.0] * 301
    for j in range(1, 301):
        total = 0.0
        for i in range(2, b_v + 1):
            hvl[i] = step[i] * hvl[i]
            total += hvl[i]
        tr[j] = 100 * total / s0

    def layer(level):
        i = 2
        while tr[i] >= level:
            i += 1
            if i > 300:
                raise CalcError("transmission stays above %g %%" % level)
        f = (math.log(level) - math.log(tr[i - 1])) / (math.log(tr[i]) - math.log(tr[i - 1]))
        return 0.01 * ((i - 1) + f)

    hvl1 = layer(50)
    mu_eff = LN2 / hvl1
    i = 2
    while mu_al[i] >= mu_eff:
        i += 1
        if i > 300:
            raise CalcError("effective energy beyond the tables")
    e_i, e_p = 0.5 * i, 0.5 * (i - 1)
    ln_e = math.log(e_i) - (math.log(mu_al[i]) - math.log(mu_eff)) / (
        math.log(mu_al[i]) - math.log(mu_al[i - 1])) * (math.log(e_i) - math.log(e_p))
    e_eff = math.exp(ln_e)
    qvl = layer(25)
    return {
        "photon": p, "skin": skin, "ratio": ratio, "hvl1": hvl1, "qvl": qvl, "e_eff": e_eff,
        "qi": e_eff / kv, "listing_body": body, "b_v": b_v,
    }


# --------------------------------------------------------------------------------------------
# One exposure.
# --------------------------------------------------------------------------------------------

MIN_FOCUS_SKIN_CM = 30.0

# The plausible range of each condition (low, low included, high, high included), as the program
# refuses typing errors before any calculation.
PLAUSIBLE = {
    "angle": (0, False, 90, False),
    "inherent-al": (0, True, 10, True),
    "added-al": (0, True, 10, True),
    "added-cu": (0, True, 1, True),
    "kv": (20, True, 150, False),
    "mas": (0.01, True, 1000, True),
    "ffd": (30, True, 500, True),
    "thickness": (1, True, 30, True),
    "focus-hood": (0, False, 500, True),
    "field-long": (1, True, 100, True),
    "field-short": (1, True, 100, True),
}


def _plausible(name, value):
    low, low_in, high, high_in = PLAUSIBLE[name]
    above = value >= low if low_in else value > low
    below = value <= high if high_in else value < high
    if not (above and below):
        raise CalcError("%s %g outside its plausible range" % (name, value))

DEFAULTS = {"kv": 50.0, "mas": 5.0, "ffd": 100.0, "thickness": 10.0, "focus-hood": 60.0,
            "field": (25.4, 20.3), "added-al": 0.0, "added-cu": 0.0, "measured-ckg": None}


def calculate(ref, cond, beam_cache=None):
    """Returns (results dict of formatted texts, listing bytes); raises CalcError."""
    try:
        return _calculate(ref, cond, beam_cache)
    except (OverflowError, ZeroDivisionError, ValueError, IndexError) as e:
        # A value left the range of numbers or of the tables: the program stops such a run.
        raise CalcError("outside the model: %r" % e)


def refuse_negative(value, what):
    """An exposure or a dose below 0 stops the run, as in the program."""
    if value < 0:
        raise CalcError("negative " + what)


def _calculate(ref, cond, beam_cache):
    kv = cond["kv"]
    mas = cond["mas"]
    ffd = cond["ffd"]
    thick = cond["thickness"]
    angle = cond.get("angle", ref["angle"])
    inh_al = cond.get("inherent-al", ref["inherent_mm"]) * 0.1
    add_al = cond["added-al"] * 0.1
    add_cu = cond["added-cu"] * 0.1
    f_long, f_short = cond["field"]
    fsd = ffd - thick
    hood_skin = fsd - cond["focus-hood"]
    for name, value in (("angle", angle), ("inherent-al", inh_al * 10), ("added-al", cond["added-al"]),
                        ("added-cu", cond["added-cu"]), ("kv", kv), ("mas", mas), ("ffd", ffd),
                        ("thickness", thick), ("focus-hood", cond["focus-hood"]), ("field-long", f_long),
                        ("field-short", f_short)):
        _plausible(name, value)
    # Limits of the model: voltages below 150 kV; a focus-skin distance (and FFD) above 0.
    if not kv < 150 or kv < 0:
        raise CalcError("tube voltage of 150 kV or more")
    if not ffd > 0 or not fsd > 0:
        raise CalcError("no distance from the focus to the skin")
    if not mas > 0:
        raise CalcError("no mAs")
    # Geometry a mobile unit can have: the skin at least 30 cm from the focus, the hood/cover
    # between the focus and the skin.
    if not fsd >= MIN_FOCUS_SKIN_CM:
        raise CalcError("skin closer to the focus than %g cm" % MIN_FOCUS_SKIN_CM)
    if not 0 < cond["focus-hood"] < fsd:
        raise CalcError("hood/cover not between the focus and the skin")

    key = (kv, angle, inh_al, add_al, add_cu)
    if beam_cache is not None and key in beam_cache:
        beam = beam_cache[key]
    else:
        try:
            beam = spectrum_and_quality(ref, kv, angle, inh_al, add_al, add_cu)
        except (CalcError, OverflowError, ZeroDivisionError, ValueError, IndexError) as e:
            beam = e
        if beam_cache is not None:
            beam_cache[key] = beam
    if isinstance(beam, Exception):
        raise beam

    out = {}
    listing = list(beam["listing_body"])
    listing += [fmt(kv, " 00."), fmt(ffd, " 000."), fmt(thick, " 00."),
                fmt(f_long, " 00.0"), fmt(f_short, " 00.0"), " 0.00E+00"]
    listing_bytes = "".join(line + "\r\n" for line in listing).encode("shift_jis")
    out["hvl1_mm_al"] = fmt(10 * beam["hvl1"], "#0.000")
    out["quarter_value_mm_al"] = fmt(10 * beam["qvl"], "#0.000")
    out["effective_energy_kev"] = fmt(beam["e_eff"], "#00.00")
    out["quality_index"] = fmt(beam["qi"], "#0.000")

    # Exposure at 1 m.
    ratio = beam["ratio"]
    if cond["measured-ckg"] is None:
        tv, ty = ref["tube_kv"], ref["tube_y"]
        if kv < tv[1]:
            raise CalcError("tube voltage below the tube output data")
        k = 2
        while kv >= tv[k]:
            k += 1
            if k > 5:
                break
        if k > 5:
            if kv == tv[5]:
                k = 5
            else:
                raise CalcError("tube voltage above the tube output data")
        y = ty[k - 1] + (ty[k] - ty[k - 1]) * (kv - tv[k - 1]) / (tv[k] - tv[k - 1])
        x1m = mas * (ratio * y)
    else:
        shown = fmt(cond["measured-ckg"], "0.00E+0")
        x1m = ratio * text_to_number(shown)
    refuse_negative(x1m, "exposure at 1 m")
    out["exposure_at_1m_ckg"] = fmt(x1m, "0.00E+00")

    # Entrance surface dose.
    n = math.floor(2 * kv)
    skin, photon = beam["skin"], beam["photon"]
    men_air, men_tis = ref["men_air"], ref["men_tis"]
    total = 0.0
    for i in range(5, n + 1):
        total = total + skin[i] * men_tis[i] / men_air[i]
    dcf = ref["w_air"] * total
    refuse_negative(dcf, "conversion factor")
    out["dose_conversion_factor"] = fmt(dcf, "#00.00")

    td = [0.0] * 301
    s = 0.0
    for i in range(2, n + 1):
        td[i] = men_tis[i] * (0.5 * i * photon[i])
        s += td[i]
    for i in range(2, n + 1):
        td[i] = td[i] / s

    if f_long < f_short:
        big, small = f_short, f_long
    else:
        big, small = f_long, f_short
    big = big * fsd / ffd
    small = small * fsd / ffd
    if big > 40:
        big = 40.0
    if big < 1:
        big = 1.0
    if small > 40:
        small = 40.0
    if small < 1:
        small = 1.0
    a = big / 2
    b = small / 2
    nb = math.floor(10 * b)
    na = math.floor(10 * a)
    nc = math.floor(10 * math.sqrt(a * a + b * b))

    bsf_e, mono = ref["bsf_e"], ref["mono"]
    kmax = 2
    while bsf_e[kmax] <= kv:
        kmax += 1
    field_bsf = [0.0] * 32
    hq = QUARTER_TURN
    for k in range(1, kmax + 1):
        total = 0.0
        for j in range(1, nb + 1):
            total += mono[j][k]
        if na > nb:
            for j in range(nb + 1, na + 1):
                r = 0.1 * j - 0.05
                if r * r - b * b >= 0:
                    phi = math.atan(math.sqrt(r * r - b * b) / b)
                    total += (hq - phi) / hq * mono[j][k]
        for j in range(na + 1, nc + 1):
            r = 0.1 * j - 0.05
            if r * r - b * b >= 0 and r * r - a * a >= 0:
                phi_b = math.atan(math.sqrt(r * r - b * b) / b)
                phi_a = math.atan(math.sqrt(r * r - a * a) / a)
                total += (hq - phi_b - phi_a) / hq * mono[j][k]
        field_bsf[k] = 1 + total

    bsf = 0.0
    for i in range(1, n + 1):
        if not td[i] > 0:
            continue
        e = 0.5 * i
        m = 2
        while e >= bsf_e[m]:
            m += 1
        bb = field_bsf[m] - (field_bsf[m] - field_bsf[m - 1]) * (bsf_e[m] - e) / (
            bsf_e[m] - bsf_e[m - 1])
        bsf += bb * td[i]
    refuse_negative(bsf, "backscatter factor")
    out["backscatter_factor"] = fmt(bsf, "#0.000")

    g = hood_skin
    if g > 40:
        g = 40.0
    if g < 10:
        g = 10.0
    dist, spr, area_key = ref["spr_d"], ref["spr"], ref["spr_a"]
    row = 2
    while row < 4 and g > dist[row]:
        row += 1
    area = f_long * f_short
    if area > 900:
        area = 900.0
    if area < 100:
        area = 100.0
    col = 2
    while col < 3 and area > area_key[col]:
        col += 1

    def s_of(x):
        return spr[row][x] - (dist[row] - g) * (spr[row][x] - spr[row - 1][x]) / (
            dist[row] - dist[row - 1])

    s1, s2 = s_of(col - 1), s_of(col)
    ratio_sp = s1 + (area - area_key[col - 1]) * (s2 - s1) / (area_key[col] - area_key[col - 1])
    xs = (ratio_sp + 1) * x1m
    refuse_negative(xs, "exposure with scatter")
    out["exposure_with_scatter_ckg"] = fmt(xs, "0.00E+00")
    esd = 1000 * bsf * dcf * (10000 / fsd ** 2) * xs
    refuse_negative(esd, "entrance surface dose")
    out["entrance_surface_dose_mgy"] = fmt(esd, "#0.000")
    measured = cond["measured-ckg"] is not None
    out["entrance_surface_dose_u_mgy"] = fmt_expanded(
        expanded_uncertainty(esd, measured, mas, fsd, ratio_sp))
    # Not printed by tamso-calc: for the worked example in data/README.md.
    out["_combined_relative"] = combined_uncertainty(measured, mas, fsd, ratio_sp)
    out["_dose_with_uncertainty"] = fmt_dose_with_uncertainty(
        esd, expanded_uncertainty(esd, measured, mas, fsd, ratio_sp))

    # Caregiver estimate.
    v = kv
    if v > 60:
        v = 60.0
    if v < 50:
        v = 50.0
    f = ffd
    if f > 120:
        f = 120.0
    if f < 70:
        f = 70.0
    keys, amb = ref["amb_key"], ref["amb"]
    i = 2
    while f > keys[i]:
        i += 1
    for pos in (1, 2, 3):
        d = [0.0, 0.0, 0.0]
        for j in (1, 2):
            hi, lo = amb[(j, pos, i)], amb[(j, pos, i - 1)]
            d[j] = hi - (hi - lo) * (keys[i] - f) / (keys[i] - keys[i - 1])
        dd = d[1] + (d[2] - d[1]) * (v - 50) / 10
        refuse_negative(dd * mas, "caregiver dose")
        if dd * mas == 0 and mas > 0:
            raise CalcError("no ambient dose measured where the estimate looks")
        out["caregiver_usv_%d" % pos] = fmt(dd * mas, "#0.000")
    return out, listing_bytes


def uncertainty_budget(measured, mas, fsd, spr):
    """The relative standard uncertainties of the dose (k = 1), from the budget in data/README.md."""
    r3 = math.sqrt(3.0)
    parts = [0.035]  # dosimeter calibration and energy response (output data or measured value)
    if not measured:
        parts.append(0.10 / r3)  # generator kV within +-5 %, output ~ kV^2
        # Generator mAs within +-(10 % + 0.2 mAs): the limit at this mAs as a relative half-width.
        parts.append((0.10 * mas + 0.2) / mas / r3)
        parts.append(0.02)  # output interpolation between the tabulated voltages
    parts += [0.025, 0.015]  # backscatter factor, conversion factor
    if fsd > 0:
        parts += [2 * (1.0 / r3) / fsd, 2 * (1.0 / r3) / fsd]  # FFD and thickness readings, +-1 cm
    parts += [0.30 * spr / (1 + spr), 0.01]  # hood/cover scatter and thickness
    return parts


def combined_uncertainty(measured, mas, fsd, spr):
    """The combined relative standard uncertainty: root sum of squares of the budget."""
    return math.sqrt(sum(p * p for p in uncertainty_budget(measured, mas, fsd, spr)))


def expanded_uncertainty(esd, measured, mas, fsd, spr):
    """The expanded uncertainty (k = 2) of the dose in mGy."""
    return 2 * combined_uncertainty(measured, mas, fsd, spr) * esd


def _two_figures(u):
    """(the value rounded to two significant figures as a Decimal, its decimals)."""
    d = _decimal15(u)
    exp = d.adjusted()
    mant = d.scaleb(-exp).quantize(Decimal("0.1"), rounding=ROUND_HALF_UP)
    if mant >= 10:
        exp += 1
        mant = d.scaleb(-exp).quantize(Decimal("0.1"), rounding=ROUND_HALF_UP)
    return mant.scaleb(exp), 1 - exp


def fmt_expanded(u):
    """Two significant figures; "0.000" for nothing."""
    if not u > 0:
        return "0.000"
    value, decimals = _two_figures(u)
    if decimals <= 0:
        return format(value.quantize(Decimal(1)), "f")
    return format(value.quantize(Decimal(1).scaleb(-decimals)), "f")


def fmt_dose_with_uncertainty(esd, u):
    """"0.203 ± 0.046 mGy (k=2)": the dose to the last decimal of U where that is finer than 3."""
    decimals = max(3, _two_figures(u)[1]) if u > 0 else 3
    return "%s ± %s mGy (k=2)" % (fmt(esd, "#0." + "0" * decimals), fmt_expanded(u))


RESULT_KEYS = ("hvl1_mm_al", "quarter_value_mm_al", "effective_energy_kev", "quality_index",
               "exposure_at_1m_ckg", "exposure_with_scatter_ckg", "dose_conversion_factor",
               "backscatter_factor", "entrance_surface_dose_mgy", "entrance_surface_dose_u_mgy",
               "caregiver_usv_1", "caregiver_usv_2", "caregiver_usv_3")
