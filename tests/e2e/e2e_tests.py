#!/usr/bin/env python3
"""End-to-end runs: the plug-in in the reference host, driven through its real
window as a person drives it, checked by what the host received.

    python3 e2e_tests.py CASE      (CASE: one of the functions below)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "generate"))

from hostrun import HANDLE, check, data, main, raw, read_png, run  # noqa: E402

BLOCK = 4410
HEAD = "setup %d 65536\nui create\n" % BLOCK


def stereo_split():
    """A stereo file opened into channel 2 plays, to its end, as sox's left and
    right halves in channels 2 and 3 (a pause in the middle loses nothing);
    channels 1 and 4 deliver nothing; closing the pair tells the host once."""
    r = run("stereo_split", HEAD + "\n".join([
        "open 2 %s" % data("stereo.wav"),
        "click play 2",
        "pull 20",
        "click pause 2",
        "pull 5",
        "click pause 2",
        "pull 44",
        "click close 2",
        "pull 1",
    ]) + "\n")
    opened = r.of_type("event", code=6)
    check([(e["channel"], e["partner"], e["handle"]) for e in opened] == [(2, 3, HANDLE)],
          "event 6 names channel 2 with partner 3: %s" % opened)
    check(len(r.of_type("event", code=2)) == 1, "one event 2 for the start")
    closed = r.of_type("event", code=7)
    check([(e["channel"], e["partner"]) for e in closed] == [(2, 3)], "one event 7 for the pair: %s" % closed)
    left, right = raw("stereo.left.raw"), raw("stereo.right.raw")
    check(r.channel(2) == left, "channel 2 delivers sox's remix 1 (%d of %d bytes)" % (len(r.channel(2)), len(left)))
    check(r.channel(3) == right, "channel 3 delivers sox's remix 2")
    check(r.channel(1) == b"" and r.channel(4) == b"", "channels 1 and 4 deliver nothing")
    # 20 blocks, 5 paused periods (true, nothing delivered), the other 40 blocks,
    # then the end of the data stops both halves in the same period; closed: false.
    for index in (1, 2):
        calls = [(p["result"], p["bytes"]) for p in r.calls(index)]
        want = [(1, BLOCK)] * 20 + [(1, 0)] * 5 + [(1, BLOCK)] * 40 + [(0, 0)] * 5
        check(calls == want, "channel index %d: %s" % (index, calls))
    check(all(p["result"] == 0 for p in r.calls(0) + r.calls(3)), "empty channels answer false")


def refused_loads():
    """Loads the plug-in must refuse show their error boxes and change no channel:
    channel 1 keeps playing its file through all of them."""
    script = HEAD + "\n".join([
        "open 1 %s" % data("mono.wav"),
        "click play 1",
        "pull 5",
        "open 4 %s" % data("stereo.wav"),      # no channel to the right: error 32
        "open 1 %s" % data("rate4000.wav"),    # 4000 Hz: error 17
        "open 1 %s" % data("three.wav"),       # three channels: error 17
        "open 1 %s" % data("notwave.wav"),     # no wave file: error 8, under the file's name
        "policy refuse 6",
        "open 2 %s" % data("mono2.wav"),       # the host refuses the channel: error 35
        "pull 5",
    ]) + "\n"
    r = run("refused_loads", script)
    boxes = r.boxes()
    codes = [next((c for c in (32, 17, 8, 35) if ("Error %d:" % c) in text), None) for text in boxes]
    check(codes == [32, 17, 17, 8, 35], "boxes for errors 32, 17, 17, 8, 35 in order: %s" % boxes)
    sources = [text.split("\n")[0] for text in boxes]
    check(sources[1:4] == ["Waveformat Converter"] * 2 + ["notwave.wav"], "each box names its source: %s" % sources)
    check("8000" in boxes[1] and "mono or stereo" in boxes[2], "the format boxes say what plays: %s" % boxes[1:3])
    events6 = [(e["channel"], e["partner"], e["answer"]) for e in r.of_type("event", code=6)]
    check(events6 == [(1, 0, 1), (2, 0, 0)], "event 6 only for the accepted load and the refused one: %s" % events6)
    check(not r.of_type("event", code=7), "no channel was closed")
    check(r.channel(1) == raw("mono.raw")[:10 * BLOCK], "channel 1 played on, block after block, through the refusals")
    for number in (2, 3, 4):
        check(r.channel(number) == b"", "channel %d stays empty" % number)
        check(all(p["result"] == 0 for p in r.calls(number - 1)), "channel %d answers false" % number)


def file_buffer_refused():
    """A file buffer size the file access refuses (the host's word 3 beyond 2 GiB)
    is shown as error 7 under the file's name, and the load goes on: the file plays."""
    r = run("file_buffer_refused", "setup %d -1\nui create\n" % BLOCK + "\n".join([
        "open 1 %s" % data("mono.wav"),
        "click play 1",
        "pull 3",
    ]) + "\n")
    boxes = r.boxes()
    check(len(boxes) == 1 and boxes[0].startswith("mono.wav\n") and "Error 7:" in boxes[0],
          "one box for error 7 naming the file: %s" % boxes)
    check([e["answer"] for e in r.of_type("event", code=6)] == [1], "the channel was announced")
    check(r.channel(1) == raw("mono.raw")[:3 * BLOCK], "the file plays")


def system_close():
    """The system close key asks the host once (command 15) and the window stays;
    after the host destroys it, it can be created again."""
    r = run("system_close", HEAD + "sysclose\nscreenshot still-open.png\nui destroy\n"
            "ui create\nopen 1 %s\nscreenshot again.png\n" % data("mono.wav"))
    internal = r.of_type("internal")
    check(len(internal) == 1, "one internal command: %s" % internal)
    check(internal[0]["command"] == 15 and internal[0]["word0"] == HANDLE and internal[0]["restZero"],
          "command 15 with the handle in word 0 and the other words zero: %s" % internal[0])
    check(internal[0]["thread"] == "ui", "sent on the window's thread")
    check(r.of_type("screenshot"), "the window is still shown after the close key")
    destroyed = r.of_type("call", name="destroyUserInterface")
    check(destroyed and destroyed[0]["result"] != 0, "destroyUserInterface closes it and unregisters its class")
    created = [e["result"] for e in r.of_type("call", name="createUserInterface")]
    check(created == [1, 1], "the window is created again: %s" % created)
    check(len(r.of_type("screenshot")) == 2 and r.of_type("event", code=6), "the new window opens files")


def drops():
    """Files dropped on a strip load there as its open button would load them, the
    further ones into the free strips after it; a drop no strip can take says why.
    A broadcast wave file dropped into channel 2 plays as sox reads it."""
    r = run("drops", HEAD + "\n".join([
        "drop none %s" % data("mono.wav"),                          # beside every strip
        "drop 1 %s %s" % (data("mono.wav"), data("bwf.wav")),       # 1, then the pair 2-3
        "drop 4 %s" % data("stereo.wav"),                           # no right neighbour: 32
        "drop 3 %s" % data("mono2.wav"),                            # the right half of 2-3
        "drop 4 %s %s" % (data("mono2.wav"), data("mono.wav")),     # 4, then nothing free
        "click play 2",
        "pull 70",
    ]) + "\n")
    opened = [(e["channel"], e["partner"]) for e in r.of_type("event", code=6)]
    check(opened == [(1, 0), (2, 3), (4, 0)], "channels 1, 2-3 and 4 loaded by drops: %s" % opened)
    boxes = r.boxes()
    check(len(boxes) == 4, "four boxes: %s" % boxes)
    check("channel strip" in boxes[0], "a drop beside the strips says where to drop: %s" % boxes)
    check("Error 32:" in boxes[1], "stereo on channel 4 reports 32, as the open button does: %s" % boxes)
    check("right half" in boxes[2] and "No free channel" in boxes[3] and "mono.wav" in boxes[3],
          "the other refusals say why: %s" % boxes)
    check(r.channel(2) == raw("bwf.1.raw") and r.channel(3) == raw("bwf.2.raw"),
          "the broadcast file plays as sox reads it (%d bytes)" % len(r.channel(2)))


def screenshot():
    """With files loaded and one playing, every control shows the skin frame for
    its state at its place, a partner strip shows the skin under its hidden
    controls, and an empty strip its grey-blue picture."""
    from imagefiles import read_bmp
    from layout import BITMAPS, EMPTY_STRIP, MAIN_H, MAIN_W, PRERECORDER_TOGGLE, strip

    r = run("screenshot", HEAD + "\n".join([
        "open 1 %s" % data("mono.wav"),
        "open 2 %s" % data("stereo.wav"),
        "click loop 1",
        "click sync 2",
        "click play 1",
        "pull 10",
        "screenshot loaded.png",
    ]) + "\n")
    shot = read_png(os.path.join(r.out, "loaded.png"))
    check((len(shot[0]), len(shot)) == (MAIN_W, MAIN_H), "the screenshot is the 485 x 272 window")
    skin = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "skin")
    images = {ident: read_bmp(os.path.join(skin, BITMAPS[ident][0]))[0] for ident in BITMAPS}
    background = images[111]
    image_of = {"open": 120, "close": 121, "play": 124, "pause": 123, "props": 128, "loop": 122, "sync": 125}

    # (enabled, on) of each control per channel index; None: hidden, the skin shows.
    states = {
        0: {"open": (1, 0), "close": (1, 0), "play": (1, 1), "pause": (1, 0), "loop": (1, 1), "sync": (1, 0),
            "props": (1, 0)},
        1: {"open": (1, 0), "close": (1, 0), "play": (1, 0), "pause": (0, 0), "loop": (1, 0), "sync": (1, 1),
            "props": (1, 0)},
        2: {name: None for name in image_of},
        3: {"open": (1, 0), "close": (0, 0), "play": (0, 0), "pause": (0, 0), "loop": (1, 0), "sync": (1, 0),
            "props": (1, 0)},
    }
    # The window as the skin says it looks: the background, then the controls in
    # the order the window draws them (a later control covers an earlier one's edge).
    expected = [list(row) for row in background]

    def paste(rect, ident, frame):
        x0, y0, w, h = rect
        for y in range(h):
            expected[y0 + y][x0:x0 + w] = images[ident][frame * h + y][:w]

    paste(PRERECORDER_TOGGLE, 129, 0)
    for c, controls in states.items():
        rects = strip(c)
        for name in ("open", "close", "play", "pause", "props", "loop", "sync"):
            if controls[name] is not None:
                enabled, on = controls[name]
                paste(rects[name], image_of[name], (0 if enabled else 1) + 4 * on)
        paste(rects["led"], 126 if c == 0 else 127, 0)

    def compare(label, rect):
        x0, y0, w, h = rect
        wrong = sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w)
                    if shot[y][x][:3] != tuple(expected[y][x]))
        check(wrong == 0, "%s at %s: %d of %d pixels differ from the skin" % (label, rect, wrong, w * h))

    compare("pre-recorder toggle", PRERECORDER_TOGGLE)
    for c, controls in states.items():
        for name in list(controls) + ["led"]:
            hidden = name != "led" and controls[name] is None
            compare("channel %d %s%s" % (c + 1, name, " (hidden)" if hidden else ""), strip(c)[name])
    x0, y0, w, h = strip(3)["view"]
    empty = sum(1 for y in range(h) for x in range(w) if shot[y0 + y][x0 + x][:3] == EMPTY_STRIP)
    check(empty == w * h, "the empty strip's picture is grey-blue (%d of %d pixels)" % (empty, w * h))
    # Outside the window's shape the screenshot is transparent, inside opaque.
    mask = images[112]
    outside = [(x, y) for y in range(MAIN_H) for x in range(MAIN_W) if mask[y][x] == (255, 255, 255)]
    check(outside and all(shot[y][x][3] == 0 for x, y in outside), "transparent outside the window's shape")
    check(shot[14][250][3] == 255, "opaque inside")


def host_errors():
    """Commands that cannot be carried out stop the run at once with a clear
    error and a non-zero exit status; a script with a typo runs nothing."""
    cases = [
        ("no_file", HEAD + "open 1 %s\n" % data("missing.wav"), "no such file"),
        ("no_window", "setup 4410 65536\nclick play 1\n", "has no main window"),
        ("hidden", HEAD + "ui hide\nclick play 1\n", "hidden"),
        # A partner strip has no open button: no dialog can come.
        ("partner_open", HEAD + "open 2 %s\nopen 3 %s\n" % (data("stereo.wav"), data("mono.wav")),
         "no \"Open Wave Ch3...\" dialog came"),
        ("typo", HEAD + "click play 5\n", "line 3: \"5\" is not a channel from 1 to 4"),
    ]
    for name, script, words in cases:
        r = run("error_" + name, script, expect_rc=3)
        check(words in r.stderr, "%s: the error says %r:\n%s" % (name, words, r.describe()))
        check(r.seconds < 30, "%s: failed in %.1f s" % (name, r.seconds))
    check(not os.path.exists(os.path.join(r.out, "events.jsonl")), "a script with a typo runs nothing")


if __name__ == "__main__":
    main(globals(), __doc__)
