"""A USB-serial chip played in the guest: a configfs gadget on dummy_hcd whose
one function is FunctionFS, served by chip_emulator (guest/chip_emulator.cpp),
so that the kernel's own ch341, cp210x or pl2303 driver binds it as
/dev/ttyUSB0, or cdc-acm as /dev/ttyACM0. The emulator's record of the control requests comes to the host
over ttyS1 (Machine.chip); the far end of the line is a pair of guest files
(ChipEnd). Unbinding the gadget from the UDC pulls the chip out, binding it
again plugs it back, with another serial number another adapter."""

from collections import namedtuple

from gadget import GuestFileEnd

GADGET = "/sys/kernel/config/usb_gadget/chip"
FFS = "/dev/ffs-chip"
RECEIVED = "/tmp/chip.rx"
SEND = "/tmp/chip.tx"
LINES = "/tmp/chip.lines"
UDC = "dummy_udc.0"

Chip = namedtuple("Chip", "driver vendor product device_release device_class maker name serial endpoints")

CH340 = Chip("ch341", 0x1A86, 0x7523, 0x0254, 0xFF, "wch.cn", "USB Serial", "CH34A0001", 3)
CP2102 = Chip("cp210x", 0x10C4, 0xEA60, 0x0100, 0x00, "Silicon Labs", "CP2102 USB to UART Bridge Controller",
              "0001", 2)
PL2303 = Chip("pl2303", 0x067B, 0x2303, 0x0300, 0x00, "Prolific Technology Inc.", "USB-Serial Controller",
              "PL23A001", 3)
# pid.codes' test ID: no quirk of cdc-acm's applies to it.
ACM_DEVICE = Chip("cdc-acm", 0x1209, 0x0001, 0x0100, 0x02, "Zandrel rig", "CDC ACM line", "ACM0001", 3)


def identity_text(chip, serial=None):
    """What the program calls the chip: maker, name and serial number."""
    return f"{chip.maker} {chip.name} {serial or chip.serial}"


def bring_up(chip):
    """Guest shell that builds the gadget, starts the emulator and plugs it in."""
    strings = f"{GADGET}/strings/0x409"
    return "\n".join([
        "mount -t configfs none /sys/kernel/config",
        f"mkdir {GADGET} {strings} {GADGET}/configs/c.1 {GADGET}/functions/ffs.chip",
        f"echo {chip.vendor:#06x} >{GADGET}/idVendor; echo {chip.product:#06x} >{GADGET}/idProduct",
        f"echo {chip.device_release:#06x} >{GADGET}/bcdDevice; echo {chip.device_class:#04x} >{GADGET}/bDeviceClass",
        f"echo '{chip.maker}' >{strings}/manufacturer; echo '{chip.name}' >{strings}/product",
        f"echo {chip.serial} >{strings}/serialnumber",
        f"ln -s {GADGET}/functions/ffs.chip {GADGET}/configs/c.1/",
        f"mkdir {FFS}; mount -t functionfs chip {FFS}",
        "stty -F /dev/ttyS1 115200 raw -echo",
        f"mkfifo {SEND} {LINES}",
        f"chip_emulator {chip.driver} {FFS} /dev/ttyS1 {RECEIVED} {SEND} {LINES} 2>/tmp/chip.err &",
        f"await {FFS}/ep{chip.endpoints} || cat /tmp/chip.err",
        f"echo {UDC} >{GADGET}/UDC",
    ])


def pull(vm, device):
    vm.check(f"echo '' >{GADGET}/UDC; await ! {device}")


def plug(vm, device, serial):
    vm.check(f"echo {serial} >{GADGET}/strings/0x409/serialnumber; echo {UDC} >{GADGET}/UDC; await {device}")


class ChipEnd(GuestFileEnd):
    """The far end: what the chip got from the host, what it is to send."""

    def __init__(self, vm):
        super().__init__(vm, SEND, RECEIVED)

    def set_line(self, name, on):
        """Sets the far end's "cts" or "dsr" line; returns what had arrived
        just before (mark)."""
        return self._after_mark(f"echo {name} {int(on)} >{LINES}")


def frame(lines):
    """The frame the emulator was last programmed with, as chips.py gives it."""
    for line in reversed(lines):
        if line.startswith("frame "):
            return tuple(int(part) for part in line.split()[1:5])
    return None
