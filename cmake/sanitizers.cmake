# QAV_SANITIZE: the whole build, test programs included, under AddressSanitizer
# with UndefinedBehaviorSanitizer ("address") or ThreadSanitizer ("thread").
# Every report ends the process with status 66 and is also written to
# ${CMAKE_BINARY_DIR}/sanitizer-reports/, where scripts/test looks for it.
set(QAV_SANITIZE "" CACHE STRING "Sanitizer for the whole build: address or thread")
set_property(CACHE QAV_SANITIZE PROPERTY STRINGS "" address thread)

set(QAV_SANITIZER_REPORTS ${CMAKE_BINARY_DIR}/sanitizer-reports)
set(qav_sanitizer_dir ${PROJECT_SOURCE_DIR}/tests/sanitizer)

if(QAV_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  set(qav_sanitizer_define QAV_SANITIZE_ADDRESS)
elseif(QAV_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  set(qav_sanitizer_define QAV_SANITIZE_THREAD)
elseif(NOT QAV_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QAV_SANITIZE must be empty, address or thread, not '${QAV_SANITIZE}'")
endif()

if(qav_sanitizer_define)
  file(MAKE_DIRECTORY ${QAV_SANITIZER_REPORTS})
  add_library(qav_sanitizer_defaults OBJECT ${qav_sanitizer_dir}/default_options.cpp)
  target_compile_definitions(qav_sanitizer_defaults PRIVATE
    ${qav_sanitizer_define}
    QAV_SANITIZER_LOG="${QAV_SANITIZER_REPORTS}/report"
    QAV_LSAN_SUPPRESSIONS="${qav_sanitizer_dir}/lsan.supp"
    QAV_TSAN_SUPPRESSIONS="${qav_sanitizer_dir}/tsan.supp")
  target_compile_options(qav_sanitizer_defaults PRIVATE ${QAV_WARNING_OPTIONS})
endif()

# Gives every executable defined under dir (and its subdirectories) the
# compiled-in defaults; called once all targets exist.
function(qav_sanitizer_defaults_under dir)
  if(NOT TARGET qav_sanitizer_defaults)
    return()
  endif()
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      # The property, not target_link_libraries: the targets' own calls mix
      # plain and keyword signatures.
      set_property(TARGET ${target} APPEND PROPERTY LINK_LIBRARIES qav_sanitizer_defaults)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    qav_sanitizer_defaults_under(${subdir})
  endforeach()
endfunction()
