# cmake -DMANIFEST=assets.txt -DOUTPUT=web_assets_data.cpp -P embed_assets.cmake
#
# Writes a C++ source that holds every file the manifest names, as bytes, with its URL path
# and Content-Type: the service then serves the page without reading a file at run time.
file(STRINGS "${MANIFEST}" lines ENCODING UTF-8)
get_filename_component(folder "${MANIFEST}" DIRECTORY)

set(arrays "")
set(entries "")
set(index 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  if(NOT line MATCHES "^([^\t]+)\t([^\t]+)\t([^\t]+)$")
    message(FATAL_ERROR "${MANIFEST}: not PATH<tab>FILE<tab>TYPE: ${line}")
  endif()
  set(url "${CMAKE_MATCH_1}")
  set(path "${folder}/${CMAKE_MATCH_2}")
  set(type "${CMAKE_MATCH_3}")
  file(SIZE "${path}" size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${path}: empty")
  endif()
  file(READ "${path}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # 16 bytes a line keeps the generated file readable in an editor (CMake's expressions
  # have no counted repetition).
  string(REPEAT "0x..," 16 sixteen)
  string(REGEX REPLACE "(${sixteen})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char kFile${index}[${size}] = {\n${bytes}\n};\n")
  string(APPEND entries
    "        {\"${url}\", {reinterpret_cast<const char*>(kFile${index}), ${size}}, \"${type}\"},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp"
"// Generated from src/service/web/assets.txt and the files it names; edit those.
#include \"service/web/web_assets.h\"

namespace numtrail::web {
namespace {

${arrays}
}  // namespace

std::span<const WebAssetFile> WebAssets() {
    static const WebAssetFile files[] = {
${entries}    };
    return files;
}

}  // namespace numtrail::web
")
# Only a changed file is replaced, so that an unchanged page does not rebuild the service.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
