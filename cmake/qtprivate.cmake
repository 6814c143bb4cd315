# The tree rows' expanded state needs Qt Quick's own accessible item (private headers, from
# qtdeclarative5-private-dev); only the file that uses them sees them, as system headers, in every
# build that compiles the core library's sources.
function(tarnex_use_qt_private_headers source)
    set(includes)
    foreach(dir IN LISTS Qt5Core_PRIVATE_INCLUDE_DIRS Qt5Gui_PRIVATE_INCLUDE_DIRS
                         Qt5Qml_PRIVATE_INCLUDE_DIRS Qt5Quick_PRIVATE_INCLUDE_DIRS)
        list(APPEND includes -isystem ${dir})
    endforeach()
    set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "${includes}"
                                SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()
