# Read by cpack: a .deb from a tree configured for another prefix would hold /usr/local
# paths in its unit and a library outside lib/<multiarch>, so refuse to build it.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_KSMAIN_TREE_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "the .deb needs a build tree configured with -DCMAKE_INSTALL_PREFIX=/usr "
                      "(this one has ${CPACK_KSMAIN_TREE_PREFIX})")
endif()
