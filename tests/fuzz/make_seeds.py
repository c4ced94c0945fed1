#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets.

    make_seeds.py DIR            small seeds: DIR/<target>/<name>
    make_seeds.py --large DIR    also full-size terrain files (64 KiB each),
                                 which are generated at fuzzing time rather
                                 than kept in the repository

The committed corpus/ directory was made with the first form.
"""
import math
import os
import struct
import sys


def texture(w, h, bpp, data_len=None):
    n = w * h * bpp if data_len is None else data_len
    return struct.pack("<iii", w, h, bpp) + bytes((i * 37) & 0xff for i in range(n))


def chunk(tag, body):
    pad = b"\0" if len(body) & 1 else b""
    return tag + struct.pack("<I", len(body)) + body + pad


def wav(chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def fmt(channels, bits, rate):
    align = channels * bits // 8
    return chunk(b"fmt ", struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits))


def terrain_script(qx, qz, ex, ez, op, radius):
    return struct.pack("<ffffBBBB", qx, qz, ex, ez, op, radius, 0, 0)


def datagram(sender, payload):
    return bytes([sender]) + struct.pack("<H", len(payload)) + payload


def helo(name, team, number):
    return b"HELO" + name.ljust(32, b"\0")[:32] + struct.pack("<ii", team, number)


def command(sub, *params):
    raw = [p if isinstance(p, int) else struct.unpack("<I", struct.pack("<f", p))[0] for p in params]
    raw += [0] * (4 - len(raw))
    return b"CMND" + sub + struct.pack("<4I", *raw)


def uupd(records):
    body = b"".join(struct.pack("<II", uid, len(vals)) + struct.pack("<%df" % len(vals), *vals)
                    for uid, vals in records)
    return b"UUPD" + struct.pack("<I", len(records)) + body


def small_seeds():
    return {
        "fuzz_texture": {
            "rgb_2x2": texture(2, 2, 3),
            "rgba_1d": texture(4, 1, 4),
            "short_data": texture(3, 3, 3, data_len=10),
            "bad_bpp": texture(2, 2, 2),
            "short_header": struct.pack("<ii", 4, 4),
        },
        "fuzz_wav": {
            "mono8": wav([fmt(1, 8, 11025), chunk(b"data", bytes(range(32)))]),
            "stereo16_list": wav([fmt(2, 16, 22050), chunk(b"LIST", b"INFOabc"),
                                  chunk(b"data", bytes(range(64)))]),
            "data_first": wav([chunk(b"data", b"\1\2\3\4"), fmt(1, 8, 8000)]),
            "odd_frames": wav([fmt(2, 16, 44100), chunk(b"data", bytes(range(7)))]),
        },
        "fuzz_datagram": {
            # header: mode, peer flags; then (sender, length, bytes) records
            "menu_helo_chat": bytes([0, 1]) + datagram(0, helo(b"peer", 1, 77))
            + datagram(0, b"CHAT" + b"hello there") + datagram(2, b"CHAT" + b"who am I"),
            "menu_start_then_play": bytes([0, 3]) + datagram(0, command(b"STRT", 12345))
            + datagram(0, uupd([(0x80401, [1.0, 2.0, 3.0]), (0x10001, [])])),
            "play_updates": bytes([1, 1]) + datagram(0, uupd([(0x20005, [10.0, 11.0, 12.0, 45.0, 1.0]),
                                                             (0x80400, [0.5] * 8)])),
            "play_commands": bytes([1, 1]) + datagram(0, command(b"ORDR", 0x20005, 1, 5.0, -7.0))
            + datagram(1, command(b"STRT", 1)) + datagram(3, command(b"KILL", 0x20005)),
            # A small battle (flag 4): the peer on team 1 against this copy.
            "battle_units": bytes([1, 3 | 4]) + datagram(0, command(b"UNIT", 0x80101, 0))
            + datagram(0, uupd([(0x80101, [3.0, 12.0, 4.0, 90.0, 1.0, 0.0, 0.0])]))
            + datagram(0, command(b"ORDR", 0x80002, 1, 5.0, -7.0))
            + datagram(0, command(b"ORDR", 0x80001, 2, 1.0, 1.0))
            + datagram(0, command(b"USWD", 0x80002, 0x80001, 45.0))
            + datagram(0, command(b"INVS", 0x80002, 30.0))
            + datagram(2, command(b"UDIE", 0x80004))
            + datagram(0, command(b"UDIE", 0x80002)) + datagram(0, command(b"UDIE", 0x99999)),
            "battle_siege": bytes([1, 1 | 4 | 8]) + datagram(0, command(b"GATE", 0.0))
            + datagram(0, command(b"GBRK", 1, 0.5)) + datagram(0, command(b"GBRK", 1, 1.5))
            + datagram(0, command(b"GBRK", 7, 1.5)) + datagram(0, command(b"GBRK", 0xffffffff, 2.0))
            + datagram(0, command(b"AARW", 1.0, 12.0, 2.0, 30.0))
            + datagram(0, command(b"UARW", 0x80001, 0x80002, 0.0))
            + datagram(0, command(b"UBAL", 0x10001, 30.0, 20.0))
            + datagram(1, command(b"UBAL", 0x10001, 30.0, 20.0))
            + datagram(0, command(b"LIGH", 10.0, -20.0)) + datagram(2, command(b"LIGH", 1.0, 2.0)),
            # Spells from the peer: meteors (one not a number, one far off),
            # invisibility for figures and soldiers, a strike.
            "battle_gods": bytes([1, 1 | 4]) + datagram(0, command(b"FIRE", 10.0, -20.0))
            + datagram(0, command(b"FIRE", float("nan"), 3.0)) + datagram(0, command(b"FIRE", 1e9, 3.0))
            + datagram(0, command(b"INVS", 0x80400, 15.0)) + datagram(0, command(b"INVS", 0x80001, 16.0))
            + datagram(0, command(b"INVS", 0x80400, 1e30)) + datagram(0, command(b"LIGH", 10.0, -20.0)),
            # A dragon of the peer's side (team 0, this copy on team 1):
            # announced, flown, breathing over the soldiers, lied about, killed.
            "battle_dragon": bytes([1, 1 | 4 | 8]) + datagram(0, command(b"UNIT", 0x50000, 0))
            + datagram(0, uupd([(0x50000, [2.0, 12.0, 3.0, 45.0, 1.0, 0.0, -1.0, 10.0, 10.0])]))
            + datagram(0, uupd([(0x50000, [2.0, 12.0, 3.0, 45.0, 1.0, 0.0, -1.0, 10.0, 11.0])]))
            + datagram(0, uupd([(0x50000, [1.0] * 5)]))
            + datagram(0, command(b"UNIT", 0x5FFFF, 0)) + datagram(0, command(b"UDIE", 0x50000)),
            # Ids this copy made (a goblin, a catapult, the ship) announced
            # by the peer, whose number is the lower: the first two move.
            "battle_id_clash": bytes([1, 1 | 2 | 4 | 16]) + datagram(0, command(b"UNIT", 0x80007, 4.0))
            + datagram(0, command(b"UNIT", 0x10000, 0)) + datagram(0, command(b"UNIT", 0x60000, 2.0))
            + datagram(0, uupd([(0x80007, [3.0, 12.0, 4.0, 90.0, 1.0, 0.0, 0.0])])),
            "end_screen": bytes([2, 1]) + datagram(0, b"HELO") + datagram(0, b"UU")
            + datagram(0, uupd([(1, [0.0] * 3)])[:13]),
        },
        "fuzz_settings_file": {
            "all_keys": b"# settings\ndisplay = window\nfog = off\nsound = on\nmusic_volume = 35\n"
            b"effects_volume = 0\nmouse_sensitivity = 250\ninvert_look = on\n",
            "partial_comments": b"  fog=ON # mist\r\n\n#x\nmouse_sensitivity=10\nunknown = 3\n",
            "broken_value": b"sound = on\nmusic_volume = 101\n",
        },
        "fuzz_terrain_file": {
            # Right script, file too short / not a map.
            "short_file": terrain_script(0, 0, 10, 10, 1, 3) + bytes(400),
            "script_only": terrain_script(-100.5, 200.25, 0, 0, 3, 2),
        },
    }


def large_seeds():
    flat = struct.pack("<f", 12.0) * (128 * 128)
    hills = b"".join(struct.pack("<f", 40.0 * math.sin(i / 9.0) * math.cos(j / 13.0) + 20.0)
                     for j in range(128) for i in range(128))
    return {
        "fuzz_terrain_file": {
            "flat_raise": terrain_script(0, 0, 0, 0, 1, 5) + flat,
            "hills_smooth": terrain_script(-255.0, 251.0, 100.0, -60.0, 3, 4) + hills,
            "hills_lower_edge": terrain_script(257.9, -257.9, -256.0, 252.0, 2, 15) + hills,
            # Extreme but accepted heights in the queried corner.
            "steep_corner": terrain_script(-255.0, -255.0, -250.0, -250.0, 1, 3)
            + struct.pack("<ff", 1e5, -1e5) + flat[8:],
        }
    }


def write(out, seeds):
    for target, files in seeds.items():
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(out, target, name), "wb") as f:
                f.write(data)


def main(argv):
    large = "--large" in argv
    args = [a for a in argv if a != "--large"]
    if len(args) != 1:
        sys.stderr.write(__doc__)
        return 2
    write(args[0], small_seeds())
    if large:
        write(args[0], large_seeds())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
