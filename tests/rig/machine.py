"""A QEMU guest running the kernel's real serial drivers, and the far ends of
its lines on the host.

The guest boots an initramfs whose init loads the boot's modules and then
serves shell commands on its console (ttyS0): the host sends a line with its
length, the guest runs it and answers "@@done <status>", or "@@garbled" for a
line that did not come whole, which the host sends again. Its lines under test:
  /dev/ttyUSB0  an emulated FT232 on ftdi_sio, far end Machine.adapter
  /dev/ttyS1    a 16550 on the 8250 driver, far end Machine.uart
  /dev/ttyS2    a 16550 whose far end (Machine.telnet, a TelnetLine) speaks telnet, so it can send a break
  /dev/ttyACM0  with the cdc_acm modules: g_serial's gadget on dummy_hcd, far end
                /dev/ttyGS0 in the guest itself (see gadget.py)
  /dev/ttyUSB0  with a chip's modules instead: a CH340, CP2102 or PL2303 (or on
                /dev/ttyACM0 an ACM device) played by chip_emulator through FunctionFS
                (see chip_gadget.py); the emulator's record of the requests it got
                comes out of ttyS1 (Machine.chip)
The host listens on the console's, the adapter's and ttyS1's unix sockets and
QEMU connects at start, so those lines are connected before the guest looks for
them (the adapter attaches only then); ttyS2's socket is QEMU's, since QEMU
reads telnet commands only from a client of its own.
QMP unplugs and plugs the adapter; QEMU's trace tells what each chip was
programmed with. Everything the console showed is kept in console.log."""

import json
import os
import re
import select
import shutil
import socket
import subprocess
import threading
import time

import guest_kernel
import initramfs

TRACE_EVENTS = ["usb_serial_set_baud", "usb_serial_set_data", "usb_serial_handle_control",
                "usb_serial_unsupported_parity", "usb_serial_unsupported_stopbits",
                "usb_serial_unsupported_data_bits", "usb_serial_set_flow_control", "serial_update_parameters",
                "serial_write"]
TELNET_IAC = b"\xff"
TELNET_BREAK = TELNET_IAC + b"\xf3"
BOOT_SECONDS = 90  # emulation on a loaded two-core machine
# A real FT232 carries its serial number in its EEPROM; QEMU's default is made
# from the socket it is plugged into, and a re-plug may take another socket.
ADAPTER_SERIAL = "A50285BI"
GARBLED_TRIES = 3

INIT = r"""#!/bin/sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
echo 3 > /proc/sys/kernel/printk
%(insmods)s
# Waits up to ten seconds for a path to appear (or, with !, to go away).
await() {
  n=0
  if [ "$1" = "!" ]; then
    while [ -e "$2" ] && [ $n -lt 200 ]; do usleep 50000; n=$((n+1)); done; [ ! -e "$2" ]
  else
    while [ ! -e "$1" ] && [ $n -lt 200 ]; do usleep 50000; n=$((n+1)); done; [ -e "$1" ]
  fi
}
# Waits up to ten seconds for a file to hold at least $2 bytes.
await_size() {
  n=0
  while [ "$(stat -c %%s "$1" 2>/dev/null || echo 0)" -lt "$2" ] && [ $n -lt 200 ]; do usleep 50000; n=$((n+1)); done
  [ "$(stat -c %%s "$1" 2>/dev/null || echo 0)" -ge "$2" ]
}
# Waits up to ten seconds (or $3) for a file to hold the text $2.
await_text() {
  n=0
  while ! grep -q "$2" "$1" 2>/dev/null && [ $n -lt $((${3:-10} * 20)) ]; do usleep 50000; n=$((n+1)); done
  grep -q "$2" "$1" 2>/dev/null
}
# Waits up to ten seconds for a tty's termios to be other than $2 (stty -g).
await_termios_change() {
  n=0
  while [ "$(stty -g -F "$1")" = "$2" ] && [ $n -lt 200 ]; do usleep 50000; n=$((n+1)); done
  [ "$(stty -g -F "$1")" != "$2" ]
}
# the guest's uptime in hundredths of a second
uptime_cs() { awk '{ printf "%%d\n", $1 * 100 }' /proc/uptime; }
# user and system clock ticks a process has used
ticks() { set -- $(cat /proc/$1/stat 2>/dev/null | sed 's/.*) //'); echo $(( ${12:-0} + ${13:-0} )); }
export HOME=/tmp PATH=/bin:/usr/bin
cd /tmp
# Up to ten seconds until the console opens: a virtio console's node is there
# a moment before its port, and opening it meanwhile fails.
n=0
until stty -F %(console)s >/dev/null 2>&1 || [ $n -ge 200 ]; do usleep 50000; n=$((n+1)); done
# Opened first: a virtio console's termios is reset when its last user closes it.
exec <%(console)s >%(console)s 2>&1
stty raw -echo
%(setup)s
echo @@ready
# Each line comes as "LENGTH COMMAND": one that lost characters on the way
# (or to another reader of the console) is refused rather than run, since a
# syntax error would end this shell.
while IFS= read -r rig_line; do
  rig_command=${rig_line#* }
  if [ "${#rig_command}" = "${rig_line%%%% *}" ]; then eval "$rig_command"; echo "@@done $?"; else echo "@@garbled $rig_line"; fi
done
poweroff -f
"""


