#include "JsonOutput.h"

#include <charconv>
#include <cmath>
#include <ostream>

namespace {

// The text is handed on in blocks of about this size.
constexpr size_t kBlockBytes = size_t{1} << 20;

// Texts that print as they are between quotes.
bool Plain(std::string_view text) {
  for (const char c : text) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
  }
  return true;
}

}  // namespace

JsonStream::JsonStream(std::ostream& out) : out_(out) { buffer_.reserve(kBlockBytes + 4096); }

JsonStream::~JsonStream() { Flush(); }

void JsonStream::Flush() {
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

void JsonStream::BeginValue() {
  if (afterKey_ || empty_.empty()) {
    afterKey_ = false;
    return;
  }
  Append(empty_.back() ? "\n" : ",\n");
  empty_.back() = false;
  buffer_.append(2 * empty_.size(), ' ');
  if (buffer_.size() >= kBlockBytes) Flush();
}

void JsonStream::Key(std::string_view key) {
  BeginValue();
  Quoted(key);
  Append(": ");
  afterKey_ = true;
}

void JsonStream::BeginObject() {
  BeginValue();
  buffer_ += '{';
  empty_.push_back(true);
}

void JsonStream::BeginArray() {
  BeginValue();
  buffer_ += '[';
  empty_.push_back(true);
}

void JsonStream::EndObject() { Close('}'); }
void JsonStream::EndArray() { Close(']'); }

void JsonStream::Close(char bracket) {
  const bool wasEmpty = empty_.back();
  empty_.pop_back();
  if (!wasEmpty) {
    buffer_ += '\n';
    buffer_.append(2 * empty_.size(), ' ');
  }
  buffer_ += bracket;
}

void JsonStream::Null() {
  BeginValue();
  Append("null");
}

void JsonStream::Bool(bool value) {
  BeginValue();
  Append(value ? "true" : "false");
}

void JsonStream::Integer(int64_t value) {
  BeginValue();
  char text[24];
  Append(std::string_view(text, static_cast<size_t>(std::to_chars(text, text + sizeof text, value).ptr - text)));
}

void JsonStream::Unsigned(uint64_t value) {
  BeginValue();
  char text[24];
  Append(std::string_view(text, static_cast<size_t>(std::to_chars(text, text + sizeof text, value).ptr - text)));
}

void JsonStream::Double(double value) {
  BeginValue();
  if (!std::isfinite(value)) {
    Append("null");
    return;
  }
  // The library's own formatting (shortest round trip, at least one decimal), so
  // that a number prints here as it does from a document in memory.
  char text[64];
  const char* end = nlohmann::detail::to_chars(text, text + sizeof text, value);
  Append(std::string_view(text, static_cast<size_t>(end - text)));
}

void JsonStream::String(std::string_view text) {
  BeginValue();
  Quoted(text);
}

void JsonStream::Quoted(std::string_view text) {
  if (Plain(text)) {
    buffer_ += '"';
    Append(text);
    buffer_ += '"';
    return;
  }
  // Escapes and bytes that are not UTF-8, as the library handles them.
  Append(nlohmann::ordered_json(std::string(text)).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

nlohmann::ordered_json& JsonBuilder::Add(nlohmann::ordered_json value) {
  if (open_.empty()) {
    document_ = std::move(value);
    return document_;
  }
  nlohmann::ordered_json& container = *open_.back();
  if (container.is_array()) {
    container.push_back(std::move(value));
    return container.back();
  }
  // A key given twice keeps its first place and takes the later value.
  nlohmann::ordered_json& member = container[key_];
  member = std::move(value);
  return member;
}
