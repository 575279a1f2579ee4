"""The terminals of the matrix: how to start each one (command line, font). All show DejaVu
Sans Mono at 8 pt, asked for 160 x 50, in a window on Xvfb, whose screenshots matrix.py
reads and where xdotool types; tmux and GNU screen run inside xterm."""

import shlex
from dataclasses import dataclass, field

FONT = "DejaVu Sans Mono"
XTERM = ["xterm", "-fa", FONT, "-fs", "8", "-geometry", "160x50+0+0", "-bg", "black",
         "-fg", "white", "-tn", "xterm-256color"]


@dataclass
class Terminal:
    name: str
    packages: list          # programs that must be installed
    argv: object            # (driver argv, work folder) -> the command line
    compositor: bool = False  # runs in cage, as an unprivileged user (cage refuses root)
    still_frames: bool = True # whether screenshots show a still frame
    processes: tuple = ()   # process names whose CPU counts as the terminal's
    multiplexer: str = ""   # tmux or screen, inside xterm
    env: dict = field(default_factory=dict)


def _tmux(driver, work):
    return XTERM + ["-e", "tmux", "-L", f"matrix-{work.name}", "-f", str(work / "tmux.conf"),
                    "new-session", "-x", "160", "-y", "50", shlex.join(driver)]


def _screen(driver, work):
    return XTERM + ["-e", "screen", "-S", f"matrix-{work.name}", "-c", str(work / "screenrc"),
                    *driver]


TERMINALS = [
    Terminal("xterm", ["xterm"], lambda d, w: XTERM + ["-e", *d], processes=("xterm",)),
    Terminal("urxvt", ["urxvt"], lambda d, w: [
        "urxvt", "-fn", f"xft:{FONT}:size=8", "-geometry", "160x50+0+0", "-bg", "black",
        "-fg", "white", "-e", *d], processes=("urxvt",)),
    Terminal("st", ["stterm"], lambda d, w: [
        "stterm", "-f", f"{FONT}:size=8", "-g", "160x50+0+0", "-e", *d],
        processes=("stterm", "st")),
    Terminal("mlterm", ["mlterm"], lambda d, w: [
        "mlterm", "-A", "--deffont", FONT, "-w", "8", "--point=true", "-g", "160x50+0+0",
        "-e", *d], processes=("mlterm",)),
    Terminal("kitty", ["kitty"], lambda d, w: [
        "kitty", "--config", "NONE", "-o", f"font_family={FONT}", "-o", "font_size=8",
        "-o", "initial_window_width=160c", "-o", "initial_window_height=50c",
        "-o", "remember_window_size=no", "-o", "cursor_blink_interval=0", *d],
        processes=("kitty",)),
    Terminal("alacritty", ["alacritty"], lambda d, w: [
        "alacritty", "-o", "font.size=8", "-o", f"font.normal.family={FONT}",
        "-o", "window.dimensions.columns=160", "-o", "window.dimensions.lines=50", "-e", *d],
        processes=("alacritty",)),
    # VTE: sakura takes one command string.
    Terminal("sakura", ["sakura"], lambda d, w: [
        "sakura", "-f", f"{FONT} 8", "-c", "160", "-r", "50", "-x", shlex.join(d)],
        processes=("sakura",)),
    # zutty's size is in pixels: 11 is 8 pt at Xvfb's 96 dots per inch.
    Terminal("zutty", ["zutty"], lambda d, w: [
        "zutty", "-font", "DejaVuSansMono", "-fontsize", "11", "-geometry", "160x50", "-e", *d],
        processes=("zutty",)),
    # foot under cage, whose output is a window on the same X display (its headless output
    # shows no new frames without a GPU); cage shows foot full screen without foot's own
    # title bar, and no title. That output redraws only while the picture keeps changing and
    # stops redrawing once a program sets the title: the live demo is read, still frames not.
    Terminal("foot", ["foot", "cage"], lambda d, w: [
        "cage", "--", "foot", "-o", "csd.preferred=none", "-f", f"{FONT}:size=8", *d],
        compositor=True, still_frames=False, processes=("foot",)),
    Terminal("tmux", ["xterm", "tmux"], _tmux, processes=("xterm", "tmux: server"),
             multiplexer="tmux"),
    Terminal("screen", ["xterm", "screen"], _screen, processes=("xterm", "screen"),
             multiplexer="screen"),
]

# The multiplexers' settings: a full-size pane without a status line, and the pane's title
# shown as the window's, as a user who wants the program's title would set them.
TMUX_CONF = """set -g status off
set -g set-titles on
set -g set-titles-string '#T'
set -g default-terminal tmux-256color
set -as terminal-features ',xterm-256color:RGB'
"""
SCREENRC = """startup_message off
"""