class Line:
    """The host's end of one guest line: what arrived, with arrival times."""

    def __init__(self, connection):
        self.socket = connection
        self._lock = threading.Condition()
        self._data = bytearray()
        self._times = []
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        while True:
            try:
                chunk = self.socket.recv(65536)
            except OSError:
                chunk = b""
            self._arrived(chunk)
            now = time.monotonic()
            with self._lock:
                if not chunk:
                    self._lock.notify_all()
                    return
                self._data += chunk
                self._times += [now] * len(chunk)
                self._lock.notify_all()

    def _arrived(self, chunk):
        """Each chunk as it comes, before it is stored (empty at the end)."""

    def send(self, data):
        self.socket.sendall(data)

    def send_after_mark(self, data):
        """Sends data; returns what had arrived just before (mark)."""
        mark = self.mark()
        self.send(data)
        return mark

    def mark(self):
        with self._lock:
            return len(self._data)

    def received(self, since=0):
        with self._lock:
            return bytes(self._data[since:])

    def arrival_times(self, since=0):
        with self._lock:
            return list(self._times[since:])

    def wait_for(self, count, since=0, timeout=10.0, quiet=None):
        """Waits until count bytes arrived after since; with quiet, until nothing
        has arrived for that many seconds as well. Returns what arrived."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                enough = len(self._data) - since >= count
                settled = not quiet or (self._times and time.monotonic() - self._times[-1] >= quiet)
                left = deadline - time.monotonic()
                if (enough and settled) or left <= 0:
                    return bytes(self._data[since:])
                self._lock.wait(min(left, quiet or left))

    def close(self):
        self.socket.close()


class TelnetLine(Line):
    """A line whose far end is QEMU's telnet server: data goes with each 0xFF
    doubled, and a break goes as telnet's BREAK. What QEMU sends is the UART's
    data as it stands, after its own option offers when the client connects."""

    def send(self, data):
        super().send(data.replace(TELNET_IAC, TELNET_IAC * 2))

    def send_break_between(self, before, after):
        """before, then a break, then after."""
        escape = lambda data: data.replace(TELNET_IAC, TELNET_IAC * 2)  # noqa: E731
        self.socket.sendall(escape(before) + TELNET_BREAK + escape(after))


class Console(Line):
    """The guest's shell, its output also written to a log file."""

    def __init__(self, connection, log_path):
        self._log = open(log_path, "ab", buffering=0)
        super().__init__(connection)

    def _arrived(self, chunk):
        self._log.write(chunk)

    def wait_text(self, pattern, since, timeout):
        deadline = time.monotonic() + timeout
        regex = re.compile(pattern)
        with self._lock:
            while True:
                text = self._data[since:].decode("latin-1")
                match = regex.search(text)
                if match:
                    return match, text
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"guest console: no {pattern!r} after {timeout} s; it showed:\n{text[-2000:]}")
                self._lock.wait(left)

    def note(self, text):
        self._log.write(f"\n#### host: {text}\n".encode())


