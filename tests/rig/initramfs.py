"""The guest's root file system: busybox, the boot's modules, the programs
under test with the libraries they load, and the init script. Written as a
newc cpio archive, the format the kernel unpacks."""

import os
import re
import shutil
import stat
import subprocess


class _Cpio:
    def __init__(self, out):
        self._out = out
        self._inode = 1
        self._written = set()

    def _entry(self, name, mode, data=b""):
        header = "070701" + "".join("%08X" % value for value in (
            self._inode, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name) + 1, 0))
        self._inode += 1
        self._out.write(header.encode() + name.encode() + b"\0")
        self._pad()
        self._out.write(data)
        self._pad()

    def _pad(self):
        self._out.write(b"\0" * (-self._out.tell() % 4))

    def directory(self, name):
        parts = name.strip("/").split("/")
        for depth in range(1, len(parts) + 1):
            path = "/".join(parts[:depth])
            if path not in self._written:
                self._written.add(path)
                self._entry(path, stat.S_IFDIR | 0o755)

    def file(self, name, data, mode=0o755):
        name = name.strip("/")
        self.directory(os.path.dirname(name))
        self._entry(name, stat.S_IFREG | mode, data)

    def symlink(self, name, target):
        name = name.strip("/")
        self.directory(os.path.dirname(name))
        self._entry(name, stat.S_IFLNK | 0o777, target.encode())

    def close(self):
        self._entry("TRAILER!!!", 0)


# Where Debian installs another architecture's libraries (multiarch), by the
# ELF machine number of its programs.
_MULTIARCH = {183: "aarch64-linux-gnu"}


def _elf_machine(path):
    with open(path, "rb") as program:
        return int.from_bytes(program.read(20)[18:20], "little")


def _host_libraries(program):
    """The shared objects the host's dynamic loader maps for program, by path."""
    listing = subprocess.run(["ldd", program], capture_output=True, text=True).stdout
    paths = set()
    for line in listing.splitlines():
        match = re.search(r"(/\S+)\s+\(0x", line)
        if match:
            paths.add(match.group(1))
    return paths


def _foreign_libraries(program, triplet):
    """The same for another architecture's program, which ldd cannot run: its
    loader and the libraries its NEEDED entries name, each with what it needs,
    from that architecture's Debian packages (libc6:arm64, libstdc++6:arm64).
    None for a static program."""
    folders = [f"/lib/{triplet}", f"/usr/lib/{triplet}"]
    paths, seen, wanted = set(), set(), [program]
    while wanted:
        dynamic = subprocess.run(["readelf", "-d", "-l", "-W", wanted.pop()],
                                 check=True, capture_output=True, text=True).stdout
        paths.update(re.findall(r"Requesting program interpreter: (\S+)\]", dynamic))
        for name in re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic):
            if name in seen:
                continue
            seen.add(name)
            found = [os.path.join(folder, name) for folder in folders if os.path.exists(os.path.join(folder, name))]
            if not found:
                raise RuntimeError(f"{program} needs {name}, which is in none of {folders} (scripts/setup installs it)")
            paths.add(found[0])
            wanted.append(found[0])
    return paths


def _libraries(program):
    """The shared objects the dynamic loader maps for program, by path."""
    machine = _elf_machine(program)
    if machine in _MULTIARCH:
        return _foreign_libraries(program, _MULTIARCH[machine])
    return _host_libraries(program)


def build(image, kernel_dir, modules, programs, files, init_script, busybox=None):
    """Writes image. programs maps a guest path to a host file; each comes with
    its libraries at the host's paths (for another architecture's program, its
    multiarch paths). files maps a guest path to its bytes. busybox is the
    host's unless another architecture's is given."""
    with open(image, "wb") as out:
        archive = _Cpio(out)
        for name in ("dev", "proc", "sys", "tmp", "run"):
            archive.directory(name)
        with open(busybox or shutil.which("busybox"), "rb") as program:
            archive.file("bin/busybox", program.read())
        archive.symlink("bin/sh", "busybox")
        for name in modules:
            with open(os.path.join(kernel_dir, name + ".ko"), "rb") as module:
                archive.file(f"lib/modules/{name}.ko", module.read(), 0o644)
        libraries = set()
        for guest_path, host_path in programs.items():
            with open(host_path, "rb") as program:
                archive.file(guest_path, program.read())
            libraries.update(_libraries(host_path))
        for library in sorted(libraries):
            with open(os.path.realpath(library), "rb") as data:
                archive.file(library, data.read())
        for guest_path, data in files.items():
            archive.file(guest_path, data, 0o644)
        archive.file("init", init_script.encode())
        archive.close()
    return image
