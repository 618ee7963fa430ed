# Helpers shared by every folder's CMakeLists.

find_package(GTest REQUIRED)

# tunevale_add_test(NAME sources... LIBS libs... [QT] [LABELS labels...] [TIMEOUT s])
# LABELS audio-device marks a test that uses the real sound server.
# One GoogleTest binary per area, registered in CTest as one test so the
# suite's parallelism is per binary. QT gives the binary a QApplication
# (offscreen) before the tests run.
function(tunevale_add_test name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  if(T_QT)
    target_link_libraries(${name} PRIVATE tunevale_test_main_qt)
  else()
    target_link_libraries(${name} PRIVATE tunevale_test_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;TUNEVALE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  if(TUNEVALE_SANITIZE)
    # Leaks of the system's own libraries (the session bus under a real X
    # display) are theirs, not ours.
    list(APPEND env "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/support/lsan.supp")
    # Work handed to threads and queued calls can outlive the frame that
    # made it: a capture by reference of a local is caught only when freed
    # frames stay poisoned. Globals built from other files' globals before
    # those exist are caught at start.
    list(APPEND env "ASAN_OPTIONS=detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1")
    list(APPEND env "UBSAN_OPTIONS=print_stacktrace=1")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}" LABELS "${T_LABELS}")
  # Tests that play into or record from the one null sink would hear each
  # other when run side by side, so they take turns.
  if("audio-device" IN_LIST T_LABELS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK sound_server)
  endif()
endfunction()

# tunevale_add_fuzzer(NAME sources... LIBS libs...)
function(tunevale_add_fuzzer name)
  cmake_parse_arguments(F "" "" "LIBS" ${ARGN})
  add_executable(${name} ${F_UNPARSED_ARGUMENTS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  # `make fuzz` builds only what the fuzzers need.
  if(NOT TARGET fuzzers)
    add_custom_target(fuzzers)
  endif()
  add_dependencies(fuzzers ${name})
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt, so
# that a new area needs no edit of a shared file.
function(tunevale_add_subfolders)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(NOT child STREQUAL "support" AND IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
