#!/usr/bin/env python3
"""Writes the product folders of the extraction benchmark.

    make_payloads.py OUT_DIR [big|small|small-tenth ...]

OUT_DIR/payload-big:   four files, about 200 MB: two of log-like text, two of
                       pseudo-random bytes.
OUT_DIR/payload-small: 5,000 files of 1 to 8 KB in three levels of folders,
                       a mix of text-like and binary contents.
OUT_DIR/payload-small-tenth: the next version of the same product: the same
                       5,000 files, every tenth of them with new contents
                       (and mostly a new size).

Each product folder has lang/English.lng (copied from the example product),
install/init.cfg and program/ (the payload). The contents depend only on the
fixed seeds below, so every run writes the same bytes.
"""
import os
import random
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE_LANG = os.path.join(HERE, "..", "examples", "demo", "lang", "English.lng")

MIB = 1 << 20

LEVELS = ["INFO"] * 14 + ["DEBUG"] * 8 + ["WARN"] * 3 + ["ERROR"]
SERVICES = ["api", "auth", "billing", "cache", "db-pool", "mailer", "scheduler", "search"]
PATHS = ["/api/v1/items", "/api/v1/orders", "/api/v1/users", "/login", "/static/app.js", "/health", "/api/v2/report"]
METHODS = ["GET"] * 6 + ["POST"] * 2 + ["PUT", "DELETE"]
STATUS = [200] * 20 + [201, 204, 301, 304, 400, 401, 403, 404, 404, 500, 503]
WORDS = ("connection timeout retry queue worker session token cache miss hit flush commit rollback "
         "checkpoint replica primary lag threshold exceeded scheduled completed started failed user "
         "order invoice payment refund shipment warehouse inventory batch job").split()


def log_text(rng, size, host):
    """Log lines with increasing timestamps, as a server would write them."""
    out = []
    written = 0
    ms = 1_700_000_000_000 + rng.randrange(10 ** 9)
    request = rng.randrange(10 ** 6)
    while written < size:
        ms += rng.randrange(1, 40)
        request += 1
        secs, milli = divmod(ms, 1000)
        day, rest = divmod(secs, 86400)
        hh, rest = divmod(rest, 3600)
        mm, ss = divmod(rest, 60)
        stamp = "2024-%02d-%02d %02d:%02d:%02d.%03d" % (day % 12 + 1, day % 28 + 1, hh, mm, ss, milli)
        level = rng.choice(LEVELS)
        service = rng.choice(SERVICES)
        kind = rng.randrange(4)
        if kind < 2:
            message = "request %d %s %s/%d -> %d in %d ms (%d bytes)" % (
                request, rng.choice(METHODS), rng.choice(PATHS), rng.randrange(10000),
                rng.choice(STATUS), rng.randrange(1, 900), rng.randrange(100, 60000))
        elif kind == 2:
            message = "client 10.%d.%d.%d session %08x %s %s" % (
                rng.randrange(4), rng.randrange(256), rng.randrange(256), rng.getrandbits(32),
                rng.choice(WORDS), rng.choice(WORDS))
        else:
            message = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(3, 9))) + \
                      " (%d of %d)" % (rng.randrange(100), 100)
        line = "%s %-5s [%s-%d] %s %s\n" % (stamp, level, service, rng.randrange(8), host, message)
        out.append(line)
        written += len(line)
    data = "".join(out).encode("ascii")
    cut = data.rfind(b"\n", 0, size) + 1
    return data[:cut]


def text_like(rng, size):
    """Source-code or settings-like text of about size bytes."""
    lines = []
    written = 0
    while written < size:
        kind = rng.randrange(3)
        if kind == 0:
            line = "%s_%s = %d\n" % (rng.choice(WORDS), rng.choice(WORDS), rng.randrange(100000))
        elif kind == 1:
            line = "    if (%s > %d) %s(%s);\n" % (rng.choice(WORDS), rng.randrange(1000), rng.choice(WORDS),
                                                 rng.choice(WORDS))
        else:
            line = "# " + " ".join(rng.choice(WORDS) for _ in range(rng.randrange(2, 10))) + "\n"
        lines.append(line)
        written += len(line)
    return "".join(lines).encode("ascii")[:size]


def table_like(rng, size):
    """Binary records: small little-endian numbers with some structure."""
    out = bytearray()
    base = rng.randrange(1 << 20)
    while len(out) < size:
        base += rng.randrange(64)
        out += base.to_bytes(4, "little") + rng.randrange(1 << 12).to_bytes(2, "little") + bytes(2)
    return bytes(out[:size])


def product(folder, name):
    if os.path.isdir(folder):
        shutil.rmtree(folder)
    os.makedirs(os.path.join(folder, "lang"))
    os.makedirs(os.path.join(folder, "install"))
    os.makedirs(os.path.join(folder, "program"))
    shutil.copyfile(EXAMPLE_LANG, os.path.join(folder, "lang", "English.lng"))
    with open(os.path.join(folder, "install", "init.cfg"), "wb") as f:
        f.write(b"[cfg]\r\n1=" + name.encode("ascii") + b"\r\n")
    # The packing tool wants an uninstaller; the benchmark never runs it.
    with open(os.path.join(folder, "install", "UnInst.dat"), "wb") as f:
        f.write(b"MZ placeholder uninstaller")
    return os.path.join(folder, "program")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def big(folder):
    program = product(folder, "Brondale Bench Big")
    rng = random.Random(20240501)
    write(os.path.join(program, "logs", "server-1.log"), log_text(rng, 50 * MIB, "web-01"))
    write(os.path.join(program, "data", "blob-1.bin"), rng.randbytes(50 * MIB))
    write(os.path.join(program, "logs", "server-2.log"), log_text(rng, 50 * MIB, "web-02"))
    write(os.path.join(program, "data", "blob-2.bin"), rng.randbytes(50 * MIB))


def small(folder, changed=False):
    program = product(folder, "Brondale Bench Small")
    rng = random.Random(20240502)
    # A second generator for the changed files, so that every other file
    # comes out as in the first version.
    other = random.Random(20240503)
    count = 0
    for a in range(10):
        for b in range(10):
            for c in range(5):
                for f in range(10):
                    size = rng.randrange(1024, 8193)
                    kind = rng.randrange(10)
                    if kind < 5:
                        data, ext = text_like(rng, size), "txt"
                    elif kind < 8:
                        data, ext = table_like(rng, size), "dat"
                    else:
                        data, ext = rng.randbytes(size), "bin"
                    count += 1
                    if changed and count % 10 == 0:
                        data = other.randbytes(other.randrange(1024, 8193)) if ext == "bin" else (
                            text_like(other, other.randrange(1024, 8193)) if ext == "txt" else
                            table_like(other, other.randrange(1024, 8193)))
                    write(os.path.join(program, "d%d" % a, "s%d" % b, "t%d" % c, "f%d.%s" % (f, ext)), data)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: make_payloads.py OUT_DIR [big|small ...]")
    out = sys.argv[1]
    which = sys.argv[2:] or ["big", "small"]
    for name in which:
        {"big": big, "small": small, "small-tenth": lambda f: small(f, True)}[name](
            os.path.join(out, "payload-" + name))


if __name__ == "__main__":
    main()
