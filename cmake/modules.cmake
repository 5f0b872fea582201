# One static library per module folder; its sources are every .cpp below the folder except tests/.
# Tests in <folder>/tests/*.cpp make one GoogleTest binary per module, registered with CTest.
function(tandu_module name dir)
    cmake_parse_arguments(M "" "" "PUBLIC_LIBS;PRIVATE_LIBS;TEST_LIBS" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
    list(FILTER srcs EXCLUDE REGEX "/tests/")
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${M_PUBLIC_LIBS} PRIVATE ${M_PRIVATE_LIBS})

    if(TANDU_TESTS)
        file(GLOB_RECURSE tests CONFIGURE_DEPENDS "${dir}/tests/*.cpp")
        # tests/tools/ holds programs that make test data; they have mains of their own.
        list(FILTER tests EXCLUDE REGEX "/tests/tools/")
        if(tests)
            add_executable(${name}_tests ${tests})
            target_link_libraries(${name}_tests PRIVATE ${name} ${M_TEST_LIBS} GTest::gtest_main)
            target_compile_definitions(${name}_tests PRIVATE TEST_DATA_DIR="${dir}/tests/data")
            gtest_discover_tests(${name}_tests WORKING_DIRECTORY "${dir}/tests" DISCOVERY_MODE PRE_TEST
                                 PROPERTIES ENVIRONMENT "TANDU_HEADLESS=1")
        endif()
    endif()
endfunction()
