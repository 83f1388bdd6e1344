cmake_minimum_required(VERSION 3.25)
# Checks the sources of the system's own modules:
#  - each module includes only its own headers and those of the modules below it
#    (runtime depends on nothing; start-up sits above what it starts);
#  - compiler-specific constructs appear only in #define lines, where each has its
#    twin for the other compilers (the plug-in's sources build with Maya's Windows
#    devkit too).
# Run with -DSOURCE_DIR=<repository root>.
set(layers
  "runtime:runtime"
  "archive:runtime archive"
  "scene:runtime archive scene"
  "facegraph:runtime archive facegraph"
  "startup:runtime archive facegraph startup"
  "exporter:runtime archive scene facegraph startup exporter"
  "plugin:runtime archive scene facegraph startup exporter plugin")

# Which module owns each kv/ header.
set(owners "")
foreach(layer IN LISTS layers)
  string(REGEX REPLACE ":.*" "" module "${layer}")
  file(GLOB headers RELATIVE "${SOURCE_DIR}/${module}/include" "${SOURCE_DIR}/${module}/include/kv/*.h")
  foreach(header IN LISTS headers)
    set(owner_${header} ${module})
  endforeach()
endforeach()

set(problems "")
foreach(layer IN LISTS layers)
  string(REGEX REPLACE ":.*" "" module "${layer}")
  string(REGEX REPLACE ".*:" "" allowed "${layer}")
  string(REPLACE " " ";" allowed "${allowed}")
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${module}/*.h" "${SOURCE_DIR}/${module}/*.cpp")
  foreach(source IN LISTS sources)
    file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
    file(STRINGS "${source}" lines)
    foreach(line IN LISTS lines)
      if(line MATCHES "^#include \"(kv/[A-Za-z]+\\.h)\"")
        set(header "${CMAKE_MATCH_1}")
        set(owner "${owner_${header}}")
        if(owner AND NOT owner IN_LIST allowed)
          list(APPEND problems "${name} includes ${header} of ${owner}/, a module above ${module}/")
        endif()
      endif()
      if(line MATCHES "__attribute__|__declspec|__builtin_|#pragma GCC" AND NOT line MATCHES "^#define ")
        list(APPEND problems "${name}: a compiler-specific construct outside a macro: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "${text}")
endif()
