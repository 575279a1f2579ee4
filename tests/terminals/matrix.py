#!/usr/bin/python3
"""The terminal matrix: kaveo's frames and its live demo in real terminal emulators under Xvfb
(foot in cage, whose output is a window there too), read back from screenshots and compared
with what the program meant to show, and which half blocks the live program writes there;
prints a table per terminal with the seam, frame-rate, CPU and Escape measures.

usage: matrix.py KAVEO MATRIX_FRAMES [--only NAME,...] [--report FILE]
Exit 0 when every check passes or fails as its terminal's expectation file (expect/NAME.txt)
says it should; 1 otherwise; 77 when Xvfb or the screenshot reader is missing."""

import argparse
import fnmatch
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

try:
    from PIL import ImageGrab
    import screenshot_cells as sc
    import terminals as tl
except ImportError as missing:  # python3-pil not installed
    print(f"matrix: skipped, {missing}")
    sys.exit(77)

FRAME = 660  # 6.6 s: the caption over the figure-eights, shades in red, black around
LAYOUTS = ("wide", "half", "cells")
COLORS = ("24bit", "256", "16")
TITLE = "Please press alt+enter for full screen mode."
STEADY = 0.06        # seconds between two screenshots that must agree
CHANGE_SECONDS = 4 # the longest a terminal may take to start showing a new frame
RETRIES, RETRY_SECONDS = 2, 0.5  # a frame that does not match is looked at again
PLAY_SECONDS = 1.5   # of the demo before Space
HALF_SECONDS = 1.0   # of the demo in the half layout before Escape
SEAM_SLACK = 3       # points of seam error the live half blocks may have over the fewest
STATS_SECONDS = 2.0  # of statistics before the title is read and Escape pressed


# [SECTION] Expectations: expect/NAME.txt

class Expectation:
    """Tolerances, how the terminal draws shades, and the checks expected to fail."""

    def __init__(self, path):
        self.tolerance, self.share, self.shades, self.shade_tolerance = 4, 0.95, "flat", 8
        self.pair_share = 0.01
        self.title_stack = self.alternate_screen = True
        self.xfail = []  # (pattern, reason)
        for number, line in enumerate(path.read_text().splitlines(), 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            key, rest = words[0], words[1:]
            if key == "xfail" and len(rest) >= 2:
                self.xfail.append((rest[0], " ".join(rest[1:])))
            elif key == "tolerance":
                self.tolerance = int(rest[0])
            elif key == "share":
                self.share = float(rest[0])
            elif key == "shades" and rest[0] in ("flat", "font"):
                self.shades, self.shade_tolerance = rest[0], int(rest[1])
            elif key == "pairs":
                self.pair_share = float(rest[0])
            elif key in ("title-stack", "alternate-screen") and rest[0] in ("yes", "no"):
                setattr(self, key.replace("-", "_"), rest[0] == "yes")
            else:
                raise ValueError(f"{path}:{number}: cannot read \"{line}\"")

    def reason(self, check):
        return next((why for pattern, why in self.xfail if fnmatch.fnmatch(check, pattern)), None)


# [SECTION] Processes: everything started here is ended here, by its process group.

class Session:
    def __init__(self):
        self.groups = []

    def start(self, argv, **kwargs):
        process = subprocess.Popen(argv, start_new_session=True, stdin=subprocess.DEVNULL,
                                   **kwargs)
        self.groups.append(process)
        return process

    def stop(self, process, wait=3.0):
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
                process.wait(wait)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                process.wait()
        if process in self.groups:
            self.groups.remove(process)

    def stop_all(self):
        for process in reversed(list(self.groups)):
            self.stop(process, 1.0)


def run(argv, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, timeout=30, **kwargs)


def wait_for(condition, seconds, step=0.05):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def process_ticks(pid):
    """User and system CPU ticks of a process, 0 once it is gone."""
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError):
        return 0


def descendants(pid):
    children = {}
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit():
            try:
                parent = int((entry / "stat").read_text().rsplit(")", 1)[1].split()[1])
            except (OSError, IndexError):
                continue
            children.setdefault(parent, []).append(int(entry.name))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def process_name(pid):
    try:
        return Path(f"/proc/{pid}/comm").read_text().strip()
    except OSError:
        return ""


# [SECTION] The display: Xvfb for the X terminals, cage for foot

