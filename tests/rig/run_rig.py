"""Runs the rig: the program on the kernel's real serial drivers in a QEMU
guest. Exits 77 (skipped) with a message when QEMU cannot start here; keeps
each boot's console log, QEMU trace and command line under the work directory."""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import unittest

sys.dont_write_bytecode = True  # the source tree stays as checked out
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import guest_kernel  # noqa: E402
import rig_test  # noqa: E402

SKIPPED = 77


def qemu_problem():
    """Why QEMU cannot start a machine here, or None."""
    qemu = shutil.which("qemu-system-x86_64")
    if not qemu:
        return "qemu-system-x86_64 is not installed"
    try:
        probe = subprocess.run([qemu, "-nodefaults", "-display", "none", "-machine", "pc", "-S", "-qmp", "stdio"],
                               input=b'{"execute":"qmp_capabilities"}\n{"execute":"quit"}\n',
                               capture_output=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired) as error:
        return f"{qemu} did not run: {error}"
    if probe.returncode != 0:
        return f"{qemu} cannot start a machine: {probe.stderr.decode(errors='replace').strip()}"
    return None


def unpack_package(deb, into):
    """The package's files under into, as dpkg would install them."""
    shutil.rmtree(into, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", deb, into], check=True)
    return into


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--work", required=True, help="where the kernel, the boots and their logs go")
    parser.add_argument("--zandrel", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--filler", required=True, help="the guest's second writer that keeps a line full")
    parser.add_argument("--chip", required=True, help="the guest's USB-serial chip emulator")
    parser.add_argument("--arm64", help="an arm64 build directory (ZANDREL_TESTS=OFF) with the program's package "
                                        "(cpack), for the arm64 boot")
    parser.add_argument("tests", nargs="*", help="unittest names, for example rig_test.Lines")
    options = parser.parse_args()

    problem = qemu_problem()
    if problem:
        print(f"rig skipped: {problem}")
        return SKIPPED
    os.makedirs(options.work, exist_ok=True)
    rig_test.CONFIG.update(work=options.work, kernel=guest_kernel.fetch(os.path.join(options.work, "kernel")),
                           zandrel=options.zandrel, probe=options.probe, filler=options.filler,
                           chip=options.chip, arm64=None)
    if options.arm64 and not shutil.which("qemu-system-aarch64"):
        print("rig: no arm64 boot: qemu-system-aarch64 is not installed")
    elif options.arm64 and not glob.glob(os.path.join(options.arm64, "zandrel-cli_*_arm64.deb")):
        print(f"rig: no arm64 boot: {options.arm64} has no zandrel-cli package (scripts/setup makes it)")
    elif options.arm64:
        rig_test.CONFIG["arm64"] = {
            "kernel": guest_kernel.fetch(os.path.join(options.work, "kernel-arm64"), "arm64"),
            "package": unpack_package(glob.glob(os.path.join(options.arm64, "zandrel-cli_*_arm64.deb"))[0],
                                      os.path.join(options.work, "zandrel-cli-arm64")),
            "probe": os.path.join(options.arm64, "tests", "rig_port_probe"),
            "filler": os.path.join(options.arm64, "tests", "rig_line_filler")}
    loader = unittest.TestLoader()
    suite = (loader.loadTestsFromNames(options.tests) if options.tests
             else loader.loadTestsFromModule(rig_test))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    print(f"rig: console logs and QEMU traces are in {options.work}/<boot>/")
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
