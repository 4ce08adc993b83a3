# Compile settings shared by every target of the project: link against
# tolva_settings instead of repeating flags per folder.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
# Every library the programs use is a system one. Without this, linking the
# schema resource object gives the build-tree programs a run path of empty
# entries, and the loader first looks for each library in the working folder.
set(CMAKE_SKIP_RPATH ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# Warnings are errors when CI=true in the environment or when asked for.
if(DEFINED ENV{CI} AND "$ENV{CI}" STREQUAL "true")
    set(_tolva_werror_default ON)
else()
    set(_tolva_werror_default OFF)
endif()
option(TOLVA_WERROR "Treat compiler warnings as errors" ${_tolva_werror_default})

add_library(tolva_settings INTERFACE)
target_compile_options(tolva_settings INTERFACE -Wall -Wextra -Wpedantic)
if(TOLVA_WERROR)
    target_compile_options(tolva_settings INTERFACE -Werror)
endif()
target_compile_definitions(tolva_settings INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_FOREACH)
