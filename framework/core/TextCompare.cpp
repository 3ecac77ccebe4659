#include "TextCompare.h"

#include <QString>

#include <algorithm>

namespace {

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

unsigned char asciiLower(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
}

int asciiCompareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = asciiLower(a[i]), y = asciiLower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int compareBytes(std::string_view a, std::string_view b)
{
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool isValidUtf8(std::string_view s)
{
    // Round-tripping is the cheapest exact test with the tools at hand.
    const QByteArray bytes(s.data(), static_cast<qsizetype>(s.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

QString folded(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toCaseFolded();
}

// Base letters only: canonical decomposition with the combining marks dropped, folded.
QString baseLetters(std::string_view s)
{
    const QString decomposed =
        QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const auto category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing)
            out.append(c);
    }
    return out.toCaseFolded();
}

} // namespace

bool SameText(std::string_view a, std::string_view b)
{
    if (isAscii(a) && isAscii(b))
        return asciiCompareNoCase(a, b) == 0;
    if (!isValidUtf8(a) || !isValidUtf8(b))
        return asciiCompareNoCase(a, b) == 0;
    return folded(a) == folded(b);
}

int CompareText(std::string_view a, std::string_view b)
{
    if (isAscii(a) && isAscii(b)) {
        const int c = asciiCompareNoCase(a, b);
        return c != 0 ? c : compareBytes(a, b);
    }
    return Compare(TextSortKey(a), TextSortKey(b));
}

std::string FoldCase(std::string_view text)
{
    if (isAscii(text) || !isValidUtf8(text)) {
        std::string out(text);
        for (char& c : out)
            c = static_cast<char>(asciiLower(c));
        return out;
    }
    return folded(text).toUtf8().toStdString();
}

namespace {
std::u16string toU16(const QString& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

int compareU16(const std::u16string& a, const std::u16string& b)
{
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
} // namespace

TextSortKey::TextSortKey(std::string_view text) : m_text(text), m_ascii(isAscii(text))
{
    if (m_ascii) {
        // ASCII letters have no marks, and fold to lower case.
        m_base.reserve(text.size());
        for (char c : text)
            m_base.push_back(static_cast<char16_t>(asciiLower(c)));
        m_folded = m_base;
    } else {
        m_base = toU16(baseLetters(text));
        m_folded = toU16(folded(text));
    }
}

int Compare(const TextSortKey& a, const TextSortKey& b)
{
    if (a.m_ascii && b.m_ascii) {
        const int c = asciiCompareNoCase(a.m_text, b.m_text);
        return c != 0 ? c : compareBytes(a.m_text, b.m_text);
    }
    if (int c = compareU16(a.m_base, b.m_base))
        return c;
    if (int c = compareU16(a.m_folded, b.m_folded))
        return c;
    return compareBytes(a.m_text, b.m_text);
}
