# The Windows builds are the release builds: what the tests run is what ships.
#
# Optimised for size, every function and datum in a section of its own so that the linker
# drops what nothing calls (libpng's write side among it), stripped, hardened, and reproducible:
# no link time stamp in the executable and no path of the machine that built it.
set(CMAKE_BUILD_TYPE Release CACHE STRING "" FORCE)
set(CMAKE_BUILD_TYPE Release)
enable_language(RC)
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "" FORCE)
add_compile_options(-ffunction-sections -fdata-sections
                    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
# Neither the program nor its tests use C++ exceptions. Without them no cleanup code needs
# the exception runtime, which otherwise brings libstdc++'s unwinder and name demangler along.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>)
# On i686 an object's one .eh_frame section refers to every function in it, so the linker's
# garbage collection keeps them all: that is what kept libpng's write side in the program.
# Nothing unwinds the stack there (libpng's errors return by longjmp), so no unwind tables.
# On x86_64 the unwind tables are part of the calling convention and stay: msvcrt's longjmp
# unwinds through them there.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_compile_options(-fno-asynchronous-unwind-tables)
endif()
add_link_options(-s -Wl,--gc-sections -Wl,--no-insert-timestamp)

# Hardened: a stack protector on every function with a local array or a local whose address is
# taken (gcc's libssp, linked statically like the rest), and the header flags Windows acts on:
# relocatable anywhere (high-entropy addresses on x86_64), data never executable, aware of
# terminal servers, and subsystem and system version 6.1, so that Windows 7 treats the program
# as its own and ends it on heap corruption (which the entry point asks for) instead of going on.
add_compile_options(-fstack-protector-strong)
add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware
                 -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
                 -Wl,--major-os-version,6 -Wl,--minor-os-version,1)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_link_options(-Wl,--high-entropy-va)
endif()

# vorellis_version_resource(TARGET "description"): compiles a version resource into TARGET,
# with the project's version and TARGET's own file name and description.
function(vorellis_version_resource target description)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(VERSION_FILE_NAME "${name}.exe")
  set(VERSION_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
