#!/usr/bin/env python3
"""Writes the stand-in Pumatic 1.06 firmware image as a TI-Text file.

The maker's firmware is not ours to ship, so the default build carries this
stand-in instead. It has the real image's layout and the figures the updater
depends on: three segments 0x8000-0xF9FF, 0xFE00-0xFFBF and 0xFFC0-0xFFDF plus
the vector segment, 63442 characters of in-memory image text whose character
codes add up to 3705585. At 0x8000 it carries the header that a restarted
device reads:

  +0   "HVFW"
  +4   model code, 16 bytes, zero-padded
  +20  version text, 16 bytes, zero-padded
  +36  CRC-32 (reflected 0xEDB88320, init and final XOR 0xFFFFFFFF), little-endian,
       over header+48 up to 0x10000 without 0xFA00-0xFDFF and 0xFFE0-0xFFFF,
       unprogrammed bytes counting as 0xFF
  +40  8 balance bytes, not checked: they tune the text's character sum

With --sensor it writes the stand-in digital-sensor firmware of the sensor
build instead (types 92 and 93, "Celva 1.06"): flash 0x8000 to 0x88000, so
its code goes on above 0xFFFF (five-digit addresses), in two segments
0x8000-0xBFFF and 0x10000-0x13FFF plus the vector segment, with the same
header; its check range runs to 0x88000. It has no figures to meet.

The output is the same on every run (a fixed pseudo-random sequence), so the
committed files can be checked against a fresh run:

  tools/image/make_standin_image.py --check tools/image/pumatic-1.06.txt
  tools/image/make_standin_image.py --sensor --check tools/image/celva-1.06.txt
"""

import argparse
import sys

MODEL = b"PUMATIC"
VERSION = b"1.06"
FLASH_START = 0x8000
FLASH_END = 0x10000  # end of main flash, exclusive
PROTECTED = (0xFA00, 0xFE00)
VECTORS = (0xFFE0, 0x10000)
SEGMENTS = [(0x8000, 0xFA00), (0xFE00, 0xFFC0), (0xFFC0, 0xFFE0)]
HEADER_SIZE = 48
CRC_OFFSET = 36
BALANCE_OFFSET = 40
BALANCE_BYTES = 8

TARGET_LENGTH = 63442
TARGET_SUM = 3705585

RESET_ENTRY = FLASH_START + HEADER_SIZE  # the application starts right after the header
DEFAULT_HANDLER = 0x8100  # an interrupt handler that only returns


class Sequence:
    """xorshift32: a fixed pseudo-random byte source."""

    def __init__(self, seed):
        self.state = seed

    def byte(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x & 0xFF


def crc32(data):
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    crc = 0xFFFFFFFF
    for b in data:
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8)
    return crc ^ 0xFFFFFFFF


def digit_sum(byte):
    """Character codes of a byte's two upper-case hexadecimal digits."""
    return sum(ord(c) for c in "%02X" % byte)


def check_bytes(memory):
    out = bytearray()
    for address in range(FLASH_START + HEADER_SIZE, FLASH_END):
        if PROTECTED[0] <= address < PROTECTED[1] or VECTORS[0] <= address < VECTORS[1]:
            continue
        out.append(memory[address])
    return bytes(out)


def build_memory(code_end):
    """Memory 0x0000-0xFFFF: header, code up to code_end, erased fill, tables."""
    memory = bytearray([0xFF]) * 0x10000
    code = Sequence(0x48564657)
    for address in range(FLASH_START + HEADER_SIZE, 0xFA00):
        value = code.byte()
        if address < code_end:
            memory[address] = value
    # The handler at DEFAULT_HANDLER is a lone "reti" (0x1300).
    memory[DEFAULT_HANDLER] = 0x00
    memory[DEFAULT_HANDLER + 1] = 0x13
    tables = Sequence(0x31304636)
    for address in range(0xFE00, 0xFFE0):
        memory[address] = tables.byte()
    header = bytearray(HEADER_SIZE)
    header[0:4] = b"HVFW"
    header[4:4 + len(MODEL)] = MODEL
    header[20:20 + len(VERSION)] = VERSION
    memory[FLASH_START:FLASH_START + HEADER_SIZE] = header
    crc = crc32(check_bytes(memory))
    memory[FLASH_START + CRC_OFFSET:FLASH_START + CRC_OFFSET + 4] = crc.to_bytes(4, "little")
    for i in range(16):
        vector = RESET_ENTRY if i == 15 else DEFAULT_HANDLER
        memory[0xFFE0 + 2 * i:0xFFE2 + 2 * i] = vector.to_bytes(2, "little")
    return memory


def text_sum(memory):
    total = sum(ord(c) for start, _ in SEGMENTS for c in "@%05X" % start)
    for start, end in SEGMENTS:
        total += sum(digit_sum(b) for b in memory[start:end])
    return total


