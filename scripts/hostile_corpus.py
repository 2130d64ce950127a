#!/usr/bin/env python3
"""Hostile inputs for the converter: small generated metafiles that ask for a great deal of
work or memory, and a runner that converts each one under a CPU-time and address-space limit.

    hostile_corpus.py generate DIR          writes the files into DIR
    hostile_corpus.py run QUELLMARK DIR     generates into DIR, converts every file, prints the
                                            time and peak memory of each; exit 1 when a file
                                            crashed the program, hit a limit or hung

Limits (environment): QM_HOSTILE_CPU_SECONDS (5), QM_HOSTILE_AS_MB (2048).
Every file should finish within the CPU seconds; one that does not is named in the summary.
The run fails when a file passes twice that, twice in a row: on a busy machine the kernel's
page clearing and reclaim for the largest pictures (1 GiB each) is charged to the program, so
the goal itself is a measurement, not a reliable pass mark. On a machine whose memory is slower
than the one the goal was set on (measured before the run, by clearing and copying 1 GiB), that
hard limit grows with it, up to three times: a file that asks for too much work takes ten or a
hundred times longer, not three.
"""
import gzip
import os
import random
import resource
import signal
import struct
import subprocess
import sys
import time
import zlib

# Record types.
HEADER, EOF = 1, 14
POLYBEZIER16, POLYGON16, POLYLINE16, POLYPOLYGON16 = 85, 86, 87, 91
SELECTOBJECT, CREATEPEN, CREATEBRUSHINDIRECT = 37, 38, 39
BEGINPATH, ENDPATH, FILLPATH, STROKEPATH, WIDENPATH = 59, 60, 62, 64, 66
FILLRGN, EXTSELECTCLIPRGN, GRADIENTFILL, PATBLT, STRETCHDIBITS = 71, 75, 118, 0x4C, 81

SIDE = 1000  # picture size in pixels for the drawing cases


def record(kind, payload):
    return struct.pack('<II', kind, 8 + len(payload)) + payload


def rect(l, t, r, b):
    return struct.pack('<iiii', l, t, r, b)


def metafile(records, width=SIDE, height=SIDE):
    """A whole metafile: header (1 px = 0.25 mm), the records, end-of-file."""
    body = b''.join(records) + record(EOF, struct.pack('<III', 0, 16, 20))
    total = 88 + len(body)
    header = record(HEADER, rect(0, 0, width - 1, height - 1) +
                    rect(0, 0, width * 25, height * 25) +
                    struct.pack('<IIIIHHIII', 0x464D4520, 0x10000, total, len(records) + 2, 8,
                                0, 0, 0, 0) +
                    struct.pack('<iiii', 400, 400, 100, 100))
    return header + body


def points16(pts):
    return b''.join(struct.pack('<hh', x, y) for x, y in pts)


def bounds():
    return rect(0, 0, SIDE, SIDE)


def pen_and_brush():
    return [record(CREATEPEN, struct.pack('<IIiiI', 1, 0, 0, 0, 0x0000FF)),
            record(SELECTOBJECT, struct.pack('<I', 1)),
            record(CREATEBRUSHINDIRECT, struct.pack('<IIII', 2, 0, 0x00FF00, 0)),
            record(SELECTOBJECT, struct.pack('<I', 2))]


def triangles(count, rng, size):
    polys = []
    for _ in range(count):
        x, y = rng.randrange(SIDE - size), rng.randrange(SIDE - size)
        polys.append([(x, y), (x + rng.randrange(1, size), y), (x, y + rng.randrange(1, size))])
    return polys


def polypolygon(polys):
    pts = [p for poly in polys for p in poly]
    payload = bounds() + struct.pack('<II', len(polys), len(pts))
    payload += struct.pack('<%dI' % len(polys), *[len(p) for p in polys]) + points16(pts)
    return record(POLYPOLYGON16, payload)


def poly(kind, pts):
    return record(kind, bounds() + struct.pack('<I', len(pts)) + points16(pts))


def region_data(rects):
    header = struct.pack('<IIII', 32, 1, len(rects), 16 * len(rects)) + rect(0, 0, SIDE, SIDE)
    return header + b''.join(rect(*r) for r in rects)


def scattered_rects(count, rng):
    # Rows of small separate rectangles, as a region built from a bitmap mask looks.
    out, per_row = [], 300
    for i in range(count):
        row, col = divmod(i, per_row)
        y = (row * 3) % SIDE
        x = col * 3
        out.append((x, y, x + 2, y + 2))
    return out


