# libjpeg, the one dependency, as the target tarvik_jpeg. Natively: Debian's
# libjpeg62-turbo-dev. Windows builds: the static libjpeg-turbo that scripts/libjpeg.sh
# builds from Debian's source package of the same version, once per target, into
# build/deps/<triple> (kept when a build folder is removed).
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(tarvik_jpeg_triple i686-w64-mingw32)
  else()
    set(tarvik_jpeg_triple x86_64-w64-mingw32)
  endif()
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/libjpeg.sh ${tarvik_jpeg_triple}
    OUTPUT_VARIABLE tarvik_jpeg_prefix OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE tarvik_jpeg_result)
  if(NOT tarvik_jpeg_result EQUAL 0 OR NOT EXISTS "${tarvik_jpeg_prefix}/lib/libjpeg.a")
    message(FATAL_ERROR "libjpeg-turbo for ${tarvik_jpeg_triple} could not be built (scripts/libjpeg.sh)")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/libjpeg.sh)
  add_library(tarvik_jpeg STATIC IMPORTED GLOBAL)
  set_target_properties(tarvik_jpeg PROPERTIES
    IMPORTED_LOCATION "${tarvik_jpeg_prefix}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${tarvik_jpeg_prefix}/include")
else()
  find_package(JPEG REQUIRED)
  add_library(tarvik_jpeg INTERFACE)
  target_link_libraries(tarvik_jpeg INTERFACE JPEG::JPEG)
endif()
