"""From the pointer's move to the ink on the X server, under Xvfb: Sketrin's main
window, its drawing mode and its live overlay beside the two floors, the bare xcb client and the
minimal Qt widget, measured by the same probe in the same run, cases interleaved.

    python3 bench/latency/ink_latency.py BUILD_DIR [--samples N] [--rounds R]
                                          [--sizes WxH,...] [--strokes N] [--check]

Prints each case's p50, p95 and p99 in milliseconds and the goals as ratios, each
the median of the rounds' ratios, with PASS or MISSED. --check is the test
command's short pass: it also checks the probe against a floor that draws late or
beside the pointer, and that the session's strokes are on the surface and held;
it judges no speed.
"""
import argparse
import math
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CLIENT_H = 292  # the main window's client height at its default size
MODE_TITLE = "^画面に描く - Sketrin$"


def percentile(values, p):
    """Nearest rank: the smallest value with at least p percent at or below it."""
    ordered = sorted(values)
    return ordered[max(0, math.ceil(p / 100 * len(ordered)) - 1)]


class Session:
    """An Xvfb screen with a private session bus, and the programs started on it."""

    def __init__(self, size, build, tmp):
        self.build, self.size, self.procs = build, size, []
        self.env = dict(os.environ, QT_QPA_PLATFORM="xcb")
        self.tmp = tmp
        for var in ("XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "HOME"):
            self.env[var] = tempfile.mkdtemp(dir=tmp)
            os.chmod(self.env[var], 0o700)
        read, write = os.pipe()
        # -wr: a white root; the drawing mode freezes it, and its black ink shows
        # there as on the white windows.
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", f"{size[0]}x{size[1]}x24",
                                      "-nolisten", "tcp", "-wr"], pass_fds=[write], stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.env["DISPLAY"] = ":" + f.readline().strip()
        services = tempfile.mkdtemp(dir=tmp)
        conf = os.path.join(tmp, "bus.conf")
        with open(os.path.join(HERE, "..", "..", "tests", "session-bus.conf.in")) as src, open(conf, "w") as dst:
            dst.write(src.read().replace("@SKETRIN_TEST_BUS_SERVICES@", services))
        self.bus = subprocess.Popen(["dbus-daemon", "--config-file=" + conf, "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=self.env)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.stdout.readline().strip()

    def close(self):
        for p in list(self.procs):
            self.stop(p)
        for p in (self.bus, self.xvfb):
            p.terminate()
            p.wait()

    def start(self, *argv, answers=False):
        """A program on this screen; `answers`: its standard output is read."""
        # A state folder of its own: a journal that the last program stopped here
        # left behind is not offered to the next.
        env = dict(self.env, XDG_STATE_HOME=tempfile.mkdtemp(dir=self.tmp))
        p = subprocess.Popen(list(argv), env=env, stdout=subprocess.PIPE if answers else subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, text=True)
        self.procs.append(p)
        return p

    def stop(self, p):
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        if p in self.procs:
            self.procs.remove(p)
        time.sleep(0.3)  # what lay under it is repainted

    def run(self, *argv, **kw):
        return subprocess.run(list(argv), env=self.env, capture_output=True, text=True, **kw)

    def find(self, title):
        r = self.run("timeout", "30", "xdotool", "search", "--sync", "--onlyvisible", "--name", title)
        ids = r.stdout.split()
        if not ids:
            raise RuntimeError(f"no window named {title}")
        return int(ids[0])

    def geometry(self, window):
        r = self.run("xdotool", "getwindowgeometry", "--shell", str(window))
        g = dict(line.split("=") for line in r.stdout.split())
        return int(g["WIDTH"]), int(g["HEIGHT"])

    def probe(self, *argv, check=True):
        argv = [f"{self.build}/bench/latency/inkprobe", *map(str, argv)]
        r = self.run(*argv)
        if check and r.returncode != 0:
            raise RuntimeError(f"{' '.join(argv)}: {r.stderr.strip()}")
        return r

    def floor(self, program, place, *extra):
        """A floor window at `place` (x, y, width, height); its process and id."""
        p = self.start(f"{self.build}/bench/latency/{program}", *map(str, place), *extra, answers=True)
        window = int(p.stdout.readline())
        time.sleep(0.3)
        return p, window


def surface(width, height, menu):
    """The main window's drawing area, in window pixels: inside the one-pixel border
    of the picture box, under the menu bar and the toolbar."""
    return [6, menu + 50, width - 12, height - menu - 55]


def halves(area):
    x, y, w, h = area
    return [x, y, w, h // 2], [x, y + h // 2, w, h - h // 2]


class Run:
    def __init__(self, args):
        self.args = args
        self.figures = {}  # (screen, case) -> one list of samples per round
        self.checks = []  # (what, passed) of the short pass

    def check(self, what, ok):
        self.checks.append((what, ok))
        print(f"{'ok  ' if ok else 'FAIL'} - {what}", flush=True)

    def measure(self, s, cases, step=8, row_gap=5):
        """Samples on several windows at once, a row on each in turn.
        cases: (name, window, area) each."""
        # A loaded machine may stall a program for long: the short pass waits.
        timeout = 10000 if self.args.check else 2000
        targets = [f"{w},{','.join(map(str, a))}" for _, w, a in cases]
        r = s.probe("measure", self.args.samples, step, row_gap, timeout, *targets)
        for i, (name, _, _) in enumerate(cases):
            samples = [float(v.split()[1]) for v in r.stdout.splitlines() if v.split()[0] == str(i)]
            self.figures.setdefault((s.size, name), []).append(samples)
            print(f"  {name:<32} p50 {percentile(samples, 50):7.2f}  p95 {percentile(samples, 95):7.2f}  "
                  f"p99 {percentile(samples, 99):7.2f} ms", flush=True)

    def main_window(self, s, maximised):
        size = "maximised" if maximised else "default size"
        app = s.start(f"{self.args.build}/sketrin")
        window = s.find("^Sketrin Ver")
        time.sleep(0.5)
        width, height = s.geometry(window)
        menu = height - CLIENT_H
        if maximised:
            # No window manager here: the window is given the whole screen itself.
            width, height = s.size
            places = [(0, 0)] * 3
        else:
            # Side by side where they fit, else one over the other.
            places = [(i * (width + 10), 0) if 3 * (width + 10) <= s.size[0] else (0, 0) for i in range(3)]
        s.run("xdotool", "windowsize", str(window), str(width), str(height),
              "windowmove", str(window), *map(str, places[2]))
        time.sleep(0.8)
        fresh, after = halves(surface(width, height, menu))
        # Measured with screen hold on, where every move draws into both layers.
        s.run("xdotool", "mousemove", "--window", str(window), "160", str(menu + 8), "click", "1")
        time.sleep(0.5)
        bare, bare_window = s.floor("xcbink", (*places[0], width, height))
        qt, qt_window = s.floor("qtink", (*places[1], width, height))
        self.measure(s, [(f"{size}: bare xcb", bare_window, fresh), (f"{size}: Qt floor", qt_window, fresh),
                         (f"{size}: main window", window, fresh)])
        s.stop(bare)
        band = f"{window},{','.join(map(str, fresh))}"
        s.probe("strokes", self.args.strokes, band)
        self.measure(s, [(f"{size}, after: Qt floor", qt_window, after),
                         (f"{size}, after: main window", window, after)])
        s.stop(qt)
        if self.args.check:
            # The session's strokes are there, and held: a narrower window repaints
            # the surface from what hold kept.
            ink = int(s.probe("ink", 0, band).stdout)
            self.check(f"{size}: the strokes of the session are on the surface", ink > 1000)
            s.run("xdotool", "windowsize", str(window), str(width - 30), str(height))
            time.sleep(1)
            band = f"{window},{','.join(map(str, [fresh[0], fresh[1], fresh[2] - 30, fresh[3]]))}"
            self.check(f"{size}: with screen hold on, they survive a resize",
                       int(s.probe("ink", 0, band).stdout) > ink // 2)
        s.stop(app)

    def drawing_mode(self, s, name="drawing mode", key=None, step=8, row_gap=5):
        """The pen, or a rectangle's rubber band (the area ends in ",band"), or the
        tool a key chooses, each on a fresh frozen screen. A wide mark takes longer
        steps: its round end covers the next few pixels already."""
        screen = [0, 0, *s.size]
        qt, qt_window = s.floor("qtink", screen)
        app = s.start(f"{self.args.build}/sketrin", "--draw")
        window = s.find(MODE_TITLE)
        time.sleep(1)
        if key:
            s.run("xdotool", "key", key)
            time.sleep(0.3)
        area = [*screen, "band"] if name.endswith("rubber band") else screen
        self.measure(s, [(f"{name}: Qt floor", qt_window, screen), (name, window, area)], step, row_gap)
        s.stop(app)
        s.stop(qt)

    def live_mode(self, s):
        """The live overlay under a compositing manager, read where the user sees
        it: on the root window, which xcompmgr paints (the overlay's own pixels
        are see-through, where black and clear look alike). The floor beneath it
        would get no input, so it goes first, under the same compositor."""
        if not shutil.which("xcompmgr"):
            return
        screen = [0, 0, *s.size]
        compositor = s.start("xcompmgr")
        qt, qt_window = s.floor("qtink", screen)
        self.measure(s, [("live overlay: Qt floor", qt_window, screen)])
        app = s.start(f"{self.args.build}/sketrin", "--live")
        s.find(MODE_TITLE)
        time.sleep(1)
        self.measure(s, [("live overlay", 0, screen)])
        s.stop(app)
        s.stop(qt)
        s.stop(compositor)

    def gromit(self, s):
        # It holds the pointer while active, so it cannot take turns with the floor.
        screen = [0, 0, *s.size]
        qt, qt_window = s.floor("qtink", screen)
        self.measure(s, [("gromit-mpx: Qt floor", qt_window, screen)], 8, 12)
        s.stop(qt)
        app = s.start("gromit-mpx", "--active")
        time.sleep(2)
        # Its ink is a pen 5 pixels wide: rows further apart.
        self.measure(s, [("gromit-mpx", 0, screen)], 8, 12)
        s.stop(app)

    def self_check(self, s):
        """The probe against floors that misbehave on purpose: a late one must not
        look fast, and ink beside the pointer must not count as ink."""
        place = (0, 0, 800, 600)
        p, w = s.floor("xcbink", place, "late", "40")
        r = s.probe("measure", 20, 8, 5, 10000, f"{w},0,0,800,600", check=False)
        late = [float(v.split()[1]) for v in r.stdout.splitlines()]
        s.stop(p)
        self.check(f"a segment drawn 40 ms late is timed at 40 ms or more (fastest: {min(late, default=0):.1f})",
                   r.returncode == 0 and len(late) == 20 and min(late) >= 40)
        p, w = s.floor("xcbink", place, "aside")
        r = s.probe("measure", 10, 8, 5, 300, f"{w},0,0,800,600", check=False)
        s.stop(p)
        self.check("ink drawn beside the pointer is not taken for the segment",
                   r.returncode == 2 and not r.stdout.split())

    def round(self, s, first):
        self.main_window(s, False)
        self.main_window(s, True)
        self.drawing_mode(s)
        self.drawing_mode(s, "drawing mode rubber band")
        self.drawing_mode(s, "drawing mode highlighter", "h", 24, 20)
        if not self.args.check:
            self.live_mode(s)
        # For information only, and slow: once a screen.
        if first and shutil.which("gromit-mpx"):
            self.gromit(s)


def line(what, values, goal, ok):
    if not values:
        return
    med = statistics.median(values)
    verdict = "" if goal == "(info)" else "PASS" if ok(med) else "MISSED"
    print(f"{what:<44} median {med:6.2f}  min {min(values):6.2f}  max {max(values):6.2f}   goal {goal:<8} {verdict}")


def report(figures, strokes):
    """figures: (screen, case) -> one list of samples per round."""
    print("\nStroke latency (ms; each figure the median over the rounds)")
    for (screen, case), rounds in figures.items():
        p = {q: statistics.median(percentile(r, q) for r in rounds) for q in (50, 95, 99)}
        print(f"  {screen[0]}x{screen[1]}  {case:<36} p50 {p[50]:6.2f}  p95 {p[95]:6.2f}  p99 {p[99]:6.2f}")
    print()
    for screen in sorted({k[0] for k in figures}):
        tag = f"{screen[0]}x{screen[1]}"

        def ratios(case, base, q):
            a, b = figures.get((screen, case)), figures.get((screen, base))
            if not a or not b:
                return None
            return [percentile(x, q) / percentile(y, q) for x, y in zip(a, b)]

        def normalised(case, q):
            # A case to the floor that took turns with it.
            return ratios(case, case.split(":")[0] + ": Qt floor", q)

        for size in ("default size", "maximised"):
            fresh, after = f"{size}: main window", f"{size}, after: main window"
            line(f"{tag} {size}, p95 / Qt floor", normalised(fresh, 95), "<= 1.25", lambda r: r <= 1.25)
            line(f"{tag} {size}, p99 / Qt floor", normalised(fresh, 99), "<= 1.5", lambda r: r <= 1.5)
            line(f"{tag} {size}, {strokes} strokes, p99 / Qt floor", normalised(after, 99), "<= 1.5",
                 lambda r: r <= 1.5)
            # Each to the floor that took turns with it: the two ran at different times.
            a, f = normalised(after, 95), normalised(fresh, 95)
            line(f"{tag} {size}, {strokes} strokes / fresh, p95", a and f and [x / y for x, y in zip(a, f)],
                 "<= 1.1", lambda r: r <= 1.1)
            line(f"{tag} {size}, bare xcb / Qt floor, p95", ratios(f"{size}: bare xcb", f"{size}: Qt floor", 95),
                 "(info)", None)
        for mode in ("drawing mode", "drawing mode rubber band", "drawing mode highlighter"):
            line(f"{tag} {mode}, p95 / Qt floor", normalised(mode, 95), "<= 1.25", lambda r: r <= 1.25)
            line(f"{tag} {mode}, p99 / Qt floor", normalised(mode, 99), "<= 1.5", lambda r: r <= 1.5)
        line(f"{tag} live overlay through the compositor, p95 / Qt floor", normalised("live overlay", 95), "<= 1.5",
             lambda r: r <= 1.5)
        line(f"{tag} gromit-mpx / Qt floor, p95", ratios("gromit-mpx", "gromit-mpx: Qt floor", 95), "(info)", None)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--samples", type=int, default=1000)
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--sizes", default="1920x1080,3840x2160")
    ap.add_argument("--strokes", type=int, default=2000)
    ap.add_argument("--check", action="store_true")
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)
    # Stopped from outside, it still takes its X server and programs down.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    run = Run(args)
    with tempfile.TemporaryDirectory() as tmp:
        for size in args.sizes.split(","):
            s = Session(tuple(int(v) for v in size.split("x")), args.build, tmp)
            try:
                if args.check:
                    run.self_check(s)
                for r in range(args.rounds):
                    print(f"{size}, round {r + 1} of {args.rounds}", flush=True)
                    run.round(s, r == 0)
            finally:
                s.close()
    report(run.figures, args.strokes)
    if args.check:
        failed = sum(not ok for _, ok in run.checks)
        print(f"{len(run.checks) - failed} passed, {failed} failed (probe checks)")
        return 1 if failed else 0
    return 0


if __name__ == "__main__":
    sys.exit(main())
