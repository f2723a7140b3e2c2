#!/usr/bin/env python3
"""End-to-end takes: the pre-recorder in the reference host, recording from the
capture device what the feeder sends, its takes loaded into the first free
track and played back, checked against the take files and sox.

    python3 prerecorder_tests.py CASE      (CASE: one of the functions below)
"""
import os
import signal
import struct
import subprocess
import sys
import time
import types
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "generate"))

from hostrun import BIN, DATA, SOURCE, Run, binary, check, data, main, read_jsonl, read_png, run  # noqa: E402

BLOCK = 4410
HEAD = "setup %d 65536\nui create\nfeed sequence 1\n" % BLOCK
USERFILES = os.path.join(BIN, "Userfiles")


def linux(path):
    """A path the host logged (Z:\\...) as this machine's path."""
    return path[2:].replace("\\", "/") if path[:2] in ("Z:", "z:") else path


def takes_of(r):
    found = r.of_type("take")
    for take in found:
        take["file"] = linux(take["path"])
    return found


def frames(path):
    """(channels, data bytes) of a take, checked as a 16-bit 44100 Hz wave file by Python and sox."""
    with wave.open(path, "rb") as w:
        check((w.getsampwidth(), w.getframerate()) == (2, 44100), "%s is 16-bit 44100 Hz" % path)
        body = w.readframes(w.getnframes())
    check(subprocess.run(["sox", "--i", path], capture_output=True).returncode == 0, "sox reads %s" % path)
    return w.getnchannels(), body


def half(path, number):
    return subprocess.run(["sox", path, "-t", "raw", "-e", "signed", "-b", "16", "-c", "1", "-", "remix",
                           str(number)], capture_output=True, check=True).stdout


def fresh_userfiles():
    os.makedirs(USERFILES, exist_ok=True)
    for name in os.listdir(USERFILES):
        os.remove(os.path.join(USERFILES, name))


