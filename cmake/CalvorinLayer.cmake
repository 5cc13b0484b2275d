# One static library per folder under src/. Every .cpp, .h and .ui file of the
# folder belongs to it, so adding a class needs no edit here.
function(calvorin_layer name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  set(target calvorin_${name})
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  set(has_cpp FALSE)
  foreach(f IN LISTS srcs)
    if(f MATCHES "\\.cpp$")
      set(has_cpp TRUE)
    endif()
  endforeach()
  if(has_cpp)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${L_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${L_DEPS})
  endif()
endfunction()

# One GoogleTest executable per layer, from every .cpp of its tests/ folder.
function(calvorin_layer_tests name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT srcs)
    return()
  endif()
  set(target test_${name})
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE calvorin_${name} calvorin_testsupport GTest::gtest GTest::gmock Qt6::Test)
  target_compile_definitions(${target} PRIVATE
    CALVORIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    CALVORIN_SHARED_FIXTURES="${CMAKE_SOURCE_DIR}/../shared/fixtures"
    CALVORIN_TEST_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures")
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
