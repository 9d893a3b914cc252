// File-dialog filters as the system writes them, pairs of a description
// and a pattern list each ended by a NUL ("Projet\0*.RPJ\0"), turned into
// the name filters of a Qt file dialog.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tessaran {

// "Projet (*.RPJ)", one entry per pair, entries joined by ";;"; the
// patterns' ";" separators become spaces.
QString QtFilter(std::string_view systemFilter);

// The text of a filter list handed over as a C string: the pairs up to the
// empty string that ends the list, each part with its NUL.
std::string SystemFilterText(const char* filter);

}  // namespace tessaran
