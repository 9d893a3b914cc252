#include "ui/file_filter.h"

#include <QStringList>

#include "ui/dialog_texts.h"

namespace tessaran {

QString QtFilter(const std::string& systemFilter) {
  QStringList entries;
  std::size_t at = 0;
  while (at < systemFilter.size()) {
    const std::size_t nameEnd = systemFilter.find('\0', at);
    if (nameEnd == std::string::npos) break;
    const std::size_t patternEnd = systemFilter.find('\0', nameEnd + 1);
    const std::string name = systemFilter.substr(at, nameEnd - at);
    const std::string pattern =
        systemFilter.substr(nameEnd + 1, (patternEnd == std::string::npos ? systemFilter.size() : patternEnd) - nameEnd - 1);
    if (name.empty()) break;
    entries << Utf8(name) + " (" + Utf8(pattern).replace(';', ' ') + ")";
    if (patternEnd == std::string::npos) break;
    at = patternEnd + 1;
  }
  return entries.join(";;");
}

}  // namespace tessaran
