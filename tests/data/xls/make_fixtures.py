#!/usr/bin/env python3
"""Writes the small hand-made .xls files of this folder.

Each file shows one thing the real-world workbooks do not: a Workbook stream
small enough to live in the mini stream, a shared string table split across
CONTINUE records with the encoding switching, the 1904 date system, the
same date serials as the .xlsx date tests hold, and
broken containers (looping chains, a cycling directory, absurd sizes,
two Workbook streams), records that are wrong inside a sound container,
texts with characters the program cannot store (kept by the reader, judged
where a cell is read), rows written bottom up, streams whose sectors lie
last first, version 4 documents (4096-byte sectors), and waybill workbooks
in the program's layout for the window's tests (odd characters where nothing
is read, and in cells that are read).
Run it from anywhere: python3 make_fixtures.py  (it writes beside itself).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

FREESECT, ENDOFCHAIN, FATSECT, NOSTREAM = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF
SECTOR, MINI, CUTOFF = 512, 64, 4096


# ---------------------------------------------------------------- compound document
def pad(data, size):
    return data + b"\0" * (-len(data) % size)


def build_cfb(streams, sector=SECTOR):
    """streams: list of (name, bytes). Returns (bytearray, info) where info maps
    'fat' to the FAT sector numbers, each stream name to (start, count, mini),
    and 'dir' to the first directory sector. Sectors of 4096 bytes make a
    version 4 document, whose header fills the whole first sector."""
    mini_data, mini_fat, regular = b"", [], []
    info = {}
    for name, data in streams:
        if len(data) < CUTOFF:
            start = len(mini_data) // MINI
            n = (len(data) + MINI - 1) // MINI
            mini_fat += [start + i + 1 for i in range(n - 1)] + ([ENDOFCHAIN] if n else [])
            info[name] = (start if n else ENDOFCHAIN, n, True, len(data))
            mini_data += pad(data, MINI)
        else:
            regular.append((name, data))
    n_dir = (len(streams) + 1 + sector // 128 - 1) // (sector // 128)
    n_minifat = (len(mini_fat) * 4 + sector - 1) // sector
    n_ministream = (len(mini_data) + sector - 1) // sector
    n_regular = sum((len(d) + sector - 1) // sector for _, d in regular)
    n_fat = 1
    while True:
        total = n_fat + n_dir + n_minifat + n_ministream + n_regular
        if (total + sector // 4 - 1) // (sector // 4) <= n_fat:
            break
        n_fat += 1
    fat = [FATSECT] * n_fat
    nxt = n_fat

    def chain(n):
        nonlocal nxt
        start = nxt if n else ENDOFCHAIN
        for i in range(n):
            fat.append(nxt + 1 if i < n - 1 else ENDOFCHAIN)
            nxt += 1
        return start

    dir_start = chain(n_dir)
    minifat_start = chain(n_minifat)
    ministream_start = chain(n_ministream)
    body = b""
    for name, data in regular:
        n = (len(data) + sector - 1) // sector
        info[name] = (chain(n), n, False, len(data))
        body += pad(data, sector)
    fat += [FREESECT] * (n_fat * (sector // 4) - len(fat))

    def entry(name, typ, start, size, child=NOSTREAM, right=NOSTREAM):
        raw = name.encode("utf-16-le") + b"\0\0"
        return (raw.ljust(64, b"\0") + struct.pack("<HBB", len(raw), typ, 1)
                + struct.pack("<III", NOSTREAM, right, child) + b"\0" * 36
                + struct.pack("<II", start, size) + b"\0" * 4)

    # A degenerate tree: each root child names the next as its right sibling.
    dirs = entry("Root Entry", 5, ministream_start if mini_data else ENDOFCHAIN, len(mini_data),
                 child=1 if streams else NOSTREAM)
    for i, (name, data) in enumerate(streams):
        start, _, _, size = info[name]
        dirs += entry(name, 2, start, size, right=i + 2 if i + 1 < len(streams) else NOSTREAM)
    dirs = pad(dirs, sector)

    header = bytearray(b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16)
    header += struct.pack("<HHHHH", 0x3E, 3 if sector == 512 else 4, 0xFFFE, 9 if sector == 512 else 12, 6) + b"\0" * 6
    header += struct.pack("<IIIIIIIII", 0 if sector == 512 else n_dir, n_fat, dir_start, 0, CUTOFF,
                          minifat_start if n_minifat else ENDOFCHAIN, n_minifat, ENDOFCHAIN, 0)
    difat = list(range(n_fat)) + [FREESECT] * (109 - n_fat)
    header += struct.pack("<109I", *difat)
    out = bytearray(pad(bytes(header), sector))
    out += struct.pack("<%dI" % len(fat), *fat)
    out += dirs
    out += pad(struct.pack("<%dI" % len(mini_fat), *mini_fat), sector) if n_minifat else b""
    out += pad(mini_data, sector)
    out += body
    info["fat"] = list(range(n_fat))
    info["dir"] = dir_start
    info["minifat"] = minifat_start
    return out, info


def set_fat(buf, info, index, value):
    sec = info["fat"][index // 128]
    struct.pack_into("<I", buf, (sec + 1) * SECTOR + (index % 128) * 4, value)


def dir_entry_offset(info, i):
    return (info["dir"] + 1) * SECTOR + i * 128


def reverse_chain(buf, info, start, n):
    """Lays the n consecutive sectors of the chain at `start` out last first,
    chained in the same logical order; returns the chain's new start."""
    def at(i):
        return (i + 1) * SECTOR
    sectors = [bytes(buf[at(start + k):at(start + k + 1)]) for k in range(n)]
    for k in range(n):
        pos = start + n - 1 - k
        buf[at(pos):at(pos + 1)] = sectors[k]
        set_fat(buf, info, pos, pos - 1 if k < n - 1 else ENDOFCHAIN)
    return start + n - 1


