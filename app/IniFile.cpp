#include "app/IniFile.h"
#include "app/StoreLocation.h"

#include "framework/core/AtomicFile.h"
#include "framework/core/Strings.h"
#include "framework/core/System.h"
#include "framework/core/TextCompare.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <unistd.h>
#include <unordered_map>

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool hasControlCharacter(std::string_view s)
{
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

enum class LineKind { Blank, Header, Entry, Other };

struct Line {
    size_t begin = 0; // content starts here
    size_t end = 0;   // content ends here; the line end follows
    size_t next = 0;  // the next line starts here
    LineKind kind = LineKind::Other;
    std::string_view name;  // header name or key, trimmed
    std::string_view value; // raw text after "=" of an entry
};

// A parsed view of the file; every offset points into text.
class Document {
public:
    explicit Document(std::string text) : m_text(std::move(text)) { parse(); }

    const std::string& text() const { return m_text; }
    const std::vector<Line>& lines() const { return m_lines; }

    // Header index of the first section with that name, if any.
    std::optional<size_t> findSection(std::string_view name) const
    {
        for (size_t i = 0; i < m_lines.size(); ++i)
            if (m_lines[i].kind == LineKind::Header && SameText(m_lines[i].name, name))
                return i;
        return std::nullopt;
    }

    // One past the section's last line: the next header or the end.
    size_t sectionEnd(size_t header) const
    {
        size_t i = header + 1;
        while (i < m_lines.size() && m_lines[i].kind != LineKind::Header)
            ++i;
        return i;
    }

    std::optional<size_t> findKey(size_t header, std::string_view key) const
    {
        const size_t end = sectionEnd(header);
        for (size_t i = header + 1; i < end; ++i)
            if (m_lines[i].kind == LineKind::Entry && SameText(m_lines[i].name, key))
                return i;
        return std::nullopt;
    }

    // The line end new lines get: the file's own first one, else "\n".
    std::string_view newline() const
    {
        for (const Line& l : m_lines)
            if (l.next > l.end)
                return std::string_view(m_text).substr(l.end, l.next - l.end);
        return "\n";
    }

    bool endsWithNewline() const { return m_lines.empty() || m_lines.back().next > m_lines.back().end; }

private:
    void parse()
    {
        const std::string_view all(m_text);
        m_lines.reserve(static_cast<size_t>(std::count(all.begin(), all.end(), '\n')) + 1);
        size_t pos = 0;
        while (pos < all.size()) {
            Line line;
            line.begin = pos;
            size_t lf = all.find('\n', pos);
            if (lf == std::string_view::npos) {
                line.end = line.next = all.size();
            } else {
                line.next = lf + 1;
                line.end = (lf > pos && all[lf - 1] == '\r') ? lf - 1 : lf;
            }
            if (pos == 0 && all.substr(0, ByteOrderMark.size()) == ByteOrderMark)
                line.begin = std::min(ByteOrderMark.size(), line.end);
            classify(line, all.substr(line.begin, line.end - line.begin));
            m_lines.push_back(line);
            pos = line.next;
        }
    }

    static void classify(Line& line, std::string_view content)
    {
        const std::string_view t = trim(content);
        if (t.empty()) {
            line.kind = LineKind::Blank;
        } else if (t.front() == '[') {
            line.kind = LineKind::Header;
            const std::string_view inner = t.substr(1);
            line.name = trim(inner.substr(0, inner.find(']')));
        } else if (t.front() == ';') {
            line.kind = LineKind::Other;
        } else if (const size_t eq = content.find('='); eq != std::string_view::npos) {
            line.kind = LineKind::Entry;
            line.name = trim(content.substr(0, eq));
            line.value = content.substr(eq + 1);
        }
    }

    std::string m_text;
    std::vector<Line> m_lines;
};

Document load(const std::string& path)
{
    return Document(ReadFileBytes(path).value_or(std::string()));
}

std::string entryLine(std::string_view key, std::string_view value)
{
    std::string s;
    s.reserve(key.size() + value.size() + 1);
    s.append(key).append("=").append(value);
    return s;
}

// Text of the file with the line range [first, last) removed. The first line's content
// starts after a byte-order mark, which therefore stays with the file.
std::string withoutLines(const Document& doc, size_t first, size_t last)
{
    const auto& lines = doc.lines();
    const size_t to = last < lines.size() ? lines[last].begin : doc.text().size();
    std::string out = doc.text().substr(0, lines[first].begin);
    out.append(doc.text(), to, std::string::npos);
    return out;
}

// Removes every section named name (a hand-edited file may repeat one).
std::string eraseSections(std::string text, std::string_view name, bool* changed)
{
    *changed = false;
    for (;;) {
        Document doc(std::move(text));
        const auto header = doc.findSection(name);
        if (!header) {
            text = doc.text();
            return text;
        }
        text = withoutLines(doc, *header, doc.sectionEnd(*header));
        *changed = true;
    }
}

std::string appendSection(const Document& doc, std::string_view section,
                          const std::vector<std::pair<std::string_view, std::string_view>>& entries)
{
    const std::string_view nl = doc.newline();
    std::string out = doc.text();
    if (!doc.endsWithNewline())
        out.append(nl);
    out.append("[").append(section).append("]").append(nl);
    for (const auto& [key, value] : entries)
        out.append(entryLine(key, value)).append(nl);
    return out;
}

} // namespace

