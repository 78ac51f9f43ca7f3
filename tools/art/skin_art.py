#!/usr/bin/env python3
"""Draws the skinned window's pictures into data/art/ (run through make_art.sh).

Shapes are drawn with ImageMagick at SCALE times the size and averaged down, in "edge"
coordinates: pixel k spans k .. k + 1, so a 2-pixel stroke on a whole-number line covers
exactly two pixels. Text is drawn at its real size, where FreeType's hinting works.
"""
import math
import os
import subprocess
import sys
import tempfile

FONT = '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc'
SCALE = 16

# The design guide's palette; the program's widgets/paint_util.h holds the same values.
TITLE_TOP = (0x2B, 0x7B, 0xD6)
TITLE_BOTTOM = (0x1C, 0x5F, 0xB0)
TITLE_HEIGHT = 104
STRIP = (0xEA, 0xF3, 0xFC)
SEPARATOR = (0xC9, 0xDD, 0xF2)
WHITE = (0xFF, 0xFF, 0xFF)
ACCENT = [(0x2F, 0x8A, 0xE5), (0x4A, 0xA0, 0xF0), (0x1F, 0x6F, 0xC4), (0xB9, 0xC6, 0xD3)]
SECONDARY_TEXT = (0x5B, 0x6B, 0x7B)
HEADER_TOP = (0xF7, 0xFA, 0xFD)
HEADER_BOTTOM = (0xE6, 0xEE, 0xF7)

TAB_W, TAB_H, TAB_TOP = 92, 70, 35
ICON = 32
ICON_Y = 9
CAPTION_Y = 46

# group: (simplified caption, traditional caption, pictogram)
TABS = [
    ('ClearRbt', '痕迹清理', '痕跡清理', 'broom'),
    ('ClearFileSys', '垃圾文件', '垃圾檔案', 'bin'),
    ('CurrentClear', '自定义清理', '自定義清理', 'folder_plus'),
    ('ClearReg', '注册表清理', '登錄檔清理', 'cubes'),
    ('standard', '插件清理', '插件清理', 'puzzle'),
    ('SetCenter', '设置中心', '設定中心', 'gear'),
]


def hexc(c):
    return '#%02X%02X%02X' % c


def mix(a, b, t):
    return tuple(int(x + (y - x) * t + 0.5) for x, y in zip(a, b))


def title_color(y):
    # Same rounding as TitleColorAt in the program, so the faces meet the painted title area.
    t = min(max(y, 0), TITLE_HEIGHT) / TITLE_HEIGHT
    return mix(TITLE_TOP, TITLE_BOTTOM, t)


def convert(*args):
    subprocess.run(['convert', *[str(a) for a in args]], check=True)


def label_size(path):
    out = subprocess.run(['identify', '-format', '%w %h', path], check=True,
                         capture_output=True, text=True).stdout.split()
    return int(out[0]), int(out[1])