class XDisplay:
    def __init__(self, session):
        read, write = os.pipe()
        self.server = session.start(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                     "1280x800x24", "-nolisten", "tcp"], pass_fds=(write,),
                                    stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as answer:
            self.name = ":" + answer.readline().strip()

    def window(self):
        """The largest top-level window (one terminal runs at a time), or None."""
        best = None
        listing = run(["xwininfo", "-root", "-children", "-display", self.name]).stdout
        for line in listing.splitlines():
            words = line.split()
            if len(words) < 3 or not words[0].startswith("0x"):
                continue
            size = next((w for w in words if "x" in w and "+" in w and w[0].isdigit()), None)
            if size:
                width, height = (int(v) for v in size.split("+")[0].split("x"))
                if best is None or width * height > best[1]:
                    best = (words[0], width * height)
        return best[0] if best and best[1] > 10000 else None

    def xdotool(self, *words):
        run(["xdotool", *words], env={**os.environ, "DISPLAY": self.name})

    def screenshot(self, terminal_state):
        return ImageGrab.grab(xdisplay=self.name)

    def title(self, terminal_state):
        if terminal_state.get("untitled"):
            return None  # cage shows no title anywhere
        output = run(["xprop", "-display", self.name, "-id", terminal_state["window"],
                      "_NET_WM_NAME", "WM_NAME"]).stdout
        for line in output.splitlines():
            if "=" in line and '"' in line:
                return line.split("=", 1)[1].strip().strip('"')
        return ""

    def key(self, terminal_state, key):
        self.xdotool("key", "--clearmodifiers", key)


def as_unprivileged(argv, env, runtime):
    """cage refuses root: it runs as nobody, with a runtime folder of its own, drawing with
    pixman into a window on the X display (the x11 back end of wlroots)."""
    settings = {**env, "XDG_RUNTIME_DIR": str(runtime), "WLR_BACKENDS": "x11",
                "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"}
    return ["runuser", "-u", "nobody", "--", "env", "-i",
            *[f"{k}={v}" for k, v in settings.items()], *argv]


# [SECTION] One terminal: frames, seams, the live demo

class Driver:
    """The pipes to driver.sh inside the terminal."""

    def __init__(self, work):
        self.work = work
        for name in ("cmd", "ack"):
            path = work / name
            if path.exists():
                path.unlink()
            os.mkfifo(path, 0o666)
            path.chmod(0o666)
        self.commands = self.acks = None

    def connect(self, seconds, alive):
        """Opens both pipes once the driver has: False when it never did."""
        def try_open():
            try:
                return os.open(self.work / "cmd", os.O_WRONLY | os.O_NONBLOCK)
            except OSError:
                return None if alive() else -1
        fd = wait_for(try_open, seconds, 0.05)
        if fd is None or fd < 0:
            return False
        os.set_blocking(fd, True)
        self.commands = os.fdopen(fd, "w", buffering=1)
        self.acks = os.open(self.work / "ack", os.O_RDONLY)
        return True

    def send(self, line):
        self.commands.write(line + "\n")
        self.commands.flush()

    def answer(self, seconds):
        ready, _, _ = select.select([self.acks], [], [], seconds)
        if not ready:
            return None
        data = b""
        while not data.endswith(b"\n"):
            chunk = os.read(self.acks, 256)
            if not chunk:
                return None
            data += chunk
        return data.decode().strip()

    def ask(self, line, seconds=15):
        self.send(line)
        return self.answer(seconds) == line

    def close(self):
        for f in (self.commands,):
            if f:
                try:
                    f.close()
                except OSError:
                    pass
        if self.acks is not None:
            os.close(self.acks)


def steady_screenshot(display, state, previous=None, seconds=5.0):
    """A screenshot once two in a row agree (the terminal has drawn everything); with a
    `previous` screenshot, once the screen has also changed from it, or CHANGE_SECONDS
    passed (a frame may look like the last one)."""
    last = display.screenshot(state)
    if previous is not None:
        changed = lambda: sc.changed_share(previous, last) > 0
        end = time.monotonic() + CHANGE_SECONDS
        while not changed() and time.monotonic() < end:
            time.sleep(STEADY)
            last = display.screenshot(state)
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        time.sleep(STEADY)
        shot = display.screenshot(state)
        if sc.changed_share(last, shot) == 0:
            return shot
        last = shot
    return last


