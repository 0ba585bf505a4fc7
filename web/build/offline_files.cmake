# Lists the files of the assembled site, each with its SHA-256 digest, in
# offline_files.js, which the service worker reads: it keeps exactly these
# files, checked against their digests, in a cache named for the version,
# a digest of them all (the service worker's own script included, though it
# is not kept: the browser keeps it). Run by the site's build:
#   cmake -DSITE=<site folder> -P offline_files.cmake
cmake_minimum_required(VERSION 3.25)

file(GLOB_RECURSE names RELATIVE ${SITE} ${SITE}/*)
list(SORT names)
set(entries "")
set(everything "")
foreach(name IN LISTS names)
  if(name STREQUAL "offline_files.js" OR name MATCHES "(^|/)\\.")
    continue()
  endif()
  file(SHA256 ${SITE}/${name} digest)
  string(APPEND everything "${name} ${digest}\n")
  if(NOT name STREQUAL "service_worker.js")
    string(APPEND entries "    '${name}': '${digest}',\n")
  endif()
endforeach()
string(SHA256 version "${everything}")
string(SUBSTRING ${version} 0 16 version)
file(WRITE ${SITE}/offline_files.js
  "// Written by the build (offline_files.cmake): the site's version and its files\n"
  "// with their SHA-256 digests, for the service worker.\n"
  "self.site = {\n"
  "  version: '${version}',\n"
  "  files: {\n"
  "${entries}"
  "  },\n"
  "};\n")
