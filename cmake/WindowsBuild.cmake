# Cross build: VxmCheck.exe, its libraries and the tests that run under Wine.
enable_language(RC ASM)
set(VXM_DEPS ${CMAKE_SOURCE_DIR}/.deps)
# SSE arithmetic keeps 32-bit float results equal to the native build's.
add_compile_options(-msse2 -mfpmath=sse)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
# Sections aligned to pages in the file as in memory: Wine then maps them instead of reading a
# copy, about 1.5 ms of every start of the program.
# No link time in the headers (two builds of one tree are then byte for byte the same).
add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--file-alignment,0x1000
                 -Wl,--no-insert-timestamp)
# A release carries debug data, split off into its symbols, and no path of the machine that built
# it: source and build paths are written relative to the tree. Line tables and function names
# (-g1) read a crash's stack; full debug data would cost half as much compile time again.
if(VXM_RELEASE)
  add_compile_options(-g1 -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
endif()
# The version resources' texts are UTF-8.
string(APPEND CMAKE_RC_FLAGS " -c 65001")
# The program, its libraries and the test programs all land in bin/, so the program finds
# what lies beside it there as it does in dist/.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(VXM_PRODUCT_DIR ${CMAKE_SOURCE_DIR}/dist CACHE PATH
    "Folder with the laid-out product that the end-to-end tests drive")

