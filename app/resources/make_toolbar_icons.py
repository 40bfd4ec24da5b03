#!/usr/bin/env python3
"""Draws velorin-map's toolbar icons, each a few shapes on a 24-unit grid, and
writes <name>_24.png and <name>_48.png next to this script, with the standard
library only, so the pictures can be made again anywhere:
    python3 app/resources/make_toolbar_icons.py
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tools", "icons"))
from icon_png import png, render  # noqa: E402

SIZES = (24, 48)

INK = (45, 52, 64)
BLUE = (29, 111, 196)
AMBER = (240, 170, 30)
YELLOW = (255, 215, 0)
RED = (200, 40, 40)
GREEN = (70, 160, 80)
PURPLE = (150, 70, 170)
WHITE = (255, 255, 255)


def seg_dist(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def line(points, width, colour):
    return ("line", points, width, colour)


def polygon(points, colour):
    return ("polygon", points, colour)


def disc(centre, radius, colour):
    return ("disc", centre, radius, colour)


def ring(centre, radius, width, colour):
    return ("ring", centre, radius, width, colour)


def inside(x, y, points):
    result = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


def hit(shape, x, y):
    kind = shape[0]
    if kind == "line":
        _, points, width, _ = shape
        return any(seg_dist(x, y, points[i], points[i + 1]) <= width / 2
                   for i in range(len(points) - 1))
    if kind == "polygon":
        return inside(x, y, shape[1])
    if kind == "disc":
        return math.hypot(x - shape[1][0], y - shape[1][1]) <= shape[2]
    _, centre, radius, width, _ = shape
    return abs(math.hypot(x - centre[0], y - centre[1]) - radius) <= width / 2


def box(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1), (x0, y0)]


def dashed(points, dash, width, colour):
    shapes = []
    for i in range(len(points) - 1):
        (ax, ay), (bx, by) = points[i], points[i + 1]
        length = math.hypot(bx - ax, by - ay)
        steps = int(length // dash)
        for k in range(0, steps, 2):
            t0, t1 = k * dash / length, min(1.0, (k + 1) * dash / length)
            shapes.append(line([(ax + (bx - ax) * t0, ay + (by - ay) * t0),
                                (ax + (bx - ax) * t1, ay + (by - ay) * t1)], width, colour))
    return shapes


def lens(extra):
    return [line([(14.5, 14.5), (21, 21)], 3.2, INK), disc((10, 10), 6.2, WHITE),
            ring((10, 10), 6.2, 2.2, INK)] + extra


ARROW = [(4, 3), (4, 19), (8, 15), (11, 21.5), (13.5, 20.5), (10.5, 14), (16, 14)]

ICONS = {
    "pan": [line([(12, 2.5), (12, 21.5)], 2.2, INK), line([(2.5, 12), (21.5, 12)], 2.2, INK),
            polygon([(12, 1), (8, 6), (16, 6)], INK), polygon([(12, 23), (8, 18), (16, 18)], INK),
            polygon([(1, 12), (6, 8), (6, 16)], INK), polygon([(23, 12), (18, 8), (18, 16)], INK)],
    "select": dashed(box(9, 2.5, 21.5, 13), 2.0, 1.4, BLUE) + [polygon(ARROW, WHITE),
                                                               line(ARROW + [ARROW[0]], 1.4, INK)],
    "identify": [disc((12, 12), 10, BLUE), disc((12, 6.8), 1.8, WHITE),
                 line([(12, 10.5), (12, 18)], 3.0, WHITE)],
    "full_extent": [disc((12, 12), 6.5, GREEN)] + [
        line(points, 2.0, INK) for points in (
            [(2, 7), (2, 2), (7, 2)], [(17, 2), (22, 2), (22, 7)],
            [(22, 17), (22, 22), (17, 22)], [(7, 22), (2, 22), (2, 17)])],
    "zoom_in": lens([line([(7, 10), (13, 10)], 2.0, INK), line([(10, 7), (10, 13)], 2.0, INK)]),
    "zoom_out": lens([line([(7, 10), (13, 10)], 2.0, INK)]),
    "clear_selection": dashed(box(2.5, 2.5, 17, 17), 2.0, 1.4, BLUE) + [
        line([(12, 12), (21.5, 21.5)], 3.0, RED), line([(21.5, 12), (12, 21.5)], 3.0, RED)],
    "zoom_flash": lens([polygon([(10, 5.5), (11.3, 8.7), (14.5, 9), (12, 11.2), (12.8, 14.5),
                                 (10, 12.7), (7.2, 14.5), (8, 11.2), (5.5, 9), (8.7, 8.7)],
                                AMBER)]),
    "copy_legend": [polygon([(2, 3), (10, 3), (10, 9), (2, 9)], RED),
                    polygon([(2, 10), (10, 10), (10, 16), (2, 16)], GREEN),
                    polygon([(2, 17), (10, 17), (10, 23), (2, 23)], PURPLE),
                    line([(11.5, 12), (17, 12)], 2.0, INK),
                    polygon([(20, 12), (16, 8.5), (16, 15.5)], INK),
                    disc((19, 5), 3, RED), disc((19, 19), 3, PURPLE)],
    "add_layer": [polygon([(2, 14), (12, 9), (22, 14), (12, 19)], BLUE),
                  polygon([(2, 9), (12, 4), (22, 9), (12, 14)], (120, 170, 220)),
                  line([(18, 15), (18, 23)], 2.4, GREEN), line([(14, 19), (22, 19)], 2.4, GREEN)],
}


def shapes_sample(shapes):
    """The colour at a point of the 24-unit grid: the last shape that covers it."""
    def sample(u, v):
        colour = None
        for shape in shapes:
            if hit(shape, u * 24.0, v * 24.0):
                colour = shape[-1]
        return colour
    return sample


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    for name, shapes in ICONS.items():
        for size in SIZES:
            with open(os.path.join(folder, "%s_%d.png" % (name, size)), "wb") as out:
                out.write(png(size, render(size, shapes_sample(shapes))))


if __name__ == "__main__":
    main()
