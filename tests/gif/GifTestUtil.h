#pragma once

#include "framework/core/Stream.h"
#include "gif/GIFImage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// An image loaded from bytes, with every warning it gave and the failure, if any.
struct Loaded {
    std::unique_ptr<TGIFImage> image = std::make_unique<TGIFImage>();
    std::vector<std::string> warnings;
    std::string error;
    int64_t position = 0;

    TGIFImage* operator->() const { return image.get(); }
};

Loaded loadGif(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> saveGif(TGIFImage& image);
std::vector<uint8_t> readDataFile(const std::string& relativePath);
std::string dataPath(const std::string& relativePath);
// Every .gif under tests/data/gif/<folder>, as paths relative to tests/data/gif.
std::vector<std::string> dataFiles(const std::string& folder);
// The pixels of frame i.
std::vector<uint8_t> pixelsOf(TGIFImage& image, int frame);
