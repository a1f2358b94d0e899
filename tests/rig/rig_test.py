"""The program on the kernel's real serial drivers: an FT232 on ftdi_sio,
16550s on the 8250 driver (one also behind ser2net in the guest), a USB
gadget on cdc_acm and a CH340, CP2102 and PL2303 played through FunctionFS on
ch341, cp210x and pl2303, in a QEMU guest (see machine.py, chip_gadget.py and
ser2net_guest.py). Each test class is one boot; its tests
run in the order of their names.

A new scenario is a GuestTest subclass (one more boot, about 10 s) or a test
in an existing one: self.vm.check() runs guest shell, start_zandrel() and
stop_zandrel() drive a console run, self.vm.unplug_adapter() and
plug_adapter() pull and plug the FT232 through QMP (self.vm.qmp() sends any
other command), self.vm.trace (for an emulated chip self.vm.chip) and the far
ends (self.vm.adapter, uart, telnet; for ttyACM0 a GadgetEnd, for a chip a
ChipEnd) tell what happened on the line. guest_setup is shell the guest runs
before it serves the host; modules are what it loads. The mixins below hold
the tests every driver gets; a class names its device and how its chip's
record is read."""

import os
import re
import threading
import time
import unittest

import chip_gadget
import chips
import ser2net_guest
from gadget import GadgetEnd
from guest_kernel import ARM64_CONSOLE_MODULES, CDC_ACM_MODULES, CHIP_GADGET_MODULES, USB_SERIAL_MODULES
from machine import ADAPTER_SERIAL, Arm64Machine, Machine

# Set by run_rig.py: work directory, kernel directory, the program, the probe,
# the line filler, the chip emulator; under "arm64" the arm64 guest's kernel
# directory, the program's package unpacked ("package") and the helper
# programs (None: no arm64 boot).
CONFIG = {}

ADAPTER, UART, TELNET_UART, ACM = "/dev/ttyUSB0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyACM0"
PL011 = "/dev/ttyAMA0"
NET_UART = ser2net_guest.ADDRESS  # ser2net in the guest in front of UART
COM_OF = {ADAPTER: 1, UART: 2, TELNET_UART: 3, ACM: 4, PL011: 5, NET_UART: 6}
LINE_OF = {NET_UART: UART}  # the guest line behind a network port
# What the dialog offers.
BAUDS = [110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000]
DATA_BITS = [5, 6, 7, 8]
PARITIES = [0, 1, 2, 3, 4]
STOP_BITS = [0, 1, 2]
PARITY_LETTERS = "NOEMS"
STOP_TEXTS = ["1", "1.5", "2"]
ERROR_INVALID_PARAMETER = 87
EV_BREAK, CE_BREAK = 0x40, 0x10
CPU_TICKS_PER_SECOND = 100
FTDI_SET_LATENCY = 0x4009

ALL_BYTES = bytes(range(256))
# Write to Port reads its file in text mode: a NUL is sent as nothing, CR LF
# as LF, and Ctrl-Z ends the file; so Ctrl-Z goes last.
SEND_FILE = bytes(b for b in range(256) if b != 0x1A) + b"\x1a"
SENT_BYTES = bytes(b for b in range(1, 256) if b != 0x1A)
PACE_FILE = b"U" * 60
COUNT_FILE = b"0123456789" * 10  # where a resumed write picks up can be told
XON, XOFF = b"\x11", b"\x13"
PROBE_OUT = "/tmp/probe.out"
PACED = 30  # characters of a paced write, 0123456789... as the probe sends them


def frame_text(frame):
    baud, bits, parity, stop = frame
    return f"{baud} {bits}{PARITY_LETTERS[parity]}{STOP_TEXTS[stop]}"


def runs(chip, frame):
    """Whether a chip's decoded frame is frame, its rate as near as a divisor gets."""
    return chip is not None and chip[1:] == frame[1:] and chips.close_enough(chip[0], frame[0])


def package_files(tree, files):
    """An unpacked package's programs (guest path: host path); its other files
    go into files (guest path: bytes)."""
    programs = {}
    for folder, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(folder, name)
            guest_path = "/" + os.path.relpath(path, tree)
            if os.access(path, os.X_OK):
                programs[guest_path] = path
            else:
                with open(path, "rb") as data:
                    files[guest_path] = data.read()
    return programs


def boot(name, modules, guest_setup="", arch="amd64", programs=None, files=None, **machine_options):
    """A guest with the program, the probe, the filler, the chip emulator (on
    amd64) and the test data, and programs and files of the boot's own, COM1
    to COM6 mapped to the lines."""
    built = CONFIG if arch == "amd64" else CONFIG[arch]
    programs = {"/bin/port_probe": built["probe"], "/bin/line_filler": built["filler"], **(programs or {})}
    files = dict(files or {})
    if "package" in built:  # installed as dpkg would, on the architecture's own libraries
        programs.update(package_files(built["package"], files))
    else:
        programs["/bin/zandrel"] = built["zandrel"]
    if "chip" in built:
        programs["/bin/chip_emulator"] = built["chip"]
    files = {"/data/all.bin": ALL_BYTES, "/data/send.bin": SEND_FILE, "/data/pace.txt": PACE_FILE,
             "/data/count.txt": COUNT_FILE, **files}
    setup = " ".join(f"export ZANDREL_COM{number}={device};" for device, number in COM_OF.items())
    machine = Arm64Machine if arch == "arm64" else Machine
    return machine(name, CONFIG["work"], built["kernel"], programs, modules, files,
                   setup + "\n" + guest_setup, **machine_options).start()


