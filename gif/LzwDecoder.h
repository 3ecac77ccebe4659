#pragma once

class TGIFSubImage;
class TStream;

// Allocates the frame's pixels and fills them from the image data at the stream's
// position: the minimum code size byte, then LZW codes in data sub-blocks through the
// terminator. Pixels the data does not reach keep the transparent index (when the frame
// has one) or 0. Damage warns through the frame and ends the decoding early; a table
// that refers to itself or codes beyond any table raise GIFException. Afterwards the
// stream stands on the byte after the terminator (or at its end).
void ReadImageData(TGIFSubImage& frame, TStream& stream);