# ---------------------------------------------------------------- BIFF8 records
def rec(typ, data=b""):
    return struct.pack("<HH", typ, len(data)) + data


def chars(s):
    """Characters and their encoding flag: one byte each when they fit."""
    if all(ord(c) < 256 for c in s):
        return s.encode("latin-1"), 0
    return s.encode("utf-16-le", "surrogatepass"), 1  # a lone surrogate too, as a file may hold one


def units(raw, flag):  # the count BIFF8 gives: UTF-16 units, not characters
    return len(raw) // 2 if flag else len(raw)


def xlstr(s):  # 16-bit count, flags, characters
    raw, flag = chars(s)
    return struct.pack("<HB", units(raw, flag), flag) + raw


def shortstr(s):  # 8-bit count, flags, characters
    raw, flag = chars(s)
    return struct.pack("<BB", units(raw, flag), flag) + raw


def bof(dt, version=0x0600):
    return rec(0x0809, struct.pack("<HHHHII", version, dt, 0x0DBB, 0x07CC, 0, 6))


EOF_ = rec(0x000A)

# Cell formats by index: 0-15 style formats, then the cell formats below.
XF_GENERAL, XF_DATE, XF_CUSTOM_DATE, XF_ELAPSED, XF_DECIMAL = 16, 17, 18, 19, 20
XF_FORMATS = [0] * 16 + [0, 14, 164, 46, 2]


def xf(fmt):
    return rec(0x00E0, struct.pack("<HHH", 0, fmt, 0) + b"\0" * 14)


def label_sst(r, c, i, x=XF_GENERAL):
    return rec(0x00FD, struct.pack("<HHHI", r, c, x, i))


def label(r, c, s, x=XF_GENERAL):
    return rec(0x0204, struct.pack("<HHH", r, c, x) + xlstr(s))


def number(r, c, v, x=XF_GENERAL):
    return rec(0x0203, struct.pack("<HHHd", r, c, x, v))


def rk_int(v, x100=False):
    return ((v & 0x3FFFFFFF) << 2) | 2 | (1 if x100 else 0)


def rk_float(v):
    bits = struct.unpack("<Q", struct.pack("<d", v))[0]
    assert bits & 0xFFFFFFFF == 0
    return bits >> 32


