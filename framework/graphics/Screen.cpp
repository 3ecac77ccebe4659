#include "framework/graphics/Screen.h"

void TScreen::SetSize(int width, int height)
{
    m_width.store(width);
    m_height.store(height);
}

TScreen& Screen()
{
    static TScreen screen;
    return screen;
}