def mono_takes():
    """Mono takes land in the first free tracks and play back bit for bit what
    their files hold; two takes under generated names are two files; a path
    chosen with "browse output file..." is replaced. The recording window shows
    the skin's recording state and a live trace."""
    fresh_userfiles()
    chosen = os.path.join(DATA, "runs", "chosen.wav")
    os.makedirs(os.path.dirname(chosen), exist_ok=True)
    with open(chosen, "wb") as f:
        f.write(b"an earlier file that the take replaces")
    r = run("mono_takes", HEAD + "\n".join([
        "click prerec", "click record", "wait 1500", "screenshot prerec recording.png", "click stoprec",
        "click prerec", "click record", "wait 700", "click stoprec",
        "click prerec", "prerec browse %s" % chosen, "click record", "wait 500", "click stoprec",
        "click play 1", "click play 2", "click play 3", "pull 80",
    ]) + "\n")
    takes = takes_of(r)
    check([t.get("channel") for t in takes] == [1, 2, 3], "takes in tracks 1, 2, 3: %s\n%s" % (takes, r.describe()))
    check(len({t["file"] for t in takes}) == 3, "three files: %s" % takes)
    check(takes[2]["file"] == chosen, "the third take went to the chosen path")
    check(not r.boxes(), "no error boxes: %s" % r.boxes())
    for number, take in enumerate(takes, 1):
        channels, body = frames(take["file"])
        check(channels == 1 and len(body) > 0 and len(body) % BLOCK == 0,
              "take %d: mono, whole blocks (%d bytes)" % (number, len(body)))
        check(body.count(0) < len(body) // 2, "take %d holds the fed signal, not silence" % number)
        check(r.channel(number) == body, "track %d delivered the take bit for bit (%d of %d bytes)"
              % (number, len(r.channel(number)), len(body)))
    _check_recording_look(os.path.join(r.out, "recording.png"))


def _skin_differs(shot, name, frame):
    """Pixels of a pre-recorder control that differ from frame `frame` of its skin bitmap."""
    from imagefiles import read_bmp
    from layout import BITMAPS, PRE_CONTROLS
    ident = {"start": 132, "stop": 133, "led": 134}[name]
    x0, y0, w, h = PRE_CONTROLS[name]
    image = read_bmp(os.path.join(SOURCE, "resources", "skin", BITMAPS[ident][0]))[0]
    return sum(1 for y in range(h) for x in range(w) if shot[y0 + y][x0 + x][:3] != tuple(image[frame * h + y][x]))


def _check_recording_look(path):
    from layout import PRE_CONTROLS
    shot = read_png(path)
    check((len(shot[0]), len(shot)) == (313, 119), "the screenshot is the 313 x 119 pre-recorder")
    for label, name, frame in (("start key, disabled", "start", 1), ("stop key, normal", "stop", 0),
                               ("LED, lit", "led", 0)):
        wrong = _skin_differs(shot, name, frame)
        check(wrong == 0, "%s: %d pixels differ from the skin" % (label, wrong))
    x0, y0, w, h = PRE_CONTROLS["trace"]
    red = [(x, y) for y in range(y0, y0 + h) for x in range(x0, x0 + w) if shot[y][x][:3] == (255, 0, 0)]
    check(len({y for _, y in red}) > 5, "the live trace moves away from its centre line")


def stereo_takes():
    """With tracks 1-2 busy a stereo take lands in 3-4, its halves as sox's
    remix 1 and 2 of the file; with only track 4 free, or with 2 and 4 free but
    not 3, error 32 is reported and the file stays. The dialog is not offered
    while recording."""
    fresh_userfiles()
    mono = data("mono.wav")
    r = run("stereo_takes", HEAD + "\n".join([
        "open 1 %s" % mono, "open 2 %s" % mono,
        "click prerec", "prerec config 0 stereo apply",
        "click record", "wait 1000", "prerec config 0 mono apply", "screenshot prerec stereo.png", "click stoprec",
        "click play 3", "pull 60",
        "click close 3", "open 3 %s" % mono,
        "click prerec", "click record", "wait 300", "click stoprec",   # only track 4 free
        "click close 2",
        "click prerec", "click record", "wait 300", "click stoprec",   # tracks 2 and 4 free
    ]) + "\n")
    takes = takes_of(r)
    check(len(takes) == 3, "three takes: %s\n%s" % (takes, r.describe()))
    check(takes[0].get("channel") == 3, "the stereo take lands in track 3: %s" % takes[0])
    check(r.of_type("nodialog", title="Configure Pre-Recorder"), "no dialog while recording")
    channels, body = frames(takes[0]["file"])
    check(channels == 2 and len(body) % (2 * BLOCK) == 0, "a stereo take in whole blocks")
    left, right = half(takes[0]["file"], 1), half(takes[0]["file"], 2)
    check(r.channel(3) == left and r.channel(4) == right, "tracks 3 and 4 deliver sox's remix 1 and 2 "
          "(%d, %d of %d bytes)" % (len(r.channel(3)), len(r.channel(4)), len(left)))
    boxes = r.boxes()
    check(len(boxes) == 2 and all("Error 32:" in b for b in boxes), "error 32 twice: %s" % boxes)
    for take in takes[1:]:
        check(not take["loaded"] and os.path.exists(take["file"]), "the file stays: %s" % take)
        check(frames(take["file"])[0] == 2, "still stereo")
    shot = read_png(os.path.join(r.out, "stereo.png"))
    blue = sum(1 for y in range(19, 99) for x in range(23, 123) if shot[y][x][:3] == (0, 0, 255))
    check(blue > 50, "the stereo trace draws a second (blue) line")


def cut_takes():
    """A take stopped before its first block has a data size of 0: loading it
    reports error 9 and the file stays. A host that destroys the interface
    mid-take leaves a finished file that sox reads, not loaded. Without a
    "Userfiles" folder the start fails with a box (the folder is not made)."""
    fresh_userfiles()
    r = run("cut_takes", "setup 88200 65536\nui create\nfeed sequence 1\n" + "\n".join([
        "click prerec", "click record", "click stoprec",
        "click prerec", "click record", "wait 2500", "ui destroy",
    ]) + "\n")
    takes = takes_of(r)
    check(len(takes) == 1 and not takes[0]["loaded"], "the empty take is not loaded: %s\n%s" % (takes, r.describe()))
    channels, body = frames(takes[0]["file"])
    check(body == b"", "the take stopped at once has no data")
    boxes = r.boxes()
    check(len(boxes) == 1 and "Error 9:" in boxes[0], "loading it reports 9: %s" % boxes)
    files = [os.path.join(USERFILES, n) for n in os.listdir(USERFILES)]
    cut = [f for f in files if os.path.normcase(f) != os.path.normcase(takes[0]["file"])]
    check(len(cut) == 1, "the cut take's file is there: %s" % files)
    channels, body = frames(cut[0])
    check(len(body) >= 88200, "the cut take kept what was recorded (%d bytes)" % len(body))
    check(len(r.of_type("event", code=6)) == 0, "nothing was loaded")

    # Without the folder.
    os.rename(USERFILES, USERFILES + ".away")
    try:
        r = run("no_userfiles", HEAD + "click prerec\nclick record\nwait 300\nscreenshot prerec idle.png\n")
        check(not os.path.exists(USERFILES), "the folder is not made")
    finally:
        os.rename(USERFILES + ".away", USERFILES)
    boxes = r.boxes()
    check(len(boxes) == 1 and "No take can be recorded" in boxes[0] and "Userfiles" in boxes[0],
          "the start failure names the file: %s" % boxes)
    check(not r.of_type("take"), "nothing was recorded")

SECOND = 88200  # bytes of one second of a mono take


def sizes(path):
    """(RIFF size, data size, bytes after the header) of a wave file as it is on disk."""
    blob = open(path, "rb").read()
    check(len(blob) >= 44 and blob[:4] == b"RIFF" and blob[36:40] == b"data", "%s has a wave header" % path)
    return struct.unpack_from("<I", blob, 4)[0], struct.unpack_from("<I", blob, 40)[0], len(blob) - 44


def probe(path):
    """What the plug-in's own parser makes of a file (wavprobe's JSON line)."""
    import json
    out = subprocess.run([os.path.join(SOURCE, "scripts", "wine-run.sh"), binary("wavprobe.exe"),
                          "Z:" + path.replace("/", "\\")], capture_output=True, text=True, timeout=60).stdout
    return json.loads(out.strip().splitlines()[-1])


def check_cut_take(take, covered):
    """A take whose recording ended abruptly: its header's sizes cover all but at most
    the last second on disk (and at least two seconds), and sox and the plug-in read
    the samples the header gives."""
    riff, size, present = sizes(take)
    check(riff == size + 36 and size <= present and present - size <= SECOND and size >= 2 * SECOND,
          "the header covers %s: data %d of %d on disk, RIFF %d" % (covered, size, present, riff))
    check(subprocess.run(["sox", "--i", "-s", take], capture_output=True, text=True).stdout.strip() == str(size // 2),
          "sox reads the header's samples")
    found = probe(take)
    check(found.get("header") == 0 and found.get("dataSize") == size, "the plug-in opens it: %s" % found)


def _small_disk(name, kib):
    """A fresh tmpfs of kib KiB, mounted by the test; the run is skipped (77) unless root."""
    if os.geteuid() != 0:
        print("skipped: mounting a small file system for a full disk needs root")
        sys.exit(77)
    path = os.path.join(DATA, "runs", name)
    subprocess.run(["umount", path], capture_output=True)
    os.makedirs(path, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dk" % kib, "tmpfs", path], check=True)
    return path


def _led_lit(path):
    return _skin_differs(read_png(path), "led", 0) == 0


def full_disk():
    """On a full disk the start is refused with the system's reason, shows no take
    and leaves no file. With 200 KiB free a 3 s take is cut where the disk ends:
    one message names the file, says it was cut and why; the file holds whole
    frames with sizes that match the disk, and plays in track 1 like any take."""
    disk = _small_disk("small_disk", 200)
    take = os.path.join(disk, "take.wav")
    try:
        filler = os.open(os.path.join(disk, "filler"), os.O_WRONLY | os.O_CREAT)
        try:
            while os.write(filler, b"\0" * 4096) > 0:
                pass
        except OSError:
            pass
        os.close(filler)
        r = run("full_disk_start", HEAD + "\n".join([
            "click prerec", "prerec browse %s" % take, "click record", "wait 300",
            "screenshot prerec refused.png", "click stoprec"]) + "\n")
        boxes = r.boxes()
        check(len(boxes) == 1 and "No take can be recorded" in boxes[0] and "take.wav" in boxes[0],
              "one refusal naming the file: %s\n%s" % (boxes, r.describe()))
        check(not os.path.exists(take), "no file is left behind")
        check(not _led_lit(os.path.join(r.out, "refused.png")), "no take is shown in progress")
        check(not r.of_type("take"), "nothing was recorded")

        os.remove(os.path.join(disk, "filler"))
        r = run("full_disk_cut", HEAD + "\n".join([
            "click prerec", "prerec browse %s" % take, "click record", "wait 4000", "click play 1", "pull 70"]) + "\n")
        boxes = r.boxes()
        check(len(boxes) == 1 and "take.wav was cut" in boxes[0],
              "one message says the take was cut: %s\n%s" % (boxes, r.describe()))
        reason = boxes[0].split("audio:")[-1].split("The file keeps")[0].strip()
        check(len(reason) > 3, "the system's reason is given: %s" % boxes[0])
        riff, size, present = sizes(take)
        check(size == present and riff == size + 36 and size % 2 == 0 and size > SECOND,
              "sizes match the whole frames on disk: RIFF %d, data %d, %d on disk" % (riff, size, present))
        channels, body = frames(take)
        check(r.of_type("event", code=6), "the take was handed to a track")
        check(r.channel(1)[:len(body)] == body, "track 1 plays what the file holds")
    finally:
        subprocess.run(["umount", disk], capture_output=True)


def killed_take():
    """A host killed (kill -9) in the middle of a take leaves a file that sox and
    the plug-in open, holding all but at most the last second."""
    fresh_userfiles()
    out = os.path.join(DATA, "runs", "killed_take")
    os.makedirs(out, exist_ok=True)
    with open(out + ".session", "w") as f:
        f.write(HEAD + "click prerec\nclick record\nwait 60000\n")
    proc = subprocess.Popen([os.path.join(SOURCE, "scripts", "wine-run.sh"), binary("orvan-host.exe"), "run",
                             out + ".session", "--out", out], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            stdin=subprocess.DEVNULL)
    try:
        deadline, take = time.time() + 60, None
        while time.time() < deadline and take is None:
            for name in os.listdir(USERFILES):
                path = os.path.join(USERFILES, name)
                if os.path.getsize(path) >= 44 + 3 * SECOND + SECOND // 2:
                    take = path
            time.sleep(0.05)
        check(take is not None, "no take grew to 3.5 s")
        # The host's own Windows process, among the processes this test started.
        ours, found = {proc.pid}, None
        for _ in range(4):
            for pid in os.listdir("/proc"):
                try:
                    ppid = int(open("/proc/%s/stat" % pid).read().rsplit(")", 1)[1].split()[1])
                    cmd = open("/proc/%s/cmdline" % pid, "rb").read()
                except (OSError, ValueError, IndexError):
                    continue
                if pid.isdigit() and ppid in ours:
                    ours.add(int(pid))
                    if b"orvan-host.exe" in cmd:
                        found = int(pid)
        check(found is not None, "the host's process was not found")
        os.kill(found, signal.SIGKILL)
        proc.wait(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()
    check_cut_take(take, "all but the last second")


def _capture(*words):
    """Runs a function of scripts/capture.sh (the daemon's own commands); its exit status."""
    script = os.path.join(SOURCE, "scripts", "capture.sh")
    return subprocess.run(["bash", "-c", 'source "$0"; "$@"', script] + list(words), capture_output=True,
                          timeout=30).returncode


def _host_in_background(name, script):
    out = os.path.join(DATA, "runs", name)
    os.makedirs(out, exist_ok=True)
    with open(out + ".session", "w") as f:
        f.write(script)
    proc = subprocess.Popen([os.path.join(SOURCE, "scripts", "wine-run.sh"), binary("orvan-host.exe"), "run",
                             out + ".session", "--out", out, "--timeout", "60"], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    return out, proc


def _growing_take(seconds, deadline):
    """The take in Userfiles once it holds `seconds` of mono audio (None at the deadline)."""
    while time.time() < deadline:
        for name in os.listdir(USERFILES):
            path = os.path.join(USERFILES, name)
            if os.path.getsize(path) >= 44 + int(seconds * SECOND):
                return path
        time.sleep(0.02)
    return None


def vanished_device():
    """The capture daemon is stopped 1.5 s into a take. Within the silence limit
    (a buffer's length and a second) the take ends by itself: one message names
    the device, the file and the take's length; the light goes out; the file
    holds whole frames with matching sizes and plays in track 1. The daemon is
    started again afterwards (the feeder finds it by itself), so the tests after
    this one find the environment as it was."""
    server = os.environ.get("PULSE_SERVER", "")
    if os.environ.get("SONDREL_NO_CAPTURE") == "1" or not server.endswith("/run/native"):
        print("skipped: needs the project's own capture daemon")
        sys.exit(77)
    folder = server[len("unix:"):-len("/run/native")]
    fresh_userfiles()
    # 4410-byte buffers: 50 ms each, so the take must end within 1.05 s of the last one.
    out, proc = _host_in_background("vanished_device", HEAD + "\n".join([
        "click prerec", "click record", "wait 8000", "click prerec", "screenshot prerec after.png",
        "click play 1", "pull 60"]) + "\n")
    try:
        take = _growing_take(1.5, time.time() + 60)
        check(take is not None, "no take grew to 1.5 s")
        stopped = time.time()
        check(_capture("sondrel_capture_pulse", folder, "pulseaudio", "--kill") == 0, "the daemon did not stop")
        at_stop = os.path.getsize(take) - 44
        box, deadline = None, stopped + 1.05 + 3.0
        while box is None and time.time() < deadline:
            box = next((e for e in read_jsonl(os.path.join(out, "events.jsonl")) if e.get("type") == "messagebox"),
                       None)
            time.sleep(0.02)
        seen = time.time() - stopped
        stdout, stderr = proc.communicate(timeout=90)
    finally:
        if proc.poll() is None:
            proc.kill()
        # The daemon again, and the feeder back on it, for whatever runs next.
        _capture("sondrel_capture_daemon", folder)
        for _ in range(100):
            if subprocess.run([os.path.join(SOURCE, "scripts", "feed.sh"), "silence"],
                              capture_output=True).returncode == 0:
                break
            time.sleep(0.1)
    r = Run(out, types.SimpleNamespace(returncode=proc.returncode, stdout=stdout, stderr=stderr), seen)
    check(box is not None, "no message within %.1f s of the device's end\n%s" % (seen, r.describe()))
    check(r.rc == 0, "the session ended normally\n%s" % r.describe())
    boxes = r.boxes()
    riff, size, present = sizes(take)
    check(len(boxes) == 1, "one message: %s" % boxes)
    text = boxes[0]
    check("The recording device \"" in text and os.path.basename(take) in text and
          "after %.1f s" % (size / SECOND) in text, "it names the device, the file and the length: %s" % text)
    check("Undefined external error" not in text, "no bare system text: %s" % text)
    check(size == present and riff == size + 36 and size % 2 == 0, "sizes match the whole frames on disk: RIFF %d, "
          "data %d, %d on disk" % (riff, size, present))
    check(1.5 * SECOND <= size <= at_stop + SECOND // 2, "the take stopped growing with its device: %d bytes, %d "
          "when the daemon stopped" % (size, at_stop))
    check(not _led_lit(os.path.join(out, "after.png")), "the light is out")
    check(r.of_type("event", code=6), "the take was handed to a track")
    channels, body = frames(take)
    check(r.channel(1)[:len(body)] == body, "track 1 plays what the file holds")


def unload_mid_take():
    """A host that frees the plug-in 2.5 s into a take, without destroyUserInterface,
    goes on (a wait) and ends normally; the take's file has sizes covering all but
    at most the last second of what was recorded, and sox and the plug-in read it."""
    fresh_userfiles()
    r = run("unload_mid_take", HEAD + "click prerec\nclick record\nwait 2500\nunload\nwait 300\n",
            options=["--timeout", "30"], timeout=120)
    check([e["type"] for e in r.events][-2:] == ["call", "unload"] and r.events[-2]["name"] == "FreeLibrary",
          "the plug-in was freed, last: %s" % r.describe())
    names = os.listdir(USERFILES)
    check(len(names) == 1, "one take: %s" % names)
    take = os.path.join(USERFILES, names[0])
    check_cut_take(take, "what was recorded")


def take_onto_loaded():
    """A take aimed at a file a track has loaded is refused, naming the track;
    the file and the track stay as they were. A name typed without ".wav" in
    the save dialog gets it."""
    fresh_userfiles()
    loaded = os.path.join(DATA, "runs", "loaded.wav")
    plain = os.path.join(DATA, "runs", "plain")
    for name in (plain, plain + ".wav"):
        if os.path.exists(name):
            os.remove(name)
    with open(data("mono.wav"), "rb") as f, open(loaded, "wb") as g:
        original = f.read()
        g.write(original)
    r = run("take_onto_loaded", HEAD + "\n".join([
        "open 1 %s" % loaded, "click prerec", "prerec browse %s" % loaded, "click record", "wait 500",
        "click stoprec", "click play 1", "pull 20",
        "prerec browse %s" % plain, "click record", "wait 300", "click stoprec"]) + "\n")
    check(os.path.exists(plain + ".wav") and not os.path.exists(plain), "the take got the extension .wav")
    boxes = r.boxes()
    check(len(boxes) == 1 and "Track 1 has" in boxes[0] and "loaded.wav" in boxes[0],
          "one refusal naming track 1: %s\n%s" % (boxes, r.describe()))
    check(open(loaded, "rb").read() == original, "the loaded file is unchanged")
    check(not r.of_type("take"), "nothing was recorded")
    _, body = frames(loaded)
    check(r.channel(1) == body[:len(r.channel(1))] and len(r.channel(1)) > 0, "track 1 plays its file")


def destroy_in_handoff():
    """The host destroys the interface from inside the take's load dialog: with
    freed memory held back and checked (the plug-in built with a quarantining
    allocator) nothing writes into it, and a window made again records the next take."""
    fresh_userfiles()
    r = run("destroy_in_handoff", HEAD + "\n".join([
        "click prerec", "click record", "wait 1500", "ui destroy-in-dialog", "click stoprec",
        "ui create", "click prerec", "click record", "wait 800", "click stoprec"]) + "\n",
        options=["--plugin", binary("sondrel_quarantine.oin")])
    seen = r.of_type("destroy-in-dialog")
    check(len(seen) == 1 and seen[0]["inDialog"], "destroyed inside the dialog: %s\n%s" % (seen, r.describe()))
    freed = [line for line in r.stderr.splitlines() if line.startswith("quarantine:")]
    check(not freed, "freed memory was written:\n%s" % "\n".join(freed[:20]))
    takes = takes_of(r)
    check(len(takes) == 2 and takes[1]["loaded"], "the remade window records: %s" % takes)
    check(not r.boxes(), "no error boxes: %s" % r.boxes())


if __name__ == "__main__":
    main(globals(), __doc__)
