#!/usr/bin/env python3
"""Cuts a TrueType font down to a few characters, for small test seeds.

Keeps the glyphs of the given characters (with the components of composite
glyphs), a Unicode cmap, the horizontal metrics, the OS/2 table and the
kerning pairs among them; drops hinting programs, names and layout tables.

    python3 tools/fonts/cut_ttf.py /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
        "AVHgWe'é€" fuzz/corpus/font/dejavu-cut.ttf
"""
import struct
import sys


def tables_of(data):
    count = struct.unpack_from(">H", data, 4)[0]
    out = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        out[tag.decode("latin-1")] = data[offset:offset + length]
    return out


def unicode_cmap(cmap):
    count = struct.unpack_from(">H", cmap, 2)[0]
    for i in range(count):
        platform, encoding, offset = struct.unpack_from(">HHI", cmap, 4 + 8 * i)
        if platform == 3 and encoding == 1 and struct.unpack_from(">H", cmap, offset)[0] == 4:
            return cmap[offset:]
    raise SystemExit("no format 4 Unicode cmap")


def glyph_of(sub, code):
    segx2 = struct.unpack_from(">H", sub, 6)[0]
    ends, starts, deltas, ranges = 14, 16 + segx2, 16 + 2 * segx2, 16 + 3 * segx2
    for s in range(segx2 // 2):
        end = struct.unpack_from(">H", sub, ends + 2 * s)[0]
        start = struct.unpack_from(">H", sub, starts + 2 * s)[0]
        if start <= code <= end:
            delta = struct.unpack_from(">h", sub, deltas + 2 * s)[0]
            ro = struct.unpack_from(">H", sub, ranges + 2 * s)[0]
            if ro == 0:
                return (code + delta) & 0xFFFF
            g = struct.unpack_from(">H", sub, ranges + 2 * s + ro + 2 * (code - start))[0]
            return (g + delta) & 0xFFFF if g else 0
    return 0


def components(glyph):
    """Offsets of the component glyph indices of a composite glyph."""
    if len(glyph) < 10 or struct.unpack_from(">h", glyph, 0)[0] >= 0:
        return []
    out, pos = [], 10
    while True:
        flags = struct.unpack_from(">H", glyph, pos)[0]
        out.append(pos + 2)
        pos += 4 + (4 if flags & 0x1 else 2)
        pos += 2 if flags & 0x8 else 4 if flags & 0x40 else 8 if flags & 0x80 else 0
        if not flags & 0x20:
            return out


def main(src, chars, dst):
    data = open(src, "rb").read()
    t = tables_of(data)
    long_loca = struct.unpack_from(">h", t["head"], 50)[0] == 1
    n_old = struct.unpack_from(">H", t["maxp"], 4)[0]
    loca = [struct.unpack_from(">I" if long_loca else ">H", t["loca"], (4 if long_loca else 2) * i)[0]
            * (1 if long_loca else 2) for i in range(n_old + 1)]
    glyph = lambda g: t["glyf"][loca[g]:loca[g + 1]]

    sub = unicode_cmap(t["cmap"])
    cmap = {ord(c): glyph_of(sub, ord(c)) for c in chars}
    keep, todo = {0}, [0] + list(cmap.values())
    while todo:
        g = todo.pop()
        keep.add(g)
        todo += [struct.unpack_from(">H", glyph(g), o)[0] for o in components(glyph(g))
                 if struct.unpack_from(">H", glyph(g), o)[0] not in keep]
    order = sorted(keep)
    new = {g: i for i, g in enumerate(order)}

    glyf, offsets = b"", []
    for g in order:
        body = bytearray(glyph(g))
        for o in components(bytes(body)):
            struct.pack_into(">H", body, o, new[struct.unpack_from(">H", body, o)[0]])
        offsets.append(len(glyf))
        glyf += bytes(body) + b"\0" * (-len(body) % 4)
    offsets.append(len(glyf))

    n_metrics = struct.unpack_from(">H", t["hhea"], 34)[0]
    def metric(g):
        if g < n_metrics:
            return t["hmtx"][4 * g:4 * g + 4]
        last = t["hmtx"][4 * (n_metrics - 1):4 * n_metrics - 2]
        return last + t["hmtx"][4 * n_metrics + 2 * (g - n_metrics):][:2]

    head = bytearray(t["head"])
    struct.pack_into(">h", head, 50, 1)
    hhea = bytearray(t["hhea"])
    struct.pack_into(">H", hhea, 34, len(order))
    maxp = bytearray(t["maxp"])
    struct.pack_into(">H", maxp, 4, len(order))

    codes = sorted(c for c in cmap if cmap[c])
    segs = [(c, c, (new[cmap[c]] - c) & 0xFFFF) for c in codes] + [(0xFFFF, 0xFFFF, 1)]
    n = len(segs)
    f4 = struct.pack(">HHHHHHH", 4, 16 + 8 * n, 0, 2 * n, 0, 0, 0)
    f4 += b"".join(struct.pack(">H", s[1]) for s in segs) + b"\0\0"
    f4 += b"".join(struct.pack(">H", s[0]) for s in segs)
    f4 += b"".join(struct.pack(">H", s[2]) for s in segs) + b"\0\0" * n
    cmap_table = struct.pack(">HHHHI", 0, 1, 3, 1, 12) + f4

    out = {"head": bytes(head), "hhea": bytes(hhea), "maxp": bytes(maxp), "OS/2": t["OS/2"],
           "cmap": cmap_table, "glyf": glyf, "loca": b"".join(struct.pack(">I", o) for o in offsets),
           "hmtx": b"".join(metric(g) for g in order), "name": struct.pack(">HHH", 0, 0, 6),
           "post": struct.pack(">I", 0x00030000) + t["post"][4:32]}
    if "kern" in t:
        k = t["kern"]
        n_pairs = struct.unpack_from(">H", k, 10)[0]
        pairs = []
        for i in range(n_pairs):
            left, right, value = struct.unpack_from(">HHh", k, 18 + 6 * i)
            if left in new and right in new:
                pairs.append((new[left], new[right], value))
        pairs.sort()
        body = struct.pack(">HHHH", len(pairs), 6, 0, 0) + b"".join(struct.pack(">HHh", *p) for p in pairs)
        out["kern"] = struct.pack(">HH", 0, 1) + struct.pack(">HHH", 0, 6 + len(body), 1) + body

    tags = sorted(out)
    offset = 12 + 16 * len(tags)
    directory, blobs = b"", b""
    for tag in tags:
        blob = out[tag]
        checksum = sum(struct.unpack(">%dI" % ((len(blob) + 3) // 4), blob + b"\0" * (-len(blob) % 4))) & 0xFFFFFFFF
        directory += struct.pack(">4sIII", tag.encode("latin-1"), checksum, offset + len(blobs), len(blob))
        blobs += blob + b"\0" * (-len(blob) % 4)
    header = struct.pack(">IHHHH", 0x00010000, len(tags), 0, 0, 0)
    open(dst, "wb").write(header + directory + blobs)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
