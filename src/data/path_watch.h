// Telling that a database path still leads to the file seen last, without looking at the
// file on every open.
//
// A file at a path can only be replaced (renamed over, deleted and made anew, its folder or
// a folder above renamed away) by a change to a directory on the way to it. One inotify
// instance per process watches those directories for every path armed here; as long as no
// such change has come in since a path was armed, the file there is the one a look taken
// after arming saw. Paths the watch cannot vouch for (relative, through a symbolic link, on
// a file system whose changes may come from another machine, past the watch's bounds) get
// no token and keep being looked at on every open.
#pragma once

#include <cstdint>
#include <string>

namespace ksmain::data::path_watch {

// Watches the directories on the way to `path` (absolute and canonical) and returns a
// token, or 0 when the path cannot be watched. Call it before the look at the file whose
// answer is kept: a replacement after that look then always shows in Unchanged.
std::uint64_t Arm(const std::string& path);

// True when no directory change that could replace an armed path's file has happened
// since `token` was handed out; false for token 0 and whenever in doubt. Costs one system
// call when nothing has changed.
bool Unchanged(std::uint64_t token);

}  // namespace ksmain::data::path_watch
