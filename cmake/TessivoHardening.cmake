# Optimised builds are hardened the way Debian builds its packages (dpkg-buildflags with
# hardening on), whichever way they are configured: a preset or a plain
# -DCMAKE_BUILD_TYPE=Release. Debug builds stay as they are: _FORTIFY_SOURCE needs the
# optimiser, and a debugger is better served without the rest.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

# Sanitizer and fuzzer builds check memory themselves; fortified calls would bypass their
# interceptors and hide the very faults they look for.
set(tessivo_hardening_default ON)
if(TESSIVO_BUILD_FUZZERS OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    set(tessivo_hardening_default OFF)
endif()
option(TESSIVO_HARDENING
    "Release, RelWithDebInfo and MinSizeRel: stack protector, fortified calls, full RELRO, PIE"
    ${tessivo_hardening_default})

if(TESSIVO_HARDENING AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    check_pie_supported(OUTPUT_VARIABLE tessivo_pie_message LANGUAGES CXX)
    if(CMAKE_CXX_LINK_PIE_SUPPORTED)
        set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    else()
        message(WARNING "The program cannot be linked as a position-independent executable: "
                        "${tessivo_pie_message}")
    endif()

    set(tessivo_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    # -U first: a compiler or CPPFLAGS that already sets another level would otherwise make
    # a redefinition warning, an error where warnings are.
    add_compile_options("$<${tessivo_optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
                        "$<${tessivo_optimised}:-Wformat;-Werror=format-security>")
    # Not every target has them (-fcf-protection is x86 only).
    foreach(flag IN ITEMS -fstack-protector-strong -fcf-protection)
        string(MAKE_C_IDENTIFIER "TESSIVO_HAS${flag}" supported)
        check_cxx_compiler_flag(${flag} ${supported})
        if(${supported})
            add_compile_options("$<${tessivo_optimised}:${flag}>")
        endif()
    endforeach()
    # Full RELRO: every symbol bound at start, then the relocated data made read-only.
    check_linker_flag(CXX "-Wl,-z,relro,-z,now" TESSIVO_HAS_BIND_NOW)
    if(TESSIVO_HAS_BIND_NOW)
        add_link_options("$<${tessivo_optimised}:-Wl,-z,relro,-z,now>")
    endif()
endif()