file(GLOB PO_SOURCES ${VXM_DEPS}/boost-program-options/libs/program_options/src/*.cpp)
if(NOT PO_SOURCES)
  message(FATAL_ERROR "Boost.ProgramOptions sources missing: run scripts/setup")
endif()
# Paths handed to tests run under Wine: the Unix root is drive Z:.
function(vxm_wine_path out path)
  string(REPLACE "/" "\\\\" win "${path}")
  set(${out} "Z:${win}" PARENT_SCOPE)
endfunction()
vxm_wine_path(win_resources ${CMAKE_SOURCE_DIR}/resources)
vxm_wine_path(win_tests_dir ${CMAKE_SOURCE_DIR}/tests)
vxm_wine_path(win_tools ${CMAKE_SOURCE_DIR}/tools)
vxm_wine_path(win_dist ${VXM_PRODUCT_DIR})
vxm_wine_path(win_build ${CMAKE_BINARY_DIR})
# scripts/build lays out a second build of the program beside the product, one that reports to
# 127.0.0.1 on this port; the end-to-end tests run their report servers there.
set(VXM_LOOPBACK_PORT "28431" CACHE STRING "Report port of the loopback build of the program")
vxm_wine_path(win_loopback ${CMAKE_SOURCE_DIR}/build/loopback)
set(VXM_TEST_DEFINITIONS VXM_RESOURCES_DIR="${win_resources}" VXM_TESTS_DIR="${win_tests_dir}"
    VXM_TOOLS_DIR="${win_tools}" VXM_BIN_DIR="${win_build}\\\\bin")

add_library(boost_program_options STATIC ${PO_SOURCES})
target_include_directories(boost_program_options SYSTEM PUBLIC ${VXM_DEPS}/cross-include)
target_compile_options(boost_program_options PRIVATE -w)

vxm_add_core_library(vxmcore)
target_link_libraries(vxmcore PUBLIC boost_program_options ws2_32 mswsock)

# The program's version for the resources and the code, looked up at every build.
add_custom_target(vxm_program_version
                  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}
                          -DPROJECT_VERSION=${PROJECT_VERSION}
                          -DOUTPUT=${CMAKE_BINARY_DIR}/generated/vxm_version.h
                          -P ${CMAKE_SOURCE_DIR}/cmake/make_program_version.cmake
                  BYPRODUCTS ${CMAKE_BINARY_DIR}/generated/vxm_version.h)

add_library(vxmwin STATIC ${VXM_WIN_SOURCES})
add_dependencies(vxmwin vxm_program_version)
# Direct3D 9, D3DX, DirectDraw and IP Helper are loaded by the probe at run time, not imported.
target_link_libraries(vxmwin PUBLIC vxmcore dxguid ole32 advapi32 user32 gdi32 kernel32 winhttp
                                    crypt32)

set(VXM_RC ${CMAKE_SOURCE_DIR}/resources/vxmcheck.rc)
file(GLOB VXM_RC_INPUTS ${CMAKE_SOURCE_DIR}/resources/*.txt ${CMAKE_SOURCE_DIR}/resources/*.ico
     ${CMAKE_SOURCE_DIR}/resources/*.manifest)
set_source_files_properties(${VXM_RC} PROPERTIES OBJECT_DEPENDS "${VXM_RC_INPUTS}")

# user32, advapi32, winhttp and crypt32 are loaded on their first call (app/lazy_import_win.cpp):
# stubs for their import slots stand in for the import libraries. Only the dialog and the probe
# call the first two, only an https upload the last two.
set(VXM_LAZY_IMPORTS)
foreach(dll IN ITEMS user32 advapi32 winhttp crypt32)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${dll}.a
                  OUTPUT_VARIABLE import OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(stubs ${CMAKE_BINARY_DIR}/generated/${dll}_lazy.S)
  add_custom_command(OUTPUT ${stubs}
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIMPORT_LIBRARY=${import} -DDLL=${dll}.dll
            -DOUTPUT=${stubs} -P ${CMAKE_SOURCE_DIR}/cmake/make_lazy_imports.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/make_lazy_imports.cmake
    COMMENT "Lazy import stubs for ${dll}")
  set_source_files_properties(${stubs} PROPERTIES LANGUAGE ASM)
  list(APPEND VXM_LAZY_IMPORTS ${stubs})
endforeach()

# The program reports to the server named at configure time. A second program, built from the same
# libraries, reports to 127.0.0.1 on VXM_LOOPBACK_PORT: the local server of scripts/run and the
# end-to-end tests' servers talk to it (bin/loopback/VxmCheck.exe).
# vxm_add_program(target host port [SCHEME http|https] [CA pem-file] [PINS text]): an https
# program carries the CA's PEM text and the key pins (generated/<target>/report_trust.inc).
function(vxm_add_program target host port)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "SCHEME;CA;PINS" "")
  if(NOT arg_SCHEME)
    set(arg_SCHEME http)
  endif()
  if(NOT arg_SCHEME MATCHES "^https?$")
    message(FATAL_ERROR "${target}: report scheme '${arg_SCHEME}' is neither http nor https")
  endif()
  if(NOT port)
    set(port 80)
    if(arg_SCHEME STREQUAL "https")
      set(port 443)
    endif()
  endif()
  set(pem "")
  if(arg_CA)
    file(READ "${arg_CA}" pem)
    if(NOT pem MATCHES "-----BEGIN CERTIFICATE-----")
      message(FATAL_ERROR "${target}: ${arg_CA} holds no PEM certificate")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${arg_CA}")
  endif()
  set(pin "sha256/[A-Za-z0-9+/]+=")
  if(arg_PINS AND NOT arg_PINS MATCHES "^${pin}(;${pin})*$")
    message(FATAL_ERROR "${target}: report pins '${arg_PINS}' are not sha256/BASE64;...")
  endif()
  if((arg_CA OR arg_PINS) AND NOT arg_SCHEME STREQUAL "https")
    message(FATAL_ERROR "${target}: a report CA or pins need the https scheme")
  endif()
  set(generated ${CMAKE_BINARY_DIR}/generated/${target})
  file(CONFIGURE OUTPUT ${generated}/report_trust.inc
       CONTENT "constexpr char kReportCaPem[] = R\"pem(\${pem})pem\";\nconstexpr char kReportPins[] = \"\${arg_PINS}\";\n")
  add_executable(${target} WIN32 ${VXM_ENTRY_SOURCES} ${VXM_RC} ${VXM_LAZY_IMPORTS})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/resources ${generated})
  target_link_libraries(${target} PRIVATE vxmwin)
  add_dependencies(${target} vxm_program_version)
  target_compile_definitions(${target} PRIVATE VXM_REPORT_HOST="${host}" VXM_REPORT_PORT="${port}")
  if(arg_SCHEME STREQUAL "https")
    target_compile_definitions(${target} PRIVATE VXM_REPORT_HTTPS)
  endif()
endfunction()
vxm_add_program(VxmCheck "${VXM_REPORT_HOST}" "${VXM_REPORT_PORT}" SCHEME "${VXM_REPORT_SCHEME}"
                CA "${VXM_REPORT_CA}" PINS "${VXM_REPORT_PINS}")
vxm_add_program(VxmCheckLoopback "127.0.0.1" "${VXM_LOOPBACK_PORT}")
set_target_properties(VxmCheckLoopback PROPERTIES OUTPUT_NAME VxmCheck
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/loopback)

# https programs for localhost on the next port, where scripts/run and the TLS tests put nginx in
# front of the loopback server: one trusting the loopback CA alone (build/tls, made once by
# scripts/tls-front), one pinning two server keys made with it, one trusting the system's roots.
math(EXPR VXM_LOOPBACK_TLS_PORT "${VXM_LOOPBACK_PORT} + 1")
set(VXM_LOOPBACK_TLS_DIR ${CMAKE_SOURCE_DIR}/build/tls)
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/tls-front ca ${VXM_LOOPBACK_TLS_DIR}
                COMMAND_ERROR_IS_FATAL ANY)
set(pins)
foreach(key IN ITEMS pinned backup)
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/tls-front pin ${VXM_LOOPBACK_TLS_DIR}/${key}.key
                  OUTPUT_VARIABLE pin OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND pins ${pin})
endforeach()
vxm_add_program(VxmCheckLoopback-https localhost ${VXM_LOOPBACK_TLS_PORT} SCHEME https
                CA ${VXM_LOOPBACK_TLS_DIR}/ca.pem)
vxm_add_program(VxmCheckLoopback-pinned localhost ${VXM_LOOPBACK_TLS_PORT} SCHEME https
                PINS "${pins}")
vxm_add_program(VxmCheckLoopback-system localhost ${VXM_LOOPBACK_TLS_PORT} SCHEME https)
foreach(variant IN ITEMS https pinned system)
  set_target_properties(VxmCheckLoopback-${variant} PROPERTIES OUTPUT_NAME VxmCheck
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/loopback-${variant})
endforeach()

# Small Windows-side tools: the exit-code launcher and test helpers.
file(GLOB VXM_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/win/*.cpp)
foreach(src IN LISTS VXM_TOOL_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_include_directories(${name} SYSTEM PRIVATE ${VXM_DEPS}/cross-include)
  target_link_libraries(${name} PRIVATE ws2_32 mswsock)
endforeach()

# The benchmarks that build natively run under Wine as well.
vxm_add_benchmarks()

if(VXM_TESTS)
  # Unit tests: the platform-free ones again, cross-built, and the platform ones. The platform
  # tests carry the program's resources so resource loading is exercised for real.
  add_executable(core_tests ${VXM_CORE_TEST_SOURCES})
  target_link_libraries(core_tests PRIVATE vxmcore gtest_main)
  target_compile_definitions(core_tests PRIVATE ${VXM_TEST_DEFINITIONS})
  add_test(NAME core_tests_wine COMMAND core_tests)
  # The program is made for machines whose ANSI code page is 936; Wine takes it from the locale.
  set_tests_properties(core_tests_wine PROPERTIES ENVIRONMENT LC_ALL=zh_CN.UTF-8)

  if(VXM_WIN_TEST_SOURCES)
    add_executable(win_tests ${VXM_WIN_TEST_SOURCES} ${VXM_RC})
    target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(win_tests PRIVATE vxmwin gtest_main)
    add_dependencies(win_tests VxmCheck) # run under a debugger by a test
    target_compile_definitions(win_tests PRIVATE ${VXM_TEST_DEFINITIONS})
    add_test(NAME win_tests COMMAND win_tests)
  endif()

  # End-to-end tests drive the laid-out program in dist/.
  if(VXM_E2E_TEST_SOURCES)
    add_executable(e2e_tests ${VXM_E2E_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/common/md5.cpp
                           ${CMAKE_SOURCE_DIR}/report/report_fields.cpp)
    target_link_libraries(e2e_tests PRIVATE gtest_main ws2_32 mswsock)
    target_include_directories(e2e_tests SYSTEM PRIVATE ${VXM_DEPS}/cross-include)
    target_compile_definitions(e2e_tests PRIVATE ${VXM_TEST_DEFINITIONS}
        VXM_DIST_DIR="${win_dist}" VXM_LOOPBACK_DIR="${win_loopback}"
        VXM_LOOPBACK_PORT=${VXM_LOOPBACK_PORT})
    target_include_directories(e2e_tests PRIVATE ${CMAKE_SOURCE_DIR})
    add_test(NAME e2e_tests COMMAND e2e_tests)
  endif()

  # A stand-in UI component library that exports CreateComponent, for the loader tests.
  add_library(kordo_test_factory SHARED ${CMAKE_SOURCE_DIR}/tools/win_dll/kordo_test_factory.cpp)
  set_target_properties(kordo_test_factory PROPERTIES PREFIX "")
  target_include_directories(kordo_test_factory PRIVATE ${CMAKE_SOURCE_DIR})
  if(TARGET win_tests)
    add_dependencies(win_tests kordo_test_factory)
  endif()
endif()
