"""ser2net in the guest: the host's /usr/sbin/ser2net (Debian's, as the host
tests run it), serving the 8250's ttyS1 as RFC 2217 on the guest's loopback.
gensio loads its transports and the serial device as modules by name when a
connection asks for them, so those go in beside the libraries ldd lists."""

import glob
import os

SER2NET = "/usr/sbin/ser2net"
PORT = 2217
ADDRESS = f"rfc2217://127.0.0.1:{PORT}"
CONFIG = "/etc/ser2net.yaml"
PID_FILE = "/run/ser2net.pid"
LOG = "/tmp/ser2net.log"
# What a telnet(rfc2217) accepter on tcp in front of a serialdev connector loads.
GENSIO_MODULES = ("net", "telnet", "serialdev")


def programs():
    """ser2net and the gensio modules it loads, each at the host's path."""
    if not os.path.exists(SER2NET):
        raise RuntimeError(f"{SER2NET} is not installed (scripts/setup installs it)")
    found = {}
    for name in GENSIO_MODULES:
        paths = glob.glob(f"/usr/lib*/*/gensio/*/libgensio_{name}.so")
        if len(paths) != 1:
            raise RuntimeError(f"the host has {len(paths)} gensio modules named {name}: {paths}")
        found[name] = paths[0]
    return {SER2NET: SER2NET, **{path: path for path in found.values()}}


def config(device):
    """ser2net 4's version-1 YAML: device behind an RFC 2217 accepter; the
    device is opened at each connection, at 9600 8N1 until the client sets it."""
    return (f"%YAML 1.1\n---\nconnection: &rig\n  accepter: telnet(rfc2217),tcp,127.0.0.1,{PORT}\n"
            f"  connector: serialdev,{device},9600n81,local\n").encode()


# Guest shell: the loopback up with an address of the guest's own besides
# 127.0.0.1 (glibc's getaddrinfo with AI_ADDRCONFIG, as gensio asks, finds no
# IPv4 at all on a machine whose only address is the loopback's: ser2net then
# says "Invalid accepter port name/number ... Unable to find a valid name on
# the name server" and listens nowhere), then ser2net in the foreground of a
# background job (-n), without UUCP locks (-u).
SETUP = (f"ip link set lo up; ip addr add 192.0.2.1/32 dev lo; "
         f"{SER2NET} -n -u -P {PID_FILE} -c {CONFIG} </dev/null >{LOG} 2>&1 &")
# Up once the accepter listens (its pid file comes even when it does not).
STARTED = f"await_text /proc/net/tcp ':{PORT:04X} 00000000:0000 0A'"
