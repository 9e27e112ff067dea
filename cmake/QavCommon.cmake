# Warnings and sanitizer switches shared by every target of the project.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(QAV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QAV_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# qav_test(NAME SOURCES... [LIBS ...] [LABELS ...] [LOCKS ...] [WHOLE]
# [TIMEOUT s]): one GoogleTest binary, registered with CTest as one test per
# case, or with WHOLE as one test (binaries whose cases share an expensive
# peer). LOCKS names CTest resource locks: tests holding the same lock never
# run at the same time.
function(qav_test name)
  cmake_parse_arguments(T "WHOLE" "TIMEOUT" "SOURCES;LIBS;LABELS;LOCKS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    QAV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QAV_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_LOCKS)
    list(APPEND props RESOURCE_LOCK "${T_LOCKS}")
  endif()
  if(QAV_SANITIZE)
    list(APPEND props ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp:print_suppressions=0")
  endif()
  if(T_WHOLE)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${props})
  else()
    gtest_discover_tests(${name}
      DISCOVERY_TIMEOUT 30
      PROPERTIES ${props})
  endif()
endfunction()
include(GoogleTest)

# qav_install_program(TARGET [ON_PATH]): installs a program of the tool set
# into its program folder (QAV_INSTALL_BINDIR). ON_PATH also links it into
# <prefix>/bin: only for names that no Debian package uses (qavctl, and the
# script qav-install-data through qav_install_path_link). The
# suite's own programs (nwatch, nstat, nconfig, nload) start each other from
# the program folder and stay off PATH.
function(qav_install_program target)
  cmake_parse_arguments(P "ON_PATH" "" "" ${ARGN})
  install(TARGETS ${target} RUNTIME DESTINATION ${QAV_INSTALL_BINDIR})
  if(P_ON_PATH)
    qav_install_path_link(${target})
  endif()
endfunction()

# qav_install_path_link(NAME): links the installed program folder's NAME
# into <prefix>/bin, by a relative link (the installation can be moved, and
# a package's files stay right under any staging folder).
function(qav_install_path_link name)
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(RELATIVE_PATH to \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\"
         \"\${CMAKE_INSTALL_PREFIX}/${QAV_INSTALL_BINDIR}/${name}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(CREATE_LINK \"\${to}\" \"\${bin}/${name}\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/${name} -> \${to}\")")
endfunction()
