# Sanitizer builds (scripts/sanitize): MORVANE_SANITIZE=thread builds with
# ThreadSanitizer, =address with AddressSanitizer and UBSan, every finding
# fatal. Included after every target is defined: it instruments them all
# but the worker, which loads LibreOffice in-process and so is linked
# against an uninstrumented copy of the core, built from the same sources.

if(MORVANE_SANITIZE STREQUAL "thread")
  set(morvane_sanitizer_flags -fsanitize=thread)
elseif(MORVANE_SANITIZE STREQUAL "address")
  set(morvane_sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(MORVANE_SANITIZE)
  message(FATAL_ERROR "MORVANE_SANITIZE is thread, address or empty, not '${MORVANE_SANITIZE}'")
else()
  return()
endif()
message(STATUS "Sanitizer build: ${morvane_sanitizer_flags}")

# The core once more, as the normal build compiles it, for the worker.
get_target_property(morvane_core_sources morvane_core SOURCES)
add_library(morvane_core_unsanitized STATIC EXCLUDE_FROM_ALL ${morvane_core_sources})
set_property(TARGET morvane_core_unsanitized PROPERTY AUTOMOC OFF)
foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES COMPILE_DEFINITIONS
                 LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
  get_target_property(value morvane_core ${property})
  if(value)
    set_property(TARGET morvane_core_unsanitized PROPERTY ${property} "${value}")
  endif()
endforeach()
set_property(TARGET morvane-office PROPERTY LINK_LIBRARIES morvane_core_unsanitized ${CMAKE_DL_LIBS})

get_property(morvane_targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
foreach(target IN LISTS morvane_targets)
  get_target_property(type ${target} TYPE)
  if(target STREQUAL "morvane-office" OR target STREQUAL "morvane_core_unsanitized"
     OR NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY)$")
    continue()
  endif()
  target_compile_options(${target} PRIVATE ${morvane_sanitizer_flags} -fno-omit-frame-pointer)
  target_link_options(${target} PRIVATE ${morvane_sanitizer_flags})
endforeach()