def rk(r, c, value, x=XF_GENERAL):
    return rec(0x027E, struct.pack("<HHHI", r, c, x, value))


def mulrk(r, c, pairs):
    body = struct.pack("<HH", r, c)
    for x, value in pairs:
        body += struct.pack("<HI", x, value)
    return rec(0x00BD, body + struct.pack("<H", c + len(pairs) - 1))


def boolerr(r, c, value, is_error, x=XF_GENERAL):
    return rec(0x0205, struct.pack("<HHHBB", r, c, x, value, 1 if is_error else 0))


def formula(r, c, result, x=XF_GENERAL):
    """result: a float, or ('str'|'bool'|'err'|'empty', value)."""
    if isinstance(result, float):
        res = struct.pack("<d", result)
    else:
        kind, value = result
        code = {"str": 0, "bool": 1, "err": 2, "empty": 3}[kind]
        res = struct.pack("<BBBBBBH", code, 0, value, 0, 0, 0, 0xFFFF)
    # The parsed expression is a single integer constant (ptgInt 1).
    expr = b"\x1E\x01\x00"
    return rec(0x0006, struct.pack("<HHH", r, c, x) + res + struct.pack("<HIH", 0, 0, len(expr)) + expr)


def string(s):
    return rec(0x0207, xlstr(s))


def sst(strings):
    body = struct.pack("<II", len(strings), len(strings))
    for s in strings:
        body += xlstr(s)
    return rec(0x00FC, body)


def sst_continued(strings, limit=8224):
    """A shared-string table of any length: CONTINUE records as the body
    fills, each restating the encoding when it cuts a string's characters."""
    records = [bytearray(struct.pack("<II", len(strings), len(strings)))]
    for s in strings:
        raw, flag = chars(s)
        width = 2 if flag else 1
        if len(records[-1]) + 3 + width > limit:  # a string's header goes with its first character
            records.append(bytearray())
        records[-1] += struct.pack("<HB", units(raw, flag), flag)
        while raw:
            room = (limit - len(records[-1])) // width * width
            if room == 0:
                records.append(bytearray([flag]))
                continue
            records[-1] += raw[:room]
            raw = raw[room:]
    return rec(0x00FC, bytes(records[0])) + b"".join(rec(0x003C, bytes(r)) for r in records[1:])


def workbook(sheets, sst_records, date1904=False, formats=((164, "dd/mm/yyyy"),), globals_extra=b"",
             same_offset=False, xf_formats=XF_FORMATS):
    """sheets: list of (name, dt, substream bytes); with same_offset every tab
    points at the first substream."""
    head = bof(0x0005) + globals_extra
    if date1904:
        head += rec(0x0022, struct.pack("<H", 1))
    for fid, code in formats:
        head += rec(0x041E, struct.pack("<H", fid) + xlstr(code))
    for f in xf_formats:
        head += xf(f)
    head += sst_records
    bound_len = sum(4 + 8 + len(chars(n)[0]) for n, _, _ in sheets)
    pos = len(head) + bound_len + len(EOF_)
    bounds = b""
    for name, dt, body in sheets:
        bounds += rec(0x0085, struct.pack("<IBB", pos, 0, dt) + shortstr(name))
        if not same_offset:
            pos += len(body)
    return head + bounds + EOF_ + b"".join(body for _, _, body in sheets)