TIniFile::TIniFile(std::string path) : m_path(std::move(path))
{
    if (!m_path.empty() && m_path.front() != '/') {
        std::vector<char> cwd(4096);
        while (!::getcwd(cwd.data(), cwd.size()) && errno == ERANGE)
            cwd.resize(cwd.size() * 2);
        m_path = std::string(cwd.data()) + "/" + m_path;
    }
}

bool TIniFile::IsValidSectionName(std::string_view section)
{
    section = trim(section);
    return !section.empty() && section.find(']') == std::string_view::npos && !hasControlCharacter(section);
}

bool TIniFile::IsValidKeyName(std::string_view key)
{
    key = trim(key);
    return !key.empty() && key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';' &&
           !hasControlCharacter(key);
}

bool TIniFile::IsValidValue(std::string_view value)
{
    return !hasControlCharacter(value);
}

void TIniFile::ReadKeyNames(const std::string& section, TStrings& names) const
{
    names.Clear();
    const Document doc = load(m_path);
    const auto header = doc.findSection(section);
    if (!header)
        return;
    std::vector<std::string> keys;
    const size_t end = doc.sectionEnd(*header);
    for (size_t i = *header + 1; i < end; ++i) {
        const Line& line = doc.lines()[i];
        if (line.kind == LineKind::Entry && IsValidKeyName(line.name))
            keys.emplace_back(line.name);
    }
    names.AddStrings(keys);
}

std::string TIniFile::GetEntry(const std::string& section, const std::string& key, const std::string& fallback) const
{
    const Document doc = load(m_path);
    const auto header = doc.findSection(section);
    if (!header)
        return fallback;
    const auto line = doc.findKey(*header, trim(key));
    if (!line)
        return fallback;
    std::string_view value = trim(doc.lines()[*line].value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

void TIniFile::CheckEntry(std::string_view section, std::string_view key, std::string_view value)
{
    section = trim(section);
    key = trim(key);
    if (!IsValidSectionName(section))
        throw EIniFileException(Format(IniText::BadSection, {section}));
    if (!IsValidKeyName(key))
        throw EIniFileException(Format(IniText::BadKey, {key}));
    if (!IsValidValue(value))
        throw EIniFileException(Format(IniText::BadValue, {key}));
}

void TIniFile::PutEntry(const std::string& sectionName, const std::string& keyName, const std::string& value)
{
    CheckEntry(sectionName, keyName, value);
    const std::string_view section = trim(sectionName), key = trim(keyName);

    const FileLock lock(m_path);
    const Document doc = load(m_path);
    const auto header = doc.findSection(section);
    if (!header) {
        write(appendSection(doc, section, {{key, value}}));
        return;
    }
    const auto& lines = doc.lines();
    const std::string& text = doc.text();
    std::string out;
    out.reserve(text.size() + key.size() + value.size() + 4);
    if (const auto existing = doc.findKey(*header, key)) {
        // The key keeps the spelling the file gave it.
        const Line& line = lines[*existing];
        out.append(text, 0, line.begin).append(entryLine(line.name, value)).append(text, line.end, std::string::npos);
    } else {
        size_t last = *header;
        for (size_t i = *header + 1, end = doc.sectionEnd(*header); i < end; ++i)
            if (lines[i].kind != LineKind::Blank)
                last = i;
        const Line& after = lines[last];
        const std::string_view nl = doc.newline();
        out.append(text, 0, after.end);
        if (after.next > after.end) {
            out.append(text, after.end, after.next - after.end).append(entryLine(key, value)).append(nl);
        } else {
            out.append(nl).append(entryLine(key, value));
        }
        out.append(text, after.next, std::string::npos);
    }
    write(out);
}

void TIniFile::DeleteSection(const std::string& section)
{
    const FileLock lock(m_path);
    bool changed = false;
    std::string out = eraseSections(load(m_path).text(), trim(section), &changed);
    if (changed)
        write(out);
}

void TIniFile::ReplaceSection(const std::string& sectionName,
                              const std::vector<std::pair<std::string, std::string>>& entries)
{
    const std::string_view section = trim(sectionName);
    if (!IsValidSectionName(section))
        throw EIniFileException(Format(IniText::BadSection, {section}));
    // A repeated key keeps its first place and takes its last value, as a second
    // PutEntry would leave it.
    std::vector<std::pair<std::string_view, std::string_view>> unique;
    std::unordered_map<std::string, size_t> seen;
    for (const auto& [rawKey, value] : entries) {
        const std::string_view key = trim(rawKey);
        CheckEntry(section, key, value);
        const auto [it, inserted] = seen.emplace(FoldCase(key), unique.size());
        if (inserted)
            unique.emplace_back(key, value);
        else
            unique[it->second].second = value;
    }

    const FileLock lock(m_path);
    const Document original = load(m_path);
    bool erased = false;
    std::string out = eraseSections(original.text(), section, &erased);
    if (!unique.empty())
        out = appendSection(Document(std::move(out)), section, unique);
    if (out != original.text())
        write(out);
}

void TIniFile::write(const std::string& content) const
{
    if (m_makeFolder)
        makePrivateFolder(ExtractFilePath(m_path));
    try {
        WriteFileAtomically(m_path, content);
    } catch (const EFCreateError&) {
        throw EIniFileException(Format(IniText::WriteError, {m_path}));
    }
}
