#pragma once

// How text lines up across its box, and whether a one-pixel bevel looks raised or sunk;
// controls share them with the drawing that follows them.
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
enum class TBevelStyle { bsLowered, bsRaised };
