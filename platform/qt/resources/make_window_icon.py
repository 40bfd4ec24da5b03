#!/usr/bin/env python3
"""Draws the shared window icon of the Velorin dialogs: a map tile (land, a river)
under an amber lens, the tools' zoom and flash. Writes window_icon_<size>.png next
to this script for each size, with the standard library only, so the pictures can
be regenerated anywhere:  python3 platform/qt/resources/make_window_icon.py
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tools", "icons"))
from icon_png import png, render  # noqa: E402

SIZES = (16, 24, 32, 48, 64)

WATER = (29, 79, 115)
LAND = (111, 174, 90)
LAND_LIGHT = (164, 207, 122)
RIVER = (143, 211, 255)
AMBER = (255, 197, 51)
AMBER_DARK = (196, 128, 20)


def in_rounded_square(x, y, radius):
    cx = min(max(x, radius), 1.0 - radius)
    cy = min(max(y, radius), 1.0 - radius)
    return 0.0 <= x <= 1.0 and 0.0 <= y <= 1.0 and math.hypot(x - cx, y - cy) <= radius


def in_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def segment_distance(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def near_polyline(x, y, points, width):
    return any(segment_distance(x, y, points[i], points[i + 1]) <= width / 2
               for i in range(len(points) - 1))


LAND_WEST = [(0.0, 0.30), (0.30, 0.22), (0.44, 0.55), (0.34, 1.0), (0.0, 1.0)]
LAND_EAST = [(0.52, 0.0), (1.0, 0.0), (1.0, 0.62), (0.70, 0.70), (0.50, 0.40)]
RIVER_LINE = [(0.05, 0.05), (0.30, 0.16), (0.47, 0.47), (0.40, 0.80), (0.55, 1.0)]
LENS_CENTRE = (0.60, 0.42)
LENS_RADIUS = 0.22
LENS_RING = 0.085
HANDLE = [(0.60 + 0.22 * 0.7071, 0.42 + 0.22 * 0.7071), (0.90, 0.90)]


def sample(x, y):
    """The colour at a point of the unit square, or None outside the icon."""
    if not in_rounded_square(x, y, 0.18):
        return None
    colour = WATER
    if in_polygon(x, y, LAND_WEST):
        colour = LAND
    if in_polygon(x, y, LAND_EAST):
        colour = LAND_LIGHT
    if near_polyline(x, y, RIVER_LINE, 0.07):
        colour = RIVER
    distance = math.hypot(x - LENS_CENTRE[0], y - LENS_CENTRE[1])
    if near_polyline(x, y, HANDLE, 0.13):
        colour = AMBER_DARK
    if abs(distance - LENS_RADIUS) <= LENS_RING / 2:
        colour = AMBER
    return colour


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    for size in SIZES:
        with open(os.path.join(folder, "window_icon_%d.png" % size), "wb") as out:
            out.write(png(size, render(size, sample)))


if __name__ == "__main__":
    main()
