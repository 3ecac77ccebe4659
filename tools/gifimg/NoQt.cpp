// The front end links the GIF library, whose framework part keeps two Qt users in objects it
// shares with code the front end does need: text drawing on a canvas (only metafiles and
// windows draw text) and the Unicode half of the case-insensitive comparison. Defining their
// entry points here keeps those objects, and so Qt, out of the link; were one of them pulled
// in anyway, the duplicate definitions would stop the link. copy and optimize never draw
// text, and compare only ASCII names (file-format and extension registries).
#include "framework/core/TextCompare.h"
#include "framework/graphics/Canvas.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void needsQt(const char* what)
{
    std::fprintf(stderr, "gifimg: internal error: %s needs the Qt part of gifimg\n", what);
    std::abort();
}

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

unsigned char asciiLower(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
}

// The framework's order for ASCII texts: case-blind first, then by bytes.
int asciiCompare(std::string_view a, std::string_view b, bool thenBytes)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = asciiLower(a[i]), y = asciiLower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    if (!thenBytes)
        return 0;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

bool SameText(std::string_view a, std::string_view b)
{
    if (!isAscii(a) || !isAscii(b))
        needsQt("comparing non-ASCII text");
    return asciiCompare(a, b, false) == 0;
}

int CompareText(std::string_view a, std::string_view b)
{
    if (!isAscii(a) || !isAscii(b))
        needsQt("comparing non-ASCII text");
    return asciiCompare(a, b, true);
}

std::string FoldCase(std::string_view text)
{
    if (!isAscii(text))
        needsQt("folding non-ASCII text");
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(asciiLower(c));
    return out;
}

TextSortKey::TextSortKey(std::string_view text) : m_text(text), m_ascii(isAscii(text))
{
    if (!m_ascii)
        needsQt("sorting non-ASCII text");
}

int Compare(const TextSortKey& a, const TextSortKey& b)
{
    return asciiCompare(a.m_text, b.m_text, true);
}

void TCanvas::TextOut(int, int, const std::string&)
{
    needsQt("drawing text");
}
void TCanvas::TextRect(const TRect&, int, int, const std::string&)
{
    needsQt("drawing text");
}
int TCanvas::TextWidth(const std::string&)
{
    needsQt("measuring text");
}
int TCanvas::TextHeight(const std::string&)
{
    needsQt("measuring text");
}
TPoint TCanvas::TextExtent(const std::string&)
{
    needsQt("measuring text");
}
int TCanvas::DrawText(const std::string&, TRect&, uint32_t)
{
    needsQt("drawing text");
}
void TCanvas::paintText(const textlayout::Layout&, TPoint, const TRect&, uint32_t, const TRect*)
{
    needsQt("drawing text");
}
