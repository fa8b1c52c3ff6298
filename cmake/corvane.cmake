# Build conventions shared by every subsystem folder.
include(CTest)

if(WIN32)
    set(CORV_WINDOWS ON)
    # The oldest Windows each build loads on (the import check holds the programs to it). The
    # 32-bit build compiles against Windows 2000's headers, which hide what that system lacks.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(CORV_WINDOWS_FLOOR 2000)
        set(CORV_WINNT 0x0500)
    else()
        set(CORV_WINDOWS_FLOOR 7)
        set(CORV_WINNT 0x0501)
    endif()
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=${CORV_WINNT}
                            WINVER=${CORV_WINNT} _WIN32_IE=0x0600)
    add_compile_options(-Wall -Wextra)
    # One self-contained binary per deliverable: no MinGW runtime DLLs to ship.
    add_link_options(-static -static-libgcc -static-libstdc++)
    set(CORV_TESTS_DEFAULT ON)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(CORV_TESTS_DEFAULT OFF)   # 32-bit Windows programs cannot run here
    endif()
else()
    set(CORV_WINDOWS OFF)
    add_compile_options(-Wall -Wextra)
    set(CORV_TESTS_DEFAULT ON)
    option(CORV_SANITIZE "Build with address and undefined-behaviour sanitizers" ON)
    if(CORV_SANITIZE)
        add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
        add_link_options(-fsanitize=address,undefined)
    endif()
endif()
option(CORV_TESTS "Build the tests" ${CORV_TESTS_DEFAULT})

if(CORV_TESTS)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# corv_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest program per subsystem; ctest runs it (under Wine when cross-compiled).
function(corv_test name)
    if(NOT CORV_TESTS)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    # Probes never leave the loopback range in tests.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "CORVANE_PROBE_SERVERS=localhost,127.0.0.1\\;localhost,127.0.0.2")
    if(T_PROPERTIES)
        set_tests_properties(${name} PROPERTIES ${T_PROPERTIES})
    endif()
endfunction()

# corv_folder_sources(<sources-var> <tests-var>)
# The .cpp files of the calling folder: the library's sources, and the *_test.cpp unit tests
# that sit beside them.
function(corv_folder_sources sources_var tests_var)
    file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    set(tests ${all})
    list(FILTER all EXCLUDE REGEX "_test\\.cpp$")
    list(FILTER tests INCLUDE REGEX "_test\\.cpp$")
    set(${sources_var} ${all} PARENT_SCOPE)
    set(${tests_var} ${tests} PARENT_SCOPE)
endfunction()