def gradient(count, rng):
    vertices, tris = [], []
    for i in range(count):
        x, y = rng.randrange(SIDE - 100), rng.randrange(SIDE - 100)
        for _ in range(3):
            vertices.append(struct.pack('<iiHHHH', x + rng.randrange(100), y + rng.randrange(100),
                                        rng.randrange(0x10000), rng.randrange(0x10000),
                                        rng.randrange(0x10000), 0))
        tris.append(struct.pack('<III', 3 * i, 3 * i + 1, 3 * i + 2))
    payload = bounds() + struct.pack('<III', len(vertices), count, 2)
    return record(GRADIENTFILL, payload + b''.join(vertices) + b''.join(tris))


def random_walk(count, rng, step):
    x, y, pts = SIDE // 2, SIDE // 2, []
    for _ in range(count):
        x = min(max(x + rng.randint(-step, step), 0), SIDE - 1)
        y = min(max(y + rng.randint(-step, step), 0), SIDE - 1)
        pts.append((x, y))
    return pts


def cases(rng):
    """name -> bytes of every generated metafile."""
    zigzag = random_walk(1000000, rng, 8)
    curve = random_walk(3 * 333333 + 1, rng, 30)
    long_lines = [(rng.randrange(SIDE), rng.randrange(SIDE)) for _ in range(1000000)]
    wide_pen = record(CREATEPEN, struct.pack('<IIiiI', 0, 5, 0, 0, 0xFF0000))
    yield 'triangles_100k.emf', metafile(pen_and_brush() + [polypolygon(triangles(100000, rng, 200))])
    yield 'triangles_1m.emf', metafile(pen_and_brush() + [polypolygon(triangles(1000000, rng, 20))])
    yield 'polygon_1m_points.emf', metafile(pen_and_brush() + [poly(POLYGON16, zigzag)])
    yield 'polyline_1m_points.emf', metafile(pen_and_brush() + [poly(POLYLINE16, zigzag)])
    yield 'polygon_1m_long_edges.emf', metafile(pen_and_brush() + [poly(POLYGON16, long_lines)])
    yield 'polybezier_1m_points.emf', metafile(pen_and_brush() + [poly(POLYBEZIER16, curve)])
    yield 'widenpath_1m_points.emf', metafile(
        pen_and_brush() + [wide_pen, record(SELECTOBJECT, struct.pack('<I', 3)),
                           record(BEGINPATH, b''), poly(POLYLINE16, zigzag),
                           record(ENDPATH, b''), record(WIDENPATH, b''),
                           record(FILLPATH, bounds())])
    region = region_data(scattered_rects(100000, rng))
    yield 'fillrgn_100k_rects.emf', metafile(
        pen_and_brush() + [record(FILLRGN, bounds() + struct.pack('<II', len(region), 2) + region)])
    yield 'cliprgn_100k_rects.emf', metafile(
        pen_and_brush() + [record(EXTSELECTCLIPRGN, struct.pack('<II', len(region), 5) + region),
                           record(PATBLT, bounds() + struct.pack('<iiiiI', 0, 0, SIDE, SIDE,
                                                                 0x00F00021) + bytes(68))])
    yield 'gradient_100k_triangles.emf', metafile([gradient(100000, rng)])
    # The largest surface there is, filled many times over.
    side = 16383
    fills = [record(PATBLT, rect(0, 0, side, side) +
                    struct.pack('<iiiiI', 0, 0, side, side, 0x00550009) + bytes(68))] * 8
    yield 'largest_surface_8_fills.emf', metafile(fills, side, side)
    yield 'largest_surface_64_fills.emf', metafile(fills * 8, side, side)
    # The same with a hatched brush, and with a one-pixel bitmap stretched over all of it.
    hatch = [record(CREATEBRUSHINDIRECT, struct.pack('<IIII', 1, 2, 0x0000FF, 4)),
             record(SELECTOBJECT, struct.pack('<I', 1))]
    hatch += [record(PATBLT, rect(0, 0, side, side) +
                     struct.pack('<iiiiI', 0, 0, side, side, 0x00F00021) + bytes(68))] * 8
    yield 'largest_surface_8_hatch_fills.emf', metafile(hatch, side, side)
    info = struct.pack('<IiiHHIIiiII', 40, 1, 1, 1, 24, 0, 4, 0, 0, 0, 0)
    stretch = record(STRETCHDIBITS, rect(0, 0, side, side) +
                     struct.pack('<iiiiiiIIIIIIii', 0, 0, 0, 0, 1, 1, 80, 40, 120, 4, 0,
                                 0x00CC0020, side, side) + info + bytes([0, 0, 255, 0]))
    yield 'largest_surface_8_stretches.emf', metafile([stretch] * 8, side, side)
    # A 1 x 1 bitmap whose embedded progressive JPEG declares 60000 x 60000 pixels: the
    # decoder would set aside its whole coefficient buffer (7 GB) before a pixel is read.
    dqt = b'\xFF\xDB' + struct.pack('>HB', 67, 0) + bytes([1] * 64)
    dht = b'\xFF\xC4' + struct.pack('>HB', 20, 0) + bytes([1] + [0] * 15) + bytes(1)
    jpeg = (b'\xFF\xD8' + dqt + b'\xFF\xC2' +
            struct.pack('>HBHHBBBB', 11, 8, 60000, 60000, 1, 1, 0x11, 0) + dht +
            b'\xFF\xDA' + struct.pack('>HBBBBBB', 8, 1, 1, 0, 0, 0, 0) + bytes(16) + b'\xFF\xD9')
    jpeg += bytes(-len(jpeg) % 4)
    info = struct.pack('<IiiHHIIiiII', 40, 1, 1, 1, 0, 4, len(jpeg), 0, 0, 0, 0)
    yield 'jpeg_header_60000.emf', metafile([record(
        STRETCHDIBITS, rect(0, 0, 99, 99) +
        struct.pack('<iiiiiiIIIIIIii', 0, 0, 0, 0, 1, 1, 80, 40, 120, len(jpeg), 0,
                    0x00CC0020, 100, 100) + info + jpeg)], 100, 100)


