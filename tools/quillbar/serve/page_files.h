// The page's files, compiled into the program so that `quillbar serve`
// works from any folder and no request path ever reaches the file system.
#pragma once

#include <string>

namespace host::web {

struct PageFile {
  const char* path;  // "/", "/app.js", ...
  const char* content_type;
  const unsigned char* data;
  unsigned long size;
};

// The file served at `path`, or null.
const PageFile* find_page_file(const std::string& path);

}  // namespace host::web
