#pragma once
#include <string>
#include <vector>

// Ini files with the semantics of the Windows profile functions: section and key names match
// case-insensitively, the first match wins, values are trimmed and lose one pair of surrounding
// quotes, CRLF files read, ';' starts a comment line, values are cut at 1023 characters.
// Paths are system strings (see native_path).
namespace platform {

constexpr std::size_t kIniValueMax = 1023;

// A repeated section is not read: its first occurrence is the section. Lines without '=' are
// not keys. A value present but empty is "" (not the fallback).

// The value of the key, or `fallback` when the file, section or key is missing. As with the
// Windows function, the fallback comes back without trailing blanks and cut at kIniValueMax.
std::string ini_get_string(const std::string& section, const std::string& key, const std::string& fallback,
                           const std::string& path);

// Key names of the section in file order (first occurrence of each name); empty when missing.
std::vector<std::string> ini_get_section_keys(const std::string& section, const std::string& path);

// Writes one key, keeping every other byte of the file: an existing key's line gets the new
// value (its name and spacing stay), a new key goes after the last non-blank line of the first
// matching section, a new section goes at the end of the file; new lines follow the file's CRLF
// or LF style. Creates the file (not its folder) when missing. The file is replaced through a
// temporary file, so a failed write leaves the old one. A value is cut at its first line break;
// names that could not be read back (empty key, key with '=' or starting with ';' or '[',
// section with ']', line breaks) are refused. False when nothing was written.
[[nodiscard]] bool ini_set_string(const std::string& section, const std::string& key, const std::string& value,
                                  const std::string& path);

struct IniEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Writes several keys as ini_set_string would one after the other, but reads the file once and
// replaces it once: the result is every write or, when any name is refused or the file cannot
// be written, none.
[[nodiscard]] bool ini_set_strings(const std::vector<IniEntry>& entries, const std::string& path);

}  // namespace platform
