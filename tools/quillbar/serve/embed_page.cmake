# Writes a C++ source holding the page's files as byte arrays, run at build
# time: cmake -DOUT=file.cpp -DDIR=page -DFILES=index.html,app.js -P embed_page.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(body "")
set(table "")
set(index 0)
foreach(name ${FILES})
  file(READ ${DIR}/${name} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  file(SIZE ${DIR}/${name} size)
  string(APPEND body "const unsigned char file${index}[] = {${bytes}0};\n")
  if(name MATCHES "\\.html$")
    set(type "text/html; charset=utf-8")
  elseif(name MATCHES "\\.js$")
    set(type "text/javascript; charset=utf-8")
  elseif(name MATCHES "\\.css$")
    set(type "text/css; charset=utf-8")
  else()
    set(type "image/svg+xml")
  endif()
  set(url "/${name}")
  if(name STREQUAL "index.html")
    set(url "/")
  endif()
  string(APPEND table "    {\"${url}\", \"${type}\", file${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUT}.tmp "// Generated from tools/quillbar/serve/page by embed_page.cmake.
#include \"page_files.h\"

namespace host::web {
namespace {
${body}
const PageFile FILES[] = {
${table}};
}  // namespace

const PageFile* find_page_file(const std::string& path) {
  for (const PageFile& f : FILES)
    if (path == f.path) return &f;
  return nullptr;
}

}  // namespace host::web
")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