def worksheet(cells, dialog=False):
    wsbool = rec(0x0081, struct.pack("<H", 0x04C1 | (0x10 if dialog else 0)))
    return bof(0x0010) + wsbool + cells + EOF_


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- the files
def small_waybill():
    """Tabs: a chart, a dialog sheet, the first worksheet, another worksheet."""
    strings = ["Remitente", "señor pérez", "después"]
    cells = (
        label_sst(0, 0, 0)
        + label_sst(1, 0, 1)
        + label(1, 1, "O'Brien & Cía")
        + rk(1, 2, rk_int(42))
        + rk(1, 3, rk_int(1250, x100=True))
        + number(1, 4, 1234.5678)
        + formula(1, 5, 25.75, XF_DECIMAL)
        + formula(1, 6, ("str", 0)) + string("JPNRT")
        + formula(1, 7, ("bool", 1))
        + formula(1, 8, ("err", 0x07))
        + formula(1, 9, ("empty", 0))
        + boolerr(1, 10, 0, False)
        + boolerr(1, 11, 0x2A, True)
        + mulrk(2, 0, [(XF_GENERAL, rk_int(7)), (XF_DATE, rk_int(44197)), (XF_CUSTOM_DATE, rk_int(44198))])
        + number(2, 3, 10.632060185185185, XF_ELAPSED)
        + rec(0x0201, struct.pack("<HHH", 2, 4, XF_GENERAL))
        + rec(0x00BE, struct.pack("<HHHHHH", 2, 5, XF_GENERAL, XF_GENERAL, XF_GENERAL, 7))
        + formula(2, 8, 40430.0, XF_DATE)
        + rk(2, 9, rk_float(1.5))
        # An embedded chart: its records are not cells of the sheet.
        + bof(0x0020) + number(0, 0, 999.0) + EOF_
        + label_sst(5, 0, 2)
    )
    chart = bof(0x0020) + EOF_
    dialog = worksheet(number(0, 0, 5.0), dialog=True)
    other = worksheet(number(0, 0, 1.0))
    return workbook([("Gráfico", 2, chart), ("Diálogo", 0, dialog), ("Guías", 0, worksheet(cells)),
                     ("Otra", 0, other)], sst(strings))


def date_1904():
    cells = rk(0, 0, rk_int(0), XF_DATE) + number(1, 0, 1000.0, XF_DATE) + number(0, 1, 1000.0)
    return workbook([("Hoja1", 0, worksheet(cells))], sst([]), date1904=True)


# The serials the date tests compare with an .xlsx holding the same: each row
# one serial, under a date format (A), a custom elapsed time (B), the built-in
# elapsed time (C) and General (D).
DATE_SERIALS = [0.5, 1.0, 59.0, 60.0, 61.0, 10.6320601851852, 45366.25]
XF_CUSTOM_ELAPSED = len(XF_FORMATS)


def date_serials(date1904):
    cells = b"".join(number(r, 0, v, XF_DATE) + number(r, 1, v, XF_CUSTOM_ELAPSED)
                     + number(r, 2, v, XF_ELAPSED) + number(r, 3, v)
                     for r, v in enumerate(DATE_SERIALS))
    return workbook([("Hoja1", 0, worksheet(cells))], sst([]), date1904=date1904,
                    formats=((164, "dd/mm/yyyy"), (165, "[hh]:mm:ss")), xf_formats=XF_FORMATS + [165])


def sst_continue_switch():
    """The shared strings cross three CONTINUE records; each crossing in the
    middle of the characters restates the encoding, the other way round."""
    padding = ["relleno %d" % i for i in range(400)]
    s1a, s1b = "Conocimiento aéreo ", "Москва"
    s2a, s2b = "Ñandú €", "ABC"
    s3 = "rico"
    part1 = struct.pack("<II", 5 + len(padding), 5 + len(padding))
    part1 += xlstr("ab")
    part1 += struct.pack("<HB", len(s1a) + len(s1b), 0) + s1a.encode("latin-1")
    cont1 = b"\x01" + s1b.encode("utf-16-le")
    cont1 += struct.pack("<HB", len(s2a) + len(s2b), 1) + s2a.encode("utf-16-le")
    cont2 = b"\x00" + s2b.encode("latin-1")
    # Rich text with phonetic data: the run list crosses into the next record
    # byte for byte, without a flag byte.
    cont2 += struct.pack("<HBHI", len(s3), 0x0C, 2, 6) + s3.encode("latin-1") + b"\x00\x00\x01"
    cont3 = b"\x00\x00\x00\x02\x00" + b"PHONET"
    # The last CONTINUE starts with a string of its own: no flag byte.
    cont3 += xlstr("Ω final")
    for s in padding:
        cont3 += xlstr(s)
    records = rec(0x00FC, part1) + rec(0x003C, cont1) + rec(0x003C, cont2) + rec(0x003C, cont3)
    # A long formula text in a STRING record continued with a switch too.
    long_a, long_b = "x" * 50, "ñandú ☺"
    string_split = (rec(0x0207, struct.pack("<HB", len(long_a) + len(long_b), 0) + long_a.encode("latin-1"))
                    + rec(0x003C, b"\x01" + long_b.encode("utf-16-le")))
    cells = b"".join(label_sst(i, 0, i) for i in range(5))
    cells += label_sst(5, 0, 5 + len(padding) - 1)
    cells += formula(6, 0, ("str", 0)) + string_split
    return workbook([("Hoja1", 0, worksheet(cells))], records)