class Painter:
    def __init__(self, work):
        self.work = work
        self.count = 0

    def tmp(self, name):
        self.count += 1
        return os.path.join(self.work, '%03d_%s' % (self.count, name))

    def mask(self, w, h, mvg, name='mask.png'):
        """Grey-level coverage of the MVG shapes (edge coordinates) at w x h."""
        path = self.tmp(name)
        body = 'affine %d,0,0,%d,-0.5,-0.5\n%s' % (SCALE, SCALE, mvg)
        convert('-size', '%dx%d' % (w * SCALE, h * SCALE), 'xc:black', '-fill', 'none',
                '-stroke', 'none', '-draw', body, '-scale', '%dx%d!' % (w, h),
                '-colorspace', 'Gray', path)
        return path

    def rows(self, colors, w, name='rows.png'):
        """An image whose row y is colors[y], exact (no gradient arithmetic of ImageMagick's)."""
        ppm = self.tmp(name + '.ppm')
        with open(ppm, 'w') as f:
            f.write('P3\n1 %d\n255\n' % len(colors))
            for c in colors:
                f.write('%d %d %d\n' % c)
        path = self.tmp(name)
        convert(ppm, '-scale', '%dx%d!' % (w, len(colors)), path)
        return path

    def solid(self, w, h, color, name='solid.png'):
        path = self.tmp(name)
        convert('-size', '%dx%d' % (w, h), 'xc:' + hexc(color), path)
        return path

    def paint(self, base, color, mask, opacity=1.0, at=(0, 0), name='paint.png'):
        """base with color laid over it through mask (times opacity), mask placed at `at`."""
        w, h = label_size(mask)
        path = self.tmp(name)
        convert(base,
                '(', '-size', '%dx%d' % (w, h), 'xc:' + hexc(color),
                '(', mask, '-evaluate', 'multiply', opacity, ')',
                '-alpha', 'off', '-compose', 'CopyOpacity', '-composite', ')',
                '-geometry', '+%d+%d' % at, '-compose', 'Over', '-composite', path)
        return path

    def text(self, base, text, color, at, opacity=1.0, center_width=None, name='text.png'):
        """12-pixel text; with center_width the text is centred across that width from at[0]."""
        lab = self.tmp('label.png')
        convert('-background', 'none', '-fill', hexc(color), '-font', FONT, '-pointsize', 12,
                '-density', 72, 'label:' + text, '-channel', 'A', '-evaluate', 'multiply',
                opacity, '+channel', lab)
        w, h = label_size(lab)
        x, y = at
        if center_width is not None:
            if w > center_width:
                sys.exit('caption %r is %d pixels wide, more than %d' % (text, w, center_width))
            x += (center_width - w) // 2
        path = self.tmp(name)
        convert(base, lab, '-geometry', '+%d+%d' % (x, y), '-compose', 'Over', '-composite', path)
        return path


def save_bmp(src, dest):
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    convert(src, '-alpha', 'off', '-type', 'TrueColor', 'BMP3:' + dest)


def save_png(src, dest):
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    # No time stamps, so a rerun writes the same bytes.
    convert(src, '-alpha', 'off', '-strip', '-define', 'png:exclude-chunks=date,time',
            'PNG24:' + dest)


# --- Pictograms: 32 x 32, white 2-pixel lines, round ends -------------------------------------

STROKE = 'stroke white\nstroke-width 2\nstroke-linecap round\nstroke-linejoin round\nfill none\n'


def gear_path():
    cx = cy = 16
    outer, root = 13, 9.5
    pts = []
    for k in range(8):
        a = k * 45
        for r, d in ((root, -14), (outer, -8), (outer, 8), (root, 14)):
            t = math.radians(a + d)
            pts.append('%.3f,%.3f' % (cx + r * math.cos(t), cy + r * math.sin(t)))
    return 'polygon ' + ' '.join(pts) + '\n'


def cube(cx, cy):
    """An isometric cube around (cx, cy): its outline and the three edges meeting in front."""
    half = 6.0  # a whole number, so the upright edges fall on whole pixels
    r = half * 2 / math.sqrt(3)
    pts = [(cx, cy - r), (cx + half, cy - r / 2), (cx + half, cy + r / 2), (cx, cy + r),
           (cx - half, cy + r / 2), (cx - half, cy - r / 2)]
    return ('polygon %s\n' % ' '.join('%.3f,%.3f' % q for q in pts) +
            "path 'M %.3f,%.3f L %.3f,%.3f L %.3f,%.3f M %.3f,%.3f L %.3f,%.3f'\n"
            % (cx - half, cy - r / 2, cx, cy, cx + half, cy - r / 2, cx, cy, cx, cy + r))


