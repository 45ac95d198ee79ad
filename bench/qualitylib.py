"""What the picture-quality bench shares: clips with natural texture made at
run time (deterministic: the same bytes for the same ffmpeg), the encoders'
argument lists as Veltrane would run them, and scoring an output against
its source (SSIM in dB and PSNR after scaling back to the source's size).

The photographs come from Debian's mate-backgrounds package
(apt-get install mate-backgrounds); the speech from ffmpeg's flite filter.
Every ffmpeg run goes through nice(1): the machines are shared."""

import json
import math
import os
import random
import re
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib as B  # noqa: E402

PHOTOS = "/usr/share/backgrounds/mate/nature"
MONO_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
SANS_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
NICE = ["nice", "-n", "19"]


def ffmpeg():
    """The build's transcoder where there is a build, else the one on PATH
    (the clips and scores do not depend on Veltrane)."""
    folder = os.environ.get("VELTRANE_RESOURCES") or os.path.join(B.build_dir(), "bin", "resources")
    path = os.path.join(folder, "creator")
    if os.access(path, os.X_OK):
        return os.path.realpath(path)
    return shutil.which("ffmpeg") or sys.exit("ffmpeg is missing (apt-get install ffmpeg)")


def ffprobe():
    folder = os.environ.get("VELTRANE_RESOURCES") or os.path.join(B.build_dir(), "bin", "resources")
    path = os.path.join(folder, "sniffer")
    if os.access(path, os.X_OK):
        return os.path.realpath(path)
    return shutil.which("ffprobe") or sys.exit("ffprobe is missing (apt-get install ffmpeg)")


def run(arguments, nice=True, **kwargs):
    """One ffmpeg run (arguments without the program), timed; exits with its
    messages when it fails."""
    command = (NICE if nice else []) + [ffmpeg(), "-hide_banner", "-nostdin", "-y", *arguments]
    # SVT-AV1 writes a dozen info lines per run; warnings and errors are enough.
    kwargs.setdefault("env", dict(os.environ, SVT_LOG=os.environ.get("SVT_LOG", "2")))
    kwargs.setdefault("stdout", subprocess.DEVNULL)
    kwargs.setdefault("stderr", subprocess.PIPE)
    sample, done = B.timed(command, **kwargs)
    if done.returncode != 0:
        err = done.stderr.decode(errors="replace") if isinstance(done.stderr, bytes) else (done.stderr or "")
        sys.exit(f"ffmpeg failed ({done.returncode}): {' '.join(command)}\n{err[-3000:]}")
    return sample, done


# ---- clips --------------------------------------------------------------------

# The source of every clip: x264 at CRF 18 (a camera's or a screen recorder's
# generous rate), AAC 192k, bit-exact so that the bytes depend only on ffmpeg.
SOURCE_VIDEO = ["-c:v", "libx264", "-preset", "fast", "-crf", "18", "-pix_fmt", "yuv420p"]
SOURCE_AUDIO = ["-c:a", "aac", "-b:a", "192k"]
BITEXACT = ["-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact"]

SPEECH = (
    "Good morning, and welcome back to the garden. Today we walk along the dunes, "
    "where the grass grows tall in the sand and the wind never quite stops. "
    "Look closely at the blades, every one of them catches the light a little differently. "
    "In the spring the meadow turns green within a week, and by summer it is knee high. "
    "We will come back here in the autumn, when the colours change, and compare. "
    "Thank you for watching, and see you next time.")


def speech_graph(seconds, label="a"):
    """A speaking voice (flite) over a quiet room tone that differs between
    the two channels, 48 kHz stereo, exactly `seconds` long."""
    text = SPEECH.replace(",", "\\,").replace("'", "")
    return (f"flite=text='{text}':voice=slt,aresample=48000,apad,atrim=duration={seconds},"
            f"pan=stereo|c0=c0|c1=0.9*c0[voice];"
            f"anoisesrc=color=pink:amplitude=0.004:seed=7:sample_rate=48000:duration={seconds},"
            f"aformat=channel_layouts=mono,pan=stereo|c0=c0|c1=0.2*c0[room];"
            f"[voice][room]amix=inputs=2:normalize=0,aformat=sample_rates=48000:channel_layouts=stereo[{label}]")


