#!/usr/bin/python3
"""Prints what a viewer sees and hears of the show, as figures per scene.

Usage: scripts/show-figures.py CAPTURE_DIR [--source REPO] [--self-check]

CAPTURE_DIR holds the output of one whole-show capture, run in the data folder:
    orvanti-capture --every 25 --out CAPTURE_DIR/frames \\
        --trace CAPTURE_DIR/trace.csv --wav CAPTURE_DIR/sound.wav
The timeline and the fade track are read from REPO's src/shell (default: the
tree this script lives in), their frames from the trace, so a shorter opening
moves nothing by hand. Every threshold is a named constant below; the printed
table repeats each definition.
"""
import argparse
import csv
import math
import os
import re
import sys
import wave

import numpy as np
from PIL import Image

BandTop, BandRows, BandWidth = 80, 320, 640
LitLevel = 24          # a pixel is lit when its brightest channel exceeds this
NearWhiteLevel = 231   # ... near-white when its darkest channel exceeds this
InkLevel = 224         # ... ink on a white band when its darkest channel is below this
OrangeHue = (20.0, 40.0)         # degrees
OrangeSaturation, OrangeValue = 0.7, 0.7
EmptyLit, WhiteBlank = 0.05, 0.95   # a nearly empty band: under 5% lit or over 95% near-white
WhiteMostly = 0.90     # a band this white reads as blank too, if not quite empty
# Shards at the band's edge: the plane's sheet lies on black and, while it breathes, stays inside
# the band (at most 3% of the rim lit); faces magnified into shards cross the rim (8% to 60% of it
# lit, the whole rim in a frame the shards fill). A sheet made to fill the band would count as
# shattered too: such a design needs this rule revisited, not a pass by eye.
EdgeWidth = 8          # pixels of the band's rim watched for shards
EdgeShardShare = 0.10  # rim share lit above which the frame counts as shattered
SampleRate = 44100
LowHz, HighHz = 150.0, 4000.0
RepeatWindow = 4.0     # seconds
RepeatShape = 0.95     # spectral-shape similarity that counts as a near-repeat
RepeatLevel = 3.0      # ... with the loudness within this many dB
OnsetWindow = 0.040    # seconds either side of a fade position
OnsetRise = 3.0        # dB of broadband rise over the preceding 50 ms that makes an onset
ShortSection = 2.0     # seconds: a shorter section is measured with its neighbour of the same scene

ScriptRoot = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def fail(message):
    sys.exit("show-figures: " + message)


# --- the show's tables, read from the shell's sources ---------------------------------

def read_source(path):
    try:
        return open(path).read()
    except OSError as e:
        fail(f"{path}: {e.strerror}")


def read_timeline(root):
    path = os.path.join(root, "src/shell/timeline.cpp")
    text = read_source(path)
    rows = []
    for m in re.finditer(r'\{\s*(\w+)\s*,\s*(\d+)\s*,\s*(\w+)\s*,\s*(-?\d+)\s*,\s*"(\w*)"\s*\}', text):
        if m.group(1) == "TimelineEndOrder":
            break
        rows.append((int(m.group(1)), int(m.group(2)), m.group(5), int(m.group(4))))
    if not rows:
        fail(f"{path}: no timeline rows found")
    return rows


def read_fade_positions(root):
    """The positions at which the fade track leaves each row (the never-left last row excluded)."""
    path = os.path.join(root, "src/shell/sequencer.h")
    text = read_source(path)
    start = text.find("FadeTrack[")
    if start < 0:
        fail(f"{path}: no FadeTrack table")
    body = text[start:text.find("};", start)]
    keys = re.findall(r'\{\s*(-?\d+)\s*,\s*(-?\d+)\s*,\s*(-?\d+)\s*,\s*(\w+)\s*,\s*(\w+)\s*,\s*(\d+)\s*\}', body)
    positions = [(int(k[4]), int(k[5])) for k in keys if k[4].isdigit()]
    if not positions:
        fail(f"{path}: no fade track rows found")
    return positions