PICTOGRAMS = {
    # A broom at a slant, sweeping, with a glint above it.
    'broom': STROKE + '''
        push graphic-context
        translate 18,14.5
        rotate 40
        translate -16,-16
        line 16,1 16,13
        roundrectangle 11.5,13 20.5,17.5 1.5,1.5
        path 'M 11.5,17.5 L 8.5,28 Q 16,30.5 23.5,28 L 20.5,17.5'
        line 14,21 13,27.5
        line 18,21 19,27.5
        pop graphic-context
        line 7,4 7,10
        line 4,7 10,7
    ''',
    # A waste bin: handle, lid, tapered body with two ribs.
    'bin': STROKE + '''
        path 'M 13,8 L 13,5 L 19,5 L 19,8'
        line 6,9 26,9
        path 'M 8.5,9 L 10,28 L 22,28 L 23.5,9'
        line 14,13 14,24
        line 18,13 18,24
    ''',
    # A folder with a plus.
    'folder_plus': STROKE + '''
        path 'M 4,7 L 12,7 L 15,10 L 28,10 L 28,27 L 4,27 Z'
        line 16,14 16,22
        line 12,18 20,18
    ''',
    # Three cubes stacked two and one, seen from above at an angle.
    'cubes': STROKE + cube(10, 21.5) + cube(22, 21.5) + cube(16, 11.1),
    # A puzzle piece: a square with a knob on the top and on the right.
    'puzzle': STROKE + '''
        path 'M 5,11 L 12,11 A 3.6,3.6 0 1,1 18,11 L 23,11 L 23,16.5 A 3.6,3.6 0 1,1 23,22.5 L 23,28 L 5,28 Z'
    ''',
    # A gear with a round hole.
    'gear': STROKE + gear_path() + 'circle 16,16 16,20\n',
}


def pictogram(p, name):
    return p.mask(ICON, ICON, PICTOGRAMS[name], 'icon_%s.png' % name)


# --- Tab faces --------------------------------------------------------------------------------

def tab_backgrounds(p):
    """The four backgrounds: the title slice, and the slice under the hot / pressed highlight."""
    slice_ = p.rows([title_color(y) for y in range(TAB_TOP, TAB_TOP + TAB_H)], TAB_W, 'slice.png')
    outer = p.mask(TAB_W, TAB_H, 'fill white\nroundrectangle 2,2 90,68 6,6\n', 'hl_outer.png')
    inner = p.mask(TAB_W, TAB_H, 'fill white\nroundrectangle 3,3 89,67 5,5\n', 'hl_inner.png')
    hot = p.paint(slice_, WHITE, outer, 0.18, name='bg_hot.png')
    # Pressed: 30 % inside, a 60 % ring along the edge.
    ring_alpha = p.tmp('pressed_alpha.png')
    convert(outer, inner, '-fx', '0.6*u-0.3*v', ring_alpha)
    pressed = p.paint(slice_, WHITE, ring_alpha, 1.0, name='bg_pressed.png')
    return {1: slice_, 2: hot, 3: pressed, 4: slice_}