def grain(strength):
    # Film grain: fresh every frame, mostly in luma as a camera sensor's.
    if not strength:
        return ""
    return f",noise=c0s={strength}:c0f=t:c1s={max(1, strength // 3)}:c1f=t:c2s={max(1, strength // 3)}:c2f=t"


def photo_graph(image_input, width, height, rate, seconds, motion="pan", grain_strength=8, speed=1.0):
    """A camera moving over the photograph that is ffmpeg input `image_input`:
    a slow pan across it, or a slow zoom into it (scaled per frame, so the
    motion is smooth, not in whole pixels as zoompan's). speed multiplies the
    pan's pace (a 60 fps clip moves faster). The picture is decoded once and
    repeated (the loop filter): reading it again per frame is slow."""
    # Cover the frame with margin to move in: 130 % of the output's width.
    cover_w = int(width * 1.3) // 2 * 2
    repeat = f"loop=loop=-1:size=1,setpts=N/({rate}*TB),fps={rate},trim=duration={seconds}"
    if motion == "pan":
        pan_px = min(cover_w - width, int(width * 0.2 * speed))
        chain = (f"scale={cover_w}:-2:flags=lanczos,{repeat},"
                 f"crop={width}:{height}:x='{pan_px}*t/{seconds}':y='(ih-{height})/2+(ih-{height})/4*sin(t/{seconds}*3.1416)'")
    else:
        # From 100 % to 125 % of the cover size, around a point off centre.
        chain = (f"{repeat},scale=w='{cover_w}*(1+0.25*t/{seconds})':h=-2:eval=frame:flags=bicubic,"
                 f"crop={width}:{height}:x='(iw-{width})*0.4':y='(ih-{height})*0.5'")
    return f"[{image_input}:v]{chain},format=yuv420p{grain(grain_strength)}[v]"


def photo(image):
    path = os.path.join(PHOTOS, image)
    if not os.path.exists(path):
        sys.exit(f"{path} is missing: apt-get install mate-backgrounds")
    return path


def write_photo_clip(path, image, width, height, rate, seconds, motion="pan", grain_strength=8, speed=1.0,
                     audio=True):
    graph = photo_graph(0, width, height, rate, seconds, motion, grain_strength, speed)
    maps = ["-map", "[v]"]
    if audio:
        graph += ";" + speech_graph(seconds)
        maps += ["-map", "[a]"]
    run(["-i", photo(image), "-filter_complex", graph, *maps, *SOURCE_VIDEO, *(SOURCE_AUDIO if audio else []),
         *BITEXACT, "-t", str(seconds), path])


def log_lines(count, seed=1):
    """Deterministic terminal output: a build and a service log."""
    rng = random.Random(seed)
    words = ["worker", "scheduler", "cache", "upload", "index", "thumbnail", "probe", "queue", "session"]
    verbs = ["processed", "flushed", "resized", "skipped", "retried", "queued", "committed"]
    lines = []
    for i in range(count):
        h, m, s = 9 + i // 3600, (i // 60) % 60, i % 60
        kind = rng.choice(["INFO", "INFO", "INFO", "DEBUG", "WARN"])
        lines.append((f"2026-05-01 {h:02}:{m:02}:{s:02}.{rng.randrange(1000):03}",
                      f" {kind:<5} {rng.choice(words)}[{rng.randrange(1, 9)}]: {rng.choice(verbs)} "
                      f"{rng.randrange(1, 5000)} items in {rng.random() * 3:.2f} s"
                      + (f" (batch {rng.randrange(100, 999)}, {rng.randrange(1, 64)} MiB)" if rng.random() < 0.4 else "")))
    return lines


