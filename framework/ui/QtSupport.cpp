#include "framework/ui/QtSupport.h"

#include "framework/graphics/QtFont.h"

QFont toQtFont(const TFont& font)
{
    return QtFontFor(font);
}
