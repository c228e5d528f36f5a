# The settings every target of ours shares: language level, warnings, Qt string hygiene.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 11)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

find_program(PLOVANE_CCACHE ccache)
if(PLOVANE_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER "${PLOVANE_CCACHE}")
  set(CMAKE_CXX_COMPILER_LAUNCHER "${PLOVANE_CCACHE}")
endif()

add_library(plovane_common_cfg INTERFACE)
target_compile_features(plovane_common_cfg INTERFACE cxx_std_20)
target_compile_options(plovane_common_cfg INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(plovane_common_cfg INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_KEYWORDS
  PLOVANE_VERSION_STRING="${PROJECT_VERSION}")
