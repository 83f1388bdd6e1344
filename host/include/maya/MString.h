#pragma once
// Owned character string of the Maya API.

#include <iosfwd>
#include <string>
#include <maya/MStatus.h>

class MStringArray;

class OPENMAYA_EXPORT MString {
public:
  MString() = default;
  MString(const char* text) : fText(text ? text : "") {}
  MString(const char* text, int length) : fText(text ? std::string(text, static_cast<size_t>(length < 0 ? 0 : length)) : std::string()) {}
  MString(const std::string& text) : fText(text) {}
  MString(const MString&) = default;
  MString(MString&&) noexcept = default;
  MString& operator=(const MString&) = default;
  MString& operator=(MString&&) noexcept = default;
  MString& operator=(const char* text) { fText = text ? text : ""; return *this; }
  ~MString() = default;

  const char* asChar() const { return fText.c_str(); }
  const char* asUTF8() const { return fText.c_str(); }
  unsigned int length() const { return static_cast<unsigned int>(fText.size()); }
  unsigned int numChars() const { return length(); }
  bool operator==(const MString& other) const { return fText == other.fText; }
  bool operator==(const char* other) const { return other && fText == other; }
  bool operator!=(const MString& other) const { return fText != other.fText; }
  bool operator!=(const char* other) const { return !(*this == other); }
  bool operator<(const MString& other) const { return fText < other.fText; }

  MString& operator+=(const MString& other) { fText += other.fText; return *this; }
  MString& operator+=(const char* other) { if (other) fText += other; return *this; }
  MString& operator+=(char c) { fText += c; return *this; }
  // Numbers are appended as set(double) formats them.
  MString& operator+=(double value);
  MString& operator+=(float value) { return *this += static_cast<double>(value); }
  MString& operator+=(int value);
  MString& operator+=(unsigned int value);
  MString operator+(const MString& other) const { MString r(*this); r += other; return r; }
  MString operator+(const char* other) const { MString r(*this); r += other; return r; }
  MString operator+(double value) const { MString r(*this); r += value; return r; }
  MString operator+(int value) const { MString r(*this); r += value; return r; }

  // Formats the number with the given count of significant digits ("%.*g").
  MString& set(double value, int precision = 14);
  MString& set(const char* text) { fText = text ? text : ""; return *this; }

  MStatus split(char delimiter, MStringArray& parts) const;
  MString toLowerCase() const;
  MString toUpperCase() const;
  bool isInt() const;
  bool isDouble() const;
  int asInt() const;
  double asDouble() const;
  float asFloat() const { return static_cast<float>(asDouble()); }
  void clear() { fText.clear(); }

  const std::string& str() const { return fText; }

private:
  std::string fText;
};

inline MString operator+(const char* left, const MString& right) { return MString(left) + right; }
inline bool operator==(const char* left, const MString& right) { return right == left; }
inline bool operator!=(const char* left, const MString& right) { return right != left; }
OPENMAYA_EXPORT std::ostream& operator<<(std::ostream& os, const MString& text);