def read_trace(path):
    try:
        with open(path, newline="") as f:
            rows = list(csv.reader(f))
    except OSError as e:
        fail(f"{path}: {e.strerror}")
    if not rows or rows[0][:4] != ["frame", "milliseconds", "order", "row"]:
        fail(f"{path}: not a capture trace (expected a header 'frame,milliseconds,order,row,...')")
    trace = []
    for n, r in enumerate(rows[1:], 2):
        if len(r) != 8:
            fail(f"{path}: line {n}: {len(r)} fields, expected 8")
        trace.append((int(r[0]), int(r[1]), int(r[2]), int(r[3]), r[4], int(r[5]), int(r[6]), int(r[7])))
    if not trace or any(t[0] != i for i, t in enumerate(trace)):
        fail(f"{path}: frames must be numbered 0, 1, 2, ... without gaps")
    return trace


def reached(order, row, at):
    # The sequencer compares order and row separately, not lexicographically.
    return order >= at[0] and row >= at[1]


def walk_positions(trace, positions):
    """The first frame at which each position in turn is reached, as the sequencer walks them."""
    frames, i = [], 0
    for t in trace:
        while i < len(positions) and reached(t[2], t[3], positions[i]):
            frames.append(t[0])
            i += 1
    return frames + [None] * (len(positions) - len(frames))


def scene_of(handler):
    if handler.startswith("buddha_"):
        return "buddha"
    if handler.startswith("box_"):
        return handler[:-len("_handler")].replace("_", " ")
    return handler.replace("_scene_handler", "").replace("_handler", "")


def merge_short(sections, fps):
    """Sections under ShortSection seconds joined to the following (else the preceding) one of the
    same scene, so that a two-row section does not stand for a whole piece of music."""
    out = list(sections)
    k = 0
    while k < len(out):
        a, b, label, h = out[k]
        if (b - a) / fps >= ShortSection:
            k += 1
            continue
        if k + 1 < len(out) and scene_of(out[k + 1][3]) == scene_of(h):
            n = out[k + 1]
            out[k:k + 2] = [(a, n[1], label.split(" ")[0] + "+" + n[2], n[3])]
        elif k > 0 and scene_of(out[k - 1][3]) == scene_of(h):
            q = out[k - 1]
            out[k - 1:k + 1] = [(q[0], b, q[2] + "+" + label.split(" ")[0], q[3])]
            k -= 1
        else:
            k += 1
    return out


def build_sections(trace, timeline):
    """Timeline sections as (first frame, end frame, label, handler); empty ones dropped."""
    fired = walk_positions(trace, [(o, r) for o, r, _, _ in timeline])
    sections = []
    for k, (o, r, name, param) in enumerate(timeline):
        if fired[k] is None:
            continue
        end = next((f for f in fired[k + 1:] if f is not None), len(trace))
        if end <= fired[k]:
            continue
        handler = trace[fired[k]][4]
        sections.append((fired[k], end, f"{o}:{r} {scene_of(handler)} p{param}", handler))
    return sections


# --- pictures ------------------------------------------------------------------------

def band_figures(path):
    try:
        img = np.asarray(Image.open(path).convert("RGB"))
    except OSError as e:
        fail(f"{path}: {e}")
    if img.shape[:2] != (480, 640):
        fail(f"{path}: {img.shape[1]}x{img.shape[0]}, expected the whole 640x480 screen")
    band = img[BandTop:BandTop + BandRows].astype(np.int16)
    hi, lo = band.max(axis=2), band.min(axis=2)
    lit = hi > LitLevel
    rim = np.ones(lit.shape, bool)
    rim[EdgeWidth:-EdgeWidth, EdgeWidth:-EdgeWidth] = False
    sat = np.where(hi > 0, (hi - lo) / np.maximum(hi, 1), 0.0)
    r, g, b = band[..., 0], band[..., 1], band[..., 2]
    hue = np.degrees(np.arctan2(math.sqrt(3) * (g - b), 2 * r - g - b)) % 360
    orange = (hue >= OrangeHue[0]) & (hue <= OrangeHue[1]) & (sat >= OrangeSaturation) & (hi >= 255 * OrangeValue)
    return {
        "lit": lit.mean(),
        "near_white": (lo > NearWhiteLevel).mean(),
        "pure_white": (lo == 255).mean(),
        "ink": (lo < InkLevel).mean(),
        "orange": orange.mean(),
        "rim_lit": lit[rim].mean(),
    }


