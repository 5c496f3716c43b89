// Writing a whole file in place: the variables file after every evaluation,
// the domain file after every repair pass.
#pragma once

#include <string>
#include <string_view>

// Makes the named file hold exactly `text`. The text is written over the old
// contents and the file is then cut to its length: the file ends as if it had
// been emptied first, but the file system need not give back and take again
// the file's blocks, nor (as ext4 does for a file emptied and written anew)
// send it to the disk when it is closed, which costs more than all the rest
// of the write. The room for a longer text is taken first: a disk without it
// leaves the old contents whole. False when the file cannot be opened.
bool ReplaceFileContents(const char* name, std::string_view text);

// A file made to hold a new text again and again, as the variables file is
// after every evaluation. It is written like ReplaceFileContents writes, but
// its descriptor stays open from one write to the next: opening and closing
// cost more than writing a small file. Before each write the open file is
// checked; when the name no longer leads to it (the file was removed or
// renamed, or another file took the name) or another name is to be written,
// the name is opened anew. So after every write the file of that name holds
// the text, and a file the user renamed keeps what it held.
class CRewrittenFile {
 public:
  CRewrittenFile() = default;
  CRewrittenFile(const CRewrittenFile&) = delete;
  CRewrittenFile& operator=(const CRewrittenFile&) = delete;
  ~CRewrittenFile() { Close(); }

  // False when the file cannot be opened.
  bool Replace(const std::string& name, std::string_view text);

 private:
  // The open file's size when it still has a name, else nothing.
  bool Open(const std::string& name, long long& size);
  void Close();

  int fd = -1;
  std::string sName;  // the name `fd` was opened by
  // The identity of the open file, to tell whether the name still leads to it.
  unsigned long long device = 0;
  unsigned long long inode = 0;
};
