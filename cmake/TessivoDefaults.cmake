# Settings every target of the project shares.

# Warnings, and the strict Qt string rules: every QString is built from a literal that
# says its encoding, never from a char* by accident.
function(tessivo_target_defaults target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
            -Wsign-conversion -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
        if(TESSIVO_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
        QT_USE_QSTRINGBUILDER QT_NO_URL_CAST_FROM_STRING QT_STRICT_ITERATORS)
endfunction()

# A library or program that links no Qt: keep Qt's code generators away from it.
function(tessivo_qt_free target)
    set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()
