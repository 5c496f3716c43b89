// Where a file that a script or a domain reads is found. Relative names are
// looked for in the working folder first and then in the input folder (the
// folder of the domain file), so a batch run that works in a folder of its
// own still finds the files that lie beside the domain file. Writes are not
// redirected: they stay relative to the working folder.
#pragma once

#include <string>

// The name to open for reading `name`: unchanged when it is absolute, when
// the input folder is empty, when it exists in the working folder, or when
// it does not exist in the input folder either (so messages about a missing
// file name it as the script did); otherwise the input folder's file.
std::string resolve_read_path(const std::string& name, const std::string& input_folder);
