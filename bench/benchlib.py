"""What the bench scripts share: finding the build, making clips, timing
commands side by side, and printing the tables."""

import json
import os
import resource
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def build_dir():
    # As scripts/build reads it: relative to the source tree.
    return os.path.join(ROOT, os.environ.get("VELTRANE_BUILD_DIR") or "build")


def binary(name):
    path = os.path.join(build_dir(), "bin", name)
    if not os.access(path, os.X_OK):
        sys.exit(f"{path} is missing: build first (see README.md), or set VELTRANE_BUILD_DIR")
    return path


def tool(name):
    """The tool the app runs, resolved to the binary itself so the raw runs
    use the very same ffmpeg/ffprobe."""
    folder = os.environ.get("VELTRANE_RESOURCES") or os.path.join(build_dir(), "bin", "resources")
    path = os.path.join(folder, name)
    if not os.access(path, os.X_OK):
        sys.exit(f"{path} is missing: build first (see README.md)")
    return os.path.realpath(path)


def clocked_resources(folder, log):
    """A resources folder whose transcoder is the real one under a wrapper
    that logs when each run starts and ends. A batch's wall time less its
    encodes is then the app's own part, read within one run and so free of
    the noise between runs. The wrapper's own start-up (a few ms) counts
    against the app."""
    os.makedirs(folder, exist_ok=True)
    os.symlink(tool("sniffer"), os.path.join(folder, "sniffer"))
    creator = os.path.join(folder, "creator")
    with open(creator, "w") as f:
        f.write("#!/bin/bash\n"
                "start=$EPOCHREALTIME\n"
                f"{shlex.quote(tool('creator'))} \"$@\"\n"
                "status=$?\n"
                f"echo \"$start $EPOCHREALTIME\" >> {shlex.quote(log)}\n"
                "exit $status\n")
    os.chmod(creator, 0o755)
    return folder


def logged_seconds(log):
    """Total seconds of the runs a clocked transcoder logged, and empties the log."""
    total = 0.0
    if os.path.exists(log):
        with open(log) as f:
            for line in f:
                start, end = (float(v.replace(",", ".")) for v in line.split())
                total += end - start
        os.remove(log)
    return total


