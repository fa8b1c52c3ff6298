# Every Windows build holds the imports of its deliverables to the reviewed list in imports.txt:
# the loader refuses a program that imports what its oldest Windows lacks, so nothing would start.
# Included after every folder, so that each deliverable's target exists.
if(CORV_WINDOWS)
    find_package(Python3 COMPONENTS Interpreter REQUIRED)
    if(NOT CMAKE_OBJDUMP)
        message(FATAL_ERROR "the import check needs the toolchain's objdump")
    endif()
    set(CORV_CHECKED_BINARIES)
    set(CORV_CHECKED_TARGETS)
    foreach(target corvtray jnibridge corvinst)
        if(TARGET ${target})
            list(APPEND CORV_CHECKED_TARGETS ${target})
            list(APPEND CORV_CHECKED_BINARIES $<TARGET_FILE:${target}>)
        endif()
    endforeach()
    string(JOIN ", " names ${CORV_CHECKED_TARGETS})
    set(stamp ${CMAKE_BINARY_DIR}/import_check.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/check_imports.py
                --objdump ${CMAKE_OBJDUMP} --list ${CMAKE_CURRENT_LIST_DIR}/imports.txt
                --floor ${CORV_WINDOWS_FLOOR} ${CORV_CHECKED_BINARIES}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${CORV_CHECKED_TARGETS} ${CORV_CHECKED_BINARIES}
                ${CMAKE_CURRENT_LIST_DIR}/check_imports.py ${CMAKE_CURRENT_LIST_DIR}/imports.txt
        COMMENT "Checking the imports of ${names}"
        VERBATIM)
    add_custom_target(import_check ALL DEPENDS ${stamp})
elseif(CORV_TESTS)
    # The check itself, on small programs built with the MinGW compilers when they are here.
    find_package(Python3 COMPONENTS Interpreter)
    if(Python3_Interpreter_FOUND)
        add_test(NAME import_check_test
                 COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/check_imports_test.py)
        set_tests_properties(import_check_test PROPERTIES SKIP_RETURN_CODE 77)
    endif()
endif()