class Trace:
    """A record's lines as they come: QEMU's trace from its standard error, or
    the chip emulator's from ttyS1."""

    def __init__(self, stream, log_path):
        self._lock = threading.Condition()
        self._lines = []
        self._log = open(log_path, "a")
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for raw in stream:
            line = raw.decode("latin-1").rstrip("\r\n")
            if ("serial_write" in line and "addr 0x03" not in line) or re.search(r"pl011_write addr 0x0+ ", line):
                continue  # the UARTs' data; only their line control and divisor registers tell the frame
            self._log.write(line + "\n")
            self._log.flush()
            with self._lock:
                self._lines.append(line)
                self._lock.notify_all()

    def mark(self):
        with self._lock:
            return len(self._lines)

    def lines(self, since=0, pattern=None):
        with self._lock:
            chosen = self._lines[since:]
        return [line for line in chosen if pattern is None or re.search(pattern, line)]

    def wait_for(self, pattern, since, timeout=10.0, accept=lambda match: True):
        """The lines after since that match pattern (and that accept takes
        the match of), once there is one."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                found = [line for line in self._lines[since:]
                         if (match := re.search(pattern, line)) and accept(match)]
                left = deadline - time.monotonic()
                if found or left <= 0:
                    return found
                self._lock.wait(left)

    def wait_until(self, holds, timeout):
        """Whether holds(lines) came true within timeout."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while not holds(self._lines):
                left = deadline - time.monotonic()
                if left <= 0:
                    return False
                self._lock.wait(left)
            return True