def gui_env(work):
    """The harness's environment: offscreen unless told otherwise, and a
    runtime folder of its own inside the working folder where none is set."""
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    if not env.get("XDG_RUNTIME_DIR"):
        env["XDG_RUNTIME_DIR"] = os.path.join(work, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
    return env


def workdir(keep):
    path = tempfile.mkdtemp(prefix="veltrane-bench-")
    if keep:
        print(f"working folder (kept): {path}")
    return path


def cleanup(path, keep):
    if not keep:
        shutil.rmtree(path, ignore_errors=True)


def machine():
    model = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return {"nproc": os.cpu_count(), "cpu": model, "load": os.getloadavg()}


def print_machine(label="machine"):
    m = machine()
    load = " ".join(f"{x:.2f}" for x in m["load"])
    print(f"{label}: {m['nproc']} cores, {m['cpu']}, load average {load}")


# ---- clips --------------------------------------------------------------------

PICTURES = {
    # a moving test pattern under fresh noise every frame
    "pattern": "testsrc2=size={w}x{h}:rate={r}:duration={s},noise=alls=20:allf=t",
    # a zoom into a fractal: detail that keeps changing
    "mandelbrot": "mandelbrot=size={w}x{h}:rate={r},trim=duration={s}",
}


def make_clip(path, width, height, seconds, audio, rate=25, video_kbps=None, picture="pattern"):
    """A clip the encoder has to work on (picture: a key of PICTURES). audio:
    None, "stereo" or "5.1". Written fast (ultrafast) at a bitrate the target
    sizes are then taken from."""
    video_kbps = video_kbps or max(1000, width * height * rate // 6000)
    command = [tool("creator"), "-v", "error", "-nostdin", "-y",
               "-f", "lavfi",
               "-i", PICTURES[picture].format(w=width, h=height, r=rate, s=seconds)]
    if audio:
        layout = "5.1" if audio == "5.1" else "stereo"
        command += ["-f", "lavfi",
                    "-i", f"anoisesrc=color=pink:amplitude=0.2:duration={seconds}:sample_rate=48000",
                    "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}:sample_rate=48000",
                    "-filter_complex", f"[1:a][2:a]amix=inputs=2,aformat=channel_layouts={layout}[a]",
                    "-map", "0:v", "-map", "[a]", "-c:a", "aac", "-b:a", "256k" if audio == "5.1" else "160k"]
    command += ["-c:v", "libx264", "-preset", "ultrafast", "-b:v", f"{video_kbps}k",
                "-pix_fmt", "yuv420p", path]
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL)
    return path


# ---- timing -------------------------------------------------------------------

class Sample:
    """One timed run: wall-clock seconds, and CPU seconds (user + system) of
    everything it ran. CPU time barely moves with what other programs on the
    machine are doing, so it shows added work even where wall time is noisy."""

    def __init__(self, wall=0.0, cpu=0.0):
        self.wall = wall
        self.cpu = cpu

    def __add__(self, other):
        return Sample(self.wall + other.wall, self.cpu + other.cpu)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(command, **kwargs):
    """A command's Sample, start to exit, and its completed process. The CPU
    time counts the command and every child it waited for."""
    kwargs.setdefault("stdin", subprocess.DEVNULL)
    cpu = children_cpu()
    start = time.monotonic()
    done = subprocess.run(command, **kwargs)
    return Sample(time.monotonic() - start, children_cpu() - cpu), done


def interleaved(reps, methods):
    """Runs each method once per repetition, rotating which goes first so that
    no method always meets the machine in the same state. methods: a list of
    (name, callable returning a Sample). Returns {name: [Sample...]}."""
    samples = {name: [] for name, _ in methods}
    for rep in range(reps):
        shift = rep % len(methods)
        for name, run in methods[shift:] + methods[:shift]:
            sample = run()
            samples[name].append(sample)
            print(f"  rep {rep + 1}/{reps}  {name:<34} {sample.wall:8.3f} s wall {sample.cpu:8.3f} s cpu", flush=True)
    return samples


def median(values):
    return statistics.median(values) if values else float("nan")


def paired_ratio(values, baseline):
    """Median of the per-repetition ratios: runs made side by side share the
    machine's state of the moment, so their ratio holds better than either time."""
    return median([v / b for v, b in zip(values, baseline) if b > 0])


def time_table(samples, baseline, targets, notes=None, cores=None):
    """The timing table: medians of wall and CPU time, and each method's
    ratio to the baseline's. targets: {name: highest ratio allowed}; the
    verdict is on wall time, which is what a user waits for. cores: {name:
    cores a method spreads its work over}; those rows also show the ideal
    ratio (the baseline spread evenly, 1 / cores) and the measured one over it."""
    notes = notes or {}
    cores = cores or {}
    rows = []
    verdicts = {}
    base = samples[baseline]
    for name, values in samples.items():
        wall = paired_ratio([v.wall for v in values], [b.wall for b in base])
        cpu = paired_ratio([v.cpu for v in values], [b.cpu for b in base])
        if name == baseline:
            target, result = "(baseline)", ""
        elif name in targets:
            target, result = f"<= {targets[name]:.2f}", verdict(wall <= targets[name])
            verdicts[name] = wall <= targets[name]
        else:
            target, result = notes.get(name, "(peer)"), ""
        spread = []
        if cores:
            n = cores.get(name)
            spread = [str(n), f"{1 / n:.3f}", f"{wall * n:.2f}"] if n else ["", "", ""]
        rows.append([name, f"{median([v.wall for v in values]):.3f} s", f"{wall:.3f}",
                     f"{median([v.cpu for v in values]):.3f} s", f"{cpu:.3f}", *spread, target, result])
    for name, note in notes.items():
        if name not in samples:
            rows.append([name, "-", "-", "-", "-", *(["-"] * 3 if cores else []), note, "skipped"])
    table(["method", "wall (median)", "ratio", "cpu (median)", "cpu ratio",
           *(["cores", "ideal", "ratio / ideal"] if cores else []), "target", "result"], rows)
    return verdicts


def percentile(values, q):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


# ---- tables -------------------------------------------------------------------

def table(headers, rows):
    cells = [[str(h) for h in headers]] + [[str(c) for c in row] for row in rows]
    widths = [max(len(row[i]) for row in cells) for i in range(len(headers))]
    lines = []
    for n, row in enumerate(cells):
        lines.append("  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(row, widths))))
        if n == 0:
            lines.append("  ".join("-" * w for w in widths))
    print("\n".join(lines))


def verdict(ok):
    return "PASS" if ok else "MISS"


def read_json(path):
    with open(path) as f:
        return json.load(f)


def positive_int(text):
    value = int(text)
    if value < 1:
        raise ValueError(text)
    return value
