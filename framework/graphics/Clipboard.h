#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A block of clipboard data under one format.
struct TClipboardData {
    std::vector<uint8_t> Bytes;
};

// Standard formats. A bitmap travels as a bitmap-file stream.
inline constexpr uint32_t CF_TEXT = 1;
inline constexpr uint32_t CF_BITMAP = 2;
inline constexpr uint32_t CF_DIB = 8;
inline constexpr uint32_t CF_PALETTE = 9;

// Registers a named format: the same name (letter case ignored) always gives the same
// number, from 0xC000 up. Works from start-up on, before the application object exists.
uint32_t RegisterClipboardFormat(std::string_view name);
// The registered name of a format; nothing for a standard or unknown number.
std::optional<std::string> ClipboardFormatName(uint32_t format);

// The clipboard's content: one block per format. Putting data under a format replaces
// what was there under it; Clear empties everything. The user-interface layer mirrors it
// to the desktop's clipboard through OnChange. Safe to use from any thread.
class TClipboard {
public:
    void Clear();
    void SetData(uint32_t format, TClipboardData data);
    std::optional<TClipboardData> Data(uint32_t format) const;
    bool HasFormat(uint32_t format) const;
    std::vector<uint32_t> Formats() const;

    // Called after every change, outside the lock.
    std::function<void()> OnChange;

private:
    mutable std::mutex m_mutex;
    std::map<uint32_t, TClipboardData> m_data;
};

TClipboard& Clipboard();