def write_screen_clip(path, width, height, rate, seconds, folder):
    """What a screen recording of a terminal looks like: a window with a
    title bar and a side panel, log lines in bursts (a few lines a second,
    then page jumps, then still), a blinking cursor and a mouse pointer that
    moves now and then. Sharp anti-aliased text on flat colours, most frames
    unchanged: the opposite of a camera's picture."""
    line_h, font = 18, 15
    left, top = width // 6 // 2 * 2, 28
    text_w, text_h = width - left, height - top
    shown = text_h // line_h
    scrolled = int(4 * 4 + 60 + (seconds - 16 if seconds > 16 else 0) + 4)
    lines = log_lines(scrolled + shown + 2)
    logfile = os.path.join(folder, "screen-log.txt")
    with open(logfile, "w") as f:
        f.write("\n".join(stamp + rest for stamp, rest in lines) + "\n")
    sidefile = os.path.join(folder, "screen-side.txt")
    with open(sidefile, "w") as f:
        f.write("\n".join(["src", "  app", "  cli", "  compress", "  probe", "tests", "docs", "README.md",
                           "CMakeLists.txt"]) + "\n")
    tall = os.path.join(folder, "screen-text.png")
    tall_h = (len(lines) + 2) * line_h
    # One drawtext (two would space their lines apart differently: the line
    # height follows the glyphs drawn), then the time stamps' column tinted
    # blue, the background's grey kept.
    stamp_w = 10 + 24 * 9
    run(["-f", "lavfi", "-i", f"color=c=0x1e1e1e:s={text_w}x{tall_h}:d=1",
         "-filter_complex",
         f"[0:v]drawtext=fontfile={MONO_FONT}:fontsize={font}:line_spacing={line_h - font - 2}:x=10:y=6:"
         f"fontcolor=0xd4d4d4:textfile={logfile},format=rgb24,split[all][col];"
         f"[col]crop={stamp_w}:ih:0:0,lutrgb=r='30+(val-30)*0.27':g='30+(val-30)*0.69':b='30+(val-30)*0.99'[blue];"
         f"[all][blue]overlay=0:0", "-frames:v", "1", tall])
    # Lines scrolled by time t: a tail -f burst, two page jumps, a slow crawl.
    scroll = f"(4*clip(t-3,0,4)+30*gte(t,11)+30*gte(t,11.5)+clip(t-16,0,{max(0, seconds - 16)}))"
    graph = (f"color=c=0x252526:s={width}x{height}:r={rate}:d={seconds}[bg];"
             f"[0:v]loop=loop=-1:size=1,setpts=N/({rate}*TB),fps={rate},trim=duration={seconds},"
             f"crop={text_w}:{text_h}:0:'{line_h}*floor({scroll})'[text];"
             f"[bg][text]overlay={left}:{top}:shortest=1,"
             f"drawbox=x=0:y=0:w={width}:h={top}:c=0x3c3c3c:t=fill,"
             f"drawtext=fontfile={SANS_FONT}:fontsize=14:fontcolor=0xcccccc:x=(w-tw)/2:y=7:"
             f"text='user@host\\: ~/veltrane — tail -f service.log',"
             f"drawtext=fontfile={SANS_FONT}:fontsize=14:fontcolor=0xbbbbbb:x=10:y={top + 10}:"
             f"line_spacing=8:textfile={sidefile}[win];"
             f"color=c=0xd4d4d4:s=9x{line_h - 2}:r={rate}:d={seconds}[cursor];"
             f"[win][cursor]overlay=x={left + 10}:y={top + 6 + (shown - 1) * line_h}:"
             f"enable='lt(mod(t,1),0.5)'[withcursor];"
             f"color=c=white:s=11x17:r={rate}:d={seconds},drawbox=c=black:t=1[pointer];"
             f"[withcursor][pointer]overlay=eval=frame:"
             f"x='{width // 2}+{width // 4}*sin(clip(t-12,0,4)*0.8)':"
             f"y='{height // 2}+{height // 5}*(1-cos(clip(t-12,0,4)*0.6))',format=yuv420p[v]")
    run(["-i", tall, "-filter_complex", graph, "-map", "[v]", *SOURCE_VIDEO, "-tune", "stillimage", *BITEXACT,
         "-t", str(seconds), path])


