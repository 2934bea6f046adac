#!/usr/bin/env python3
"""Draws the two 16 x 16 button pictures of the main window as XPM files.

engranaje.xpm: a blue cog wheel (for "Procesar"); disquete.xpm: a diskette
(for "Guardar"). The pictures are committed; run this script again only to
change them: python3 app/resources/make_icons.py
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def write_xpm(name, palette, rows):
    lines = ['/* XPM */', 'static const char *%s[] = {' % name,
             '"16 16 %d 1",' % len(palette)]
    for key, colour in palette.items():
        lines.append('"%s c %s",' % (key, colour))
    for i, row in enumerate(rows):
        assert len(row) == 16, (name, i, row)
        lines.append('"%s"%s' % (row, ',' if i < len(rows) - 1 else ''))
    lines.append('};')
    with open(os.path.join(HERE, name + '.xpm'), 'w') as f:
        f.write('\n'.join(lines) + '\n')


def cog():
    # Eight teeth around a ring, a hole in the middle; supersampled so the
    # edge pixels get a darker outline colour.
    rows = []
    cx = cy = 7.5
    for y in range(16):
        row = ''
        for x in range(16):
            dx, dy = x - cx, y - cy
            r = math.hypot(dx, dy)
            a = math.atan2(dy, dx)
            tooth = (math.cos(8 * a) > -0.2)
            outer = 7.6 if tooth else 5.4
            if r <= 2.0:
                row += ' '
            elif r <= 2.9:
                row += 'o'
            elif r <= outer - 1.0:
                row += 'b' if (dx + dy) < 0 else 'd'
            elif r <= outer:
                row += 'o'
            else:
                row += ' '
        rows.append(row)
    return rows


def diskette():
    return [
        'oooooooooooooo  ',
        'obbwwwwwwwwbbbo ',
        'obbwwwwwwwwbbbbo',
        'obbwggggggwbbbbo',
        'obbwwwwwwwwbbbbo',
        'obbwggggggwbbbbo',
        'obbwwwwwwwwbbbbo',
        'obbbbbbbbbbbbbbo',
        'obbbbbbbbbbbbbbo',
        'obbbsssssssssbbo',
        'obbbsmmssssssbbo',
        'obbbsmmssssssbbo',
        'obbbsmmssssssbbo',
        'obbbsssssssssbbo',
        'obbbsssssssssbbo',
        'oooooooooooooooo',
    ]


write_xpm('engranaje', {' ': 'None', 'o': '#0B2E6B', 'b': '#3C7FE0', 'd': '#1F5BBF'}, cog())
write_xpm('disquete', {' ': 'None', 'o': '#1A1A1A', 'b': '#2D4F8A', 'w': '#FFFFFF',
                       'g': '#9AA7BA', 's': '#C8CCD2', 'm': '#2D4F8A'}, diskette())
