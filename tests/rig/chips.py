"""What QEMU's trace says each emulated chip was last programmed with, as
(baud, data bits, parity, stop bits) in DCB codes (parity 0..4 none, odd,
even, mark, space; stop bits 0, 1, 2 for 1, 1.5, 2)."""

import re

ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS = 0, 1, 2
FTDI_SET_DATA = 0x4004


def ft232(trace_lines):
    """The FT232: the driver's SET_DATA request word as the chip received it
    (data bits in bits 0-7, parity 8-10, stop bits 11-13), and the baud rate
    QEMU derives from the divisor."""
    baud = frame = None
    for line in trace_lines:
        match = re.search(r"usb_serial_set_baud .* baud rate (\d+)", line)
        if match:
            baud = int(match.group(1))
        match = re.search(r"usb_serial_handle_control .* got control (0x[0-9a-f]+), value (0x[0-9a-f]+)", line)
        if match and int(match.group(1), 16) == FTDI_SET_DATA:
            word = int(match.group(2), 16)
            frame = (word & 0xFF, (word >> 8) & 0x7, (word >> 11) & 0x7)
    return (baud,) + frame if baud and frame else None


def uart16550(trace_lines):
    """A 16550: the line control register as last written with the divisor
    latch closed, and the baud rate of the divisor."""
    baud = lcr = None
    for line in trace_lines:
        match = re.search(r"serial_update_parameters baudrate=(\d+)", line)
        if match:
            baud = int(match.group(1))
        match = re.search(r"serial_write write addr 0x03 val (0x[0-9a-f]+)", line)
        if match and not int(match.group(1), 16) & 0x80:
            lcr = int(match.group(1), 16)
    if baud is None or lcr is None:
        return None
    bits = (lcr & 0x3) + 5
    stop = (ONE5STOPBITS if bits == 5 else TWOSTOPBITS) if lcr & 0x4 else ONESTOPBIT
    if not lcr & 0x08:
        parity = 0
    elif lcr & 0x20:  # stick parity: the even-select bit gives the level
        parity = 4 if lcr & 0x10 else 3
    else:
        parity = 2 if lcr & 0x10 else 1
    return (baud, bits, parity, stop)


def close_enough(actual, wanted):
    """A UART's divisor misses some rates by a little; 3 % is what a receiver takes."""
    return abs(actual - wanted) * 100 <= wanted * 3


PL011_CLOCK_QUARTERS = 96_000_000  # the virt machine's 24 MHz UART clock, times 4
PL011_IBRD, PL011_FBRD, PL011_LCR_H = 0x24, 0x28, 0x2C


def pl011(trace_lines):
    """The PL011: its integer and fractional divisors (in 64ths of 16 clocks)
    and its line control register as last written, break bit aside."""
    registers = {}
    for line in trace_lines:
        match = re.search(r"pl011_write addr (0x[0-9a-f]+) value (0x[0-9a-f]+)", line)
        if match:
            registers[int(match.group(1), 16)] = int(match.group(2), 16)
    if not all(register in registers for register in (PL011_IBRD, PL011_FBRD, PL011_LCR_H)):
        return None
    divisor = 64 * registers[PL011_IBRD] + registers[PL011_FBRD]
    if not divisor:
        return None
    lcr = registers[PL011_LCR_H]
    bits = ((lcr >> 5) & 0x3) + 5
    stop = TWOSTOPBITS if lcr & 0x08 else ONESTOPBIT
    if not lcr & 0x02:
        parity = 0
    elif lcr & 0x80:  # stick parity: even-select clear sends 1 (mark), set sends 0 (space)
        parity = 4 if lcr & 0x04 else 3
    else:
        parity = 2 if lcr & 0x04 else 1
    return (round(PL011_CLOCK_QUARTERS / divisor), bits, parity, stop)
