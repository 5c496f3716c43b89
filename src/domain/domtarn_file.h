// Writing a whole file in place: the variables file after every evaluation,
// the domain file after every repair pass.
#pragma once

#include <string_view>

// Makes the named file hold exactly `text`. The text is written over the old
// contents and the file is then cut to its length: the file ends as if it had
// been emptied first, but the file system need not give back and take again
// the file's blocks, nor (as ext4 does for a file emptied and written anew)
// send it to the disk when it is closed, which costs more than all the rest
// of the write. A write that fails part way leaves what was written, as a
// truncating write would. False when the file cannot be opened.
bool ReplaceFileContents(const char* name, std::string_view text);
