# Warning, sanitizer and fuzzing flags shared by every target, and the helper that
# declares a core layer library.

add_compile_options(-Wall -Wextra)
if(NOLVO_WERROR)
  add_compile_options(-Werror)
endif()

if(NOLVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(NOLVO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "NOLVO_FUZZ needs clang (CXX=clang++)")
  endif()
  # Every library is instrumented for coverage; only fuzz targets link the fuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# nolvo_layer(<target> SOURCES ... [DEPS ...]) declares one core layer library and
# registers it in the nolvo_core aggregate.
function(nolvo_layer target)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT L_SOURCES)
    message(FATAL_ERROR "${target}: the layer has no sources")
  endif()
  add_library(${target} STATIC ${L_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${L_DEPS})
  set_property(GLOBAL APPEND PROPERTY NOLVO_CORE_TARGETS ${target})
endfunction()