def write_slides_clip(path, images, width, height, rate, seconds):
    """A static slide show: photographs shown in turn, hard cuts, no motion,
    with the speaking voice."""
    each = seconds / len(images)
    inputs, parts = [], []
    for i, image in enumerate(images):
        inputs += ["-i", photo(image)]
        parts.append(f"[{i}:v]scale={width}:{height}:force_original_aspect_ratio=increase:flags=lanczos,"
                     f"crop={width}:{height},setsar=1,loop=loop=-1:size=1,setpts=N/({rate}*TB),fps={rate},"
                     f"trim=duration={each},setpts=PTS-STARTPTS[s{i}]")
    graph = ";".join(parts) + ";" + "".join(f"[s{i}]" for i in range(len(images))) + \
        f"concat=n={len(images)}:v=1:a=0,format=yuv420p[v];" + speech_graph(seconds)
    run([*inputs, "-filter_complex", graph, "-map", "[v]", "-map", "[a]", *SOURCE_VIDEO, *SOURCE_AUDIO,
         *BITEXACT, "-t", str(seconds), path])


def write_vfr_clip(path, image, width, height, seconds, folder):
    """A variable-frame-rate clip as a phone writes it: a pan shot at 30 fps,
    at 15 fps for a stretch (low light: every other frame gone) and now and
    then a frame dropped; kept as they are (-fps_mode passthrough), in an
    mp4 with a 90 kHz time scale. Deterministic: the drops are functions of
    the frame numbers. (The few milliseconds of jitter added to each time
    are rounded away by the encoder's 1/30 s time base: the frames sit on a
    1/30 s grid with gaps.)"""
    rate = 30
    cfr = os.path.join(folder, "vfr-cfr.mkv")
    graph = photo_graph(0, width, height, rate, seconds, "pan", 6)
    run(["-i", photo(image), "-filter_complex", graph, "-map", "[v]", "-c:v", "ffv1", "-t", str(seconds), cfr])
    low = (seconds * 0.3, seconds * 0.6)
    graph = (f"[0:v]select='not(between(t,{low[0]},{low[1]})*mod(n,2)+eq(mod(n*7,23),5))',"
             f"setpts='PTS+0.004*sin(N*12.9898)/TB'[v];" + speech_graph(seconds))
    run(["-i", cfr, "-filter_complex", graph, "-map", "[v]", "-map", "[a]", *SOURCE_VIDEO, *SOURCE_AUDIO,
         "-fps_mode", "passthrough", "-video_track_timescale", "90000", *BITEXACT, "-t", str(seconds), path])
    os.remove(cfr)


# name: (what it is, how to make it). Durations stay short so a run stays short.
CLIPS = {
    "photo-dune-720p": ("720p25, 20 s: pan over grass on a dune, grain, speech",
                        lambda p, d: write_photo_clip(p, "Dune.jpg", 1280, 720, 25, 20, "pan", 8)),
    "photo-meadow-1080p": ("1080p25, 20 s: zoom into a meadow, grain, speech",
                           lambda p, d: write_photo_clip(p, "GreenMeadow.jpg", 1920, 1080, 25, 20, "zoom", 8)),
    "photo-raindrops-1080p": ("1080p30, 15 s: pan over leaves with raindrops, light grain, speech",
                              lambda p, d: write_photo_clip(p, "RainDrops.jpg", 1920, 1080, 30, 15, "pan", 4)),
    "screen-720p": ("720p30, 20 s: a terminal's log scrolling in bursts, cursor, pointer; silent",
                    lambda p, d: write_screen_clip(p, 1280, 720, 30, 20, d)),
    "motion-720p60": ("720p60, 12 s: a fast pan over a flower, grain, speech",
                      lambda p, d: write_photo_clip(p, "LadyBird.jpg", 1280, 720, 60, 12, "pan", 6, speed=1.5)),
    "slides-1080p": ("1080p25, 20 s: four photographs, 5 s each, hard cuts, speech",
                     lambda p, d: write_slides_clip(p, ["Storm.jpg", "Garden.jpg", "Wood.jpg", "Aqua.jpg"],
                                                    1920, 1080, 25, 20)),
    "vfr-720p": ("720p, 10 s, variable frame rate (30 fps with jitter, 15 fps stretch, drops), speech",
                 lambda p, d: write_vfr_clip(p, "Blinds.jpg", 1280, 720, 10, d)),
}


def make_clip(name, folder):
    """The clip's path in folder, made once (kept between runs: same bytes)."""
    path = os.path.join(folder, name + ".mp4")
    if not os.path.exists(path):
        os.makedirs(folder, exist_ok=True)
        partial = path + ".partial.mp4"
        CLIPS[name][1](partial, folder)
        os.replace(partial, path)
    return path