def empty_stretches(sampled, empty, step):
    """Runs of empty sampled frames, as (first, last sample, frames covered). A single full sample
    between empty ones (half a second at --every 25, a pulse of the picture) does not end a run."""
    empty = list(empty)
    smooth = [e or (0 < k < len(empty) - 1 and empty[k - 1] and empty[k + 1]) for k, e in enumerate(empty)]
    runs, start = [], None
    for k, e in enumerate(smooth + [False]):
        if e and start is None:
            start = k
        elif not e and start is not None:
            runs.append((sampled[start], sampled[k - 1], sampled[k - 1] - sampled[start] + step))
            start = None
    return runs


def pct(x):
    return "-" if x is None or (isinstance(x, float) and math.isnan(x)) else f"{100 * x:.1f}%"


def share(values, test):
    return sum(1 for v in values if test(v)) / len(values) if values else float("nan")


# --- sound ---------------------------------------------------------------------------

def read_wav(path):
    try:
        with wave.open(path) as w:
            if w.getsampwidth() != 2 or w.getframerate() != SampleRate:
                fail(f"{path}: expected 16-bit samples at {SampleRate} Hz")
            data = np.frombuffer(w.readframes(w.getnframes()), "<i2").reshape(-1, w.getnchannels())
    except (OSError, wave.Error, EOFError) as e:
        fail(f"{path}: {e}")
    return data.astype(np.float64) / 32768.0


def decibels(amplitude):
    return 20 * math.log10(amplitude + 1e-12)


Hop = 1024
Window = 2048


