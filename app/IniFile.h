#pragma once

#include "framework/core/Exception.h"

#include <string>
#include <utility>
#include <vector>

class TStrings;

CARNELO_EXCEPTION(EIniFileException, Exception);

namespace IniText {
inline constexpr std::string_view WriteError = "Ne peut écrire dans %s";
inline constexpr std::string_view BadSection = "Nom de section incorrect : \"%s\"";
inline constexpr std::string_view BadKey = "Nom de clé incorrect : \"%s\"";
inline constexpr std::string_view BadValue = "Valeur incorrecte pour la clé \"%s\" : caractère de contrôle";
} // namespace IniText

// The contact store: an INI-style text file read and rewritten by each call, with no
// caching between calls. Sections and keys match without regard to letter case.
//
// The file is UTF-8 text handled as bytes: a rewrite changes only the lines it must,
// every other line keeps every byte (line ends, a byte-order mark, invalid UTF-8).
// Every rewrite replaces the file atomically. Reading never fails: a file that cannot
// be read counts as missing. Each change reads, changes and rewrites the file holding a
// lock on its folder, so processes sharing a store never undo each other's changes: of
// two writes to the same key, the later one wins.
class TIniFile {
public:
    // The file is not touched. A relative path is made absolute here.
    explicit TIniFile(std::string path);

    const std::string& FileName() const { return m_path; }
    // When set, a write first makes the file's missing folders, private to the user.
    void SetMakeFolder(bool make) { m_makeFolder = make; }

    // Clears names, then adds the section's key names in file order, trimmed. Only keys
    // that PutEntry accepts are listed, so every listed name can be written back.
    void ReadKeyNames(const std::string& section, TStrings& names) const;
    // The key's value, trimmed and without one pair of enclosing quotes; or fallback.
    std::string GetEntry(const std::string& section, const std::string& key, const std::string& fallback) const;
    // Replaces the key's value in place, or appends the key at the end of its section,
    // or appends the section at the end of the file. Section and key are trimmed first.
    // Raises EIniFileException for a name or value that would not read back as written
    // (nothing is written then) and "Ne peut écrire dans <path>" when the write fails.
    void PutEntry(const std::string& section, const std::string& key, const std::string& value);
    // Removes the section with its entries; a missing file or section changes nothing.
    void DeleteSection(const std::string& section);
    // Leaves exactly what DeleteSection followed by one PutEntry per entry, in order,
    // would leave, in one rewrite: a failure leaves the old file complete, and a result
    // equal to the file writes nothing.
    void ReplaceSection(const std::string& section, const std::vector<std::pair<std::string, std::string>>& entries);

    // Raises the EIniFileException that PutEntry would raise for these, if any.
    static void CheckEntry(std::string_view section, std::string_view key, std::string_view value);
    // Whether PutEntry accepts these (after trimming section and key).
    static bool IsValidSectionName(std::string_view section);
    static bool IsValidKeyName(std::string_view key);
    static bool IsValidValue(std::string_view value);

private:
    void write(const std::string& content) const;

    std::string m_path;
    bool m_makeFolder = false;
};
