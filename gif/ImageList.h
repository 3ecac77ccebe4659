#pragma once

#include "gif/GIFItem.h"

#include <memory>

class TGIFSubImage;

// The frames of an image in file order; owns them.
class TGIFImageList : public TGIFList {
    CARNELO_CLASS(TGIFImageList, TGIFList)
public:
    explicit TGIFImageList(TGIFImage* image) : TGIFList(image) {}

    TGIFSubImage& Items(int index) const;
    int Add(std::unique_ptr<TGIFSubImage> frame);
    std::unique_ptr<TGIFSubImage> Remove(const TGIFSubImage& frame);

    // Reads frames until the trailer, which it leaves for the trailer to read. Zero
    // bytes between frames are skipped; a byte that starts no block warns "Unknown GIF
    // block type" and ends the frames there.
    void LoadFromStream(TStream& stream, TGIFImage& image);
    // Every frame in order, reporting progress after each.
    void SaveToStream(TStream& stream) override;
};
