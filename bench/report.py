"""Turns the benchmark runs into ratios against their baselines, beside the goals."""
import json
import os
import statistics
import subprocess
import sys
import time

out, reps, bindir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
runs = {}
for b in json.load(open(f"{out}/bench.json"))["benchmarks"]:
    if b.get("run_type") == "iteration":
        runs.setdefault(b["run_name"], []).append(b["real_time"] * {"ns": 1e-9, "us": 1e-6, "ms": 1e-3}[b["time_unit"]])


def ratios(name, base):
    # Pair the repetitions of one benchmark with those of its baseline; none when
    # either was not run.
    if name not in runs or base not in runs:
        return None
    return [a / b for a, b in zip(runs[name], runs[base])]


def line(what, values, goal, ok):
    if not values:
        print(f"{what:<44} not measured")
        return
    med = statistics.median(values)
    verdict = "" if goal == "(info)" else "PASS" if ok(med) else "MISSED"
    print(f"{what:<44} median {med:6.2f}  min {min(values):6.2f}  max {max(values):6.2f}   goal {goal:<8} {verdict}")


print(f"{reps} repetitions each; ratios to a baseline measured in the same run\n")
line("monochrome 3840x2160 / memcpy", ratios("MonochromeBlt4K", "Baseline_Memcpy4K"), "<= 3", lambda r: r <= 3)
line("sepia 3840x2160 / memcpy", ratios("SepiaBlt4K", "Baseline_Memcpy4K"), "<= 3", lambda r: r <= 3)
line("pen move 3840x2160 / 464x239", ratios("PenMove_3840x2160", "PenMove_464x239"), "<= 1.5", lambda r: r <= 1.5)
line("large eraser at width 9 / pen move", ratios("EraserLargeStamp_W9", "PenMove_464x239"), "<= 3", lambda r: r <= 3)
line("pen move after 2000 strokes / before", ratios("PenMovesAfterSession/1", "PenMovesAfterSession/0"), "~ 1", lambda r: r <= 1.2)
line("load command 6000x4000 / bare decode", ratios("LoadCommand6000x4000", "Baseline_BareDecode6000x4000"), "<= 1.3", lambda r: r <= 1.3)
line("1/4 command / bare decode", ratios("ScaleCommand/0", "Baseline_BareDecode6000x4000"), "<= 0.4", lambda r: r <= 0.4)
line("drawing mode pen move / main window's, 3840x2160", ratios("ModePenMoveWindow_4K", "PenMove_3840x2160"), "<= 1.2", lambda r: r <= 1.2)
line("  the same, drawing alone (smooth / aliased)", ratios("PenMoveMode_3840x2160", "PenMoveModel_3840x2160"), "(info)", lambda r: True)
line("pen move recording undo / unrecorded", ratios("PenMove_3840x2160", "PenMove_3840x2160_Unrecorded"), "<= 1.2", lambda r: r <= 1.2)
line("undo of a 3840x2160 filter / memcpy of both layers", ratios("UndoFilter4K", "Baseline_MemcpyBothLayers4K"), "<= 3", lambda r: r <= 3)
line("paste 6000x4000 / load command", ratios("PasteCommand6000x4000/iterations:3", "LoadCommand6000x4000"), "<= 1.3", lambda r: r <= 1.3)
line("drop 6000x4000 / load command", ratios("DropFile6000x4000", "LoadCommand6000x4000"), "<= 1.3", lambda r: r <= 1.3)
line("save 3840x2160 PNG / QImage::save", ratios("SaveCommand4K", "Baseline_QImageSave4K"), "<= 1.5", lambda r: r <= 1.5)
line("pen move with the journal on / off, 3840x2160", ratios("PenMoveJournal_3840x2160/1/min_time:5.000",
                                                           "PenMoveJournal_3840x2160/0/min_time:5.000"),
     "<= 1.05", lambda r: r <= 1.05)


def mode_lines(what, name, limit):
    # One line for each size the benchmark runs at (its arguments after the name):
    # through the window, repaint included, against the goal (none where the
    # limit is None); on the document alone for reference.
    for suffix, base, goal in (("Window_4K", "ModePenMoveWindow_4K", f"<= {limit}" if limit else "(info)"),
                               ("_4K", "ModePenMove_4K", "(info)")):
        full = name + suffix
        names = sorted(n for n in runs if n == full or n.startswith(full + "/"))
        for n in names or [full]:
            size = n[len(full):].replace('/', ' ', 1).replace('/', 'x')
            label = f"{what}{size} / pen move{'' if suffix == 'Window_4K' else ', drawing alone'}"
            line(label, ratios(n, base), goal, lambda r: r <= limit)


