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
  std::size_t Number(std::string_view text) {
    key_.assign(text);
    const auto [at, fresh] = numbers_.try_emplace(key_, texts_.size());
    if (fresh) texts_.push_back(key_);
    return at->second;
  }
  const std::string& Text(std::size_t number) const { return texts_[number]; }

 private:
  std::unordered_map<std::string, std::size_t> numbers_;
  std::vector<std::string> texts_;
  std::string key_;  // the text being asked for, kept to spare an allocation per call
};

}  // namespace zibrolt
