#pragma once

#include "gif/GIFItem.h"

// The trailer byte ';' (0x3B). Made only for the moment it is read or written.
class TGIFTrailer : public TGIFItem {
    CARNELO_CLASS(TGIFTrailer, TGIFItem)
public:
    explicit TGIFTrailer(TGIFImage* image) : TGIFItem(image) {}

    void SaveToStream(TStream& stream) override;
    // Another byte warns "Invalid Image trailer"; the end of the stream says nothing.
    void LoadFromStream(TStream& stream) override;
};
