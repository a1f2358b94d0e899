// Writes one image of the program's icon as a PNG file, for installation:
//   zandrel_icon SIZE FILE
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "icon_png.h"
#include "ui/resource.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SIZE FILE\n", argv[0]);
        return 2;
    }
    const int size = std::atoi(argv[1]);
    const IconResource* icon = AfxFindIcon(IDR_MAINFRAME);
    const auto rgba = icon ? IconRgba(*icon, size) : std::nullopt;
    if (!rgba) {
        std::fprintf(stderr, "%s: icon %d has no well-formed %dx%d image\n", argv[0], IDR_MAINFRAME, size, size);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << EncodePng(size, size, *rgba);
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
