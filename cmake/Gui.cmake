# The desktop program `gathralight` and its tests (Qt 6 Widgets, Qt Test on the offscreen platform).
find_package(Qt6 COMPONENTS Widgets Network Test QUIET)
if(NOT Qt6_FOUND)
  message(WARNING "Qt 6 not found: the desktop program is not built")
  return()
endif()

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

file(GLOB GATHRA_UI_SOURCES CONFIGURE_DEPENDS src/Gui/*.cpp src/Gui/*.h src/Gui/*.qrc)
add_library(gathra_ui STATIC ${GATHRA_UI_SOURCES})
target_include_directories(gathra_ui PUBLIC src)
target_link_libraries(gathra_ui PUBLIC gathra_core Qt6::Widgets Qt6::Network)

file(GLOB GATHRA_DESKTOP_SOURCES CONFIGURE_DEPENDS src/App/gathralight/*.cpp)
if(GATHRA_DESKTOP_SOURCES)
  add_executable(gathralight ${GATHRA_DESKTOP_SOURCES})
  target_link_libraries(gathralight PRIVATE gathra_ui)
  add_dependencies(gathralight gathra_data)
endif()

# One Qt Test executable per tests/Gui/*Test.cpp; the shared helpers in tests/Gui/support/.
file(GLOB GATHRA_UI_TEST_SUPPORT CONFIGURE_DEPENDS tests/Gui/support/*.cpp tests/Gui/support/*.h)
file(GLOB GATHRA_UI_TESTS CONFIGURE_DEPENDS tests/Gui/*Test.cpp)
foreach(src ${GATHRA_UI_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(ui_${name} ${src} ${GATHRA_UI_TEST_SUPPORT})
  target_include_directories(ui_${name} PRIVATE tests)
  target_link_libraries(ui_${name} PRIVATE gathra_ui gathra_testsupport Qt6::Test)
  add_dependencies(ui_${name} gathra_data)
  add_test(NAME ui_${name} COMMAND ui_${name})
  set_tests_properties(ui_${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;GATHRA_CONFIG_DIR=${CMAKE_BINARY_DIR}/ui-test-config"
      TIMEOUT 300)
endforeach()

# Tools that drive the real program for a look at it (screenshots under Xvfb); not tests.
file(GLOB GATHRA_UI_TOOLS CONFIGURE_DEPENDS tools/ui/*.cpp)
foreach(src ${GATHRA_UI_TOOLS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${GATHRA_UI_TEST_SUPPORT})
  target_include_directories(${name} PRIVATE tests)
  target_link_libraries(${name} PRIVATE gathra_ui gathra_testsupport Qt6::Test)
  add_dependencies(${name} gathra_data)
endforeach()
