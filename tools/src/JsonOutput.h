// Two ends for a JSON document written as a sequence of values: JsonStream prints
// it as it comes, JsonBuilder keeps it as an nlohmann document. Both take the same
// calls, so one writer serves either: BeginObject, then Key and a value for each
// member, then EndObject; BeginArray, values, EndArray. A value is a scalar or a
// whole object or array.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

// Prints the document exactly as nlohmann::ordered_json::dump(2, ' ', false,
// error_handler_t::replace) prints the same document held in memory: two spaces per
// level, "[]" and "{}" when empty, NaN and infinities as null, bytes that are not
// UTF-8 as U+FFFD. Only the open containers are remembered; the text goes to `out`
// in large blocks.
class JsonStream {
 public:
  explicit JsonStream(std::ostream& out);
  // Flushes what is still buffered.
  ~JsonStream();
  JsonStream(const JsonStream&) = delete;
  JsonStream& operator=(const JsonStream&) = delete;

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of the innermost object.
  void Key(std::string_view key);

  void Null();
  void Bool(bool value);
  void Integer(int64_t value);
  void Unsigned(uint64_t value);
  void Double(double value);
  void String(std::string_view text);

  // Hands the buffered text to the stream.
  void Flush();

 private:
  // What goes before a value: the separator and indentation of an array element;
  // nothing after a key or at the top.
  void BeginValue();
  void Close(char bracket);
  void Append(std::string_view text) { buffer_.append(text); }
  void Quoted(std::string_view text);

  std::ostream& out_;
  std::string buffer_;
  // Per open container: whether it holds nothing yet.
  std::vector<bool> empty_;
  bool afterKey_ = false;
};

// Builds the same document in memory, members in the order they come.
class JsonBuilder {
 public:
  // `document` receives the top value.
  explicit JsonBuilder(nlohmann::ordered_json& document) : document_(document) {}

  void BeginObject() { Open(nlohmann::ordered_json::object()); }
  void EndObject() { open_.pop_back(); }
  void BeginArray() { Open(nlohmann::ordered_json::array()); }
  void EndArray() { open_.pop_back(); }
  void Key(std::string_view key) { key_.assign(key); }

  void Null() { Add(nullptr); }
  void Bool(bool value) { Add(value); }
  void Integer(int64_t value) { Add(value); }
  void Unsigned(uint64_t value) { Add(value); }
  void Double(double value) { Add(value); }
  void String(std::string_view text) { Add(std::string(text)); }

 private:
  nlohmann::ordered_json& Add(nlohmann::ordered_json value);
  void Open(nlohmann::ordered_json container) { open_.push_back(&Add(std::move(container))); }

  nlohmann::ordered_json& document_;
  // The open containers, outermost first. Each is the last value added to the one
  // before it, and nothing is added there while it is open, so the pointers hold.
  std::vector<nlohmann::ordered_json*> open_;
  std::string key_;
};
