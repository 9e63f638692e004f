# libre as each release series installs it, as one target: qav_libre.
# 1.x and 2.x come with their media library librem beside them; from 3.0 on
# librem is part of libre. Every series installs libre.pc (4.x also a CMake
# package, which carries no version), so pkg-config finds both.
pkg_check_modules(LIBRE REQUIRED libre)
string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.?([0-9]*)" _libre_version "${LIBRE_VERSION}")
# QAV_LIBRE_VERSION is major * 10000 + minor * 100 + patch, for the compat layer.
math(EXPR QAV_LIBRE_VERSION "0${CMAKE_MATCH_1} * 10000 + 0${CMAKE_MATCH_2} * 100 + 0${CMAKE_MATCH_3}")
set(_libre_modules libre)
if(QAV_LIBRE_VERSION GREATER_EQUAL 10000 AND QAV_LIBRE_VERSION LESS 30000)
  # A librem of 3 or later does not exist: such a pairing is an old librem
  # from another prefix and must not reach the link line.
  pkg_check_modules(LIBREM librem)
  if(NOT LIBREM_FOUND)
    message(FATAL_ERROR "libre ${LIBRE_VERSION} found, but no librem: libre 1.x and 2.x need librem 0.x to 2.x beside them")
  elseif(NOT LIBREM_VERSION MATCHES "^[0-2]\\.")
    message(FATAL_ERROR "libre ${LIBRE_VERSION} found with librem ${LIBREM_VERSION}: libre 1.x and 2.x need librem 0.x to 2.x")
  endif()
  list(APPEND _libre_modules librem)
  # 1.x never verifies a TLS server; the compat layer asks OpenSSL itself.
  if(QAV_LIBRE_VERSION LESS 20000)
    list(APPEND _libre_modules libssl)
  endif()
elseif(QAV_LIBRE_VERSION LESS 30000 OR QAV_LIBRE_VERSION GREATER_EQUAL 50000)
  message(FATAL_ERROR "libre ${LIBRE_VERSION} is not supported: qav-cli builds on libre 1.x or 2.x with librem, or libre 3.x or 4.x")
endif()
pkg_check_modules(LIBRE_ALL REQUIRED IMPORTED_TARGET GLOBAL ${_libre_modules})
add_library(qav_libre INTERFACE)
target_link_libraries(qav_libre INTERFACE PkgConfig::LIBRE_ALL)
# The headers are C and not clean under our warnings; an imported target's
# come in as system headers. They define bool and its values as macros unless
# these two macros of their own build are set.
target_compile_definitions(qav_libre INTERFACE HAVE_INTTYPES_H HAVE_STDBOOL_H
  QAV_LIBRE_VERSION=${QAV_LIBRE_VERSION})
message(STATUS "libre ${LIBRE_VERSION} ${LIBREM_VERSION}: ${LIBRE_ALL_LINK_LIBRARIES}")
