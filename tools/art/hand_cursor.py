#!/usr/bin/env python3
"""Writes the hand-pointer cursor (32 x 32, white glove, black outline) as a .cur file.

The picture is a pixel drawing of the outline only ('#'); everything the outside cannot reach
(four-way, so a diagonal step of the outline still closes it) is the white glove.
A .cur file is an .ico file of type 2 whose directory entry holds the hotspot where an icon
keeps its planes and bit count; the image is a 32-bit DIB of double height followed by the
AND mask. Transparent pixels are black with alpha 0 and set in the mask, so systems that
ignore the alpha channel show the same cursor.
"""
import struct
import sys

HAND = '''
.....##..........
....#..#.........
....#..#.........
....#..#.........
....#..#.........
....#..###.......
....#..#..###....
....#..#..#..###.
....#..#..#..#..#
.##.#..#..#..#..#
#..##...........#
#...#...........#
.#..............#
.#..............#
..#.............#
..#............#.
...#...........#.
...#..........#..
....#.........#..
....#.........#..
....###########..
'''

SIZE = 32
ORIGIN = (4, 1)  # where the drawing's top-left goes in the 32 x 32 cell
TIP = (5, 0)     # the fingertip in the drawing: the hotspot


def pixels():
    art = [row for row in HAND.strip('\n').split('\n')]
    grid = [[' '] * SIZE for _ in range(SIZE)]
    ox, oy = ORIGIN
    for y, row in enumerate(art):
        for x, ch in enumerate(row):
            if ch == '#':
                grid[oy + y][ox + x] = '#'
    # Flood the outside from the cell's edge; what stays unreached is the glove's inside.
    outside = [[False] * SIZE for _ in range(SIZE)]
    todo = [(x, y) for x in range(SIZE) for y in (0, SIZE - 1)] + \
           [(x, y) for y in range(SIZE) for x in (0, SIZE - 1)]
    while todo:
        x, y = todo.pop()
        if not (0 <= x < SIZE and 0 <= y < SIZE) or outside[y][x] or grid[y][x] == '#':
            continue
        outside[y][x] = True
        todo += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    for y in range(SIZE):
        for x in range(SIZE):
            if grid[y][x] != '#' and not outside[y][x]:
                grid[y][x] = 'o'
    return grid


def cursor_bytes(grid, hotspot):
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # DIB rows run bottom-up
        bits = 0
        for x in range(SIZE):
            ch = grid[y][x]
            if ch == '#':
                xor += bytes((0, 0, 0, 255))
            elif ch == 'o':
                xor += bytes((255, 255, 255, 255))
            else:
                xor += bytes((0, 0, 0, 0))
                bits |= 1 << (SIZE - 1 - x)
        mask += struct.pack('>I', bits)  # 32 pixels: one whole 4-byte row
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    return directory + entry + image


def main():
    grid = pixels()
    hotspot = (ORIGIN[0] + TIP[0], ORIGIN[1] + TIP[1])
    assert grid[hotspot[1]][hotspot[0]] == '#'
    with open(sys.argv[1], 'wb') as f:
        f.write(cursor_bytes(grid, hotspot))
    if len(sys.argv) > 2:  # a plain picture for looking at: PPM, grey where transparent
        with open(sys.argv[2], 'w') as f:
            f.write('P3\n%d %d\n255\n' % (SIZE, SIZE))
            for row in grid:
                f.write(' '.join({'#': '0 0 0', 'o': '255 255 255', ' ': '200 160 200'}[c] for c in row) + '\n')


if __name__ == '__main__':
    main()
