#include "ui/file_filter.h"

#include <QStringList>
#include <cstring>

#include "ui/dialog_texts.h"

namespace tessaran {

QString QtFilter(std::string_view systemFilter) {
  QStringList entries;
  std::size_t at = 0;
  while (at < systemFilter.size()) {
    const std::size_t nameEnd = systemFilter.find('\0', at);
    if (nameEnd == std::string_view::npos) break;
    const std::size_t patternEnd = systemFilter.find('\0', nameEnd + 1);
    const std::string_view name = systemFilter.substr(at, nameEnd - at);
    const std::string_view pattern = systemFilter.substr(
        nameEnd + 1, (patternEnd == std::string_view::npos ? systemFilter.size() : patternEnd) - nameEnd - 1);
    if (name.empty()) break;
    entries << Utf8(name) + " (" + Utf8(pattern).replace(';', ' ') + ")";
    if (patternEnd == std::string_view::npos) break;
    at = patternEnd + 1;
  }
  return entries.join(";;");
}

std::string SystemFilterText(const char* filter) {
  std::string text;
  if (!filter) return text;
  // Description and pattern alternate; an empty description ends the list.
  for (const char* part = filter; *part;) {
    const std::size_t nameLength = std::strlen(part);
    text.append(part, nameLength + 1);
    part += nameLength + 1;
    const std::size_t patternLength = std::strlen(part);
    text.append(part, patternLength + 1);
    if (patternLength == 0) break;
    part += patternLength + 1;
  }
  return text;
}

}  // namespace tessaran
