#include "link/execute_text.h"

#include <algorithm>
#include <cctype>

namespace tessaran::link {
namespace {

// The next blank-free word from `at`, blanks before it skipped.
std::string Word(const std::string& text, std::size_t& at) {
  auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (at < text.size() && blank(text[at])) ++at;
  const std::size_t start = at;
  while (at < text.size() && !blank(text[at])) ++at;
  return text.substr(start, at - start);
}

}  // namespace

void ExecuteText::Split(const std::vector<std::uint8_t>& data, std::string& command, std::string& argument) {
  const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
  const std::string text(data.begin(), end);
  std::size_t at = 0;
  command = Word(text, at);
  std::string word = Word(text, at);
  if (!word.empty()) previousArgument_ = std::move(word);
  argument = previousArgument_;
}

std::vector<std::uint8_t> ExecuteData(const std::string& command, const std::string& argument) {
  const std::string text = command + " " + argument;
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

}  // namespace tessaran::link
