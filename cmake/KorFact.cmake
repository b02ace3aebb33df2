# The UI component library KorFact.dll: its platform-free part (layout model, markup, colours,
# geometry, line breaking) builds natively with its tests; the Win32 part makes the DLL.
file(GLOB KORFACT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/korfact/*.cpp)
set(KORFACT_CORE_SOURCES ${KORFACT_SOURCES})
list(FILTER KORFACT_CORE_SOURCES EXCLUDE REGEX "_win\\.cpp$")
set(KORFACT_WIN_SOURCES ${KORFACT_SOURCES})
list(FILTER KORFACT_WIN_SOURCES INCLUDE REGEX "_win\\.cpp$")

add_library(korfact_core STATIC ${KORFACT_CORE_SOURCES})
target_include_directories(korfact_core PUBLIC ${CMAKE_SOURCE_DIR})

if(WIN32)
  target_include_directories(korfact_core SYSTEM PUBLIC ${VXM_DEPS}/cross-include)
  # The parameter bag handed to OnEvent is the framework's own.
  add_library(KorFact SHARED ${KORFACT_WIN_SOURCES} ${CMAKE_SOURCE_DIR}/framework/variable_param.cpp
              ${CMAKE_SOURCE_DIR}/common/fault_report_win.cpp
              ${CMAKE_SOURCE_DIR}/resources/korfact.rc)
  set_target_properties(KorFact PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
  target_include_directories(KorFact PRIVATE ${CMAKE_SOURCE_DIR}/resources
                                             ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(KorFact PRIVATE korfact_core user32 gdi32 comctl32)
  add_dependencies(KorFact vxm_program_version)
  # Shipped without symbols; a release splits them off into its symbols zip instead.
  if(NOT VXM_RELEASE)
    target_link_options(KorFact PRIVATE -s)
  endif()
  # The layout and Kordo.ini lie beside the programs in bin/ as they do in dist/.
  add_custom_command(TARGET KorFact POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/korfact/Main.vxm
              ${CMAKE_SOURCE_DIR}/korfact/Kordo.ini ${CMAKE_BINARY_DIR}/bin/)

  if(VXM_TESTS)
    file(GLOB KORFACT_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/korfact_win/*.cpp)
    # With the helpers that run a copy of a test program as a child under a debugger.
    add_executable(korfact_win_tests ${KORFACT_WIN_TEST_SOURCES}
        ${CMAKE_SOURCE_DIR}/tests/win/framework_child_run.cpp
        ${CMAKE_SOURCE_DIR}/tests/win/framework_scratch_folder.cpp)
    target_link_libraries(korfact_win_tests PRIVATE vxmwin korfact_core gtest_main)
    target_compile_definitions(korfact_win_tests PRIVATE ${VXM_TEST_DEFINITIONS})
    add_dependencies(korfact_win_tests KorFact)
    add_test(NAME korfact_win_tests COMMAND korfact_win_tests)
  endif()

  # The screenshot and start-up tools drive the library through the program's loader.
  foreach(tool korfact_shots korfact_bench)
    target_link_libraries(${tool} PRIVATE vxmwin)
    add_dependencies(${tool} KorFact)
  endforeach()
else()
  target_link_libraries(korfact_core PUBLIC Boost::boost)
  target_compile_options(korfact_core PUBLIC ${VXM_SANITIZE_FLAGS})
  target_link_options(korfact_core PUBLIC ${VXM_SANITIZE_FLAGS})
  if(VXM_TESTS)
    file(GLOB KORFACT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/korfact/*.cpp)
    add_executable(korfact_tests ${KORFACT_TEST_SOURCES})
    target_link_libraries(korfact_tests PRIVATE korfact_core gtest_main)
    target_compile_definitions(korfact_tests PRIVATE VXM_KORFACT_DIR="${CMAKE_SOURCE_DIR}/korfact")
    add_test(NAME korfact_tests COMMAND korfact_tests)
  endif()
endif()
