// Numbers for texts that come again and again (a badge's classes, a row's client and licence):
// each distinct text gets the next number once, so that whoever compares them many times
// compares numbers, and looks a text up once per number instead of once per row.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zibrolt {

class TextNumbers {
 public:
  // The number of text, given on its first appearance.
  std::size_t Number(std::string_view text) { return Number(text, {}); }
  // The number of a value read from the database: its text and its exact form (GetExact).
  // Values get one number exactly when the database holds them alike; two values that only
  // share their Windows-1252 bytes ('?' for different letters) get two.
  std::size_t Number(std::string_view text, std::string_view exact) {
    key_.assign(1, exact.empty() ? '\0' : '\1');
    key_.append(exact.empty() ? text : exact);
    const auto [at, fresh] = numbers_.try_emplace(key_, texts_.size());
    if (fresh) texts_.emplace_back(text);
    return at->second;
  }
  const std::string& Text(std::size_t number) const { return texts_[number]; }

 private:
  std::unordered_map<std::string, std::size_t> numbers_;  // by kind (text or exact) and bytes
  std::vector<std::string> texts_;
  std::string key_;  // the key being asked for, kept to spare an allocation per call
};

}  // namespace zibrolt
