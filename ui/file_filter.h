// The filter of a Qt file dialog from a system filter text, as the message
// libraries hold them once formatted ("Projet\0*.RPJ\0"): "Projet (*.RPJ)",
// one entry per name and pattern pair.
#pragma once

#include <QString>
#include <string>

namespace tessaran {

QString QtFilter(const std::string& systemFilter);

}  // namespace tessaran
