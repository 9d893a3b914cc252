// The folder of the link's sockets: $XDG_RUNTIME_DIR/tessaran, else
// /tmp/tessaran-<uid>. Made mode 0700 when missing; a folder that is a
// link, not a folder, owned by another user or open to others is refused,
// since anyone who can write there could stand in for a server.
#pragma once

#include <string>
#include <sys/types.h>

namespace tessaran::link {

// The path the folder should have, from the environment.
std::string RuntimeFolderPath();

// Makes the folder when missing and checks it belongs to `owner` alone.
// False with a sentence for the user in *problem.
bool CheckRuntimeFolder(const std::string& folder, uid_t owner, std::string* problem);

// RuntimeFolderPath checked for the running user. Empty (with *problem)
// when it cannot be used.
std::string RuntimeFolder(std::string* problem);

}  // namespace tessaran::link
