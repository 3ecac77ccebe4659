#pragma once

#include "framework/core/Stream.h"
#include "gif/GIFImage.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// An image loaded from bytes, with every warning it gave and the failure, if any.
struct Loaded {
    std::unique_ptr<TGIFImage> image = std::make_unique<TGIFImage>();
    std::vector<std::string> warnings;
    std::string error;
    int64_t position = 0;

    TGIFImage* operator->() const { return image.get(); }
};

// inPlace false reads through a stream that does not show its bytes to the readers;
// threads above 1 decode frames ahead on that many threads, whatever the file's size.
Loaded loadGif(const std::vector<uint8_t>& bytes, bool inPlace = true, int threads = 1);
std::vector<uint8_t> saveGif(TGIFImage& image);
std::vector<uint8_t> readDataFile(const std::string& relativePath);
std::string dataPath(const std::string& relativePath);
// Every .gif under tests/data/gif/<folder>, as paths relative to tests/data/gif.
std::vector<std::string> dataFiles(const std::string& folder);
// Packs LZW codes at the width a decoder expects: minCodeSize + 1 after a clear code,
// one more bit whenever the decoder's next table entry reaches 2^width (12 at most).
class LzwCodes {
public:
    explicit LzwCodes(int minCodeSize);
    LzwCodes& add(std::initializer_list<int> codes);
    LzwCodes& add(int code);
    int clearCode() const { return 1 << m_minCodeSize; }
    int endCode() const { return clearCode() + 1; }
    int nextCode() const { return m_nextCode; }
    // The minimum code size byte, the codes in sub-blocks of chunk bytes, the terminator.
    std::vector<uint8_t> imageData(size_t chunk = 255) const;

private:
    int m_minCodeSize;
    int m_width;
    int m_nextCode;
    bool m_first = true;
    std::vector<std::pair<int, int>> m_codes;
};

// The codes in LZW image data (the bytes after an image descriptor), read at the
// widths a decoder uses, up to the end code or the end of the data.
std::vector<int> readCodes(const std::vector<uint8_t>& imageData);
// The data sub-blocks' lengths in LZW image data, terminator excluded.
std::vector<int> subBlockSizes(const std::vector<uint8_t>& imageData);

// A whole one-frame GIF: header with a global table of colors entries, descriptor,
// the image data given, trailer.
std::vector<uint8_t> oneFrameGif(int width, int height, int colors, const std::vector<uint8_t>& imageData,
                                 uint8_t packed = 0);

struct GifFileType;
struct GiflibCloser {
    void operator()(GifFileType* gif) const;
};
// giflib's whole reading of the bytes (DGifSlurp), or null when giflib refuses them.
std::unique_ptr<GifFileType, GiflibCloser> giflibRead(const std::vector<uint8_t>& bytes);

// A frame as giflib decodes it.
struct GiflibFrame {
    int left, top, width, height;
    std::vector<uint8_t> pixels;
};
// giflib's frames of a whole file, or null when giflib refuses it.
std::unique_ptr<std::vector<GiflibFrame>> giflibDecode(const std::vector<uint8_t>& bytes);
// Indices of the frames that have an image.
std::vector<int> framesWithImage(TGIFImage& image);

// The pixels of frame i.
std::vector<uint8_t> pixelsOf(TGIFImage& image, int frame);