def parse_color(text, theme):
    if text == "-":
        return None
    if text.startswith("c"):
        return theme[int(text[1:])]
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))


def load_expected(path):
    lines = path.read_text().splitlines()
    _, columns, rows = lines[0].split()
    cells = [line.split() for line in lines[1:]]
    return int(columns), int(rows), cells


def blend(ink, paper, sixteenths):
    return tuple((i * sixteenths + p * (16 - sixteenths) + 8) // 16 for i, p in zip(ink, paper))


SHADES = (0x2591, 0x2592, 0x2593)
UPPER_HALF, LOWER_HALF = 0x2580, 0x2584


def check_frame(image, grid, expected, theme, want, layout):
    """Compares a screenshot with the expected cells: solid cells (blanks, and both halves
    of half blocks) at their centres, shades by their mean colour, and in wide the two
    columns of each picture cell pixel for pixel. Returns (passed, summary)."""
    columns, rows, cells = expected
    solid = solid_ok = shades = shades_ok = 0
    worst = None
    shade_misses = []
    for row in range(rows):
        for column in range(columns):
            code, ink, fg, bg = cells[row * columns + column]
            code, ink = int(code), int(ink)
            ink_colour, paper = parse_color(fg, theme), parse_color(bg, theme)
            samples = []
            if ink == 0:
                samples = [(None, paper)]
            elif code == UPPER_HALF:
                samples = [("upper", ink_colour), ("lower", paper)]
            elif code == LOWER_HALF:
                samples = [("upper", paper), ("lower", ink_colour)]
            elif code in SHADES:
                shades += 1
                seen = sc.mean(image, grid, column, row)
                shade_misses.append(sc.difference(seen, blend(ink_colour, paper, ink)))
                shades_ok += shade_misses[-1] <= want.shade_tolerance
            for part, colour in samples:
                solid += 1
                seen = sc.centre(image, grid, column, row, part)
                miss = sc.difference(seen, colour)
                if miss <= want.tolerance:
                    solid_ok += 1
                elif worst is None or miss > worst[0]:
                    worst = (miss, column, row, part, colour, seen)
    solid_share = solid_ok / solid if solid else 1
    shade_share = shades_ok / shades if shades else 1
    passed = solid_share >= want.share and shade_share >= want.share
    summary = f"solid {100 * solid_share:.1f}%, shades {100 * shade_share:.1f}%"
    if shade_misses:
        shade_misses.sort()
        summary += (f" (mean colour off by {shade_misses[len(shade_misses) // 2]} levels in half,"
                    f" {shade_misses[len(shade_misses) * 19 // 20]} in 95 %)")
    if layout == "wide":
        differing = 0.0
        for column in range(0, columns, 2):
            left = grid.box(column, 0)
            right = grid.box(column + 1, rows - 1)
            strip = (left[0], left[1], left[2], right[3])
            other = (left[2], left[1], right[2], right[3])
            differing += sc.changed_share(image.crop(strip), image.crop(other))
        pair_share = differing / (columns // 2)
        passed = passed and pair_share <= want.pair_share
        summary += f", pairs differ {100 * pair_share:.2f}%"
    if worst and not passed:
        miss, column, row, part, colour, seen = worst
        summary += (f"; worst cell ({column},{row}){' ' + part if part else ''} "
                    f"{seen} for {colour}")
    return passed, summary


def measure_seams(image, grid, expected, theme):
    """Mean seam errors of the half-block pattern's rows of ▀, of ▄ and of the two mixed."""
    columns, _, cells = expected
    groups = {"▀": (0, 16), "▄": (16, 32), "mixed": (32, 48)}
    result = {}
    for name, (first, last) in groups.items():
        total = {"top": 0.0, "bottom": 0.0, "right": 0.0, "split": 0.0}
        count = 0
        for row in range(first, last):
            for column in range(80):
                code, _, fg, bg = cells[row * columns + column]
                ink, paper = parse_color(fg, theme), parse_color(bg, theme)
                top, bottom = (ink, paper) if int(code) == UPPER_HALF else (paper, ink)
                seams = sc.half_block_seams(image, grid, column, row, top, bottom)
                for key, value in seams.items():
                    total[key] += value
                count += 1
        result[name] = {k: v / count for k, v in total.items()}
    return result


class TerminalRun:
    def __init__(self, terminal, work, display, session, kaveo):
        self.terminal, self.work, self.display, self.session = terminal, work, display, session
        self.kaveo = kaveo
        self.state = {}
        self.process = self.driver = self.shown = self.grid = None
        self.results = {}   # check -> (passed, detail)
        self.measures = {}

    def environment(self):
        return {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "HOME": str(self.work / "home"),
                "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "DISPLAY": self.display.name,
                "XDG_CONFIG_HOME": str(self.work / "home" / ".config"),
                "LIBGL_ALWAYS_SOFTWARE": "1",  # kitty and alacritty on Mesa's llvmpipe
                "KAVEO": str(self.kaveo), "SDL_AUDIODRIVER": "dummy"}

    def start(self):
        # cage (its x11 back end) stops redrawing once the program in it sets a title.
        title = "" if self.terminal.compositor else f"matrix-{self.terminal.name}"
        driver = ["sh", str(HERE / "driver.sh"), str(self.work), title]
        argv = self.terminal.argv(driver, self.work)
        env = self.environment()
        if self.terminal.compositor:
            runtime = self.work / "runtime"
            runtime.mkdir(exist_ok=True)
            shutil.chown(runtime, "nobody")
            runtime.chmod(0o700)
            argv = as_unprivileged(argv, env, runtime)
        log = open(self.work / f"{self.terminal.name}.log", "wb")
        self.process = self.session.start(argv, env=env, stdout=log, stderr=log)
        self.driver = Driver(self.work)
        if not self.driver.connect(60, lambda: self.process.poll() is None):
            return "the terminal did not start (see its log)"
        window = wait_for(self.display.window, 10)
        if not window:
            return "no window"
        self.state["window"] = window
        self.state["untitled"] = self.terminal.compositor
        if self.terminal.compositor:
            self.display.xdotool("windowsize", window, "1280", "800")  # cage's output
        self.display.xdotool("windowfocus", window)
        # The window may still be growing to its size (cage's output above).
        size = wait_for(self.terminal_size, 10, 0.2)
        self.measures["size"] = self.last_size
        if not size:
            return f"the terminal is {self.last_size}, smaller than 160 x 50"
        self.shown = self.display.screenshot(self.state)
        return None

    def terminal_size(self):
        if not self.driver.ask("size"):
            raise RuntimeError("the driver did not tell the size")
        rows, columns = (int(v) for v in (self.work / "size").read_text().split())
        self.last_size = f"{columns} x {rows}"
        return columns >= 160 and rows >= 50

    def show(self, path):
        if not self.driver.ask(f"show {path}"):
            raise RuntimeError(f"the driver did not show {path.name}")
        self.shown = steady_screenshot(self.display, self.state, self.shown)
        return self.shown

    def frames(self, frames):
        self.show(frames / "checkerboard.ans")
        problem = []

        def board():  # the screen may still show the terminal's own first paint
            self.shown = self.display.screenshot(self.state)
            try:
                return sc.find_grid(self.shown, 80, 50)
            except sc.GridNotFound as why:
                problem[:] = [str(why)]
                return None
        grid = wait_for(board, 10, STEADY)
        if not grid:
            self.results["grid"] = (False, problem[0])
            self.shown.save(self.work / f"{self.terminal.name}-grid.png")
            return
        self.grid = grid
        self.results["grid"] = (True, f"cells of {grid.width} x {grid.height} px")
        shot = self.show(frames / "palette.ans")
        theme = [sc.centre(shot, grid, 5 * colour + 2, 25) for colour in range(16)]
        self.measures["theme"] = theme
        for layout in LAYOUTS:
            for colors in COLORS:
                check = f"frame-{layout}-{colors}"
                shot = self.show(frames / f"{check}.ans")
                expected = load_expected(frames / f"{check}.txt")
                for retry in range(RETRIES + 1):
                    self.results[check] = check_frame(shot, grid, expected, theme, self.want,
                                                      layout)
                    if self.results[check][0] or retry == RETRIES:
                        break
                    # A slow terminal may have looked still halfway through drawing.
                    time.sleep(RETRY_SECONDS)
                    shot = self.shown = steady_screenshot(self.display, self.state)
                if not self.results[check][0]:
                    shot.save(self.work / f"{self.terminal.name}-{check}.png")
        shot = self.show(frames / "halfblocks.ans")
        time.sleep(RETRY_SECONDS)  # measured once: give a slow terminal time to finish
        shot = self.shown = steady_screenshot(self.display, self.state)
        self.measures["seams"] = measure_seams(shot, grid, load_expected(frames / "halfblocks.txt"),
                                               theme)

    def live(self):
        if not self.driver.ask("ready"):
            raise RuntimeError("the driver did not clear the screen")
        before = steady_screenshot(self.display, self.state, self.shown)
        title_before = self.display.title(self.state)
        pid_file, rc_file = self.work / "play.pid", self.work / "play.rc"
        for f in (pid_file, rc_file):
            if f.exists():
                f.unlink()
        self.driver.send("play")
        started = time.monotonic()
        pid = wait_for(lambda: pid_file.exists() and pid_file.read_text().strip(), 10)
        if not pid:
            self.results["live"] = (False, "the demo did not start")
            return
        self.state["kaveo"] = int(pid)
        if title_before is not None:
            wait_for(lambda: self.display.title(self.state) == TITLE, 10)
        cpu_pids = self.cpu_processes()
        ticks = sum(process_ticks(p) for p in cpu_pids)
        cpu_start = time.monotonic()
        time.sleep(max(0.0, started + PLAY_SECONDS - time.monotonic()))
        self.display.key(self.state, "space")
        time.sleep(STATS_SECONDS)
        title_during = self.display.title(self.state)
        cpu_seconds = (sum(process_ticks(p) for p in cpu_pids) - ticks) / os.sysconf("SC_CLK_TCK")
        self.measures["cpu"] = 100 * cpu_seconds / (time.monotonic() - cpu_start)
        if title_during and "FPS" in title_during:
            self.measures["fps"] = float(title_during.rstrip(".").split()[-1])
        during = self.display.screenshot(self.state)
        self.display.key(self.state, "Escape")
        pressed = time.monotonic()  # the key is with the display server (or in the tty)
        gone = wait_for(lambda: not Path(f"/proc/{pid}").exists() and time.monotonic(), 10, 0.005)
        answer = self.driver.answer(10 if gone else 0.1)
        if answer != "play":
            os.kill(int(pid), signal.SIGTERM)
            self.driver.answer(5)
            self.results["escape"] = (False, "Escape did not end the demo within 10 s")
        else:
            self.measures["escape"] = gone - pressed
            rc = rc_file.read_text().strip() if rc_file.exists() else "?"
            self.results["escape"] = (rc == "0", f"exit code {rc} after "
                                      f"{1000 * self.measures['escape']:.0f} ms")
        after = steady_screenshot(self.display, self.state, during)
        if title_before is not None:
            title_after = self.display.title(self.state)
            # Without a title stack the terminal cannot have its own title back: none of
            # ours may stay.
            restored = title_after == title_before or (
                not self.want.title_stack and TITLE not in (title_after or "")
                and "Tempus" not in (title_after or ""))
            self.results["restore-title"] = (restored,
                                             f"\"{title_before}\", during \"{title_during}\", "
                                             f"after \"{title_after}\"")
        if not self.terminal.still_frames or self.grid is None:
            return
        # The terminal's cells; a window's margins are the terminal's own business.
        rows, columns = (int(v) for v in (self.work / "size").read_text().split())
        cells = self.grid.box(0, 0)[:2] + self.grid.box(columns - 1, rows - 1)[2:]
        changed = sc.changed_share(before, after, cells)
        margins = sc.changed_share(before, after)
        # Without an alternate screen what stood before is gone too: the screen must be clear.
        restored = changed == 0 or (not self.want.alternate_screen
                                    and sc.busy_share(after, cells) < 0.005)
        self.results["restore-screen"] = (restored, f"{100 * changed:.2f}% of the "
                                          "terminal's cells differ from before the demo "
                                          f"({100 * margins:.2f}% of the screen)")
        if changed:
            before.save(self.work / f"{self.terminal.name}-before.png")
            after.save(self.work / f"{self.terminal.name}-after.png")

    def half_glyphs(self):
        """The half blocks the live program writes in this terminal (read from its output)
        must leave the fewest seams the halfblocks pattern measured here, within SEAM_SLACK
        points of top and bottom error (the right edge's does not depend on the glyph)."""
        if not self.driver.ask("ready"):
            raise RuntimeError("the driver did not clear the screen")
        output, pid_file = self.work / "half.out", self.work / "play.pid"
        for f in (output, pid_file):
            if f.exists():
                f.unlink()
        self.driver.send("half")
        pid = wait_for(lambda: pid_file.exists() and pid_file.read_text().strip(), 10)
        if not pid:
            self.results["half-glyphs"] = (False, "the demo did not start in half")
            return
        time.sleep(HALF_SECONDS)
        self.display.key(self.state, "Escape")
        if self.driver.answer(10) != "half":
            os.kill(int(pid), signal.SIGTERM)
            self.driver.answer(5)
            self.results["half-glyphs"] = (False, "Escape did not end the demo in half")
            return
        data = output.read_bytes() if output.exists() else b""
        upper, lower = data.count("▀".encode()), data.count("▄".encode())
        glyphs = "mixed" if upper and lower else "▀" if upper else "▄" if lower else None
        self.measures["half-glyphs"] = glyphs or "none"
        seams = self.measures.get("seams")
        if glyphs is None:
            self.results["half-glyphs"] = (False, "no half blocks written")
        elif seams:
            error = {name: 100 * (s["top"] + s["bottom"]) for name, s in seams.items()}
            fewest = min(error.values())
            self.results["half-glyphs"] = (error[glyphs] <= fewest + SEAM_SLACK,
                                           f"{glyphs}: seam error {error[glyphs]:.0f}, "
                                           f"fewest {fewest:.0f} ({min(error, key=error.get)})")

    def cpu_processes(self):
        names = self.terminal.processes
        pids = [p for p in [self.process.pid] + descendants(self.process.pid)
                if process_name(p) in names]
        if self.terminal.multiplexer == "tmux":
            server = run(["tmux", "-L", f"matrix-{self.work.name}", "display", "-p", "#{pid}"])
            pids += [int(server.stdout)] if server.stdout.strip().isdigit() else []
        if self.terminal.multiplexer == "screen":
            for folder in Path("/run/screen").glob("S-*"):
                pids += [int(s.name.split(".")[0]) for s in folder.iterdir()
                         if s.name.endswith(f".matrix-{self.work.name}")]
        return pids

    def stop(self):
        if self.process is None:
            return
        if self.driver and self.driver.commands:
            try:
                self.driver.send("quit")
            except OSError:
                pass
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                pass
            self.driver.close()
        self.session.stop(self.process)


# [SECTION] The whole matrix

def make_frames(kaveo, frames_tool, folder):
    """The ANSI frames with what each terminal cell should show: the demo's frame in every
    layout and colour mode, and the patterns for the grid, the theme and the seams."""
    folder.mkdir()
    cells = folder / "frame.cells"
    subprocess.run([kaveo, "render", "--frames", str(FRAME), "--output", cells], check=True)
    renders = []
    for layout in LAYOUTS:
        for colors in COLORS:
            name = folder / f"frame-{layout}-{colors}"
            renders.append(subprocess.Popen([kaveo, "render", "--frames", str(FRAME), "--format",
                                             "ansi", "--layout", layout, "--colors", colors,
                                             "--output", f"{name}.ans"]))
            with open(f"{name}.txt", "w") as out:
                subprocess.run([frames_tool, "expect", cells, layout, colors], stdout=out,
                               check=True)
            if len(renders) >= 2:
                if renders.pop(0).wait() != 0:
                    raise RuntimeError("kaveo render failed")
    for pattern in ("checkerboard", "palette", "halfblocks"):
        for kind, suffix in (("ansi", "ans"), ("expect", "txt")):
            with open(folder / f"{pattern}.{suffix}", "w") as out:
                subprocess.run([frames_tool, kind, pattern, "cells", "16"], stdout=out, check=True)
    if any(r.wait() != 0 for r in renders):
        raise RuntimeError("kaveo render failed")


def verdicts(results, want):
    """Each check's verdict: pass, FAIL, xfail (failed as expected) or XPASS (passed though
    expected to fail: its xfail line should go)."""
    out = {}
    for check, (passed, detail) in results.items():
        reason = want.reason(check)
        if reason is None:
            out[check] = ("pass" if passed else "FAIL", detail)
        else:
            out[check] = ("XPASS" if passed else "xfail", detail + f" [expected: {reason}]")
    return out


def seam_text(seams):
    if not seams:
        return "-"
    return " | ".join(f"{name} {100 * s['top']:.0f}/{100 * s['bottom']:.0f}/"
                      f"{100 * s['right']:.0f}/{s['split']:+.1f}" for name, s in seams.items())


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("kaveo")
    parser.add_argument("frames_tool")
    parser.add_argument("--only", default="")
    parser.add_argument("--report")
    args = parser.parse_args()
    if shutil.which("Xvfb") is None:
        print("matrix: skipped, Xvfb is not installed")
        return 77
    only = set(filter(None, args.only.split(",")))
    chosen = [t for t in tl.TERMINALS if not only or t.name in only]

    session = Session()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    work = Path(tempfile.mkdtemp(prefix="kaveo-matrix-"))
    work.chmod(0o777)  # foot's side runs as an unprivileged user
    (work / "home").mkdir()
    (work / "tmux.conf").write_text(tl.TMUX_CONF)
    (work / "screenrc").write_text(tl.SCREENRC)
    kaveo = work / "kaveo"
    # Where the unprivileged user can run it.
    shutil.copy(args.kaveo, kaveo)
    start = time.monotonic()
    rows, failed = [], False
    try:
        make_frames(kaveo, args.frames_tool, work / "frames")
        for entry in (work, work / "frames"):
            entry.chmod(0o777)
        x = XDisplay(session)
        for terminal in chosen:
            begun = time.monotonic()
            missing = [p for p in terminal.packages if shutil.which(p) is None]
            if missing:
                rows.append((terminal.name, "skipped", f"not installed: {' '.join(missing)}",
                             {}, {}))
                continue
            want = Expectation(HERE / "expect" / f"{terminal.name}.txt")
            one = TerminalRun(terminal, work, x, session, kaveo)
            one.want = want
            try:
                problem = one.start()
                if problem:
                    one.results["start"] = (False, problem)
                else:
                    if terminal.still_frames:
                        one.frames(work / "frames")
                    one.live()
                    one.half_glyphs()
            except Exception as error:  # the next terminal still runs; this one failed
                one.results["run"] = (False, f"{type(error).__name__}: {error}")
            finally:
                one.stop()
            judged = verdicts(one.results, want)
            bad = [c for c, (v, _) in judged.items() if v in ("FAIL", "XPASS")]
            failed = failed or bool(bad)
            summary = "FAIL" if bad else ("xfail" if any(v == "xfail" for v, _ in judged.values())
                                          else "pass")
            rows.append((terminal.name, summary, f"{time.monotonic() - begun:.1f} s", judged,
                         one.measures))
            print(f"matrix: {terminal.name}: {summary} in {time.monotonic() - begun:.1f} s",
                  flush=True)
    finally:
        session.stop_all()
    report = format_report(rows, time.monotonic() - start)
    print(report)
    if args.report:
        Path(args.report).write_text(report)
    if failed:
        print(f"matrix: screenshots of the failures are in {work}")
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


def format_report(rows, seconds):
    load = " ".join(Path("/proc/loadavg").read_text().split()[:3])
    lines = [f"terminal matrix: {seconds:.0f} s, load average {load}", "",
             "| terminal | result | time | fps | terminal CPU % | Escape ms | "
             "seams ▀ / ▄ / mixed: top/bottom/right % error, split px | live half |",
             "|---|---|---|---|---|---|---|---|"]
    for name, summary, when, _, measures in rows:
        fps = f"{measures['fps']:.0f}" if "fps" in measures else "-"
        cpu = f"{measures['cpu']:.0f}" if "cpu" in measures else "-"
        escape = f"{1000 * measures['escape']:.0f}" if "escape" in measures else "-"
        lines.append(f"| {name} | {summary} | {when} | {fps} | {cpu} | {escape} | "
                     f"{seam_text(measures.get('seams'))} | {measures.get('half-glyphs', '-')} |")
    lines.append("")
    for name, _, _, judged, _ in rows:
        for check, (verdict, detail) in judged.items():
            if verdict != "pass":
                lines.append(f"{name} {check}: {verdict}: {detail}")
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    sys.exit(main())
