#pragma once

#include "framework/graphics/DrawStyles.h"
#include "framework/ui/Controls.h"

#include <memory>

class TPicture;
class TPalette;

// Shows a picture. With neither stretching nor centring it draws the picture's graphic
// into (0, 0, picture width, picture height); with AutoSize it takes the picture's size
// whenever the picture changes. A graphic whose drawing failed is not drawn again until
// the picture changes, so a broken picture gives one error, not one per paint. What a
// graphic draws onto the control outside a paint (an animation playing straight onto
// it) shows at once.
class TImage : public TGraphicControl {
    CARNELO_CLASS(TImage, TGraphicControl)
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;

    TPicture& Picture() { return *m_picture; }
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool value);
    bool Center() const { return m_center; }
    void SetCenter(bool value);
    // The palette of a bitmap picture; none for any other graphic.
    const TPalette* Palette() const;

protected:
    void Paint() override;

private:
    void pictureChanged();
    void canvasChanged();
    std::unique_ptr<TPicture> m_picture;
    bool m_drawFailed = false;
    bool m_autoSize = false;
    bool m_stretch = false;
    bool m_center = false;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };

// An etched line or box.
class TBevel : public TGraphicControl {
    CARNELO_CLASS(TBevel, TGraphicControl)
public:
    explicit TBevel(TComponent* owner);
    TBevelShape Shape() const { return m_shape; }
    void SetShape(TBevelShape value);
    TBevelStyle Style() const { return m_style; }
    void SetStyle(TBevelStyle value);

protected:
    void Paint() override;

private:
    TBevelShape m_shape = TBevelShape::bsBox;
    TBevelStyle m_style = TBevelStyle::bsLowered;
};
