"""The guest's kernel: the image the distribution's linux-image-amd64 (or
linux-image-arm64) points at, unpacked once into the build tree with only the
modules the rig's boots load, each with the modules it depends on (the package
has no modules.dep: each module's own depends= line tells). An arm64 guest
also gets busybox from the distribution's arm64 busybox-static."""

import glob
import lzma
import os
import re
import shutil
import subprocess
import tempfile

# What a boot loads; load_order() adds what they depend on.
USB_SERIAL_MODULES = ["xhci-pci", "ftdi_sio"]
# A gadget on dummy_hcd, the guest's own USB host, bound by cdc_acm. g_serial
# asks for its ACM function (usb_f_acm) by name, so no depends= line names it.
CDC_ACM_MODULES = ["dummy_hcd", "cdc-acm", "usb_f_acm", "g_serial"]
# A chip played in user space through FunctionFS on dummy_hcd, bound by the
# driver named last (see guest/chip_emulator.cpp).
CHIP_GADGET_MODULES = ["dummy_hcd", "libcomposite", "usb_f_fs"]
CHIP_DRIVERS = ["ch341", "cp210x", "pl2303"]
# The arm64 guest's console, a virtio console on virtio-mmio (its PL011 is built in).
ARM64_CONSOLE_MODULES = ["virtio_mmio", "virtio_console"]
_WANTED = {"amd64": USB_SERIAL_MODULES + CDC_ACM_MODULES + CHIP_GADGET_MODULES + CHIP_DRIVERS,
           "arm64": ARM64_CONSOLE_MODULES}


def _image_package(arch):
    meta = f"linux-image-{arch}:{arch}"
    depends = subprocess.run(["apt-cache", "depends", meta], check=True, capture_output=True, text=True).stdout
    match = re.search(r"Depends:\s*(linux-image-\S+)", depends)
    if not match:
        raise RuntimeError(f"{meta} names no kernel image package:\n" + depends)
    return match.group(1)


def _depends(module_path):
    """The modules a module needs loaded first, from its .modinfo strings."""
    with open(module_path, "rb") as module:
        match = re.search(rb"\0depends=([^\0]*)\0", module.read())
    return [name for name in match.group(1).decode().split(",") if name] if match else []


def load_order(kernel_dir, modules):
    """modules with everything they depend on, each after what it needs."""
    order = []

    def visit(name):
        if name not in order:
            for needed in _depends(os.path.join(kernel_dir, name + ".ko")):
                visit(needed)
            order.append(name)

    for name in modules:
        visit(name)
    return order


def _copy_module(tree, name, into):
    """Unpacks module name into into/name.ko; returns the modules it needs."""
    found = glob.glob(os.path.join(tree, "lib/modules/*/kernel/**/", name + ".ko*"), recursive=True)
    if not found:
        raise RuntimeError(f"the kernel package has no module {name}")
    source = found[0]
    target = os.path.join(into, name + ".ko")
    if source.endswith(".ko"):
        shutil.copyfile(source, target)
    elif source.endswith(".ko.xz"):
        with lzma.open(source) as packed, open(target, "wb") as plain:
            shutil.copyfileobj(packed, plain)
    elif source.endswith(".ko.zst"):
        with open(target, "wb") as plain:
            subprocess.run(["zstd", "-dc", source], check=True, stdout=plain)
    else:
        raise RuntimeError(f"cannot unpack {source}")
    return _depends(target)


def _complete(kernel_dir, arch):
    """Whether kernel_dir has the image and every module a boot loads."""
    try:
        load_order(kernel_dir, _WANTED[arch])
    except OSError:
        return False
    parts = ["vmlinuz"] + (["busybox"] if arch != "amd64" else [])
    return all(os.path.exists(os.path.join(kernel_dir, part)) for part in parts)


def _unpack(package, work):
    """Downloads package into work and unpacks it; returns the tree."""
    subprocess.run(["apt-get", "download", "-q", package], cwd=work, check=True)
    tree = os.path.join(work, package.split(":")[0])
    subprocess.run(["dpkg-deb", "-x", glob.glob(os.path.join(work, package.split(":")[0] + "_*.deb"))[0], tree],
                   check=True)
    return tree


def fetch(kernel_dir, arch="amd64"):
    """Makes kernel_dir hold vmlinuz and the modules the boots load (and for
    another architecture than the host's, its busybox); returns it."""
    if _complete(kernel_dir, arch):
        return kernel_dir
    package = _image_package(arch)
    os.makedirs(os.path.dirname(os.path.abspath(kernel_dir)), exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.path.dirname(os.path.abspath(kernel_dir))) as work:
        os.chmod(work, 0o755)  # apt's download user must be able to write here
        tree = _unpack(package, work)
        staged = os.path.join(work, "kernel")
        os.makedirs(staged)
        shutil.copyfile(glob.glob(os.path.join(tree, "boot/vmlinuz-*"))[0], os.path.join(staged, "vmlinuz"))
        if arch != "amd64":
            busybox = _unpack(f"busybox-static:{arch}", work)
            shutil.copyfile(os.path.join(busybox, "bin/busybox"), os.path.join(staged, "busybox"))
        wanted = list(_WANTED[arch])
        while wanted:
            name = wanted.pop()
            if not os.path.exists(os.path.join(staged, name + ".ko")):
                wanted += _copy_module(tree, name, staged)
        with open(os.path.join(staged, "package"), "w") as note:
            note.write(package + "\n")
        shutil.rmtree(kernel_dir, ignore_errors=True)  # one from before the boots loaded more
        os.replace(staged, kernel_dir)  # whole or not at all
    return kernel_dir


if __name__ == "__main__":
    import sys
    print(fetch(*sys.argv[1:3]))
