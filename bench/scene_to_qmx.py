#!/usr/bin/env python3
"""Turns a bench scene description (NAME.json next to NAME.dxf) into what
the modeler and the renderer need to render the same picture, and compares
pictures.

  scene_to_qmx.py qmx-args NAME.json OUT.MAQ   the `qmx --batch` arguments, one a line
  scene_to_qmx.py project NAME.json OUT.RPJ    writes the render project
  scene_to_qmx.py coverage OURS.BMP POV.PPM    covered pixels of both pictures (those
                                               unlike the picture's top left pixel, the
                                               sky) and their agreement, as one JSON line

Frames.  The description is right-handed with Z up.  The modeler's DXF import
turns a file point (x, y, z) into (x, z, -y), adds the centre -(min+max)/2 of
the file's extents and scales so that the largest extent fills the view it
is imported into.  The import is done in the default view (TH 0, PH 0, zoom
1, PERS 2000), whose target size is known.  Camera and lamps go through the
same mapping.  The model is left where the import puts it, so the renderer's
ground plane y = 0 is at file z = (min z + max z) / 2: scenes with a ground
are not matched (a note is printed).

Camera.  The renderer's pinhole is at CIBLE + (F + D) * back with focal
distance D, and a 640-wide image shows 36 pixels per unit: a horizontal
field of view h gives D = (320 / 36) / tan(h / 2), PERS = D / 0.02, and the
eye distance gives F and so the zoom, 25 * D / F.
"""
import json
import math
import os
import struct
import sys

VIEW_HALF_WIDTH = 320.0 / 36.0  # half the reference view, in projection units
DEFAULT_D = 2000 * 0.02          # the default view's viewing distance
DEFAULT_F = DEFAULT_D * 25.0     # and focal value (zoom 1)
DXF_FILL = 0.707106
MAX_OBJECT_POINTS = 32767        # a larger layer is split over several objects


def import_target_size():
    """The size the default view's DXF import scales the largest extent to."""
    w = VIEW_HALF_WIDTH
    return DXF_FILL * abs(2 * w * (DEFAULT_D - DEFAULT_F) / (DEFAULT_D - w))


class Mapping:
    """File (description) coordinates to modeler coordinates."""

    def __init__(self, extents):
        low, high = extents['min'], extents['max']
        self.centre = [-(low[i] + high[i]) / 2 for i in range(3)]
        largest = max(high[i] - low[i] for i in range(3))
        self.scale = import_target_size() / largest if largest > 1e-12 else 1.0

    def point(self, p):
        s, c = self.scale, self.centre
        return ((p[0] + c[0]) * s, (p[2] + c[2]) * s, -(p[1] + c[1]) * s)


def camera_of(desc, mapping):
    """TH, PH (degrees), zoom, PERS and CIBLE of the description's camera."""
    cam = desc['camera']
    eye, target = mapping.point(cam['eye']), mapping.point(cam['look_at'])
    back = [eye[i] - target[i] for i in range(3)]
    distance = math.sqrt(sum(b * b for b in back))
    back = [b / distance for b in back]
    # The view's back axis is (cos PH sin TH, -sin PH, cos PH cos TH).
    ph = -math.degrees(math.asin(max(-1.0, min(1.0, back[1]))))
    th = math.degrees(math.atan2(back[0], back[2]))
    pers = round(VIEW_HALF_WIDTH / math.tan(math.radians(cam['hfov_deg']) / 2) / 0.02)
    d = pers * 0.02
    focal = distance - d
    if focal <= 0:
        raise SystemExit('camera: the eye is nearer the target than the focal distance')
    zoom = 25 * d / focal
    if not 0.1 <= zoom <= 99:
        raise SystemExit('camera: zoom %.4f outside 0.1 to 99' % zoom)
    return th, ph, zoom, pers, target


def nibbles(hex12):
    v = int(hex12, 16)
    return (v >> 8) & 15, (v >> 4) & 15, v & 15


def fmt(x):
    return ('%.6f' % x).rstrip('0').rstrip('.') or '0'


