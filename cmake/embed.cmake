# cmake -DOUT=assets.cpp -DFILES=a.html,b.css,c.js -P embed.cmake
#
# Writes a C++ source holding each file's bytes as an array, found by the
# file's name (PageAsset in kvlist/assets.h). CMake runs it on the build machine
# whatever the target, so a cross build needs no helper program of its own.
# A script or style that would end its element early, or open a comment in
# it, would break the page around it: refused here, before it is built in.
string(REPLACE "," ";" FILES "${FILES}")
set(arrays "")
set(table "")
set(count 0)
foreach(path IN LISTS FILES)
  get_filename_component(name "${path}" NAME)
  if(name MATCHES "\\.(js|css)$")
    file(READ "${path}" text)
    string(TOLOWER "${text}" text)
    if(text MATCHES "</script|</style|<!--")
      message(FATAL_ERROR "${path} holds </script, </style or <!--, which would break the page")
    endif()
  endif()
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){20})" "\\1\n" bytes "${bytes}")
  # The 0 at the end gives an empty file an array too; size leaves it out.
  string(APPEND arrays "const unsigned char file${count}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${name}\", file${count}, ${size}},\n")
  math(EXPR count "${count} + 1")
endforeach()
file(WRITE "${OUT}" "// Made by cmake/embed.cmake from the files named below: edit those.
#include \"assets.h\"

namespace {
${arrays}} // namespace

const PageAsset pageAssets[] = {
${table}};
const size_t pageAssetCount = ${count};
")