class Machine:
    """One guest boot. programs and files (guest path: host path, guest path:
    bytes) go into the guest; modules (with what they depend on) are loaded
    first, with module_options (name: arguments); setup is shell run before it
    starts serving. With chip_log, ttyS1's far end is the chip emulator's record
    (Machine.chip, read like the trace) rather than a line (Machine.uart)."""

    def __init__(self, name, work_dir, kernel_dir, programs, modules, files=None, setup="", module_options=None,
                 chip_log=False):
        self.name = name
        self.dir = os.path.join(work_dir, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self._kernel_dir = kernel_dir
        self._modules = guest_kernel.load_order(kernel_dir, modules)
        self._programs = programs
        self._files = files or {}
        self._setup = setup
        self._module_options = module_options or {}
        self._chip_log = chip_log
        self.process = None
        self.console_log = os.path.join(self.dir, "console.log")
        self.trace_log = os.path.join(self.dir, "trace.log")
        self.chip_log = os.path.join(self.dir, "chip.log")

    def _listen(self, name):
        path = os.path.join(self.dir, name + ".sock")
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        server.bind(path)
        server.listen(1)
        return server, path

    def _accept(self, server):
        readable, _, _ = select.select([server], [], [], 30)
        if not readable:
            raise RuntimeError(f"QEMU did not connect to {server.getsockname()}; see {self.trace_log}")
        connection, _ = server.accept()
        server.close()
        return connection

    # The guest's console, the lines whose far end the host listens on, and
    # the trace events that tell how the UARTs were programmed.
    console_device = "/dev/ttyS0"
    host_lines = ("console", "adapter", "uart")
    trace_events = TRACE_EVENTS
    busybox = None  # the host's
    boot_seconds = BOOT_SECONDS

    def _qemu(self, image, sockets, telnet_path):
        """QEMU's command line, its machine's lines on those sockets."""
        return [
            "qemu-system-x86_64", "-nodefaults", "-display", "none", "-no-reboot", "-m", "256", "-smp", "1",
            "-kernel", os.path.join(self._kernel_dir, "vmlinuz"), "-initrd", image,
            "-append", "console=ttyS0 panic=-1 quiet",
            "-chardev", f"socket,id=console,path={sockets['console']}",
            "-chardev", f"socket,id=uart,path={sockets['uart']}",
            "-chardev", f"socket,id=telnet,path={telnet_path},server=on,wait=off,telnet=on",
            "-chardev", f"socket,id=adapter,path={sockets['adapter']}",
            "-serial", "chardev:console", "-serial", "chardev:uart", "-serial", "chardev:telnet",
            "-device", "qemu-xhci,id=xhci",
            "-device", f"usb-serial,id=adapter,chardev=adapter,bus=xhci.0,serial={ADAPTER_SERIAL}",
        ]

    def _take_lines(self, servers):
        """The far ends of the lines QEMU connected to, but the console's."""
        self.adapter = Line(self._accept(servers["adapter"][0]))
        uart = self._accept(servers["uart"][0])
        if self._chip_log:
            self.chip = Trace(uart.makefile("rb"), self.chip_log)
            self.uart = None
        else:
            self.uart = Line(uart)

    def start(self):
        image = initramfs.build(os.path.join(self.dir, "initramfs.cpio"), self._kernel_dir, self._modules,
                                self._programs, self._files,
                                INIT % {"insmods": self._insmods(), "setup": self._setup,
                                        "console": self.console_device},
                                self.busybox and os.path.join(self._kernel_dir, self.busybox))
        servers = {name: self._listen(name) for name in self.host_lines}
        telnet_path = os.path.join(self.dir, "telnet.sock")
        self.qmp_path = os.path.join(self.dir, "qmp.sock")
        command = self._qemu(image, {name: server[1] for name, server in servers.items()}, telnet_path)
        command += ["-qmp", f"unix:{self.qmp_path},server=on,wait=off"]
        for event in self.trace_events:
            command += ["-trace", event]
        with open(os.path.join(self.dir, "command"), "w") as note:
            note.write(" ".join(command) + "\n")
        started = time.monotonic()
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE)
        self.trace = Trace(self.process.stderr, self.trace_log)
        try:
            self.console = Console(self._accept(servers["console"][0]), self.console_log)
            self._take_lines(servers)
            self._qmp = Qmp(self.qmp_path)
            self.telnet = TelnetLine(_connect(telnet_path))
            self.console.wait_text(r"@@ready", 0, self.boot_seconds)
            self.boot_time = time.monotonic() - started
        except BaseException:
            self.close()  # no test class tears down a boot that never came up
            raise
        return self

    def _insmods(self):
        return "\n".join(f"insmod /lib/modules/{name}.ko {self._module_options.get(name, '')}".rstrip()
                         for name in self._modules)

    def send_command(self, command):
        """Sends one shell line to the guest, framed as its loop takes it."""
        self.console.note(command)
        line = command.encode()
        self.console.send(b"%d %s\n" % (len(line), line))

    def run(self, command, timeout=30.0):
        """Runs one shell line in the guest; returns (status, output). A line
        the guest got garbled is sent again."""
        for _ in range(GARBLED_TRIES):
            since = self.console.mark()
            self.send_command(command)
            match, text = self.console.wait_text(r"@@(?:done (\d+)|garbled .*)\r?\n", since, timeout)
            if match.group(1) is not None:
                return int(match.group(1)), text[:match.start()]
            self.console.note("the guest got that line garbled")
        raise RuntimeError(f"the guest got {command!r} garbled {GARBLED_TRIES} times; see {self.console_log}")

    def check(self, command, timeout=30.0):
        """Runs one shell line that must succeed; returns its output."""
        status, output = self.run(command, timeout)
        if status != 0:
            raise AssertionError(f"guest: {command!r} ended with {status}:\n{output}")
        return output

    def qmp(self, command, **arguments):
        self.console.note(f"QMP {command} {arguments}")
        return self._qmp.execute(command, **arguments)

    def unplug_adapter(self):
        """Pulls the FT232 out; returns once the guest has lost /dev/ttyUSB0."""
        self.qmp("device_del", id="adapter")
        self.check("await ! /dev/ttyUSB0")

    def plug_adapter(self, serial=ADAPTER_SERIAL):
        """Plugs the FT232 in again (with another serial number: another
        adapter); returns once the guest has /dev/ttyUSB0."""
        self._qmp.wait_event("DEVICE_DELETED", 10)
        self.qmp("device_add", driver="usb-serial", id="adapter", chardev="adapter", bus="xhci.0", serial=serial)
        self.check("await /dev/ttyUSB0")

    def close(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        for name in ("console", "adapter", "uart", "telnet"):
            line = getattr(self, name, None)
            if line:
                line.close()


class Arm64Machine(Machine):
    """An arm64 guest as a Raspberry Pi's: QEMU's virt machine under TCG,
    its console on a virtio console (hvc0), and its one PL011 (/dev/ttyAMA0,
    the kernel's amba-pl011 driver) the line under test, its far end QEMU's
    telnet server (Machine.telnet), so a break can be sent.
    The pl011_write trace shows IBRD, FBRD and LCR_H as the driver wrote them."""

    console_device = "/dev/hvc0"
    host_lines = ("console",)
    trace_events = ["pl011_write"]
    busybox = "busybox"  # the guest's own, from the kernel directory
    boot_seconds = 180  # every instruction emulated, on a loaded two-core machine

    def _qemu(self, image, sockets, telnet_path):
        # max's pointer authentication costs TCG dearly; QEMU's own algorithm does not.
        return [
            "qemu-system-aarch64", "-M", "virt", "-cpu", "max,pauth-impdef=on", "-nodefaults", "-display", "none",
            "-no-reboot", "-m", "512", "-smp", "1",
            "-kernel", os.path.join(self._kernel_dir, "vmlinuz"), "-initrd", image,
            "-append", "console=hvc0 panic=-1 quiet",
            "-chardev", f"socket,id=console,path={sockets['console']}",
            "-device", "virtio-serial-device", "-device", "virtconsole,chardev=console",
            "-chardev", f"socket,id=telnet,path={telnet_path},server=on,wait=off,telnet=on",
            "-serial", "chardev:telnet",
        ]

    def _take_lines(self, servers):
        pass


def _connect(path):
    """A connection to a socket QEMU listens on, once it does."""
    deadline = time.monotonic() + 30
    while True:
        connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            connection.connect(path)
            return connection
        except OSError:
            connection.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


class Qmp:
    """QEMU's machine protocol: commands and their answers, events kept."""

    def __init__(self, path):
        self._socket = _connect(path)
        self._stream = self._socket.makefile("rwb", buffering=0)
        self._events = []
        self._read()  # the greeting
        self.execute("qmp_capabilities")

    def _read(self):
        line = self._stream.readline()
        if not line:
            raise RuntimeError("QMP closed")
        return json.loads(line)

    def execute(self, command, **arguments):
        request = {"execute": command}
        if arguments:
            request["arguments"] = arguments
        self._stream.write(json.dumps(request).encode() + b"\n")
        while True:
            answer = self._read()
            if "event" in answer:
                self._events.append(answer)
            elif "error" in answer:
                raise RuntimeError(f"QMP {command}: {answer['error']}")
            elif "return" in answer:
                return answer["return"]

    def wait_event(self, name, timeout):
        self._socket.settimeout(timeout)
        try:
            while not any(event["event"] == name for event in self._events):
                self._events.append(self._read())
        finally:
            self._socket.settimeout(None)
        self._events = [event for event in self._events if event["event"] != name]
