# The reference report server: native only. It shares the form and token code and the score
# tables with their look-up with the program.
find_package(Boost 1.81 REQUIRED COMPONENTS program_options)
find_package(Threads REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(PostgreSQL REQUIRED)

file(GLOB_RECURSE VXM_SERVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/server/*.cpp)
list(REMOVE_ITEM VXM_SERVER_SOURCES ${CMAKE_SOURCE_DIR}/server/main.cpp)
set(VXM_SERVER_SHARED_SOURCES
    ${CMAKE_SOURCE_DIR}/report/report_fields.cpp
    ${CMAKE_SOURCE_DIR}/report/report_token.cpp
    ${CMAKE_SOURCE_DIR}/common/md5.cpp
    ${CMAKE_SOURCE_DIR}/common/account_number.cpp
    ${CMAKE_SOURCE_DIR}/eval/score_table.cpp
    ${CMAKE_SOURCE_DIR}/eval/score_lookup.cpp
    ${CMAKE_SOURCE_DIR}/eval/level_rule.cpp
    ${CMAKE_SOURCE_DIR}/eval/canonical_name.cpp)

# The program's score tables, compiled in, for rating the names reports carry.
set(VXM_SERVER_TABLE_SOURCE ${CMAKE_BINARY_DIR}/generated/shipped_score_tables.cpp)
add_custom_command(
  OUTPUT ${VXM_SERVER_TABLE_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DRESOURCES=${CMAKE_SOURCE_DIR}/resources
          -DOUTPUT=${VXM_SERVER_TABLE_SOURCE} -P ${CMAKE_SOURCE_DIR}/cmake/make_table_source.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/cpu.txt ${CMAKE_SOURCE_DIR}/resources/gpu.txt
          ${CMAKE_SOURCE_DIR}/cmake/make_table_source.cmake
  COMMENT "Generating the server's copy of the score tables"
  VERBATIM)

# The project's version with the commit the server is built from, shown in /metrics; looked up
# at every build.
set(VXM_SERVER_VERSION_SOURCE ${CMAKE_BINARY_DIR}/generated/server_version.cpp)
add_custom_target(vxm_server_version
                  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}
                          -DPROJECT_VERSION=${PROJECT_VERSION}
                          -DOUTPUT=${VXM_SERVER_VERSION_SOURCE}
                          -P ${CMAKE_SOURCE_DIR}/cmake/make_server_version.cmake
                  BYPRODUCTS ${VXM_SERVER_VERSION_SOURCE})

# The server's texts (messages, page) are UTF-8, unlike the program's GBK literals.
add_library(vxmserver STATIC ${VXM_SERVER_SOURCES} ${VXM_SERVER_SHARED_SOURCES}
                             ${VXM_SERVER_VERSION_SOURCE} ${VXM_SERVER_TABLE_SOURCE})
add_dependencies(vxmserver vxm_server_version)
target_include_directories(vxmserver PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(vxmserver PUBLIC -fexec-charset=UTF-8 ${VXM_SANITIZE_FLAGS})
target_link_options(vxmserver PUBLIC ${VXM_SANITIZE_FLAGS})
target_link_libraries(vxmserver PUBLIC Boost::program_options Threads::Threads SQLite::SQLite3
                      PostgreSQL::PostgreSQL)

add_executable(vxm-report-server ${CMAKE_SOURCE_DIR}/server/main.cpp)
target_link_libraries(vxm-report-server PRIVATE vxmserver)

if(VXM_TESTS)
  file(GLOB VXM_SERVER_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/server/*.cpp)
  add_executable(server_tests ${VXM_SERVER_TEST_SOURCES})
  # The field rules are tested against the program's own evaluation, so the native tests take the
  # core too, with the core tests' stand-in for the probe run.
  if(TARGET vxmcore)
    target_sources(server_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/core/fake_probe_run.cpp)
    target_link_libraries(server_tests PRIVATE vxmcore)
  endif()
  target_link_libraries(server_tests PRIVATE vxmserver gtest_main)
  target_compile_definitions(server_tests PRIVATE ${VXM_TEST_DEFINITIONS})
  add_test(NAME server_tests COMMAND server_tests)

  # The loopback tests alone, for the ThreadSanitizer tree (scripts/test builds only this there).
  add_executable(server_loopback_tests ${CMAKE_SOURCE_DIR}/tests/server/server_loopback_test.cpp
                                       ${CMAKE_SOURCE_DIR}/tests/server/admission_loopback_test.cpp)
  target_link_libraries(server_loopback_tests PRIVATE vxmserver gtest_main)
  set_target_properties(server_loopback_tests PROPERTIES EXCLUDE_FROM_ALL ON)

  # The systemd unit: verified, its exposure bounded, its options accepted by the server.
  add_test(NAME server_systemd_unit
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/server/systemd_unit_test.sh
                   ${CMAKE_SOURCE_DIR}/server/vxm-report-server.service
                   $<TARGET_FILE:vxm-report-server>)

  # A test script of tests/server run with the project's root and the server it tests.
  function(vxm_server_script_test name script)
    add_test(NAME ${name}
             COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/server/${script}
                     ${CMAKE_SOURCE_DIR} $<TARGET_FILE:vxm-report-server>)
  endfunction()

  # The unit's command line behind the shipped nginx site and Caddyfile: addresses, limits,
  # privacy and idle deadlines (skipped without nginx).
  vxm_server_script_test(server_deployment deployment_test.py)
  set_tests_properties(server_deployment PROPERTIES SKIP_RETURN_CODE 77)

  # Signals and a closed log pipe: what ends the server, what it commits, what it says.
  add_test(NAME server_signals
           COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/server/signals_test.py
                   $<TARGET_FILE:vxm-report-server>)

  # The operator's score tables: refused at start, reloaded by SIGHUP, a broken one kept out.
  vxm_server_script_test(server_score_tables_reload score_tables_reload_test.py)

  # The README's store recipes: private backups, and the move to PostgreSQL with Debian's default
  # authentication (that part needs root and PostgreSQL, and is skipped without).
  vxm_server_script_test(server_store_recipes store_recipes_test.py)

  # A store that fails says so, and PostgreSQL comes back after a restart (the restart and the
  # full disk are skipped where there is no throwaway cluster or mount namespace).
  vxm_server_script_test(server_store_failures store_failures_test.py)

  # The shipped nginx site against one address's slow bodies, honest reports beside them.
  vxm_server_script_test(server_tls_front_attack tls_front_attack_test.py)

  # The move of a SQLite folder into PostgreSQL (needs VXM_TEST_POSTGRES_URL, skipped without).
  vxm_server_script_test(server_move_to_postgres move_to_postgres_test.py)
  set_tests_properties(server_move_to_postgres PROPERTIES SKIP_RETURN_CODE 77)

  # The server through pgbouncer in transaction pooling, statements prepared without it, and a
  # session pool too small (skipped without pgbouncer or VXM_TEST_POSTGRES_URL).
  vxm_server_script_test(server_pgbouncer pgbouncer_test.py)
  set_tests_properties(server_pgbouncer PROPERTIES SKIP_RETURN_CODE 77)

  # --read-database: the page, the unknown list and the export through a second connection
  # string to the throwaway cluster, as a role that may only SELECT (skipped without it).
  vxm_server_script_test(server_read_database read_database_test.py)
  set_tests_properties(server_read_database PROPERTIES SKIP_RETURN_CODE 77)
endif()
