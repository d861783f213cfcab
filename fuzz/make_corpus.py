#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

The seeds follow the layouts described at the top of each target and mirror the cases of the
encoder's tests: the small gradients and distinct-colour frames, the green-keyed animation of
the gifenc tool test, a 257-colour frame under rmNone, frames large enough for the LZW table
to fill, and each pixel format and reduction mode. Run it again after changing a layout.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def encoder_seed(frames, width, height, flags=0, dither=1, delay=10, override=None,
                 transparent=None, sizes=None, pixels=b""):
    out = struct.pack("<BHHBBH", frames, width, height, flags, dither, delay)
    if flags & 0x40:
        out += bytes(override)
    if flags & 0x04:
        out += bytes(transparent)
    for k in range(frames):
        if flags & 0x20:
            out += struct.pack("<HH", *sizes[k])
        out += bytes([k % 4])  # stride padding
    return out + pixels


def reduction_seed(reduction, dither, bits, fmt, width, height, pad=0, source_palette=(),
                   palette=None, pixels=b""):
    out = struct.pack("<BBBBHBB", reduction, dither, bits - 3, fmt, width, height, pad)
    out += bytes([len(source_palette)]) + b"".join(bytes(c) for c in source_palette)
    if palette is None:
        out += b"\x00"
    else:
        out += b"\x01" + bytes([len(palette) - 1]) + b"".join(bytes(c) for c in palette)
    return out + pixels


def gradient(n):
    return bytes((i * 37) & 0xFF for i in range(n))


def distinct(n):  # entry i is (i, 255 - i, 7 i), as in the tests' DistinctPalette
    return [(i, 255 - i, (7 * i) & 0xFF) for i in range(n)]


GREEN_KEYED = bytes([0, 255, 0] * 4 + [200, 30, 30] * 4)

ENCODER = {
    "gradient_3x2": encoder_seed(1, 3, 2, pixels=gradient(18)),
    "keyed_loop_3_frames": encoder_seed(3, 8, 6, flags=0x06, transparent=(0, 255, 0), pixels=GREEN_KEYED),
    "grey_stucki_32bit_interlaced": encoder_seed(2, 17, 9, flags=0x19, dither=2, pixels=gradient(64)),
    "first_pixel_key_sierra": encoder_seed(2, 5, 5, flags=0x80, dither=3, pixels=gradient(75)),
    "sizes_per_frame_none": encoder_seed(3, 1, 1, flags=0x60, override=(0, 0, 5),
                                         sizes=[(4, 4), (9, 2), (1, 7)], pixels=bytes([10, 20, 30, 40])),
    "none_257_colours": encoder_seed(1, 257, 1, flags=0x40, override=(0, 0, 5),
                                     pixels=b"".join(bytes([0, x & 0xFF, x >> 8]) for x in range(257))),
    "quantize_4_bits_burkes": encoder_seed(1, 40, 30, flags=0x40, override=(7, 6, 1), pixels=gradient(97)),
    "palette_refused": encoder_seed(1, 2, 2, flags=0x40, override=(9, 0, 5), pixels=gradient(12)),
    "lzw_table_fills_300x200": encoder_seed(1, 300, 200, dither=0, pixels=gradient(251)),
}

REDUCTION = {
    "quantize_windows_fs_24bit": reduction_seed(8, 1, 8, 3, 16, 8, pixels=gradient(97)),
    "grey_nearest_32bit_padded": reduction_seed(5, 0, 8, 4, 7, 3, pad=3, pixels=gradient(40)),
    "windows256_nearest_8bit": reduction_seed(2, 0, 8, 2, 9, 4, source_palette=distinct(20), pixels=gradient(36)),
    "palette_stucki_4bit": reduction_seed(9, 2, 8, 1, 5, 5, source_palette=distinct(16),
                                          palette=distinct(6), pixels=gradient(15)),
    "monochrome_jajuni_1bit": reduction_seed(4, 4, 8, 0, 13, 6, source_palette=[(0, 0, 0), (250, 250, 250)],
                                             pixels=bytes([0xA5, 0x3C])),
    "quantize_3_bits_arche": reduction_seed(7, 5, 3, 3, 33, 2, pixels=gradient(99)),
    "netscape_sierra_width_1000": reduction_seed(6, 3, 8, 3, 1000, 2, pixels=gradient(64)),
    "windows_gray_burkes_width_1": reduction_seed(3, 6, 8, 3, 1, 40, pixels=gradient(30)),
    "none_copy": reduction_seed(0, 0, 8, 4, 3, 3, pixels=gradient(36)),
    "windows20_nearest": reduction_seed(1, 0, 8, 3, 11, 3, pixels=gradient(99)),
}

for target, seeds in (("gif_encoder_fuzz", ENCODER), ("color_reduction_fuzz", REDUCTION)):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