# The program's layout (row 1 headers, reading from row 2 until column E is
# empty): three waybills, the row that ends the reading, one row after it.
# The window's tests hold the same table for their .xlsx twins.
WAYBILL_ROWS = [
    ["Remitente", "Consignatario", "-", "Notificar", "Guia", "Master", "Pago", "Descripcion", "Peso", "Volumen",
     "Bultos", "Origen"],
    ["rem uno", "importadora del sur", "no se lee", "notificar a", "G1", "M1", "pp", "flores", 12.5, 0.25, 3.0,
     "JPNRT"],
    ["rem dos", "señor pérez", "no se lee", "notificar b", "G2", "M1", "cc", "repuestos", 1.0, 2.0, 1.0, "CNPEK"],
    ["rem tres", "nadie", "no se lee", "notificar c", "G3", "G3", "pp", "muestras", 2.0, 0.5, 4.0, "DEFRA"],
    ["fin", "fin", "", "", None, "", "", "", None, None, None, ""],
    ["no leida", "no leida", "", "", "G9", "M9", "pp", "nada", 1.0, 1.0, 1.0, "USMIA"],
]
# What text pasted from elsewhere may carry: a vertical tab and a bell (word
# processors), non-characters, a NUL and a surrogate out of its pair.
ODD = "pegado de una carta\x0bsegunda línea\x07\ufffe\uffff\x00\ud800"


def waybill_book(rows):
    """Texts as shared strings (as Excel writes them), the others as numbers."""
    strings, cells = [], b""
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, float):
                cells += number(r, c, value)
            else:
                if value not in strings:
                    strings.append(value)
                cells += label_sst(r, c, strings.index(value))
    return build_cfb([("Workbook", workbook([("Guias", 0, worksheet(cells))], sst_continued(strings)))])[0]


def waybills_with(changes):
    rows = [list(row) for row in WAYBILL_ROWS]
    for (r, c), value in changes.items():
        while len(rows[r]) <= c:
            rows[r].append(None)
        rows[r][c] = value
    return rows


def waybill_fixtures():
    write("waybills-plain.xls", waybill_book(WAYBILL_ROWS))
    # Characters no one reads: column C, column M, the ending row but for its
    # column E, and every column after it.
    unread = {(r, 2): ODD for r in range(1, 4)}
    unread.update({(r, 12): ODD for r in range(1, 6)})
    unread.update({(4, c): ODD for c in range(12) if c != 4})
    unread.update({(5, c): ODD for c in range(13)})
    write("waybills-odd-characters-unread.xls", waybill_book(waybills_with(unread)))
    # Read cells holding what can be stored as written.
    write("waybills-odd-characters-read.xls", waybill_book(waybills_with({
        (1, 0): "rem\x07uno", (2, 1): "señor pérez\x0bsegunda línea", (1, 7): "flores\ufffe\uffff"})))
    # Read cells holding what cannot: the reading ends at them.
    write("waybills-nul-read.xls", waybill_book(waybills_with({(2, 1): "señor\x00pérez"})))
    write("waybills-lone-surrogate-read.xls", waybill_book(waybills_with({(2, 3): "notificar\ud800"})))
    write("waybills-text-longer-than-a-cell.xls", waybill_book(waybills_with({(2, 1): "x" * 32768})))