def write_bomb(path, declared, zeros, compressed):
    head = metafile([])[:88]
    head = head[:48] + struct.pack('<I', declared) + head[52:]
    if compressed:
        with gzip.open(path, 'wb', compresslevel=9) as f:
            f.write(head)
            block = bytes(1 << 20)
            for _ in range(zeros >> 20):
                f.write(block)
    else:
        with open(path, 'wb') as f:
            f.write(head)
            f.truncate(len(head) + zeros)  # sparse


def generate(folder):
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(18)
    for name, data in cases(rng):
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
    write_bomb(os.path.join(folder, 'gzip_bomb_1g.emz'), 1 << 30, 1 << 30, True)
    write_bomb(os.path.join(folder, 'sparse_900m.emf'), 900 << 20, 900 << 20, False)
    # A picture that declares 20000 x 20000 pixels, used as the watermark of a small metafile.
    with open(os.path.join(folder, 'small.emf'), 'wb') as f:
        f.write(metafile(pen_and_brush(), 100, 100))
    write_png_header_bomb(os.path.join(folder, 'watermark_20000.png'), 20000, 20000)


def write_png_header_bomb(path, width, height):
    """A 1-bit black PNG of width x height: a few kilobytes on disk."""
    row = bytes(1 + (width + 7) // 8)
    comp = zlib.compressobj(9)
    data = b''.join(comp.compress(row) for _ in range(height)) + comp.flush()

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 1,
                                                                     0, 0, 0, 0)) +
                chunk(b'IDAT', data) + chunk(b'IEND', b''))


def limit(cpu_seconds, as_bytes):
    def apply():
        resource.setrlimit(resource.RLIMIT_CPU, (cpu_seconds, cpu_seconds + 1))
        resource.setrlimit(resource.RLIMIT_AS, (as_bytes, as_bytes))
    return apply


def run_one(cmd, env, cpu_seconds, as_bytes):
    start = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            preexec_fn=limit(cpu_seconds, as_bytes))
    deadline = start + 4 * cpu_seconds + 10  # a hang shows as wall time with no CPU time
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid:
            break
        if time.monotonic() > deadline:
            proc.kill()
            pid, status, usage = os.wait4(proc.pid, 0)
            break
        time.sleep(0.02)
    errors = proc.stdout.read().decode('utf-8', 'replace')
    proc.stdout.close()
    return (time.monotonic() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024,
            status, errors)