# A frame for every sample, which a band drawn once a frame cannot gain from:
# its goal is the line with four samples a frame below.
mode_lines("drawing mode 4K rubber band", "ModeRubberBand", None)
mode_lines("drawing mode 4K highlighter", "ModeHighlighter", 2)
# Pointer samples come faster than frames: a rubber band is drawn once a frame,
# a pen's ink at every sample.
for n in sorted(n for n in runs if n.startswith("ModeRubberBandFramesWindow_4K")):
    size = n[len("ModeRubberBandFramesWindow_4K"):].replace('/', ' ', 1).replace('/', 'x')
    line(f"drawing mode 4K rubber band{size}, 4 samples a frame / pen move the same way",
         ratios(n, "ModePenMoveFramesWindow_4K"), "<= 2", lambda r: r <= 2)
mode_lines("drawing mode 4K tablet move", "ModeTabletMove", 1.2)
line("drawing mode 4K laser move / pen move", ratios("ModeLaserMoveWindow_4K", "ModePenMoveWindow_4K"), "<= 2",
     lambda r: r <= 2)
line("drawing mode 4K spotlight move / pen move", ratios("ModeSpotlightMoveWindow_4K", "ModePenMoveWindow_4K"),
     "<= 2", lambda r: r <= 2)
idle = [b["cpu_ms"] for b in json.load(open(f"{out}/bench.json"))["benchmarks"]
        if b["run_name"].startswith("ModeLaserIdleCpu") and b.get("run_type") == "iteration"]
line("CPU ms over 10 s idle after a laser stroke", idle, "~ 0", lambda r: r <= 50)
session = [b for b in json.load(open(f"{out}/bench.json"))["benchmarks"]
           if b["run_name"].startswith("UndoSession") and b.get("run_type") == "iteration"]
if session:
    if any(b.get("error_occurred") for b in session):
        print("undo session: the surface did NOT come back bit for bit")
    line("undo session: history MiB (2,000 strokes)", [b["history_MiB"] for b in session], "<= 256", lambda r: r <= 256)
    line("undo session: process peak MiB", [b["peak_MiB"] for b in session], "(info)", lambda r: True)
pen = [t * 1e6 for t in runs.get("PenMove_3840x2160", [])]
line("pen move on 3840x2160, in microseconds", pen, "< 100", lambda r: r < 100)

# Start-up: whole processes, alternating, on the offscreen platform.
def run_time(mode):
    start = time.perf_counter()
    subprocess.run([f"{bindir}/bench_startup", mode], check=True, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start

pairs, text_pairs = [], []
for _ in range(max(reps, 5) * 4):
    bare, text, own = run_time("bare"), run_time("bare-text"), run_time("sketrin")
    pairs.append(own / bare)
    text_pairs.append(own / text)
# Any program with Japanese text pays for the font database; that window is the
# baseline, the bare one is for information.
line("start-up / QMainWindow with one text label", text_pairs, "<= 1.3", lambda r: r <= 1.3)
line("start-up / bare QMainWindow", pairs, "(info)", lambda r: True)

# Peak memory of the 4x command, each case in its own process (MiB over a bare decode).
def peak(mode):
    r = subprocess.run([f"{bindir}/bench_memory", mode, f"{out}/photo.jpg"], check=True,
                       capture_output=True, text=True)
    return int(r.stdout.split()[-1]) / 1024

extra = [peak("scale4") - peak("decode") for _ in range(max(reps, 5))]
line("4x command peak MiB over the decoded picture", extra, "< 64", lambda r: r < 64)

# The live mode's memory at 3840 x 2160 beside the frozen mode's, in full-screen
# buffers (32 MiB each), on an offscreen monitor of that size.
config = f"{out}/screen4k.json"
with open(config, "w") as f:
    f.write('{"screens": [{"name": "4k", "x": 0, "y": 0, "width": 3840, "height": 2160, '
            '"logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]}')
def mode_peak(mode):
    env = dict(os.environ, QT_QPA_PLATFORM=f"offscreen:configfile={config}")
    r = subprocess.run([f"{bindir}/bench_memory", mode, "-"], check=True, capture_output=True, text=True, env=env)
    return int(r.stdout.split()[-1]) / 1024
buffer = 3840 * 2160 * 4 / 2**20
beyond = [(mode_peak("live") - mode_peak("frozen")) / buffer for _ in range(3)]
line("live mode 4K memory beyond the frozen mode's, buffers", beyond, "<= 2", lambda r: r <= 2)
