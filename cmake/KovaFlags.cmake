# Compiler flags shared by every target, and the two helpers that apply them:
# kova_engine_target for code that ships in the stub (no exceptions, no RTTI)
# and kova_host_target for host-only code (the kova tool, tests, benchmarks).

set(KOVA_WARNINGS
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-align -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations
  -Wundef -Wnull-dereference)
if(KOVA_WERROR)
  list(APPEND KOVA_WARNINGS -Werror)
endif()
# GCC 12 at -O3 reports overlaps and out-of-bounds accesses inside libstdc++'s
# string code and toml++ that cannot happen (known false positives of its
# flow analysis); they would fail the Release build under -Werror.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_BUILD_TYPE STREQUAL "Release")
  list(APPEND KOVA_WARNINGS -Wno-restrict -Wno-array-bounds -Wno-stringop-overflow)
endif()

# UBSan's vptr check needs type information, which engine code (built without
# RTTI) does not have; host code deriving from engine classes would not link.
if(KOVA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KOVA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # The stub is small and self-contained: no unwind tables it never uses,
  # unreferenced sections dropped at link time, runtime from msvcrt.dll.
  add_compile_options(-ffunction-sections -fdata-sections)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 __USE_MINGW_ANSI_STDIO=0)
  # The stub links through the C driver; CMake would still add the C++
  # runtime (libstdc++, and libgcc_s whose DLL Windows would look for beside
  # the installer). Without them a stray use of the C++ library fails to link
  # instead of growing the stub, and what else libgcc gives comes from its
  # static library (the i686 stub does its own 64-bit division:
  # src/stub/runtime.cpp).
  set(CMAKE_CXX_IMPLICIT_LINK_LIBRARIES "")
  set(CMAKE_C_STANDARD_LIBRARIES "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 32-bit Windows keeps the stack 4-byte aligned and no more. Arguments
    # pushed, rather than stored into an area each frame reserves for them,
    # take an eighth off the stub's code. Pushed arguments and stack probes do
    # not go together, so nothing probes the stack: the guard page below it
    # is met only while no frame skips a page, and a frame that might pass
    # 2 KiB fails the build.
    add_compile_options(-mpreferred-stack-boundary=2 -mno-accumulate-outgoing-args -mno-stack-arg-probe
                        -Werror=stack-usage=2048)
  endif()
endif()

function(kova_engine_target target)
  target_compile_options(${target} PRIVATE ${KOVA_WARNINGS}
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)
  if(WIN32)
    # Engine code never unwinds. (Not for code with exceptions: on x86_64
    # MinGW that would switch it to setjmp/longjmp unwinding.)
    target_compile_options(${target} PRIVATE -fno-asynchronous-unwind-tables)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

function(kova_host_target target)
  target_compile_options(${target} PRIVATE ${KOVA_WARNINGS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
endfunction()