def main():
    waybill_fixtures()
    tiny = small_waybill()
    assert len(tiny) < CUTOFF
    buf, _ = build_cfb([("Workbook", tiny)])
    write("mini-stream-small-waybill.xls", buf)

    buf, _ = build_cfb([("Workbook", date_1904())])
    write("date-system-1904.xls", buf)

    write("date-serials-1900.xls", build_cfb([("Workbook", date_serials(False))])[0])
    write("date-serials-1904.xls", build_cfb([("Workbook", date_serials(True))])[0])

    big = sst_continue_switch()
    assert len(big) >= CUTOFF
    buf, info = build_cfb([("\x05SummaryInformation", b"\0" * 200), ("Workbook", big)])
    write("sst-continue-encoding-switch.xls", buf)
    # The same two workbooks in a version 4 document (4096-byte sectors).
    write("version-4-small-waybill.xls", build_cfb([("Workbook", tiny)], sector=4096)[0])
    write("version-4-sst-continue.xls",
          build_cfb([("\x05SummaryInformation", b"\0" * 200), ("Workbook", big)], sector=4096)[0])

    # Broken containers, all built from the same two workbooks.
    start, n, _, _ = info["Workbook"]
    loop = bytearray(buf)
    set_fat(loop, info, start + n - 1, start)  # the last sector points back to the first
    # Declare one sector more than the chain has, so the loop is followed.
    struct.pack_into("<I", loop, dir_entry_offset(info, 2) + 120, len(big) + SECTOR)
    write("looping-fat-chain.xls", loop)

    outside = bytearray(buf)
    set_fat(outside, info, start + 1, 100000)
    write("fat-chain-points-outside.xls", outside)

    absurd = bytearray(buf)
    struct.pack_into("<I", absurd, dir_entry_offset(info, 2) + 120, 0x7FFFFFF0)
    write("absurd-stream-size.xls", absurd)

    small, sinfo = build_cfb([("\x05SummaryInformation", b"\0" * 200), ("Workbook", tiny)])
    mini_loop = bytearray(small)
    mstart, mn, _, _ = sinfo["Workbook"]
    mini_fat_off = (sinfo["minifat"] + 1) * SECTOR
    struct.pack_into("<I", mini_loop, mini_fat_off + 4 * (mstart + 1), mstart)  # third sector is the first again
    write("looping-mini-chain.xls", mini_loop)

    cycle = bytearray(small)
    struct.pack_into("<I", cycle, dir_entry_offset(sinfo, 2) + 72, 1)  # entry 2's right sibling is entry 1
    write("directory-cycle.xls", cycle)


    # Records that are wrong inside a sound container.
    bad_index = workbook([("Hoja1", 0, worksheet(label_sst(0, 0, 99)))], sst(["uno"]))
    write("sst-index-out-of-range.xls", build_cfb([("Workbook", bad_index)])[0])

    # Cut inside the first worksheet's last cell record (the tab after it is
    # dropped too: its BOUNDSHEET then points past the end).
    # Many tabs that all point at one dialog sheet whose dialog flag comes
    # last: reading each tab in full would take the square of the size.
    filler = b"".join(number(i, 0, float(i)) for i in range(100))
    dialog = bof(0x0010) + filler + rec(0x0081, struct.pack("<H", 0x04D1)) + EOF_
    tabs = [("D%d" % i, 0, dialog if i == 0 else b"") for i in range(200)]
    write("tabs-overlapping-one-sheet.xls", build_cfb([("Workbook", workbook(tabs, sst([]), same_offset=True))])[0])

    edge = workbook([("Hoja1", 0, worksheet(number(65535, 255, 1.0)))], sst([]))
    write("cell-in-iv65536.xls", build_cfb([("Workbook", edge)])[0])
    wide = workbook([("Hoja1", 0, worksheet(number(0, 255, 1.0) + number(0, 256, 2.0)))], sst([]))
    write("cell-beyond-column-iv.xls", build_cfb([("Workbook", wide)])[0])

    nan = workbook([("Hoja1", 0, worksheet(number(0, 0, float("nan"))))], sst([]))
    write("number-not-finite.xls", build_cfb([("Workbook", nan)])[0])

    cut = small_waybill()
    other_len = len(worksheet(number(0, 0, 1.0)))
    write("workbook-stream-cut-in-a-record.xls",
          build_cfb([("Workbook", cut[:len(cut) - other_len - len(EOF_) - 5])])[0])

    old = workbook([("Hoja1", 0, worksheet(b""))], b"").replace(bof(0x0005), bof(0x0005, 0x0500), 1)
    write("biff5-bof-in-workbook-stream.xls", build_cfb([("Workbook", old)])[0])

    # Only a chart and a dialog sheet: a workbook with no worksheet at all.
    no_sheet = workbook([("Gráfico", 2, bof(0x0020) + EOF_), ("Diálogo", 0, worksheet(number(0, 0, 5.0), dialog=True))],
                        sst([]))
    write("no-worksheet.xls", build_cfb([("Workbook", no_sheet)])[0])

    write("word-document.doc", build_cfb([("WordDocument", b"\xEC\xA5" + b"\0" * 100)])[0])

    # Two Workbook streams (the names differ in case only): which one a
    # reader takes is anybody's guess.
    one = workbook([("Hoja1", 0, worksheet(number(0, 0, 1.0)))], sst([]))
    other = workbook([("Hoja1", 0, worksheet(number(0, 0, 2.0)))], sst([]))
    write("two-workbook-streams.xls", build_cfb([("Workbook", one), ("WORKBOOK", other)])[0])

    # Texts with characters the program cannot store, one file per place a
    # text comes from; and the characters that are fine (tab, line breaks, a
    # surrogate pair, a NUL in a shared string no cell uses).
    fine = workbook([("Hoja1", 0, worksheet(label_sst(0, 0, 0) + label(1, 0, "a\tb\r\nc") + label(2, 0, "\U0001F600")))],
                    sst(["Guía", "125\x00"]))
    write("text-unused-bad-shared-string.xls", build_cfb([("Workbook", fine)])[0])
    nul = workbook([("Hoja1", 0, worksheet(label(1, 1, "125-\x00")))], sst([]))
    write("text-nul-in-label.xls", build_cfb([("Workbook", nul)])[0])
    surrogate = workbook([("Hoja1", 0, worksheet(label_sst(2, 2, 1)))], sst(["ok", "x\ud800"]))
    write("text-lone-surrogate-shared.xls", build_cfb([("Workbook", surrogate)])[0])
    control = workbook([("Hoja1", 0, worksheet(formula(3, 3, ("str", 0)) + string("a\x01b")))], sst([]))
    write("text-control-in-formula-string.xls", build_cfb([("Workbook", control)])[0])

    # Rows written bottom up, one cell twice: the cells sort, the last value holds.
    down = b"".join(rk(r, c, rk_int(10 * r + c)) for r in (4, 3, 2, 1, 0) for c in (2, 0, 1)) + rk(3, 0, rk_int(99))
    write("cells-descending-rows.xls", build_cfb([("Workbook", workbook([("Hoja1", 0, worksheet(down))], sst([])))])[0])

    # The two workbooks again, with the sectors of the Workbook stream (and of
    # the mini stream holding the small one) laid out last first.
    reversed_big = bytearray(buf)
    start, n, _, _ = info["Workbook"]
    struct.pack_into("<I", reversed_big, dir_entry_offset(info, 2) + 116, reverse_chain(reversed_big, info, start, n))
    write("fragmented-workbook-stream.xls", reversed_big)
    reversed_small = bytearray(small)
    root_start, root_size = struct.unpack_from("<II", small, dir_entry_offset(sinfo, 0) + 116)
    n = (root_size + SECTOR - 1) // SECTOR
    assert n > 2
    struct.pack_into("<I", reversed_small, dir_entry_offset(sinfo, 0) + 116,
                     reverse_chain(reversed_small, sinfo, root_start, n))
    write("fragmented-mini-stream.xls", reversed_small)


if __name__ == "__main__":
    main()
