// NamedOutputFile: a file the user named for a program to write, replaced whole or left as it was.
#pragma once

#include <string>
#include <string_view>

#include "Platform.h"

namespace morvex {

// Writes through links to the file they end at and gives the new file the permissions of the one it replaces.
// The content goes to a scratch file beside the target first, so that a failed write never leaves half a file
// behind. A stream the user named (a pipe, a FIFO, a character device) is written into in place instead,
// never created or replaced; a folder, a block device, a socket, a link to nothing and a name Windows keeps
// for a device are refused.
class NamedOutputFile {
 public:
  // Settles where the path leads and that a file may be put there (its folder takes a new file; a stream is
  // opened now, as a shell's redirection would), before work that a refusal would waste. False with the
  // reason, in a few words, in error.
  bool Prepare(std::string_view path, std::string& error);
  // Looks again (the path may have changed since Prepare) and puts the bytes in place. False with the reason;
  // the scratch file is gone then and the target as it was.
  bool Replace(std::string_view bytes, std::string& error);

  // The same in pieces, for content too large to hold: Begin looks again and starts the scratch file, Write
  // adds to it (a failure is kept for Commit), Commit puts it in place. False with the reason; the scratch file
  // is gone then, as it is when the object goes before Commit, and the target is as it was.
  bool Begin(std::string& error);
  void Write(std::string_view bytes);
  bool Commit(std::string& error);

 private:
  bool Check(std::string& error);
  bool CreateScratch(std::string& error);
  bool IsStream() const { return target_.kind == platform::WriteTargetKind::kStream; }

  std::string path_;
  platform::WriteTarget target_;
  platform::NewFile scratch_;
  std::filesystem::path scratchPath_;
  std::error_code writeError_;
};

}  // namespace morvex
