#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ (all but frame_source, whose movies come from
qxm-make-movie: --size 72x48 --frames 2, or 1 for avi-pal8, of each kind). The seeds are small
and committed; run this again only to change them."""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")  # \xNN escapes are bytes
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


ANCHORS = (
    "MaxObject=2\r\n\r\n"
    "[CAR1:RedCar:0-120:3]\r\n0:10,20,50,60;\r\n60:30,20,70,60;\r\n120:50,25,90,65;\r\n\r\n"
    "[P2:Person:5-9:2]\r\n5:0,0,8,8;\r\n9:4,4,12,12;\r\n"
)
put("anchor_file", "two_anchors.obj", ANCHORS)
put("anchor_file", "odd_lines.obj",
    "junk\nMaxObject=1\n[A1:N:7:1]\n7:1,2,3,4\n;\nnot a frame\n")
put("anchor_file", "multibyte.obj", "MaxObject=1\n[\xe3\x81\x82:\x83\x5d\x83\x5d:0-1:2]\n0:1,1,2,2;\n1:2,2,3,3;\n")
put("control_anchors", "two_anchors.obj", ANCHORS)
put("control_anchors", "one.obj", "MaxObject=1\n[ID:Name:10-20:2]\n10:0,0,100,100;\n20:-50,-50,2147483647,10;\n")

put("movie_object_file", "plain.mob", "MovieFile=clip.avi\r\nStartFrame=0\r\nEndFrame=10\r\n")
put("movie_object_file", "folder.mob", "MovieFile=sub\\CLIP.AVI\nStartFrame=3\nEndFrame=2\n")

put("track_params", "all_keys.ini", """[qxmtrack]
Accuracy=M_LOW
SpeedFactor=M_HIGH
SearchWidth=40
SearchHeight=40
SearchAll=OFF
AcceptanceThreshold=10.0
CertaintyThreshold=100.0
UseSecondPixelFlag=OFF
FirstLevel=7
LastLevel=0
Red=0.299
Green=0.587
Blue=0.114
FrameStep=5
DelMidleFlag=ON
AcceptableDistance=24.0
ScoreTh=20.0
ModelRatio=70.0
ResultGood=70.0
ResultNoGood=30.0
BackwardSearch=50.0
ShowTime=OFF
""")
put("track_params", "weights.ini", "; comment\r\n[QXMTRACK]\r\n Red = \"1e300\" \r\nGreen=-2.5\r\nBlue=0x10\r\n")


def dib(width, height, bits, palette=False, image_size=None):
    row = ((width * bits + 31) // 32) * 4
    colors = 256 if palette else 0
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0,
                         row * height if image_size is None else image_size, 0, 0, colors, 0)
    table = bytes(v for i in range(256) for v in (i, i, i, 0)) if palette else b""
    pixels = bytes((i * 7) & 0xFF for i in range(row * height))
    return header + table + pixels


put("packed_bitmap", "bgr24_4x2.dib", dib(4, 2, 24))
put("packed_bitmap", "pal8_5x3.dib", dib(5, 3, 8, palette=True))
put("packed_bitmap", "no_size_3x3.dib", dib(3, 3, 24, image_size=0))


def cursor_image(width, height, bits):
    # A device-independent bitmap of twice the height: the colours, then the 1-bit AND mask.
    colors = 2 if bits == 1 else 0
    row = ((width * bits + 31) // 32) * 4
    mask_row = ((width + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0, 0, 0, 0, colors, 0)
    table = b"\x00\x00\x00\x00\xff\xff\xff\x00" if bits == 1 else b""
    pixels = bytes((i * 37) & 0xFF for i in range(row * height))
    mask = bytes(0x55 for _ in range(mask_row * height))
    return header + table + pixels + mask


def directory(kind, images):
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for width, height, hx, hy, data in images:
        out += struct.pack("<BBBBHHII", width & 0xFF, height & 0xFF, 0, 0, hx, hy, len(data), offset)
        offset += len(data)
        body += data
    return out + body


PNG = b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + struct.pack(">IIBBBBB", 4, 4, 8, 6, 0, 0, 0) + b"\0\0\0\0"
cur32 = directory(2, [(4, 4, 1, 2, cursor_image(4, 4, 32))])
cur1 = directory(2, [(8, 8, 7, 0, cursor_image(8, 8, 1)), (4, 4, 0, 0, cursor_image(4, 4, 24))])
ico = directory(1, [(4, 4, 0, 0, PNG), (2, 2, 0, 0, cursor_image(2, 2, 8))])
put("cursor", "argb_4x4.cur", cur32)
put("cursor", "mono_and_24.cur", cur1)
put("cursor", "png_and_8.ico", ico)


def chunk(tag, data):
    return tag + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


anih = struct.pack("<9I", 36, 2, 3, 0, 0, 0, 0, 6, 1)
frames = chunk(b"LIST", b"fram" + chunk(b"icon", cur32) + chunk(b"icon", cur1))
body = b"ACON" + chunk(b"anih", anih) + chunk(b"rate", struct.pack("<3I", 1, 0, 9)) + \
    chunk(b"seq ", struct.pack("<3I", 0, 1, 0)) + frames
put("cursor", "two_frames.ani", b"RIFF" + struct.pack("<I", len(body)) + body)

put("property_bag", "control.txt", """# saved by a container
_Version=131072
_ExtentX=8573
_ExtentY=7276
AutoPlay=False
AutoRepeat=True
MovieFile = /movies/a b.mpg
MovieWindowSetting=1
SelectionStart=0
SelectionEnd=-1
CursorFile="  leading blanks\\tand a tab"
SoundFile="C:\\\\click.wav"
PlaybackRate=100
AnchorFrameOrigin=1
ShowAnchorName=1
""")
put("property_bag", "crlf_bom.txt", "\xef\xbb\xbf; comment\r\nShowControls=0\r\nActivateMethod=2147483648\r\n")

BOOLS = {"AutoPlay", "AutoRepeat", "AutoRewind", "FullScreenMode", "ShowControls", "ShowDisplay",
         "ShowTracker", "ChangeCursor", "EnableContextMenu", "ShowAnchor", "ClickSound",
         "ShowAnchorName"}
STRINGS = {"MovieFile": b"/movies/a.mpg", "CursorFile": b"", "SoundFile": b"click.wav"}
ORDER = ["AutoPlay", "AutoRepeat", "AutoRewind", "MovieFile", "MovieWindowSetting",
         "FullScreenMode", "ShowControls", "ShowDisplay", "ShowTracker", "SelectionEnd",
         "SelectionStart", "ActivateMethod", "ChangeCursor", "CursorFile", "EnableContextMenu",
         "ShowAnchor", "ClickSound", "SoundFile", "PlaybackEnvironment", "ShowAnchorName",
         "PlaybackRate", "AnchorFrameOrigin"]


def stream(version, count):
    out = struct.pack("<Iii", version, 8573, 7276)
    for name in ORDER[:count]:
        if name in STRINGS:
            out += struct.pack("<I", len(STRINGS[name])) + STRINGS[name]
        else:
            out += struct.pack("<i", 1 if name in BOOLS else -1)
    return out


put("persist_stream", "current.bin", stream(0x00020000, 22))
put("persist_stream", "older_short.bin", stream(0x00010000, 5))

put("registry", "control.reg", """# component registry
[class {1A2B3C4D-0000-1111-2222-333344445555}]
name = "QX-MOVIE ActiveX Control"
module = "/usr/lib/libqxmovie.so"
progid = "QXMOVIE.QXMovieCtrl.2"
version-independent-progid = "QXMOVIE.QXMovieCtrl"
threading = "Apartment"
control = "yes"
insertable = "no"
toolbox-bitmap = "1"
misc-status = "0x00020191"
typelib = "{9A8B7C6D-0000-1111-2222-333344445555}"
typelib-version = "2.0"

