# One static library per module folder; its sources are every .cpp below the folder except tests/.
# Tests in <folder>/tests/*.cpp make one GoogleTest binary per module, registered with CTest.
# TEST_SUPPORT names files of tests/ that other modules' tests use too: they are built once, as the
# library <name>_test_support, which the module's own tests and the others link.
function(tandu_module name dir)
    cmake_parse_arguments(M "" "" "PUBLIC_LIBS;PRIVATE_LIBS;TEST_LIBS;TEST_SUPPORT;TEST_SUPPORT_LIBS" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
    list(FILTER srcs EXCLUDE REGEX "/tests/")
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${M_PUBLIC_LIBS} PRIVATE ${M_PRIVATE_LIBS})

    if(TANDU_TESTS)
        file(GLOB_RECURSE tests CONFIGURE_DEPENDS "${dir}/tests/*.cpp")
        # tests/tools/ holds programs that make test data; they have mains of their own.
        list(FILTER tests EXCLUDE REGEX "/tests/tools/")
        set(support)
        foreach(file ${M_TEST_SUPPORT})
            list(APPEND support "${dir}/tests/${file}")
        endforeach()
        if(support)
            list(REMOVE_ITEM tests ${support})
            add_library(${name}_test_support STATIC ${support})
            target_include_directories(${name}_test_support PUBLIC "${PROJECT_SOURCE_DIR}")
            target_link_libraries(${name}_test_support PUBLIC GTest::gtest ${M_TEST_SUPPORT_LIBS})
            tandu_test_target(${name}_test_support)
        endif()
        if(tests)
            add_executable(${name}_tests ${tests})
            if(support)
                target_link_libraries(${name}_tests PRIVATE ${name}_test_support)
            endif()
            target_link_libraries(${name}_tests PRIVATE ${name} ${M_TEST_LIBS} GTest::gtest_main)
            target_compile_definitions(${name}_tests PRIVATE TEST_DATA_DIR="${dir}/tests/data")
            tandu_test_target(${name}_tests)
            gtest_discover_tests(${name}_tests WORKING_DIRECTORY "${dir}/tests" DISCOVERY_MODE PRE_TEST
                                 PROPERTIES ENVIRONMENT "TANDU_HEADLESS=1")
        endif()
    endif()
endfunction()

# Test code is built for a quick compile: every test file parses GoogleTest's header, so it is
# precompiled once a target, and test code is not optimised and keeps line tables only (the code
# under test keeps the build's own flags). Optimising the assertions' expansions took most of the
# builds' time, the sanitizer build's above all.
function(tandu_test_target target)
    target_precompile_headers(${target} PRIVATE <gtest/gtest.h> <string> <vector> <memory>)
    if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo" OR CMAKE_BUILD_TYPE STREQUAL "Release")
        target_compile_options(${target} PRIVATE -O0 -g1)
    endif()
endfunction()
