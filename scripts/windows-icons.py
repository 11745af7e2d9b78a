#!/usr/bin/env python3
# Makes data/windows/*.ico from the program's SVG icons (256, 48, 32 and 16
# pixels, PNG inside), with librsvg and cairo through ctypes. Run by hand
# when an icon changes; the .ico files are kept in the tree so that the
# Windows build needs neither library.
import ctypes
import io
import struct
import sys
from pathlib import Path

rsvg = ctypes.CDLL("librsvg-2.so.2")
cairo = ctypes.CDLL("libcairo.so.2")
for name in ("rsvg_handle_new_from_file", "cairo_image_surface_create", "cairo_create"):
    getattr(rsvg if name.startswith("rsvg") else cairo, name).restype = ctypes.c_void_p
WriteFunc = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint)
Sizes = (256, 48, 32, 16)


def png(svg: Path, size: int) -> bytes:
    error = ctypes.c_void_p()
    handle = rsvg.rsvg_handle_new_from_file(str(svg).encode(), ctypes.byref(error))
    if not handle:
        sys.exit(f"cannot read {svg}")
    surface = ctypes.c_void_p(cairo.cairo_image_surface_create(0, size, size))  # ARGB32
    context = ctypes.c_void_p(cairo.cairo_create(surface))
    scale = ctypes.c_double(size / 64)  # the icons are drawn on 64 x 64
    cairo.cairo_scale(context, scale, scale)
    rsvg.rsvg_handle_render_cairo(ctypes.c_void_p(handle), context)
    out = io.BytesIO()

    def write(_closure, data, length):
        out.write(ctypes.string_at(data, length))
        return 0  # CAIRO_STATUS_SUCCESS

    cairo.cairo_surface_write_to_png_stream(surface, WriteFunc(write), None)
    return out.getvalue()


def ico(images: list[tuple[int, bytes]]) -> bytes:
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return header + entries + b"".join(data for _, data in images)


data = Path(__file__).resolve().parent.parent / "data"
for svg, target in (("vorn.svg", "vorn.ico"), ("application-x-vorn-data.svg", "vorn-data.ico")):
    (data / "windows" / target).write_bytes(ico([(s, png(data / svg, s)) for s in Sizes]))