[progid QXMOVIE.QXMovieCtrl.2]
clsid = "{1A2B3C4D-0000-1111-2222-333344445555}"
name = "QX-MOVIE ActiveX Control"

[progid QXMOVIE.QXMovieCtrl]
clsid = "{1A2B3C4D-0000-1111-2222-333344445555}"
curver = "QXMOVIE.QXMovieCtrl.2"

[typelib {9A8B7C6D-0000-1111-2222-333344445555} 2.0]
name = "QX-MOVIE ActiveX"
module = "/usr/lib/libqxmovie.so"
help-dir = ""
lcid = "0"
flags = "control"

[category {7DD95801-9882-11CF-9FA9-00AA006C42C4}]
description.1033 = "Controls that are \\"safely\\" scriptable\\n"

[implements {1A2B3C4D-0000-1111-2222-333344445555}]
categories = "{7DD95801-9882-11CF-9FA9-00AA006C42C4} {7DD95802-9882-11CF-9FA9-00AA006C42C4}"
""")

put("command_line", "path.txt", "/movies/clip.mob")
put("command_line", "quoted_and_switch.txt", "\"/my movies/a b.avi\" /I\"-play -loop\"  /Ifast")
put("command_line", "multibyte.txt", "\x83\x5c\x83\x5c.avi\t/I")

put("open_request", "request.txt", "\"/movies/clip.mob\",CAR1,0")
put("open_request", "plain.txt", "/movies/clip.avi")
put("open_request", "odd.txt", "x\"\",,\"a\",\xe3\x81\x82\xe3\x81\x82,")
