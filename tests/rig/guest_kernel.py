"""The guest's kernel: the image the distribution's linux-image-amd64 points at,
unpacked once into the build tree with only what the rig boots."""

import glob
import lzma
import os
import re
import shutil
import subprocess
import tempfile

# insmod order: each needs the ones before it.
USB_SERIAL_MODULES = ["usb-common", "usbcore", "xhci-hcd", "xhci-pci", "usbserial", "ftdi_sio"]


def _image_package():
    depends = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], check=True,
                             capture_output=True, text=True).stdout
    match = re.search(r"Depends:\s*(linux-image-\S+)", depends)
    if not match:
        raise RuntimeError("linux-image-amd64 names no kernel image package:\n" + depends)
    return match.group(1)


def _copy_module(tree, name, into):
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


def fetch(kernel_dir):
    """Makes kernel_dir hold vmlinuz and the USB serial modules; returns it."""
    if os.path.exists(os.path.join(kernel_dir, "vmlinuz")):
        return kernel_dir
    package = _image_package()
    os.makedirs(os.path.dirname(os.path.abspath(kernel_dir)), exist_ok=True)
    with tempfile.TemporaryDirectory(dir=os.path.dirname(os.path.abspath(kernel_dir))) as work:
        os.chmod(work, 0o755)  # apt's download user must be able to write here
        subprocess.run(["apt-get", "download", "-q", package], cwd=work, check=True)
        debs = glob.glob(os.path.join(work, "*.deb"))
        tree = os.path.join(work, "tree")
        subprocess.run(["dpkg-deb", "-x", debs[0], tree], check=True)
        staged = os.path.join(work, "kernel")
        os.makedirs(staged)
        shutil.copyfile(glob.glob(os.path.join(tree, "boot/vmlinuz-*"))[0], os.path.join(staged, "vmlinuz"))
        for name in USB_SERIAL_MODULES:
            _copy_module(tree, name, staged)
        with open(os.path.join(staged, "package"), "w") as note:
            note.write(package + "\n")
        os.replace(staged, kernel_dir)  # whole or not at all
    return kernel_dir


if __name__ == "__main__":
    import sys
    print(fetch(sys.argv[1]))