def draw_tabs(p, out):
    backgrounds = tab_backgrounds(p)
    for group, simplified, traditional, icon_name in TABS:
        icon = pictogram(p, icon_name)
        for d in (1, 2, 3, 4):
            opacity = 0.4 if d == 4 else 1.0
            face = p.paint(backgrounds[d], WHITE, icon, opacity, ((TAB_W - ICON) // 2, ICON_Y))
            for suffix, caption in (('', simplified), ('_CHT', traditional)):
                final = p.text(face, caption, WHITE, (0, CAPTION_Y), opacity, TAB_W)
                save_bmp(final, os.path.join(out, 'tabs', 'My%s%d%sbmp.bmp' % (group, d, suffix)))


# --- Buttons ----------------------------------------------------------------------------------

def draw_buttons(p, out):
    # Start buttons stand on the white page, action buttons on the light header/footer strips.
    for name, w, h, radius, ground in (('Start', 180, 56, 8, WHITE), ('Action', 80, 26, 4, STRIP)):
        shape = p.mask(w, h, 'fill white\nroundrectangle 0,0 %d,%d %d,%d\n' % (w, h, radius, radius))
        base = p.solid(w, h, ground)
        for d in (1, 2, 3, 4):
            face = p.paint(base, ACCENT[d - 1], shape)
            save_bmp(face, os.path.join(out, 'buttons', '%s%d.bmp' % (name, d)))


# --- Header bar, score panel --------------------------------------------------------------------

def draw_header(p, out):
    h = 24
    colors = [mix(HEADER_TOP, HEADER_BOTTOM, y / (h - 2)) for y in range(h - 1)] + [SEPARATOR]
    save_png(p.rows(colors, 4, 'head.png'), os.path.join(out, 'Headtable.png'))


def draw_score(p, out):
    w, h, r = 242, 111, 6
    outer = p.mask(w, h, 'fill white\nroundrectangle 0,0 %d,%d %d,%d\n' % (w, h, r, r))
    inner = p.mask(w, h, 'fill white\nroundrectangle 1,1 %d,%d %d,%d\n' % (w - 1, h - 1, r - 1, r - 1))
    # The accent bar: the card's own outline, its top three rows.
    bar = p.tmp('bar.png')
    convert(outer, '-fill', 'black', '-draw', 'rectangle 0,3 %d,%d' % (w, h), bar)
    card = p.paint(p.solid(w, h, WHITE), SEPARATOR, outer)
    card = p.paint(card, WHITE, inner)
    card = p.paint(card, ACCENT[0], bar)
    for suffix, heading in (('', '系统健康评分'), ('_CHT', '系統健康評分')):
        final = p.text(card, heading, SECONDARY_TEXT, (12, 10))
        save_png(final, os.path.join(out, 'ScoreBG%s.png' % suffix))


# --- Busy spinners ----------------------------------------------------------------------------

def draw_spinner(p, size, dest, frames=12):
    c = size / 2
    # The small one has thinner, relatively longer spokes, or they run together in the middle.
    inner, outer, width = (size * 0.25, size * 0.44, size * 0.09) if size >= 32 else \
                          (size * 0.25, size * 0.45, size * 0.10)
    paths = []
    for f in range(frames):
        mvg = ['stroke-linecap round', 'stroke-width %.3f' % width, 'fill none']
        for k in range(12):
            # The head spoke is at k == f; those it has passed fade out behind it.
            behind = (f - k) % 12
            strength = 0.15 + 0.85 * (1 - behind / 11) ** 1.6
            a = math.radians(k * 30 - 90)
            mvg.append('stroke "%s"' % hexc(mix(WHITE, ACCENT[0], strength)))
            mvg.append('line %.3f,%.3f %.3f,%.3f' % (c + inner * math.cos(a), c + inner * math.sin(a),
                                                     c + outer * math.cos(a), c + outer * math.sin(a)))
        frame = p.tmp('spin%d_%02d.png' % (size, f))
        body = 'affine %d,0,0,%d,-0.5,-0.5\n%s' % (SCALE, SCALE, '\n'.join(mvg))
        convert('-size', '%dx%d' % (size * SCALE, size * SCALE), 'xc:white', '-draw', body,
                '-scale', '%dx%d!' % (size, size), frame)
        paths.append(frame)
    convert('-delay', 8, '-loop', 0, '-dispose', 'None', *paths, '+dither', '-alpha', 'off', dest)


def main():
    top = sys.argv[1]
    out = os.path.join(top, 'data', 'art')
    with tempfile.TemporaryDirectory() as work:
        p = Painter(work)
        draw_tabs(p, out)
        draw_buttons(p, out)
        draw_header(p, out)
        draw_score(p, out)
        draw_spinner(p, 32, os.path.join(out, 'waitfor.gif'))
        draw_spinner(p, 16, os.path.join(out, 'g_Loading.gif'))


if __name__ == '__main__':
    main()