class GuestTest(unittest.TestCase):
    """A boot shared by the class's tests."""

    guest_setup = ""
    guest_programs = {}  # guest path: host path, beside what every boot has
    guest_files = {}  # guest path: bytes
    modules = USB_SERIAL_MODULES
    machine_options = {}
    device = ADAPTER  # the boot is up once it is there
    arch = "amd64"

    @classmethod
    def setUpClass(cls):
        cls.vm = boot(cls.__name__, cls.modules, cls.guest_setup, cls.arch, cls.guest_programs, cls.guest_files,
                      **cls.machine_options)
        cls.vm.check(f"await {LINE_OF.get(cls.device, cls.device)}")
        cls.gadget = GadgetEnd(cls.vm)

    @classmethod
    def tearDownClass(cls):
        cls.vm.close()

    def far_end(self, device):
        if device == ACM:
            return self.gadget
        line = LINE_OF.get(device, device)
        return getattr(self.vm, {ADAPTER: "adapter", UART: "uart", TELNET_UART: "telnet", PL011: "telnet"}[line])

    def record(self, device):
        """What tells how device's chip was programmed (read like the trace),
        the pattern of a line saying its rate (the rate its first group), and
        how to decode the frame from it; None where nothing shows it."""
        if device == ADAPTER:
            return self.vm.trace, r"usb_serial_set_baud .* baud rate (\d+)", chips.ft232
        if LINE_OF.get(device, device) in (UART, TELNET_UART):
            return self.vm.trace, r"serial_update_parameters baudrate=(\d+)", chips.uart16550
        if device == PL011:  # the rate takes two registers: no one line says it
            return self.vm.trace, None, chips.pl011
        return None

    def start_zandrel(self, device, switches, baud=115200, port=None):
        """Starts a console run in the background, its port named as COMn or
        as port (-c with a path or an address); returns once the chip's
        record shows its port set to baud (as close as the chip's divisor
        gets), or for ttyACM0, whose line coding nothing shows, once its
        termios has changed (busybox stty cannot read a termios2 speed)."""
        record = self.record(device)
        mark = record[0].mark() if record else None
        termios = None if record else self.vm.check(f"stty -g -F {device}").strip()
        self.vm.check(f"zandrel -c {port or COM_OF[device]} -b {baud} {switches} </dev/null >/tmp/out 2>/tmp/err & "
                      "echo $! >/tmp/pid")
        if termios:
            status, _ = self.vm.run(f"await_termios_change {device} {termios}")
            self.assertEqual(status, 0, f"{device} was never set up: " + self.vm.run("cat /tmp/err")[1])
            return
        source, pattern, decode = record
        if pattern:
            set_up = source.wait_for(pattern, mark, 20, lambda match: chips.close_enough(int(match.group(1)), baud))
        else:
            set_up = source.wait_until(lambda lines: (chip := decode(lines[mark:])) is not None
                                       and chips.close_enough(chip[0], baud), 20)
        self.assertTrue(set_up, f"{device} was never set to {baud}: " + self.vm.run("cat /tmp/err")[1])
        # The job goes on setting the line (flow control, modem lines) after the rate: data sent
        # meanwhile was now and then never captured on the USB chips, which is still to be explained.
        self.vm.check("usleep 300000")

    def stop_zandrel(self, seconds=10):
        """SIGTERM to the console run; its exit status, once it has ended."""
        return self.stop_zandrel_timed(seconds)[0]

    def stop_zandrel_timed(self, seconds=10):
        """SIGTERM to the console run: its exit status and the seconds it took
        to end (to a hundredth, by the guest's uptime); one still running after
        that many seconds is killed (status 137)."""
        status, output = self.vm.run(f"p=$(cat /tmp/pid); a=$(uptime_cs); kill -TERM $p; timeout {seconds} sh -c "
                                     "\"while [ -e /proc/$p ]; do usleep 20000; done\"; echo @@ended $(($(uptime_cs) - a)); "
                                     "kill -KILL $p 2>/dev/null; wait $p", seconds + 20)
        return status, int(re.search(r"@@ended (\d+)", output).group(1)) / 100

    def guest_bytes(self, path):
        """A file's bytes, read as hex over the guest's console; a line the
        console garbled on its way (seen now and then under load) is read again."""
        for _ in range(3):
            output = self.vm.check(f"xxd -p {path} | tr -d '\\n'; echo").strip()
            if re.fullmatch(r"(?:[0-9a-f]{2})*", output):
                return bytes.fromhex(output)
        self.fail(f"{path} did not come over the console as hex: {output!r}")

    def capture_all_bytes(self, device, port=None):
        self.vm.check("rm -f /tmp/cap*")
        self.start_zandrel(device, "-r /tmp/cap.bin", port=port)
        self.far_end(device).send(ALL_BYTES)
        self.vm.check("await_size /tmp/cap.bin 256")
        self.assertEqual(self.stop_zandrel(), 0)
        self.assertEqual(self.guest_bytes("/tmp/cap.bin"), ALL_BYTES)
        companion = self.vm.check("cat /tmp/cap_asci.bin; echo").strip()
        self.assertEqual(companion, "".join(f"{byte & 0x7F}|" for byte in ALL_BYTES))

    def write_all_bytes(self, device):
        line = self.far_end(device)
        since = line.mark()
        self.vm.check(f"zandrel -c {COM_OF[device]} -b 115200 -m 5 -l n -w /data/send.bin </dev/null", 60)
        self.assertEqual(line.wait_for(len(SENT_BYTES), since, 10, quiet=0.5), SENT_BYTES)

    def line_settings(self, device):
        """Each setting the dialog offers through SetCommState, one at a time:
        taken, the chip runs it; refused (87), the chip and GetCommState keep
        what ran before. Returns the table of what happened."""
        source, _, decode = self.record(device)
        steps = [(baud, 8, 0, 0) for baud in BAUDS]
        steps += [(9600, bits, parity, stop) for bits in DATA_BITS for parity in PARITIES for stop in STOP_BITS]
        arguments = " ".join("set:%d:%d:%d:%d" % step for step in steps)
        console = self.vm.console
        since = console.mark()
        self.vm.send_command(f"port_probe {device} {arguments}")
        table, faults = [], []
        kept = None
        for asked in steps:
            match, _ = console.wait_text(r"@@set (\d) (\d+) (\d+) (\d) (\d) (\d)\r?\n", since, 20)
            since += match.end()
            taken, error = match.group(1) == "1", int(match.group(2))
            reported = tuple(int(match.group(i)) for i in range(3, 7))
            expected = asked if taken else kept
            # The record comes by a path of its own: wait for what should be
            # there, and after a refusal a little more, for what should not.
            if expected:
                source.wait_until(lambda lines: runs(decode(lines), expected), 3)
            if not taken or not expected:
                time.sleep(0.1)
            chip = decode(source.lines())
            console.send(b"\n")
            outcome = "taken" if taken else f"refused ({error})"
            table.append(f"{frame_text(asked):>12}  {outcome:<14} GetCommState {frame_text(reported):>12}  "
                         f"chip {frame_text(chip) if chip else '?':>12}")
            if not taken and error != ERROR_INVALID_PARAMETER:
                faults.append(f"{frame_text(asked)}: error {error}")
            elif expected is not None and reported != expected:
                faults.append(f"{frame_text(asked)}: GetCommState says {frame_text(reported)}")
            elif expected is not None and not runs(chip, expected):
                faults.append(f"{frame_text(asked)} {outcome}: the chip runs {frame_text(chip) if chip else '?'}")
            kept = reported
        console.wait_text(r"@@done 0\r?\n", since, 20)
        with open(os.path.join(self.vm.dir, f"settings-{os.path.basename(device)}.txt"), "w") as out:
            out.write("\n".join(table) + "\n")
        self.assertEqual(faults, [], "\n".join(table))
        return table

    def refusal_told(self, device, switches, refused):
        """A capture asked for a frame the driver would run otherwise: told
        once, and the line it kept takes data."""
        # Another rate first: cdc-acm sends only a line coding that differs.
        self.vm.check(f"rm -f /tmp/cap*; stty -F {device} 19200")
        self.start_zandrel(device, f"{switches} -r /tmp/cap.bin", baud=9600)
        self.far_end(device).send(b"kept")
        self.vm.check("await_size /tmp/cap.bin 4")
        self.assertEqual(self.stop_zandrel(), 0)
        self.assertEqual(self.vm.check("cat /tmp/err").replace("\r", ""),
                         f"zandrel: {device} cannot take {refused}, kept 9600 8N1\n")
        self.assertEqual(self.guest_bytes("/tmp/cap.bin"), b"kept")

    def probe(self, device, steps):
        """Starts the probe in the background, its output into PROBE_OUT; a
        probe still running (held) when the test ends is ended with it."""
        self.vm.check(f"port_probe {device} {steps} >{PROBE_OUT} 2>&1 </dev/null & echo $! >/tmp/probe_pid")
        self.addCleanup(self.vm.run, "kill $(cat /tmp/probe_pid) 2>/dev/null; wait $(cat /tmp/probe_pid)")

    def probe_says(self, pattern, timeout=20):
        """Waits until a line of the probe's output matches pattern (grep -E); the output."""
        self.vm.run(f"timeout {timeout} sh -c \"until grep -qE '{pattern}' {PROBE_OUT}; do usleep 50000; done\"",
                    timeout + 10)
        output = self.vm.check(f"cat {PROBE_OUT}")
        self.assertRegex(output, pattern)
        return output

    def held_and_resumed(self, device, flow, hold, release, holding):
        """A paced write with handshake flow: once the far end has 5
        characters, hold() stops the line (returning the far end's mark just
        before); the probe sees the line held as holding ("XOFF CTS DSR"
        flags), and a second later at most one more character has come;
        release() lets the rest through, none skipped or doubled."""
        line = self.far_end(device)
        since = line.mark()
        self.probe(device, f"flow:{flow} send:{PACED}:100")
        line.wait_for(5, since)
        before = hold()
        self.probe_says(rf"@@hold {holding} ([5-9]|[1-9][0-9])$")
        time.sleep(1)
        self.assertLessEqual(line.mark() - before, 1, line.received(since))
        release()
        output = self.probe_says(r"@@sent ")
        self.assertIn(f"@@sent {PACED}", output)
        self.assertEqual(line.wait_for(PACED, since, 10), COUNT_FILE[:PACED])

    def xoff_holds_within_one_character(self, device):
        line = self.far_end(device)
        self.held_and_resumed(device, "x", lambda: line.send_after_mark(XOFF), lambda: line.send(XON), "1 0 0")

    def refusals_include(self, device, must_refuse):
        """Every setting run or refused, and those frames among the refused."""
        table = self.line_settings(device)
        refused = [row.strip().split("  ")[0] for row in table if "refused" in row]
        self.assertEqual([frame for frame in must_refuse if frame not in refused], [], "\n".join(table))

    def break_seen_as_event(self, device):
        """A break between A and B (device's far end is QEMU's telnet server):
        the probe watching the port sees EV_BREAK and CE_BREAK, and AB only."""
        console = self.vm.console
        since = console.mark()
        self.vm.send_command(f"port_probe {device} set:9600:8:0:0 watch:4000")
        console.wait_text(r"@@set 1 .*\r?\n", since, 20)
        console.send(b"\n")
        time.sleep(0.5)
        self.vm.telnet.send_break_between(b"A", b"B")
        match, _ = console.wait_text(r"@@watch events=([0-9a-f]+) errors=([0-9a-f]+) data=([0-9a-f]*)\r?\n", since, 20)
        events, errors = int(match.group(1), 16), int(match.group(2), 16)
        self.assertTrue(events & EV_BREAK, f"events {events:#x}")
        self.assertTrue(errors & CE_BREAK, f"errors {errors:#x}")
        self.assertEqual(bytes.fromhex(match.group(3)), b"AB")
        console.wait_text(r"@@done 0\r?\n", since, 20)

    def break_adds_no_byte(self, device):
        """A break between A and B during a capture: the capture holds AB."""
        self.vm.check("rm -f /tmp/cap*")
        # Another rate first, so that the trace's 9600 is the job's own setting and
        # not the open's: a break that comes while the UART is still being set up
        # can reach the tty as a plain NUL.
        self.vm.check(f"stty -F {device} 19200")
        self.start_zandrel(device, "-r /tmp/cap.bin", baud=9600)
        self.vm.telnet.send_break_between(b"A", b"B")
        self.vm.check("await_size /tmp/cap.bin 2; sleep 1")
        self.assertEqual(self.stop_zandrel(), 0)
        self.assertEqual(self.guest_bytes("/tmp/cap.bin"), b"AB")

    def cpu_ticks(self, seconds):
        """Clock ticks the console run used over that many seconds."""
        output = self.vm.check(f"a=$(ticks $(cat /tmp/pid)); sleep {seconds}; b=$(ticks $(cat /tmp/pid)); "
                               "echo ticks $((b - a))")
        return int(re.search(r"ticks (-?\d+)", output).group(1))


