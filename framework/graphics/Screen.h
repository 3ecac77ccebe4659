#pragma once

#include <atomic>

// What the program knows of the screen. The user-interface layer sets the real values
// when it starts; until then (and in tests) the screen is 1024 x 768 at 32 bits per
// pixel. Tests set the depth to 8 to reach the palette-display paths. Any thread may
// read it, from start-up on.
class TScreen {
public:
    int BitsPerPixel() const { return m_bitsPerPixel.load(); }
    void SetBitsPerPixel(int value) { m_bitsPerPixel.store(value); }
    int Planes() const { return 1; }
    int Width() const { return m_width.load(); }
    int Height() const { return m_height.load(); }
    void SetSize(int width, int height);
    int PixelsPerInch() const { return 96; }

private:
    std::atomic<int> m_bitsPerPixel{32};
    std::atomic<int> m_width{1024};
    std::atomic<int> m_height{768};
};

TScreen& Screen();

// Sets the screen's depth for the guard's lifetime (tests).
class ScreenDepthOverride {
public:
    explicit ScreenDepthOverride(int bitsPerPixel) : m_previous(Screen().BitsPerPixel())
    {
        Screen().SetBitsPerPixel(bitsPerPixel);
    }
    ~ScreenDepthOverride() { Screen().SetBitsPerPixel(m_previous); }
    ScreenDepthOverride(const ScreenDepthOverride&) = delete;
    ScreenDepthOverride& operator=(const ScreenDepthOverride&) = delete;

private:
    int m_previous;
};