# ---- what a file is ---------------------------------------------------------

def probe(path):
    """Size, duration and the video stream's facts a plan needs."""
    out = subprocess.run([ffprobe(), "-v", "error", "-show_entries",
                          "format=duration,size:stream=codec_type,width,height,r_frame_rate,avg_frame_rate,nb_frames,"
                          "bit_rate,channels", "-of", "json", path], capture_output=True, text=True, check=True)
    info = json.loads(out.stdout)
    video = next(s for s in info["streams"] if s["codec_type"] == "video")
    audio = next((s for s in info["streams"] if s["codec_type"] == "audio"), None)
    return {"size": int(info["format"]["size"]), "duration": float(info["format"]["duration"]),
            "width": video["width"], "height": video["height"], "r_frame_rate": rate(video["r_frame_rate"]),
            "avg_frame_rate": rate(video["avg_frame_rate"]), "frames": int(video.get("nb_frames", 0) or 0),
            "video_bitrate": int(video.get("bit_rate", 0) or 0),
            "audio_bitrate": int(audio.get("bit_rate", 0) or 0) if audio else 0,
            "channels": audio.get("channels", 0) if audio else 0}


def rate(text):
    num, _, den = text.partition("/")
    return float(num) / float(den or 1) if float(den or 1) else 0.0


def frame_intervals(path, packets=600):
    """Display intervals between the first packets of the video stream
    (seconds), from the container's timestamps: no decoding. Packets come
    in decoding order; only those whose display time is at most the last
    decoding time read are all in (B-frames show later than they decode)."""
    out = subprocess.run([ffprobe(), "-v", "error", "-select_streams", "v:0", "-read_intervals", f"%+#{packets}",
                          "-show_entries", "packet=pts_time,dts_time", "-of", "csv=p=0", path],
                         capture_output=True, text=True, check=True)
    pairs = [line.split(",") for line in out.stdout.split()]
    pairs = [(float(p), float(d)) for p, d in pairs if p not in ("N/A", "") and d not in ("N/A", "")]
    if not pairs:
        return []
    last = max(d for _, d in pairs)
    times = sorted(p for p, _ in pairs if p <= last)
    return [b - a for a, b in zip(times, times[1:])]


