#pragma once

#include "framework/core/Exception.h"

#include <cstddef>
#include <string>
#include <vector>

// An abstract list of texts; a combo box's items and a plain string list share it.
class TStrings {
public:
    virtual ~TStrings() = default;
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    // Returns the index the text went to (its sorted place in a sorted list).
    virtual int Add(const std::string& text);
    virtual void Insert(int index, const std::string& text) = 0;
    // Index -1 deletes nothing.
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    // Compared without regard to letter case; -1 when absent.
    virtual int IndexOf(const std::string& text) const;

    std::string operator[](int index) const { return Get(index); }
    std::vector<std::string> ToVector() const;
    // Adds each text as Add would, in order.
    virtual void AddStrings(const std::vector<std::string>& texts);
    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();

protected:
    bool Updating() const { return m_updateCount > 0; }
    // Runs when an update batch ends.
    virtual void Changed() {}

private:
    int m_updateCount = 0;
};

class TStringList : public TStrings {
public:
    TStringList() = default;
    explicit TStringList(bool sorted) : m_sorted(sorted) {}

    int Count() const override { return static_cast<int>(m_items.size()); }
    std::string Get(int index) const override;
    int Add(const std::string& text) override;
    // Raises EListError on a sorted list, whose order is its own.
    void Insert(int index, const std::string& text) override;
    void Delete(int index) override;
    void Clear() override { m_items.clear(); }
    int IndexOf(const std::string& text) const override;
    // On a sorted list: one sort instead of one insertion per text.
    void AddStrings(const std::vector<std::string>& texts) override;

    bool Sorted() const { return m_sorted; }
    // Turning sorting on sorts the list (a stable sort keeps equal texts in their order).
    void SetSorted(bool sorted);
    const std::vector<std::string>& Items() const { return m_items; }

private:
    std::vector<std::string> m_items;
    bool m_sorted = false;
};

// Sorts by CompareText, keeping equal texts in their order.
void SortTexts(std::vector<std::string>& texts);

// Where text belongs in a list sorted by CompareText: after every text that orders
// before or equal to it.
int SortedInsertIndex(const TStrings& list, const std::string& text);

// The UTF-8 bytes of a code point.
std::string utf8Of(char32_t c);
// Bytes of the UTF-8 sequence a lead byte starts; 1 for a byte that starts none.
size_t utf8SequenceLength(unsigned char lead);
