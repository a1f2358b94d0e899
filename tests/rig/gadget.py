"""Far ends inside the guest, offering what the tests use of a host-side line
(send, mark, received, wait_for) with guest shell: what the line sent is in a
file, what it is to receive is written to another.

The far end of /dev/ttyACM0 is g_serial's /dev/ttyGS0: what it receives is
appended to a file while reading is on. Held open and not read, ttyGS0 takes
what fits in its buffers and then nothing more, as a device that stops reading
does."""

GADGET = "/dev/ttyGS0"
RECEIVED = "/tmp/gadget.bin"


class GuestFileEnd:
    """A far end whose input is written to send_to and whose output grows received."""

    def __init__(self, vm, send_to, received):
        self._vm = vm
        self._send_to = send_to
        self._received = received

    def send(self, data):
        self._vm.check(self._sending(data))

    def send_after_mark(self, data):
        """Sends data; returns what had arrived just before (mark), in one guest command."""
        return self._after_mark(self._sending(data))

    def _sending(self, data):
        return "printf '" + "".join(f"\\{byte:03o}" for byte in data) + f"' >{self._send_to}"

    def _after_mark(self, command):
        return int(self._vm.check(f"stat -c %s {self._received}; {command}").split()[0])

    def mark(self):
        return int(self._vm.check(f"stat -c %s {self._received}").strip())

    def received(self, since=0, without=None):
        """What arrived after since; with without, that byte value left out."""
        output = self._vm.check(f"tail -c +{since + 1} {self._received}{_dropping(without)} | xxd -p | tr -d '\\n'; echo")
        return bytes.fromhex(output.strip())

    def wait_for(self, count, since=0, timeout=10.0, quiet=None, without=None):
        """Waits until count bytes (without counts all but that byte value)
        arrived after since, and with quiet, that long more, for what should
        not come. Returns what arrived."""
        # One process a look where the size says it: the polls share the guest with the line.
        arrived = (f"\\$((\\$(stat -c %s {self._received} 2>/dev/null || echo 0) - {since}))" if without is None else
                   f"\\$(tail -c +{since + 1} {self._received}{_dropping(without)} | wc -c)")
        self._vm.run(f"timeout {int(timeout)} sh -c \"while [ {arrived} -lt {count} ]; do usleep 50000; done\"",
                     timeout + 10)
        if quiet:
            self._vm.check(f"usleep {int(quiet * 1e6)}")
        return self.received(since, without)


class GadgetEnd(GuestFileEnd):
    def __init__(self, vm):
        super().__init__(vm, GADGET, RECEIVED)

    def open(self):
        """Holds ttyGS0 open, raw, so the host side's data waits in it."""
        self._vm.check(f"sleep 1000000 <{GADGET} & echo $! >/tmp/gadget_hold; "
                       f"stty -F {GADGET} raw -echo -ixon; : >{RECEIVED}")

    def reopening(self):
        """Shell that, after close and g_serial loaded again, holds and reads
        ttyGS0 as soon as it is there (a device that reads at once), what it
        receives appended to what came before."""
        return (f"await {GADGET} && {{ sleep 1000000 <{GADGET} & echo $! >/tmp/gadget_hold; "
                f"stty -F {GADGET} raw -echo -ixon; cat {GADGET} >>{RECEIVED} & echo $! >/tmp/gadget_cat; }}")

    def close(self):
        """Closes ttyGS0 (its hold and its reader): g_serial cannot be unloaded
        while its tty is open."""
        self._vm.check("kill $(cat /tmp/gadget_hold) $(cat /tmp/gadget_cat) 2>/dev/null; "
                       "wait $(cat /tmp/gadget_hold) $(cat /tmp/gadget_cat); true")

    def start_reading(self, into=RECEIVED):
        self._vm.check(f"cat {GADGET} >>{into} & echo $! >/tmp/gadget_cat")

    def stop_reading(self):
        self._vm.check("kill $(cat /tmp/gadget_cat); wait $(cat /tmp/gadget_cat); true")


def _dropping(byte):
    return f" | tr -d '\\{byte:03o}'" if byte is not None else ""
