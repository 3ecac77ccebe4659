#pragma once

#include <string>
#include <string_view>

// The one comparison of names that the string lists, the contact store and the sorted
// combo box share. Texts are UTF-8; invalid bytes compare by their byte values.

// Equal without regard to letter case, by full Unicode case folding:
// "émile" equals "Émile", but not "emile".
bool SameText(std::string_view a, std::string_view b);

// Order without regard to letter case as a person expects: accented letters sort
// beside their base letter ("bob" < "Émile" < "zed"); ties are broken first by
// the case-folded text, then by code points, so the order is total and
// CompareText(a, b) == 0 exactly when a == b.
int CompareText(std::string_view a, std::string_view b);

// A key for hashing texts that SameText holds equal: equal keys exactly for equal texts.
std::string FoldCase(std::string_view text);

// CompareText's order with the expensive part done once per text, for sorting many.
class TextSortKey {
public:
    explicit TextSortKey(std::string_view text);
    friend int Compare(const TextSortKey& a, const TextSortKey& b);
    bool operator<(const TextSortKey& other) const { return Compare(*this, other) < 0; }

private:
    std::string m_text;
    std::u16string m_base; // base letters, folded
    std::u16string m_folded;
    bool m_ascii;
};
