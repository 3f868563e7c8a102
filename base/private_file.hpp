#pragma once
// The program's own files (the reply log, the replay file it saves, the
// statistics log) and the folder that holds them. Another user must never be
// able to put something in their place: the folder is the user's alone, and
// the files are opened without following links, must be regular files the
// user owns, and are created readable by the user only.
#include <string>
#include <string_view>

#include "base/status.hpp"

namespace zeph {

// Creates `folder` (and its missing parents) mode 0700 when it is missing,
// then checks that it is a folder owned by this user that nobody else may
// write, as ssh and the XDG rules ask of theirs. The failure names the folder
// and the reason.
Status prepare_private_folder(const std::string& folder);

// True, or the reason in `why`, when `folder` is a folder owned by this user
// that no one else may write.
bool is_private_folder(const std::string& folder, std::string* why = nullptr);

// An open descriptor of a program file, or -1 with the reason in `why`
// ("a symbolic link", "not a regular file", "owned by another user", or the
// system's text). `flags` are open(2)'s access flags, with O_CREAT to create
// the file mode 0600. Never follows a link, never waits on a named pipe; the
// descriptor is closed on exec.
int open_private_file(const std::string& path, int flags, std::string& why);

// Replaces `path` with `content` whole: written to a temporary file (0600)
// beside it and renamed over the name itself, so a link planted there is
// replaced, never followed. The old file stays when anything fails.
Status replace_private_file(const std::string& path, std::string_view content);

// Appends `block` whole to `path` under an exclusive lock, so that blocks of
// runs writing at once never interleave; a failed append is cut back to the
// old length.
Status append_private_file(const std::string& path, std::string_view block);

}  // namespace zeph