def is_variable_rate(path, packets=600, tolerance=0.25):
    """True where the frames' display intervals differ by more than a
    quarter of their median (a 29.97 clip in a 90 kHz track has intervals
    of 3003 or 3004 ticks: equal within far less)."""
    intervals = frame_intervals(path, packets)
    if len(intervals) < 3:
        return False
    ordered = sorted(intervals)
    mid = ordered[len(ordered) // 2]
    return mid > 0 and (ordered[-1] - ordered[0]) > tolerance * mid


# ---- scoring ----------------------------------------------------------------

SSIM_LINE = re.compile(r"SSIM Y:\S+ \(\S+\) U:\S+ \(\S+\) V:\S+ \(\S+\) All:(\S+) \((\S+)\)")
NAMED_SSIM_LINE = re.compile(r"Parsed_ssim_(\d+) @ \S+\] SSIM Y:\S+ \(\S+\) U:\S+ \(\S+\) V:\S+ \(\S+\) All:(\S+)")
PSNR_LINE = re.compile(r"PSNR y:(\S+) u:\S+ v:\S+ average:(\S+)")


def score(output, source, scaler="bicubic", grid=None):
    """SSIM (the ssim filter's "All", as a fraction and in dB) and PSNR
    (average over Y, U, V) of output against source. The output is scaled
    back to the source's size with `scaler`; both are put on one constant
    grid of display times (the source's nominal rate, or `grid`), each
    sample being the frame shown at that moment, so a halved frame rate, a
    frame more or less at the end or a variable-rate source are scored by
    what a viewer sees rather than frame by frame."""
    src = probe(source)
    grid = grid or (src["r_frame_rate"] if 0 < src["r_frame_rate"] <= 120 else 60)
    w, h = src["width"], src["height"]
    common = f"fps=fps={grid}:round=near,format=yuv420p"
    graph = (f"[0:v]setpts=PTS-STARTPTS,scale={w}:{h}:flags={scaler},setsar=1,{common},split[o1][o2];"
             f"[1:v]setpts=PTS-STARTPTS,setsar=1,{common},split[s1][s2];"
             f"[o1][s1]ssim=shortest=1;[o2][s2]psnr=shortest=1")
    _, done = run(["-i", output, "-i", source, "-lavfi", graph, "-f", "null", "-"])
    log = done.stderr.decode(errors="replace")
    ssim, psnr = SSIM_LINE.search(log), PSNR_LINE.search(log)
    if not ssim or not psnr:
        sys.exit(f"no SSIM/PSNR from {output}:\n{log[-2000:]}")
    return {"ssim": float(ssim.group(1)), "ssim_db": ssim_db(float(ssim.group(1))),
            "psnr": float(psnr.group(2)) if psnr.group(2) != "inf" else math.inf}


def ssim_db(value):
    # As the ssim filter prints it; a perfect match is infinite.
    return -10 * math.log10(1 - value) if value < 1 else math.inf


# ---- encoders ---------------------------------------------------------------

def planned(source, output, video_kbps, audio_kbps, filters=None):
    """The planned list, as the README gives it (ffmpeg's defaults for mp4:
    libx264 medium, native AAC)."""
    args = ["-i", source, "-sn", "-dn", "-map_chapters", "-1", "-map_metadata", "-1", "-pix_fmt", "yuv420p",
            "-avoid_negative_ts", "1", "-b:v", f"{video_kbps:g}k"]
    if audio_kbps:
        args += ["-b:a", f"{audio_kbps:g}k"]
    if filters:
        args += ["-vf", filters]
    return args + ["-y", output]


def video_arguments(codec, video_kbps, pass_=0, stats=None, preset=None, svt_params=None):
    """The codec's own arguments at an average bitrate. pass_: 0 one pass,
    1 or 2 a pass of two, writing/reading `stats`. H.264 pass 1 here is the
    full first run (-fastfirstpass 0), whose output is the planned one's.
    Presets by default: x264 ffmpeg's (medium), x265 fast (better SSIM per
    byte than medium here, for less time), SVT-AV1 10 (pass 9 from 1080p
    up: each is no slower than x264 medium at its size)."""
    rate = ["-b:v", f"{video_kbps:g}k"]
    if codec == "h264":
        args = ["-c:v", "libx264", *(["-preset", preset] if preset else []), *rate]
        if pass_:
            args += ["-pass", str(pass_), "-passlogfile", stats]
            if pass_ == 1:
                args += ["-fastfirstpass", "0"]
        return args
    if codec == "h265":
        params = ["log-level=error"] + ([f"pass={pass_}", f"stats={stats}"] if pass_ else [])
        return ["-c:v", "libx265", "-preset", preset or "fast", *rate, "-x265-params", ":".join(params),
                "-tag:v", "hvc1"]
    if codec == "av1":
        args = ["-c:v", "libsvtav1", "-preset", str(preset if preset is not None else 8), *rate]
        if svt_params:
            args += ["-svtav1-params", svt_params]
        return args
    raise ValueError(codec)


def encode(source, output, codec, video_kbps, audio_kbps=None, filters=None, pass_=0, stats=None, preset=None,
           svt_params=None, audio_channels=None, extra=(), audio=True):
    """One encode: the planned list's common part, the codec's arguments, the
    audio (AAC at audio_kbps, or none). Returns (Sample, output size)."""
    args = ["-i", source, "-sn", "-dn", "-map_chapters", "-1", "-map_metadata", "-1", "-pix_fmt", "yuv420p",
            "-avoid_negative_ts", "1", *video_arguments(codec, video_kbps, pass_, stats, preset, svt_params)]
    if audio and audio_kbps:
        args += ["-c:a", "aac", "-b:a", f"{audio_kbps:g}k"]
        if audio_channels:
            args += ["-ac", str(audio_channels)]
    else:
        args += ["-an"]
    if filters:
        args += ["-vf", filters]
    args += [*extra, output]
    sample, _ = run(args)
    return sample, os.path.getsize(output) if output != "/dev/null" else 0


def scale_filter(src, percent, fps_cap=None):
    """The chain for a share of the source's size (even sides, as Veltrane's
    plan rounds them) and a frame-rate cap."""
    chain = []
    if percent != 100:
        w = max(2, 2 * round(src["width"] * percent / 100 / 2))
        h = max(2, 2 * round(src["height"] * percent / 100 / 2))
        chain.append(f"scale={w}:{h},setsar=1:1")
    if fps_cap and src["r_frame_rate"] > fps_cap + 0.5:
        chain.insert(0, f"fps={fps_cap}")
    return ",".join(chain) or None


def planned_kbps(target_bytes, duration, has_audio=True):
    """Veltrane's plan (Planning::planBitrates): total kb/s from the target,
    then audio 128k above 368k total, else a third of it."""
    total = round(target_bytes / 1000000 * 0.97 * 8192 / duration)
    if not has_audio:
        return total, None
    if total <= 368:
        return 2 / 3 * total * 0.96, total / 3 * 0.96
    return total - 128, 128


def stream_bytes(path):
    """Bytes of the video and audio packets, and what the container adds
    (the file less both): read off the packets, no decoding."""
    out = subprocess.run([ffprobe(), "-v", "error", "-show_entries", "packet=codec_type,size", "-of", "csv=p=0", path],
                         capture_output=True, text=True, check=True)
    sums = {"video": 0, "audio": 0}
    packets = {"video": 0, "audio": 0}
    for line in out.stdout.split():
        kind, _, size = line.partition(",")
        if kind in sums and size.isdigit():
            sums[kind] += int(size)
            packets[kind] += 1
    size = os.path.getsize(path)
    return {"video": sums["video"], "audio": sums["audio"], "container": size - sums["video"] - sums["audio"],
            "video_packets": packets["video"], "audio_packets": packets["audio"]}


def audio_curve(total_kbps):
    """The proposed audio for a row's total kb/s: 10 % of it, between 32 and
    128 kb/s, never more than a third of the row; mono below 48 kb/s.
    Returns (kb/s, channels)."""
    kbps = min(max(32.0, min(128.0, 0.1 * total_kbps)), total_kbps / 3)
    return kbps, (1 if kbps < 48 else 2)


# ---- choosing the size and frame rate from the content ----------------------

CANDIDATES = [(100, None), (75, None), (67, None), (50, None)]


def sample_segments(duration, count=3, seconds=1.0):
    """Where the samples are taken: `count` stretches of `seconds`, spread
    evenly (the middle of equal parts of the clip), all of it when the clip
    is shorter than the samples together."""
    if duration <= count * seconds:
        return [(0.0, duration)]
    return [(max(0.0, duration * (i + 0.5) / count - seconds / 2), seconds) for i in range(count)]


def sample_measure(source, video_kbps, folder, candidates=None, count=3, seconds=1.0, preset="veryfast"):
    """A quick measurement of which output size (and frame-rate cap) gives
    the best picture at a bitrate: the same short stretches of the source
    encoded at every candidate in one ffmpeg run (decoded once; x264 at
    `preset`, one pass at video_kbps), then all scored in one more run
    against the stretches (SSIM after scaling back). Returns the candidates'
    scores and sizes, and what the two runs cost (a benchlib.Sample)."""
    candidates = candidates or CANDIDATES
    src = probe(source)
    parts = sample_segments(src["duration"], count, seconds)
    inputs = []
    for start, length in parts:
        inputs += ["-ss", f"{start:.3f}", "-t", f"{length:.3f}", "-i", source]
    join = "".join(f"[{i}:v]" for i in range(len(parts))) + f"concat=n={len(parts)}:v=1:a=0"
    names = [f"c{percent}-{cap or 0}" for percent, cap in candidates]
    graph = [f"{join},split={len(candidates)}" + "".join(f"[{n}]" for n in names)]
    outputs = []
    for (percent, cap), n in zip(candidates, names):
        chain = scale_filter(src, percent, cap)
        graph.append(f"[{n}]{chain or 'null'}[o{n}]")
        path = os.path.join(folder, f"sample-{n}.mp4")
        outputs += ["-map", f"[o{n}]", "-c:v", "libx264", "-preset", preset, "-b:v", f"{video_kbps:g}k",
                    "-pix_fmt", "yuv420p", path]
    cost, _ = run([*inputs, "-filter_complex", ";".join(graph), *outputs])
    # Scoring: the stretches again, split once per candidate.
    grid = src["r_frame_rate"] if 0 < src["r_frame_rate"] <= 120 else 60
    common = f"fps=fps={grid}:round=near,format=yuv420p"
    score_inputs = list(inputs)
    for n in names:
        score_inputs += ["-i", os.path.join(folder, f"sample-{n}.mp4")]
    graph = [f"{join},setpts=PTS-STARTPTS,setsar=1,{common},split={len(names)}" + "".join(f"[s{n}]" for n in names)]
    for k, n in enumerate(names):
        graph.append(f"[{len(parts) + k}:v]setpts=PTS-STARTPTS,scale={src['width']}:{src['height']}:flags=bicubic,"
                     f"setsar=1,{common}[d{n}];[d{n}][s{n}]ssim=shortest=1")
    scored, done = run([*score_inputs, "-filter_complex", ";".join(graph), "-f", "null", "-"])
    # Each ssim filter names itself by its place in the graph: sorted by it,
    # the lines come in the candidates' order.
    lines = sorted((int(k), v) for k, v in NAMED_SSIM_LINE.findall(done.stderr.decode(errors="replace")))
    if len(lines) != len(names):
        sys.exit(f"expected {len(names)} SSIM lines from the sample scoring, got {len(lines)}")
    results = []
    for (percent, cap), n, (_, value) in zip(candidates, names, lines):
        results.append({"percent": percent, "fps_cap": cap, "ssim_db": ssim_db(float(value)),
                        "bytes": os.path.getsize(os.path.join(folder, f"sample-{n}.mp4"))})
    return results, cost + scored


# ---- a peer ---------------------------------------------------------------------

HANDBRAKE_ENCODERS = {"h264": ("x264", "medium"), "h265": ("x265", "medium"), "av1": ("svt_av1", "10")}


def handbrake_command(handbrake, source, output, codec, video_kbps, audio_kbps, width, height, two_pass=True,
                      preset=None):
    """HandBrakeCLI set up as bench/compress sets it up for x264, for any of
    the three formats: the same average bitrate, picture size (no cropping,
    square pixels), AAC stereo at the same bitrate; two passes with a fast
    ("turbo") first pass."""
    encoder, default_preset = HANDBRAKE_ENCODERS[codec]
    command = [handbrake, "-i", source, "-o", output, "-f", "av_mp4", "-e", encoder,
               "--encoder-preset", str(preset or default_preset),
               *(["--two-pass", "--turbo"] if two_pass else ["--no-two-pass"]), "-b", str(round(video_kbps)),
               "--crop-mode", "none", "--non-anamorphic", "-w", str(width), "-l", str(height)]
    if audio_kbps:
        command += ["-a", "1", "-E", "av_aac", "-B", str(round(audio_kbps)), "-6", "stereo"]
    else:
        command += ["-a", "none"]
    return command


# ---- fitting ----------------------------------------------------------------

def second_pass_kbps(target, first_size, first_video_bytes, duration, codec="h264", first_kbps=None):
    """The rate of the one correcting run, from the first run's measured
    size. Audio and container (first_size - first_video_bytes) come back
    byte for byte. x264 and x265 second passes spend about 98.5 % of what
    they are asked on camera content, so the aim (98 % of the target) is
    divided by that; SVT-AV1's single pass moves its bytes faster than its
    rate (as rate^1.1 to rate^1.7), so its correction is damped and aims
    lower."""
    fixed = first_size - first_video_bytes
    if codec == "av1":
        need = 0.95 * target - fixed
        return first_kbps * (max(need, 1) / first_video_bytes) ** 0.7
    return max(0.0, 0.98 * target - fixed) * 8 / 0.985 / duration / 1000


def third_pass_kbps(target, size, video_bytes, duration, asked_kbps):
    """A further correction, from a second pass's own accuracy."""
    accuracy = video_bytes * 8 / 1000 / duration / asked_kbps
    return max(0.0, 0.98 * target - (size - video_bytes)) * 8 / accuracy / duration / 1000
