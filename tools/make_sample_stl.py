#!/usr/bin/env python3
"""Writes samples/quor-sample.stl: a 24 x 24 x 3 mm plate carrying a 15 mm tube.

The two shells touch but never overlap, so every layer is a clean section.
"""
import math
import os
import struct
import sys


def box(lo, hi):
    c = [(hi[0] if i & 1 else lo[0], hi[1] if i & 2 else lo[1], hi[2] if i & 4 else lo[2])
         for i in range(8)]
    quads = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    for a, b, cc, d in quads:
        yield c[a], c[b], c[cc]
        yield c[a], c[cc], c[d]


def tube(r_out, r_in, z0, z1, n):
    def ring(r, z):
        return [(r * math.cos(2 * math.pi * k / n), r * math.sin(2 * math.pi * k / n), z)
                for k in range(n)]
    oa, ob, ia, ib = ring(r_out, z0), ring(r_out, z1), ring(r_in, z0), ring(r_in, z1)
    for k in range(n):
        j = (k + 1) % n
        for quad in ((oa[k], oa[j], ob[j], ob[k]),   # outer wall
                     (ia[k], ib[k], ib[j], ia[j]),   # inner wall
                     (ob[k], ob[j], ib[j], ib[k]),   # top ring
                     (oa[k], ia[k], ia[j], oa[j])):  # bottom ring
            yield quad[0], quad[1], quad[2]
            yield quad[0], quad[2], quad[3]


def normal(a, b, c):
    u = [b[i] - a[i] for i in range(3)]
    v = [c[i] - a[i] for i in range(3)]
    n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    length = math.sqrt(sum(x * x for x in n)) or 1.0
    return [x / length for x in n]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), '..', 'samples', 'quor-sample.stl')
    triangles = list(box((-12, -12, 0), (12, 12, 3))) + list(tube(8, 5, 3, 18, 96))
    with open(out, 'wb') as f:
        f.write(b'Quor Slice sample: plate and tube'.ljust(80, b' '))
        f.write(struct.pack('<I', len(triangles)))
        for t in triangles:
            f.write(struct.pack('<3f', *normal(*t)))
            for p in t:
                f.write(struct.pack('<3f', *p))
            f.write(b'\0\0')


if __name__ == '__main__':
    main()
