# lectorix_program_module(<target> <entry source> <version script>): a module the program opens
# when it needs it, beside the program in the build and in its library folder when installed;
# the version script exports its entry alone.
include(GNUInstallDirs)
function(lectorix_program_module target source map)
    add_library(${target} MODULE ${source})
    target_link_options(${target} PRIVATE -Wl,--version-script=${map} -Wl,--no-undefined)
    set_target_properties(${target} PROPERTIES
        PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/src/app LINK_DEPENDS ${map})
    lectorix_warnings(${target})
    install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/lectorix)
endfunction()
