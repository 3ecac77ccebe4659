#pragma once

namespace gifimg {

// The tool's usage, printed by both of its parts.
inline constexpr const char* Usage =
    "Usage: gifimg COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...           blocks, frames, extensions and warnings of each file\n"
    "  extract FILE OUTDIR [--raw|--png]  each frame with an image as frame-NNN.png or .raw\n"
    "  copy IN OUT [--rle]             load and save again (LZW, or RLE codes)\n"
    "  reduce IN OUT.png [--method M] [--dither D] [--bits N] [--palette FILE] [--psnr]\n"
    "                                  any image Qt reads to a palette PNG of at most 256 colours\n"
    "  render FILE OUT.png [--frame N] | render FILE --all OUTDIR\n"
    "                                  composed frames, as a viewer shows them, as RGB PNGs\n"
    "  play FILE [--rate N] [--stop-after N]  the animation in a window\n"
    "  convert IN... OUT.gif [--method M] [--dither D] [--bits N] [--palette FILE] [--delay N]\n"
    "          [--loop N] [--rle] [--optimize] [--psnr]\n"
    "                                  images (or a folder of them) to a GIF; several make an animation\n"
    "  optimize IN OUT [--trim] [--merge] [--cleanup] [--sort]\n"
    "                                  the same animation in fewer bytes; never larger than IN\n"
    "\n"
    "Every command takes -q (no warning lines), --max-pixels N, --jobs N and --help.\n"
    "FILE, IN and OUT may be '-' for standard input or output.\n"
    "Exit codes: 0 ok, 1 an input failed, 2 usage error.\n";

} // namespace gifimg
