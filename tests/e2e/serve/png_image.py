# Korvane - korvane-serve in a real browser.
# SPDX-License-Identifier: MIT
"""A PNG file as rows of RGB bytes, decoded by ImageMagick (the browser's
screenshots and korvane-serve's /screen.png)."""

import subprocess


class PngImage:
    """width, height, and rows: one bytes object of width * 3 (R, G, B) per row, top row first."""

    def __init__(self, data):
        size = subprocess.run(["/usr/bin/identify", "-format", "%w %h", "png:-"], input=data,
                              capture_output=True, check=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        raw = subprocess.run(["/usr/bin/convert", "png:-", "-depth", "8", "rgb:-"], input=data,
                             capture_output=True, check=True).stdout
        stride = 3 * self.width
        if len(raw) != stride * self.height:
            raise ValueError("ImageMagick gave %d bytes for a %dx%d picture" % (len(raw), self.width, self.height))
        self.rows = [raw[y * stride:(y + 1) * stride] for y in range(self.height)]

    def pixel(self, x, y):
        row = self.rows[y]
        return tuple(row[3 * x:3 * x + 3])