def balance(needed):
    """Eight bytes whose digit sums add up to needed, or None."""
    sums = {}
    for b in range(256):
        sums.setdefault(digit_sum(b), b)
    reachable = [{0: []}]
    for _ in range(BALANCE_BYTES):
        nxt = {}
        for total, chosen in reachable[-1].items():
            for s, b in sums.items():
                nxt.setdefault(total + s, chosen + [b])
        reachable.append(nxt)
    return reachable[-1].get(needed)


def build():
    # Walk the end of the code down until the balance bytes can make up the
    # rest. Moving the end by one byte turns one code byte into 0xFF, so the
    # sum without the check value and balance bytes is followed cheaply and the
    # whole image is only built where the two can close the gap.
    memory = build_memory(0xFA00)
    loose = [FLASH_START + i for i in range(CRC_OFFSET, HEADER_SIZE)]
    fixed = text_sum(memory) - sum(digit_sum(memory[a]) for a in loose)
    low = BALANCE_BYTES * digit_sum(0x00) + 4 * digit_sum(0x00)
    high = BALANCE_BYTES * digit_sum(0xFF) + 4 * digit_sum(0xFF)
    for code_end in range(0xFA00, FLASH_START + 0x1000, -1):
        if code_end < 0xFA00:
            fixed += digit_sum(0xFF) - digit_sum(memory[code_end])
            memory[code_end] = 0xFF
        if not low <= TARGET_SUM - fixed <= high:
            continue
        candidate = build_memory(code_end)
        crc_sum = sum(digit_sum(b) for b in candidate[FLASH_START + CRC_OFFSET:
                                                      FLASH_START + BALANCE_OFFSET])
        chosen = balance(TARGET_SUM - fixed - crc_sum)
        if chosen is not None:
            at = FLASH_START + BALANCE_OFFSET
            candidate[at:at + BALANCE_BYTES] = bytes(chosen)
            return candidate
    sys.exit("make_standin_image: no code length reaches the character sum")


def ti_text(memory, segments=SEGMENTS):
    lines = []
    for start, end in segments + [VECTORS]:
        lines.append("@%X" % start)
        for row in range(start, end, 16):
            lines.append(" ".join("%02X" % b for b in memory[row:min(row + 16, end)]))
    lines.append("q")
    return "\n".join(lines) + "\n"


SENSOR_MODEL = b"CELVA"
SENSOR_FLASH_END = 0x88000
SENSOR_SEGMENTS = [(0x8000, 0xC000), (0x10000, 0x14000)]


def build_sensor():
    """The sensor's memory 0x00000-0x87FFF: header, code, erased elsewhere."""
    memory = bytearray([0xFF]) * SENSOR_FLASH_END
    code = Sequence(0x53444931)
    for start, end in SENSOR_SEGMENTS:
        for address in range(start, end):
            memory[address] = code.byte()
    memory[DEFAULT_HANDLER] = 0x00
    memory[DEFAULT_HANDLER + 1] = 0x13
    header = bytearray(HEADER_SIZE)
    header[0:4] = b"HVFW"
    header[4:4 + len(SENSOR_MODEL)] = SENSOR_MODEL
    header[20:20 + len(VERSION)] = VERSION
    memory[FLASH_START:FLASH_START + HEADER_SIZE] = header
    checked = bytearray()
    for address in range(FLASH_START + HEADER_SIZE, SENSOR_FLASH_END):
        if PROTECTED[0] <= address < PROTECTED[1] or VECTORS[0] <= address < VECTORS[1]:
            continue
        checked.append(memory[address])
    crc = crc32(bytes(checked))
    memory[FLASH_START + CRC_OFFSET:FLASH_START + CRC_OFFSET + 4] = crc.to_bytes(4, "little")
    for i in range(16):
        vector = RESET_ENTRY if i == 15 else DEFAULT_HANDLER
        memory[0xFFE0 + 2 * i:0xFFE2 + 2 * i] = vector.to_bytes(2, "little")
    return memory


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", nargs="?")
    parser.add_argument("--check", action="store_true",
                        help="compare with the existing file instead of writing it")
    parser.add_argument("--sensor", action="store_true",
                        help="the digital-sensor build's stand-in instead of the Pumatic's")
    args = parser.parse_args()

    if args.sensor:
        args.output = args.output or "celva-1.06.txt"
        text = ti_text(build_sensor(), SENSOR_SEGMENTS)
    else:
        args.output = args.output or "pumatic-1.06.txt"
        memory = build()
        length = sum(6 + 2 * (end - start) for start, end in SEGMENTS)
        assert length == TARGET_LENGTH, length
        assert text_sum(memory) == TARGET_SUM, text_sum(memory)
        text = ti_text(memory)
    if args.check:
        with open(args.output, encoding="ascii", newline="") as f:
            if f.read() != text:
                sys.exit("make_standin_image: %s differs from a fresh run" % args.output)
        return
    with open(args.output, "w", encoding="ascii", newline="") as f:
        f.write(text)


if __name__ == "__main__":
    main()