def qmx_args(desc, dxf, maq):
    mapping = Mapping(desc['dxf_extents'])
    args = ['--camera', '0', '0', '1', '2000', '--import', dxf]
    if (desc.get('ground') or {}).get('on'):
        print('note: the ground plane is not at file z = 0 in this scene', file=sys.stderr)
    first = 0
    for o in desc['objects']:
        # Every DXF triangle brings its own three points, so a layer takes
        # one object per 10922 triangles.
        count = -(-o['triangles'] // (MAX_OBJECT_POINTS // 3))
        m = o['material']
        args += ['--select', '%d-%d' % (first, first + count - 1)]
        args += ['--colour'] + [str(c) for c in nibbles(m['colour12'])]
        args += ['--material', str(round(m['reflection_pct'])), str(round(m['transmission_pct'])),
                 str(round(m['refraction_pct'])), str(round(m['kspec_pct'])), str(round(m['nspec_pct']))]
        first += count
    for light in desc['lights']:
        p = mapping.point(light['position'])
        args += ['--lamp'] + [fmt(c) for c in p]
        args += [str(min(100, round(light.get('intensity_pct', 100)))), '0']
        args += [str(c) for c in nibbles(light.get('colour12', '0xFFF'))]
    th, ph, zoom, pers, target = camera_of(desc, mapping)
    args += ['--camera', fmt(th), fmt(ph), fmt(zoom), str(pers)] + [fmt(c) for c in target]
    args += ['--save', maq]
    return args


def packed(rgb):
    """A 0..1 colour as the project stores it: red in bits 0-7."""
    r, g, b = (max(0, min(255, round(c * 255))) for c in rgb)
    return r | g << 8 | b << 16


def project_bytes(desc, scene_name, antialias=0):
    width, height = desc.get('resolution', [640, 480])
    sky = packed(desc['sky']['colour'])
    ground = desc.get('ground') or {}
    # POV-Ray counts the primary ray as level 1. Our reflection depth counts
    # the primary ray as 1 too; our transmission depth starts at 0. The bench
    # scenes use one kind of secondary ray each, so one limit fits both.
    level = int(desc['max_trace_level'])
    refractive = any(o['material']['transmission_pct'] > 0 for o in desc['objects'])
    recursion = level - 1 if refractive else level
    name = scene_name.encode()[:151]
    block = name + b'\0' * (152 - len(name))
    block += struct.pack('<hhhhhh', width, height, 1000, 0, 0, 0)  # square pixels, no sun
    block += struct.pack('<5I', sky, sky, sky, sky, packed(ground.get('colour', [0.5, 0.5, 0.5])))
    block += struct.pack('<hh', recursion, 10)
    block += bytes([0, 1, 0, 0, 1, 1, 1, 1, 1, 1]) + struct.pack('<h', 1)
    flags = 0x08 | (0x10 if antialias else 0)
    switches = 0x02 | (0x01 if ground.get('on') else 0)
    block += struct.pack('<hHHhhhhH', 3, flags, 0x84, 5, 0, 0, 1, switches)
    block += struct.pack('<iihhhhi', 1, 0, antialias, 1, 0, 0, 0)
    assert len(block) == 236
    chunk = b'RZPM' + struct.pack('>I', len(block)) + block
    return b'FORM' + struct.pack('>I', 4 + len(chunk)) + b'KRPJ' + chunk


def write_atomically(path, data):
    tmp = path + '.tmp'
    with open(tmp, 'wb') as fh:
        fh.write(data)
    os.replace(tmp, path)


def read_bmp(path):
    with open(path, 'rb') as fh:
        data = fh.read()
    if data[:2] != b'BM':
        raise SystemExit(path + ': not a BMP file')
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bpp = struct.unpack_from('<iiHH', data, 18)
    if bpp != 24:
        raise SystemExit(path + ': not a 24-bit BMP')
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(width)])
    if height > 0:
        rows.reverse()
    return width, abs(height), rows


def read_ppm(path):
    with open(path, 'rb') as fh:
        data = fh.read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b'#':
            at = data.index(b'\n', at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    at += 1
    if fields[0] != b'P6' or int(fields[3]) != 255:
        raise SystemExit(path + ': not an 8-bit binary PPM')
    width, height = int(fields[1]), int(fields[2])
    rows = []
    for y in range(height):
        row = data[at + y * width * 3: at + (y + 1) * width * 3]
        rows.append([(row[3 * x], row[3 * x + 1], row[3 * x + 2]) for x in range(width)])
    return width, height, rows


def covered(rows, sky, tolerance=6):
    return [[max(abs(p[i] - sky[i]) for i in range(3)) > tolerance for p in row] for row in rows]


def coverage(ours_path, pov_path):
    w1, h1, ours = read_bmp(ours_path)
    w2, h2, pov = read_ppm(pov_path)
    if (w1, h1) != (w2, h2):
        raise SystemExit('pictures of different sizes: %dx%d and %dx%d' % (w1, h1, w2, h2))
    a, b = covered(ours, ours[0][0]), covered(pov, pov[0][0])
    both = sum(x and y for ra, rb in zip(a, b) for x, y in zip(ra, rb))
    same = sum(x == y for ra, rb in zip(a, b) for x, y in zip(ra, rb))
    count_a = sum(map(sum, a))
    count_b = sum(map(sum, b))
    union = count_a + count_b - both
    return {'ours': count_a, 'povray': count_b, 'agree_pct': round(100.0 * same / (w1 * h1), 3),
            'iou': round(both / union, 4) if union else 1.0}


def main(argv):
    if len(argv) == 4 and argv[1] == 'qmx-args':
        desc = json.load(open(argv[2]))
        dxf = os.path.splitext(argv[2])[0] + '.dxf'
        print('\n'.join(qmx_args(desc, dxf, argv[3])))
    elif len(argv) >= 4 and argv[1] == 'project':
        desc = json.load(open(argv[2]))
        aa = int(argv[4]) if len(argv) > 4 else 0
        write_atomically(argv[3], project_bytes(desc, os.path.splitext(argv[3])[0] + '.MAQ', aa))
    elif len(argv) == 4 and argv[1] == 'coverage':
        print(json.dumps(coverage(argv[2], argv[3])))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