# CPU seconds the memory measurement below takes on the machine the goal was set on.
REFERENCE_MEMORY_SECONDS = 0.6


def cpu_seconds_of_this_process():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def memory_slowness():
    """How many times slower than the reference machine this one clears and copies memory
    (1 GiB in fresh pages), between 1 and 3."""
    start = cpu_seconds_of_this_process()
    for _ in range(2):
        block = bytearray(1 << 28)
        copy = bytes(block)
        del block, copy
    return max(1.0, min(3.0, (cpu_seconds_of_this_process() - start) / REFERENCE_MEMORY_SECONDS))


def run(quellmark, folder):
    # Relative folders would be taken below the program's folder.
    quellmark, folder = os.path.abspath(quellmark), os.path.abspath(folder)
    generate(folder)
    cpu = int(os.environ.get('QM_HOSTILE_CPU_SECONDS', '5'))
    as_bytes = int(os.environ.get('QM_HOSTILE_AS_MB', '2048')) << 20
    out = os.path.join(folder, 'out')
    os.makedirs(out, exist_ok=True)
    env = dict(os.environ)
    env.setdefault('XDG_RUNTIME_DIR', folder)
    env.setdefault('XDG_CONFIG_HOME', folder)
    jobs = [([f], name) for name in sorted(os.listdir(folder))
            if name.endswith(('.emf', '.emz')) and name != 'small.emf'
            for f in [os.path.join(folder, name)]]
    jobs.append(([os.path.join(folder, 'small.emf'),
                  '--wm-image=' + os.path.join(folder, 'watermark_20000.png')],
                 'watermark_20000.png'))
    slowness = memory_slowness()
    hard_limit = int(round(2 * cpu * slowness))
    print('memory of this machine: %.1f times slower than the reference; hard limit %d s CPU' %
          (slowness, hard_limit))
    failures, over_goal, slowest, largest = [], [], (0, ''), (0, '')
    print('%-32s %8s %8s %9s  %s' % ('file', 'wall s', 'cpu s', 'peak MB', 'result'))
    for args, name in jobs:
        cmd = [quellmark, '-q', '-i', args[0], '-o', out, '-c', 'png'] + args[1:]
        wall, cpu_used, peak, status, errors = run_one(cmd, env, hard_limit, as_bytes)
        if os.WIFSIGNALED(status) and os.WTERMSIG(status) in (signal.SIGXCPU, signal.SIGKILL):
            print('%-32s %8.2f %8.2f %9.0f  over the limit, run again' %
                  (name, wall, cpu_used, peak))
            wall, cpu_used, peak, status, errors = run_one(cmd, env, hard_limit, as_bytes)
        if cpu_used > cpu:
            over_goal.append('%s (%.2f s)' % (name, cpu_used))
        if os.WIFSIGNALED(status):
            result = 'killed by signal %d' % os.WTERMSIG(status)
            failures.append(name)
        elif os.WEXITSTATUS(status) != 0:
            result = 'exit code %d' % os.WEXITSTATUS(status)
            failures.append(name)
        else:
            # The converted picture, or the reason line the program gave for the file.
            lines = [l for l in errors.splitlines() if l.startswith(args[0] + ': ')]
            picture = os.path.join(out, os.path.splitext(os.path.basename(args[0]))[0] + '.png')
            if os.path.exists(picture):
                result = 'converted'
                os.remove(picture)
            elif lines:
                result = 'failed: ' + lines[-1][len(args[0]) + 2:]
            else:
                result = 'no output and no reason: ' + ' | '.join(errors.splitlines())
                failures.append(name)
        slowest = max(slowest, (cpu_used, name))
        largest = max(largest, (peak, name))
        print('%-32s %8.2f %8.2f %9.0f  %s' % (name, wall, cpu_used, peak, result[:90]))
    print('slowest: %s (%.2f s CPU); largest peak memory: %s (%.0f MB)' %
          (slowest[1], slowest[0], largest[1], largest[0]))
    if over_goal:
        print('over the %d s goal: %s' % (cpu, ', '.join(over_goal)))
    if failures:
        print('over the limits or crashed: ' + ', '.join(failures))
        return 1
    return 0


def main(argv):
    if len(argv) == 3 and argv[1] == 'generate':
        generate(argv[2])
        return 0
    if len(argv) == 4 and argv[1] == 'run':
        return run(argv[2], argv[3])
    print(__doc__)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv))
