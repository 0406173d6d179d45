#pragma once
// Settings file in the Windows private-profile format, with that format's
// behaviour: sections and keys compared without regard to ASCII case, values
// trimmed and a pair of enclosing quotes removed, every write read-modify-
// written through at once (here to a temporary file renamed over the old one),
// CR LF line ends, a null value deleting its key. A missing file reads as
// empty and is created by the first write.
#include <string>

class IniFile {
public:
  explicit IniFile(std::string path = {}) : m_path(std::move(path)) {}

  const std::string& Path() const { return m_path; }
  void SetPath(std::string path) { m_path = std::move(path); }

  // The stored text, or def (trailing blanks removed) when the key is absent.
  std::string GetString(const std::string& section, const std::string& key, const std::string& def = {}) const;
  // The stored integer: def when the key is absent or empty, 0 when the text
  // is not a number; a leading sign and the leading digits are read.
  int GetInt(const std::string& section, const std::string& key, int def) const;

  // Writes key=value into section (created when missing). value == nullptr
  // deletes the key; key == nullptr deletes the whole section. Writers in
  // other processes take turns (an advisory lock on the file). False when the
  // file cannot be read or replaced; *error then holds a one-line reason in
  // Japanese when given.
  bool WriteString(const std::string& section, const char* key, const char* value, std::string* error = nullptr);
  bool WriteInt(const std::string& section, const std::string& key, int value, std::string* error = nullptr);

private:
  std::string m_path;
};