def spectrogram(signal):
    """Power spectra of 2048-sample Hann windows every 1024 samples; row j starts at sample j*Hop."""
    count = max(0, (len(signal) - Window) // Hop + 1)
    win = np.hanning(Window)
    out = np.empty((count, Window // 2 + 1))
    for s in range(0, count, 512):
        idx = (np.arange(s, min(count, s + 512))[:, None] * Hop) + np.arange(Window)
        out[s:s + len(idx)] = np.abs(np.fft.rfft(signal[idx] * win, axis=1)) ** 2
    return out


def third_octave_bands():
    freqs = np.fft.rfftfreq(Window, 1.0 / SampleRate)
    centres = [1000.0 * 2 ** (k / 3) for k in range(-14, 13)]  # 40 Hz to 16 kHz
    bands = []
    for c in centres:
        lo, hi = c / 2 ** (1 / 6), c * 2 ** (1 / 6)
        sel = np.nonzero((freqs >= lo) & (freqs < hi))[0]
        if len(sel):
            bands.append(sel)
    return bands


def band_levels(power_rows, bands):
    mean = power_rows.mean(axis=0)
    return np.array([10 * np.log10(mean[b].sum() + 1e-20) for b in bands])


def shape_similarity(a, b):
    """Cosine of two band-level profiles with their mean level taken out: spectral shape only."""
    a, b = a - a.mean(), b - b.mean()
    return float(a @ b / (np.linalg.norm(a) * np.linalg.norm(b) + 1e-12))


def onset_curve(power):
    """Broadband level in dB over 5 ms steps of 10 ms windows, from per-sample power."""
    step, length = 220, 441
    count = (len(power) - length) // step
    sq = np.concatenate([[0.0], np.cumsum(power)])
    starts = np.arange(count) * step
    energy = (sq[starts + length] - sq[starts]) / length
    return 10 * np.log10(energy + 1e-12), step


def onsets(level, step):
    """Times in seconds at which the level first climbs OnsetRise dB over the quietest of the 50 ms before."""
    before = int(0.050 * SampleRate / step)
    floor = np.array([level[max(0, i - before):i].min() if i else level[0] for i in range(len(level))])
    rising = level - floor >= OnsetRise
    starts = np.nonzero(rising[1:] & ~rising[:-1])[0] + 1
    return starts * step / SampleRate


def chroma_matrix():
    """Spectrum bins to the 12 pitch classes, for bins from 110 Hz to 4 kHz."""
    freqs = np.fft.rfftfreq(Window, 1.0 / SampleRate)
    weights = np.zeros((len(freqs), 12))
    for i, f in enumerate(freqs):
        if 110.0 <= f <= 4000.0:
            weights[i, int(round(12 * math.log2(f / 440.0))) % 12] = 1.0
    return weights


def has_onset(level, step, seconds):
    """An energy jump near the given time: some 10 ms window in +-OnsetWindow is OnsetRise dB over
    the quietest of the 50 ms before it."""
    centre = int(seconds * SampleRate / step)
    reach = int(OnsetWindow * SampleRate / step)
    before = int(0.050 * SampleRate / step)
    for i in range(max(before, centre - reach), min(len(level), centre + reach + 1)):
        if level[i] - level[i - before:i].min() >= OnsetRise:
            return True
    return False


# --- the report -----------------------------------------------------------------------

def main():
    ap = argparse.ArgumentParser(description="Figures of one whole-show capture.")
    ap.add_argument("capture", nargs="?", help="folder with frames/, trace.csv and sound.wav")
    ap.add_argument("--compare", metavar="BEFORE", help="another capture folder, summed up beside this one")
    ap.add_argument("--source", default=ScriptRoot, help="repository whose src/shell holds the timeline")
    ap.add_argument("--self-check", action="store_true", help="check the measures on made-up input and exit")
    args = ap.parse_args()
    if args.self_check:
        return self_check()
    if not args.capture:
        ap.error("a capture folder is needed")
    lines, summary = analyse(args.capture, args.source)
    print("\n".join(lines))
    print()
    if args.compare:
        _, before = analyse(args.compare, args.source)
        named = dict((name, value) for name, value, _ in before)
        print(f"Summary: {args.compare} (before) and {args.capture} (after)")
        print(f"  {'':<64} {'before':>12} {'after':>12}  aim")
        for name, value, aim in summary:
            print(f"  {name:<64} {named.get(name, '-'):>12} {value:>12}  {aim}")
    else:
        print(f"Summary of {args.capture}")
        for name, value, aim in summary:
            print(f"  {name:<64} {value:>12}  {aim}")
    return 0


def analyse(cap, source):
    """The printed figures of one capture, and its headline figures as (name, value, aim)."""
    trace = read_trace(os.path.join(cap, "trace.csv"))
    fps = round(1000 * (len(trace) - 1) / trace[-1][1]) if len(trace) > 1 and trace[-1][1] else 50
    timeline = read_timeline(source)
    sections = build_sections(trace, timeline)
    total = len(trace)

    frame_dir = os.path.join(cap, "frames")
    try:
        names = sorted(n for n in os.listdir(frame_dir) if re.fullmatch(r"frame_\d+\.png", n))
    except OSError as e:
        fail(f"{frame_dir}: {e.strerror}")
    sampled = [int(n[6:-4]) for n in names if int(n[6:-4]) < total]
    if not sampled:
        fail(f"{frame_dir}: no frame_NNNNNN.png inside the trace's {total} frames")
    step = sampled[1] - sampled[0] if len(sampled) > 1 else 1
    figures = {}
    for k, f in enumerate(sampled):
        figures[f] = band_figures(os.path.join(frame_dir, f"frame_{f:06d}.png"))
        if sys.stderr.isatty():
            print(f"\rshow-figures: frame {k + 1} of {len(sampled)}", end="", file=sys.stderr)
    if sys.stderr.isatty():
        print(file=sys.stderr)

    out, head = [], []
    p = out.append
    p(f"Show: {total} frames at {fps} fps ({total / fps:.1f} s); {len(sampled)} frames sampled, every {step}.")
    p(f"lit: brightest channel > {LitLevel}; near-white: darkest channel > {NearWhiteLevel}; "
      f"pure white: 0xFFFFFF; all shares are of the band (rows {BandTop}-{BandTop + BandRows - 1}).")
    p("")

    def frames_in(first, end, keep=lambda f: True):
        return [f for f in sampled if first <= f < end and keep(f)]

    scene_frames = {}
    for f in sampled:
        scene_frames.setdefault(scene_of(trace[f][4]), []).append(f)

    def lit_row(label, fs, extra=""):
        lits = [figures[f]["lit"] for f in fs]
        if not lits:
            return f"{label:<28} {'0':>6}"
        return (f"{label:<28} {len(fs):>6} {pct(np.mean(lits)):>7} {pct(min(lits)):>7} {pct(max(lits)):>7} "
                f"{pct(share(lits, lambda v: v < 0.08)):>7} {pct(share(lits, lambda v: v < 0.05)):>7} "
                f"{pct(np.mean([figures[f]['near_white'] for f in fs])):>7}{extra}")

    header = f"{'':<28} {'frames':>6} {'lit':>7} {'min':>7} {'max':>7} {'<8%':>7} {'<5%':>7} {'n-white':>7}"
    p("Band lit share per scene (mean, min, max; share of frames under 8% and 5% lit; mean near-white)")
    p(header)
    for name in sorted(scene_frames, key=lambda n: scene_frames[n][0]):
        p(lit_row(name, scene_frames[name]))
    p(lit_row("whole show", sampled))
    morph = [figures[f]["lit"] for f in scene_frames.get("box morph", [])]
    p(f"box morph: frames with at least 8% lit: {pct(share(morph, lambda v: v >= 0.08))}")
    head.append(("box morph: frames with at least 8% of the band lit", pct(share(morph, lambda v: v >= 0.08)), ">= 90%"))
    head.append(("box morph: band lit, mean", pct(np.mean(morph) if morph else float("nan")), ""))
    p("")
    p("Band lit share per timeline section")
    p(header)
    for first, end, label, _ in sections:
        p(lit_row(f"{label} @{first}", frames_in(first, end)))
    p("")

    def stretches(title, name, aim, is_empty):
        empty = [is_empty(figures[f]) for f in sampled]
        runs = empty_stretches(sampled, empty, step)
        longest = max(runs, key=lambda r: r[2]) if runs else None
        p(f"{title} (a run of n sampled frames counts n*{step} frames)")
        if longest:
            p(f"  longest: frames {longest[0]}-{longest[1] + step - 1}, {longest[2]} frames, "
              f"{pct(longest[2] / total)} of the show")
        else:
            p("  longest: none")
        p(f"  in all: {pct(sum(empty) / len(empty))} of sampled frames")
        head.append((f"longest {name} stretch, share of the show", pct(longest[2] / total if longest else 0.0), aim))
        for a, b, n in runs:
            if n > 0.01 * total:
                p(f"  frames {a}-{b + step - 1} ({n} frames, {pct(n / total)}, {n / fps:.1f} s): "
                  f"{scene_of(trace[a][4])} to {scene_of(trace[b][4])}")
        p("")

    stretches(f"Nearly empty stretches: band under {EmptyLit:.0%} lit or over {WhiteBlank:.0%} near-white",
              "nearly empty", "<= 2%", lambda fig: fig["lit"] < EmptyLit or fig["near_white"] > WhiteBlank)
    stretches(f"Mostly white stretches: band over {WhiteMostly:.0%} near-white", "mostly white", "",
              lambda fig: fig["near_white"] > WhiteMostly)

    plane = scene_frames.get("plane", [])
    rims = [figures[f]["rim_lit"] for f in plane]
    p(f"Plane: a frame has shards at the band's edge when over {EdgeShardShare:.0%} of the band's outer "
      f"{EdgeWidth}-pixel rim is lit (the sheet's background is black, a calm sheet stays clear of the rim)")
    p(f"  frames {len(plane)}, with shards at the edge {pct(share(rims, lambda v: v > EdgeShardShare))}, "
      f"mean rim lit {pct(np.mean(rims) if rims else float('nan'))}")
    head.append(("plane: frames with shards at the band's edge", pct(share(rims, lambda v: v > EdgeShardShare)), "<= 10%"))
    p("")

    bud_all = scene_frames.get("buddha", [])
    bud = [f for f in bud_all if not (trace[f][4] == "buddha_glow_handler" and trace[f][5] & 2)]
    p(f"Buddha (without the white section, glow handler with parameter bit 1): {len(bud)} frames")
    p(f"  pure white mean {pct(np.mean([figures[f]['pure_white'] for f in bud]) if bud else float('nan'))}, "
      f"max {pct(max([figures[f]['pure_white'] for f in bud], default=float('nan')))}")
    p(f"  saturated orange (hue {OrangeHue[0]:.0f}-{OrangeHue[1]:.0f} deg, saturation and value >= "
      f"{OrangeSaturation:.0%}) mean {pct(np.mean([figures[f]['orange'] for f in bud]) if bud else float('nan'))}, "
      f"max {pct(max([figures[f]['orange'] for f in bud], default=float('nan')))}")
    head.append(("buddha: pure white, mean (white section left out)",
                 pct(np.mean([figures[f]['pure_white'] for f in bud]) if bud else float("nan")), "<= 3%"))
    head.append(("buddha: saturated orange, mean", pct(np.mean([figures[f]['orange'] for f in bud]) if bud else float("nan")), "<= 4%"))
    for first, end, label, handler in sections:
        if handler.startswith("buddha_"):
            fs = frames_in(first, end)
            if fs:
                white_section = handler == "buddha_glow_handler" and trace[first][5] & 2
                p(f"    {label:<28} white {pct(np.mean([figures[f]['pure_white'] for f in fs])):>7} "
                  f"orange {pct(np.mean([figures[f]['orange'] for f in fs])):>7}"
                  + ("  (white section, not in the means)" if white_section else ""))
    p("")

    sys_first = next((a for a, _, _, h in sections if h == "system_scene_handler"), None)
    if sys_first is not None:
        fs = frames_in(sys_first, sys_first + 15 * fps, lambda f: trace[f][4] == "system_scene_handler")
        inks = [figures[f]["ink"] for f in fs]
        p(f"System: ink (darkest channel < {InkLevel}) in its first 15 s: mean {pct(np.mean(inks) if inks else float('nan'))}, "
          f"min {pct(min(inks, default=float('nan')))}")
        per_second = []
        for s in range(15):
            sec = [figures[f]["ink"] for f in fs if sys_first + s * fps <= f < sys_first + (s + 1) * fps]
            per_second.append(np.mean(sec) if sec else None)
        p("  per second: " + " ".join(pct(v) for v in per_second))
        head.append(("system: ink in its first 15 s, mean", pct(np.mean(inks) if inks else float("nan")), ""))
        head.append(("system: ink in the least inked of its first 15 seconds",
                     pct(min((v for v in per_second if v is not None), default=float("nan"))), ">= 15%"))
    p("")

    sound_report(p, head, os.path.join(cap, "sound.wav"), trace, fps, sections, scene_frames,
                 read_fade_positions(source))
    return out, head


def sound_report(p, head, path, trace, fps, sections, scene_frames, fade_positions):
    stereo = read_wav(path)
    # Powers of the channels are added, so that nothing out of phase between them cancels.
    power = (stereo * stereo).mean(axis=1)
    total = len(trace)
    per_frame = SampleRate / fps
    p(f"Sound: {len(stereo) / SampleRate:.1f} s")
    peak = np.abs(stereo).max()
    rms = math.sqrt(float(np.mean(stereo * stereo)))
    p(f"  peak {decibels(peak):.2f} dBFS, RMS {decibels(rms):.2f} dBFS (both channels)")
    head.append(("sound: peak, dBFS", f"{decibels(peak):.2f}", "-1.5 to -0.3"))
    head.append(("sound: RMS, dBFS", f"{decibels(rms):.2f}", ""))

    spectra = sum(spectrogram(stereo[:, c]) for c in range(stereo.shape[1]))
    freqs = np.fft.rfftfreq(Window, 1.0 / SampleRate)
    low, high = freqs < LowHz, freqs > HighHz
    bands = third_octave_bands()

    def cols(first, end):
        a = int(first * per_frame / Hop)
        b = int((end * per_frame - Window) / Hop) + 1
        return spectra[a:max(a, min(b, len(spectra)))]

    def shares(rows):
        tot = rows.sum()
        return (rows[:, high].sum() / tot, rows[:, low].sum() / tot) if tot > 0 else (float("nan"),) * 2

    hi_all, lo_all = shares(spectra)
    p(f"  energy above {HighHz:.0f} Hz {pct(hi_all)}, below {LowHz:.0f} Hz {pct(lo_all)} (whole show)")
    head.append((f"sound: energy above {HighHz:.0f} Hz", pct(hi_all), ">= 4%"))
    head.append((f"sound: energy below {LowHz:.0f} Hz", pct(lo_all), ""))
    p(f"  {'scene':<28} {'>4kHz':>7} {'<150Hz':>7} {'peak dB':>8} {'RMS dB':>7}")
    for name in sorted(scene_frames, key=lambda n: scene_frames[n][0]):
        ranges = [(a, b) for a, b, _, h in sections if scene_of(h) == name]
        rows = np.concatenate([cols(a, b) for a, b in ranges] or [spectra[:0]])
        samples = np.concatenate([stereo[int(a * per_frame):int(b * per_frame)] for a, b in ranges] or [stereo[:0]])
        if len(rows) and len(samples):
            h_, l_ = shares(rows)
            p(f"  {name:<28} {pct(h_):>7} {pct(l_):>7} {decibels(np.abs(samples).max()):>8.2f} "
              f"{decibels(math.sqrt(float(np.mean(samples * samples)))):>7.2f}")
    p("")
    level, step = onset_curve(power)
    onset_times = onsets(level, step)
    chroma_weights = chroma_matrix()
    p("  Neighbouring sections (a section under %.0f s is measured with its neighbour of the same scene):" % ShortSection)
    p("    shape: cosine of the mean-removed 1/3-octave band levels (40 Hz-16 kHz), 1 = same spectral shape;")
    p("    pitch: the same for the 12 pitch-class energies (110 Hz-4 kHz), 1 = same harmony;")
    p(f"    onsets/s: {OnsetRise:.0f} dB broadband rises per second (density and rhythm)")
    p(f"    {'from':<26} {'to':<26} {'shape':>6} {'pitch':>6} {'onsets/s':>9}")
    merged = merge_short(sections, fps)
    prints = []
    for a, b, label, _ in merged:
        rows = cols(a, b)
        if len(rows) < 4:
            prints.append(None)
            continue
        seconds = (b - a) / fps
        count = np.count_nonzero((onset_times >= a / fps) & (onset_times < b / fps))
        prints.append((band_levels(rows, bands), rows.mean(axis=0) @ chroma_weights, count / seconds))
    pairs = []
    for k in range(1, len(merged)):
        if prints[k] is None or prints[k - 1] is None:
            continue
        s = shape_similarity(prints[k - 1][0], prints[k][0])
        c = shape_similarity(prints[k - 1][1], prints[k][1])
        pairs.append((merged[k], s, c))
        p(f"    {merged[k - 1][2]:<26} {merged[k][2]:<26} {s:>6.3f} {c:>6.3f} {prints[k - 1][2]:>4.1f}->{prints[k][2]:<4.1f}")
    # From the box title to the believe scene, the stretch whose scenes used to sound alike.
    mid = [s for sec, s, _ in pairs if sec[3] in ("title_scene_handler", "ball_scene_handler",
                                                  "plane_scene_handler", "tunnel_scene_handler")]
    if pairs:
        p(f"  shape: mean {np.mean([s for _, s, _ in pairs]):.3f}, max {max(s for _, s, _ in pairs):.3f} over all pairs; "
          f"box title to tunnel: mean {np.mean(mid) if mid else float('nan'):.3f}, "
          f"max {max(mid, default=float('nan')):.3f}")
        head.append(("sound: neighbouring sections' shape, box title to tunnel, mean",
                     f"{np.mean(mid) if mid else float('nan'):.3f}", "lower"))
        head.append(("sound: neighbouring sections' shape, box title to tunnel, max",
                     f"{max(mid, default=float('nan')):.3f}", "lower"))

    per_window = int(RepeatWindow * SampleRate / Hop)
    wins = [spectra[i:i + per_window] for i in range(0, len(spectra) - per_window + 1, per_window)]
    wl = [band_levels(w, bands) for w in wins]
    loud = [10 * math.log10(w.mean() + 1e-20) for w in wins]
    repeats = 0
    for i in range(len(wl)):
        for j in range(len(wl)):
            if abs(i - j) > 1 and abs(loud[i] - loud[j]) <= RepeatLevel and shape_similarity(wl[i], wl[j]) >= RepeatShape:
                repeats += 1
                break
    p(f"  {RepeatWindow:.0f}-second windows with a near-repeat elsewhere (shape similarity >= {RepeatShape}, "
      f"level within {RepeatLevel:.0f} dB, not the window itself or its neighbours): "
      f"{repeats} of {len(wl)}, {pct(repeats / len(wl) if wl else float('nan'))}")
    head.append((f"sound: {RepeatWindow:.0f}-second windows with a near-repeat elsewhere",
                 pct(repeats / len(wl) if wl else float("nan")), "lower"))
    p("")

    fade_frames = walk_positions(trace, fade_positions)
    hits = [f is not None and has_onset(level, step, f / fps) for f in fade_frames]
    missed = [fade_positions[k] for k, h in enumerate(hits) if not h]
    p(f"  Accents: fade positions with an onset (a {OnsetRise:.0f} dB rise over the preceding 50 ms within "
      f"+-{OnsetWindow * 1000:.0f} ms of the position's first frame): {sum(hits)} of {len(hits)}")
    head.append(("sound: fade positions with an onset", f"{sum(hits)} of {len(hits)}", "all"))
    if missed:
        p("    without: " + ", ".join(f"{o}:{r}" for o, r in missed))
    # How often an onset is found at any row start, so that 107 of 107 can be told from chance.
    row_starts = [t[0] for k, t in enumerate(trace) if k and (t[2], t[3]) != (trace[k - 1][2], trace[k - 1][3])]
    base = [has_onset(level, step, f / fps) for f in row_starts]
    p(f"    for comparison, row starts with an onset: {pct(share(base, bool))} of {len(base)}")


def self_check():
    """The measures on made-up input whose answers are known by construction."""
    problems = []

    def expect(what, got, want, tol):
        if not abs(got - want) <= tol:
            problems.append(f"{what}: got {got}, expected {want}")

    import tempfile
    with tempfile.TemporaryDirectory() as tmp:
        img = np.zeros((480, 640, 3), np.uint8)
        img[BandTop:BandTop + 160, :320] = (255, 128, 0)          # a quarter of the band orange
        img[BandTop + 160:BandTop + 320, 320:] = 255              # a quarter pure white
        img[BandTop + 160:BandTop + 320, :320] = (25, 0, 0)       # just lit
        img[BandTop + 40:BandTop + 80, 400:480] = (0, 0, 200)     # lit inside the black quarter, off the rim
        img[:BandTop] = 255                                       # letterbox outside the band: ignored
        path = os.path.join(tmp, "f.png")
        Image.fromarray(img).save(path)
        fig = band_figures(path)
        inner = 40 * 80 / (BandRows * BandWidth)
        expect("lit", fig["lit"], 0.75 + inner, 1e-9)
        expect("orange", fig["orange"], 0.25, 1e-9)
        expect("pure white", fig["pure_white"], 0.25, 1e-9)
        expect("ink on white", fig["ink"], 0.75, 1e-9)  # all but the white quarter
        expect("rim lit", fig["rim_lit"], 0.75, 1e-9)  # the black quarter holds a quarter of the rim
    runs = empty_stretches(list(range(0, 250, 25)), [True, True, False, False, True, False, True, True, True, False], 25)
    expect("empty stretches", runs == [(0, 25, 50), (100, 200, 125)], True, 0)
    expect("reached is not lexicographic", reached(9, 5, (8, 62)), False, 0)
    trace = [(i, i * 20, o, r, "h", 0, 0, 0) for i, (o, r) in enumerate([(8, 60), (8, 62), (9, 5), (9, 62), (10, 0)])]
    expect("walk", walk_positions(trace, [(8, 62), (9, 10), (10, 0)]) == [1, 3, 4], True, 0)

    t = np.arange(SampleRate * 2) / SampleRate
    tone = 0.5 * np.sin(2 * np.pi * 6000 * t)
    bass = 0.5 * np.sin(2 * np.pi * 80 * t)
    spectra = spectrogram(tone + bass)
    freqs = np.fft.rfftfreq(Window, 1.0 / SampleRate)
    expect("share above 4 kHz", spectra[:, freqs > HighHz].sum() / spectra.sum(), 0.5, 0.01)
    bands = third_octave_bands()
    a, b = band_levels(spectrogram(tone), bands), band_levels(spectrogram(0.1 * tone), bands)
    expect("shape ignores level", shape_similarity(a, b), 1.0, 1e-6)
    expect("different shapes", shape_similarity(a, band_levels(spectrogram(bass), bands)) < 0.5, True, 0)
    clicks = np.zeros(SampleRate)
    clicks[SampleRate // 2:SampleRate // 2 + 2000] = 0.5
    level, step = onset_curve((clicks + 0.001 * np.sin(2 * np.pi * 440 * t[:SampleRate])) ** 2)
    expect("onset at the click", has_onset(level, step, 0.5 + 0.02), True, 0)
    expect("no onset away from it", has_onset(level, step, 0.8), False, 0)
    if problems:
        print("show-figures self-check failed:\n  " + "\n  ".join(problems))
        return 1
    print("show-figures self-check: all measures agree with made-up input")
    return 0


if __name__ == "__main__":
    sys.exit(main())
