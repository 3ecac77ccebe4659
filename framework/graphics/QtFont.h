#pragma once

// For the user-interface layer only: the Qt font the canvas draws a TFont with, so that
// widgets show text exactly as the canvas does.

#include <QFont>

class TFont;

QFont QtFontFor(const TFont& font);