class DataBothWays:
    """Every byte value captured (with its companion file) and written."""

    def test_1_captures_every_byte_value(self):
        self.capture_all_bytes(self.device)

    def test_2_writes_every_byte_value(self):
        self.write_all_bytes(self.device)


class Lines(GuestTest):
    """Data both ways, every line setting, a break, and the write pacing."""

    def test_1_adapter_captures_every_byte_value(self):
        self.capture_all_bytes(ADAPTER)

    def test_1_adapter_named_on_the_command_line_captures_every_byte_value(self):
        """-c with the device's own path, where picocom and tio take it."""
        self.capture_all_bytes(ADAPTER, port=ADAPTER)

    def test_1_uart_captures_every_byte_value(self):
        self.capture_all_bytes(UART)

    def test_2_adapter_writes_every_byte_value(self):
        self.write_all_bytes(ADAPTER)

    def test_2_uart_writes_every_byte_value(self):
        self.write_all_bytes(UART)

    def test_3_adapter_runs_each_setting_or_refuses_it(self):
        table = self.line_settings(ADAPTER)
        refused = [row for row in table if "refused" in row]
        # ftdi_sio takes 5 and 6 data bits into termios, but its chips send only 7 and 8.
        self.assertTrue(any(row.strip().startswith("9600 5N1") for row in refused), "\n".join(table))
        self.assertTrue(any(row.strip().startswith("9600 6N1") for row in refused), "\n".join(table))

    def test_3_uart_runs_each_setting_or_refuses_it(self):
        self.line_settings(UART)

    def test_4_console_run_says_once_which_settings_the_adapter_refused(self):
        self.refusal_told(ADAPTER, "-d 6 -p s", "6 data bits")

    def test_5_uart_break_is_an_event_and_no_byte(self):
        self.break_seen_as_event(TELNET_UART)

    def test_5_uart_break_adds_no_byte_to_a_capture(self):
        self.break_adds_no_byte(TELNET_UART)

    def test_7_uart_capture_held_longer_than_its_queue_loses_nothing(self):
        """While the capture file cannot be written, the port's queue and then
        the kernel's buffer fill; the 8250 driver then throttles (it stops
        taking the UART's FIFO), QEMU holds the far end back, and nothing is
        dropped. Once the file is back the capture catches up by itself, with
        nothing more sent, and says so."""
        self.vm.check("rm -rf /tmp/logs; mkdir /tmp/logs")
        self.start_zandrel(UART, "-r /tmp/logs/cap.bin")
        self.vm.check("rmdir /tmp/logs")
        sent = bytes(i * 7 % 251 for i in range(200_000))  # three times what queue and tty hold
        sender = threading.Thread(target=self.vm.uart.send, args=(sent,))
        sender.start()
        self.vm.check("await_text /tmp/err 'No such file or directory'; sleep 3")
        self.vm.check("mkdir /tmp/logs")
        sender.join(60)
        self.vm.check(f"await_size /tmp/logs/cap.bin {len(sent)}")
        self.assertEqual(self.stop_zandrel(), 1)  # the file could not be written for a while: told, status 1
        self.assertEqual(self.guest_bytes("/tmp/logs/cap.bin"), sent)
        self.assertEqual(self.vm.check("cat /tmp/err"),
                         "zandrel: cannot write /tmp/logs/cap.bin: No such file or directory\n"
                         "zandrel: /tmp/logs/cap.bin takes data again; capture resumed\n")

    def test_flow_1_adapter_xoff_holds_a_write_within_one_character(self):
        self.xoff_holds_within_one_character(ADAPTER)

    def test_flow_1_uart_xoff_holds_a_write_within_one_character(self):
        self.xoff_holds_within_one_character(UART)

    def test_flow_2_adapter_gets_the_rts_cts_request(self):
        """QEMU's FT232 stores SET_FLOW_CTRL (1: RTS/CTS, 0: none; 4, XON/XOFF in
        the chip, comes from the tty's default termios at the open and the close)
        and enforces nothing."""
        mark = self.vm.trace.mark()
        output = self.vm.check(f"port_probe {ADAPTER} flow:h flow:n")
        self.assertIn("@@flow 1 0 cts=1 rts=2", output)
        requests = [line.split()[-1] for line in self.vm.trace.lines(mark, r"usb_serial_set_flow_control")]
        self.assertIn("1", requests)
        self.assertIn("0", requests[requests.index("1"):], requests)

    def test_flow_3_adapter_latency_is_low_while_xon_xoff_is_on(self):
        """The FT232 holds what it receives for its latency timer; with XON/XOFF
        an XOFF must not wait there, so the timer goes to 1 ms, then back to
        what the driver had (QEMU's chip reads 0, a real one 16)."""
        def timers(since):
            return [int(line.split()[-1], 16) for line in
                    self.vm.trace.lines(since, rf"got control {FTDI_SET_LATENCY:#x}, value")]

        self.vm.check(f"port_probe {ADAPTER} watch:0")
        found = timers(0)[-1:]
        for steps in ("flow:x flow:n", "flow:x"):  # put back by the handshake, or by the close
            mark = self.vm.trace.mark()
            self.vm.check(f"port_probe {ADAPTER} {steps}")
            self.assertEqual(timers(mark), [1] + found, steps)

    def test_flow_4_adapter_latency_is_low_while_arrival_times_are_on(self):
        """A capture with arrival times stamps bytes as they leave the kernel:
        the FT232's latency timer goes to 1 ms for it, and back after."""
        def timers(since):
            return [int(line.split()[-1], 16) for line in
                    self.vm.trace.lines(since, rf"got control {FTDI_SET_LATENCY:#x}, value")]

        self.vm.check(f"port_probe {ADAPTER} watch:0")
        found = timers(0)[-1:]
        self.vm.check("rm -f /tmp/cap*")
        mark = self.vm.trace.mark()
        self.start_zandrel(ADAPTER, "-a y -r /tmp/cap.bin")
        self.far_end(ADAPTER).send(ALL_BYTES)
        self.vm.check("await_size /tmp/cap.bin 256")
        self.assertEqual(self.stop_zandrel(), 0)
        self.assertEqual(timers(mark), [1] + found)
        rows = self.vm.check("cat /tmp/cap_time.bin").splitlines()
        self.assertEqual(rows[0], "time,offset,bytes,event")
        self.assertTrue(rows[1].endswith(f",0,0,start {ADAPTER} 115200 8N1"), rows[1])
        data = [row.split(",") for row in rows[2:-1]]
        self.assertEqual(sum(int(row[2]) for row in data), 256, rows)
        self.assertTrue(rows[-1].endswith(",256,0,end"), rows[-1])

    def test_6_write_pacing_over_the_adapter(self):
        """A figure, not a gate: the emulator adds its own jitter."""
        figures = []
        for delay in (5, 25):
            since = self.vm.adapter.mark()
            self.vm.check(f"zandrel -c 1 -b 115200 -m {delay} -l n -w /data/pace.txt </dev/null", 60)
            self.vm.adapter.wait_for(len(PACE_FILE), since, 10, quiet=0.3)
            times = self.vm.adapter.arrival_times(since)
            self.assertEqual(len(times), len(PACE_FILE))
            gaps = sorted((b - a) * 1000 for a, b in zip(times, times[1:]))
            median = gaps[len(gaps) // 2]
            figures.append(f"-m {delay}: {len(gaps)} gaps, median {median:.1f} ms, "
                           f"min {gaps[0]:.1f} ms, max {gaps[-1]:.1f} ms, "
                           f"mean {sum(gaps) / len(gaps):.1f} ms")
        with open(os.path.join(CONFIG["work"], "pacing.txt"), "w") as out:
            out.write("\n".join(figures) + "\n")
        print("\n" + "\n".join(figures))


# Frames asked with the switches through ser2net: a rate the 8250's divisor
# gives exactly though no termios constant names it (14400), one it only
# comes near (56000 runs at 57600), each data size, parity and stop bits.
# ser2net leaves 1.5 stop bits unanswered, so that frame is refused once the
# program's wait for the answer is over, and the UART runs the line the
# connection opened with (the connector's 9600n81) again.
NET_FRAMES = [(300, 7, 2, 0), (14400, 8, 1, 2), (56000, 6, 3, 2), (115200, 5, 4, 0), (38400, 5, 0, 1)]
NET_OPENED = (9600, 8, 0, 0)


class Ser2netUart(DataBothWays, GuestTest):
    """ser2net in the guest in front of the 8250's ttyS1, the program on it
    over the guest's loopback as rfc2217://127.0.0.1:2217: the switches'
    frame run at the UART, every byte value captured (with its companion)
    and written byte for byte, 0xFF doubled and undoubled on the way."""

    device = NET_UART
    modules = []  # the 8250 and the loopback are built in
    guest_files = {ser2net_guest.CONFIG: ser2net_guest.config(UART)}
    guest_setup = ser2net_guest.SETUP

    @classmethod
    def setUpClass(cls):
        cls.guest_programs = ser2net_guest.programs()
        super().setUpClass()
        try:
            cls.vm.check(f"{ser2net_guest.STARTED} || {{ cat {ser2net_guest.LOG}; false; }}")
        except BaseException:
            cls.vm.close()
            raise

    def test_1_named_on_the_command_line_captures_every_byte_value(self):
        """-c with the server's address."""
        self.capture_all_bytes(NET_UART, port=NET_UART)

    def test_4_arrival_times_through_ser2net(self):
        """Stamped when the bytes left the socket: the rows cover the capture."""
        self.vm.check("rm -f /tmp/cap*")
        self.start_zandrel(NET_UART, "-a y -r /tmp/cap.bin")
        self.far_end(NET_UART).send(ALL_BYTES)
        self.vm.check("await_size /tmp/cap.bin 256")
        self.assertEqual(self.stop_zandrel(), 0)
        rows = self.vm.check("cat /tmp/cap_time.bin").splitlines()
        self.assertIn(",0,0,start rfc2217://", rows[1])
        self.assertEqual(sum(int(row.split(",")[2]) for row in rows[2:-1]), 256, rows)
        self.assertTrue(rows[-1].endswith(",256,0,end"), rows[-1])

    def test_3_switches_set_the_frame_at_the_uart_or_are_refused_with_the_line_kept(self):
        table = []
        for frame in NET_FRAMES:
            baud, bits, parity, stop = frame
            refused = STOP_TEXTS[stop] == "1.5"
            expected = NET_OPENED if refused else frame
            refusal = (f"zandrel: {NET_UART} was asked for 1.5 stop bits: the server did not answer within 5 s; "
                       f"kept {frame_text(NET_OPENED)}\n")
            with self.subTest(frame_text(frame)):
                self.vm.check("rm -f /tmp/cap*")
                mark = self.vm.trace.mark()
                self.start_zandrel(NET_UART, f"-d {bits} -p {PARITY_LETTERS[parity].lower()} "
                                             f"-s {STOP_TEXTS[stop]} -r /tmp/cap.bin", baud)
                if refused:  # told once the line is put back
                    self.vm.run("await_text /tmp/err 'did not answer' 15", 30)
                ran = self.vm.trace.wait_until(lambda lines: runs(chips.uart16550(lines[mark:]), expected), 5)
                uart = chips.uart16550(self.vm.trace.lines(mark))
                status = self.stop_zandrel()
                told = self.vm.check("cat /tmp/err")
                table.append(f"{frame_text(frame):>12}  {'refused' if refused else 'taken':<7}  "
                             f"UART {frame_text(uart) if uart else '?':>12}  status {status}")
                self.assertTrue(ran, f"the UART runs {frame_text(uart) if uart else '?'}")
                self.assertEqual((status, told), (0, refusal if refused else ""))
        with open(os.path.join(self.vm.dir, "settings-rfc2217.txt"), "w") as out:
            out.write("\n".join(table) + "\n")


class PulledAndBack:
    """The device pulled out under a running job, then plugged back: the job
    says so, waits without spinning and goes on; plugged back as another
    adapter, it is left alone and that is told. A class names how to pull
    (pull, plug_back), what the program calls the device (identity) and how
    to tell that a port was opened (opened_since), and may slow the Loop
    write's tick to what its line keeps up with (loop_write_delay, in ms)."""

    other_serial = "A50285BJ"
    loop_write_delay = 5

    def pull_and_plug_back(self, measure_cpu=True):
        """Pulls the adapter out under the running console run, checks it says
        so and idles, then plugs it back and waits until the job has resumed."""
        self.pull()
        self.vm.check("await_text /tmp/err 'disconnected; waiting for it to come back'")
        if measure_cpu:
            waiting = self.cpu_ticks(2)
            with open(os.path.join(self.vm.dir, "cpu.txt"), "a") as out:
                out.write(f"{self.id()}: {waiting} ticks in 2 s while the adapter was out\n")
            # A spin would take all of the one CPU (200 ticks).
            self.assertLess(waiting, CPU_TICKS_PER_SECOND // 10, f"{waiting} ticks of CPU in 2 s while waiting")
        self.plug_back()
        self.vm.check("await_text /tmp/err 'is back; '")

    def expect_told_once_each_way(self, job):
        told = self.vm.check("cat /tmp/err")
        self.assertEqual(told, f"zandrel: {self.device} disconnected; waiting for it to come back\n"
                               f"zandrel: {self.device} is back; {job} resumed\n")

    def test_6_pulled_capture_goes_on_into_the_same_files(self):
        self.vm.check("rm -f /tmp/cap*")
        self.start_zandrel(self.device, "-r /tmp/cap.bin")
        self.far_end(self.device).send(ALL_BYTES)
        self.vm.check("await_size /tmp/cap.bin 256")
        self.pull_and_plug_back(self.measure_cpu)
        self.far_end(self.device).send(b"after the plug")
        self.vm.check("await_size /tmp/cap.bin 270")
        self.assertEqual(self.stop_zandrel(), 0)
        self.assertEqual(self.guest_bytes("/tmp/cap.bin"), ALL_BYTES + b"after the plug")
        codes = "".join(f"{b & 0x7F}|" for b in ALL_BYTES + b"after the plug")
        self.assertEqual(self.vm.check("cat /tmp/cap_asci.bin; echo").strip(), codes)
        self.expect_told_once_each_way("capture")

    def test_6_pulled_capture_with_arrival_times_has_disconnected_and_back_rows(self):
        self.vm.check("rm -f /tmp/cap*")
        self.start_zandrel(self.device, "-a y -r /tmp/cap.bin")
        self.far_end(self.device).send(b"before")
        self.vm.check("await_size /tmp/cap.bin 6")
        self.pull_and_plug_back(self.measure_cpu)
        self.far_end(self.device).send(b"after")
        self.vm.check("await_size /tmp/cap.bin 11")
        self.assertEqual(self.stop_zandrel(), 0)
        events = [row.split(",", 3)[1:] for row in self.vm.check("cat /tmp/cap_time.bin").splitlines()[1:]]
        self.assertEqual([e[2].split(" ")[0] for e in events if e[2]], ["start", "disconnected", "back", "end"])
        self.assertIn(["6", "0", "disconnected"], events)
        self.assertIn(["6", "0", "back"], events)

    def test_7_pulled_loop_write_resumes_the_file(self):
        line = self.far_end(self.device)
        since = line.mark()
        self.start_zandrel(self.device, f"-m {self.loop_write_delay} -l y -w /data/count.txt")
        line.wait_for(30, since, 10)
        self.pull_and_plug_back(self.measure_cpu)
        resumed = line.mark()
        line.wait_for(2 * len(COUNT_FILE), resumed, 10)
        self.assertEqual(self.stop_zandrel(), 0)
        # Past the plug the far end sees the file again from where it was, pass after pass.
        after = line.received(resumed)
        start = (COUNT_FILE * 2).find(after[:len(COUNT_FILE) // 2])
        self.assertGreaterEqual(start, 0, after)
        self.assertTrue((COUNT_FILE * 8)[start:].startswith(after), after)
        self.expect_told_once_each_way("write")

    def test_8_pulled_write_without_loop_completes_and_ends_with_status_0(self):
        line = self.far_end(self.device)
        since = line.mark()
        self.vm.check(f"zandrel -c {COM_OF[self.device]} -b 115200 -m 50 -l n -w /data/count.txt </dev/null "
                      ">/tmp/out 2>/tmp/err & echo $! >/tmp/pid")
        line.wait_for(10, since, 10)
        self.pull_and_plug_back(measure_cpu=False)
        status, _ = self.vm.run("wait $(cat /tmp/pid)", 30)
        self.assertEqual(status, 0)
        self.expect_told_once_each_way("write")

    def test_9_pulled_capture_leaves_another_adapter_alone_and_resumes_on_its_own(self):
        """Plugged back with another serial number, the adapter is not even
        opened, and that is told once; plugged back as itself, the capture goes
        on. Stop then puts back the line the adapter had before the job, not
        the raw one the driver kept for it over the pull."""
        device, line = self.device, self.far_end(self.device)
        line_before = self.vm.check(f"stty -F {device} -g")
        self.vm.check("rm -f /tmp/cap*")
        self.start_zandrel(device, "-r /tmp/cap.bin")
        line.send(b"before")
        self.vm.check("await_size /tmp/cap.bin 6")
        self.pull()
        self.vm.check("await_text /tmp/err 'disconnected; waiting'")

        record = self.record(device)
        plugged = record[0].mark() if record else None
        self.plug_back(serial=self.other_serial)
        self.vm.check("await_text /tmp/err 'is now a different device'")
        line.send(b"not ours")
        self.vm.check("sleep 2")  # two more tries
        self.assertFalse(self.opened_since(plugged), "the other adapter was opened")
        self.pull()
        self.plug_back()
        self.vm.check("await_text /tmp/err 'is back; '")
        line.send(b"after")
        self.vm.check("await_size /tmp/cap.bin 11")
        self.assertEqual(self.stop_zandrel(), 0)

        self.assertEqual(self.guest_bytes("/tmp/cap.bin"), b"beforeafter")
        self.assertEqual(self.vm.check(f"stty -F {device} -g"), line_before)
        self.assertEqual(self.vm.check("cat /tmp/err"),
                         f"zandrel: {device} disconnected; waiting for it to come back\n"
                         f"zandrel: {device} is now a different device ({self.identity} was expected); "
                         "still waiting\n"
                         f"zandrel: {device} is back; capture resumed\n")


class AdapterPulled(PulledAndBack, GuestTest):
    """The FT232 pulled out (device_del) and plugged back (device_add) through
    QMP. A write blocked on a full line cannot be made on this adapter: QEMU's
    FT232 hands the guest's data to its chardev with a blocking write, so a far
    end that stops reading stops the whole guest (and QMP with it)."""

    identity = f"QEMU USB SERIAL {ADAPTER_SERIAL}"
    measure_cpu = True

    def pull(self):
        self.vm.unplug_adapter()

    def plug_back(self, serial=ADAPTER_SERIAL):
        self.vm.plug_adapter(serial)

    def opened_since(self, mark):
        return self.vm.trace.lines(mark, "usb_serial_set_baud") != []


class AcmTest(GuestTest):
    """A boot with cdc_acm's line, its far end (g_serial's ttyGS0) open."""

    modules = CDC_ACM_MODULES
    device = ACM

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.gadget.open()


class AcmLines(DataBothWays, PulledAndBack, AcmTest):
    """cdc_acm, g_serial's gadget (ttyGS0) at the far end: data both ways,
    and the gadget pulled (rmmod g_serial) and plugged back (insmod), with
    another serial number as another adapter. g_serial shows no line coding:
    AcmDevice has the settings."""

    serial, other_serial = "GS0001", "GS0002"
    machine_options = {"module_options": {"g_serial": f"iSerialNumber={serial}"}}
    measure_cpu = False  # the FT232's boot measures the wait; the program's code is the same
    # dummy_hcd's timer keeps the guest busy once the gadget is plugged back: at 5 ms the run
    # now and then rightly finds the line slower than its tick, as on the chips.
    loop_write_delay = 20

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.gadget.start_reading()
        usb = f"/sys/class/tty/{os.path.basename(ACM)}/device/.."
        maker, name = (cls.vm.check(f"cat {usb}/{attribute}").strip() for attribute in ("manufacturer", "product"))
        cls.identity = " ".join(([] if name.startswith(maker) else [maker]) + [name, cls.serial])

    def pull(self):
        self.gadget.close()
        self.vm.check(f"rmmod g_serial; await ! {ACM}")

    def plug_back(self, serial=None):
        self.vm.check(f"insmod /lib/modules/g_serial.ko iSerialNumber={serial or self.serial} && "
                      f"{self.gadget.reopening()} && await {ACM}")

    def opened_since(self, mark):
        """Nothing records cdc_acm's opens: whether the run holds the device now."""
        return self.vm.run(f"ls -l /proc/$(cat /tmp/pid)/fd | grep -q {ACM}")[0] == 0


FILLER = 0xFF  # not in COUNT_FILE
HOLDING = r"zandrel: /dev/ttyACM0 is not taking data; holding the file at character (\d{1,3}(?:,\d{3})*)"


class AcmLineFull(AcmTest):
    """A Loop write at 20 ms on cdc_acm while the line takes nothing: ttyGS0 is
    held open and not read, and a second writer (line_filler) fills what is
    left. The run says so and holds its character; once the far end reads
    again it goes on with no character skipped or sent twice; SIGTERM while
    the line is full ends it at once, the device's termios as before.
    The tests run in order on one run of the program."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.termios_before = cls.vm.check(f"stty -g -F {ACM}").strip()

    def fill_line(self):
        """Starts the filler; returns once the line has stopped taking data."""
        self.vm.check(f"line_filler {ACM} {FILLER} >/tmp/fill & echo $! >/tmp/fill_pid")
        self.vm.check("await_text /tmp/fill @@full 30")

    def stop_filler(self):
        self.vm.check("kill $(cat /tmp/fill_pid); wait $(cat /tmp/fill_pid); true")

    def test_1_told_when_the_line_stops_taking_data(self):
        # 20 ms, as on the chips: dummy_hcd's timer keeps the guest so busy
        # that a 5 ms tick now and then finds the last character still on
        # its way, and the run rightly says the line is slower than that.
        self.start_zandrel(ACM, "-m 20 -l y -w /data/count.txt")
        self.fill_line()
        full = time.monotonic()
        told = self.vm.run("await_text /tmp/err 'is not taking data' 10")[0] == 0
        with open(os.path.join(self.vm.dir, "stall.txt"), "w") as out:
            out.write(f"told {time.monotonic() - full:.1f} s after the line was full\n" if told else "never told\n")
        self.assertRegex(self.vm.check("cat /tmp/err"), "^" + HOLDING + "\n$")

    def test_2_goes_on_unbroken_once_the_far_end_reads(self):
        self.stop_filler()
        self.gadget.start_reading()
        # Two passes of the file past what was sent before the line filled.
        sent = self.gadget.wait_for(300, timeout=20, without=FILLER)
        self.assertGreaterEqual(len(sent), 300)
        passes = COUNT_FILE * (len(sent) // len(COUNT_FILE) + 1)
        self.assertEqual(sent, passes[:len(sent)], "the far end did not get the file unbroken from its start")
        # Without a terminal, a hold is told once, as it begins.
        told = self.vm.check("cat /tmp/err").splitlines()
        self.assertEqual(len(told), 1, told)
        self.assertRegex(told[0], "^" + HOLDING + "$")

    def test_3_sigterm_on_a_full_line_ends_the_run_at_once(self):
        self.gadget.stop_reading()
        self.fill_line()
        self.stop_filler()  # the run is the line's last opener: its close cannot wait for the line to drain
        status, seconds = self.stop_zandrel_timed()
        with open(os.path.join(self.vm.dir, "stall.txt"), "a") as out:
            out.write(f"SIGTERM on the full line: ended in {seconds:.2f} s, status {status}\n")
        self.gadget.start_reading("/dev/null")  # so that nothing of the run is left for stty's close to wait on
        termios_after = self.vm.check(f"stty -g -F {ACM}").strip()
        with self.subTest("ends within a second (goal: 0.1 s)"):
            self.assertLess(seconds, 1.0)
        with self.subTest("exit status"):
            self.assertEqual(status, 0)
        with self.subTest("termios put back"):
            self.assertEqual(termios_after, self.termios_before)


class ChipBoot:
    """A boot with one USB-serial chip played through FunctionFS on its own
    driver (chip_gadget.py): every setting the dialog offers and the modem
    lines at open, as the chip's requests show them. must_refuse are frames
    the driver would take and run otherwise."""

    chip = None
    must_refuse = []
    device = ADAPTER
    measure_cpu = False  # the FT232's boot measures the wait; the program's code is the same
    machine_options = {"module_options": {"dummy_hcd": "is_high_speed=0"}, "chip_log": True}
    # With the port open, dummy_hcd runs its 125 us timer all the time, and
    # the emulated guest is mostly busy: a character on its way to the
    # emulator now and then waits over 10 ms, so at 5 ms the run would rightly
    # say the line is slower. At 20 ms the line keeps up.
    loop_write_delay = 20

    @classmethod
    def setUpClass(cls):
        cls.modules = CHIP_GADGET_MODULES + [cls.chip.driver]
        cls.guest_setup = chip_gadget.bring_up(cls.chip)
        cls.identity = chip_gadget.identity_text(cls.chip)
        super().setUpClass()
        cls.chip_end = chip_gadget.ChipEnd(cls.vm)

    def far_end(self, device):
        return self.chip_end

    def record(self, device):
        return self.vm.chip, r"^frame (\d+) ", chip_gadget.frame

    def pull(self):
        chip_gadget.pull(self.vm, self.device)

    def plug_back(self, serial=None):
        chip_gadget.plug(self.vm, self.device, serial or self.chip.serial)

    def opened_since(self, mark):
        return self.vm.chip.lines(mark, r"^modem 1 1") != []

    def test_3_runs_each_setting_or_refuses_it(self):
        self.refusals_include(self.device, self.must_refuse)

    def test_4_open_raises_dtr_and_rts(self):
        mark = self.vm.chip.mark()
        self.vm.check(f"port_probe {self.device}")
        self.assertTrue(self.vm.chip.wait_for(r"^modem 1 1$", mark, 5), self.vm.chip.lines(mark))


class ClosesOffTheLine:
    """A chip whose driver does not wait for its transmit buffer (ch341,
    pl2303): the emulated chip holds what it took in a buffer of the chip's
    size and sends it at the line's rate. A write without Loop at 300 baud
    sends every byte at 300, none at the rate the close puts back; and a
    close on a chip whose firmware stopped answering holds neither the job
    nor the end of the run longer than its allowance. The hung chip goes last:
    requests it left unanswered may confuse the boot's later ones."""

    def test_z1_write_without_loop_sends_its_tail_at_its_own_rate(self):
        chip, line = self.vm.chip, self.chip_end
        mark, since = chip.mark(), line.mark()
        # 20 ms ticks outrun 300 baud (33 ms a character): the chip's buffer holds the file's tail.
        output = self.vm.check(f"a=$(uptime_cs); zandrel -c {COM_OF[self.device]} -b 300 -m 20 -l n "
                               f"-w /data/pace.txt </dev/null; echo @@status $? $(($(uptime_cs) - a))", 60)
        status, hundredths = re.search(r"@@status (\d+) (\d+)", output).groups()
        self.assertEqual(line.wait_for(len(PACE_FILE), since, 10, quiet=0.5), PACE_FILE)
        rates = [int(sent.split()[1]) for sent in chip.lines(mark, r"^sent ")]
        with open(os.path.join(self.vm.dir, "tail.txt"), "w") as out:
            out.write(f"write without Loop, 60 characters at 300 baud: ended after {int(hundredths) / 100:.2f} s, "
                      f"status {status}; rates the bytes left at: {rates}\n")
        self.assertEqual(int(status), 0)
        self.assertEqual([rate for rate in rates if not chips.close_enough(rate, 300)], [],
                         f"bytes sent at the restored rate: {rates}")

    def test_z2_closing_on_a_hung_chip_holds_neither_the_job_nor_the_end(self):
        self.vm.check("rm -f /tmp/cap*")
        self.start_zandrel(self.device, "-r /tmp/cap.bin", baud=1200)
        chip_gadget.hang(self.vm)
        try:
            # The notice is watched for beside the process, which the kernel holds until its USB requests time out.
            output = self.vm.run("rm -f /tmp/told; p=$(cat /tmp/pid); a=$(uptime_cs); kill -TERM $p; "
                                 "(await_text /tmp/err 'did not finish closing' 20 && echo $(($(uptime_cs) - a)) >/tmp/told) & "
                                 "w=$!; timeout 40 sh -c \"while [ -e /proc/$p ]; do usleep 50000; done\"; "
                                 "echo @@ended $(($(uptime_cs) - a)); wait $p; echo @@status $?; wait $w; "
                                 "echo @@told $(cat /tmp/told 2>/dev/null || echo 9999)", 80)[1]
        finally:
            chip_gadget.answer(self.vm)
        told, ended = (int(re.search(pattern, output).group(1)) / 100 for pattern in (r"@@told (\d+)", r"@@ended (\d+)"))
        status = int(re.search(r"@@status (\d+)", output).group(1))
        err = self.vm.check("cat /tmp/err")
        with open(os.path.join(self.vm.dir, "hung-close.txt"), "w") as out:
            out.write(f"SIGTERM to a capture on a hung chip: end of run told after {told:.2f} s, process gone after "
                      f"{ended:.2f} s (the driver's USB time-outs), status {status}\n{err}")
        # Told 2 s (the close's allowance) after SIGTERM: the close began at once and the run's end waited
        # its allowance, not the close; before, the close held the run and nothing was told.
        with self.subTest("the run reaches its end within the close's allowance (2 s), and says so"):
            self.assertLess(told, 3.5, err)
            self.assertIn(f"zandrel: {self.device} did not finish closing", err)
        with self.subTest("exit status"):
            self.assertEqual(status, 1)


class ChipFlow:
    """Handshakes and modem lines as the chip's requests show them; XON/XOFF
    from the far end holding a write. takes_rts_cts: the driver programs
    CTS handshake into the chip (else the platform refuses it)."""

    takes_rts_cts = True

    def test_flow_1_rts_cts_reaches_the_chip_or_is_refused_with_the_line_kept(self):
        mark = self.vm.chip.mark()
        output = self.vm.check(f"port_probe {self.device} flow:h flow:n")
        if self.takes_rts_cts:
            self.assertIn("@@flow 1 0 cts=1 rts=2", output)
            self.assertEqual(self.vm.chip.lines(mark, r"^flow ")[-2:], ["flow rtscts 1", "flow rtscts 0"])
        else:
            self.assertIn("@@flow 0 87 cts=0 rts=1", output)
            self.assertRegex(output, f"@@text {self.device} cannot take RTS/CTS handshake, kept ")
            self.assertEqual(self.vm.chip.lines(mark, r"^flow "), [])

    def test_flow_2_xoff_holds_a_write_within_one_character(self):
        self.xoff_holds_within_one_character(self.device)

    def test_flow_3_dtr_and_rts_as_set_at_the_open_and_after_a_replug(self):
        for replugged in (False, True):
            if replugged:
                self.pull()
                self.plug_back()
            mark = self.vm.chip.mark()
            self.assertIn("@@modem 1", self.vm.check(f"port_probe {self.device} modem:0:1 modem:1:0"))
            # The open raises both, each step sets its own; the close drops both.
            modem = self.vm.chip.lines(mark, r"^modem ")
            steps = iter(modem)
            self.assertTrue(all(state in steps for state in ("modem 1 1", "modem 0 1", "modem 1 0")), modem)

    def test_flow_8_the_programs_modem_lines_as_chosen_at_the_open_and_after_a_replug(self):
        """-t: the chip's last modem request is the choice once the run has
        set the line up (data it then receives is the sign), and again once it
        has taken the re-plugged chip up."""
        for switch, modem in (("n", "modem 0 0"), ("r", "modem 0 1"), ("b", "modem 1 1"), ("d", "modem 1 0")):
            with self.subTest(switch=switch):
                self.vm.check(f"rm -f /tmp/cap*; stty -F {self.device} 19200")
                mark = self.vm.chip.mark()
                self.start_zandrel(self.device, f"-t {switch} -r /tmp/cap.bin")
                self.chip_end.send(b"x")
                self.vm.check("await_size /tmp/cap.bin 1")
                self.assertEqual(self.last_modem(mark, modem), modem)
                if switch == "d":
                    mark = self.vm.chip.mark()
                    self.pull()
                    self.plug_back()
                    self.vm.check("await_text /tmp/err 'is back; capture resumed'")
                    self.chip_end.send(b"y")
                    self.vm.check("await_size /tmp/cap.bin 2")
                    self.assertEqual(self.last_modem(mark, modem), modem)
                self.assertEqual(self.stop_zandrel(), 0)

    def test_flow_9_the_program_tells_a_refused_rts_cts_and_captures_on_the_line_kept(self):
        if self.takes_rts_cts:
            self.skipTest("the driver takes RTS/CTS")
        self.refusal_told(self.device, "-f h", "RTS/CTS handshake")

    def last_modem(self, mark, expected):
        """The chip's last modem request since mark, once it is the expected
        one or 5 s have passed (the record reaches the host a little later)."""
        deadline = time.monotonic() + 5
        while True:
            modem = self.vm.chip.lines(mark, r"^modem ")[-1:]
            if modem == [expected] or time.monotonic() > deadline:
                return modem[0] if modem else None
            time.sleep(0.1)


class HoldsOnCts:
    """The emulated chip holds its transmitter while the far end's CTS is off
    and CTS handshake is on, and reports the line as the real chip does."""

    def test_flow_0_rts_cts_sends_while_cts_has_been_on_since_power_up(self):
        """A PL2303 reports its lines on interrupt IN only as they change, so
        one whose CTS has been on since power-up never says so and its driver
        reads CTS as off. The chip holds its transmitter itself; the program
        holds too only once the driver has had a report since the open.
        (Runs first in the class: nothing has set the far end's lines yet.)"""
        line = self.far_end(self.device)
        since = line.mark()
        self.start_zandrel(self.device, "-f h -m 5 -l n -w /data/count.txt")
        self.assertEqual(line.wait_for(len(COUNT_FILE), since, 20), COUNT_FILE)
        self.stop_zandrel()
        self.assertNotIn("not taking data", self.vm.check("cat /tmp/err"))

    def test_flow_4_cts_off_holds_a_write_until_it_is_on(self):
        self.chip_end.set_line("cts", 1)  # a PL2303 reports its lines on interrupt IN once the port is open
        self.held_and_resumed(self.device, "h", lambda: self.chip_end.set_line("cts", 0),
                              lambda: self.chip_end.set_line("cts", 1), "0 1 0")

    def program_held_and_resumed(self, flow, line_name, reason):
        """The program's write with -f flow: the far end turns its line off
        after 5 characters; the run says why the file is held, and once the
        line is on again the file goes on, none skipped or doubled."""
        self.chip_end.set_line("cts", 1)
        self.chip_end.set_line("dsr", 1)
        line = self.far_end(self.device)
        since = line.mark()
        self.start_zandrel(self.device, f"-f {flow} -m 20 -l n -w /data/count.txt")
        line.wait_for(5, since)
        self.chip_end.set_line(line_name, 0)
        self.vm.run("await_text /tmp/err 'is not taking data' 10")
        self.assertRegex(self.vm.check("cat /tmp/err").replace("\r", ""),
                         rf"^zandrel: {self.device} is not taking data \({reason}\); "
                         r"holding the file at character \d+\n$")
        self.chip_end.set_line(line_name, 1)
        self.assertEqual(line.wait_for(len(COUNT_FILE), since, 20), COUNT_FILE)
        self.stop_zandrel()

    def test_flow_6_the_program_says_cts_holds_its_write(self):
        self.program_held_and_resumed("h", "cts", "CTS is off")


# With 5 data bits and CSTOPB, ch341 and cp210x program 2 stop bits and
# cdc-acm asks its device for 2.
NO_ONE_AND_A_HALF = [f"9600 5{parity}1.5" for parity in PARITY_LETTERS]


class RefusesOneAndAHalf:
    must_refuse = NO_ONE_AND_A_HALF

    def test_5_console_run_says_once_which_settings_the_chip_refused(self):
        self.refusal_told(self.device, "-d 5 -s 1.5", "1.5 stop bits")


class Ch341(RefusesOneAndAHalf, ChipFlow, ChipBoot, DataBothWays, PulledAndBack, ClosesOffTheLine, GuestTest):
    chip = chip_gadget.CH340
    takes_rts_cts = False  # before Linux 6.14

    def test_a_strings_that_would_work_the_terminal_are_shown_as_escapes(self):
        """A device chooses its strings, and sysfs passes control bytes on:
        the usage's device list and the hint after a failed open show them
        visibly, none reaching the terminal to retitle it, clear it or make
        it answer a query."""
        hostile = self.chip._replace(maker="wch.cn \x1bP$q\"p\x1b\\", name="USB Serial \x1b]0;OWNED\x07\x1b[2J\r fake",
                                     serial="CH34\x1b[8mA0001")
        shown = " ".join(chip_gadget.visible(text) for text in (hostile.maker, hostile.name, hostile.serial))
        chip_gadget.rename(self.vm, self.device, hostile)
        try:
            status, _ = self.vm.run("zandrel </dev/null >/tmp/out 2>/tmp/usage")
            self.assertEqual(status, 2)
            usage = self.guest_bytes("/tmp/usage")
            status, _ = self.vm.run("zandrel -c 9 -r /tmp/hint.bin </dev/null >/tmp/out 2>/tmp/hint")
            self.assertEqual(status, 1)
            hint = self.guest_bytes("/tmp/hint")
        finally:
            chip_gadget.rename(self.vm, self.device, self.chip)
        self.assertIn(f"\n  {self.device}: {shown}\n".encode(), usage)
        self.assertIn(f"; devices here: ".encode(), hint)
        self.assertIn(f"{self.device} ({shown})".encode(), hint)
        for told in (usage, hint):
            self.assertNotIn(b"\x1b", told)
            self.assertNotIn(b"\x07", told)
            self.assertNotIn(b"\r", told)


class Cp210x(RefusesOneAndAHalf, HoldsOnCts, ChipFlow, ChipBoot, DataBothWays, PulledAndBack, GuestTest):
    chip = chip_gadget.CP2102

    def test_flow_5_dsr_off_holds_a_write_until_it_is_on(self):
        """cp210x has no TIOCMIWAIT: DSR is read each time the write is offered."""
        self.held_and_resumed(self.device, "d", lambda: self.chip_end.set_line("dsr", 0),
                              lambda: self.chip_end.set_line("dsr", 1), "0 0 1")

    def test_flow_7_the_program_says_dsr_holds_its_write(self):
        self.program_held_and_resumed("d", "dsr", "DSR is off")


class Pl2303(HoldsOnCts, ChipFlow, ChipBoot, DataBothWays, PulledAndBack, GuestTest):
    chip = chip_gadget.PL2303


class AcmDevice(RefusesOneAndAHalf, ChipFlow, ChipBoot, GuestTest):
    """cdc-acm on an ACM device played through FunctionFS, for the line coding
    it is asked (AcmLines has g_serial's gadget for the rest)."""

    chip = chip_gadget.ACM_DEVICE
    device = ACM
    takes_rts_cts = False

    def test_6_a_device_that_sends_only_while_dtr_is_on(self):
        """The emulated device made one of the many CDC firmwares that send
        only while DTR is on: with -t d the record shows DTR on and its data is
        captured; with the default (DTR off) nothing comes, and after a few
        seconds the run says once how to raise DTR."""
        hint = (f"zandrel: {ACM} has sent nothing; some USB devices send only while DTR is on: "
                "choose \"DTR on\" under Modem Lines, or run with -t d\n")
        self.chip_end.set_line("dtrgate", 1)
        # What the device still holds goes to an open that raises DTR, not to the next test.
        self.addCleanup(self.vm.run, f"echo dtrgate 0 >{chip_gadget.LINES}; timeout 2 cat {ACM} >/dev/null")
        for switches, modem, captured, told in (("-t d", "modem 1 0", True, ""), ("", "modem 0 0", False, hint)):
            with self.subTest(switches=switches):
                mark = self.vm.chip.mark()
                self.vm.check(f"rm -f /tmp/cap*; stty -F {ACM} 19200")
                self.start_zandrel(ACM, f"{switches} -r /tmp/cap.bin")
                self.assertTrue(self.vm.chip.wait_for(f"^{modem}$", mark, 5), self.vm.chip.lines(mark))
                self.chip_end.send(b"hello")
                if captured:
                    self.vm.check("await_size /tmp/cap.bin 5")
                self.vm.run("await_text /tmp/err 'only while DTR is on' 6")
                self.assertEqual(self.stop_zandrel(), 0)
                self.assertEqual(self.vm.check("cat /tmp/err").replace("\r", ""), told)
                self.assertEqual(self.vm.run("cat /tmp/cap.bin")[1].strip() == "hello", captured)


class Pl011(DataBothWays, GuestTest):
    """An arm64 guest as a Raspberry Pi's (machine.Arm64Machine): the arm64
    build on the kernel's amba-pl011 driver, the Pi's own UART, under TCG.
    QEMU's PL011 has no modem lines and no flow control."""

    arch = "arm64"
    modules = ARM64_CONSOLE_MODULES
    device = PL011

    @classmethod
    def setUpClass(cls):
        if not CONFIG.get("arm64"):
            raise unittest.SkipTest("no arm64 build given (run_rig.py --arm64)")
        super().setUpClass()
        with open(os.path.join(CONFIG["work"], "boot-arm64.txt"), "w") as out:
            out.write(f"arm64 guest up in {cls.vm.boot_time:.1f} s\n")

    def test_0_usage_lists_the_uart_by_its_driver(self):
        status, output = self.vm.run("zandrel 2>&1")
        self.assertEqual(status, 2)
        self.assertIn("\n  /dev/ttyAMA0: uart-pl011\n", output.replace("\r", ""))

    def test_1_is_the_package_on_the_distribution_libraries(self):
        """The program the other tests run is the package's, dynamically linked,
        and it refuses a switch's value as on amd64."""
        self.assertEqual(self.vm.check("command -v zandrel").strip(), "/usr/bin/zandrel")
        self.vm.check("test -e /lib/ld-linux-aarch64.so.1 && test -e /lib/aarch64-linux-gnu/libstdc++.so.6")
        status, output = self.vm.run("zandrel -b 9601 -r /tmp/never.bin 2>&1")
        self.assertEqual(status, 2, output)
        self.assertIn("Unsupported Buad Rate: 9601", output)
        self.assertEqual(self.vm.run("test -e /tmp/never.bin")[0], 1)

    def test_3_runs_each_setting_or_refuses_it(self):
        self.refusals_include(PL011, NO_ONE_AND_A_HALF)

    def test_4_console_run_says_once_which_settings_the_uart_refused(self):
        self.refusal_told(PL011, "-d 5 -s 1.5", "1.5 stop bits")

    def test_5_break_is_an_event_and_no_byte(self):
        self.break_seen_as_event(PL011)

    def test_5_break_adds_no_byte_to_a_capture(self):
        self.break_adds_no_byte(PL011)

    def test_6_loop_write_pacing(self):
        """A figure, not a gate: how close to 5 ms a Loop write keeps under
        TCG, and whether the run found the line slower than its tick."""
        line = self.vm.telnet
        since = line.mark()
        self.start_zandrel(PL011, "-m 5 -l y -w /data/pace.txt")
        line.wait_for(400, since, 20)
        self.assertEqual(self.stop_zandrel(), 0)
        times = line.arrival_times(since)
        gaps = sorted((b - a) * 1000 for a, b in zip(times, times[1:]))
        told = self.vm.check("cat /tmp/err").strip()
        figure = (f"-m 5 -l y on ttyAMA0: {len(gaps)} gaps, median {gaps[len(gaps) // 2]:.1f} ms, "
                  f"10th percentile {gaps[len(gaps) // 10]:.1f} ms, 90th {gaps[len(gaps) * 9 // 10]:.1f} ms, "
                  f"mean {sum(gaps) / len(gaps):.1f} ms; told: {told or 'nothing'}")
        with open(os.path.join(CONFIG["work"], "pacing-arm64.txt"), "w") as out:
            out.write(figure + "\n")
        print("\n" + figure)
        self.assertEqual(line.received(since)[:len(PACE_FILE)], PACE_FILE)
