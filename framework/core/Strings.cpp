#include "Strings.h"

#include "Exception.h"
#include "TextCompare.h"

#include <algorithm>

int TStrings::Add(const std::string& text)
{
    const int index = Count();
    Insert(index, text);
    return index;
}

int TStrings::IndexOf(const std::string& text) const
{
    const int n = Count();
    for (int i = 0; i < n; ++i)
        if (SameText(Get(i), text))
            return i;
    return -1;
}

std::vector<std::string> TStrings::ToVector() const
{
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i)
        out.push_back(Get(i));
    return out;
}

void TStrings::AddStrings(const std::vector<std::string>& texts)
{
    BeginUpdate();
    for (const auto& t : texts)
        Add(t);
    EndUpdate();
}

void TStrings::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        Changed();
}

int SortedInsertIndex(const TStrings& list, const std::string& text)
{
    int lo = 0, hi = list.Count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (CompareText(list.Get(mid), text) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::string TStringList::Get(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
    return m_items[static_cast<size_t>(index)];
}

int TStringList::Add(const std::string& text)
{
    if (!m_sorted)
        return TStrings::Add(text);
    auto it = std::upper_bound(m_items.begin(), m_items.end(), text,
                               [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
    it = m_items.insert(it, text);
    return static_cast<int>(it - m_items.begin());
}

void TStringList::Insert(int index, const std::string& text)
{
    if (m_sorted)
        throw EListError("Opération non autorisée sur une liste triée");
    if (index < 0 || index > Count())
        throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
    m_items.insert(m_items.begin() + index, text);
}

void TStringList::Delete(int index)
{
    if (index == -1)
        return;
    if (index < 0 || index >= Count())
        throw EListError(Format(FrameworkText::ListIndexError, {std::to_string(index)}));
    m_items.erase(m_items.begin() + index);
}

int TStringList::IndexOf(const std::string& text) const
{
    if (m_sorted) {
        // Texts the same without regard to case lie together around their sorted place.
        auto it =
            std::lower_bound(m_items.begin(), m_items.end(), text, [&](const std::string& a, const std::string& b) {
                return CompareText(a, b) < 0 && !SameText(a, b);
            });
        return (it != m_items.end() && SameText(*it, text)) ? static_cast<int>(it - m_items.begin()) : -1;
    }
    return TStrings::IndexOf(text);
}

void SortTexts(std::vector<std::string>& texts)
{
    std::vector<std::pair<TextSortKey, size_t>> keys;
    keys.reserve(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        keys.emplace_back(TextSortKey(texts[i]), i);
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> sorted;
    sorted.reserve(texts.size());
    for (const auto& key : keys)
        sorted.push_back(std::move(texts[key.second]));
    texts = std::move(sorted);
}

void TStringList::AddStrings(const std::vector<std::string>& texts)
{
    if (!m_sorted) {
        m_items.insert(m_items.end(), texts.begin(), texts.end());
        return;
    }
    // Appending and then sorting stably puts each text after its equals, as Add does.
    m_items.insert(m_items.end(), texts.begin(), texts.end());
    SortTexts(m_items);
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted && !m_sorted)
        SortTexts(m_items);
    m_sorted = sorted;
}

std::string utf8Of(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

size_t utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}
