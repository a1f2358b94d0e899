"""The far end of /dev/ttyACM0: g_serial's /dev/ttyGS0, inside the guest.

Offers what the tests use of a host-side line (send, mark, received, wait_for),
done with guest shell: what ttyGS0 receives is appended to a file while
reading is on. Held open and not read, ttyGS0 takes what fits in its buffers
and then nothing more, as a device that stops reading does."""

GADGET = "/dev/ttyGS0"
RECEIVED = "/tmp/gadget.bin"


class GadgetEnd:
    def __init__(self, vm):
        self._vm = vm

    def open(self):
        """Holds ttyGS0 open, raw, so the host side's data waits in it."""
        self._vm.check(f"sleep 1000000 <{GADGET} & echo $! >/tmp/gadget_hold; "
                       f"stty -F {GADGET} raw -echo -ixon; : >{RECEIVED}")

    def start_reading(self, into=RECEIVED):
        self._vm.check(f"cat {GADGET} >>{into} & echo $! >/tmp/gadget_cat")

    def stop_reading(self):
        self._vm.check("kill $(cat /tmp/gadget_cat); wait $(cat /tmp/gadget_cat); true")

    def send(self, data):
        self._vm.check("printf '" + "".join(f"\\{byte:03o}" for byte in data) + f"' >{GADGET}")

    def mark(self):
        return int(self._vm.check(f"stat -c %s {RECEIVED}").strip())

    def received(self, since=0, without=None):
        """What arrived after since; with without, that byte value left out."""
        output = self._vm.check(f"tail -c +{since + 1} {RECEIVED}{_dropping(without)} | xxd -p | tr -d '\\n'; echo")
        return bytes.fromhex(output.strip())

    def wait_for(self, count, since=0, timeout=10.0, quiet=None, without=None):
        """Waits until count bytes (without counts all but that byte value)
        arrived after since, and with quiet, that long more, for what should
        not come. Returns what arrived."""
        arrived = f"\\$(tail -c +{since + 1} {RECEIVED}{_dropping(without)} | wc -c)"
        self._vm.run(f"timeout {int(timeout)} sh -c \"while [ {arrived} -lt {count} ]; do usleep 50000; done\"",
                     timeout + 10)
        if quiet:
            self._vm.check(f"usleep {int(quiet * 1e6)}")
        return self.received(since, without)


def _dropping(byte):
    return f" | tr -d '\\{byte:03o}'" if byte is not None else ""
